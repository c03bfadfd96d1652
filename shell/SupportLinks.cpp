#include "shell/SupportLinks.h"

#include <QUrlQuery>

#include "settings/Texts.h"

namespace TextNo {
constexpr int HomePage = 100, SupportMail = 120;
constexpr int ProblemBody = 4281, ProblemFormat = 4282, ProblemSubject = 4283;
constexpr int FeatureBody = 4284, FeatureFormat = 4285, FeatureSubject = 4286;
}  // namespace TextNo

namespace SupportLinks {

QUrl homePage() { return QUrl(Texts::text(TextNo::HomePage).trimmed()); }

QString subjectPrefix(const QString& format) {
  // "%s?Subject=Quarnel %s&Body=%s": the text between "Subject=" and the subject itself.
  const QString key = QStringLiteral("Subject=");
  const int from = format.indexOf(key, 0, Qt::CaseInsensitive);
  if (from < 0) return {};
  const int start = from + key.size();
  const int end = format.indexOf(QStringLiteral("%s"), start);
  return end < 0 ? QString() : format.mid(start, end - start);
}

QUrl mail(const QString& address, const QString& subject, const QString& body) {
  QString to = address.trimmed();
  if (to.startsWith(QStringLiteral("mailto:"), Qt::CaseInsensitive)) to = to.mid(7);
  QUrl url;
  url.setScheme(QStringLiteral("mailto"));
  url.setPath(to);
  // Items given decoded: QUrlQuery encodes "&", "=", "#" and "+" inside them, and the URL
  // encodes blanks and non-ASCII when written out.
  QUrlQuery query;
  query.setQueryDelimiters(QLatin1Char('='), QLatin1Char('&'));
  auto item = [](const QString& s) {
    QString v = s;
    v.replace(QLatin1Char('%'), QStringLiteral("%25"));
    v.replace(QLatin1Char('&'), QStringLiteral("%26"));
    v.replace(QLatin1Char('='), QStringLiteral("%3D"));
    v.replace(QLatin1Char('+'), QStringLiteral("%2B"));
    v.replace(QLatin1Char('#'), QStringLiteral("%23"));
    return v;
  };
  query.addQueryItem(QStringLiteral("subject"), item(subject));
  query.addQueryItem(QStringLiteral("body"), item(body));
  url.setQuery(query);
  return url;
}

QUrl problemReport() {
  return mail(Texts::text(TextNo::SupportMail),
              subjectPrefix(Texts::text(TextNo::ProblemFormat)) + Texts::text(TextNo::ProblemSubject),
              Texts::text(TextNo::ProblemBody));
}

QUrl featureRequest() {
  return mail(Texts::text(TextNo::SupportMail),
              subjectPrefix(Texts::text(TextNo::FeatureFormat)) + Texts::text(TextNo::FeatureSubject),
              Texts::text(TextNo::FeatureBody));
}

}  // namespace SupportLinks
