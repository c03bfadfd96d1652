#include "capture/SimulatedLink.h"

#include <QElapsedTimer>
#include <QFile>
#include <optional>

#include "capture/Scenario.h"
#include "settings/Texts.h"

namespace TextNo {
constexpr int ScenarioTooLarge = 9580;  // the parser's text: the same limit
constexpr int CannotOpen = 9640, LinkGone = 9641, EndAlreadyOpen = 9642, EndTaken = 9643;
constexpr int BadBaud = 9644, BadDataBits = 9645, BadStopBits = 9646, SendsNothing = 9616;
}  // namespace TextNo

namespace {

// At most what a USB adapter hands over at once: one delivery is one burst, laid out
// from the moment it is taken, so a larger one would be stamped ahead of the clock.
constexpr size_t kBatchBytes = 512;
// In real time, as a UART's receive buffer would: bytes the capture has not taken
// this long after they arrived are lost as an overrun, and one pump hands over at
// most this much work before the event loop (signals, time limits) gets its turn.
constexpr uint64_t kOverrunAfterMs = 100;
constexpr qint64 kPumpBudgetMs = 20;

uint64_t splitmix(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

uint64_t seedState(uint32_t seed, int side) { return (uint64_t(seed) << 1 | uint64_t(side)) * 0xD1B54A32D192ED03ull; }

struct SimEvent {
  enum Kind : uint8_t { Byte, Error, Modem };
  SimTime time = 0;
  Kind kind = Byte;
  uint8_t byte = 0;
  uint8_t errorWord = 0;
  bool hasByte = false;
  uint8_t mask = 0, value = 0;
};

// Walks the scenario for the events of one side, in time order. Both walkers keep
// both cursors (sync needs them) but produce only their own side's events; blocks
// without events for this side are passed in one step with their cursor map.
class Walker {
 public:
  void reset(const Scenario* scenario, ScenarioMaps* maps, const ScenarioTiming* timing, int side) {
    scenario_ = scenario;
    maps_ = maps;
    timing_ = timing;
    side_ = side;
    pc_ = 0;
    cursor_[0] = cursor_[1] = 0;
    stack_.clear();
    inRun_ = false;
    hasPending_ = false;
    done_ = completed_ = false;
    produced_ = 0;
    rng_ = seedState(1, side);
    rngLeft_ = 0;
  }

  // The next event, or null when this side has no more.
  const SimEvent* peek() {
    if (hasPending_) return &pending_;
    if (done_ || !fill()) return nullptr;
    hasPending_ = true;
    ++produced_;
    return &pending_;
  }
  void pop() {
    hasPending_ = false;
    if (inRun_) ++runIndex_;
  }
  // The scenario ran to its end (not: this side just has nothing more to do).
  bool completed() const { return completed_; }
  SimTime endTime() const { return cursor_[0] > cursor_[1] ? cursor_[0] : cursor_[1]; }

 private:
  struct Frame {
    uint32_t op;
    uint64_t remaining;
    bool endless;
    uint64_t producedBefore;  // events of this side when the current pass began
  };

  uint8_t randomByte() {
    if (rngLeft_ == 0) {
      rngWord_ = splitmix(rng_);
      rngLeft_ = 8;
    }
    const uint8_t b = uint8_t(rngWord_);
    rngWord_ >>= 8;
    --rngLeft_;
    return b;
  }

  void startRun(const ScenarioOp& op, uint64_t count, SimTime charTime) {
    inRun_ = true;
    runOp_ = &op;
    runIndex_ = 0;
    runCount_ = count;
    runBase_ = cursor_[side_];
    runCt_ = charTime;
    runMaxIndex_ = uint64_t(std::min<SimTime>(kSimNever / charTime, SimTime(UINT64_MAX)));
  }

  void finishRun() {
    inRun_ = false;
    const ScenarioOp& op = *runOp_;
    if (op.kind == ScenarioOp::Kind::Data) {
      cursor_[side_] = simAdd(runBase_, runCount_ > runMaxIndex_ ? kSimNever : runCt_ * SimTime(runCount_));
    } else {  // Stress: both lines are busy for its duration
      const SimTime d = op.endless ? kSimNever : timing_->duration(op.ns);
      cursor_[0] = simAdd(cursor_[0], d);
      cursor_[1] = simAdd(cursor_[1], d);
    }
    ++pc_;
  }

  bool fill() {
    const std::vector<ScenarioOp>& ops = scenario_->ops;
    for (;;) {
      if (inRun_) {
        if (runIndex_ < runCount_) {
          pending_.kind = SimEvent::Byte;
          pending_.time = runIndex_ >= runMaxIndex_ ? kSimNever : runBase_ + runCt_ * SimTime(runIndex_ + 1);
          if (pending_.time >= kSimNever) {
            done_ = true;
            return false;
          }
          pending_.byte = runOp_->kind == ScenarioOp::Kind::Data ? scenario_->bytes[runOp_->offset + runIndex_] : randomByte();
          return true;
        }
        finishRun();
        continue;
      }
      if (!stack_.empty() && pc_ == ops[stack_.back().op].bodyEnd) {
        Frame& f = stack_.back();
        // A pass that gave this side nothing (a stress step shorter than a character)
        // gives it nothing next time either: passes are alike.
        if (produced_ == f.producedBefore) {
          if (f.endless) {
            done_ = true;
            return false;
          }
          if (--f.remaining > 0) maps_->body(f.op).power(f.remaining).apply(cursor_);
          stack_.pop_back();
          continue;
        }
        f.producedBefore = produced_;
        if (f.endless || --f.remaining > 0) pc_ = f.op + 1;
        else stack_.pop_back();
        continue;
      }
      if (pc_ >= ops.size()) {
        done_ = completed_ = true;
        return false;
      }
      const ScenarioOp& op = ops[pc_];
      const int own = side_;
      using K = ScenarioOp::Kind;
      switch (op.kind) {
        case K::Wait:
        case K::Sync:
          maps_->single(op).apply(cursor_);
          ++pc_;
          break;
        case K::Data:
          if (op.line == own && op.count > 0) {
            startRun(op, op.count, timing_->charTime(op.baud));
          } else {
            maps_->single(op).apply(cursor_);
            ++pc_;
          }
          break;
        case K::Set:
          ++pc_;
          if (op.setMask[own]) {
            pending_.kind = SimEvent::Modem;
            pending_.time = cursor_[own];
            pending_.mask = op.setMask[own];
            pending_.value = op.setValue[own];
            return true;
          }
          break;
        case K::Error: {
          const SimTime at = cursor_[op.line];
          maps_->single(op).apply(cursor_);
          ++pc_;
          if (op.line == own) {
            pending_.kind = SimEvent::Error;
            pending_.time = cursor_[own] > at ? cursor_[own] : at;  // at the end of the character
            pending_.errorWord = op.errorWord;
            pending_.hasByte = op.hasByte;
            pending_.byte = op.byte;
            if (pending_.time >= kSimNever) {
              done_ = true;
              return false;
            }
            return true;
          }
          break;
        }
        case K::Stress:
          if (op.hasSeed) {
            rng_ = seedState(op.seed, own);
            rngLeft_ = 0;
          }
          startRun(op, op.endless ? UINT64_MAX : timing_->charactersIn(op.ns, op.baud), timing_->charTime(op.baud));
          break;
        case K::Repeat:
          if (!op.endless && op.count == 0) {
            pc_ = op.bodyEnd;
          } else if (!(op.emits & (1u << own))) {
            if (op.endless || op.neverEnds) {  // nothing more for this side, ever
              done_ = true;
              return false;
            }
            maps_->body(pc_).power(op.count).apply(cursor_);
            pc_ = op.bodyEnd;
          } else {
            stack_.push_back({pc_, op.count, op.endless, produced_});
            ++pc_;
          }
          break;
      }
      if (cursor_[own] >= kSimNever) {
        done_ = true;
        return false;
      }
    }
  }

  const Scenario* scenario_ = nullptr;
  ScenarioMaps* maps_ = nullptr;
  const ScenarioTiming* timing_ = nullptr;
  int side_ = 0;
  uint32_t pc_ = 0;
  SimTime cursor_[2] = {0, 0};
  std::vector<Frame> stack_;
  bool inRun_ = false;
  const ScenarioOp* runOp_ = nullptr;
  uint64_t runIndex_ = 0, runCount_ = 0, runMaxIndex_ = 0;
  SimTime runBase_ = 0, runCt_ = 1;
  SimEvent pending_;
  bool hasPending_ = false;
  bool done_ = false, completed_ = false;
  uint64_t produced_ = 0;
  uint64_t rng_ = 0, rngWord_ = 0;
  int rngLeft_ = 0;
};

// Side 0 (the DTE's line D1 and DTR/RTS) is heard by SIM-B, side 1 by SIM-A.
SimulatedLink::End endOfSide(int side) { return side == 0 ? SimulatedLink::End::B : SimulatedLink::End::A; }

}  // namespace

struct SimulatedLink::Run {
  Scenario scenario;
  ScenarioTiming timing;
  std::optional<ScenarioMaps> maps;
  Walker walkers[2];
  bool latched = false;
};

// ---------------------------------------------------------------------------

class SimulatedDevice final : public PortDevice {
 public:
  SimulatedDevice(std::shared_ptr<SimulatedLink*> link, SimulatedLink::End end) : link_(std::move(link)), end_(end) {}
  ~SimulatedDevice() override { close(); }

