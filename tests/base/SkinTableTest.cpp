// The skin data without widgets: the shipped skins, which skins are offered, the mark
// colours converted from the descriptions' 0xBBGGRR, and the files a skin may use.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "settings/Configuration.h"
#include "settings/SkinTable.h"

using Skins::Skin;
using Skins::SkinTable;

namespace {

Configuration loaded(const QTemporaryDir& dir, const QByteArray& text) {
  const QString path = dir.filePath("Vorlog.ini");
  QFile f(path);
  f.open(QIODevice::WriteOnly);
  f.write(text);
  f.close();
  Configuration c;
  c.load(path);
  return c;
}

QList<int> numbers(const SkinTable& t) {
  QList<int> n;
  for (const Skin& s : t.skins()) n << s.number;
  return n;
}

TEST(SkinTable, MarkColoursAreTheDescriptionsInRedGreenBlue) {
  using R = Skins::Rgb8;
  const std::array<R, 7> light{R{0, 128, 0}, R{128, 0, 0}, R{255, 0, 0}, R{128, 128, 0}, R{128, 0, 128}, R{0, 128, 128}, R{255, 0, 0}};
  const std::array<R, 7> dark{R{0, 255, 0}, R{255, 0, 0}, R{255, 0, 0}, R{255, 255, 0}, R{255, 0, 255}, R{0, 255, 255}, R{255, 0, 0}};
  EXPECT_EQ(Skins::markColours(false), light);
  EXPECT_EQ(Skins::markColours(true), dark);
}

TEST(SkinTable, AFreshUserGetsTheShippedSkinsAndAUsersSectionsStayAsWritten) {
  QTemporaryDir dir;
  const QStringList qt{"Windows", "Fusion"};
  struct Case {
    const char* file;
    QList<int> offered;
    Skin second;  // skin 2 as described
  };
  const Skin fusionDark{2, "Fusion Dark", true, "Fusion"};
  for (const Case& c : {
           Case{"", {0, 1, 2}, fusionDark},
           // Only what the user wrote changes: Skin1 off, Skin2 untouched, Skin3 added.
           Case{"[Skin1]\nName=None\n[Skin3]\nName=windows\n", {0, 2, 3}, fusionDark},
           Case{"[Skin2]\nName=Fusion\n", {0, 1, 2}, Skin{2, "Fusion", false, "Fusion"}},
           Case{"[Skin]\nMax=1\n", {0, 1}, Skin{}},
       }) {
    SCOPED_TRACE(c.file);
    const SkinTable t(loaded(dir, c.file), qt);
    EXPECT_EQ(numbers(t), c.offered);
    if (c.second.number) {
      EXPECT_EQ(*t.find(2), c.second);
    }
  }
  // Without the Fusion style only skin 0 is left (and whatever names an available style).
  EXPECT_EQ(numbers(SkinTable(Configuration(), {"Windows"})), QList<int>{0});
}

TEST(SkinTable, AWishThatIsNotOfferedComesToSkinZero) {
  SkinTable t(Configuration(), {"Fusion"});
  for (const auto& [wish, used] : std::initializer_list<std::pair<int, int>>{{0, 0}, {1, 1}, {2, 2}, {3, 0}, {-1, 0}, {99, 0}})
    EXPECT_EQ(t.usable(wish), used) << wish;
  t.withdraw(1);
  t.withdraw(0);  // skin 0 stays whatever happens
  EXPECT_EQ(numbers(t), (QList<int>{0, 2}));
  EXPECT_EQ(t.usable(1), 0);
}

TEST(SkinTable, StyleNamesAndFiles) {
  const QStringList qt{"Windows", "Fusion", "Fusion Plus"};
  for (const auto& [name, style] : std::initializer_list<std::pair<const char*, const char*>>{
           {"Fusion", "Fusion"}, {"fusion dark", "Fusion"}, {"Fusion Plus Dark", "Fusion Plus"},
           {"Fusionette", ""}, {"Carbon Dark", ""}, {"", ""}})
    EXPECT_EQ(SkinTable::styleOf(name, qt), style) << name;

  EXPECT_EQ(SkinTable::styleSheetPath("/u/", "Fusion Dark"), "/u/themes/Fusion Dark.qss");
  for (const char* outside : {"../Vorlog", "a/b", ".hidden", "a\\b", ""})
    EXPECT_TRUE(SkinTable::styleSheetPath("/u/", outside).isEmpty()) << outside;
  EXPECT_EQ(SkinTable::skinFolder("/u/", 2), "/u/skins/2/");
  EXPECT_EQ(SkinTable::pictureFiles("/u/skins/2/", Skins::Picture::ScrollEnd),
            (QStringList{"/u/skins/2/btnScrollEnd.bmp", "/u/skins/2/btnScrollEnd.png"}));
}

TEST(SkinTable, TheChoiceIsWrittenWithoutTouchingTheRest) {
  QTemporaryDir dir;
  const QString path = dir.filePath("Vorlog.ini");
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("; mine\n[Skin]\nMax=3\nCurrent=1\n[Skin3]\nName=Fusion Blue\n");
  f.close();
  ASSERT_TRUE(Configuration::saveSkinCurrent(path, 2));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray file = f.readAll();
  EXPECT_TRUE(file.startsWith("; mine\n"));
  EXPECT_TRUE(file.contains("[Skin]\nMax=3\nCurrent=2\n"));
  EXPECT_TRUE(file.contains("[Skin3]\nName=Fusion Blue\n"));
}

}  // namespace
