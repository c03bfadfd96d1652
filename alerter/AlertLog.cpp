#include "alerter/AlertLog.h"

#include <syslog.h>
#include <unistd.h>

#include <QFile>

namespace Klaxor {

namespace {

QString oneLine(QString text) {
  for (QChar& c : text)
    if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) c = QLatin1Char(' ');
  return text;
}

}  // namespace

QString logLine(const QDateTime& when, const QString& ident, qint64 pid, const QString& message) {
  return QStringLiteral("%1 %2[%3]: %4\n")
      .arg(when.toOffsetFromUtc(when.offsetFromUtc()).toString(Qt::ISODateWithMs), ident, QString::number(pid),
           oneLine(message));
}

bool writeLog(const QString& target, const QString& ident, const QString& message, QString* error) {
  if (target.isEmpty()) {
    // openlog keeps the pointer, so the identifier must outlive every later call.
    static QByteArray openedIdent;
    if (openedIdent != ident.toUtf8()) {
      openedIdent = ident.toUtf8();
      openlog(openedIdent.constData(), LOG_PID, LOG_USER);
    }
    syslog(LOG_USER | LOG_NOTICE, "%s", oneLine(message).toUtf8().constData());
    return true;
  }
  const QByteArray line = logLine(QDateTime::currentDateTime(), ident, getpid(), message).toUtf8();
  QFile file(target);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered) || file.write(line) != line.size()) {
    if (error) *error = file.errorString();
    return false;
  }
  return true;
}

}  // namespace Klaxor