  QString path() const override { return end_ == SimulatedLink::End::A ? QStringLiteral("SIM-A") : QStringLiteral("SIM-B"); }

  bool open(const LineSettings& settings, PortSink& sink, QString* error) override {
    SimulatedLink* link = *link_;
    if (!link) {
      if (error) *error = Texts::text(TextNo::LinkGone).arg(path());
      return false;
    }
    if (open_) {
      if (error) *error = Texts::text(TextNo::EndAlreadyOpen).arg(path());
      return false;
    }
    open_ = link->openEnd(end_, this, settings, sink, error);
    return open_;
  }
  void close() override {
    if (!open_) return;
    open_ = false;
    if (SimulatedLink* link = *link_) link->closeEnd(end_, this);
  }
  void flushInput() override {
    SimulatedLink* link = *link_;
    if (open_ && link) link->pumpInternal(end_ == SimulatedLink::End::A ? 0 : 1, link->clock_.ticks());
  }
  uint8_t modemStatus() override {
    SimulatedLink* link = *link_;
    return link ? link->modemStatus(end_) : 0;
  }
  void readPending() override {
    SimulatedLink* link = *link_;
    if (open_ && link) link->pump();
  }
  void setThreadBoost(int) override {}

 private:
  std::shared_ptr<SimulatedLink*> link_;
  SimulatedLink::End end_;
  bool open_ = false;
};

// ---------------------------------------------------------------------------

SimulatedLink::SimulatedLink(const Clock& clock, QObject* parent)
    : QObject(parent), clock_(clock), self_(std::make_shared<SimulatedLink*>(this)) {
  timer_.setInterval(1);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &SimulatedLink::pump);
  useDefaultScenario();
}

