#pragma once
#include <QString>

struct Args;
class CaptureSession;
class MessageSink;

// Names the recording's file (a bare name lands in the user path's recordings/) and checks
// it before anything is recorded: a target that is no regular file is reported (1); a
// file that holds a recording needs --append or --replace (2, said as
// "vorlog-cli COMMAND: ..."); --replace starts it anew. -1: go on.
int settleRecordTarget(const QString& command, const QString& name, const Args& a, CaptureSession& s,
                       MessageSink& messages);
