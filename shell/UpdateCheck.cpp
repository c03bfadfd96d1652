#include "shell/UpdateCheck.h"

#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>

#include "settings/Texts.h"

namespace {

bool isLoopbackHost(const QString& host) {
  const QString h = host.toLower();
  if (h == QLatin1String("localhost") || h == QLatin1String("localhost.")) return true;
  QHostAddress address;
  return address.setAddress(h) && address.isLoopback();
}

bool isHttps(const QUrl& url) { return url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0; }
bool isHttp(const QUrl& url) { return url.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) == 0; }

// The numbers of a version text without leading zeros; empty parts for no version.
QStringList versionParts(const QString& v) {
  static const QRegularExpression kVersion(QStringLiteral("^\\d+(\\.\\d+)*$"));
  if (!kVersion.match(v).hasMatch()) return {};
  QStringList parts = v.split(QLatin1Char('.'));
  for (QString& p : parts) {
    int zeros = 0;
    while (zeros < p.size() - 1 && p[zeros] == QLatin1Char('0')) ++zeros;
    p = p.mid(zeros);
  }
  return parts;
}

// Numbers of any length: the longer one is larger, equal lengths compare digit by digit.
int compareNumbers(const QString& a, const QString& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return a.compare(b);
}

}  // namespace

QString updateReasonText(const UpdateResult& result) {
  const QString text = Texts::text(result.reason);
  return text.contains(QLatin1String("%1")) ? text.arg(result.detail) : text;
}

QString versionFromFile(const QByteArray& body) {
  QByteArray line = body;
  if (line.startsWith("\xEF\xBB\xBF")) line.remove(0, 3);
  const qsizetype end = line.indexOf('\n');
  if (end >= 0) line.truncate(end);
  line.replace('\r', QByteArray());
  line = line.trimmed();
  if (line.isEmpty() || line.size() > kMaxVersionLength) return {};
  const QString version = QString::fromLatin1(line);
  return versionParts(version).isEmpty() ? QString() : version;
}

int compareVersions(const QString& a, const QString& b) {
  QStringList pa = versionParts(a), pb = versionParts(b);
  if (pa.isEmpty()) pa << QStringLiteral("0");
  if (pb.isEmpty()) pb << QStringLiteral("0");
  const QString zero = QStringLiteral("0");
  for (qsizetype i = 0; i < std::max(pa.size(), pb.size()); ++i) {
    const int c = compareNumbers(i < pa.size() ? pa[i] : zero, i < pb.size() ? pb[i] : zero);
    if (c != 0) return c < 0 ? -1 : 1;
  }
  return 0;
}

bool isSafeUpdateAddress(const QUrl& url) {
  if (!url.isValid() || url.host().isEmpty()) return false;
  return isHttps(url) || (isHttp(url) && isLoopbackHost(url.host()));
}

bool isSafeRedirect(const QUrl& from, const QUrl& to) {
  if (!isSafeUpdateAddress(from) || !isSafeUpdateAddress(to)) return false;
  return !(isHttps(from) && !isHttps(to));
}

QUrl updateBaseAddress(const QString& configured) {
  const QString fromEnvironment = qEnvironmentVariable("VORLOG_UPDATE_URL").trimmed();
  QUrl base(fromEnvironment.isEmpty() ? configured.trimmed() : fromEnvironment);
  if (base.isValid() && !base.path().endsWith(QLatin1Char('/'))) base.setPath(base.path() + QLatin1Char('/'));
  return base;
}

QUrl updateFileUrl(const QUrl& base, const QString& localVersion) {
  const QString major = localVersion.section(QLatin1Char('.'), 0, 0);
  return base.resolved(QUrl(QStringLiteral("update.%1.txt").arg(major)));
}

UpdateCheck::UpdateCheck(QObject* parent) : QObject(parent) {
  qRegisterMetaType<UpdateResult>();
  deadline_.setSingleShot(true);
  connect(&deadline_, &QTimer::timeout, this,
          [this] { fail(UpdateText::NoAnswer, QString::number(double(timeoutMs_) / 1000.0)); });
}

UpdateCheck::~UpdateCheck() { dropReply(); }

