#pragma once
#include <QString>
#include <QStringList>

// What the command line names: an argument containing ".ven" is the environment
// file, one containing ".vrd" the record file to show. The test is case-sensitive
// and finds the text anywhere in the argument; when several match, the last one wins.
// Options of this program (--simulate, --screenshot, ...) are not file names.
struct StartupFiles {
  QString environmentFile;  // empty: keep the current one
  QString recordFile;       // empty: show the current one
};
StartupFiles parseStartupFiles(const QStringList& argumentsAfterProgram);

// The program's own options.
struct StartupOptions {
  bool simulate = false;
  QString scenario;    // empty: the built-in one; "stress": random bytes
  QString replay;      // a record file played back as the link: FILE.vrd[,SPEED]
  QString screenshot;  // grab the window into this file, then quit
  bool record = false;  // begin recording at once
  int screenshotDelayMs = 2000;
  // Print how long the start took and the resident memory once the window is up, then quit.
  bool exitWhenShown = false;
  // Show the record file from this event on (for screenshots and scripted looks); -1: from the start.
  long long gotoEvent = -1;
  QString error;  // an unknown option
};
StartupOptions parseStartupOptions(const QStringList& argumentsAfterProgram);