SimulatedLink::~SimulatedLink() { *self_ = nullptr; }

bool SimulatedLink::loadScenarioFile(const QString& path, QString* error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    if (error) *error = Texts::text(TextNo::CannotOpen).arg(path, file.errorString());
    return false;
  }
  if (file.size() > ScenarioLimit::MaxTextBytes) {
    if (error) *error = QStringLiteral("%1:1: ").arg(path) + Texts::text(TextNo::ScenarioTooLarge);
    return false;
  }
  const QByteArray text = file.read(ScenarioLimit::MaxTextBytes + 1);
  return installParsed(text, path, error);
}

bool SimulatedLink::loadScenarioText(const QString& text, const QString& sourceName, QString* error) {
  return installParsed(text.toUtf8(), sourceName, error);
}

bool SimulatedLink::installParsed(const QByteArray& text, const QString& sourceName, QString* error) {
  Scenario scenario;
  if (!parseScenario(text, sourceName, &scenario, error)) return false;
  if (!scenarioSendsSomething(scenario)) {
    if (error) *error = QStringLiteral("%1:1: ").arg(sourceName) + Texts::text(TextNo::SendsNothing);
    return false;
  }
  install(std::move(scenario));
  return true;
}

void SimulatedLink::useDefaultScenario() {
  Scenario scenario;
  QString error;
  const bool ok = parseScenario(defaultScenarioText(), QStringLiteral("built-in"), &scenario, &error);
  Q_ASSERT_X(ok, "SimulatedLink", qPrintable(error));
  if (!ok) scenario = Scenario{};
  install(std::move(scenario));
}

void SimulatedLink::useStress(int32_t baud, double seconds, uint32_t seed) { install(stressScenario(baud, seconds, seed)); }

