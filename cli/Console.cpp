#include "cli/Console.h"

#include <unistd.h>

#include <QCoreApplication>
#include <cstdio>
#include <iostream>
#include <string>

#include "settings/ErrorReport.h"
#include "settings/Texts.h"

namespace TextNo {
constexpr int NoTerminal = 9440, AnswerPrompt = 9442;
}

void printErr(const QString& text) {
  std::fputs(text.toLocal8Bit().constData(), stderr);
  std::fflush(stderr);
}

void printOut(const QString& text) {
  std::fputs(text.toLocal8Bit().constData(), stdout);
  std::fflush(stdout);
}

namespace {
QString plain(QString text) { return text.replace(QLatin1Char('\t'), QLatin1String("  ")).trimmed(); }
// "&Yes" -> "Yes": menu accelerators mean nothing on a terminal.
QString caption(int textNumber) { return Texts::text(textNumber).remove(QLatin1Char('&')); }
}  // namespace

void ConsoleMessages::reportError(int titleText, int messageText, const QString& extra, const char* sourceFile,
                                  int sourceLine) {
  ++errors_;
  const ErrorReport r = composeErrorReport(titleText, messageText, extra, QString::fromLocal8Bit(sourceFile),
                                           sourceLine, QStringLiteral("vorlog-cli"),
                                           QCoreApplication::applicationFilePath());
  printErr(QStringLiteral("vorlog-cli: %1\n%2\n").arg(r.title, plain(r.text)));
}

int ConsoleMessages::showMessage(int titleText, int messageText, MessageKind kind, ButtonSet buttons) {
  const std::vector<MessageButton> choices = buttonsOf(buttons);
  if (!(quietWarnings_ && kind == MessageKind::Warning))
    printErr(QStringLiteral("vorlog-cli: %1: %2\n").arg(Texts::text(titleText), plain(Texts::text(messageText))));
  if (choices.size() == 1) return choices.front().result;
  if (!::isatty(STDIN_FILENO)) {
    // Nobody to ask: the answer that changes nothing, and say so.
    const int answer = safeAnswer(buttons);
    for (const MessageButton& b : choices)
      if (b.result == answer) printErr(Texts::text(TextNo::NoTerminal).arg(caption(b.captionText)) + '\n');
    return answer;
  }
  QStringList names;
  for (const MessageButton& b : choices) names << caption(b.captionText);
  for (;;) {
    printErr(QStringLiteral("[%1] %2").arg(names.join(QLatin1Char('/')), Texts::text(TextNo::AnswerPrompt)));
    std::string reply;
    if (!std::getline(std::cin, reply)) return safeAnswer(buttons);
    const QString r = QString::fromLocal8Bit(reply.c_str()).trimmed();
    for (const MessageButton& b : choices) {
      const QString name = caption(b.captionText);
      // The whole caption or its first letter, in either case.
      if (!r.isEmpty() && (r.compare(name, Qt::CaseInsensitive) == 0 ||
                           (r.size() == 1 && name.startsWith(r, Qt::CaseInsensitive))))
        return b.result;
    }
  }
}
