#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include "settings/Texts.h"

namespace {

QSet<QString> placeholders(const QString& text) {
  static const QRegularExpression re(QStringLiteral("%[1-9]"));
  QSet<QString> found;
  for (auto it = re.globalMatch(text); it.hasNext();) found.insert(it.next().captured());
  return found;
}

// The capture core's messages are filled in with arg(): a translation that lost a
// placeholder would silently drop the device name or the value that went wrong.
TEST(CaptureTexts, TableIsSoundAndBothLanguagesTakeTheSameValues) {
  const QString path = QFileInfo(QStringLiteral(__FILE__)).dir().filePath(QStringLiteral("../../resources/texts-capture.txt"));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
  QString error;
  const QList<Texts::Entry> entries = Texts::parseTable(file.readAll(), &error);
  EXPECT_TRUE(error.isEmpty()) << error.toStdString();
  ASSERT_FALSE(entries.isEmpty());
  for (const Texts::Entry& e : entries) {
    EXPECT_GE(e.number, 9500);
    EXPECT_LE(e.number, 9699);
    EXPECT_FALSE(e.german.isEmpty() || e.english.isEmpty()) << e.number;
    EXPECT_EQ(placeholders(e.german), placeholders(e.english)) << e.number;
    EXPECT_NE(e.german, e.english) << e.number << ": not translated";
  }
}

}  // namespace
