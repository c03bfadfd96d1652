#include "settings/SkinTable.h"

#include "settings/Configuration.h"
#include "settings/Texts.h"

namespace Skins {

std::array<Rgb8, 7> markColours(bool dark) {
  const auto& bgr = dark ? kDarkMarksBgr : kLightMarksBgr;
  std::array<Rgb8, 7> rgb;
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = fromBgr(bgr[i]);
  return rgb;
}

QString pictureFileName(Picture picture) {
  switch (picture) {
    case Picture::Stop: return Texts::text(60000);
    case Picture::Record: return Texts::text(60002);
    case Picture::Pause: return Texts::text(60004);
    case Picture::ScrollTop: return QStringLiteral("btnScrollTop.bmp");
    case Picture::ScrollEnd: return QStringLiteral("btnScrollEnd.bmp");
  }
  return {};
}

SkinTable::SkinTable() { skins_.push_back(Skin{}); }

SkinTable::SkinTable(const Configuration& c, const QStringList& styleKeys) : SkinTable() {
  for (qsizetype i = 0; i < c.skins.size(); ++i) {
    const SkinEntry& e = c.skins[i];
    if (e.name == QLatin1String(ConfigKeys::kSkinNameDefault)) continue;
    const QString style = styleOf(e.name, styleKeys);
    if (style.isEmpty()) continue;
    skins_.push_back(Skin{int(i) + 1, e.name, e.dark, style});
  }
}

const Skin* SkinTable::find(int number) const {
  for (const Skin& s : skins_)
    if (s.number == number) return &s;
  return nullptr;
}

void SkinTable::withdraw(int number) {
  if (number == 0) return;
  skins_.removeIf([number](const Skin& s) { return s.number == number; });
}

QString SkinTable::styleOf(const QString& name, const QStringList& styleKeys) {
  QString best;
  for (const QString& key : styleKeys) {
    const bool matches = name.compare(key, Qt::CaseInsensitive) == 0 ||
                         (name.startsWith(key, Qt::CaseInsensitive) && name.at(key.size()) == QLatin1Char(' '));
    if (matches && key.size() > best.size()) best = key;
  }
  return best;
}

QString SkinTable::skinFolder(const QString& userPath, int number) {
  return userPath + QStringLiteral("skins/") + QString::number(number) + QLatin1Char('/');
}

QString SkinTable::styleSheetPath(const QString& userPath, const QString& name) {
  if (name.isEmpty() || name.startsWith(QLatin1Char('.')) || name.contains(QLatin1Char('/')) ||
      name.contains(QLatin1Char('\\')))
    return {};
  for (QChar c : name)
    if (c.category() == QChar::Other_Control) return {};
  return userPath + QStringLiteral("themes/") + name + QStringLiteral(".qss");
}

QStringList SkinTable::pictureFiles(const QString& folder, Picture picture) {
  const QString name = pictureFileName(picture);
  QStringList files{folder + name};
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  const QString png = (dot < 0 ? name : name.left(dot)) + QStringLiteral(".png");
  if (png != name) files << folder + png;
  return files;
}

}  // namespace Skins
