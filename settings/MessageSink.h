#pragma once
#include <QString>

// Core code reports failures and asks questions as numbers; the GUI's message box
// and the command-line console turn them into words.
enum class MessageKind { Warning, Error, Information, Question };
enum class ButtonSet { Ok, YesNoCancel, YesNo };

// Results of a message box, as the buttons answer.
enum MessageResult { ResultOk = 1, ResultYes = 6, ResultNo = 7, ResultCancel = 2, ResultClosed = -1 };

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // The central error report: title and message are text numbers; extra is appended as is.
  virtual void reportError(int titleText, int messageText, const QString& extra, const char* sourceFile,
                           int sourceLine) = 0;
  virtual int showMessage(int titleText, int messageText, MessageKind kind, ButtonSet buttons) = 0;
};

#define VORLOG_REPORT(sink, title, message, extra) (sink).reportError((title), (message), (extra), __FILE__, __LINE__)
