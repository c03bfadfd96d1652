// vorlog-cli: records and examines serial links without a window, for automation.
#include <QCoreApplication>
#include <csignal>

#include "cli/Commands.h"
#include "cli/Console.h"

namespace {

const char* const kUsage =
    "usage: vorlog-cli COMMAND [options]\n"
    "\n"
    "commands:\n"
    "  ports [--simulate]             list the serial ports with their COM numbers\n"
    "  record OUT.vrd [options]       record the link into a record file\n"
    "      --port-a PORT, --port-b PORT   COM number (3, COM3) or device path; A hears D2, B hears D1\n"
    "      --baud N  --data-bits 5..8  --parity N|E|O|M|S  --stop-bits 1|1.5|2\n"
    "      --simulate[=SCENARIO]      the simulated link (built-in exchange, a scenario file, or 'stress')\n"
    "      --append | --replace       what to do with an existing file\n"
    "      --duration SECONDS  --events N   stop after this long or this many events\n"
    "      --quiet                    no progress line\n"
    "  info FILE.vrd [--json]         records, time span, counters and marks of a record file\n"
    "  dump FILE.vrd [--from N] [--count N]   the records one per line\n";

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  // A file size limit must turn into a failed write we can report, not a killed process.
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
  QStringList args = app.arguments().mid(1);
  if (args.isEmpty() || args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h")) {
    printOut(QString::fromLatin1(kUsage));
    return args.isEmpty() ? 2 : 0;
  }
  const QString command = args.takeFirst();
  if (command == QLatin1String("ports")) return runPorts(args);
  if (command == QLatin1String("record")) return runRecord(args);
  if (command == QLatin1String("info")) return runInfo(args);
  if (command == QLatin1String("dump")) return runDump(args);
  printErr(QStringLiteral("vorlog-cli: unknown command '%1'\n\n").arg(command) + QString::fromLatin1(kUsage));
  return 2;
}
