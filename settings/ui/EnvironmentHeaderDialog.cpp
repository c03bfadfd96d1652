#include "settings/ui/EnvironmentHeaderDialog.h"

#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/MessageForm.h"
#include "settings/Environment.h"
#include "settings/Texts.h"
#include "shell/HelpTopics.h"

namespace {
namespace TextNo {
constexpr int Caption = 8500, Heading = 8501, General = 8502, GeneralFirst = 8503, Customer = 8516;
constexpr int CustomerCompany = 8517, CustomerAddress1 = 8518, CustomerContact = 8528, Description = 8529;
constexpr int Ok = 6006, Cancel = 6003, Help = 6012, CloseUnsaved = 1501;
}  // namespace TextNo
QString tx(int n) { return Texts::text(n); }

// The customer's labels follow the file's keys except "Contact:", which comes last in the texts.
int customerLabel(int field) {
  if (field == EnvCustomer::Company) return TextNo::CustomerCompany;
  if (field == EnvCustomer::Contact) return TextNo::CustomerContact;
  return TextNo::CustomerAddress1 + field - EnvCustomer::Address1;
}

QStringList textsOf(const std::vector<QLineEdit*>& fields) {
  QStringList out;
  for (const QLineEdit* e : fields) out << e->text();
  return out;
}
}  // namespace

TFormEnvConf::TFormEnvConf(TMessageForm& box, QWidget* parent) : QDialog(parent), box_(box) {
  setObjectName(QStringLiteral("FormEnvConf"));
  setModal(true);
  resize(520, 480);
  auto* v = new QVBoxLayout(this);
  heading_ = new QLabel(this);
  fileName_ = new QLabel(this);
  fileName_->setObjectName(QStringLiteral("lblFileName"));
  QFont bold = fileName_->font();
  bold.setBold(true);
  fileName_->setFont(bold);
  fileName_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  v->addWidget(heading_);
  v->addWidget(fileName_);
  tabs_ = new QTabWidget(this);
  auto page = [this](int count, std::vector<QLineEdit*>& fields, auto labelOf, const char* prefix) {
    auto* w = new QWidget;
    auto* form = new QFormLayout(w);
    for (int i = 0; i < count; ++i) {
      auto* label = new QLabel(w);
      labels_.emplace_back(label, labelOf(i));
      auto* e = new QLineEdit(w);
      e->setObjectName(QStringLiteral("%1%2").arg(QLatin1String(prefix)).arg(i));
      connect(e, &QLineEdit::textEdited, this, &TFormEnvConf::SetEnvironmentChanged);
      fields.push_back(e);
      form->addRow(label, e);
    }
    return w;
  };
  tabs_->addTab(page(
                    EnvGeneral::Count, general_, [](int i) { return TextNo::GeneralFirst + i; }, "edGeneral"),
                QString());
  tabs_->addTab(page(EnvCustomer::Count, customer_, customerLabel, "edCustomer"), QString());
  description_ = new QPlainTextEdit(this);
  description_->setObjectName(QStringLiteral("memDescription"));
  description_->setLineWrapMode(QPlainTextEdit::NoWrap);
  connect(description_, &QPlainTextEdit::textChanged, this, [this] {
    if (description_->hasFocus() || description_->document()->isModified()) SetEnvironmentChanged();
  });
  tabs_->addTab(description_, QString());
  v->addWidget(tabs_, 1);
  auto* buttons = new QHBoxLayout;
  btnHelp_ = new QPushButton(this);
  btnHelp_->setObjectName(QStringLiteral("btnHelp"));
  connect(btnHelp_, &QPushButton::clicked, this, [this] { emit helpRequested(HelpTopic::EnvironmentHeader); });
  btnOK_ = new QPushButton(this);
  btnOK_->setObjectName(QStringLiteral("btnOK"));
  btnOK_->setDefault(true);
  btnCancel_ = new QPushButton(this);
  btnCancel_->setObjectName(QStringLiteral("btnCancel"));
  buttons->addWidget(btnHelp_);
  buttons->addStretch();
  buttons->addWidget(btnOK_);
  buttons->addWidget(btnCancel_);
  v->addLayout(buttons);
  connect(btnOK_, &QPushButton::clicked, this, &TFormEnvConf::btnOKClick);
  connect(btnCancel_, &QPushButton::clicked, this, &TFormEnvConf::btnCancelClick);
  setTexts({}, {}, {});
  InitialLoads();
}

void TFormEnvConf::InitialLoads() {
  setWindowTitle(tx(TextNo::Caption));
  heading_->setText(tx(TextNo::Heading));
  tabs_->setTabText(0, tx(TextNo::General));
  tabs_->setTabText(1, tx(TextNo::Customer));
  tabs_->setTabText(2, tx(TextNo::Description).remove(QLatin1Char(':')));
  for (const auto& [label, text] : labels_) label->setText(tx(text));
  btnOK_->setText(tx(TextNo::Ok));
  btnCancel_->setText(tx(TextNo::Cancel));
  btnHelp_->setText(tx(TextNo::Help));
}

void TFormEnvConf::setTexts(const QStringList& general, const QStringList& customer, const QStringList& description) {
  for (size_t i = 0; i < general_.size(); ++i) general_[i]->setText(general.value(qsizetype(i)));
  for (size_t i = 0; i < customer_.size(); ++i) customer_[i]->setText(customer.value(qsizetype(i)));
  description_->setPlainText(description.join(QLatin1Char('\n')));
  description_->document()->setModified(false);
  openedGeneral_ = this->general();
  openedCustomer_ = this->customer();
  openedDescription_ = this->description();
  changed_ = false;
}

QStringList TFormEnvConf::general() const { return textsOf(general_); }
QStringList TFormEnvConf::customer() const { return textsOf(customer_); }
QStringList TFormEnvConf::description() const {
  const QString text = description_->toPlainText();
  return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

void TFormEnvConf::setFileName(const QString& name) { fileName_->setText(QDir::toNativeSeparators(name)); }

bool TFormEnvConf::edit(const QString& fileName) {
  setFileName(fileName);
  tabs_->setCurrentIndex(0);
  return exec() == Accepted;
}

void TFormEnvConf::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // What the dialog shows now is what Cancel goes back to.
  setTexts(general(), customer(), description());
}

void TFormEnvConf::btnOKClick() { accept(); }

// Puts back the texts the dialog opened with.
void TFormEnvConf::ReloadEnvSettings() { setTexts(openedGeneral_, openedCustomer_, openedDescription_); }

void TFormEnvConf::btnCancelClick() {
  if (changed_ && box_.ShowMessage(tx(TextNo::CloseUnsaved), tx(TextNo::Caption), MessageKind::Question,
                                   ButtonSet::YesNo) != ResultYes)
    return;
  ReloadEnvSettings();
  QDialog::reject();
}

void TFormEnvConf::reject() { btnCancelClick(); }
