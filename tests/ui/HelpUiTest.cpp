#include <gtest/gtest.h>

#include <QAction>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QUrl>
#include <QUrlQuery>
#include <memory>

#include "app/HelpCommands.h"
#include "app/MainForm.h"
#include "app/MessageForm.h"
#include "app/OptionsCommands.h"
#include "app/RecordFileCommands.h"
#include "app/SupportTools.h"
#include "recording/ui/ConfirmModeDialog.h"
#include "settings/Texts.h"
#include "settings/ui/OptionsDialog.h"
#include "shell/AppVersion.h"
#include "shell/HelpTopics.h"
#include "shell/SupportLinks.h"
#include "tools/ui/FormReport.h"
#include "ui/BoxAnswer.h"

namespace {

// Takes the links the program hands to the desktop, so that nothing opens.
class UrlCatcher : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> urls;
 public slots:
  void open(const QUrl& url) { urls << url; }
};

// Stands in for a desktop without a browser or mail program: openUrl fails.
struct RefusedScheme {
  explicit RefusedScheme(const QString& s) : scheme(s) { QDesktopServices::setUrlHandler(scheme, &nobody, "noSuchSlot"); }
  ~RefusedScheme() { QDesktopServices::unsetUrlHandler(scheme); }
  QString scheme;
  QObject nobody;
};

struct HelpUiTest : ::testing::Test {
  QTemporaryDir user, installed;
  TMessageForm box;
  GuiMessages messages{box};
  std::unique_ptr<TFormMain> main;
  UrlCatcher caught;

  void SetUp() override {
    for (const char* s : {"file", "https", "mailto"}) QDesktopServices::setUrlHandler(s, &caught, "open");
    QDir().mkpath(user.filePath("recordings"));
    MainFormOptions o;
    o.userPath = user.path() + "/";
    o.simulate = true;
    main = std::make_unique<TFormMain>(o, messages);
    main->helpCommands().setInstalledRoot(installed.path());
  }
  void TearDown() override {
    for (const char* s : {"file", "https", "mailto"}) QDesktopServices::unsetUrlHandler(s);
    main->closeWithoutQuestions();
    main.reset();
  }
  void installPages() {
    QDir().mkpath(installed.filePath("help/en/webhelp"));
    for (int topic : HelpTopic::kAll) {
      QFile f(installed.filePath("help/en/webhelp/" + HelpPages::pageName(topic)));
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
  }
  // The topic of the page last opened, -1 when none or not a manual page.
  int lastTopic() const {
    if (caught.urls.isEmpty() || !caught.urls.last().isLocalFile()) return -1;
    const QString name = QFileInfo(caught.urls.last().toLocalFile()).fileName();
    if (name == HelpPages::pageName(0)) return 0;
    return name.startsWith("hs") ? name.mid(2).chopped(4).toInt() : -1;
  }
};

}  // namespace

TEST_F(HelpUiTest, EveryHelpButtonOpensItsDialogsPage) {
  installPages();
  auto helpOf = [](QWidget* dialog) { return dialog->findChild<QPushButton*>("btnHelp"); };
  TFormOptions& options = main->optionsCommands().dialog();
  const std::vector<std::pair<QWidget*, int>> dialogs = {
      {main->findChild<QDialog*>("FormGoto"), HelpTopic::GotoSearchMeasure},
      {main->findChild<QDialog*>("FormExport"), HelpTopic::Export},
      {main->findChild<QDialog*>("FormTrig"), HelpTopic::TriggerEditor},
      {main->findChild<QDialog*>("FormEnvConf"), HelpTopic::EnvironmentHeader},
      {options.findChild<QDialog*>("FormSelector"), HelpTopic::ValueSelector},
      {&main->recordFileCommands().confirmDialog(), HelpTopic::ConfirmRecordMode},
  };
  for (const auto& [dialog, topic] : dialogs) {
    ASSERT_TRUE(dialog) << topic;
    QPushButton* help = helpOf(dialog);
    ASSERT_TRUE(help) << qPrintable(dialog->objectName());
    EXPECT_TRUE(help->isEnabled()) << qPrintable(dialog->objectName());
    EXPECT_FALSE(help->toolTip().contains(Texts::text(9700)));
    help->click();
    EXPECT_EQ(lastTopic(), topic) << qPrintable(dialog->objectName());
  }
  // The options window: one page per tab.
  auto* tabs = options.findChild<QTabWidget*>();
  ASSERT_TRUE(tabs);
  const int perTab[] = {HelpTopic::OptionsProgramStart, HelpTopic::OptionsDisplay, HelpTopic::OptionsInterface,
                        HelpTopic::OptionsUpdate};
  for (int i = 0; i < 4; ++i) {
    tabs->setCurrentIndex(i);
    helpOf(&options)->click();
    EXPECT_EQ(lastTopic(), perTab[i]) << i;
  }
  // The report dialog lives only while it is asked; its button names its topic.
  TFormReport report;
  int reported = -1;
  QObject::connect(&report, &TFormReport::helpRequested, [&](int t) { reported = t; });
  ASSERT_TRUE(helpOf(&report)->isEnabled());
  helpOf(&report)->click();
  EXPECT_EQ(reported, HelpTopic::Report);
  // The menu's product help: the start page.
  QAction* help = main->action("actHelp");
  ASSERT_TRUE(help->isEnabled());
  help->trigger();
  EXPECT_EQ(lastTopic(), HelpTopic::Manual);
  EXPECT_TRUE(QFileInfo(caught.urls.last().toLocalFile()).isFile());
}

