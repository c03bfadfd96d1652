// Skins on the whole main window (offscreen): style, palette, mark colours and button
// pictures after each change, the styles menu, the options' skin list, and what a
// first start without a configuration looks like.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <memory>

#include "app/FirstStart.h"
#include "app/MainForm.h"
#include "app/MessageForm.h"
#include "app/OptionsCommands.h"
#include "settings/Configuration.h"
#include "settings/ui/OptionsDialog.h"
#include "settings/ui/SkinLoader.h"
#include "settings/ui/SkinPictures.h"
#include "ui/BoxAnswer.h"
#include "view/ui/EventView.h"

namespace {

void writeFile(const QString& path, const QByteArray& data) {
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(data);
}

struct SkinTest : ::testing::Test {
  QTemporaryDir dir;
  TMessageForm box;
  GuiMessages messages{box};
  std::unique_ptr<TFormMain> main;

  QString user() const { return dir.path() + "/"; }
  void make() {
    QDir().mkpath(user() + "recordings");
    MainFormOptions o;
    o.userPath = user();
    o.simulate = true;
    main = std::make_unique<TFormMain>(o, messages);
    main->show();
    runFor(5);
  }
  void TearDown() override {
    if (main) {
      main->skins().LoadSkin(0);  // the next test starts on the platform's look
      main->closeWithoutQuestions();
      main.reset();
    }
  }
  SkinLoader& skins() { return main->skins(); }
  QColor mark(uint8_t code) const {
    const CellText::Rgb rgb = main->eventView().cellContext().marks.colourOf(code);  // as the grid draws them
    return QColor(rgb.r, rgb.g, rgb.b);
  }
  QImage buttonPicture(const char* name) const {
    auto* b = main->findChild<QPushButton*>(QString::fromLatin1(name));
    return b->icon().pixmap(b->iconSize()).toImage();
  }
  int savedCurrent() const {
    Configuration c;
    c.load(user() + "Vorlog.ini");
    return c.skinCurrent;
  }
};

bool windowIsDark() { return QApplication::palette().color(QPalette::Window).lightness() < 128; }

TEST_F(SkinTest, EachSkinSetsStylePaletteAndMarkColoursAndSkinZeroBringsThePlatformBack) {
  ASSERT_TRUE(QStyleFactory::keys().contains("Fusion"));
  make();
  const PlatformLook& platform = platformLook();
  ASSERT_EQ(skins().current(), 0);  // a fresh user: skin 0
  const QColor light[] = {{0, 128, 0}, {128, 0, 0}, {255, 0, 0}, {128, 128, 0}, {128, 0, 128}, {0, 128, 128}};
  const QColor dark[] = {{0, 255, 0}, {255, 0, 0}, {255, 0, 0}, {255, 255, 0}, {255, 0, 255}, {0, 255, 255}};
  struct Step {
    int skin;
    const char* style;  // nullptr: the platform's
    bool dark;
  };
  for (const Step& s : {Step{0, nullptr, false}, Step{1, "Fusion", false}, Step{2, "Fusion", true},
                        Step{0, nullptr, false}, Step{2, "Fusion", true}, Step{1, "Fusion", false}}) {
    SCOPED_TRACE(s.skin);
    ASSERT_EQ(skins().LoadSkin(s.skin), s.skin);
    QCoreApplication::processEvents();  // widgets take a new palette from their events
    const QString style = s.style ? QString(s.style) : platform.style;
    EXPECT_EQ(QApplication::style()->name().toLower(), style.toLower());
    EXPECT_EQ(windowIsDark(), s.dark || (s.skin == 0 && platform.dark));
    if (s.skin == 0) {
      EXPECT_EQ(QApplication::palette(), platform.palette);
    }
    for (uint8_t code = 1; code <= 6; ++code) EXPECT_EQ(mark(code), (s.dark ? dark : light)[code - 1]) << int(code);
    EXPECT_EQ(mark(Mark::Debug), QColor(255, 0, 0));
    // The grid's rows follow the palette.
    EXPECT_EQ(main->eventView().cellContext().colours.info.lightness() < 128, windowIsDark());
    // The menu shows the skin in force, and the file keeps it for the next start.
    const QString action = s.skin == 0 ? QString("actStyleWindows") : QString("actStyle%1").arg(s.skin);
    EXPECT_TRUE(main->action(action)->isChecked());
    EXPECT_EQ(savedCurrent(), s.skin);
  }
}

TEST_F(SkinTest, TheMenuAndTheOptionsOfferTheSameAvailableSkinsAndCancelRestores) {
  // Skin 3 names a style this Qt does not have, skin 4 is switched off: neither is offered.
  writeFile(user() + "Vorlog.ini",
            "[Skin]\nMax=4\nCurrent=2\n[Skin3]\nName=Carbon Dark\nDark=1\n[Skin4]\nName=None\n");
  make();
  EXPECT_EQ(skins().current(), 2);
  EXPECT_TRUE(windowIsDark());
  QMenu* styles = nullptr;
  for (QObject* o : main->action("actStyleWindows")->associatedObjects())
    if ((styles = qobject_cast<QMenu*>(o))) break;
  ASSERT_TRUE(styles);
  QStringList offered;
  for (QAction* a : styles->actions()) offered << a->objectName();
  EXPECT_EQ(offered, (QStringList{"actStyleWindows", "actStyle1", "actStyle2"}));
  EXPECT_TRUE(main->action("actStyleWindows")->isEnabled());

  main->action("actOptions")->trigger();
  TFormOptions& options = main->optionsCommands().dialog();
  auto* theme = options.findChild<QComboBox*>("cbTheme");
  ASSERT_EQ(theme->count(), 3);
  EXPECT_EQ(theme->itemText(2), "Fusion Dark");
  EXPECT_EQ(theme->currentIndex(), 2);
  options.cbThemeChange(1);  // applied at once
  EXPECT_EQ(skins().current(), 1);
  EXPECT_FALSE(windowIsDark());
  options.btnAbortClick();  // Cancel: the skin the dialog opened with
  EXPECT_EQ(skins().current(), 2);
  EXPECT_TRUE(main->action("actStyle2")->isChecked());
}

TEST_F(SkinTest, UnusableSkinFilesFallBackAndAreNamed) {
  // A Current beyond every skin, a style sheet Qt cannot parse, a picture that is none,
  // a picture that replaces the built-in one, and no folder at all for skin 0.
  writeFile(user() + "Vorlog.ini", "[Skin]\nCurrent=7\n");
  writeFile(user() + "themes/Fusion Light.qss", "QPushButton { color: red; ");
  writeFile(user() + "themes/Fusion Dark.qss", "QPushButton { color: #eeeeee; }");
  writeFile(user() + "skins/2/glyphREC.bmp", "BM this is no picture");
  QImage green(16, 16, QImage::Format_RGB32);
  green.fill(Qt::green);
  QDir().mkpath(user() + "skins/2");
  ASSERT_TRUE(green.save(user() + "skins/2/glyphPAUSE.png"));
  make();
  EXPECT_EQ(skins().current(), 0);
  EXPECT_FALSE(main->action("actStyle1"));  // its style sheet does not parse
  ASSERT_TRUE(main->action("actStyle2"));
  const QString said = main->statusBar()->currentMessage();
  EXPECT_TRUE(said.contains("Fusion Light.qss")) << qPrintable(said);

  main->statusBar()->clearMessage();
  skins().LoadSkin(2);
  EXPECT_EQ(qApp->styleSheet(), "QPushButton { color: #eeeeee; }");
  EXPECT_TRUE(main->statusBar()->currentMessage().contains("glyphREC.bmp"));
  EXPECT_EQ(buttonPicture("btnREC"), SkinPictures::picture(SkinPictures::Shape::Record, true).toImage());
  EXPECT_EQ(buttonPicture("btnPAUSE").pixelColor(8, 8), QColor(Qt::green));
  skins().LoadSkin(0);
  EXPECT_TRUE(qApp->styleSheet().isEmpty());
  EXPECT_EQ(buttonPicture("btnPAUSE"), SkinPictures::picture(SkinPictures::Shape::Pause, false).toImage());
}

TEST(StyleSheetCheck, ParsesWhatQtAccepts) {
  EXPECT_TRUE(styleSheetParses(""));
  EXPECT_TRUE(styleSheetParses("QWidget { background: #202020; } QPushButton:hover { color: white; }"));
  EXPECT_FALSE(styleSheetParses("QWidget { background: #202020; "));
  EXPECT_FALSE(styleSheetParses("}}}{"));
}

TEST(FirstStartGeometry, MostOfTheWorkAreaCentredNeverBelowTheMinimum) {
  const QSize minimum(960, 640);
  struct Case {
    QRect area;
    QRect expected;
  };
  for (const Case& c : {Case{{0, 0, 1920, 1050}, {115, 63, 1689, 924}},
                        Case{{1920, 30, 2560, 1410}, {2074, 115, 2252, 1240}},
                        Case{{0, 0, 800, 600}, {0, 0, 960, 640}}}) {
    const QRect r = firstStartGeometry(c.area, minimum);
    EXPECT_EQ(r, c.expected) << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
  }
  EXPECT_EQ(firstStartBottomPanel(924, 150, 300), 231);
  EXPECT_EQ(firstStartBottomPanel(640, 150, 300), 180);
  EXPECT_EQ(firstStartBottomPanel(1400, 150, 300), 300);
}

TEST_F(SkinTest, AFirstStartFillsTheScreenAndGivesTheGridTheLargerShare) {
  make();
  const QRect area = main->screen()->availableGeometry();
  EXPECT_EQ(main->geometry().size(), firstStartGeometry(area, main->minimumSize()).size());
  const QList<int> sizes = main->findChild<QSplitter*>("HSplitter1")->sizes();
  EXPECT_GT(sizes.value(0), sizes.value(1));
  main->closeWithoutQuestions();  // saves the placement

  // With a configuration, the stored sizes win.
  writeFile(user() + "Vorlog.ini", "[Window]\nWidth=960\nHeight=700\n[AllBottomPanels]\nHeight=260\n");
  main = nullptr;
  make();
  EXPECT_EQ(main->size(), QSize(960, 700));
  EXPECT_EQ(main->findChild<QSplitter*>("HSplitter1")->sizes().value(1), 260);
}

}  // namespace
