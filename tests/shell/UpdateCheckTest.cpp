#include <gtest/gtest.h>

#include <QEventLoop>
#include <QMap>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include "settings/Texts.h"
#include "shell/UpdateCheck.h"

using Outcome = UpdateResult::Outcome;

namespace {

// A web server on 127.0.0.1 that answers each path with a canned raw response. A path
// without an answer is held open and never answered; a request that is no HTTP (a TLS
// greeting) is hung up on.
class CannedServer : public QTcpServer {
 public:
  CannedServer() {
    listen(QHostAddress::LocalHost);
    connect(this, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* s = nextPendingConnection()) {
        connect(s, &QTcpSocket::readyRead, s, [this, s] { serve(s); });
      }
    });
  }
  QString base() const { return QStringLiteral("http://127.0.0.1:%1/upd/").arg(serverPort()); }
  QMap<QByteArray, QByteArray> answers;
  QList<QByteArray> requests;  // the request lines seen

 private:
  void serve(QTcpSocket* s) {
    QByteArray& pending = buffers_[s];
    pending += s->readAll();
    if (!pending.startsWith("GET ")) {
      s->disconnectFromHost();
      return;
    }
    if (!pending.contains("\r\n\r\n")) return;
    const QByteArray line = pending.left(pending.indexOf("\r\n"));
    requests << line;
    const QByteArray path = line.split(' ').value(1);
    if (!answers.contains(path)) return;  // hangs
    s->write(answers[path]);
    s->disconnectFromHost();
  }
  QMap<QTcpSocket*, QByteArray> buffers_;
};

QByteArray ok(const QByteArray& body, const QByteArray& type = "text/plain") {
  return "HTTP/1.1 200 OK\r\nContent-Type: " + type + "\r\nContent-Length: " + QByteArray::number(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}
QByteArray redirect(const QByteArray& to) {
  return "HTTP/1.1 302 Found\r\nLocation: " + to + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
}

UpdateResult runCheck(const QUrl& base, const QString& local = QStringLiteral("5.1.9"), int timeoutMs = 2000) {
  UpdateCheck check;
  check.setTimeout(timeoutMs);
  UpdateResult result;
  int calls = 0;
  QEventLoop loop;
  QObject::connect(&check, &UpdateCheck::finished, [&](const UpdateResult& r) {
    result = r;
    ++calls;
    loop.quit();
  });
  QTimer::singleShot(timeoutMs + 5000, &loop, &QEventLoop::quit);
  check.CheckForUpdate(base, local);
  loop.exec();
  // finished() comes once; let a stray second one show up.
  QTimer::singleShot(20, &loop, &QEventLoop::quit);
  loop.exec();
  EXPECT_EQ(calls, 1);
  return result;
}

int closedPort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost);
  return probe.serverPort();  // closed when probe goes
}

}  // namespace

