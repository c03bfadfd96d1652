// The command line: which arguments are switches, and what the switches do in their order.
#include <gtest/gtest.h>

#include "alerter/AlertSession.h"
#include "alerter/KlaxorTexts.h"
#include "settings/Texts.h"

using namespace Klaxor;

namespace {

// Records the effects as text, in the order they happen.
class RecordedActions : public AlertActions {
 public:
  QStringList events;
  int commandResult = 0;
  QList<CommandLine> commands;

  void addMemoLine(const QString& line) override { events << QStringLiteral("memo ") + line; }
  void log(const QString& target, const QString& message) override {
    events << QStringLiteral("log[%1] %2").arg(target, message);
  }
  void playSound(const QString& file, int volume) override {
    events << QStringLiteral("play %1 at %2").arg(file).arg(volume);
  }
  int startCommand(const CommandLine& command) override {
    commands << command;
    events << QStringLiteral("run ") + command.program;
    return commandResult;
  }
  void enableTimer() override { events << QStringLiteral("timer"); }
};

class SwitchRun : public ::testing::Test {
 protected:
  void SetUp() override { Texts::setLanguageOffset(Texts::kEnglishOffset); }
  AlertState run(const QStringList& args) {
    AlertState state;
    runSwitches(args, QStringLiteral("/home/u/.local/share/Vorlog/"), actions, &state);
    return state;
  }
  RecordedActions actions;
};

}  // namespace

TEST(Switches, SlashOrDashAnyCaseValueGluedNonSwitchesIgnored) {
  const QList<Switch> switches =
      parseSwitches({"-sbell.wav", "/Mhello world", "loose", "-", "/", "-n", "/V50", "-x", "-l"});
  const QList<Switch> expected = {{'S', "bell.wav"}, {'M', "hello world"}, {'N', ""}, {'V', "50"}, {'X', ""},
                                  {'L', ""}};
  EXPECT_EQ(switches, expected);
}

TEST(Switches, OnlyTheFirst98ArgumentsCount) {
  QStringList args;
  for (int i = 0; i < 97; ++i) args << QStringLiteral("ignored");
  args << QStringLiteral("-n") << QStringLiteral("-x");
  const QList<Switch> switches = parseSwitches(args);
  ASSERT_EQ(switches.size(), 1);
  EXPECT_EQ(switches[0].letter, QLatin1Char('N'));
}

TEST(Switches, VolumeIsPercentOfFullScaleAndNonNumbersMeanFull) {
  EXPECT_EQ(volumeFor("50"), 32767);  // 50 × 65535 / 100 in whole numbers
  EXPECT_EQ(volumeFor("100"), 65535);
  EXPECT_EQ(volumeFor("0"), 0);
  EXPECT_EQ(volumeFor("abc"), 65535);
  EXPECT_EQ(volumeFor("50abc"), 65535);
  EXPECT_EQ(volumeFor(""), 65535);
  EXPECT_EQ(volumeFor("250"), 65535);
  EXPECT_EQ(volumeFor("-20"), 0);
}

TEST(Switches, CommandSplitsAtFirstBlankAndKeepsWordsWhole) {
  EXPECT_EQ(splitCommand("notify-send"), (CommandLine{"notify-send", {}}));
  EXPECT_EQ(splitCommand("cp /tmp/a b"), (CommandLine{"cp", {"/tmp/a", "b"}}));
  EXPECT_EQ(splitCommand("touch \"/tmp/with blank\" 'x y' a\\ b"),
            (CommandLine{"touch", {"/tmp/with blank", "x y", "a b"}}));
  // Nothing a shell would act on: every word arrives as it stands.
  EXPECT_EQ(splitCommand("echo $(reboot); rm *"), (CommandLine{"echo", {"$(reboot);", "rm", "*"}}));
  EXPECT_EQ(splitCommand("echo \"\" '' \"a\\\"b\""), (CommandLine{"echo", {"", "", "a\"b"}}));
  EXPECT_EQ(splitCommand("echo   spaced   out "), (CommandLine{"echo", {"spaced", "out"}}));
}

TEST_F(SwitchRun, VolumeCountsForSoundsAfterIt) {
  AlertState state = run({"-v50", "-sbell.wav"});
  EXPECT_EQ(actions.events, QStringList({"memo Alert once...", "memo >>> bell.wav", "play bell.wav at 32767"}));
  EXPECT_EQ(state.mode, Mode::SoundOnce);
  EXPECT_FALSE(state.repeat);

  actions.events.clear();
  state = run({"-sbell.wav", "-v50"});
  EXPECT_TRUE(actions.events.contains("play bell.wav at 65535"));
  EXPECT_EQ(state.volume, 32767);  // what an endless sound takes at its next restart

  actions.events.clear();
  run({"-vabc", "-rbell.wav"});
  EXPECT_TRUE(actions.events.contains("play bell.wav at 65535"));
}

