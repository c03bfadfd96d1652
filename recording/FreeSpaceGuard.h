#pragma once
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>

class MessageSink;
class RecorderUi;

// Keeps a long recording from ending in a full disk: every few seconds (on a timer,
// never per event) it looks at the free space of the record file's file system.
// Below the warning limit it says so once; below the stop limit it asks for a clean
// stop, while the stop mark and the file system's own bookkeeping still fit.
class FreeSpaceGuard : public QObject {
  Q_OBJECT
 public:
  // MB and GB are decimal here, as in every figure the program shows.
  struct Limits {
    int64_t warnBelow = 1000LL * 1000 * 1000;
    int64_t stopBelow = 100LL * 1000 * 1000;
    int intervalMs = 2000;
  };
  // Bytes an ordinary user may still write where path lies; negative when unknown.
  using Query = std::function<int64_t(const QString& path)>;
  // statvfs: the blocks left to unprivileged writers (the reserve for root does not count).
  static int64_t systemFreeSpace(const QString& path);

  FreeSpaceGuard(MessageSink& messages, RecorderUi& ui, QObject* parent = nullptr);

  void setLimits(const Limits& limits) { limits_ = limits; }
  const Limits& limits() const { return limits_; }
  void setQuery(Query query) { query_ = std::move(query); }

  // A recording into path begins: watching starts (a pause does not end it), with a first look at once.
  void start(const QString& path);
  void stop();
  bool watching() const { return timer_.isActive(); }
  bool warned() const { return warned_; }
  // One look at the free space, as the timer takes it.
  void check();

 signals:
  // The recording must end now; the reason has been reported.
  void stopRequested();

 private:
  MessageSink& messages_;
  RecorderUi& ui_;
  Limits limits_;
  Query query_;
  QString path_;
  QTimer timer_;
  bool warned_ = false;
};
