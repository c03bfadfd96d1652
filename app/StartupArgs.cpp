#include "app/StartupArgs.h"

namespace {
bool isOption(const QString& a) { return a.startsWith(QLatin1String("--")); }
}

StartupFiles parseStartupFiles(const QStringList& args) {
  StartupFiles f;
  for (const QString& a : args) {
    if (isOption(a)) continue;
    if (a.contains(QLatin1String(".ven"), Qt::CaseSensitive)) f.environmentFile = a;
    if (a.contains(QLatin1String(".vrd"), Qt::CaseSensitive)) f.recordFile = a;
  }
  return f;
}

StartupOptions parseStartupOptions(const QStringList& args) {
  StartupOptions o;
  for (const QString& a : args) {
    if (!isOption(a)) continue;
    const QString name = a.section(QLatin1Char('='), 0, 0);
    const bool hasValue = a.contains(QLatin1Char('='));
    const QString value = a.section(QLatin1Char('='), 1);
    if (name == QLatin1String("--simulate")) {
      o.simulate = true;
      o.scenario = value;
    } else if (name == QLatin1String("--replay") && hasValue && !value.isEmpty()) {
      o.replay = value;
    } else if (name == QLatin1String("--screenshot") && hasValue && !value.isEmpty()) {
      o.screenshot = value;
    } else if (name == QLatin1String("--screenshot-delay") && hasValue) {
      bool ok = false;
      const int ms = value.toInt(&ok);
      if (ok && ms >= 0) o.screenshotDelayMs = ms;
      else o.error = a;
    } else if (name == QLatin1String("--exit-when-shown") && !hasValue) {
      o.exitWhenShown = true;
    } else if (name == QLatin1String("--goto") && hasValue) {
      bool ok = false;
      const long long n = value.toLongLong(&ok);
      if (ok && n >= 0) o.gotoEvent = n;
      else o.error = a;
    } else if (name == QLatin1String("--record") && !hasValue) {
      o.record = true;
    } else if (o.error.isEmpty()) {
      o.error = a;
    }
  }
  return o;
}