TEST_F(SwitchRun, MessageShowsOnlyWithSoundsAndCommandsAfterIt) {
  run({"-mTrigger 2 fired", "-sbell.wav"});
  EXPECT_EQ(actions.events,
            QStringList({"memo Alert once...", "memo >>> bell.wav", "memo Trigger 2 fired", "play bell.wav at 65535"}));

  actions.events.clear();
  const AlertState state = run({"-Sbell.wav", "-MTrigger 2 fired"});
  EXPECT_EQ(actions.events, QStringList({"memo Alert once...", "memo >>> bell.wav", "play bell.wav at 65535"}));
  EXPECT_EQ(state.message, "Trigger 2 fired");
}

TEST_F(SwitchRun, EndlessSoundRepeatsUntilACommandSaysOtherwise) {
  AlertState state = run({"/Rsiren.mp3", "-n"});
  EXPECT_EQ(state.mode, Mode::SoundEndless);
  EXPECT_TRUE(state.repeat);
  EXPECT_TRUE(state.noFade);
  EXPECT_EQ(actions.events.first(), "memo Repeated alert...");

  state = run({"-rsiren.mp3", "-ctrue"});
  EXPECT_EQ(state.mode, Mode::Command);
  EXPECT_FALSE(state.repeat);
}

TEST_F(SwitchRun, CommandRunsAndItsFailureIsShownAndLogged) {
  AlertState state = run({"-mDCD dropped", "-c/usr/bin/logger -t vorlog \"line down\""});
  EXPECT_EQ(state.mode, Mode::Command);
  ASSERT_EQ(actions.commands.size(), 1);
  EXPECT_EQ(actions.commands[0], (CommandLine{"/usr/bin/logger", {"-t", "vorlog", "line down"}}));
  EXPECT_EQ(actions.events, QStringList({"memo Running command...", "memo >>> /usr/bin/logger -t vorlog \"line down\"",
                                         "memo DCD dropped", "run /usr/bin/logger", "timer"}));

  actions.events.clear();
  actions.commandResult = 2;
  run({"-lcmd.log", "-cnosuchprogram x"});
  EXPECT_EQ(actions.events.mid(2), QStringList({"run nosuchprogram", "memo Command execution failed RC=2",
                                                "log[cmd.log] Command execution failed RC=2", "timer"}));
}

TEST_F(SwitchRun, MissingValuesAreLoggedInTheCurrentLanguage) {
  Texts::setLanguageOffset(0);
  AlertState state = run({"-s", "-l", "-c", "-m"});
  EXPECT_EQ(state.mode, Mode::Error);
  const QString log = QStringLiteral("log[/home/u/.local/share/Vorlog/alerter.log] ");
  EXPECT_EQ(actions.events, QStringList({"memo Einmaliger Alarm...", "memo >>> ", "log[] Keine Tondatei angegeben",
                                         "memo Keine Tondatei angegeben", "timer", "memo Befehl wird ausgeführt...",
                                         "memo >>> ", log + "Kein Befehl angegeben", "memo Kein Befehl angegeben",
                                         "timer", log + "Kein Meldungstext angegeben"}));

  Texts::setLanguageOffset(Texts::kEnglishOffset);
  actions.events.clear();
  state = run({"-r"});
  EXPECT_TRUE(actions.events.contains("log[] No soundfile provided"));
  EXPECT_TRUE(state.repeat);  // no sound, and still only the close button ends an endless alert
}

TEST_F(SwitchRun, OtherLettersCloseTheWindowByTheTimer) {
  run({"-q"});
  EXPECT_EQ(actions.events, QStringList({"timer"}));
  actions.events.clear();
  run({"just", "text"});
  EXPECT_TRUE(actions.events.isEmpty());
}

TEST(KlaxorTexts, EveryNumberInBothLanguagesAndLanguageFromTheLocale) {
  for (int n :
       {KlaxorText::Caption, KlaxorText::Version, KlaxorText::Subtitle, KlaxorText::ProgramId, KlaxorText::AlertOnce,
        KlaxorText::RepeatedAlert, KlaxorText::RunningCommand, KlaxorText::NoSoundFile, KlaxorText::NoCommand,
        KlaxorText::CommandFailed, KlaxorText::NoMessageText, KlaxorText::SoundNotPlayable, KlaxorText::NoAudioDevice,
        KlaxorText::IniUnreadable, KlaxorText::IniUnwritable, KlaxorText::LockUnusable, KlaxorText::LogUnwritable}) {
    for (int offset : {0, Texts::kEnglishOffset}) {
      Texts::setLanguageOffset(offset);
      EXPECT_FALSE(Texts::text(n).isEmpty()) << n << " + " << offset;
    }
  }
  Texts::setLanguageOffset(Texts::kEnglishOffset);
  EXPECT_EQ(Texts::text(KlaxorText::Version), "Version 1.0.0.0");
  EXPECT_EQ(Texts::text(KlaxorText::ProgramId), "KLAXOR");
  EXPECT_EQ(Texts::text(KlaxorText::NoMessageText), "No message text provided");
  EXPECT_EQ(languageOffsetFor(QLocale(QLocale::German, QLocale::Austria)), 0);
  EXPECT_EQ(languageOffsetFor(QLocale(QLocale::French)), Texts::kEnglishOffset);
}
