#include "recording/RecordText.h"

#include <QDateTime>
#include <QTimeZone>
#include <cmath>

#include "capture/Clock.h"
#include "settings/Texts.h"

namespace TextNo {
constexpr int Invalid = 9443, FileStart = 9444, OtherMark = 9445;
}

QString markLabel(const EventRecord& r) {
  if (r.markType == Mark::SystemType) {
    switch (r.markCode) {
      case Mark::Plain: return Texts::text(TextNo::FileStart);
      case Mark::Appended: return Texts::text(4219);
      case Mark::UserStop: return Texts::text(4220);
      case Mark::UserStart: return Texts::text(4221);
      default: break;
    }
  }
  if (r.markCode == Mark::Debug) return Texts::text(4231);
  if (r.markCode >= Mark::TriggerStart && r.markCode <= Mark::TriggerDetected) {
    static const int kPrefix[] = {4211, 4217, 4214};
    static const int kAction[] = {4212, 4218, 4215};
    const int a = r.markCode - 1;
    const QString type = r.markType <= 4 ? Texts::text(4226 + r.markType) : QString::number(r.markType);
    return Texts::text(kPrefix[a]) + QString::number(r.triggerNumber) + QLatin1Char('.') + type + QLatin1Char('.') +
           Texts::text(kAction[a]);
  }
  if (r.markCode != Mark::Plain) return Texts::text(TextNo::OtherMark).arg(r.markCode).arg(r.markType);
  return QString();
}

QString formatOleDate(double oleDate) {
  // Years 1900 to 9999 only: anything else is no time stamp of ours.
  if (!std::isfinite(oleDate) || oleDate < 1.0 || oleDate > 2958465.0) return Texts::text(TextNo::Invalid);
  const double secs = unixLocalFromOleDate(oleDate);
  const double whole = std::floor(secs);
  int micros = int(std::llround((secs - whole) * 1e6));
  qint64 s = qint64(whole);
  if (micros >= 1000000) {
    micros -= 1000000;
    ++s;
  }
  const QDateTime t = QDateTime::fromSecsSinceEpoch(s, QTimeZone::utc());
  return t.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.")) + QStringLiteral("%1").arg(micros, 6, 10, QLatin1Char('0'));
}
