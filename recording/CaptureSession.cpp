#include "recording/CaptureSession.h"

#include "settings/UserPath.h"

CaptureSession::CaptureSession(const Clock& clk, MessageSink& messages, RecorderUi& ui, const QString& userPath,
                               SimulatedLink* link)
    : clock(clk),
      engine(clk, liveView),
      registry(userPath + QStringLiteral("Vorlog.ini")),
      comA(QStringLiteral("ComA"), [this](int n) { return registry.createDevice(n); }),
      comB(QStringLiteral("ComB"), [this](int n) { return registry.createDevice(n); }),
      ports(comA, comB, engine, messages, environmentChanged),
      handler(engine, comA, comB, gate, viewLock, triggers),
      file(messages),
      freeSpace(messages, ui),
      recorder(RecorderParts{engine, liveView, handler, comA, comB, file, gate, triggers, messages, ui,
                             environmentChanged, userPath}) {
  if (link) registry.useSimulation(link);
  engine.setRecordSink(&file);
  recorder.setFreeSpaceGuard(&freeSpace);
}

CaptureSession::~CaptureSession() {
  comA.SetOpen(false);
  comB.SetOpen(false);
}
