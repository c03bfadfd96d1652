// The alert window offscreen: its looks, its sound and closing rules, fading, command and log.
#include <gtest/gtest.h>

#include <QAudioDevice>
#include <QAudioOutput>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTemporaryDir>
#include <QToolButton>

#include "AlerterSupport.h"
#include "alerter/InstanceSlots.h"
#include "alerter/StackPlacement.h"
#include "alerter/ui/AlertWindow.h"
#include "settings/Texts.h"

namespace {

class AlertWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Texts::setLanguageOffset(Texts::kEnglishOffset);
    userPath = dir.path() + QStringLiteral("/user/");
    wav = dir.filePath(QStringLiteral("beep.wav"));
    ASSERT_TRUE(writeToneWav(wav, 300));
  }
  std::unique_ptr<AlertWindow> open(const QStringList& args) {
    auto window = std::make_unique<AlertWindow>(args, userPath);
    window->start();
    return window;
  }
  QString logText() const {
    QFile file(dir.filePath(QStringLiteral("alerter.log")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
  }
  QString logSwitch() const { return QStringLiteral("-l") + dir.filePath(QStringLiteral("alerter.log")); }

  QTemporaryDir dir;
  QString userPath;
  QString wav;
};

}  // namespace

TEST_F(AlertWindowTest, BorderlessStackedWindowWithMemoVersionAndCloseButton) {
  auto first = open({"-mTrigger 1 fired", "-q", "-n"});
  auto second = open({"-n"});
  EXPECT_EQ(first->size(), QSize(324, 100));
  EXPECT_TRUE(first->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(first->windowTitle(), "Quarnel Alerter");
  EXPECT_EQ(first->findChild<QLabel*>("lblVersion")->text(), "Version 1.0.0.0");
  EXPECT_EQ(first->findChild<QLabel*>("lblVersion")->alignment() & Qt::AlignRight, Qt::AlignRight);
  EXPECT_NE(first->findChild<QToolButton*>("btnClose"), nullptr);
  EXPECT_TRUE(first->findChild<QPlainTextEdit*>("memAlert")->isReadOnly());

  const QRect workArea = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_EQ(first->instance(), 1);
  EXPECT_EQ(second->instance(), 2);
  EXPECT_EQ(first->pos(), Klaxor::stackPosition(workArea, 1));
  EXPECT_EQ(second->pos(), Klaxor::stackPosition(workArea, 2));
  EXPECT_EQ(InstanceSlots::storedCount(userPath), 2);

  // The close button counts the window out.
  second->findChild<QToolButton*>("btnClose")->click();
  EXPECT_FALSE(second->isVisible());
  EXPECT_EQ(InstanceSlots::storedCount(userPath), 1);
}

TEST_F(AlertWindowTest, SingleSoundClosesAboutOneSecondAfterItsLength) {
  QElapsedTimer clock;
  clock.start();
  auto window = open({"-mshort", "-s" + wav, "-n"});
  EXPECT_EQ(window->memoLines().mid(0, 3), QStringList({"Alert once...", ">>> " + wav, "short"}));
  // A machine without sound says so, and the sound still runs its length.
  if (QMediaDevices::defaultAudioOutput().isNull()) {
    EXPECT_EQ(window->memoLines().value(3), "No audio output device: the sound stays silent");
  }
  ASSERT_NE(window->player(), nullptr);
  EXPECT_TRUE(waitUntil([&] { return window->alertTimer().isActive(); }, 10000));
  EXPECT_NEAR(window->alertTimer().interval(), 300, 20);  // the sound's length
  EXPECT_TRUE(waitUntil([&] { return !window->isVisible(); }, 15000));
  const qint64 elapsed = clock.elapsed();
  EXPECT_GE(elapsed, 1250);
  EXPECT_LT(elapsed, 8000);
  EXPECT_EQ(window->player()->playbackState(), QMediaPlayer::StoppedState);
  EXPECT_EQ(InstanceSlots::storedCount(userPath), 0);
}

TEST_F(AlertWindowTest, EndlessSoundRestartsUntilTheCloseButton) {
  auto window = open({"-v50", "-r" + wav, "-n"});
  ASSERT_NE(window->player(), nullptr);
  int ends = 0;
  QObject::connect(window->player(), &QMediaPlayer::mediaStatusChanged, window.get(),
                   [&](QMediaPlayer::MediaStatus status) { ends += status == QMediaPlayer::EndOfMedia ? 1 : 0; });
  // Three passes of the sound: the timer has run out long ago, and the window stays.
  EXPECT_TRUE(waitUntil([&] { return ends >= 3; }, 20000)) << ends;
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(waitUntil([&] { return window->player()->playbackState() == QMediaPlayer::PlayingState; }, 5000));
  EXPECT_NEAR(window->player()->audioOutput()->volume(), 0.5, 0.001);

  window->btnCloseClick();
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(window->player()->playbackState(), QMediaPlayer::StoppedState);
  EXPECT_EQ(InstanceSlots::storedCount(userPath), 0);
}

TEST_F(AlertWindowTest, UnplayableSoundIsShownAndLoggedAndTheWindowStillCloses) {
  const QString garbled = dir.filePath(QStringLiteral("garbled.wav"));
  QFile file(garbled);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("RIFF this is no sound at all");
  file.close();
  for (const QString& sound : {dir.filePath(QStringLiteral("missing.wav")), garbled}) {
    auto once = open({logSwitch(), "-s" + sound, "-n"});
    EXPECT_TRUE(waitUntil([&] { return once->memoLines().last().startsWith("Soundfile cannot be played: "); }, 10000))
        << qPrintable(once->memoLines().join('|'));
    EXPECT_TRUE(logText().contains("KLAXOR[")) << qPrintable(logText());
    // "S": by the timer, as after a sound of its own interval.
    EXPECT_TRUE(once->alertTimer().isActive());
    EXPECT_EQ(once->alertTimer().interval(), 1000);
    EXPECT_FALSE(once->state().repeat);
  }
  EXPECT_EQ(logText().count("Soundfile cannot be played: "), 2);

  auto endless = open({"-r" + dir.filePath(QStringLiteral("missing.wav")), "-n"});
  EXPECT_TRUE(waitUntil([&] { return !endless->alertTimer().isActive(); }, 5000));
  EXPECT_TRUE(endless->isVisible());  // "R": only the close button ends it
  endless->btnCloseClick();
  EXPECT_FALSE(endless->isVisible());
}

TEST_F(AlertWindowTest, MissingSoundFileLoggedToTheTargetInTheCurrentLanguage) {
  Texts::setLanguageOffset(0);
  auto window = open({logSwitch(), "-s", "-n"});
  EXPECT_TRUE(logText().endsWith("]: Keine Tondatei angegeben\n")) << qPrintable(logText());
  EXPECT_EQ(window->state().mode, Klaxor::Mode::Error);
  EXPECT_TRUE(window->alertTimer().isActive());
  EXPECT_EQ(window->player(), nullptr);  // nothing was opened
}

TEST_F(AlertWindowTest, FadesInUnlessToldNotToAndIsVisibleEitherWay) {
  QElapsedTimer clock;
  clock.start();
  auto fading = open({"-mfade"});
  bool visible = false;
  QObject::connect(fading.get(), &AlertWindow::fullyVisible, [&] { visible = true; });
  EXPECT_LT(fading->windowOpacity(), 0.1);
  EXPECT_TRUE(waitUntil([&] { return visible; }, 10000));
  EXPECT_GE(clock.elapsed(), 450);  // 50 steps of 2 % every 10 ms
  EXPECT_DOUBLE_EQ(fading->windowOpacity(), 1.0);

  // Fading out before the window goes.
  fading->btnCloseClick();
  EXPECT_TRUE(fading->isVisible());
  EXPECT_TRUE(waitUntil([&] { return !fading->isVisible(); }, 10000));
  EXPECT_EQ(InstanceSlots::storedCount(userPath), 0);

  auto plain = open({"-mno fade", "-n"});
  visible = false;
  QObject::connect(plain.get(), &AlertWindow::fullyVisible, [&] { visible = true; });
  EXPECT_DOUBLE_EQ(plain->windowOpacity(), 1.0);
  EXPECT_TRUE(plain->isVisible());
  EXPECT_TRUE(waitUntil([&] { return visible; }, 10000));
  plain->btnCloseClick();
  EXPECT_FALSE(plain->isVisible());
}

TEST_F(AlertWindowTest, CommandSwitchStartsTheProgramWithTheRestAsArguments) {
  const QString made = dir.filePath(QStringLiteral("written by touch"));
  auto window = open({"-mline down", QStringLiteral("-ctouch \"%1\"").arg(made), "-n"});
  EXPECT_TRUE(waitUntil([&] { return QFile::exists(made); }, 10000));
  EXPECT_EQ(window->memoLines(),
            QStringList({"Running command...", QStringLiteral(">>> touch \"%1\"").arg(made), "line down"}));
  EXPECT_TRUE(window->alertTimer().isActive());

  auto failing = open({logSwitch(), "-cno-such-program-anywhere now", "-n"});
  EXPECT_EQ(failing->memoLines().last(), "Command execution failed RC=2");
  EXPECT_TRUE(logText().endsWith("]: Command execution failed RC=2\n")) << qPrintable(logText());
}
