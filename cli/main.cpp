// vorlog-cli: records and examines serial links without a window, for automation.
#include <QCoreApplication>
#include <csignal>

#include "cli/Commands.h"
#include "cli/Console.h"
#include "settings/Texts.h"
#include "settings/Configuration.h"

namespace TextNo {
constexpr int Usage = 9400, UnknownCommand = 9401, LangValue = 9441;
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
  const QString command = args.takeFirst();
  if (command == QLatin1String("ports")) return runPorts(args);
  if (command == QLatin1String("record")) return runRecord(args);
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
