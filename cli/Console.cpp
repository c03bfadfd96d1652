#include "cli/Console.h"

#include <cstdio>

#include "settings/Texts.h"

void printErr(const QString& text) {
  std::fputs(text.toLocal8Bit().constData(), stderr);
  std::fflush(stderr);
}

void printOut(const QString& text) {
  std::fputs(text.toLocal8Bit().constData(), stdout);
  std::fflush(stdout);
}

namespace {
QString oneLine(QString text) { return text.replace(QLatin1Char('\t'), QLatin1String("  ")).trimmed(); }
}  // namespace

void ConsoleMessages::reportError(int titleText, int messageText, const QString& extra, const char*, int) {
  ++errors_;
  printErr(QStringLiteral("vorlog-cli: %1 [%2]\n%3\n%4\n")
               .arg(Texts::text(titleText))
               .arg(titleText)
               .arg(oneLine(Texts::text(messageText)), oneLine(extra)));
}

int ConsoleMessages::showMessage(int titleText, int messageText, MessageKind kind, ButtonSet buttons) {
  if (!(quietWarnings_ && kind == MessageKind::Warning))
    printErr(QStringLiteral("vorlog-cli: %1: %2\n").arg(Texts::text(titleText), oneLine(Texts::text(messageText))));
  switch (buttons) {
    case ButtonSet::Ok: return ResultOk;
    case ButtonSet::YesNo: return ResultNo;
    case ButtonSet::YesNoCancel: return ResultCancel;
  }
  return ResultOk;
}
