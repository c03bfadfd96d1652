#include "triggers/TriggerEngine.h"

#include <QMetaObject>
#include <algorithm>

#include "capture/Clock.h"
#include "capture/PortEventHandler.h"
#include "capture/RecordingGate.h"
#include "capture/SerialPort.h"
#include "settings/MessageSink.h"
#include "settings/Texts.h"
#include "triggers/TextNotation.h"

namespace TextNo {
constexpr int EngineTitle = 2100, WaitingStart = 2121, WaitingStop = 2122, Skipped = 9810;
}  // namespace TextNo

namespace {

// The six lines in record order with the port that hears them and the modem delta bit.
struct SignalLine {
  int32_t TriggerRecord::*condition;
  bool onComA;
  uint16_t delta;
};
constexpr SignalLine kLines[SignalCount] = {
    {&TriggerRecord::S1, false, ModemDelta::Dsr}, {&TriggerRecord::M1, true, ModemDelta::Dsr},
    {&TriggerRecord::S2, false, ModemDelta::Cts}, {&TriggerRecord::M2, true, ModemDelta::Cts},
    {&TriggerRecord::M5, true, ModemDelta::Dcd},  {&TriggerRecord::M3, true, ModemDelta::Ring},
};

// Activity categories of an inactivity trigger, in the order they are checked; signal
// slots count as inactive only while their line is low.
struct Category {
  bool TriggerRecord::*watch;
  ActivitySlot slot;
  int signal;  // SignalIndex, or -1
};
constexpr Category kCategories[] = {
    {&TriggerRecord::EventD1, ActD1, -1},       {&TriggerRecord::EventD2, ActD2, -1},
    {&TriggerRecord::EventS1, ActS1, SigS1Dtr}, {&TriggerRecord::EventM1, ActM1, SigM1Dsr},
    {&TriggerRecord::EventS2, ActS2, SigS2Rts}, {&TriggerRecord::EventM2, ActM2, SigM2Cts},
    {&TriggerRecord::EventM3, ActM3, SigM3Rng}, {&TriggerRecord::EventM5, ActM5, SigM5Dcd},
    {&TriggerRecord::EventPE, ActPe, -1},       {&TriggerRecord::EventFE, ActFe, -1},
    {&TriggerRecord::EventLE, ActLe, -1},
};

// Counter readings compared as modular differences, so a wrapping counter still works.
uint64_t later(uint64_t a, uint64_t b) { return int64_t(a - b) > 0 ? a : b; }

}  // namespace

TriggerEngine::TriggerEngine(TriggerEngineParts parts, TriggerList& list, TriggerActions& actions, QObject* parent)
    : QObject(parent), p_(parts), list_(list), actions_(actions) {
  timer_.setInterval(1000);
  connect(&timer_, &QTimer::timeout, this, &TriggerEngine::TriggerTimerTimer);
}

TriggerEngine::~TriggerEngine() { DisarmAllTriggers(); }

void TriggerEngine::setStatus(const QString& text) {
  if (status_ == text) return;
  status_ = text;
  emit statusTextChanged(text);
}

bool TriggerEngine::waiting() const { return p_.gate.waiting; }

void TriggerEngine::setRecorderLoaded(bool loaded) {
  loaded_ = loaded;
  ++sequence_;  // a stop queued by the last recording must not reach the next one
  list_.setLocked(loaded);
  if (!loaded) setStatus(QString());
}

void TriggerEngine::resetCursor() {
  cursor_ = 0;
  groupStart_ = 0;
  pausedWithGroup_ = false;
}

bool TriggerEngine::StartTriggerSequence() {
  DisarmAllTriggers();
  active_.clear();
  resetCursor();
  actions_.reset();
  list_.clearSeenAt();
  QStringList skipped;
  for (const TriggerRecord& t : list_.records()) {
    if (!t.Active) continue;
    // A trigger that can arm nothing would leave the recording waiting for ever.
    if (const int problem = triggerArmProblem(t)) {
      skipped << QStringLiteral("%1 \"%2\": %3").arg(t.Number).arg(t.Name, Texts::text(problem));
      continue;
    }
    active_.push_back(t);
  }
  if (!skipped.isEmpty()) {
    QMetaObject::invokeMethod(
        this,
        [this, skipped] {
          VORLOG_REPORT(p_.messages, TextNo::EngineTitle, TextNo::Skipped, QStringLiteral("\n") + skipped.join('\n'));
        },
        Qt::QueuedConnection);
  }
  if (active_.empty()) return false;
  ArmNextTriggers();
  return true;
}

