#include "app/HelpCommands.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/MessageForm.h"
#include "app/SupportTools.h"
#include "settings/Texts.h"
#include "shell/SupportLinks.h"

namespace TextNo {
constexpr int NoBrowser = 199, Error = 206, Close = 6002;
constexpr int PageMissing = 9307, PageMissingTitle = 9308, LinkFailedTitle = 9309, LinkFailed = 9310, Copy = 9311;
constexpr int ManualMissing = 9319;
}  // namespace TextNo

HelpCommands::HelpCommands(TMessageForm& box, QString userPath, QWidget* parent)
    : box_(box),
      userPath_(std::move(userPath)),
      parent_(parent),
      pages_(HelpPages::defaultInstalledRoot(), userPath_) {}

HelpCommands::~HelpCommands() = default;

void HelpCommands::QuarnelHelp(int topic) {
  const HelpPages::Page page = pages_.find(topic);
  if (!page.found) {
    // Not the browser's fault: say which page is missing and where it was looked for.
    box_.ShowMessage(Texts::text(TextNo::PageMissing).arg(page.name, page.searched.join(QLatin1Char('\n'))),
                     Texts::text(TextNo::PageMissingTitle), MessageKind::Warning, ButtonSet::Ok);
    return;
  }
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(page.path)))
    box_.ShowMessage(Texts::text(TextNo::NoBrowser), Texts::text(TextNo::Error), MessageKind::Error, ButtonSet::Ok);
}

void HelpCommands::QuarnelHomepage() { openLink(SupportLinks::homePage()); }
void HelpCommands::ReportaProblemtoQuarnel() { openLink(SupportLinks::problemReport()); }
void HelpCommands::SuggestaNewFeature() { openLink(SupportLinks::featureRequest()); }

bool HelpCommands::openLink(const QUrl& url) {
  if (QDesktopServices::openUrl(url)) return true;
  showLinkFailure(url);
  return false;
}

void HelpCommands::showLinkFailure(const QUrl& url) {
  // Not the message box: the address must stay selectable in full, however long it is.
  if (!linkFailure_) {
    auto* d = new QDialog(parent_);
    d->setObjectName(QStringLiteral("LinkFailure"));
    d->setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto* text = new QLabel(d);
    text->setObjectName(QStringLiteral("lblText"));
    text->setWordWrap(true);
    auto* address = new QLineEdit(d);
    address->setObjectName(QStringLiteral("edAddress"));
    address->setReadOnly(true);
    address->setMinimumWidth(420);
    auto* copy = new QPushButton(d);
    copy->setObjectName(QStringLiteral("btnCopy"));
    auto* close = new QPushButton(d);
    close->setObjectName(QStringLiteral("btnClose"));
    close->setDefault(true);
    connect(copy, &QPushButton::clicked, d, [address] { QApplication::clipboard()->setText(address->text()); });
    connect(close, &QPushButton::clicked, d, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(copy);
    buttons->addWidget(close);
    auto* v = new QVBoxLayout(d);
    v->addWidget(text);
    v->addWidget(address);
    v->addLayout(buttons);
    linkFailure_ = d;
  }
  QDialog* d = linkFailure_;
  d->setWindowTitle(Texts::text(TextNo::LinkFailedTitle));
  d->findChild<QLabel*>(QStringLiteral("lblText"))->setText(Texts::text(TextNo::LinkFailed));
  d->findChild<QPushButton*>(QStringLiteral("btnCopy"))->setText(Texts::text(TextNo::Copy));
  d->findChild<QPushButton*>(QStringLiteral("btnClose"))->setText(Texts::text(TextNo::Close));
  // A mail link shows decoded, so that subject and body read as words when pasted.
  auto* address = d->findChild<QLineEdit*>(QStringLiteral("edAddress"));
  address->setText(url.toString(url.scheme() == QLatin1String("mailto") ? QUrl::PrettyDecoded : QUrl::FullyEncoded));
  address->selectAll();
  address->setFocus();
  d->show();
  d->raise();
  d->activateWindow();
}

TSupportTools& HelpCommands::supportWindow() {
  if (!support_) {
    support_ = new TSupportTools(parent_);
    connect(support_, &TSupportTools::helpRequested, this, &HelpCommands::QuarnelHelp);
    connect(support_, &TSupportTools::homepageRequested, this, &HelpCommands::QuarnelHomepage);
    connect(support_, &TSupportTools::problemReportRequested, this, &HelpCommands::ReportaProblemtoQuarnel);
    connect(support_, &TSupportTools::featureRequestRequested, this, &HelpCommands::SuggestaNewFeature);
    connect(support_, &TSupportTools::updateCheckRequested, this, &HelpCommands::updateCheckRequested);
  }
  return *support_;
}

QString HelpCommands::manualProblem() const {
  const HelpPages::Page start = pages_.find(0);
  return start.found ? QString() : Texts::text(TextNo::ManualMissing).arg(start.path);
}

void HelpCommands::showSupportWindow() {
  TSupportTools& w = supportWindow();
  w.InitialLoads();  // the language may have changed since it was last shown
  w.show();
  w.raise();
  w.activateWindow();
}
