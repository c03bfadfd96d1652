#pragma once
#include <QObject>
#include <QString>
#include <memory>

#include "capture/Clock.h"

class MessageSink;
class PortRegistry;
class ReplayLink;

// The window's replay of a record file (--replay=FILE.vrd[,SPEED]): offers the replay's
// two ends as the ports, says in the status bar what is replayed, and asks for the
// recording to stop once the file has run out or could not be read on. A file that
// cannot be replayed is reported once at start; its ends then refuse to open, naming
// the reason, so that no recording begins.
class WindowReplay : public QObject {
  Q_OBJECT
 public:
  WindowReplay(const Clock& clock, MessageSink& messages, QObject* parent = nullptr);
  ~WindowReplay() override;

  // argument: FILE.vrd[,SPEED]; a bare file name is looked for as every record file is.
  void offer(const QString& argument, const QString& userPath, PortRegistry& registry);
  QString statusNote() const;
  ReplayLink& link() { return *link_; }

 signals:
  void replayEnded();
  void noteChanged();

 private:
  MessageSink& messages_;
  std::unique_ptr<ReplayLink> link_;
  QString problem_;
};
