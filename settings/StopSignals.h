#pragma once
#include <QObject>
#include <QSocketNotifier>
#include <memory>

// SIGINT, SIGTERM and SIGHUP (Ctrl-C, a shutdown, a closed terminal or ssh session)
// become one Qt signal on the main thread, so a recording ends with its stop mark
// instead of being cut off. One instance per process; the handlers go with it.
class StopSignals : public QObject {
  Q_OBJECT
 public:
  explicit StopSignals(QObject* parent = nullptr);
  ~StopSignals() override;
  // False when the handlers could not be installed (no pipe).
  bool installed() const { return notifier_ != nullptr; }

 signals:
  void received(int signalNumber);

 private:
  void drain();
  std::unique_ptr<QSocketNotifier> notifier_;
};
