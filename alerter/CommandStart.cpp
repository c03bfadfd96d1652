#include "alerter/CommandStart.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace Klaxor {

int startDetachedCommand(const CommandLine& command) {
  QString program = command.program;
  if (!program.contains(QLatin1Char('/'))) {
    program = QStandardPaths::findExecutable(command.program);
    if (program.isEmpty()) return 2;
  }
  const QFileInfo info(program);
  if (!info.exists()) return info.dir().exists() ? 2 : 3;
  if (!info.isFile() || !info.isExecutable()) return 5;
  QProcess process;
  process.setProgram(program);
  process.setArguments(command.arguments);
  process.setStandardInputFile(QProcess::nullDevice());
  return process.startDetached() ? 0 : 11;
}

}  // namespace Klaxor
