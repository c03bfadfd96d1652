#include "triggers/TriggerActions.h"

#include <signal.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>

#include "settings/Texts.h"

namespace TextNo {
constexpr int CommandInvalid = 2131;
constexpr int EventFirst = 4226;  // data, signal, error, timer
constexpr int TxHint = 9109, RxHint = 9110;
constexpr int PoolFirst = 9102;
}  // namespace TextNo

namespace {
// The results the message reports: as the original platform numbered them.
constexpr int kFileNotFound = 2, kAccessDenied = 5, kOtherFailure = 0;
}  // namespace

int64_t ProcessLauncher::start(const QString& program, const QStringList& arguments, QString* error) {
  QProcess process;
  process.setProgram(program);
  process.setArguments(arguments);
  process.setStandardInputFile(QProcess::nullDevice());
  qint64 pid = 0;
  if (process.startDetached(&pid)) return pid > 0 ? pid : 1;
  if (error) *error = process.errorString();
  return 0;
}

bool ProcessLauncher::running(int64_t pid) const {
  if (pid <= 0 || ::kill(pid_t(pid), 0) != 0) return false;
  // A finished child that nobody has reaped yet is not running any more.
  QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!stat.open(QIODevice::ReadOnly)) return true;
  const QByteArray line = stat.readAll();
  const qsizetype close = line.lastIndexOf(')');
  return close < 0 || close + 2 >= line.size() || line[close + 2] != 'Z';
}

