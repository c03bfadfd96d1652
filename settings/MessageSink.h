#pragma once
#include <QString>
#include <vector>

// Core code reports failures and asks questions as numbers; the GUI's message box
// and the command-line console turn them into words.

// The kind selects the picture beside the text.
enum class MessageKind { Warning = 0, Error = 1, Information = 2, Question = 3 };
// Button sets: 0 OK, 3 Yes/No/Cancel, 4 Yes/No; any other shows OK, which answers -1.
enum class ButtonSet { Ok = 0, YesNoCancel = 3, YesNo = 4 };

// Results of a message box, as the buttons answer.
enum MessageResult { ResultOk = 1, ResultYes = 6, ResultNo = 7, ResultCancel = 2, ResultClosed = -1 };

// One visible button: its place from the left (1..3), caption text and result.
struct MessageButton {
  int slot;
  int captionText;
  int result;
};
std::vector<MessageButton> buttonsOf(ButtonSet set);
// The answer that changes nothing, for when nobody can be asked.
int safeAnswer(ButtonSet set);

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // The central error report: title and message are text numbers; extra is appended as is.
  virtual void reportError(int titleText, int messageText, const QString& extra, const char* sourceFile,
                           int sourceLine) = 0;
  virtual int showMessage(int titleText, int messageText, MessageKind kind, ButtonSet buttons) = 0;
};

#define VORLOG_REPORT(sink, title, message, extra) (sink).reportError((title), (message), (extra), __FILE__, __LINE__)
