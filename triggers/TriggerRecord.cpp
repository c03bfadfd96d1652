#include "triggers/TriggerRecord.h"

#include "settings/Texts.h"
#include "triggers/TextNotation.h"

namespace TextNo {
constexpr int StartRecording = 4268, StopRecording = 4269, Inactivity = 4260;
constexpr int EventFirst = 8179, EventInactivity = 8183;
}  // namespace TextNo

int triggerArmProblem(const TriggerRecord& t) {
  using namespace TriggerProblem;
  if (t.Type < TriggerType::Start || t.Type > TriggerType::Inactivity) return BadType;
  if (t.Type == TriggerType::Inactivity) {
    if (t.InActivityTime < kMinInactivitySeconds || t.InActivityTime > kMaxInactivitySeconds) return BadSeconds;
    const bool any = t.EventD1 || t.EventD2 || t.EventS1 || t.EventM1 || t.EventS2 || t.EventM2 || t.EventM5 ||
                     t.EventM3 || t.EventPE || t.EventFE || t.EventLE;
    return any ? None : NoActivity;
  }
  switch (t.Event) {
    case TriggerEvent::Data:
      if (!t.D1 && !t.D2) return NoDataLine;
      if (t.Data.isEmpty()) return EmptyData;
      return TextNotation::isValidPattern(t.Data) ? None : BadPattern;
    case TriggerEvent::Signal:
      for (int e : {t.S1, t.M1, t.S2, t.M2, t.M5, t.M3})
        if (e < Edge::Ignore || e > Edge::Rises) return BadEvent;
      return (t.S1 || t.M1 || t.S2 || t.M2 || t.M5 || t.M3) ? None : NoSignalEdge;
    case TriggerEvent::Error:
      return (t.PE || t.FE || t.LE) ? None : NoErrorKind;
    case TriggerEvent::Time:
      return t.TimeReached.isValid() ? None : BadTime;
    default:
      return BadEvent;
  }
}

QString triggerTypeText(int type) {
  switch (type) {
    case TriggerType::Start: return Texts::text(TextNo::StartRecording);
    case TriggerType::Stop: return Texts::text(TextNo::StopRecording);
    case TriggerType::Inactivity: return Texts::text(TextNo::Inactivity);
    default: return QString();
  }
}

QString triggerEventText(const TriggerRecord& t) {
  if (t.Type == TriggerType::Inactivity) return Texts::text(TextNo::EventInactivity);
  if (t.Event < TriggerEvent::Data || t.Event > TriggerEvent::Time) return QString();
  return Texts::text(TextNo::EventFirst + t.Event);
}
