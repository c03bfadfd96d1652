#include "capture/PortRegistry.h"
#include "capture/SimulatedLink.h"
#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "settings/UserPath.h"

int runPorts(const QStringList& in) {
  const Args a = Args::parse(in, {}, {"simulate="});
  if (!a.error.isEmpty() || !a.positional.isEmpty()) {
    printErr(QStringLiteral("vorlog-cli ports: %1\n").arg(a.error.isEmpty() ? "takes no file" : a.error));
    return 2;
  }
  ensureUserPath();
  MonotonicClock clock;
  SimulatedLink link(clock);
  PortRegistry registry(configurationFilePath());
  if (a.has("simulate")) registry.useSimulation(&link);
  QString error;
  if (!registry.scan(&error)) printErr(QStringLiteral("vorlog-cli: note: %1; port numbers are not kept\n").arg(error));
  QString out;
  for (const PortInfo& p : registry.ports()) {
    QString why;
    const bool available = registry.IsPortAvailable(p.comNumber, &why);
    out += QStringLiteral("COM%1  %2  %3%4\n")
               .arg(p.comNumber, -2)
               .arg(p.path, -20)
               .arg(p.description.isEmpty() ? QStringLiteral("-") : p.description)
               .arg(available ? QString() : QStringLiteral("  (not available: %1)").arg(why));
  }
  if (out.isEmpty()) out = QStringLiteral("no serial ports found (use --simulate for the simulated link)\n");
  printOut(out);
  return 0;
}
