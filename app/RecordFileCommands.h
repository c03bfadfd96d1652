#pragma once
#include <QString>
#include <functional>

class TFormMain;
class GuiMessages;
class TFormConfirmMode;
struct RecordFileCopy;

// New, Open and Save as of the File menu: which record file the window shows and the
// next recording goes into.
class RecordFileCommands {
 public:
  enum class Command { New, Open, SaveAs };
  // Asks for a record file; start is the folder or file to begin with. Empty: cancelled.
  using Chooser = std::function<QString(Command command, const QString& start)>;
  // What becomes of the records in an existing file (0 cancel, 1 append, 2 replace);
  // mode is the one the recorder would take now.
  using ModeChooser = std::function<int(int mode)>;

  RecordFileCommands(TFormMain& form, GuiMessages& messages, QString userPath);
  ~RecordFileCommands();

  // False when cancelled, refused or failed; the file shown before stays shown then.
  bool btnNewRecordFileClick();
  bool btnOpenRecordFileClick();
  bool btnSaveRecordFileClick();

  // Shows path (complete) from its first record: a file is made only where none exists;
  // a file that cannot be opened leaves the one shown before, with a message.
  bool ShowChangedRecordFile(const QString& path);

  // A name without a folder lies in the user path's recordings folder; the result is
  // absolute, so that the copy, the file shown and the next recording are one file.
  QString complete(const QString& name) const;

  void setChooser(Chooser chooser) { chooser_ = std::move(chooser); }
  void setModeChooser(ModeChooser chooser) { modeChooser_ = std::move(chooser); }
  // The mode question's dialog, for its texts and for screenshots.
  TFormConfirmMode& confirmDialog();

 private:
  bool busy() const;
  QString currentPath() const;
  int currentMode() const;
  void applyMode(int mode);
  RecordFileCopy copyWithProgress(const QString& from, const QString& to);

  TFormMain& form_;
  GuiMessages& messages_;
  QString userPath_;
  Chooser chooser_;
  ModeChooser modeChooser_;
  TFormConfirmMode* confirm_ = nullptr;
};
