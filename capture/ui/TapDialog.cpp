#include "capture/ui/TapDialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "settings/Texts.h"

namespace TextNo {
constexpr int Title = 9381, Device = 9382, Link = 9383, Baud = 9384, DataBits = 9385, Parity = 9386, StopBits = 9387;
constexpr int Record = 9388, Cancel = 9389, Note = 9392;
}  // namespace TextNo

TFormTap::TFormTap(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FormTap"));
  setModal(true);
  setMinimumWidth(420);
  device_ = new QComboBox(this);
  device_->setEditable(true);  // any device path, also one not numbered yet
  device_->setObjectName(QStringLiteral("cbTapDevice"));
  link_ = new QLineEdit(this);
  link_->setObjectName(QStringLiteral("edTapLink"));
  baud_ = new QComboBox(this);
  baud_->setEditable(true);
  dataBits_ = new QComboBox(this);
  dataBits_->addItems({"5", "6", "7", "8"});
  parity_ = new QComboBox(this);
  parity_->addItems({"N", "E", "O", "M", "S"});
  stopBits_ = new QComboBox(this);
  stopBits_->addItems({"1", "1.5", "2"});
  auto* form = new QFormLayout;
  QWidget* fields[6] = {device_, link_, baud_, dataBits_, parity_, stopBits_};
  for (int i = 0; i < 6; ++i) {
    labels_[i] = new QLabel(this);
    labels_[i]->setBuddy(fields[i]);
    form->addRow(labels_[i], fields[i]);
  }
  note_ = new QLabel(this);
  note_->setWordWrap(true);
  ok_ = new QPushButton(this);
  ok_->setObjectName(QStringLiteral("btnOk"));
  ok_->setDefault(true);
  cancel_ = new QPushButton(this);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(note_);
  layout->addLayout(buttons);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(device_, &QComboBox::editTextChanged, this, &TFormTap::updateOk);
  connect(link_, &QLineEdit::textChanged, this, &TFormTap::updateOk);
  InitialLoads();
  updateOk();
}

void TFormTap::InitialLoads() {
  setWindowTitle(Texts::text(TextNo::Title));
  const int numbers[6] = {TextNo::Device, TextNo::Link, TextNo::Baud, TextNo::DataBits, TextNo::Parity, TextNo::StopBits};
  for (int i = 0; i < 6; ++i) labels_[i]->setText(Texts::text(numbers[i]));
  note_->setText(Texts::text(TextNo::Note));
  ok_->setText(Texts::text(TextNo::Record));
  cancel_->setText(Texts::text(TextNo::Cancel));
}

// Without a device and a link there is nothing to start.
void TFormTap::updateOk() {
  ok_->setEnabled(!device_->currentText().trimmed().isEmpty() && !link_->text().trimmed().isEmpty());
}

void TFormTap::preset(const QStringList& devices, const QStringList& bauds, const Choice& previous) {
  device_->clear();
  device_->addItems(devices);
  if (!previous.device.isEmpty()) device_->setEditText(previous.device);
  link_->setText(previous.link);
  baud_->clear();
  baud_->addItems(bauds);
  baud_->setEditText(previous.baud);
  dataBits_->setCurrentText(previous.dataBits);
  parity_->setCurrentText(previous.parity);
  stopBits_->setCurrentText(previous.stopBits);
  updateOk();
}

TFormTap::Choice TFormTap::choice() const {
  Choice c;
  c.device = device_->currentText().trimmed();
  c.link = link_->text().trimmed();
  c.baud = baud_->currentText().trimmed();
  c.dataBits = dataBits_->currentText();
  c.parity = parity_->currentText();
  c.stopBits = stopBits_->currentText();
  c.ok = result() == QDialog::Accepted && !c.device.isEmpty() && !c.link.isEmpty();
  return c;
}

TFormTap::Choice TFormTap::ask(const QStringList& devices, const QStringList& bauds, const Choice& previous) {
  InitialLoads();  // in the language in force now
  preset(devices, bauds, previous);
  setResult(QDialog::Rejected);
  exec();
  return choice();
}
