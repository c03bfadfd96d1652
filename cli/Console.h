#pragma once
#include <QString>

#include "settings/MessageSink.h"

// Messages on the terminal: reports go to standard error in the current language.
// A question is asked when standard input is a terminal; otherwise it takes the
// answer that changes nothing, and says so.
class ConsoleMessages : public MessageSink {
 public:
  void reportError(int titleText, int messageText, const QString& extra, const char* sourceFile,
                   int sourceLine) override;
  int showMessage(int titleText, int messageText, MessageKind kind, ButtonSet buttons) override;
  int errorCount() const { return errors_; }
  // When set, warnings are not printed (the caller explains the situation itself).
  void setQuietWarnings(bool quiet) { quietWarnings_ = quiet; }

 private:
  int errors_ = 0;
  bool quietWarnings_ = false;
};

void printErr(const QString& text);
void printOut(const QString& text);
