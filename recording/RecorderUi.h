#pragma once
#include <QString>
#include <QStringList>

// What the recorder does to the window. The main window implements it; the
// command-line tool shows only the status texts. Defaults do nothing.
class RecorderUi {
 public:
  virtual ~RecorderUi() = default;
  virtual void setStatusText(int /*textNumber*/) {}
  // A note about the running recording that must not go unseen (little disk space left):
  // the window's status line, a line of its own on the terminal.
  virtual void showNotice(const QString& /*text*/) {}
  // Actions, port settings lock, open dialogs, line lights, control locking.
  virtual void setRecordOnControls() {}
  virtual void setRecordOffControls() {}
  virtual void setButtons(bool /*recDown*/, bool /*pauseDown*/, bool /*holdDown*/) {}
  virtual void startBlinkTimer() {}
  virtual void setLightsMonitoring(bool /*on*/) {}
  virtual void resetGridColumns() {}
  virtual void clearGrid() {}
  virtual void redrawGridFromFile() {}
  virtual void refreshFileLine() {}
  virtual void scrollToLast() {}
  virtual void startRedrawThread() {}
  // Lets the redraw thread finish its pass, then ends it.
  virtual void stopRedrawThread() {}
  // Once per recording: what the ports' drivers will miss or only approximate, one line each.
  virtual void showPortNotes(const QStringList& /*lines*/) {}
};
