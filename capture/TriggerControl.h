#pragma once

class SerialPort;

// What the capture core and the recorder need of the trigger engine.
class TriggerControl {
 public:
  virtual ~TriggerControl() = default;
  virtual bool hasActiveTriggers() const = 0;
  // Arms the first trigger group and sets the gate flags.
  virtual void armFirstGroup() = 0;
  virtual void disarm() = 0;
  virtual void stopTimer() = 0;
  virtual void resetCursor() = 0;
  // 1 when a status change is not rejected by a signal trigger's edge condition, else 0.
  virtual int EvaluateTriggerEvent(SerialPort& port, int handle) = 0;
};

// Recording without triggers: every status change counts.
class NoTriggers : public TriggerControl {
 public:
  bool hasActiveTriggers() const override { return false; }
  void armFirstGroup() override {}
  void disarm() override {}
  void stopTimer() override {}
  void resetCursor() override {}
  int EvaluateTriggerEvent(SerialPort&, int) override { return 1; }
};