// What the server answers and what the check makes of it; the local version is 5.1.9.
TEST(UpdateCheck, AnswersOfTheServer) {
  struct Case {
    const char* what;
    QByteArray answer;
    Outcome outcome;
    int reason;
    QString remote;
  };
  const QByteArray tenKb(10240, '5');
  const Case cases[] = {
      {"newer version", ok("5.1.10\n"), Outcome::UpdateAvailable, 0, "5.1.10"},
      {"same version", ok("5.1.9"), Outcome::UpToDate, 0, "5.1.9"},
      {"older version", ok("5.0\n"), Outcome::UpToDate, 0, "5.0"},
      {"BOM, blanks, CR LF, notes after the first line", ok("\xEF\xBB\xBF 5.2.0 \r\nnotes\r\n"),
       Outcome::UpdateAvailable, 0, "5.2.0"},
      {"not found", "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\nConnection: close\r\n\r\nnot found",
       Outcome::CouldNotCheck, UpdateText::HttpStatus, ""},
      {"server error", "HTTP/1.1 500 <b>Oops</b>\r\nContent-Length: 0\r\nConnection: close\r\n\r\n",
       Outcome::CouldNotCheck, UpdateText::HttpStatus, ""},
      {"body shorter than announced",
       "HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\n9.9", Outcome::CouldNotCheck,
       UpdateText::Truncated, ""},
      {"HTML page", ok("<!DOCTYPE html><html><body>5.2</body></html>", "text/html; charset=utf-8"),
       Outcome::CouldNotCheck, UpdateText::WebPage, ""},
      {"HTML as plain text", ok("<html>9.9</html>"), Outcome::CouldNotCheck, UpdateText::WebPage, ""},
      {"a version of 10 kB", ok(tenKb), Outcome::CouldNotCheck, UpdateText::TooLarge, ""},
      {"10 kB without a length", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + tenKb, Outcome::CouldNotCheck,
       UpdateText::TooLarge, ""},
      {"33 characters", ok("1.2.3.4.5.6.7.8.9.10.11.12.13.141"), Outcome::CouldNotCheck, UpdateText::NoVersion, ""},
      {"no version", ok("latest\n5.2\n"), Outcome::CouldNotCheck, UpdateText::NoVersion, ""},
      {"empty", ok(""), Outcome::CouldNotCheck, UpdateText::NoVersion, ""},
      {"redirect to http elsewhere", redirect("http://updates.example/upd/update.5.txt"), Outcome::CouldNotCheck,
       UpdateText::UnsafeRedirect, ""},
      // The network layer itself follows no redirect out of the web: the 302 stays the answer.
      {"redirect to a file", redirect("file:///etc/passwd"), Outcome::CouldNotCheck, UpdateText::HttpStatus, ""},
      {"redirect on this computer", redirect("/moved/update.5.txt"), Outcome::UpdateAvailable, 0, "6.0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CannedServer server;
    server.answers["/upd/update.5.txt"] = c.answer;
    server.answers["/moved/update.5.txt"] = ok("6.0\n");
    const UpdateResult r = runCheck(QUrl(server.base()));
    EXPECT_EQ(r.outcome, c.outcome);
    EXPECT_EQ(r.reason, c.reason) << qPrintable(updateReasonText(r));
    EXPECT_EQ(r.remoteVersion, c.remote);
    EXPECT_EQ(r.localVersion, "5.1.9");
    ASSERT_FALSE(server.requests.isEmpty());
    EXPECT_EQ(server.requests[0], "GET /upd/update.5.txt HTTP/1.1");
    // Nothing of the server's own words reaches the reason.
    EXPECT_FALSE(updateReasonText(r).contains("Oops") || updateReasonText(r).contains("Not Found") ||
                 updateReasonText(r).contains("updates.example"));
  }
}

TEST(UpdateCheck, ServerThatCannotBeReached) {
  CannedServer hanging;  // accepts and never answers
  const struct {
    const char* what;
    QString base;
    int reason;
  } cases[] = {
      {"connection refused", QStringLiteral("http://127.0.0.1:%1/").arg(closedPort()), UpdateText::NoConnection},
      {"no answer in time", hanging.base(), UpdateText::NoAnswer},
      {"https without a server", QStringLiteral("https://127.0.0.1:%1/").arg(closedPort()), UpdateText::NoConnection},
      {"plain http", QStringLiteral("http://updates.example/"), UpdateText::UnsafeAddress},
      {"not a web address", QStringLiteral("file:///tmp/"), UpdateText::UnsafeAddress},
      {"ftp", QStringLiteral("ftp://127.0.0.1/"), UpdateText::UnsafeAddress},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const UpdateResult r = runCheck(QUrl(c.base), QStringLiteral("5.1.9"), 300);
    EXPECT_EQ(r.outcome, Outcome::CouldNotCheck);
    EXPECT_EQ(r.reason, c.reason) << qPrintable(updateReasonText(r));
    EXPECT_FALSE(updateReasonText(r).isEmpty());
  }
}

// A redirect to https is followed; it fails here only because no TLS server answers.
// https to a server that does not speak TLS is no answer either.
TEST(UpdateCheck, HttpsThatFailsIsNoAnswer) {
  CannedServer server;
  server.answers["/upd/update.5.txt"] =
      redirect(QStringLiteral("https://127.0.0.1:%1/upd/update.5.txt").arg(server.serverPort()).toLatin1());
  UpdateResult r = runCheck(QUrl(server.base()));
  EXPECT_EQ(r.outcome, Outcome::CouldNotCheck);
  EXPECT_NE(r.reason, UpdateText::UnsafeRedirect);
  r = runCheck(QUrl(QStringLiteral("https://127.0.0.1:%1/upd/").arg(server.serverPort())));
  EXPECT_EQ(r.outcome, Outcome::CouldNotCheck);
  EXPECT_TRUE(r.reason == UpdateText::SecureConnection || r.reason == UpdateText::NoConnection) << r.reason;
}

TEST(UpdateCheck, CancelReportsOnceAndNothingLater) {
  CannedServer hanging;
  UpdateCheck check;
  QList<UpdateResult> results;
  QObject::connect(&check, &UpdateCheck::finished, [&](const UpdateResult& r) { results << r; });
  check.CheckForUpdate(QUrl(hanging.base()), QStringLiteral("5.1.9"));
  QEventLoop loop;
  QTimer::singleShot(100, &loop, &QEventLoop::quit);
  loop.exec();
  EXPECT_TRUE(check.running());
  check.cancel();
  QTimer::singleShot(100, &loop, &QEventLoop::quit);
  loop.exec();
  ASSERT_EQ(results.size(), 1);
  EXPECT_EQ(results[0].reason, UpdateText::Cancelled);
  EXPECT_FALSE(check.running());
}

TEST(UpdateCheck, VersionsCompareAsNumbers) {
  const struct {
    const char *a, *b;
    int sign;
  } cases[] = {
      {"5.1.10", "5.1.9", 1},       {"5.1.9.0", "5.1.10.0", -1}, {"5.1.9", "5.1.9", 0},
      {"5.1", "5.1.0.0", 0},        {"5.2", "5.1.99", 1},        {"6", "5.99.99", 1},
      {"05.01", "5.1", 0},          {"10.0", "9.0", 1},          {"99999999999999999999.1", "99999999999999999998.9", 1},
      {"garbage", "0.0", 0},        {"", "0", 0},                {"5.x", "0", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(compareVersions(c.a, c.b), c.sign) << c.a << " vs " << c.b;
    EXPECT_EQ(compareVersions(c.b, c.a), -c.sign) << c.b << " vs " << c.a;
  }
}

TEST(UpdateCheck, VersionFromTheFirstLine) {
  const struct {
    QByteArray body;
    const char* version;
  } cases[] = {
      {"5.2.1", "5.2.1"},           {"\xEF\xBB\xBF" "5.2.1\r\n", "5.2.1"}, {"  7.0\t\r\nrest", "7.0"},
      {"5 .2", ""},                 {"v5.2", ""},                          {"5.2-beta", ""},
      {"5..2", ""},                 {".5", ""},                            {"\n5.2", ""},
      {QByteArray(33, '1'), ""},    {QByteArray(32, '1'), "11111111111111111111111111111111"},
      {"<b>5</b>", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(versionFromFile(c.body), QString::fromLatin1(c.version)) << c.body.constData();
}

TEST(UpdateCheck, OnlySafeAddressesAndRedirects) {
  const struct {
    const char* url;
    bool safe;
  } addresses[] = {
      {"https://www.quarnel.example/vorlog/update/", true}, {"http://127.0.0.1:8080/", true},
      {"http://127.45.6.7/", true},                         {"http://[::1]:9000/", true},
      {"http://LOCALHOST/", true},                          {"http://www.quarnel.example/", false},
      {"http://127.0.0.1.evil.example/", false},            {"http://10.0.0.1/", false},
      {"ftp://127.0.0.1/", false},                          {"file:///tmp/", false},
      {"https:///nohost", false},                           {"", false},
  };
  for (const auto& a : addresses) EXPECT_EQ(isSafeUpdateAddress(QUrl(a.url)), a.safe) << a.url;

  const QUrl https("https://a.example/"), local("http://127.0.0.1:1/"), other("http://b.example/");
  EXPECT_TRUE(isSafeRedirect(https, QUrl("https://b.example/x")));
  EXPECT_FALSE(isSafeRedirect(https, QUrl("http://127.0.0.1/")));
  EXPECT_TRUE(isSafeRedirect(local, QUrl("http://localhost:2/")));
  EXPECT_TRUE(isSafeRedirect(local, https));
  EXPECT_FALSE(isSafeRedirect(local, other));
}

TEST(UpdateCheck, AddressOfTheInformationFile) {
  EXPECT_EQ(updateFileUrl(QUrl("https://a.example/v/"), "5.1.10").toString(), "https://a.example/v/update.5.txt");
  EXPECT_EQ(updateFileUrl(QUrl("https://a.example/v/"), "12.0").toString(), "https://a.example/v/update.12.txt");
  qunsetenv("VORLOG_UPDATE_URL");
  EXPECT_EQ(updateBaseAddress("https://a.example/v").toString(), "https://a.example/v/");
  qputenv("VORLOG_UPDATE_URL", "http://127.0.0.1:4711/u");
  EXPECT_EQ(updateBaseAddress("https://a.example/v/").toString(), "http://127.0.0.1:4711/u/");
  qputenv("VORLOG_UPDATE_URL", "");
  EXPECT_EQ(updateBaseAddress("https://a.example/v/").toString(), "https://a.example/v/");
  qunsetenv("VORLOG_UPDATE_URL");
}