void SimulatedLink::install(Scenario&& scenario) {
  ++generation_;
  run_ = std::make_unique<Run>();
  run_->scenario = std::move(scenario);
  for (EndState& e : ends_) {
    e.sent = e.delivered = 0;
    e.buffer.clear();
    if (e.status) {
      e.status = 0;
      e.statusReset = e.owner != nullptr;
    }
  }
  firstBuffered_ = -1;
  finished_ = finishSignalled_ = false;
  started_ = ends_[0].owner || ends_[1].owner;
  start_ = started_ ? clock_.ticks() : 0;
}

void SimulatedLink::latchTiming() {
  Run& run = *run_;
  if (run.latched) return;
  // The framing of SIM-A when known, else that of SIM-B.
  const EndState& a = ends_[0];
  const EndState& b = ends_[1];
  const LineSettings s = a.known ? a.settings : b.known ? b.settings : LineSettings{9600, 8, Parity::None, 1};
  const uint64_t f = clock_.frequency();
  run.timing.frequency = f == 0 ? 1000000000ull : std::min<uint64_t>(f, 1000000000000ull);
  run.timing.bitsPerCharacter = s.bitsPerCharacter();
  run.timing.defaultBaud = s.baud;
  run.maps.emplace(run.scenario, run.timing);
  for (int side = 0; side < 2; ++side) run.walkers[side].reset(&run.scenario, &*run.maps, &run.timing, side);
  run.latched = true;
}

std::unique_ptr<PortDevice> SimulatedLink::createDevice(End end) { return std::make_unique<SimulatedDevice>(self_, end); }

bool SimulatedLink::openEnd(End end, const void* owner, const LineSettings& settings, PortSink& sink, QString* error) {
  const QString name = end == End::A ? QStringLiteral("SIM-A") : QStringLiteral("SIM-B");
  EndState& e = state(end);
  if (e.owner) {
    if (error) *error = Texts::text(TextNo::EndTaken).arg(name);
    return false;
  }
  if (settings.baud <= 0) {
    if (error) *error = Texts::text(TextNo::BadBaud).arg(name, QString::number(settings.baud));
    return false;
  }
  if (settings.dataBits < 5 || settings.dataBits > 8) {
    if (error) *error = Texts::text(TextNo::BadDataBits).arg(name, QString::number(settings.dataBits));
    return false;
  }
  if (settings.stopBits < 1 || settings.stopBits > 2) {
    if (error) *error = Texts::text(TextNo::BadStopBits).arg(name, QString::number(settings.stopBits));
    return false;
  }
  e.settings = settings;
  e.known = true;
  if (!started_) {
    started_ = true;
    start_ = clock_.ticks();
  } else {
    // What was due before now went to a closed end; what is due now is for this one.
    // The other end, if open, takes its own at its next pump, as from its kernel buffer.
    const uint64_t now = clock_.ticks();
    if (now > 0) pumpInternal(end == End::A ? 0 : 1, now - 1);
  }
  e.owner = owner;
  e.sink = &sink;
  e.statusReset = false;
  e.buffer.clear();
  updateTimer();
  return true;
}

void SimulatedLink::closeEnd(End end, const void* owner) {
  EndState& e = state(end);
  if (e.owner != owner) return;
  e.owner = nullptr;
  e.sink = nullptr;
  e.buffer.clear();
  updateTimer();
}

void SimulatedLink::setRealTime(bool on) {
  realTime_ = on;
  updateTimer();
}

void SimulatedLink::updateTimer() {
  const bool want = realTime_ && (ends_[0].owner || ends_[1].owner);
  if (want && !timer_.isActive()) timer_.start();
  if (!want && timer_.isActive()) timer_.stop();
}

uint64_t SimulatedLink::bytesSent(End end) const { return state(end).sent; }
uint64_t SimulatedLink::bytesDelivered(End end) const { return state(end).delivered; }
uint8_t SimulatedLink::modemStatus(End end) const { return state(end).status; }

void SimulatedLink::pump() { pumpInternal(-1, clock_.ticks()); }

