#include "shell/HelpPages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "settings/Texts.h"

namespace TextNo {
constexpr int ManualPage = 2, HelpFolder = 17, PageExtension = 18;
}

namespace {
QString withSlash(QString folder) {
  if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  return folder;
}
}  // namespace

HelpPages::HelpPages(QString installedRoot, QString userPath)
    : installedRoot_(withSlash(std::move(installedRoot))), userPath_(withSlash(std::move(userPath))) {}

QString HelpPages::defaultInstalledRoot() {
  return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/vorlog")) +
         QLatin1Char('/');
}

QString HelpPages::pageName(int topic) {
  const QString base = topic == 0 ? Texts::text(TextNo::ManualPage) : QStringLiteral("hs%1").arg(topic);
  return base + Texts::text(TextNo::PageExtension);
}

QString HelpPages::languageFolder() {
  // The table keeps the folder as the Windows version wrote it, with backslashes.
  return withSlash(Texts::text(TextNo::HelpFolder).replace(QLatin1Char('\\'), QLatin1Char('/')));
}

HelpPages::Page HelpPages::find(int topic) const {
  Page page;
  page.name = pageName(topic);
  const QString folder = languageFolder();
  for (const QString& root : {userPath_, installedRoot_}) {
    if (root.isEmpty()) continue;
    const QString path = QDir::cleanPath(root + folder + page.name);
    page.searched << path;
    const QFileInfo info(path);
    if (info.isFile() && info.isReadable()) {
      page.found = true;
      page.path = path;
      return page;
    }
  }
  page.path = page.searched.isEmpty() ? page.name : page.searched.last();
  return page;
}
