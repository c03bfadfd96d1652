#pragma once

class SerialPort;

// What the capture core and the recorder need of the trigger engine.
class TriggerControl {
 public:
  virtual ~TriggerControl() = default;
  // A recording starts: arms the first trigger group and sets the gate; false when no
  // trigger takes part, and the recording runs without trigger control.
  virtual bool StartTriggerSequence() = 0;
  // The recording stops: removes every armed trigger from both ports.
  virtual void DisarmAllTriggers() = 0;
  // Pause keeps the armed group and the gate; resume arms that group again. Resume
  // returns false when nothing was armed (the recording then runs as without triggers).
  virtual void pauseSequence() = 0;
  virtual bool resumeSequence() = 0;
  // The recorder loads: the sequence begins again with the first active trigger.
  virtual void resetCursor() = 0;
  // A port reported one of the engine's triggers. 0 when a signal trigger's edge test
  // failed (the trigger did not fire), else 1.
  virtual int EvaluateTriggerEvent(SerialPort& port, int handle) = 0;
  // While the recorder is loaded the engine holds the triggers and the list is locked.
  virtual void setRecorderLoaded(bool /*loaded*/) {}
};

// Recording without triggers.
class NoTriggers : public TriggerControl {
 public:
  bool StartTriggerSequence() override { return false; }
  void DisarmAllTriggers() override {}
  void pauseSequence() override {}
  bool resumeSequence() override { return false; }
  void resetCursor() override {}
  int EvaluateTriggerEvent(SerialPort&, int) override { return 1; }
};

// The session's trigger control: no triggers until an engine is attached.
class TriggerSlot : public TriggerControl {
 public:
  void attach(TriggerControl* engine) { target_ = engine ? engine : &none_; }
  bool StartTriggerSequence() override { return target_->StartTriggerSequence(); }
  void DisarmAllTriggers() override { target_->DisarmAllTriggers(); }
  void pauseSequence() override { target_->pauseSequence(); }
  bool resumeSequence() override { return target_->resumeSequence(); }
  void resetCursor() override { target_->resetCursor(); }
  int EvaluateTriggerEvent(SerialPort& port, int handle) override { return target_->EvaluateTriggerEvent(port, handle); }
  void setRecorderLoaded(bool loaded) override { target_->setRecorderLoaded(loaded); }

 private:
  NoTriggers none_;
  TriggerControl* target_ = &none_;
};
