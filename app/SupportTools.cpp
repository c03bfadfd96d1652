#include "app/SupportTools.h"

#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "settings/Texts.h"
#include "settings/ui/WidgetTexts.h"
#include "shell/AppVersion.h"
#include "shell/HelpTopics.h"
#include "shell/SupportLinks.h"

namespace TextNo {
constexpr int SupportMail = 120, Close = 6002, Version = 8300;
constexpr int Homepage = 8151, FeatureSuggestion = 8152, ProblemReport = 8153;
constexpr int Title = 9312, About = 9313, HomeCaption = 9314, MailCaption = 9315, Manual = 9316, WebUpdate = 9318;
}  // namespace TextNo

namespace {
QPushButton* button(QWidget* parent, const char* name) { return namedWidget<QPushButton>(parent, name); }

QLabel* selectable(QWidget* parent, const char* name) {
  auto* l = namedWidget<QLabel>(parent, name);
  l->setTextFormat(Qt::PlainText);
  l->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return l;
}
}  // namespace

TSupportTools::TSupportTools(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("SupportTools"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  lblProduct_ = new QLabel(QStringLiteral("Vorlog"), this);
  QFont big = lblProduct_->font();
  big.setBold(true);
  big.setPointSizeF(big.pointSizeF() * 1.6);
  lblProduct_->setFont(big);
  lblAbout_ = new QLabel(this);
  lblAbout_->setWordWrap(true);
  lblVersion_ = selectable(this, "lblVersion");
  lblHomeCaption_ = new QLabel(this);
  lblHome_ = selectable(this, "lblHome");
  lblMailCaption_ = new QLabel(this);
  lblMail_ = selectable(this, "lblMail");
  btnManual_ = button(this, "btnManual");
  btnHomepage_ = button(this, "btnHomepage");
  btnProblem_ = button(this, "btnProblemReport");
  btnFeature_ = button(this, "btnFeatureSuggestion");
  btnWebUpdate_ = button(this, "btnWebUpdate");
  btnClose_ = button(this, "btnClose");
  btnClose_->setDefault(true);

  auto* addresses = new QGridLayout;
  addresses->addWidget(lblHomeCaption_, 0, 0);
  addresses->addWidget(lblHome_, 0, 1);
  addresses->addWidget(lblMailCaption_, 1, 0);
  addresses->addWidget(lblMail_, 1, 1);
  addresses->setColumnStretch(1, 1);

  auto* links = new QGridLayout;
  links->addWidget(btnManual_, 0, 0);
  links->addWidget(btnHomepage_, 0, 1);
  links->addWidget(btnProblem_, 1, 0);
  links->addWidget(btnFeature_, 1, 1);
  links->addWidget(btnWebUpdate_, 2, 0);

  auto* bottom = new QHBoxLayout;
  bottom->addStretch();
  bottom->addWidget(btnClose_);

  auto* v = new QVBoxLayout(this);
  v->addWidget(lblProduct_);
  v->addWidget(lblAbout_);
  v->addWidget(lblVersion_);
  v->addSpacing(8);
  v->addLayout(addresses);
  v->addSpacing(8);
  v->addLayout(links);
  v->addStretch();
  v->addLayout(bottom);
  setMinimumWidth(460);

  connect(btnManual_, &QPushButton::clicked, this, [this] { emit helpRequested(HelpTopic::Manual); });
  connect(btnHomepage_, &QPushButton::clicked, this, &TSupportTools::homepageRequested);
  connect(btnProblem_, &QPushButton::clicked, this, &TSupportTools::problemReportRequested);
  connect(btnFeature_, &QPushButton::clicked, this, &TSupportTools::featureRequestRequested);
  connect(btnWebUpdate_, &QPushButton::clicked, this, &TSupportTools::updateCheckRequested);
  connect(btnClose_, &QPushButton::clicked, this, &QDialog::close);
  InitialLoads();
}

void TSupportTools::InitialLoads() {
  auto tx = [](int n) { return Texts::text(n); };
  setWindowTitle(tx(TextNo::Title));
  lblAbout_->setText(tx(TextNo::About));
  lblVersion_->setText(tx(TextNo::Version) + QLatin1Char(' ') + appVersion());
  lblHomeCaption_->setText(tx(TextNo::HomeCaption));
  lblHome_->setText(SupportLinks::homePage().toString());
  lblMailCaption_->setText(tx(TextNo::MailCaption));
  lblMail_->setText(tx(TextNo::SupportMail).remove(QStringLiteral("mailto:")));
  btnManual_->setText(tx(TextNo::Manual));
  btnHomepage_->setText(tx(TextNo::Homepage));
  btnProblem_->setText(tx(TextNo::ProblemReport));
  btnFeature_->setText(tx(TextNo::FeatureSuggestion));
  btnWebUpdate_->setText(tx(TextNo::WebUpdate));
  btnClose_->setText(tx(TextNo::Close));
}
