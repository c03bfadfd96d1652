#pragma once
#include <QString>
#include <memory>

#include "capture/CaptureEngine.h"
#include "capture/Clock.h"
#include "capture/LiveViewBuffer.h"
#include "capture/PortEventHandler.h"
#include "capture/PortRegistry.h"
#include "capture/Ports.h"
#include "capture/RecordingGate.h"
#include "capture/SerialPort.h"
#include "capture/TriggerControl.h"
#include "capture/ViewLock.h"
#include "recording/FreeSpaceGuard.h"
#include "recording/RecordFile.h"
#include "recording/Recorder.h"
#include "recording/RecorderUi.h"

class SimulatedLink;

// The owner objects of one program run, wired together: clock, engine, both ports
// with their registry, the handlers, the record file and the recorder.
class CaptureSession {
 public:
  // With a link, the ports are the simulated ones; the session does not take ownership of clock, link, ui or messages.
  CaptureSession(const Clock& clock, MessageSink& messages, RecorderUi& ui, const QString& userPath,
                 SimulatedLink* link = nullptr);
  ~CaptureSession();

  const Clock& clock;
  LiveViewBuffer liveView;
  CaptureEngine engine;
  PortRegistry registry;
  SerialPort comA;
  SerialPort comB;
  RecordingGate gate;
  ViewLock viewLock;
  TriggerSlot triggers;  // no triggers until an engine is attached
  bool environmentChanged = false;
  Ports ports;
  PortEventHandler handler;
  RecordFile file;
  FreeSpaceGuard freeSpace;  // stopRequested must reach the front end's stop
  Recorder recorder;
};
