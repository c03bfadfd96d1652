#include "app/UpdateCommands.h"

#include <QStatusBar>
#include <QWidget>

#include "app/MessageForm.h"
#include "settings/Configuration.h"
#include "settings/Texts.h"
#include "shell/AppVersion.h"

namespace TextNo {
constexpr int UpToDate = 150, UpdateAvailable = 154, Searching = 8411, CouldNotCheck = 9245, AvailableAtStart = 9248,
              FailedAtStart = 9249;
}  // namespace TextNo

namespace {
constexpr int kStatusMs = 30000;  // long enough to be read, short enough not to hide the file name for good
}

UpdateCommands::UpdateCommands(QWidget* window, const Configuration& config, GuiMessages& messages,
                               TProgressForm* progress, QStatusBar* statusBar)
    : window_(window), config_(config), messages_(messages), progress_(progress), statusBar_(statusBar) {
  hooks_.askYesNo = [this](const QString& title, const QString& text) {
    return messages_.form().ShowMessage(text, title, MessageKind::Question, ButtonSet::YesNo) == ResultYes;
  };
  connect(&check_, &UpdateCheck::finished, this, [this](const UpdateResult& r) {
    if (mode_ == Mode::AtStart) startResult(r);
    else progressResult(r);
  });
}

UpdateCommands::~UpdateCommands() {
  if (form_ && !form_->parent()) delete form_;  // without a window nothing else owns it
}

void UpdateCommands::setHooks(const ReleasePageHooks& hooks) {
  hooks_ = hooks;
  if (form_) form_->setHooks(hooks_);
}

QUrl UpdateCommands::base() const { return updateBaseAddress(config_.updateBaseAddress); }
QUrl UpdateCommands::releasePage() const { return QUrl(config_.releasePage.trimmed(), QUrl::StrictMode); }

TFormWebUpdate& UpdateCommands::form() {
  if (!form_) {
    form_ = new TFormWebUpdate(window_);
    form_->setHooks(hooks_);
  }
  form_->setAddresses(base(), releasePage());
  return *form_;
}

void UpdateCommands::openWebUpdateForm() {
  TFormWebUpdate& f = form();
  f.prepare();
  f.setAttribute(Qt::WA_ShowWithoutActivating, false);
  f.show();
  f.raise();
  f.activateWindow();
}

void UpdateCommands::RunUpdateCheck() { startCheck(Mode::Progress); }

void UpdateCommands::checkAtStart() { startCheck(Mode::AtStart); }

void UpdateCommands::startCheck(Mode mode) {
  // A check on request replaces a silent one still running at start-up.
  mode_ = mode;
  if (mode == Mode::Progress && progress_) {
    progress_->Reset();
    progress_->Step(Texts::text(TextNo::Searching), 40);
    progress_->Step(appVersion() + QStringLiteral(" (PC)"), 40);
  }
  check_.CheckForUpdate(base(), appVersion());
}

void UpdateCommands::progressResult(const UpdateResult& r) {
  if (!progress_) return;
  switch (r.outcome) {
    case UpdateResult::Outcome::UpToDate:
      progress_->Step(r.remoteVersion + QStringLiteral(" (WEB)"), 40);
      progress_->Step(Texts::text(TextNo::UpToDate), 100);
      break;
    case UpdateResult::Outcome::CouldNotCheck:
      progress_->Step(Texts::text(TextNo::CouldNotCheck), 100);
      progress_->Step(updateReasonText(r), 100);
      break;
    case UpdateResult::Outcome::UpdateAvailable: {
      progress_->Step(r.remoteVersion + QStringLiteral(" (WEB)"), 40);
      progress_->Step(Texts::text(TextNo::UpdateAvailable), 50);
      const QUrl page = releasePage();
      progress_->Step(releasePageLine(offerReleasePage(r.remoteVersion, page, hooks_), page), 100);
      break;
    }
  }
  progress_->showCloseButton();
}

void UpdateCommands::startResult(const UpdateResult& r) {
  switch (r.outcome) {
    case UpdateResult::Outcome::UpToDate:
      break;
    case UpdateResult::Outcome::CouldNotCheck:
      if (statusBar_) statusBar_->showMessage(Texts::text(TextNo::FailedAtStart) + QLatin1Char(' ') + updateReasonText(r), kStatusMs);
      break;
    case UpdateResult::Outcome::UpdateAvailable: {
      if (statusBar_) statusBar_->showMessage(Texts::text(TextNo::AvailableAtStart).arg(r.remoteVersion), kStatusMs);
      TFormWebUpdate& f = form();
      if (f.isVisible()) break;  // the user is at it already
      f.prepare();
      f.showResult(r, false);
      f.setAttribute(Qt::WA_ShowWithoutActivating, true);
      f.show();
      break;
    }
  }
}
