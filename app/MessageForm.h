#pragma once
#include <QDialog>
#include <QEventLoop>
#include <QPointer>
#include <QString>

#include "settings/MessageSink.h"

class QLabel;
class QProgressBar;
class QPlainTextEdit;
class QPushButton;

// The program's one message box. It waits in a local event loop, so the recording,
// the timers and the port notifications go on while a question is open.
class TMessageForm : public QDialog {
  Q_OBJECT
 public:
  explicit TMessageForm(QWidget* parent = nullptr);
  ~TMessageForm() override;

  // Shows text and title with the picture of the kind and the buttons of the set and
  // returns the result of the button pressed. While a box is open a second request is
  // not shown: it gets the answer that changes nothing at once, and is logged.
  int ShowMessage(const QString& text, const QString& title, MessageKind kind, ButtonSet buttons);
  void InitialLoads();

  bool isShowingMessage() const { return loop_ != nullptr; }
  int shownCount() const { return shown_; }
  int refusedCount() const { return refused_; }
  // Escape or the window's close button: the answer that changes nothing.
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void btnClicked(QPushButton* sender);
  void finish(int result);

  QLabel* picture_;
  QLabel* lblTitle_;
  QLabel* lblText_;
  QPushButton* btn_[3];
  ButtonSet set_ = ButtonSet::Ok;
  int result_ = 0;
  int shown_ = 0;
  int refused_ = 0;
  QPointer<QEventLoop> loop_;
};

// Reports and questions of the core, shown in the message box; the error report is
// composed from text numbers as everywhere else in the program.
class GuiMessages : public MessageSink {
 public:
  explicit GuiMessages(TMessageForm& form) : form_(form) {}
  void reportError(int titleText, int messageText, const QString& extra, const char* sourceFile,
                   int sourceLine) override;
  int showMessage(int titleText, int messageText, MessageKind kind, ButtonSet buttons) override;
  int reportCount() const { return reports_; }
  TMessageForm& form() { return form_; }

 private:
  TMessageForm& form_;
  int reports_ = 0;
};

// Shows the steps of a long operation: one text line per step and a bar.
class TProgressForm : public QDialog {
  Q_OBJECT
 public:
  explicit TProgressForm(QWidget* parent = nullptr);

  void Reset();
  void Step(const QString& text, int percent);
  void btnCloseClick();
  // The end of the steps: the user closes the window.
  void showCloseButton();

  int percent() const;
  QStringList lines() const;

 private:
  QPlainTextEdit* lines_;
  QProgressBar* bar_;
  QPushButton* btnClose_;
};