void TriggerEngine::ArmNextTriggers() {
  const int n = int(active_.size());
  if (cursor_ >= n) return;
  groupStart_ = cursor_;
  RecordingGate& g = p_.gate;
  while (cursor_ < n && active_[size_t(cursor_)].Type == TriggerType::Start) {
    ArmTrigger(cursor_);
    g.waiting = g.startArmed = true;
    setStatus(Texts::text(TextNo::WaitingStart) + QStringLiteral(" (%1)").arg(active_[size_t(cursor_)].Number));
    ++cursor_;
  }
  if (g.startArmed) return;
  while (cursor_ < n && active_[size_t(cursor_)].Type != TriggerType::Start) {
    const TriggerRecord& t = active_[size_t(cursor_)];
    ArmTrigger(cursor_);
    g.waiting = true;
    if (t.Type == TriggerType::Stop) {
      g.stopArmed = true;
      setStatus(Texts::text(TextNo::WaitingStop) + QStringLiteral(" (%1)").arg(t.Number));
    } else {
      g.inactivityArmed = true;
    }
    g.recordingSwitch = true;
    ++cursor_;
  }
}

std::array<uint8_t, SignalCount> TriggerEngine::currentLevels() const {
  std::array<uint8_t, SignalCount> levels{};
  p_.handler.ReadSignalStates();
  std::copy(std::begin(p_.capture.pending().signalBytes), std::end(p_.capture.pending().signalBytes),
            levels.begin());
  return levels;
}

void TriggerEngine::ArmTrigger(int index) {
  const TriggerRecord& t = active_[size_t(index)];
  auto armStatus = [&](SerialPort& port, int kind, uint16_t mask) {
    const int h = port.AddStatusTrigger(kind);
    if (!h) return;
    port.SetStatusTrigger(h, mask, true);
    // The levels as they are now: an edge seen while another group was armed is not misread later.
    armed_.push_back({index, &port, h, mask, currentLevels()});
  };
  switch (t.Type == TriggerType::Inactivity ? TriggerEvent::Inactivity : t.Event) {
    case TriggerEvent::Data: {
      const QByteArray pattern = TextNotation::HexToStr(t.Data).left(kMaxPatternBytes);
      for (auto [wanted, port] : {std::pair{t.D1, &p_.comB}, std::pair{t.D2, &p_.comA}}) {
        if (!wanted) continue;
        if (const int h = port->AddDataTrigger(pattern, false)) armed_.push_back({index, port, h, 0, {}});
      }
      break;
    }
    case TriggerEvent::Signal: {
      uint16_t maskA = 0, maskB = 0;
      for (const SignalLine& l : kLines)
        if (t.*l.condition != Edge::Ignore) (l.onComA ? maskA : maskB) |= l.delta;
      if (maskB) armStatus(p_.comB, StatusKind::Modem, maskB);
      if (maskA) armStatus(p_.comA, StatusKind::Modem, maskA);
      break;
    }
    case TriggerEvent::Error: {
      const uint16_t mask = (t.PE ? LineDelta::Parity : 0) | (t.FE ? LineDelta::Framing : 0) |
                            (t.LE ? LineDelta::Other : 0);
      if (!mask) break;
      armStatus(p_.comB, StatusKind::Line, mask);
      armStatus(p_.comA, StatusKind::Line, mask);
      break;
    }
    default: {
      Timed tm{index, 0, {}};
      if (t.Event == TriggerEvent::Time && t.Type != TriggerType::Inactivity)
        tm.reached = oleDateFromUnixLocal(double(t.TimeReached.toMSecsSinceEpoch() / 1000.0) +
                                          double(t.TimeReached.offsetFromUtc()));
      // Silence counts from the arming at the earliest.
      tm.lastFired.fill(p_.clock.ticks());
      timed_.push_back(tm);
      timer_.start();
      break;
    }
  }
}

void TriggerEngine::removeComponentTriggers() {
  timer_.stop();
  timed_.clear();
  for (const Armed& a : armed_) a.port->RemoveTrigger(a.handle);
  armed_.clear();
}

void TriggerEngine::DisarmAllTriggers() {
  removeComponentTriggers();
  RecordingGate& g = p_.gate;
  g.waiting = g.startArmed = g.stopArmed = g.inactivityArmed = false;
}

void TriggerEngine::pauseSequence() {
  pausedGate_ = p_.gate;
  pausedWithGroup_ = !armed_.empty() || !timed_.empty();
  removeComponentTriggers();
}

bool TriggerEngine::resumeSequence() {
  if (active_.empty()) return false;
  p_.gate = pausedGate_;
  if (pausedWithGroup_) {
    // The same group as before the pause, with the gate as it was.
    cursor_ = groupStart_;
    ArmNextTriggers();
    p_.gate.recordingSwitch = pausedGate_.recordingSwitch;
  }
  return true;
}

