#include "settings/EnvironmentPorts.h"

#include "capture/Ports.h"
#include "settings/Texts.h"

namespace TextNo {
constexpr int PortNotOffered = 9840, SettingsDiffer = 9841;
}  // namespace TextNo

namespace {
constexpr const char* kParityLetters[] = {"N", "O", "E", "M", "S"};  // by the component's parity code
}  // namespace

int parityCode(const QString& letter) {
  for (int i = 0; i < 5; ++i)
    if (letter == QLatin1String(kParityLetters[i])) return i;
  return 0;
}

void applyEnvironmentPorts(const Environment& env, Ports& ports, QStringList* warnings) {
  auto warn = [&](const QString& w) {
    if (warnings) *warnings << w;
  };
  if (!ports.selectComA(env.comA.device)) warn(Texts::text(TextNo::PortNotOffered).arg(QStringLiteral("ComA")).arg(env.comA.device));
  if (!ports.selectComB(env.comB.device)) warn(Texts::text(TextNo::PortNotOffered).arg(QStringLiteral("ComB")).arg(env.comB.device));
  const EnvironmentPort& p = env.comA;
  if (env.comB.baud != p.baud || env.comB.dataBits != p.dataBits || env.comB.parity != p.parity ||
      env.comB.stopBits != p.stopBits)
    warn(Texts::text(TextNo::SettingsDiffer));
  ports.selectLineSettings(QString::number(p.baud), QString::number(p.dataBits), parityLetter(p.parity),
                           stopBitsText(p.stopBits, p.dataBits));
  ports.InitInterface();
}

void takeEnvironmentPorts(const Ports& ports, int comA, int comB, Environment& env) {
  EnvironmentPort p;
  bool ok = false;
  p.baud = ports.baudRates.current().toInt(&ok);
  if (!ok) p.baud = 9600;
  p.dataBits = ports.dataBits.current().toInt(&ok);
  if (!ok) p.dataBits = 8;
  p.parity = parityCode(ports.parities.current());
  const QString stop = ports.stopBits.current();
  p.stopBits = stop == QLatin1String("1") ? 1 : 2;
  env.comA = p;
  env.comB = p;
  env.comA.device = comA;
  env.comB.device = comB;
}
