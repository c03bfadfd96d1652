#pragma once
#include <QDateTime>
#include <QString>
#include <cstdint>

// Function of a trigger (what it does when it fires).
namespace TriggerType {
constexpr int Start = 0, Stop = 1, Inactivity = 2;
constexpr int Count = 3;
}  // namespace TriggerType
// Condition kind of a trigger; an inactivity trigger always has Event Inactivity.
namespace TriggerEvent {
constexpr int Data = 0, Signal = 1, Error = 2, Time = 3, Inactivity = 4;
}  // namespace TriggerEvent
// Edge condition of one signal line.
namespace Edge {
constexpr int Ignore = 0, Falls = 1, Rises = 2;
}  // namespace Edge

// A trigger mark carries the trigger's number in one byte.
constexpr int kMaxTriggers = 255;
// A data trigger's pattern is handed to the port as at most this many bytes.
constexpr int kMaxPatternBytes = 255;
constexpr int kMinInactivitySeconds = 1, kMaxInactivitySeconds = 65535;

// One trigger: a condition on the link and what happens when it fires. Fields in the
// order the environment file stores them.
struct TriggerRecord {
  QString Name;
  QString Description;
  bool Active = false;
  int32_t Type = TriggerType::Start;
  int32_t Event = TriggerEvent::Data;
  bool D1 = false;
  bool D2 = false;
  QString Data;  // upper-case hexadecimal digits, two per byte, no blanks
  int32_t S1 = 0, M1 = 0, S2 = 0, M2 = 0, M5 = 0, M3 = 0;
  bool PE = false, FE = false, LE = false;
  QDateTime TimeReached;  // local time
  int32_t InActivityTime = 1;
  bool EventD1 = false, EventD2 = false, EventS1 = false, EventM1 = false, EventS2 = false, EventM2 = false,
       EventM5 = false, EventM3 = false, EventPE = false, EventFE = false, EventLE = false;
  bool PlaySound = false;
  QString SoundFilePath;
  bool PlaySoundRepeat = false;
  bool ExecCommand = false;
  QString CommandFilePath;
  QString CommandParams;

  // Run time only: 1-based position in the list.
  int Number = 0;

  bool operator==(const TriggerRecord&) const = default;
};

// Why a trigger cannot arm anything, as a text number (0: it can). A trigger that arms
// nothing would leave the recording waiting for ever.
namespace TriggerProblem {
constexpr int None = 0;
constexpr int EmptyData = 9800, NoSignalEdge = 9801, NoErrorKind = 9802, NoDataLine = 9803;
constexpr int BadType = 9804, BadEvent = 9805, BadPattern = 9806, NoActivity = 9807, BadSeconds = 9808;
constexpr int BadTime = 9809;
}  // namespace TriggerProblem
int triggerArmProblem(const TriggerRecord& t);

// The texts the list shows for a trigger's function and condition kind.
QString triggerTypeText(int type);
QString triggerEventText(const TriggerRecord& t);
