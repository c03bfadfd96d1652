// vorlog-cli: records and examines serial links without a window, for automation.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <csignal>

#include "cli/Commands.h"
#include "cli/Console.h"
#include "settings/Texts.h"
#include "settings/Configuration.h"
#include "settings/UserPath.h"
#include "shell/AppVersion.h"
#include "shell/HelpPages.h"

namespace TextNo {
constexpr int Usage = 9400, UnknownCommand = 9401, LangValue = 9441;
constexpr int Manual = 9553, ManualMissing = 9554, Alerter = 9555, AlerterMissing = 9556;
}

namespace {

// The language of the configuration (the installer's choice until the user made one); nothing is saved.
int configuredLanguageOffset() {
  Configuration configuration;
  configuration.load();
  return configuration.languageOffset;
}

// Takes "--lang de|en" (anywhere on the line) out of the arguments; false for another value.
bool takeLanguage(QStringList& args) {
  for (int i = 0; i < args.size(); ++i) {
    QString value;
    if (args[i] == QLatin1String("--lang") && i + 1 < args.size()) {
      value = args[i + 1];
      args.remove(i, 2);
    } else if (args[i].startsWith(QLatin1String("--lang="))) {
      value = args[i].mid(7);
      args.remove(i);
    } else {
      continue;
    }
    if (value != QLatin1String("de") && value != QLatin1String("en")) return false;
    Texts::setLanguageOffset(value == QLatin1String("de") ? 0 : Texts::kEnglishOffset);
    return true;
  }
  return true;
}

// The version, and where this installation's manual and alerter are: what a user or a
// support request needs to know about an installation.
int printVersion() {
  QString out = QStringLiteral("vorlog-cli %1\n").arg(appVersion());
  const HelpPages::Page manual = HelpPages(HelpPages::defaultInstalledRoot(), userPath()).find(0);
  out += Texts::text(manual.found ? TextNo::Manual : TextNo::ManualMissing).arg(QDir::cleanPath(manual.path)) + QLatin1Char('\n');
  const QString alerter = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("klaxor"));
  const bool alerterFound = QFileInfo(alerter).isExecutable();
  out += Texts::text(alerterFound ? TextNo::Alerter : TextNo::AlerterMissing).arg(alerter) + QLatin1Char('\n');
  printOut(out);
  return manual.found && alerterFound ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::unique_ptr<QCoreApplication> app = makeApplication(argc, argv);
  // A file size limit must turn into a failed write we can report, not a killed process.
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
  QStringList args = QCoreApplication::arguments().mid(1);
  Texts::setLanguageOffset(configuredLanguageOffset());
  if (!takeLanguage(args)) {
    printErr(QStringLiteral("vorlog-cli: ") + Texts::text(TextNo::LangValue) + QLatin1Char('\n'));
    return 2;
  }
  if (args.isEmpty() || args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h")) {
    printOut(Texts::text(TextNo::Usage));
    return args.isEmpty() ? 2 : 0;
  }
  if (args[0] == QLatin1String("--version")) return printVersion();
  const QString command = args.takeFirst();
  if (command == QLatin1String("ports")) return runPorts(args);
  if (command == QLatin1String("record")) return runRecord(args);
  if (command == QLatin1String("tap")) return runTap(args);
  if (command == QLatin1String("info")) return runInfo(args);
  if (command == QLatin1String("dump")) return runDump(args);
  if (command == QLatin1String("env")) return runEnv(args);
  if (command == QLatin1String("search")) return runSearch(args);
  if (command == QLatin1String("measure")) return runMeasure(args);
  if (command == QLatin1String("export")) return runExport(args);
  if (command == QLatin1String("report")) return runReport(args);
  if (command == QLatin1String("check-update")) return runCheckUpdate(args);
  printErr(QStringLiteral("vorlog-cli: ") + Texts::text(TextNo::UnknownCommand).arg(command) + QStringLiteral("\n\n") +
           Texts::text(TextNo::Usage));
  return 2;
}
