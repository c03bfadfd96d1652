#include "alerter/AlertSession.h"

#include "alerter/KlaxorTexts.h"
#include "settings/Texts.h"

namespace Klaxor {

QList<Switch> parseSwitches(const QStringList& arguments) {
  QList<Switch> switches;
  const qsizetype count = qMin<qsizetype>(arguments.size(), kMaxArguments);
  for (qsizetype i = 0; i < count; ++i) {
    const QString& arg = arguments[i];
    if (arg.size() < 2 || (arg[0] != QLatin1Char('/') && arg[0] != QLatin1Char('-'))) continue;
    switches.append({arg[1].toUpper(), arg.mid(2)});
  }
  return switches;
}

int volumeFor(const QString& value) {
  bool ok = false;
  int percent = value.toInt(&ok);
  if (!ok) percent = 100;
  // Beyond full scale the two channel words of the volume would run into each other.
  percent = qBound(0, percent, 100);
  return percent * kFullVolume / 100;
}

CommandLine splitCommand(const QString& text) {
  CommandLine command;
  const qsizetype blank = text.indexOf(QLatin1Char(' '));
  command.program = blank < 0 ? text : text.left(blank);
  if (blank < 0) return command;

  QString word;
  bool inWord = false;
  QChar quote;  // the quote that is open, or null
  const QString rest = text.mid(blank + 1);
  for (qsizetype i = 0; i < rest.size(); ++i) {
    const QChar c = rest[i];
    if (quote == QLatin1Char('\'')) {
      if (c == quote)
        quote = QChar();
      else
        word += c;
    } else if (c == QLatin1Char('\\') && i + 1 < rest.size() &&
               (quote.isNull() || rest[i + 1] == QLatin1Char('"') || rest[i + 1] == QLatin1Char('\\'))) {
      word += rest[++i];
      inWord = true;
    } else if (quote == QLatin1Char('"')) {
      if (c == quote)
        quote = QChar();
      else
        word += c;
    } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
      quote = c;
      inWord = true;
    } else if (c == QLatin1Char(' ') || c == QLatin1Char('\t')) {
      if (inWord) command.arguments.append(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) command.arguments.append(word);  // an open quote ends with the text
  return command;
}

namespace {

class Runner {
 public:
  Runner(const QString& userPath, AlertActions& actions, AlertState& state)
      : userPath_(userPath), actions_(actions), state_(state) {}

  void apply(const Switch& sw) {
    switch (sw.letter.unicode()) {
      case 'V':
        state_.volume = volumeFor(sw.value);
        break;
      case 'S':
        sound(sw.value, false);
        break;
      case 'R':
        sound(sw.value, true);
        break;
      case 'N':
        state_.noFade = true;
        break;
      case 'M':
        state_.message = sw.value;
        if (sw.value.isEmpty()) fail(KlaxorText::NoMessageText);
        break;
      case 'L':
        state_.logTarget = sw.value.isEmpty() ? userPath_ + QStringLiteral("alerter.log") : sw.value;
        break;
      case 'C':
        command(sw.value);
        break;
      default:
        actions_.enableTimer();
        break;
    }
  }

 private:
  void fail(int textNo) {
    state_.mode = Mode::Error;
    actions_.log(state_.logTarget, Texts::text(textNo));
  }

  void memoHeader(int modeText, const QString& subject) {
    actions_.addMemoLine(Texts::text(modeText));
    actions_.addMemoLine(QStringLiteral(">>> ") + subject);
    if (!state_.message.isEmpty()) actions_.addMemoLine(state_.message);
  }

  void sound(const QString& file, bool endless) {
    state_.repeat = endless;
    state_.mode = endless ? Mode::SoundEndless : Mode::SoundOnce;
    memoHeader(endless ? KlaxorText::RepeatedAlert : KlaxorText::AlertOnce, file);
    if (file.isEmpty()) {
      // Nothing to open: the window closes by its timer ("S") or by the close button ("R").
      fail(KlaxorText::NoSoundFile);
      actions_.addMemoLine(Texts::text(KlaxorText::NoSoundFile));
      actions_.enableTimer();
      return;
    }
    actions_.playSound(file, state_.volume);
  }

  void command(const QString& text) {
    state_.mode = Mode::Command;
    state_.repeat = false;
    memoHeader(KlaxorText::RunningCommand, text);
    if (text.isEmpty()) {
      fail(KlaxorText::NoCommand);
      actions_.addMemoLine(Texts::text(KlaxorText::NoCommand));
    } else if (const int rc = actions_.startCommand(splitCommand(text)); rc != 0) {
      const QString line = Texts::text(KlaxorText::CommandFailed) + QStringLiteral(" RC=") + QString::number(rc);
      actions_.addMemoLine(line);
      actions_.log(state_.logTarget, line);
    }
    actions_.enableTimer();
  }

  const QString& userPath_;
  AlertActions& actions_;
  AlertState& state_;
};

}  // namespace

void runSwitches(const QStringList& arguments, const QString& userPath, AlertActions& actions, AlertState* state) {
  Runner runner(userPath, actions, *state);
  for (const Switch& sw : parseSwitches(arguments)) runner.apply(sw);
}

}  // namespace Klaxor