bool TriggerEngine::edgeMet(Armed& a) {
  const TriggerRecord& t = active_[size_t(a.active)];
  const uint8_t* now = p_.capture.pending().signalBytes;
  bool met = false;
  for (int s = 0; s < SignalCount; ++s) {
    const int condition = t.*kLines[s].condition;
    if (condition == Edge::Ignore) continue;
    if (condition == Edge::Rises && now[s] == 1 && a.previous[size_t(s)] == 0) met = true;
    if (condition == Edge::Falls && now[s] == 0 && a.previous[size_t(s)] == 1) met = true;
  }
  // Every line of the trigger follows the change, whether it fired or not.
  for (int s = 0; s < SignalCount; ++s) a.previous[size_t(s)] = now[s];
  return met;
}

int TriggerEngine::EvaluateTriggerEvent(SerialPort& port, int handle) {
  const auto it =
      std::find_if(armed_.begin(), armed_.end(), [&](const Armed& a) { return a.port == &port && a.handle == handle; });
  if (it == armed_.end()) return 1;  // not ours, or disarmed while the notification was on its way
  const int index = it->active;
  if (active_[size_t(index)].Event == TriggerEvent::Signal && !edgeMet(*it)) {
    port.SetStatusTrigger(handle, it->mask, true);
    return 0;
  }
  fire(index);
  return 1;
}

void TriggerEngine::fire(int index) {
  const TriggerRecord t = active_[size_t(index)];
  const int action = std::clamp(t.Type, 0, 2);  // start, stop, detected
  if (p_.capture.RecordTriggerMark(action, t.Type == TriggerType::Inactivity ? TriggerEvent::Inactivity : t.Event,
                                   t.Number) == 0)
    emit triggerMarked(t.Number, p_.capture.previousRecord().eventNumber);
  ApplyTriggerToRecording(t.Type);
  // The next group is armed before anything else happens: a pending message or a slow
  // program start cannot let the same trigger fire twice.
  if (t.Type != TriggerType::Inactivity) {
    DisarmAllTriggers();
    ArmNextTriggers();
  }
  // A program started by the trigger finds the mark and everything before it in the file.
  p_.capture.flushRecords();
  const std::vector<ActionFailure> failures = actions_.RunTriggerActions(t, QDateTime::currentDateTime());
  if (failures.empty()) return;
  QMetaObject::invokeMethod(
      this,
      [this, failures] {
        for (const ActionFailure& f : failures) VORLOG_REPORT(p_.messages, TextNo::EngineTitle, f.messageText, f.extra);
      },
      Qt::QueuedConnection);
}

void TriggerEngine::ApplyTriggerToRecording(int type) {
  RecordingGate& g = p_.gate;
  if (!g.waiting) return;
  if (g.startArmed) {
    g.recordingSwitch = true;
    p_.capture.InitLineActivity();
    setStatus(QString());
  }
  if (g.stopArmed && type == TriggerType::Stop) {
    setStatus(QString());
    if (cursor_ >= int(active_.size())) {
      // The last stop: what already arrived is recorded, then nothing more until the
      // stop, which runs after this notification has returned.
      p_.handler.ComReadAllPendingData();
      g.recordingSwitch = false;
      const uint64_t sequence = sequence_;
      QMetaObject::invokeMethod(
          this,
          [this, sequence] {
            if (loaded_ && sequence == sequence_) emit stopRequested();
          },
          Qt::QueuedConnection);
    } else {
      g.recordingSwitch = false;
    }
  }
}

void TriggerEngine::TriggerTimerTimer() {
  if (timed_.empty()) return;
  const double nowDate = p_.clock.now();
  const uint64_t now = p_.clock.ticks();
  const uint64_t freq = std::max<uint64_t>(p_.clock.frequency(), 1);
  const auto& ticks = p_.capture.activityTicks();
  const LineActivityTable& activity = p_.capture.lineActivity();
  for (Timed& tm : timed_) {
    const TriggerRecord& t = active_[size_t(tm.active)];
    bool fires = false;
    if (t.Type != TriggerType::Inactivity && t.Event == TriggerEvent::Time) {
      fires = nowDate > tm.reached;
    } else {
      for (const Category& c : kCategories) {
        if (!(t.*c.watch)) continue;
        if (c.signal >= 0 && activity[c.slot].signalBytes[c.signal] != 0) continue;
        const uint64_t since = later(ticks[c.slot], tm.lastFired[c.slot]);
        if (int64_t(now - since) < 0 || (now - since) / freq < uint64_t(t.InActivityTime)) continue;
        // Each trigger keeps its own last firing: a 10 s trigger still fires beside a 5 s one.
        tm.lastFired[c.slot] = now;
        fires = true;
      }
    }
    if (fires) {
      fire(tm.active);
      return;  // the list may have been replaced by the next group
    }
  }
}
