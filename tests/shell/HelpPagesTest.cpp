#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrlQuery>

#include "settings/Texts.h"
#include "shell/HelpPages.h"
#include "shell/HelpTopics.h"
#include "shell/SupportLinks.h"

namespace {

// Restores the language the other tests expect.
struct Language {
  explicit Language(int offset) : saved(Texts::languageOffset()) { Texts::setLanguageOffset(offset); }
  ~Language() { Texts::setLanguageOffset(saved); }
  int saved;
};

void writePage(const QString& path, const QByteArray& body = "<html></html>") {
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(body);
}

class HelpPagesTest : public ::testing::Test {
 protected:
  QTemporaryDir installed, user;
  HelpPages pages{installed.path(), user.path()};
  QString inInstalled(const QString& rel) const { return installed.path() + QLatin1Char('/') + rel; }
  QString inUser(const QString& rel) const { return user.path() + QLatin1Char('/') + rel; }
};

}  // namespace

TEST_F(HelpPagesTest, PageNamesAndFoldersFollowTheLanguage) {
  Language en(Texts::kEnglishOffset);
  EXPECT_EQ(HelpPages::pageName(HelpTopic::Manual), "UserManual.htm");
  EXPECT_EQ(HelpPages::pageName(HelpTopic::GotoSearchMeasure), "hs310.htm");
  EXPECT_EQ(HelpPages::languageFolder(), "help/en/webhelp/");
  Texts::setLanguageOffset(0);
  EXPECT_EQ(HelpPages::languageFolder(), "help/de/webhelp/");
  EXPECT_EQ(HelpPages::pageName(HelpTopic::Export), "hs985.htm");
  EXPECT_EQ(HelpPages::pageName(HelpTopic::Manual), Texts::text(2) + ".htm");
}

TEST_F(HelpPagesTest, UserCopyWinsOverTheInstalledPageAndLanguageSwitchesAtOnce) {
  Language en(Texts::kEnglishOffset);
  writePage(inInstalled("help/en/webhelp/hs310.htm"));
  writePage(inInstalled("help/de/webhelp/hs310.htm"));
  HelpPages::Page p = pages.find(310);
  ASSERT_TRUE(p.found);
  EXPECT_EQ(p.path, QDir::cleanPath(inInstalled("help/en/webhelp/hs310.htm")));

  writePage(inUser("help/en/webhelp/hs310.htm"));
  p = pages.find(310);
  ASSERT_TRUE(p.found);
  EXPECT_EQ(p.path, QDir::cleanPath(inUser("help/en/webhelp/hs310.htm")));

  // German has no user copy: the installed German page, without a new HelpPages.
  Texts::setLanguageOffset(0);
  p = pages.find(310);
  ASSERT_TRUE(p.found);
  EXPECT_EQ(p.path, QDir::cleanPath(inInstalled("help/de/webhelp/hs310.htm")));
}

TEST_F(HelpPagesTest, MissingPageIsReportedWithThePathsLookedAt) {
  Language en(Texts::kEnglishOffset);
  // A folder of the page's name is no page; neither is a missing help folder.
  QDir().mkpath(inUser("help/en/webhelp/hs900.htm"));
  const HelpPages::Page p = pages.find(900);
  EXPECT_FALSE(p.found);
  EXPECT_EQ(p.name, "hs900.htm");
  EXPECT_EQ(p.path, QDir::cleanPath(inInstalled("help/en/webhelp/hs900.htm")));
  EXPECT_EQ(p.searched, (QStringList{QDir::cleanPath(inUser("help/en/webhelp/hs900.htm")), p.path}));
}

TEST(SupportLinks, MailLinksKeepBlanksUmlautsAndAmpersands) {
  const QString subject = QStringLiteral("Quarnel Vorlog (Wunsch & Frage) = Ärger?");
  const QString body = QStringLiteral("Zeile 1: 50% + mehr #1\nÜbertragung fehlt");
  const QUrl url = SupportLinks::mail(QStringLiteral("mailto:support@quarnel.example"), subject, body);
  EXPECT_EQ(url.scheme(), "mailto");
  EXPECT_EQ(url.path(), "support@quarnel.example");
  const QString encoded = QString::fromLatin1(url.toEncoded());
  EXPECT_FALSE(encoded.contains(QLatin1Char(' '))) << qPrintable(encoded);
  EXPECT_EQ(encoded.count(QLatin1Char('&')), 1) << qPrintable(encoded);  // only between the two items
  // What a mail program does with the link: parse it again and decode each item.
  const QUrl back = QUrl::fromEncoded(url.toEncoded());
  const QUrlQuery q(back);
  EXPECT_EQ(q.queryItemValue("subject", QUrl::FullyDecoded), subject);
  EXPECT_EQ(q.queryItemValue("body", QUrl::FullyDecoded), body);
}

TEST(SupportLinks, PreparedMailsAndHomePageComeFromTheTextTable) {
  Language de(0);
  EXPECT_EQ(SupportLinks::subjectPrefix("%s?Subject=Quarnel %s&Body=%s"), "Quarnel ");
  const QUrlQuery problem(SupportLinks::problemReport());
  EXPECT_EQ(SupportLinks::problemReport().path(), "support@quarnel.example");
  EXPECT_EQ(problem.queryItemValue("subject", QUrl::FullyDecoded), "Quarnel " + Texts::text(4283));
  EXPECT_EQ(problem.queryItemValue("body", QUrl::FullyDecoded), Texts::text(4281));  // "gewünschte" in the feature one
  const QUrlQuery feature(SupportLinks::featureRequest());
  EXPECT_EQ(feature.queryItemValue("body", QUrl::FullyDecoded), Texts::text(4284));
  EXPECT_TRUE(Texts::text(4284).contains(QStringLiteral("ü")));
  EXPECT_EQ(SupportLinks::homePage().scheme(), "https");
}
