#include "recording/ui/ConfirmModeDialog.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "settings/Texts.h"
#include "shell/HelpTopics.h"

namespace TextNo {
constexpr int Title = 8450, Existing = 8451, Replace = 8452, Append = 8453, Cancel = 6003, Ok = 6006, Help = 6012;
}

TFormConfirmMode::TFormConfirmMode(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FormConfirmMode"));
  setModal(true);
  setMinimumWidth(340);
  group_ = new QGroupBox(this);
  rbReplace_ = new QRadioButton(group_);
  rbReplace_->setObjectName(QStringLiteral("rbReplace"));
  rbAppend_ = new QRadioButton(group_);
  rbAppend_->setObjectName(QStringLiteral("rbAppend"));
  auto* choices = new QVBoxLayout(group_);
  choices->addWidget(rbReplace_);
  choices->addWidget(rbAppend_);
  btnOk_ = new QPushButton(this);
  btnOk_->setObjectName(QStringLiteral("btnOk"));
  btnOk_->setDefault(true);
  btnCancel_ = new QPushButton(this);
  btnCancel_->setObjectName(QStringLiteral("btnCancel"));
  btnHelp_ = new QPushButton(this);
  btnHelp_->setObjectName(QStringLiteral("btnHelp"));
  btnHelp_->setAutoDefault(false);  // Enter keeps choosing OK
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnHelp_);
  buttons->addStretch();
  buttons->addWidget(btnOk_);
  buttons->addWidget(btnCancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group_);
  layout->addLayout(buttons);
  connect(btnOk_, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(btnHelp_, &QPushButton::clicked, this, [this] { emit helpRequested(HelpTopic::ConfirmRecordMode); });
  InitialLoads();
  preset(1);
}

void TFormConfirmMode::InitialLoads() {
  setWindowTitle(Texts::text(TextNo::Title));
  group_->setTitle(Texts::text(TextNo::Existing));
  rbReplace_->setText(Texts::text(TextNo::Replace));
  rbAppend_->setText(Texts::text(TextNo::Append));
  btnOk_->setText(Texts::text(TextNo::Ok));
  btnCancel_->setText(Texts::text(TextNo::Cancel));
  btnHelp_->setText(Texts::text(TextNo::Help));
}

void TFormConfirmMode::preset(int recordMode) {
  (recordMode == 2 ? rbReplace_ : rbAppend_)->setChecked(true);
}

TFormConfirmMode::Choice TFormConfirmMode::choice() const {
  if (result() != QDialog::Accepted) return {0};
  return {rbReplace_->isChecked() ? 2 : 1};
}

TFormConfirmMode::Choice TFormConfirmMode::ask(int recordMode) {
  InitialLoads();  // in the language in force now
  preset(recordMode);
  setResult(QDialog::Rejected);
  exec();
  return choice();
}
