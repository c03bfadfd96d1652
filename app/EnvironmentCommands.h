#pragma once
#include <QString>
#include <functional>

class TFormMain;
class GuiMessages;
struct Environment;

// Loading and saving the measuring job from the window: ports and line settings, the
// record file, the header texts and the trigger list.
class EnvironmentCommands {
 public:
  // Asks for a file: save (true) or open; start is the file to begin with. Empty: cancelled.
  using Chooser = std::function<QString(bool save, const QString& start)>;

  EnvironmentCommands(TFormMain& form, GuiMessages& messages, QString userPath);

  // Reads a job into the window; what was not usable is shown in one message naming the
  // file. keepRecordFile: a record file named on the command line wins. False when the
  // file could not be read at all (the window keeps what it had).
  bool load(const QString& path, bool keepRecordFile);
  // Writes the window's job; on failure the message names the file and the reason, and
  // the environment stays marked as changed.
  bool save(const QString& path);
  // The environment named at start (command line or configuration); a default that was
  // never saved loads quietly as defaults.
  void loadAtStart(const QString& name, bool namedByUser, bool keepRecordFile);

  bool saveDialog();  // Ctrl+S; false when cancelled or failed
  bool loadDialog();  // Ctrl+L
  void setChooser(Chooser chooser) { chooser_ = std::move(chooser); }

  QString qualified(const QString& name) const;

 private:
  Environment current() const;

  TFormMain& form_;
  GuiMessages& messages_;
  QString userPath_;
  Chooser chooser_;
};
