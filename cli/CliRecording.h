#pragma once
#include <QElapsedTimer>
#include <QString>
#include <cstdint>

#include "settings/StopSignals.h"

struct Args;
class CaptureSession;
class MessageSink;

// Names the recording's file (a bare name lands in the user path's recordings/) and checks
// it before anything is recorded: a target that is no regular file is reported (1); a
// file that holds a recording needs --append or --replace (2, said as
// "vorlog-cli COMMAND: ..."); --replace starts it anew. -1: go on.
int settleRecordTarget(const QString& command, const QString& name, const Args& a, CaptureSession& s,
                       MessageSink& messages);

// One recording from the command line, from its start to its summary line: Ctrl-C,
// SIGTERM or a closed terminal end it with 0, a port that goes away with 1, the command's
// own limits with what they say; the recording is stopped first, once.
class CliRecording {
 public:
  CliRecording(CaptureSession& s, MessageSink& messages);
  bool signalsInstalled() const { return stopSignals_.installed(); }
  void finish(int code);

  // Before the recorder starts (the summary counts the start marks) and right after it
  // started (the progress counts events and bytes from here).
  void beforeStart();
  void started();
  qint64 eventsThisRun() const;
  qint64 elapsedMs() const { return elapsed_.elapsed(); }

  // "\r" and the progress text, with an optional tail (the triggers' state).
  QString progressLine(const QString& tail = {}) const;
  // Prints the summary line; the exit status (1 when writes failed in a run that ended well).
  int summarize();

 private:
  CaptureSession& s_;
  StopSignals stopSignals_;
  int exitCode_ = 0;
  bool finishing_ = false;
  uint64_t writtenBefore_ = 0, firstEvent_ = 0;
  int64_t d1Start_ = 0, d2Start_ = 0;
  QElapsedTimer elapsed_;
};
