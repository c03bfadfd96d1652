#pragma once
#include <QObject>
#include <QPointer>
#include <QUrl>

#include "app/WebUpdateForm.h"
#include "shell/UpdateCheck.h"

class Configuration;
class GuiMessages;
class QStatusBar;
class QWidget;
class TProgressForm;

// The update check from the main window: the menu command with the progress window,
// the update dialog (for the support window's button) and the check at start-up.
// The addresses are read from the configuration each time, so the options apply at once.
class UpdateCommands : public QObject {
  Q_OBJECT
 public:
  UpdateCommands(QWidget* window, const Configuration& config, GuiMessages& messages, TProgressForm* progress,
                 QStatusBar* statusBar);
  ~UpdateCommands() override;

  // The menu command: the steps in the progress window, then the question about the
  // release page when a newer version exists.
  void RunUpdateCheck();
  // The update dialog, ready to check.
  void openWebUpdateForm();
  // At start-up, after the window is shown: a failure says a word on the status line; a
  // newer version is named there and in the update dialog, shown without taking the
  // keyboard and without asking; nothing waits for the answer.
  void checkAtStart();

  // Tests answer the question and watch the browser here.
  void setHooks(const ReleasePageHooks& hooks);
  TFormWebUpdate& form();
  UpdateCheck& check() { return check_; }

 private:
  enum class Mode { Progress, AtStart };
  void startCheck(Mode mode);
  void progressResult(const UpdateResult& result);
  void startResult(const UpdateResult& result);
  QUrl base() const;
  QUrl releasePage() const;

  QWidget* window_;
  const Configuration& config_;
  GuiMessages& messages_;
  QPointer<TProgressForm> progress_;
  QPointer<QStatusBar> statusBar_;
  ReleasePageHooks hooks_;
  UpdateCheck check_;
  Mode mode_ = Mode::Progress;
  TFormWebUpdate* form_ = nullptr;  // made on first use, owned by the window
};
