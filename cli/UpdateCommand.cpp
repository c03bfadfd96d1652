// vorlog-cli check-update: asks the update server once and says what it found.
#include <QCoreApplication>

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "settings/Configuration.h"
#include "settings/Texts.h"
#include "shell/AppVersion.h"
#include "shell/UpdateCheck.h"

namespace TextNo {
constexpr int Available = 9240, UpToDate = 9241, CouldNotCheck = 9242, UrlValue = 9243, NoFile = 9437;
}  // namespace TextNo

int runCheckUpdate(const QStringList& args) {
  const Args a = Args::parse(args, {QStringLiteral("url")}, {});
  if (!a.error.isEmpty()) {
    printErr(QStringLiteral("vorlog-cli check-update: ") + a.error + QLatin1Char('\n'));
    return 2;
  }
  if (!a.positional.isEmpty()) {
    printErr(QStringLiteral("vorlog-cli check-update: ") + Texts::text(TextNo::NoFile) + QLatin1Char('\n'));
    return 2;
  }
  QUrl base;
  if (a.has(QStringLiteral("url"))) {
    base = QUrl(a.value(QStringLiteral("url")).trimmed(), QUrl::StrictMode);
    if (!base.isValid() || base.scheme().isEmpty() || base.host().isEmpty()) {
      printErr(QStringLiteral("vorlog-cli check-update: ") + Texts::text(TextNo::UrlValue) + QLatin1Char('\n'));
      return 2;
    }
    if (!base.path().endsWith(QLatin1Char('/'))) base.setPath(base.path() + QLatin1Char('/'));
  } else {
    Configuration configuration;
    configuration.load();
    base = updateBaseAddress(configuration.updateBaseAddress);
  }

  UpdateCheck check;
  UpdateResult result;
  QObject::connect(&check, &UpdateCheck::finished, [&](const UpdateResult& r) {
    result = r;
    QCoreApplication::exit(0);
  });
  check.CheckForUpdate(base, appVersion());
  QCoreApplication::exec();

  switch (result.outcome) {
    case UpdateResult::Outcome::UpdateAvailable:
      printOut(Texts::text(TextNo::Available).arg(result.remoteVersion, result.localVersion) + QLatin1Char('\n'));
      return 0;
    case UpdateResult::Outcome::UpToDate:
      printOut(Texts::text(TextNo::UpToDate).arg(result.localVersion) + QLatin1Char('\n'));
      return 0;
    case UpdateResult::Outcome::CouldNotCheck:
      break;
  }
  printErr(QStringLiteral("vorlog-cli: ") + Texts::text(TextNo::CouldNotCheck).arg(updateReasonText(result)) +
           QLatin1Char('\n'));
  return 1;
}
