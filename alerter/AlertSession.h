#pragma once
#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>

// What the alerter was asked to do, read from its command line: the switches, in the
// order they stand, and the state they leave behind. The effects (memo lines, log
// entries, sound, command, timer) go through AlertActions, which the window implements.
namespace Klaxor {

// Only the first 98 arguments after the program name are examined.
constexpr int kMaxArguments = 98;
// Full scale of one channel.
constexpr int kFullVolume = 65535;

struct Switch {
  QChar letter;   // the selecting letter in upper case
  QString value;  // the rest of the argument, glued to the letter
  bool operator==(const Switch&) const = default;
};

// An argument whose first character is "/" or "-" is a switch; its second character,
// in upper case, selects it; the value is the rest. Other arguments are ignored, and so
// is a lone "/" or "-", which selects nothing.
QList<Switch> parseSwitches(const QStringList& arguments);

// The channel volume for a "V" value: v percent of full scale (v × 65535 / 100). A
// value that is not a whole number means 100; numbers outside 0 to 100 are held there.
int volumeFor(const QString& value);

enum class Mode { Error = -1, SoundOnce = 0, SoundEndless = 1, Command = 2 };

// The program to start for a "C" value and its arguments.
struct CommandLine {
  QString program;
  QStringList arguments;
  bool operator==(const CommandLine&) const = default;
};

// Splits a "C" value at its first blank: the file before it, the parameters after it.
// The parameters are split into words as a shell would split them ('...' and "..."
// group, a backslash takes the next character as it is), but nothing is expanded: each
// word reaches the program as one argument, whatever it holds.
CommandLine splitCommand(const QString& text);

class AlertActions {
 public:
  virtual ~AlertActions() = default;
  virtual void addMemoLine(const QString& line) = 0;
  // One entry for the outside log; an empty target means the system log.
  virtual void log(const QString& target, const QString& message) = 0;
  // Opens the file and plays it at the channel volume; the window starts the closing
  // timer with the sound's length once it is known.
  virtual void playSound(const QString& file, int volume) = 0;
  // Starts the program without a shell and without waiting for it: 0 when it started,
  // else a code in the manner of the shell's execute (2 file not found, 3 path not
  // found, 5 access denied, 11 not a program).
  virtual int startCommand(const CommandLine& command) = 0;
  virtual void enableTimer() = 0;
};

struct AlertState {
  Mode mode = Mode::Error;
  bool repeat = false;  // the sound restarts when it ends
  bool noFade = false;
  int volume = kFullVolume;
  QString message;
  QString logTarget;  // empty: the system log
};

// Applies the switches of the command line one after the other to *state, which the
// actions may look at while they run. "M" counts only for a sound or command that
// stands after it, "V" for a sound started after it.
void runSwitches(const QStringList& arguments, const QString& userPath, AlertActions& actions, AlertState* state);

}  // namespace Klaxor