namespace Placeholders {

const std::array<Entry, kCount>& table() {
  static const std::array<Entry, kCount> entries = {{
      {"%TIMESTAMP%", TextNo::PoolFirst + 0},
      {"%TRIG_NUM%", TextNo::PoolFirst + 1},
      {"%TRIG_NAME%", TextNo::PoolFirst + 2},
      {"%TRIG_DESCR%", TextNo::PoolFirst + 3},
      {"%TRIG_TYPE%", TextNo::PoolFirst + 4},
      {"%TRIG_EVENT%", TextNo::PoolFirst + 5},
      {"%TRIG_DATA%", TextNo::PoolFirst + 6},
      {"%TRIG_TX%", TextNo::PoolFirst + 7},
      {"%TRIG_RX%", TextNo::PoolFirst + 8},
  }};
  return entries;
}

Values valuesFor(const TriggerRecord& t, const QDateTime& now) {
  const QLocale locale = QLocale::system();
  const bool data = t.Event == TriggerEvent::Data && t.Type != TriggerType::Inactivity;
  Values v;
  v[0] = locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
         locale.toString(now.time(), QStringLiteral("HH:mm:ss"));
  v[1] = QString::number(t.Number);
  v[2] = t.Name;
  v[3] = t.Description;
  v[4] = triggerTypeText(t.Type);
  v[5] = t.Event >= TriggerEvent::Data && t.Event <= TriggerEvent::Time && t.Type != TriggerType::Inactivity
             ? Texts::text(TextNo::EventFirst + t.Event)
             : QString();
  v[6] = data ? t.Data : QString();
  v[7] = data && t.D1 ? Texts::text(TextNo::TxHint) : QString();
  v[8] = data && t.D2 ? Texts::text(TextNo::RxHint) : QString();
  return v;
}

QStringList splitWords(const QString& line) {
  QStringList words;
  QString word;
  bool inWord = false;
  enum { Plain, Single, Double } quote = Plain;
  for (qsizetype i = 0; i < line.size(); ++i) {
    const QChar c = line[i];
    if (quote == Single) {
      if (c == QLatin1Char('\'')) quote = Plain;
      else word += c;
      continue;
    }
    if (quote == Double) {
      if (c == QLatin1Char('"')) {
        quote = Plain;
      } else if (c == QLatin1Char('\\') && i + 1 < line.size() && QStringLiteral("\"\\$`").contains(line[i + 1])) {
        word += line[++i];
      } else {
        word += c;
      }
      continue;
    }
    if (c.isSpace()) {
      if (inWord) words << word;
      word.clear();
      inWord = false;
      continue;
    }
    inWord = true;
    if (c == QLatin1Char('\'')) quote = Single;
    else if (c == QLatin1Char('"')) quote = Double;
    else if (c == QLatin1Char('\\') && i + 1 < line.size()) word += line[++i];
    else word += c;
  }
  if (inWord) words << word;
  return words;
}

QString expand(const QString& word, const Values& values) {
  QString out;
  qsizetype i = 0;
  while (i < word.size()) {
    bool replaced = false;
    if (word[i] == QLatin1Char('%')) {
      for (int k = 0; k < kCount; ++k) {
        const QLatin1StringView name(table()[size_t(k)].name);
        if (QStringView(word).sliced(i).startsWith(name)) {
          out += values[size_t(k)];  // never scanned again
          i += name.size();
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out += word[i++];
  }
  return out;
}

QStringList arguments(const QString& line, const Values& values) {
  QStringList args;
  for (const QString& w : splitWords(line)) args << expand(w, values);
  return args;
}

}  // namespace Placeholders

TriggerActions::TriggerActions(Launcher& launcher, QString programDir)
    : launcher_(launcher), programDir_(std::move(programDir)) {}

QString TriggerActions::alerterPath() const { return QDir(programDir_).filePath(QStringLiteral("klaxor")); }

QStringList TriggerActions::alerterArguments(const QString& soundPath, bool repeat) {
  return {(repeat ? QStringLiteral("-r") : QStringLiteral("-s")) + soundPath};
}

bool TriggerActions::launch(const QString& program, const QStringList& args, ActionFailure* failure) {
  QString why;
  QString exe = program;
  QStringList arguments = args;
  const QFileInfo info(program);
  if (program.isEmpty()) {
    why = QStringLiteral("-");
  } else if (!program.contains(QLatin1Char('/'))) {
    // A bare name is looked up on the PATH, as a user typing it would expect.
    exe = QStandardPaths::findExecutable(program);
    if (exe.isEmpty()) exe = program;
  } else if (info.isFile() && !info.isExecutable()) {
    // A document: the desktop opens it with its own program.
    exe = QStringLiteral("xdg-open");
    arguments = {program};
  }
  const int64_t pid = why.isEmpty() ? launcher_.start(exe, arguments, &why) : 0;
  if (pid > 0) {
    lastPid_ = pid;
    return true;
  }
  int result = kOtherFailure;
  if (program.isEmpty() || (program.contains(QLatin1Char('/')) && !info.exists()) ||
      (!program.contains(QLatin1Char('/')) && QStandardPaths::findExecutable(program).isEmpty()))
    result = kFileNotFound;
  else if (info.exists() && !info.isExecutable() && exe == program)
    result = kAccessDenied;
  if (failure) {
    *failure = {TextNo::CommandInvalid, QStringLiteral(" Result=%1\n%2").arg(result).arg(program)};
    if (!why.isEmpty() && why != QLatin1String("-")) failure->extra += QStringLiteral(": ") + why;
  }
  return false;
}

bool TriggerActions::startAlerter(const TriggerRecord& t, ActionFailure* failure) {
  const bool endless = t.PlaySoundRepeat && t.Type == TriggerType::Inactivity;
  if (endless) {
    // An endless alarm of an inactivity trigger plays until the user ends it; firing
    // again meanwhile must not stack up alerters.
    std::erase_if(endless_, [this](const Endless& e) { return !launcher_.running(e.pid); });
    for (const Endless& e : endless_)
      if (e.number == t.Number) return true;
  }
  if (!launch(alerterPath(), alerterArguments(t.SoundFilePath, t.PlaySoundRepeat), failure)) return false;
  if (endless) endless_.push_back({t.Number, lastPid_});
  return true;
}

std::vector<ActionFailure> TriggerActions::RunTriggerActions(const TriggerRecord& t, const QDateTime& now) {
  std::vector<ActionFailure> failures;
  ActionFailure f;
  if (t.PlaySound && !startAlerter(t, &f)) failures.push_back(f);
  if (t.ExecCommand &&
      !launch(t.CommandFilePath, Placeholders::arguments(t.CommandParams, Placeholders::valuesFor(t, now)), &f))
    failures.push_back(f);
  return failures;
}

bool TriggerActions::testSound(const QString& soundPath, bool repeat, ActionFailure* failure) {
  return launch(alerterPath(), alerterArguments(soundPath, repeat), failure);
}

bool TriggerActions::testCommand(const QString& program, const QString& params, ActionFailure* failure) {
  return launch(program, Placeholders::splitWords(params), failure);
}
