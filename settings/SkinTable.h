#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

class Configuration;

// Which skins the program can offer and what each one needs, without any widget: the
// window side (settings/ui/SkinLoader) applies them.
namespace Skins {

// The mark colours of a light and of a dark skin, in the order of the mark codes 1 to 6
// and then debug, as the skin descriptions give them: 0xBBGGRR.
inline constexpr std::array<uint32_t, 7> kLightMarksBgr{0x008000, 0x000080, 0x0000FF, 0x008080,
                                                        0x800080, 0x808000, 0x0000FF};
inline constexpr std::array<uint32_t, 7> kDarkMarksBgr{0x00FF00, 0x0000FF, 0x0000FF, 0x00FFFF,
                                                       0xFF00FF, 0xFFFF00, 0x0000FF};

struct Rgb8 {
  int r = 0, g = 0, b = 0;
  bool operator==(const Rgb8&) const = default;
};
constexpr Rgb8 fromBgr(uint32_t bgr) { return {int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF)}; }
std::array<Rgb8, 7> markColours(bool dark);

// The file names of the five button pictures of a skin folder.
enum class Picture { Record, Stop, Pause, ScrollTop, ScrollEnd };
inline constexpr int kPictureCount = 5;
QString pictureFileName(Picture picture);

// Failures the window turns into words (text numbers).
inline constexpr int kStyleSheetNotParsed = 9111;
inline constexpr int kStyleSheetNotRead = 9112;
inline constexpr int kPictureNotUsed = 9113;
inline constexpr int kSkinNotOffered = 9114;
inline constexpr int kChoiceNotSaved = 9115;
// A style sheet is a few kilobytes of text; anything beyond this is no style sheet.
inline constexpr qint64 kStyleSheetLimit = 1 << 20;

struct Skin {
  int number = 0;
  QString name;   // as configured; empty for skin 0, the platform's own look
  bool dark = false;
  QString style;  // the Qt style it selects; empty for skin 0
  bool operator==(const Skin&) const = default;
};

// Skin 0 and every configured skin whose style is there: a skin named "None" is no skin,
// and a name must begin with the name of an installed Qt style ("Fusion Dark" is Fusion).
class SkinTable {
 public:
  SkinTable();  // skin 0 only
  SkinTable(const Configuration& configuration, const QStringList& styleKeys);

  const QList<Skin>& skins() const { return skins_; }
  const Skin* find(int number) const;
  // The skin a wish comes to: the wish when it is offered, skin 0 otherwise.
  int usable(int number) const { return find(number) ? number : 0; }
  // A skin whose style sheet cannot be used is not offered (skin 0 always is).
  void withdraw(int number);

  // The Qt style a skin name selects, spelt as styleKeys spell it; empty when none.
  static QString styleOf(const QString& name, const QStringList& styleKeys);
  // userPath + "skins/" + n + "/".
  static QString skinFolder(const QString& userPath, int number);
  // userPath + "themes/" + name + ".qss"; empty for a name that is no plain file name,
  // so that a name cannot reach outside the themes folder.
  static QString styleSheetPath(const QString& userPath, const QString& name);
  // The files that may replace a picture, in the order they are tried: the name as
  // given, then a .png of the same stem.
  static QStringList pictureFiles(const QString& folder, Picture picture);

 private:
  QList<Skin> skins_;
};

}  // namespace Skins
