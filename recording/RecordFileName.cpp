#include "recording/RecordFileName.h"

#include <QDir>
#include <QFileInfo>

QString resolveRecordFileName(const QString& name, const QString& userPath) {
  if (name.contains(QLatin1Char('/'))) return QDir::cleanPath(QDir::current().absoluteFilePath(name));
  // A file the user sees beside him is the one he means, even when it was not recorded here.
  if (!name.isEmpty() && QFileInfo::exists(name)) return QDir::cleanPath(QDir::current().absoluteFilePath(name));
  return QDir::cleanPath(QDir::current().absoluteFilePath(userPath + QStringLiteral("recordings/") + name));
}
