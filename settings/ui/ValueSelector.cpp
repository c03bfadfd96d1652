#include "settings/ui/ValueSelector.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/MessageForm.h"
#include "settings/ConfigKeys.h"
#include "settings/Configuration.h"
#include "settings/HardwareProfile.h"
#include "settings/ProfileKeys.h"
#include "settings/Texts.h"
#include "shell/HelpTopics.h"

namespace {
namespace TextNo {
constexpr int Caption = 9300, Available = 9301, Selected = 9302, BaudCaption = 9303, DataBitsCaption = 9304;
constexpr int StopBitsCaption = 9306, Save = 6021, Cancel = 6003, Help = 6012, Warning = 205, NotABaudRate = 9883;
}  // namespace TextNo

QStringList itemsOf(const QListWidget* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
  return out;
}

QPushButton* plainButton(QWidget* parent, const char* name, const char* caption) {
  auto* b = new QPushButton(QString::fromLatin1(caption), parent);
  b->setObjectName(QString::fromLatin1(name));
  return b;
}
}  // namespace

TFormSelector::TFormSelector(TMessageForm& box, QWidget* parent) : QDialog(parent), box_(box) {
  setObjectName(QStringLiteral("FormSelector"));
  setWindowFlag(Qt::WindowStaysOnTopHint);
  auto* grid = new QGridLayout(this);
  auto* available = new QLabel(this);
  auto* selected = new QLabel(this);
  captions_ = {{available, TextNo::Available}, {selected, TextNo::Selected}};
  lbAvailable_ = new QListWidget(this);
  lbAvailable_->setObjectName(QStringLiteral("lbAvailable"));
  lbSelected_ = new QListWidget(this);
  lbSelected_->setObjectName(QStringLiteral("lbSelected"));
  edAvailableValues_ = new QLineEdit(this);
  edAvailableValues_->setObjectName(QStringLiteral("edAvailableValues"));
  edAvailableValues_->setValidator(new QIntValidator(1, ProfileKeys::kMaxBaud, edAvailableValues_));
  edAvailableValues_->setMinimumWidth(edAvailableValues_->fontMetrics().horizontalAdvance(QStringLiteral("12000000")) +
                                      16);
  btnAddValue_ = plainButton(this, "btnAddValue", "+");
  btnDelValue_ = plainButton(this, "btnDelValue", "-");
  btnResetValues_ = plainButton(this, "btnResetValues", "RES");
  auto* toSelected = plainButton(this, "btnToSelected", ">");
  auto* toAvailable = plainButton(this, "ToAvailable", "<");
  auto* save = captionedButton(this, "btnSave", TextNo::Save, captions_);
  auto* cancel = captionedButton(this, "btnCancel", TextNo::Cancel, captions_);
  auto* help = captionedButton(this, "btnHelp", TextNo::Help, captions_);

  auto* middle = new QVBoxLayout;
  middle->addStretch();
  middle->addWidget(toSelected);
  middle->addWidget(toAvailable);
  middle->addStretch();
  auto* edit = new QHBoxLayout;
  edit->addWidget(edAvailableValues_, 1);
  edit->addWidget(btnAddValue_);
  edit->addWidget(btnDelValue_);
  edit->addWidget(btnResetValues_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(save);
  buttons->addWidget(cancel);
  buttons->addWidget(help);
  grid->addWidget(available, 0, 0);
  grid->addWidget(selected, 0, 2);
  grid->addWidget(lbAvailable_, 1, 0);
  grid->addLayout(middle, 1, 1);
  grid->addWidget(lbSelected_, 1, 2);
  grid->addLayout(edit, 2, 0);
  grid->setColumnStretch(0, 1);
  grid->setColumnStretch(2, 1);
  for (QPushButton* b : {btnAddValue_, btnDelValue_}) b->setFixedWidth(32);
  btnResetValues_->setFixedWidth(48);
  grid->addLayout(buttons, 3, 0, 1, 3);
  for (QPushButton* b : {btnAddValue_, btnDelValue_, btnResetValues_, toSelected, toAvailable})
    b->setAutoDefault(false);
  save->setDefault(true);

  connect(lbAvailable_, &QListWidget::itemClicked, this, &TFormSelector::lbAvailableClick);
  connect(toSelected, &QPushButton::clicked, this, &TFormSelector::btnToSelectedClick);
  connect(toAvailable, &QPushButton::clicked, this, &TFormSelector::ToAvailableClick);
  connect(btnAddValue_, &QPushButton::clicked, this, &TFormSelector::btnAddValueClick);
  connect(btnDelValue_, &QPushButton::clicked, this, &TFormSelector::btnDelValueClick);
  connect(btnResetValues_, &QPushButton::clicked, this, &TFormSelector::btnResetValuesClick);
  connect(save, &QPushButton::clicked, this, &TFormSelector::btnSaveClick);
  connect(cancel, &QPushButton::clicked, this, &TFormSelector::btnCancelClick);
  connect(help, &QPushButton::clicked, this, [this] { emit helpRequested(HelpTopic::ValueSelector); });
  InitialLoads();
  resize(360, 320);
}

void TFormSelector::InitialLoads() {
  applyWidgetTexts(captions_, {});
  setWindowTitle(Texts::text(TextNo::Caption));
}

void TFormSelector::edit(Mode mode, const QStringList& standard, const QStringList& offered) {
  mode_ = mode;
  // Only baud rates are open-ended; data bits and stop bits are what the line knows.
  for (QWidget* w : {static_cast<QWidget*>(edAvailableValues_), static_cast<QWidget*>(btnAddValue_),
                     static_cast<QWidget*>(btnDelValue_), static_cast<QWidget*>(btnResetValues_)})
    w->setEnabled(mode == BaudRates);
  lbAvailable_->clear();
  lbSelected_->clear();
  edAvailableValues_->clear();
  setWindowTitle(Texts::text(mode == BaudRates  ? TextNo::BaudCaption
                             : mode == DataBits ? TextNo::DataBitsCaption
                                                : TextNo::StopBitsCaption));
  for (const QString& v : standard) (offered.contains(v) ? lbSelected_ : lbAvailable_)->addItem(v);
  // A value the profile offers beyond the standard list is not lost by opening the selector.
  for (const QString& v : offered)
    if (!standard.contains(v)) lbSelected_->addItem(v);
  show();
  raise();
}

QStringList TFormSelector::available() const { return itemsOf(lbAvailable_); }
QStringList TFormSelector::selected() const { return itemsOf(lbSelected_); }

void TFormSelector::lbAvailableClick() {
  if (const QListWidgetItem* item = lbAvailable_->currentItem()) edAvailableValues_->setText(item->text());
}

void TFormSelector::moveCurrent(QListWidget* from, QListWidget* to) {
  const int row = from->currentRow();
  if (row < 0) return;
  to->addItem(from->takeItem(row));
}

void TFormSelector::btnToSelectedClick() {
  moveCurrent(lbAvailable_, lbSelected_);
  edAvailableValues_->clear();
  sortList(lbSelected_);
}

void TFormSelector::ToAvailableClick() {
  edAvailableValues_->clear();
  moveCurrent(lbSelected_, lbAvailable_);
  sortList(lbAvailable_);
}

void TFormSelector::sortList(QListWidget* list) {
  QStringList items = itemsOf(list);
  // Numbers by value ("300" before "1200"); stop bits by text, which puts "1.5" between "1" and "2".
  if (mode_ == StopBits)
    std::sort(items.begin(), items.end());
  else
    std::stable_sort(items.begin(), items.end(),
                     [](const QString& a, const QString& b) { return a.toLongLong() < b.toLongLong(); });
  const QString current = list->currentItem() ? list->currentItem()->text() : QString();
  list->clear();
  list->addItems(items);
  if (!current.isEmpty()) list->setCurrentRow(int(items.indexOf(current)));
}

// A typed baud rate joins the standard list, so it can be offered from now on.
void TFormSelector::btnAddValueClick() {
  const QString typed = edAvailableValues_->text().trimmed();
  if (typed.isEmpty()) return;
  const QStringList ok = checkedValues(PortValueKind::BaudRate, {typed});
  if (ok.isEmpty()) {
    box_.ShowMessage(Texts::text(TextNo::NotABaudRate).arg(typed).arg(ProfileKeys::kMinBaud).arg(ProfileKeys::kMaxBaud),
                     Texts::text(TextNo::Warning), MessageKind::Warning, ButtonSet::Ok);
    return;
  }
  if (available().contains(ok[0]) || selected().contains(ok[0])) return;
  lbAvailable_->addItem(ok[0]);
  sortList(lbAvailable_);
  edAvailableValues_->clear();
}

// The entry of "Available" leaves the standard list; one the profile offers has to be moved back first.
void TFormSelector::btnDelValueClick() {
  const int row = lbAvailable_->currentRow();
  if (row >= 0) delete lbAvailable_->takeItem(row);
  edAvailableValues_->clear();
}

void TFormSelector::btnResetValuesClick() {
  lbSelected_->clear();
  lbAvailable_->clear();
  lbAvailable_->addItems(decodeList(QString::fromUtf8(ConfigKeys::Baudrates.textDefault)));
}

void TFormSelector::btnSaveClick() {
  const QStringList standard = available() + selected();
  QStringList standardSorted = standard;
  if (mode_ == StopBits)
    std::sort(standardSorted.begin(), standardSorted.end());
  else
    std::stable_sort(standardSorted.begin(), standardSorted.end(),
                     [](const QString& a, const QString& b) { return a.toLongLong() < b.toLongLong(); });
  // A profile offering nothing would leave the port panel empty: nothing picked offers the whole list.
  const QStringList values = selected().isEmpty() ? standardSorted : selected();
  const int mode = mode_;
  mode_ = None;
  hide();
  emit saved(mode, values, standardSorted);
}

void TFormSelector::btnCancelClick() {
  mode_ = None;
  hide();
}
