#pragma once
#include <QString>
#include <QStringList>

#include "settings/HardwareProfile.h"

class TFormMain;
class TFormOptions;
class GuiMessages;
struct OptionsSettings;

// The options window from the main window: opens it with the window's settings and
// applies what OK hands back (configuration, hardware profile, the port panel's lists,
// the ports of line A and B).
class OptionsCommands {
 public:
  OptionsCommands(TFormMain& form, GuiMessages& messages, QString userPath);

  // After the configuration is read: the profile it names (the default profile is
  // written first into a user path that has none). What cannot be read is reported; the
  // standard lists are offered then.
  void loadProfile();
  // What the port panel offers.
  const PortValueLists& portValues() const { return profile_.values; }
  const HardwareProfile& profile() const { return profile_; }
  QString profileName() const { return profileName_; }

  void actOptionsExecute();         // program start page
  void btnCallComABOptionsClick();  // interface page
  void apply(const OptionsSettings& settings);
  TFormOptions& dialog();

 private:
  OptionsSettings settings() const;
  QStringList portDetails(const QStringList& ports) const;
  void open(int page);

  TFormMain& form_;
  GuiMessages& messages_;
  QString userPath_;
  TFormOptions* dialog_ = nullptr;  // made on first use, owned by the main window
  HardwareProfile profile_;
  QString profileName_;
};