TEST_F(HelpUiTest, MissingPageAndMissingBrowserAreToldApart) {
  QStringList said;
  BoxRecorder recorder(box, said);
  main->show();  // nothing installed: the start says so on the status line, without a box
  runFor(5);
  EXPECT_TRUE(main->statusBar()->currentMessage().contains(
      Texts::text(9319).arg(QDir::cleanPath(installed.filePath("help/en/webhelp/UserManual.htm")))))
      << qPrintable(main->statusBar()->currentMessage());
  EXPECT_TRUE(said.isEmpty());
  main->action("actHelp")->trigger();
  ASSERT_EQ(said.size(), 1);
  EXPECT_TRUE(caught.urls.isEmpty());
  EXPECT_TRUE(said[0].contains("UserManual.htm")) << qPrintable(said[0]);
  EXPECT_TRUE(said[0].contains(QDir::cleanPath(installed.filePath("help/en/webhelp/UserManual.htm")))) << qPrintable(said[0]);
  EXPECT_FALSE(said[0].contains(Texts::text(199)));

  installPages();
  RefusedScheme noBrowser("file");
  main->action("actHelp")->trigger();
  ASSERT_EQ(said.size(), 2);
  EXPECT_EQ(said[1], Texts::text(199));
}

TEST_F(HelpUiTest, SupportWindowOffersVersionLinksAndTheUpdateCheck) {
  installPages();
  main->action("actInfo")->trigger();
  TSupportTools& support = main->helpCommands().supportWindow();
  ASSERT_TRUE(support.isVisible());
  EXPECT_TRUE(support.findChild<QLabel*>("lblVersion")->text().contains(appVersion()));
  EXPECT_EQ(support.findChild<QPushButton*>("btnClose")->text(), Texts::text(6002));
  auto click = [&](const char* name) { support.findChild<QPushButton*>(name)->click(); };

  click("btnHomepage");
  ASSERT_EQ(caught.urls.size(), 1);
  EXPECT_EQ(caught.urls.last(), SupportLinks::homePage());
  click("btnProblemReport");
  EXPECT_EQ(caught.urls.last().scheme(), "mailto");
  EXPECT_EQ(QUrlQuery(caught.urls.last()).queryItemValue("body", QUrl::FullyDecoded), Texts::text(4281));
  click("btnFeatureSuggestion");
  EXPECT_EQ(QUrlQuery(caught.urls.last()).queryItemValue("subject", QUrl::FullyDecoded), "Quarnel " + Texts::text(4286));
  click("btnManual");
  EXPECT_EQ(lastTopic(), HelpTopic::Manual);
  int updateChecks = 0;
  QObject::connect(&main->helpCommands(), &HelpCommands::updateCheckRequested, [&] { ++updateChecks; });
  click("btnWebUpdate");
  EXPECT_EQ(updateChecks, 1);
  EXPECT_EQ(caught.urls.size(), 4);  // the update check opens nothing by itself

  // The menu's entries reach the same links.
  for (const char* name : {"actHomepage", "actProblemReport", "actFeatureSuggestion"}) {
    ASSERT_TRUE(main->action(name)->isEnabled()) << name;
    main->action(name)->trigger();
  }
  EXPECT_EQ(caught.urls.size(), 7);
  click("btnClose");
  EXPECT_FALSE(support.isVisible());
}

TEST_F(HelpUiTest, LinkThatCannotOpenShowsItsAddressToCopy) {
  RefusedScheme noMail("mailto");
  main->action("actProblemReport")->trigger();
  QDialog* note = main->helpCommands().linkFailureWindow();
  ASSERT_TRUE(note);
  EXPECT_TRUE(note->isVisible());
  auto* address = note->findChild<QLineEdit*>("edAddress");
  EXPECT_TRUE(address->isReadOnly());
  EXPECT_TRUE(address->text().startsWith("mailto:support@quarnel.example?")) << qPrintable(address->text());
  EXPECT_TRUE(address->text().contains(Texts::text(4281))) << qPrintable(address->text());  // readable, not %-encoded
  EXPECT_EQ(QUrl(address->text()).path(), SupportLinks::problemReport().path());
}

TEST_F(HelpUiTest, Screenshots) {
  const QString folder = qEnvironmentVariable("VORLOG_SHOTS");
  if (folder.isEmpty()) GTEST_SKIP() << "VORLOG_SHOTS not set";
  main->action("actInfo")->trigger();
  TSupportTools& support = main->helpCommands().supportWindow();
  support.adjustSize();
  runFor(30);
  EXPECT_TRUE(support.grab().save(folder + "/support-window.png"));
}

#include "HelpUiTest.moc"
