#include "tools/ReplayLink.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <cmath>

#include "capture/PortRegistry.h"
#include "settings/Texts.h"

namespace TextNo {
constexpr int BadSpeed = 9348, SpeedOriginal = 9352, SpeedFactor = 9353, SpeedMax = 9354;
constexpr int EndSideA = 9356, EndSideB = 9357, EndAlreadyOpen = 9358, EndTaken = 9359, CannotReplay = 9362;
}  // namespace TextNo

namespace {

// At most what a USB adapter hands over at once, as on the simulated link: one
// delivery is one burst, stamped one character apart from the moment it is taken.
constexpr size_t kBatchBytes = 512;
// One pump hands over at most this much work before the event loop (signals, limits,
// the window) gets its turn.
constexpr qint64 kPumpBudgetMs = 20;
// A long silence in the file is waited for in steps; the clock is asked again after each.
constexpr double kLongestWaitMs = 60000;
// Factors beyond these are mistakes, not speeds.
constexpr double kSlowest = 0.001, kFastest = 1000000;

QString endName(ReplayLink::End end) {
  return end == ReplayLink::End::A ? QStringLiteral("REPLAY-A") : QStringLiteral("REPLAY-B");
}

bool parseSpeed(const QString& text, double* speed) {
  if (text.compare(QLatin1String("max"), Qt::CaseInsensitive) == 0) {
    *speed = ReplayLink::kMaxSpeed;
    return true;
  }
  bool ok = false;
  const double v = text.trimmed().toDouble(&ok);
  if (!ok || !std::isfinite(v) || v < kSlowest || v > kFastest) return false;
  *speed = v;
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------

class ReplayDevice final : public PortDevice {
 public:
  ReplayDevice(std::shared_ptr<ReplayLink*> link, ReplayLink::End end) : link_(std::move(link)), end_(end) {}
  ~ReplayDevice() override { close(); }

  QString path() const override { return endName(end_); }
  bool open(const LineSettings&, PortSink& sink, QString* error) override {
    ReplayLink* link = *link_;
    if (open_) {
      if (error) *error = Texts::text(TextNo::EndAlreadyOpen).arg(path());
      return false;
    }
    open_ = link && link->openEnd(end_, this, sink, error);
    return open_;
  }
  void close() override {
    if (!open_) return;
    open_ = false;
    if (ReplayLink* link = *link_) link->closeEnd(end_, this);
  }
  // Nothing waits undelivered on a replay: what is due is handed over at the next pump.
  // Throwing it away would lose bytes of the file.
  void flushInput() override {}
  uint8_t modemStatus() override {
    ReplayLink* link = *link_;
    return link ? link->modemStatus(end_) : 0;
  }
  void readPending() override {
    ReplayLink* link = *link_;
    if (open_ && link) link->pump();
  }
  void setThreadBoost(int) override {}

 private:
  std::shared_ptr<ReplayLink*> link_;
  ReplayLink::End end_;
  bool open_ = false;
};

// ---------------------------------------------------------------------------

ReplayLink::ReplayLink(const Clock& clock, QObject* parent)
    : QObject(parent), clock_(clock), self_(std::make_shared<ReplayLink*>(this)) {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &ReplayLink::pump);
}

ReplayLink::~ReplayLink() { *self_ = nullptr; }

bool ReplayLink::parseArgument(const QString& text, QString* path, double* speed, QString* error) {
  *path = text;
  *speed = 1;
  const qsizetype comma = text.lastIndexOf(QLatin1Char(','));
  if (comma < 0) return true;
  if (parseSpeed(text.mid(comma + 1), speed)) {
    *path = text.left(comma);
    return true;
  }
  // (No file name holds a NUL; the system would not be asked about one.)
  if (!text.contains(QChar(0)) && QFileInfo::exists(text)) return true;
  if (error) *error = Texts::text(TextNo::BadSpeed).arg(text.mid(comma + 1));
  return false;
}

QString ReplayLink::speedText(double speed) {
  if (speed == kMaxSpeed) return Texts::text(TextNo::SpeedMax);
  if (speed == 1) return Texts::text(TextNo::SpeedOriginal);
  return Texts::text(TextNo::SpeedFactor).arg(speed);
}

bool ReplayLink::load(const QString& path, double speed) {
  timer_.stop();
  path_ = path;
  speed_ = speed;
  started_ = finished_ = failureSignalled_ = hasPending_ = false;
  batch_.clear();
  batchEnd_ = -1;
  const bool ok = reader_.open(path);
  for (int i = 0; i < 2; ++i) ends_[i].status = reader_.initialStatus(i == 0);
  // Ends already open take the new file from now on.
  if (ok && (ends_[0].owner || ends_[1].owner)) start();
  return ok;
}

std::unique_ptr<PortDevice> ReplayLink::createDevice(End end) { return std::make_unique<ReplayDevice>(self_, end); }

void ReplayLink::offerAsPorts(PortRegistry& registry) {
  const QString file = QFileInfo(path_).fileName();
  registry.useLink({1, endName(End::A), Texts::text(TextNo::EndSideA).arg(file)},
                   {2, endName(End::B), Texts::text(TextNo::EndSideB).arg(file)},
                   [link = self_](bool endA) -> std::unique_ptr<PortDevice> {
                     if (!*link) return nullptr;
                     return (*link)->createDevice(endA ? End::A : End::B);
                   });
}

bool ReplayLink::openEnd(End end, const void* owner, PortSink& sink, QString* error) {
  EndState& e = ends_[index(end)];
  if (!reader_.isOpen() || reader_.failed()) {
    if (error) *error = Texts::text(TextNo::CannotReplay).arg(endName(end), problem());
    return false;
  }
  if (e.owner) {
    if (error) *error = Texts::text(TextNo::EndTaken).arg(endName(end));
    return false;
  }
  bool restarted = false;
  if (!ends_[0].owner && !ends_[1].owner) {
    if (!started_ || finished_) {
      start();
      restarted = true;
    } else {
      // Replay time stood still while nobody listened.
      start_ += clock_.ticks() - closedSince_;
    }
  }
  ++generation_;
  e.owner = owner;
  e.sink = &sink;
  timer_.start(0);
  if (restarted) emit replayStarted();
  return true;
}

void ReplayLink::closeEnd(End end, const void* owner) {
  EndState& e = ends_[index(end)];
  if (e.owner != owner) return;
  ++generation_;
  e.owner = nullptr;
  e.sink = nullptr;
  if (batchEnd_ == index(end)) batch_.clear();
  if (!ends_[0].owner && !ends_[1].owner) {
    closedSince_ = clock_.ticks();
    timer_.stop();
  }
}

void ReplayLink::start() {
  reader_.rewind();
  for (int i = 0; i < 2; ++i) ends_[i].status = reader_.initialStatus(i == 0);
  started_ = true;
  finished_ = failureSignalled_ = hasPending_ = false;
  batch_.clear();
  batchEnd_ = -1;
  start_ = clock_.ticks();
}

uint64_t ReplayLink::dueTicks(double at) const {
  if (speed_ == kMaxSpeed) return start_;
  const double ticks = at / speed_ * double(clock_.frequency());
  if (!(ticks < 1.8e19) || double(start_) + ticks >= 1.8e19) return UINT64_MAX;
  return start_ + uint64_t(ticks);
}

bool ReplayLink::flushBatch() {
  if (batch_.empty()) return true;
  const uint64_t generation = generation_;
  EndState& e = ends_[batchEnd_];
  std::vector<uint8_t> out;
  out.swap(batch_);
  if (e.sink) {
    e.delivered += out.size();
    e.sink->deviceData(out.data(), out.size());
  }
  out.clear();
  if (batch_.empty()) batch_.swap(out);  // keep the allocation
  return generation == generation_;
}

void ReplayLink::pump() {
  if (inPump_ || !started_ || finished_ || reader_.failed() || (!ends_[0].owner && !ends_[1].owner)) return;
  inPump_ = true;
  const uint64_t now = clock_.ticks();
  QElapsedTimer spent;
  spent.start();
  bool yielded = false;
  for (size_t handed = 0;; ++handed) {
    // A trigger stopped the recording: the rest waits for the ends to open again.
    if (!ends_[0].owner && !ends_[1].owner) break;
    if (!hasPending_) {
      if (!reader_.next(pending_)) break;
      hasPending_ = true;
    }
    if (dueTicks(pending_.at) > now) break;
    if ((handed & 63) == 63 && spent.elapsed() >= kPumpBudgetMs) {
      yielded = true;
      break;
    }
    hasPending_ = false;
    const ReplayItem item = pending_;
    const int i = item.endA ? 0 : 1;
    switch (item.kind) {
      case ReplayItem::Data:
        // The order across the two lines is the file's: a batch holds one end's bytes only.
        if (batchEnd_ != i) flushBatch();
        if (!ends_[i].sink) break;  // an end nobody listens to loses what it hears
        batchEnd_ = i;
        batch_.push_back(item.value);
        if (batch_.size() >= kBatchBytes) flushBatch();
        break;
      case ReplayItem::Lines:
        flushBatch();
        ends_[i].status = item.value;
        if (ends_[i].sink) ends_[i].sink->deviceModemChanged(item.value);
        break;
      case ReplayItem::Error:
        flushBatch();
        if (ends_[i].sink) ends_[i].sink->deviceLineError(item.value, false, 0);
        break;
    }
  }
  flushBatch();
  inPump_ = false;

  if (reader_.failed()) {
    timer_.stop();
    if (!failureSignalled_) {
      failureSignalled_ = true;
      emit replayFailed(problem());
    }
    return;
  }
  if (!hasPending_ && !yielded && (ends_[0].owner || ends_[1].owner)) {
    finished_ = true;
    timer_.stop();
    emit replayFinished();
    return;
  }
  if (!ends_[0].owner && !ends_[1].owner) return;
  schedule(yielded ? 0 : clock_.ticks());
}

void ReplayLink::schedule(uint64_t now) {
  double ms = 0;
  if (now && hasPending_) {
    const uint64_t due = dueTicks(pending_.at);
    const uint64_t f = clock_.frequency() ? clock_.frequency() : 1000000000ull;
    if (due > now) ms = std::ceil(double(due - now) * 1000.0 / double(f));
  }
  timer_.start(int(std::min(ms, kLongestWaitMs)));
}
