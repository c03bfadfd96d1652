#include "app/LanguageForm.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/MainTexts.h"
#include "settings/Texts.h"

TLanguageForm::TLanguageForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("LanguageForm"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  heading_ = new QLabel(this);
  QFont bold = heading_->font();
  bold.setBold(true);
  heading_->setFont(bold);
  text_ = new QLabel(this);
  text_->setObjectName(QStringLiteral("lblText"));
  ok_ = new QPushButton(this);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  auto* all = new QVBoxLayout(this);
  all->addWidget(heading_);
  all->addWidget(text_);
  all->addWidget(ok_, 0, Qt::AlignHCenter);
  all->setSizeConstraint(QLayout::SetFixedSize);
}

void TLanguageForm::InitialLoads() {
  setWindowTitle(Texts::text(TextNo::LanguageHintCaption));
  heading_->setText(Texts::text(TextNo::LanguageHintHeading));
  QStringList lines;
  for (int n = TextNo::LanguageHintFirst; n <= TextNo::LanguageHintLast; ++n)
    if (!Texts::text(n).isEmpty()) lines << Texts::text(n);
  text_->setText(lines.join(QLatin1Char('\n')));
  ok_->setText(Texts::text(TextNo::Ok));
}
