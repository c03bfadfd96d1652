#include "settings/UserPath.h"

#include <QDir>
#include <QStandardPaths>

QString userPath() {
  QString path = qEnvironmentVariable("VORLOG_USER_PATH");
  if (path.isEmpty()) {
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty()) data = QDir::homePath() + QStringLiteral("/.local/share");
    path = data + QStringLiteral("/Vorlog");
  }
  if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
  return path;
}

bool ensureUserPath() {
  const QString base = userPath();
  QDir dir;
  bool ok = true;
  for (const char* sub : {"", "recordings", "profiles", "themes", "skins"})
    ok = dir.mkpath(base + QLatin1String(sub)) && ok;
  return ok;
}

QString configurationFilePath() { return userPath() + QStringLiteral("Vorlog.ini"); }
