#pragma once
#include <QObject>
#include <QHash>
#include <QPalette>
#include <QPointer>
#include <QString>

#include "settings/SkinTable.h"
#include "view/CellText.h"

class QAbstractButton;
class QAbstractItemView;
class QAction;
class QActionGroup;
class Configuration;

// The look of the main window at the start, before any skin changed it: skin 0 brings
// it back. Taken once, the first time it is asked for.
struct PlatformLook {
  QString style;
  QPalette palette;
  bool dark = false;  // a dark desktop: skin 0 then takes the dark pictures and marks
};
const PlatformLook& platformLook();

// Whether Qt accepts a style sheet: Qt says so only as a warning while it styles a widget.
bool styleSheetParses(const QString& sheet);

// Applies skins to the application and to the window's pictures: the Qt style and
// palette, the style sheet of themes/<name>.qss, the icons of the tool bar actions, the
// trigger list's state pictures, the button pictures (from skins/<n>/ where they are
// readable) and the mark colours, which it hands out through applied().
class SkinLoader : public QObject {
  Q_OBJECT
 public:
  struct Targets {
    QWidget* window = nullptr;  // owner of the actions, found by their names
    QAbstractButton* record = nullptr;
    QAbstractButton* stop = nullptr;
    QAbstractButton* pause = nullptr;
    QAbstractButton* scrollTop = nullptr;
    QAbstractButton* scrollEnd = nullptr;
    QAbstractItemView* triggerView = nullptr;  // its first column shows the trigger state
  };

  SkinLoader(QString userPath, const Targets& targets, QObject* parent = nullptr);
  // How long the status line keeps what a skin could not use.
  static constexpr int kNoteShownMs = 30000;

  // Start-up: the configured skins, their menu entries, then the skin under Current.
  void start(const Configuration& configuration);
  void RegisterSkins(const Configuration& configuration);
  // False (and not offered) when the skin's style sheet exists but cannot be used.
  bool RegisterSkin(const Skins::Skin& skin);
  // One checkable action "actStyle" + n per offered skin in the menu of actStyleWindows,
  // which selects skin 0; one group, so exactly one is checked.
  void CreateSkinMenuEntry();
  // Applies skin n, or skin 0 when n is not offered; writes the choice under [Skin]
  // Current when it changed. Returns the skin in force.
  int LoadSkin(int number);

  int current() const { return current_; }
  bool dark() const;
  const Skins::SkinTable& table() const { return table_; }
  const CellText::MarkPalette& marks() const { return marks_; }
  // The name the menus and the options show: skin 0 is the system style.
  static QString displayName(const Skins::Skin& skin);

 signals:
  void applied(const CellText::MarkPalette& marks);
  // One line naming what a skin could not use.
  void unusable(const QString& line);

 private:
  void applyLook(const Skins::Skin& skin);
  void applyPictures(const Skins::Skin& skin, bool dark, QStringList* problems);
  QAction* actionNamed(const QString& name) const;
  void say(const QStringList& problems);

  QString userPath_;
  Targets targets_;
  Skins::SkinTable table_;
  QHash<int, QString> styleSheets_;  // text of the style sheet of each registered skin
  CellText::MarkPalette marks_;       // light until a skin is applied
  int current_ = 0;
  int savedCurrent_ = 0;  // as the configuration file holds it
  bool starting_ = false;
  QStringList pending_;  // problems not yet said
  QPointer<QActionGroup> group_;
  class StateDelegate* stateDelegate_ = nullptr;
};
