#pragma once
#include <QString>
#include <QTemporaryDir>

#include "capture/CaptureEngine.h"
#include "capture/Clock.h"
#include "capture/LiveViewBuffer.h"
#include "capture/PortEventHandler.h"
#include "capture/RecordingGate.h"
#include "capture/TriggerControl.h"
#include "capture/ViewLock.h"
#include "recording/RecordFile.h"
#include "recording/Recorder.h"
#include "support/FakeDevice.h"
#include "support/RecordingMessages.h"

// A recorder over two fake ports and a record file in a temporary folder, on a manual
// clock; Ui is what the recorder tells the window.
template <class Ui>
struct RecorderRig {
  QTemporaryDir dir;
  ManualClock clock;
  LiveViewBuffer live;
  CaptureEngine engine{clock, live};
  FakePort a{"ComA"}, b{"ComB"};
  RecordingGate gate;
  ViewLock lock;
  NoTriggers triggers;
  PortEventHandler handler{engine, a.port, b.port, gate, lock, triggers};
  RecordingMessages messages;
  RecordFile file{messages};
  Ui ui;
  bool changed = false;
  Recorder recorder{{engine, live, handler, a.port, b.port, file, gate, triggers, messages, ui, changed,
                     dir.path() + "/user/"}};

  RecorderRig() { engine.setRecordSink(&file); }
};
