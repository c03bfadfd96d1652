#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "settings/Texts.h"
#include "settings/UserPath.h"

namespace {

TEST(Texts, LanguagesAndMissingNumbers) {
  Texts::setLanguageOffset(Texts::kEnglishOffset);
  EXPECT_EQ(Texts::text(4273), "MONITOR MODE");
  EXPECT_EQ(Texts::text(3004), "Error writing record file!");
  EXPECT_TRUE(Texts::text(2010).startsWith("The requested COM A port cannot be initialized.\n\n\tPlease"));
  EXPECT_EQ(Texts::text(999999), "");
  Texts::setLanguageOffset(0);
  EXPECT_EQ(Texts::text(205), "WARNUNG");
  EXPECT_FALSE(Texts::text(3004).isEmpty());
  EXPECT_NE(Texts::text(3004), "Error writing record file!");
  Texts::setLanguageOffset(12345);  // anything but German means English
  EXPECT_EQ(Texts::languageOffset(), Texts::kEnglishOffset);
}

TEST(UserPath, EnvironmentFirstThenXdg) {
  QTemporaryDir dir;
  qputenv("VORLOG_USER_PATH", dir.filePath("u").toLocal8Bit());
  EXPECT_EQ(userPath(), dir.filePath("u") + "/");
  ASSERT_TRUE(ensureUserPath());
  for (const char* sub : {"recordings", "profiles", "themes", "skins"})
    EXPECT_TRUE(QFileInfo(dir.filePath(QString("u/") + sub)).isDir()) << sub;
  EXPECT_EQ(configurationFilePath(), dir.filePath("u") + "/Vorlog.ini");
  qunsetenv("VORLOG_USER_PATH");
  qputenv("XDG_DATA_HOME", dir.filePath("xdg").toLocal8Bit());
  EXPECT_EQ(userPath(), dir.filePath("xdg") + "/Vorlog/");
  qunsetenv("XDG_DATA_HOME");
  EXPECT_TRUE(userPath().endsWith("/.local/share/Vorlog/"));
  // A user path that cannot be made is reported, not taken as made.
  qputenv("VORLOG_USER_PATH", "/proc/vorlog-cannot-be-here");
  EXPECT_FALSE(ensureUserPath());
  qunsetenv("VORLOG_USER_PATH");
}

}  // namespace
