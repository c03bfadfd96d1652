#pragma once
#include <memory>

#include "capture/ui/TapDialog.h"

class TFormMain;
class TapLink;

// Ports > Virtual tap: asks for the device and the link, puts the tap's two ends in
// place of the ports (the device on A, the application on B) and starts recording.
// The tap then serves every recording of this window run, as the simulated link does;
// its link exists while a recording runs.
class TapCommands {
 public:
  explicit TapCommands(TFormMain& form);
  ~TapCommands();

  void open();

 private:
  TFormMain& form_;
  std::unique_ptr<TapLink> tap_;
  TFormTap::Choice last_;
};
