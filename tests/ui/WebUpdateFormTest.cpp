#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTcpServer>
#include <QTcpSocket>

#include "app/MessageForm.h"
#include "app/UpdateCommands.h"
#include "app/WebUpdateForm.h"
#include "settings/Configuration.h"
#include "settings/Texts.h"
#include "shell/AppVersion.h"
#include "ui/BoxAnswer.h"

using Outcome = UpdateResult::Outcome;

namespace {

const QUrl kReleasePage(QStringLiteral("https://www.quarnel.example/vorlog/releases/"));

// The question and the browser, watched: what was asked and which pages were opened.
struct Watched {
  bool answerYes = true;
  QStringList asked;
  QList<QUrl> opened;
  ReleasePageHooks hooks() {
    return {[this](const QString& title, const QString&) {
              asked << title;
              return answerYes;
            },
            [this](const QUrl& url) {
              opened << url;
              return true;
            }};
  }
};

UpdateResult result(Outcome outcome, const QString& remote = QString(), int reason = 0) {
  UpdateResult r;
  r.outcome = outcome;
  r.localVersion = QStringLiteral("5.1.9");
  r.remoteVersion = remote;
  r.reason = reason;
  r.detail = QStringLiteral("404");
  return r;
}

struct WebUpdateFormTest : ::testing::Test {
  void SetUp() override {
    Texts::setLanguageOffset(Texts::kEnglishOffset);
    form.setAddresses(QUrl(QStringLiteral("https://www.quarnel.example/vorlog/update/")), kReleasePage);
    form.setHooks(watched.hooks());
  }
  QPushButton* button(const char* name) { return form.findChild<QPushButton*>(QLatin1String(name)); }
  Watched watched;
  TFormWebUpdate form;
};

// A server on 127.0.0.1 that answers every request with one version file.
struct OneAnswerServer : QTcpServer {
  explicit OneAnswerServer(const QByteArray& version) {
    listen(QHostAddress::LocalHost);
    connect(this, &QTcpServer::newConnection, this, [this, version] {
      QTcpSocket* s = nextPendingConnection();
      connect(s, &QTcpSocket::readyRead, s, [s, version] {
        s->readAll();
        s->write("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(version.size()) +
                 "\r\nConnection: close\r\n\r\n" + version);
        s->disconnectFromHost();
      });
    });
  }
  QString base() const { return QStringLiteral("http://127.0.0.1:%1/").arg(serverPort()); }
};

bool waitFor(const std::function<bool()>& done, int ms = 5000) {
  for (int waited = 0; !done() && waited < ms; waited += 10) runFor(10);
  return done();
}

}  // namespace

TEST_F(WebUpdateFormTest, OpensWithTheExplanationAndNothingChecked) {
  EXPECT_EQ(form.windowTitle(), "Search for updates");
  EXPECT_TRUE(form.lines().isEmpty());
  EXPECT_TRUE(button("btnNext")->isEnabled());
  EXPECT_EQ(button("btnNext")->text(), Texts::text(6004));
  EXPECT_EQ(button("btnCancel")->text(), Texts::text(6003));
  // Every label shows its text as it is; none of them reads markup.
  for (QLabel* label : form.findChildren<QLabel*>()) EXPECT_EQ(label->textFormat(), Qt::PlainText);
}

