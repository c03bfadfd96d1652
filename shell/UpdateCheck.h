#pragma once
#include <QByteArray>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;


// Asks the update server which version is current. Nothing is downloaded but one short
// text file ("update.<major>.txt" below the base address), nothing is written to disk,
// and nothing received is ever run: a newer version is only announced.
//
// Only addresses that cannot be tampered with on the way are asked: https with the
// certificate checked, or plain http to this computer (127.0.0.0/8, ::1, localhost)
// for tests and local mirrors. A redirect must lead to an equally safe address.

namespace UpdateText {
// Why a check could not be made; each takes the detail as %1.
constexpr int UnsafeAddress = 9227, NoConnection = 9228, NoAnswer = 9229, HttpStatus = 9230, TooLarge = 9231,
              Truncated = 9232, WebPage = 9233, NoVersion = 9234, UnsafeRedirect = 9235, SecureConnection = 9236,
              Cancelled = 9237;
}  // namespace UpdateText

struct UpdateResult {
  enum class Outcome { UpdateAvailable, UpToDate, CouldNotCheck };
  Outcome outcome = Outcome::CouldNotCheck;
  QString localVersion;
  QString remoteVersion;  // a checked version text (digits and dots, at most 32 characters); else empty
  int reason = 0;         // text number when the check could not be made
  QString detail;         // goes into the reason's %1
  QUrl url;               // the file that was asked for
};

// The reason of a failed check in the current language.
QString updateReasonText(const UpdateResult& result);

// The version text of the information file's first line, after removing a UTF-8
// byte-order mark, blanks and CR; empty when that line is no version: numbers separated
// by dots, at most kMaxVersionLength characters.
constexpr int kMaxVersionLength = 32;
QString versionFromFile(const QByteArray& body);

// Compares two version texts part by part as numbers (5.1.10 > 5.1.9); a missing part
// counts as 0, so 5.1 equals 5.1.0. Negative, zero or positive like strcmp. Texts that
// are no version compare as 0.0.
int compareVersions(const QString& a, const QString& b);

// The address is safe to ask: https, or http to a loopback address.
bool isSafeUpdateAddress(const QUrl& url);
// A redirect from one safe address to another keeps the protection of the first one:
// never from https to http, plain http only between loopback addresses.
bool isSafeRedirect(const QUrl& from, const QUrl& to);

// The base address in force: the environment variable VORLOG_UPDATE_URL when it is set
// and not empty, else the configured one. A missing final '/' is added, so that the
// file name lands inside the folder.
QUrl updateBaseAddress(const QString& configured);
// base + "update.<major>.txt", the major number taken from the local version.
QUrl updateFileUrl(const QUrl& base, const QString& localVersion);

class UpdateCheck : public QObject {
  Q_OBJECT
 public:
  static constexpr int kDefaultTimeoutMs = 10000;
  // The information file holds a version line and perhaps a few notes; anything larger
  // is no information file.
  static constexpr qint64 kMaxBodyBytes = 4096;

  explicit UpdateCheck(QObject* parent = nullptr);
  ~UpdateCheck() override;

  // The whole check, redirects included, must be done within this time.
  void setTimeout(int ms) { timeoutMs_ = ms; }

  // Starts a check of base + "update.<major>.txt"; finished() follows exactly once, also
  // when the address is refused at once. A check already running is dropped without a word.
  void CheckForUpdate(const QUrl& base, const QString& localVersion);
  // Ends a running check; finished() reports "could not check" (cancelled).
  void cancel();
  bool running() const { return reply_ != nullptr || pendingFinish_; }

 signals:
  void finished(const UpdateResult& result);

 private:
  void onRedirected(const QUrl& to);
  void onReadyRead();
  void onFinished();
  void fail(int reason, const QString& detail);
  void finish(UpdateResult result);
  void dropReply();

  QNetworkAccessManager* manager_ = nullptr;  // made on first use: start-up pays nothing for it
  QPointer<QNetworkReply> reply_;
  QTimer deadline_;
  QByteArray body_;
  QUrl current_;  // the address asked now (after redirects)
  UpdateResult result_;
  int timeoutMs_ = kDefaultTimeoutMs;
  int generation_ = 0;          // which CheckForUpdate() a queued refusal belongs to
  bool pendingFinish_ = false;  // a refusal waits in the event queue
};

Q_DECLARE_METATYPE(UpdateResult)
