#pragma once
#include <QDialog>
#include <QStringList>
#include <QUrl>
#include <functional>

#include "shell/UpdateCheck.h"

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

// How a newer version reaches the user: a yes/no question, then the release page in the
// browser. Nothing is downloaded and nothing is run. Both are injected so that tests
// answer without a box and open nothing.
struct ReleasePageHooks {
  std::function<bool(const QString& title, const QString& text)> askYesNo;  // unset: "No"
  std::function<bool(const QUrl&)> openUrl;                                 // unset: QDesktopServices
};

enum class ReleasePageAnswer { Declined, Opened, OpenFailed };

// Asks whether to open the release page of the remote version and opens it on "Yes".
// Only a web address (http or https) is handed to the browser.
ReleasePageAnswer offerReleasePage(const QString& remoteVersion, const QUrl& page, const ReleasePageHooks& hooks);
// The line the window and the progress window show for an answer.
QString releasePageLine(ReleasePageAnswer answer, const QUrl& page);

// The update dialog: explanatory lines, a list of result lines, a bar, "Next >" and
// "Cancel". Every line from the check is shown as plain text.
class TFormWebUpdate : public QDialog {
  Q_OBJECT
 public:
  explicit TFormWebUpdate(QWidget* parent = nullptr);

  void setAddresses(const QUrl& base, const QUrl& releasePage);
  void setHooks(ReleasePageHooks hooks) { hooks_ = std::move(hooks); }
  void setLocalVersion(const QString& version) { localVersion_ = version; }
  UpdateCheck& check() { return check_; }

  // Back to the opening state in the current language: nothing checked yet.
  void prepare();
  // Runs the check; after a newer version was found, offers its release page.
  void btnNextClick();
  // Ends a running check and closes the window.
  void btnCancelClick();
  // Shows the outcome of a check; ask: the question about the release page follows at
  // once (the start-up announcement leaves that to the button).
  void showResult(const UpdateResult& result, bool ask);

  QStringList lines() const;
  int percent() const;

 protected:
  void reject() override;

 private:
  void addLine(const QString& line);
  void offer();

  enum class State { Ready, Checking, Available, Done };
  State state_ = State::Ready;
  UpdateCheck check_;
  QUrl base_, releasePage_;
  QString localVersion_;
  QString remoteVersion_;
  ReleasePageHooks hooks_;
  QLabel* info_[4] = {};
  QLabel* lblProgress_ = nullptr;
  QListWidget* lstResults_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QPushButton* btnNext_ = nullptr;
  QPushButton* btnCancel_ = nullptr;
};