// Each outcome: the lines, the buttons, and the release page only for a newer version and a "Yes".
TEST_F(WebUpdateFormTest, EachOutcome) {
  const struct {
    const char* what;
    UpdateResult result;
    bool yes;
    QStringList lines;
    bool nextEnabled;
    int nextText;
    int opened;
  } cases[] = {
      {"newer, yes", result(Outcome::UpdateAvailable, "5.2.0"), true,
       {"5.2.0 (WEB)", Texts::text(151), Texts::text(9246).arg(kReleasePage.toString())}, true, 157, 1},
      {"newer, no", result(Outcome::UpdateAvailable, "5.2.0"), false,
       {"5.2.0 (WEB)", Texts::text(151), Texts::text(8412)}, true, 157, 0},
      {"up to date", result(Outcome::UpToDate, "5.1.9"), true,
       {"5.1.9 (WEB)", Texts::text(150), "", Texts::text(8413)}, false, 156, 0},
      {"could not check", result(Outcome::CouldNotCheck, "", UpdateText::HttpStatus), true,
       {Texts::text(9245), "The update server answered with HTTP status 404."}, true, 156, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    form.prepare();
    watched = Watched();
    watched.answerYes = c.yes;
    form.showResult(c.result, true);
    EXPECT_EQ(form.lines(), c.lines);
    EXPECT_EQ(form.percent(), 100);
    EXPECT_EQ(button("btnNext")->isEnabled(), c.nextEnabled);
    EXPECT_EQ(button("btnNext")->text(), Texts::text(c.nextText));
    EXPECT_EQ(button("btnCancel")->text(), Texts::text(6002));
    EXPECT_EQ(watched.asked.size(), c.result.outcome == Outcome::UpdateAvailable ? 1 : 0);
    ASSERT_EQ(watched.opened.size(), c.opened);
    if (c.opened) {
      EXPECT_EQ(watched.opened[0], kReleasePage);
    }
  }
}

TEST_F(WebUpdateFormTest, AnnouncedWithoutQuestionTheButtonAsksLater) {
  form.showResult(result(Outcome::UpdateAvailable, "6.0"), false);
  EXPECT_TRUE(watched.asked.isEmpty());
  button("btnNext")->click();
  EXPECT_EQ(watched.asked, QStringList{Texts::text(154) + " 6.0"});
  EXPECT_EQ(watched.opened, QList<QUrl>{kReleasePage});
}

// The release page comes from the configuration; only a web address reaches the browser.
TEST_F(WebUpdateFormTest, ReleasePageThatIsNoWebAddressIsNotOpened) {
  for (const char* page : {"file:///usr/bin/xterm", "javascript:alert(1)", ""}) {
    watched = Watched();
    EXPECT_EQ(offerReleasePage("6.0", QUrl(page), watched.hooks()), ReleasePageAnswer::OpenFailed) << page;
    EXPECT_TRUE(watched.opened.isEmpty());
  }
}

// The button runs the real check; an address that is not safe is refused before any connection.
TEST_F(WebUpdateFormTest, NextRunsTheCheck) {
  form.setAddresses(QUrl(QStringLiteral("http://updates.example/")), kReleasePage);
  button("btnNext")->click();
  EXPECT_FALSE(button("btnNext")->isEnabled());
  ASSERT_TRUE(waitFor([&] { return form.lines().size() >= 4; }));
  EXPECT_EQ(form.lines().mid(0, 3), QStringList({Texts::text(8411), appVersion() + " (PC)", Texts::text(9245)}));
  EXPECT_TRUE(form.lines()[3].contains("http://updates.example/"));
  EXPECT_TRUE(watched.opened.isEmpty());
}

TEST(UpdateCommands, MenuCheckShowsItsStepsInTheProgressWindow) {
  Texts::setLanguageOffset(Texts::kEnglishOffset);
  OneAnswerServer server("999.0\n");
  Configuration config;
  config.updateBaseAddress = server.base();
  TMessageForm messageForm;
  GuiMessages messages(messageForm);
  TProgressForm progress;
  UpdateCommands commands(nullptr, config, messages, &progress, nullptr);
  QList<QUrl> opened;
  commands.setHooks({[](const QString&, const QString&) { return true; },
                     [&](const QUrl& url) {
                       opened << url;
                       return true;
                     }});
  qunsetenv("VORLOG_UPDATE_URL");
  commands.RunUpdateCheck();
  ASSERT_TRUE(waitFor([&] { return progress.percent() == 100; }));
  EXPECT_EQ(progress.lines(), QStringList({Texts::text(8411), appVersion() + " (PC)", "999.0 (WEB)", Texts::text(154),
                                           Texts::text(9246).arg(config.releasePage)}));
  EXPECT_EQ(opened, QList<QUrl>{QUrl(config.releasePage)});
}

// At start-up nothing asks: a newer version is named on the status line and in the
// update dialog, shown without the question; a failure is one line on the status line.
TEST(UpdateCommands, StartUpCheckAsksNothing) {
  Texts::setLanguageOffset(Texts::kEnglishOffset);
  qunsetenv("VORLOG_UPDATE_URL");
  OneAnswerServer server("999.0\n");
  Configuration config;
  TMessageForm messageForm;
  GuiMessages messages(messageForm);
  QWidget window;
  QStatusBar bar(&window);
  UpdateCommands commands(&window, config, messages, nullptr, &bar);
  int asked = 0;
  commands.setHooks({[&](const QString&, const QString&) { return ++asked, false; }, [](const QUrl&) { return true; }});

  config.updateBaseAddress = QStringLiteral("http://updates.example/");
  commands.checkAtStart();
  ASSERT_TRUE(waitFor([&] { return !bar.currentMessage().isEmpty(); }));
  EXPECT_TRUE(bar.currentMessage().startsWith(Texts::text(9249)));
  EXPECT_FALSE(commands.form().isVisible());

  config.updateBaseAddress = server.base();
  commands.checkAtStart();
  ASSERT_TRUE(waitFor([&] { return commands.form().isVisible(); }));
  EXPECT_EQ(bar.currentMessage(), Texts::text(9248).arg("999.0"));
  EXPECT_TRUE(commands.form().lines().contains("999.0 (WEB)"));
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(messageForm.shownCount(), 0);
}

// Pictures of the dialog for the manual, each from a real check against a server on this
// computer: only when VORLOG_SCREENSHOT_DIR names a folder.
TEST_F(WebUpdateFormTest, Screenshots) {
  const QString dir = qEnvironmentVariable("VORLOG_SCREENSHOT_DIR");
  if (dir.isEmpty()) GTEST_SKIP() << "VORLOG_SCREENSHOT_DIR not set";
  const QString major = appVersion().section('.', 0, 0);
  OneAnswerServer newer(QString::number(major.toInt() + 1).toLatin1() + ".0.0\n");
  OneAnswerServer same(appVersion().toLatin1() + "\r\n");
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost);
  const QString refused = QStringLiteral("http://127.0.0.1:%1/").arg(probe.serverPort());
  probe.close();
  const struct {
    const char* file;
    QString base;
  } shots[] = {{"update-available.png", newer.base()}, {"update-uptodate.png", same.base()}, {"update-failed.png", refused}};
  form.show();
  for (const auto& s : shots) {
    form.prepare();
    form.setAddresses(QUrl(s.base), kReleasePage);
    button("btnNext")->click();
    ASSERT_TRUE(waitFor([&] { return form.percent() == 100; }));
    runFor(50);
    EXPECT_TRUE(form.grab().save(QDir(dir).filePath(QLatin1String(s.file)))) << s.file;
  }
}
