#include "app/WebUpdateForm.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "settings/Texts.h"
#include "shell/AppVersion.h"

namespace TextNo {
constexpr int UpToDate = 150, NewVersion = 151, UpdateAvailable = 154, OpenReleasePage = 155, Next = 156,
              ReleasePage = 157, Close = 6002, Cancel = 6003, NextFirst = 6004, Caption = 8400, Progress = 8401,
              FirstInfo = 8406, Searching = 8411, NotProcessed = 8412, Completed = 8413, CouldNotCheck = 9245,
              PageOpened = 9246, PageNotOpened = 9247;
}  // namespace TextNo

namespace {

QString tx(int n) { return Texts::text(n); }

bool isWebAddress(const QUrl& url) {
  const QString scheme = url.scheme().toLower();
  return url.isValid() && !url.host().isEmpty() && (scheme == QLatin1String("https") || scheme == QLatin1String("http"));
}

}  // namespace

ReleasePageAnswer offerReleasePage(const QString& remoteVersion, const QUrl& page, const ReleasePageHooks& hooks) {
  const QString title = tx(TextNo::UpdateAvailable) + QLatin1Char(' ') + remoteVersion;
  if (!hooks.askYesNo || !hooks.askYesNo(title, tx(TextNo::OpenReleasePage))) return ReleasePageAnswer::Declined;
  // The address comes from the configuration; a file or program address is never opened.
  if (!isWebAddress(page)) return ReleasePageAnswer::OpenFailed;
  const bool opened = hooks.openUrl ? hooks.openUrl(page) : QDesktopServices::openUrl(page);
  return opened ? ReleasePageAnswer::Opened : ReleasePageAnswer::OpenFailed;
}

QString releasePageLine(ReleasePageAnswer answer, const QUrl& page) {
  switch (answer) {
    case ReleasePageAnswer::Opened:
      return tx(TextNo::PageOpened).arg(page.toString());
    case ReleasePageAnswer::OpenFailed:
      return tx(TextNo::PageNotOpened).arg(page.toString());
    case ReleasePageAnswer::Declined:
      break;
  }
  return tx(TextNo::NotProcessed);
}

TFormWebUpdate::TFormWebUpdate(QWidget* parent) : QDialog(parent), localVersion_(appVersion()) {
  setObjectName(QStringLiteral("FormWebUpdate"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  auto* all = new QVBoxLayout(this);
  for (int i = 0; i < 4; ++i) {
    info_[i] = new QLabel(this);
    info_[i]->setObjectName(QStringLiteral("lblInfo%1").arg(i + 1));
    info_[i]->setTextFormat(Qt::PlainText);
    info_[i]->setWordWrap(true);
    all->addWidget(info_[i]);
  }
  // List items never interpret markup: what the server sent stays text.
  lstResults_ = new QListWidget(this);
  lstResults_->setObjectName(QStringLiteral("lstResults"));
  lstResults_->setMinimumSize(620, 140);  // the release page address fits in one line
  lstResults_->setSelectionMode(QAbstractItemView::NoSelection);
  all->addWidget(lstResults_, 1);
  lblProgress_ = new QLabel(this);
  lblProgress_->setTextFormat(Qt::PlainText);
  all->addWidget(lblProgress_);
  bar_ = new QProgressBar(this);
  bar_->setObjectName(QStringLiteral("pbProgress"));
  bar_->setRange(0, 100);
  all->addWidget(bar_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  btnNext_ = new QPushButton(this);
  btnNext_->setObjectName(QStringLiteral("btnNext"));
  btnNext_->setDefault(true);
  btnCancel_ = new QPushButton(this);
  btnCancel_->setObjectName(QStringLiteral("btnCancel"));
  buttons->addWidget(btnNext_);
  buttons->addWidget(btnCancel_);
  all->addLayout(buttons);
  connect(btnNext_, &QPushButton::clicked, this, &TFormWebUpdate::btnNextClick);
  connect(btnCancel_, &QPushButton::clicked, this, &TFormWebUpdate::btnCancelClick);
  connect(&check_, &UpdateCheck::finished, this, [this](const UpdateResult& r) { showResult(r, true); });
  prepare();
}

void TFormWebUpdate::setAddresses(const QUrl& base, const QUrl& releasePage) {
  base_ = base;
  releasePage_ = releasePage;
}

void TFormWebUpdate::prepare() {
  check_.cancel();
  state_ = State::Ready;
  remoteVersion_.clear();
  setWindowTitle(tx(TextNo::Caption));
  for (int i = 0; i < 4; ++i) info_[i]->setText(tx(TextNo::FirstInfo + i));
  lblProgress_->setText(tx(TextNo::Progress));
  lstResults_->clear();
  bar_->setValue(0);
  btnNext_->setText(tx(TextNo::NextFirst));
  btnNext_->setEnabled(true);
  btnCancel_->setText(tx(TextNo::Cancel));
}

void TFormWebUpdate::btnNextClick() {
  if (state_ == State::Checking) return;
  if (state_ == State::Available) {
    offer();
    return;
  }
  state_ = State::Checking;
  lstResults_->clear();
  btnNext_->setEnabled(false);
  btnCancel_->setText(tx(TextNo::Cancel));
  addLine(tx(TextNo::Searching));
  addLine(localVersion_ + QStringLiteral(" (PC)"));
  bar_->setValue(40);
  check_.CheckForUpdate(base_, localVersion_);
}

void TFormWebUpdate::btnCancelClick() {
  check_.cancel();
  hide();
}

void TFormWebUpdate::reject() {
  check_.cancel();
  QDialog::reject();
}

void TFormWebUpdate::showResult(const UpdateResult& result, bool ask) {
  bar_->setValue(100);
  btnCancel_->setText(tx(TextNo::Close));
  switch (result.outcome) {
    case UpdateResult::Outcome::UpToDate:
      state_ = State::Done;
      addLine(result.remoteVersion + QStringLiteral(" (WEB)"));
      addLine(tx(TextNo::UpToDate));
      addLine(QString());
      addLine(tx(TextNo::Completed));
      btnNext_->setText(tx(TextNo::Next));
      btnNext_->setEnabled(false);
      break;
    case UpdateResult::Outcome::CouldNotCheck:
      // "Next >" tries again: the reason may have been a passing one.
      state_ = State::Done;
      addLine(tx(TextNo::CouldNotCheck));
      addLine(updateReasonText(result));
      btnNext_->setText(tx(TextNo::Next));
      btnNext_->setEnabled(true);
      break;
    case UpdateResult::Outcome::UpdateAvailable:
      state_ = State::Available;
      remoteVersion_ = result.remoteVersion;
      addLine(result.remoteVersion + QStringLiteral(" (WEB)"));
      addLine(tx(TextNo::NewVersion));
      btnNext_->setText(tx(TextNo::ReleasePage));
      btnNext_->setEnabled(true);
      if (ask) offer();
      break;
  }
}

void TFormWebUpdate::offer() { addLine(releasePageLine(offerReleasePage(remoteVersion_, releasePage_, hooks_), releasePage_)); }

void TFormWebUpdate::addLine(const QString& line) { lstResults_->addItem(line); }

QStringList TFormWebUpdate::lines() const {
  QStringList all;
  for (int i = 0; i < lstResults_->count(); ++i) all << lstResults_->item(i)->text();
  return all;
}

int TFormWebUpdate::percent() const { return bar_->value(); }
