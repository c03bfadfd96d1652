#pragma once

// Whether port notifications produce records. The recorder and the trigger engine set the flags.
struct RecordingGate {
  bool recordingSwitch = false;  // recording is on
  bool waiting = false;          // a trigger group is armed
  bool startArmed = false;       // the armed group holds start triggers
  bool stopArmed = false;        // the armed group is a stop group
  bool inactivityArmed = false;  // the armed group holds an inactivity trigger

  // While a start group is armed nothing is recorded; a stop or inactivity group records.
  bool IsRecordingActive() const { return recordingSwitch && (!waiting || stopArmed || inactivityArmed); }
  void clear() { *this = RecordingGate{}; }
};
