#include "capture/PortRegistry.h"
#include "capture/SimulatedLink.h"
#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "settings/Texts.h"
#include "settings/UserPath.h"

namespace TextNo {
constexpr int TakesNoFile = 9437, NumbersNotKept = 9411, NoPorts = 9438, NotAvailable = 9439;
}

int runPorts(const QStringList& in) {
  const Args a = Args::parse(in, {}, {"simulate="});
  if (!a.error.isEmpty() || !a.positional.isEmpty()) {
    printErr(QStringLiteral("vorlog-cli ports: %1\n").arg(a.error.isEmpty() ? Texts::text(TextNo::TakesNoFile) : a.error));
    return 2;
  }
  ensureUserPath();
  MonotonicClock clock;
  SimulatedLink link(clock);
  PortRegistry registry(configurationFilePath());
  if (a.has("simulate")) registry.useSimulation(&link);
  QString error;
  if (!registry.scan(&error)) printErr(QStringLiteral("vorlog-cli: ") + Texts::text(TextNo::NumbersNotKept).arg(error) + QLatin1Char('\n'));
  QString out;
  for (const PortInfo& p : registry.ports()) {
    QString why;
    const bool available = registry.IsPortAvailable(p.comNumber, &why);
    out += QStringLiteral("COM%1  %2  %3%4\n")
               .arg(p.comNumber, -2)
               .arg(p.path, -20)
               .arg(p.description.isEmpty() ? QStringLiteral("-") : p.description)
               .arg(available ? QString() : Texts::text(TextNo::NotAvailable).arg(why));
    // What a recording would get from the driver, on a line of its own under the port.
    const QStringList caps = available ? describeCapabilities(registry.capabilities(p.comNumber)) : QStringList();
    if (!caps.isEmpty()) out += QStringLiteral("       ") + caps.join(QStringLiteral("; ")) + QLatin1Char('\n');
  }
  if (out.isEmpty()) out = Texts::text(TextNo::NoPorts) + QLatin1Char('\n');
  printOut(out);
  return 0;
}