bool SimulatedLink::flushBuffers(uint64_t generation) {
  if (firstBuffered_ < 0) return generation == generation_;
  const int order[2] = {firstBuffered_, 1 - firstBuffered_};
  firstBuffered_ = -1;
  for (int index : order) {
    if (generation != generation_) return false;
    EndState& e = ends_[index];
    if (e.buffer.empty()) continue;
    std::vector<uint8_t> out;
    out.swap(e.buffer);
    if (e.sink) {
      e.delivered += out.size();
      e.sink->deviceData(out.data(), out.size());
    }
    if (e.buffer.empty()) {  // keep the allocation
      out.clear();
      e.buffer.swap(out);
    }
  }
  return generation == generation_;
}

void SimulatedLink::pumpInternal(int dropEnd, uint64_t now) {
  if (inPump_ || !run_ || !started_ || now < start_) return;
  inPump_ = true;
  const uint64_t generation = generation_;
  latchTiming();
  Run& run = *run_;

  for (EndState& e : ends_) {
    if (!e.statusReset) continue;
    e.statusReset = false;
    if (e.sink) e.sink->deviceModemChanged(0);
    if (generation != generation_) break;
  }

  // Events before this are due: start + floor(time) <= now.
  const SimTime limit = SimTime(now - start_ + 1) << 32;
  SimTime lostBefore = 0;
  const uint64_t overrunTicks = run.timing.frequency / 1000 * kOverrunAfterMs;
  if (realTime_ && now - start_ > overrunTicks) lostBefore = SimTime(now - start_ - overrunTicks) << 32;
  bool overrunShown[2] = {false, false};
  QElapsedTimer spent;
  spent.start();
  size_t sinceCheck = 0;
  bool ok = generation == generation_;
  while (ok) {
    const SimEvent* e0 = run.walkers[0].peek();
    const SimEvent* e1 = run.walkers[1].peek();
    int side;
    if (e0 && e0->time < limit && (!e1 || e0->time <= e1->time)) side = 0;
    else if (e1 && e1->time < limit) side = 1;
    else break;
    const int index = endOfSide(side) == End::A ? 0 : 1;
    // A flush empties its own end only: what is due for the other end stays for it,
    // as in the other port's kernel buffer, instead of being handed over early.
    if (dropEnd >= 0 && index != dropEnd) break;
    const SimEvent ev = side == 0 ? *e0 : *e1;
    run.walkers[side].pop();
    EndState& e = ends_[index];
    const bool deliver = e.sink && dropEnd != index;
    switch (ev.kind) {
      case SimEvent::Byte:
        ++e.sent;
        if (ev.time < lostBefore) {
          // Too late to be taken: lost, and the end says so once per pump, in its place.
          if (deliver && !overrunShown[index]) {
            overrunShown[index] = true;
            ok = flushBuffers(generation);
            if (ok && e.sink) e.sink->deviceLineError(LineErrorBit::Overrun, false, 0);
          }
          break;
        }
        if (deliver) {
          if (firstBuffered_ < 0) firstBuffered_ = index;
          e.buffer.push_back(ev.byte);
          if (e.buffer.size() >= kBatchBytes) ok = flushBuffers(generation);
        }
        break;
      case SimEvent::Error:
        if (ev.hasByte) ++e.sent;
        if (deliver) {
          ok = flushBuffers(generation);
          if (ok && e.sink) {
            if (ev.hasByte) ++e.delivered;
            e.sink->deviceLineError(ev.errorWord, ev.hasByte, ev.byte);
          }
        }
        break;
      case SimEvent::Modem: {
        const uint8_t status = uint8_t((e.status & ~ev.mask) | (ev.value & ev.mask));
        if (status == e.status) break;
        ok = flushBuffers(generation);
        if (!ok) break;
        e.status = status;
        if (e.sink) e.sink->deviceModemChanged(status);
        break;
      }
    }
    ok = ok && generation == generation_;
    // The rest waits for the next pump, a millisecond away.
    if (realTime_ && ++sinceCheck >= kBatchBytes) {
      sinceCheck = 0;
      if (spent.elapsed() >= kPumpBudgetMs) break;
    }
  }
  if (ok) ok = flushBuffers(generation);
  if (ok && run.walkers[0].completed() && run.walkers[1].completed() && run.walkers[0].endTime() < limit)
    finished_ = true;
  for (EndState& e : ends_)
    if (generation != generation_ || !ok) e.buffer.clear();
  if (!ok) firstBuffered_ = -1;
  inPump_ = false;
  if (finished_ && !finishSignalled_) {
    finishSignalled_ = true;
    emit scenarioFinished();
  }
}