void UpdateCheck::CheckForUpdate(const QUrl& base, const QString& localVersion) {
  dropReply();
  ++generation_;
  body_.clear();
  result_ = UpdateResult();
  result_.localVersion = localVersion;
  result_.url = updateFileUrl(base, localVersion);
  current_ = result_.url;
  if (!isSafeUpdateAddress(current_)) {
    // Reported from the event loop like every other outcome, so callers may start and then wait.
    UpdateResult refused = result_;
    refused.reason = UpdateText::UnsafeAddress;
    refused.detail = base.isValid() ? base.toString() : QStringLiteral("\"\"");  // an address that does not parse
    pendingFinish_ = true;
    QTimer::singleShot(0, this, [this, refused, generation = generation_] {
      if (pendingFinish_ && generation == generation_) finish(refused);
    });
    return;
  }
  if (!manager_) manager_ = new QNetworkAccessManager(this);
  // A proxy must not stand between the program and a server on this computer.
  manager_->setProxy(isHttp(current_) ? QNetworkProxy(QNetworkProxy::NoProxy)
                                      : QNetworkProxy(QNetworkProxy::DefaultProxy));
  QNetworkRequest request(current_);
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
  request.setMaximumRedirectsAllowed(5);
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
  request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
  // The length the server announces is then the length of what we read.
  request.setRawHeader("Accept-Encoding", "identity");
  reply_ = manager_->get(request);
  connect(reply_, &QNetworkReply::redirected, this, &UpdateCheck::onRedirected);
  connect(reply_, &QNetworkReply::readyRead, this, &UpdateCheck::onReadyRead);
  connect(reply_, &QNetworkReply::finished, this, &UpdateCheck::onFinished);
  // Certificate errors are never ignored: the handshake fails and so does the check.
  deadline_.start(timeoutMs_);
}

void UpdateCheck::cancel() {
  if (reply_) {
    fail(UpdateText::Cancelled, result_.url.toString());
  } else if (pendingFinish_) {
    pendingFinish_ = false;
    UpdateResult cancelled = result_;
    cancelled.reason = UpdateText::Cancelled;
    cancelled.detail = result_.url.toString();
    finish(cancelled);
  }
}

void UpdateCheck::onRedirected(const QUrl& to) {
  const QUrl target = current_.resolved(to);
  if (!isSafeRedirect(current_, target)) {
    // Only the scheme: the rest of the address is the server's text.
    fail(UpdateText::UnsafeRedirect, target.scheme().left(16));
    return;
  }
  current_ = target;
  body_.clear();
  emit reply_->redirectAllowed();
}

void UpdateCheck::onReadyRead() {
  if (!reply_) return;
  const QVariant announced = reply_->header(QNetworkRequest::ContentLengthHeader);
  if (announced.isValid() && announced.toLongLong() > kMaxBodyBytes) {
    fail(UpdateText::TooLarge, QString::number(kMaxBodyBytes));
    return;
  }
  body_ += reply_->read(kMaxBodyBytes + 1 - body_.size());
  if (body_.size() > kMaxBodyBytes) fail(UpdateText::TooLarge, QString::number(kMaxBodyBytes));
}

void UpdateCheck::onFinished() {
  if (!reply_) return;
  onReadyRead();
  if (!reply_) return;  // too large
  deadline_.stop();
  QNetworkReply* reply = reply_;
  const QNetworkReply::NetworkError error = reply->error();
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
  const QString contentType = reply->header(QNetworkRequest::ContentTypeHeader).toString().toLower();
  const QString errorText = reply->errorString().left(300);
  reply_ = nullptr;
  reply->deleteLater();

  UpdateResult r = result_;
  auto couldNot = [&](int reason, const QString& detail) {
    r.reason = reason;
    r.detail = detail;
    finish(r);
  };
  const bool closedEarly = error == QNetworkReply::NoError || error == QNetworkReply::RemoteHostClosedError;
  if (status >= 200 && closedEarly && announced.isValid() && body_.size() < announced.toLongLong())
    return couldNot(UpdateText::Truncated, QStringLiteral("%1/%2").arg(body_.size()).arg(announced.toLongLong()));
  // The status number only: the reason phrase beside it is the server's text.
  if (status >= 300) return couldNot(UpdateText::HttpStatus, QString::number(status));
  if (error == QNetworkReply::SslHandshakeFailedError)
    return couldNot(UpdateText::SecureConnection, errorText);
  if (error != QNetworkReply::NoError) return couldNot(UpdateText::NoConnection, errorText);
  if (status != 200) return couldNot(UpdateText::HttpStatus, QString::number(status));
  if (contentType.startsWith(QLatin1String("text/html")) || body_.trimmed().startsWith('<'))
    return couldNot(UpdateText::WebPage, r.url.toString());
  r.remoteVersion = versionFromFile(body_);
  if (r.remoteVersion.isEmpty()) return couldNot(UpdateText::NoVersion, r.url.toString());
  r.outcome = compareVersions(r.remoteVersion, r.localVersion) > 0 ? UpdateResult::Outcome::UpdateAvailable
                                                                    : UpdateResult::Outcome::UpToDate;
  finish(r);
}

void UpdateCheck::fail(int reason, const QString& detail) {
  dropReply();
  UpdateResult r = result_;
  r.reason = reason;
  r.detail = detail;
  finish(r);
}

void UpdateCheck::finish(UpdateResult result) {
  pendingFinish_ = false;
  if (result.outcome == UpdateResult::Outcome::CouldNotCheck) result.remoteVersion.clear();
  emit finished(result);
}

void UpdateCheck::dropReply() {
  deadline_.stop();
  pendingFinish_ = false;
  if (!reply_) return;
  QNetworkReply* reply = reply_;
  reply_ = nullptr;
  disconnect(reply, nullptr, this, nullptr);
  reply->abort();
  reply->deleteLater();
}
