#pragma once
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <vector>

#include "triggers/TriggerRecord.h"

// Starts a program with its arguments, detached, never through a shell.
class Launcher {
 public:
  virtual ~Launcher() = default;
  // The process id, or 0 with *error filled when the program could not be started.
  virtual int64_t start(const QString& program, const QStringList& arguments, QString* error) = 0;
  // Whether a process this launcher started is still running.
  virtual bool running(int64_t pid) const = 0;
};

// The real launcher: QProcess::startDetached.
class ProcessLauncher : public Launcher {
 public:
  int64_t start(const QString& program, const QStringList& arguments, QString* error) override;
  bool running(int64_t pid) const override;
};

// The placeholders of a command's parameter line, in table order.
namespace Placeholders {
struct Entry {
  const char* name;     // "%TRIG_NUM%"
  int descriptionText;  // shown in the parameter pool
};
constexpr int kCount = 9;
const std::array<Entry, kCount>& table();

// What each placeholder stands for when a trigger fires (index as in the table).
using Values = std::array<QString, kCount>;
Values valuesFor(const TriggerRecord& t, const QDateTime& now);

// Splits a parameter line into words as a shell would split them (blanks separate,
// single and double quotes group, a backslash escapes the next character inside
// double quotes and outside quotes), but expands nothing.
QStringList splitWords(const QString& line);
// Replaces every placeholder in one pass from left to right; a replacement is never scanned again.
QString expand(const QString& word, const Values& values);
// The arguments of a command: the words of the line, each expanded on its own.
QStringList arguments(const QString& line, const Values& values);
}  // namespace Placeholders

// A failure of an action, for the message box: the message text number and what follows it.
struct ActionFailure {
  int messageText;
  QString extra;
};

// Plays a fired trigger's sound through the alerter and starts its command.
class TriggerActions {
 public:
  // programDir: the folder of the running program, where klaxor lies.
  TriggerActions(Launcher& launcher, QString programDir);

  QString alerterPath() const;
  // The alerter's argument: "-s" or "-r" joined to the sound path, one argument.
  static QStringList alerterArguments(const QString& soundPath, bool repeat);

  // Runs the sound, then the command; what failed is returned to be reported after
  // the engine has moved on.
  std::vector<ActionFailure> RunTriggerActions(const TriggerRecord& t, const QDateTime& now);

  // The editor's test buttons: the values on screen, placeholders left as typed.
  bool testSound(const QString& soundPath, bool repeat, ActionFailure* failure);
  bool testCommand(const QString& program, const QString& params, ActionFailure* failure);

  // A new recording: forget the alerters of the last one.
  void reset() { endless_.clear(); }

 private:
  bool startAlerter(const TriggerRecord& t, ActionFailure* failure);
  bool launch(const QString& program, const QStringList& args, ActionFailure* failure);

  Launcher& launcher_;
  QString programDir_;
  struct Endless {
    int number;
    int64_t pid;
  };
  std::vector<Endless> endless_;  // endless alerters of inactivity triggers still playing
  int64_t lastPid_ = 0;
};
