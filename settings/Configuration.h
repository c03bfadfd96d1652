#pragma once
#include <QList>
#include <QString>
#include <QStringList>

#include "settings/ConfigKeys.h"

// The program-wide settings of Vorlog.ini as plain values. The main window reads
// them after load() and applies what it needs; before save() it puts back what the
// user changed. Every value starts at its default, so a missing file, section or key
// never stops the program.
//
// load() and save() open the file, use it and release it; nothing is cached between
// calls. save() rewrites the file it finds: values are set in place, and keys,
// sections and comments the program does not write (the port numbering in [Ports],
// the skin descriptions, anything added by hand) stay as they were.
struct WindowPlacement {
  int left = ConfigKeys::WindowLeft.intDefault;
  int top = ConfigKeys::WindowTop.intDefault;
  int width = ConfigKeys::WindowWidth.intDefault;
  int height = ConfigKeys::WindowHeight.intDefault;
  int windowState = ConfigKeys::WindowState.intDefault;  // 0 normal, 1 minimised, 2 maximised
  bool operator==(const WindowPlacement&) const = default;
};

struct PanelPlacement {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;  // not kept for the control-centre panel
  bool operator==(const PanelPlacement&) const = default;
};

struct DialogPlacement {
  int left = ConfigKeys::kDialogLeftDefault;
  int top = ConfigKeys::kDialogTopDefault;
  int windowState = 0;
  bool visible = false;
  bool operator==(const DialogPlacement&) const = default;
};

// Column widths and the pair of character codes of one view of the event grid.
struct ViewColumns {
  explicit ViewColumns(ConfigKeys::ViewTable table);
  ConfigKeys::ViewTable table;
  QList<int> widths;  // current widths; start as the designed ones
  int characterMode1 = ConfigKeys::kCharacterMode1Default;
  int characterMode2 = ConfigKeys::kCharacterMode2Default;
  QList<int> designedWidths() const;
  bool operator==(const ViewColumns&) const = default;
};

struct FormMonitor {
  QString formName;  // component name of the form, e.g. "FormMain"
  int monitor = ConfigKeys::kMonitorDefault;
  bool operator==(const FormMonitor&) const = default;
};

struct SkinEntry {
  QString name = QString::fromLatin1(ConfigKeys::kSkinNameDefault);  // the style's name, "None" for none
  bool dark = ConfigKeys::kSkinDarkDefault;
  bool operator==(const SkinEntry&) const = default;
};

// Skins 1 and 2 as the program ships them: Qt's Fusion style with a light or a dark
// palette. They describe a skin whose section the file does not have.
struct ShippedSkin {
  const char* name;
  bool dark;
  SkinEntry entry() const { return {QString::fromLatin1(name), dark}; }
};
inline constexpr ShippedSkin kShippedSkins[] = {{"Fusion Light", false}, {"Fusion Dark", true}};

struct PortEntry {
  QString key;   // "COM3"
  QString path;  // "/dev/ttyUSB0"
  bool operator==(const PortEntry&) const = default;
};

class Configuration {
 public:
  Configuration();

  // Reads the file; whatever cannot be read keeps its default. True when a file was read.
  bool load(const QString& path);
  // Writes every value into the file, keeping what the program does not write. On
  // failure the old file stays as it was and *error names the file and the reason.
  bool save(const QString& path, QString* error = nullptr) const;
  // The same on the configuration file in the user path, which save() creates first.
  bool load();
  bool save(QString* error) const;

  // Only the language offset (GlobalLang in Modes, default 0), as read before any
  // text is assigned; load() may replace it afterwards through InstallLang.
  static int LoadLanguageConfig(const QString& path);

  // Hardware
  QString profile;
  // Port Standards: every value the port settings can offer
  QStringList baudrates, databits, parities, stopbits;

  // Modes
  QString installLang;                                     // after load: "xx" once "en" or "de" has been applied
  int languageOffset = ConfigKeys::GlobalLang.intDefault;  // written as GlobalLang
  int pinNaming = ConfigKeys::DefLang.intDefault;          // DefLang: 0 V.24 names, 1 US names
  int displayMode = ConfigKeys::DisplayMode.intDefault;
  int recordMode = ConfigKeys::RecordMode.intDefault;
  int characterControl = ConfigKeys::CharacterControl.intDefault;
  int signalMode = ConfigKeys::SignalMode.intDefault;
  int timeControl = ConfigKeys::TimeControl.intDefault;

  // Main window: left, top, width and height are written only while windowState is 0,
  // so a maximised window keeps its last normal placement in the file.
  WindowPlacement window;
  // Monitor of each form, in the order of the toolkit's list of forms.
  QList<FormMonitor> monitors;
  int monitorOf(const QString& formName) const;
  void setMonitor(const QString& formName, int monitor);

  PanelPlacement bottomPanels;  // AllBottomPanels
  PanelPlacement centerPanel;   // CCenterPanel (height unused)
  DialogPlacement gotoDialog, exportDialog, reportDialog;
  int searchPageIndex = ConfigKeys::SearchPageIndex.intDefault;
  int controlSearchPageIndex = ConfigKeys::ControlSearchPageIndex.intDefault;

  QString environmentFile;  // loaded at start
  int gridOptions = ConfigKeys::GridOptions.intDefault;
  bool verticalGridLines() const { return gridOptions & ConfigKeys::kGridVerticalLines; }
  bool horizontalGridLines() const { return gridOptions & ConfigKeys::kGridHorizontalLines; }
  void setGridLines(bool vertical, bool horizontal);

  bool viewHold = ConfigKeys::ViewHold.intDefault;  // written only; the start uses displayHoldOnProgStart
  bool recorderAppend = ConfigKeys::RecorderAppend.intDefault;
  bool recorderReplace = ConfigKeys::RecorderReplace.intDefault;

  ViewColumns dataDump{ConfigKeys::ViewTable::DataDump};
  ViewColumns dataOnly{ConfigKeys::ViewTable::DataOnly};
  ViewColumns vertical{ConfigKeys::ViewTable::Vertical};
  // The view of a display mode; the vertical view for any other mode.
  ViewColumns& view(int displayMode);
  const ViewColumns& view(int displayMode) const;

  QList<int> triggerListColumns;

  bool checkForUpdatesAtProgStart = ConfigKeys::CheckForUpdatesAtProgStart.intDefault;
  QString updateBaseAddress = QString::fromUtf8(ConfigKeys::UpdateBaseAddress.textDefault);  // read only
  QString releasePage = QString::fromUtf8(ConfigKeys::ReleasePage.textDefault);              // read only
  bool displayHoldOnProgStart = ConfigKeys::DisplayHoldOnProgStart.intDefault;
  bool beginRecordOnProgStart = ConfigKeys::BeginRecordOnProgStart.intDefault;

  // Only [Skin] Current, at once when a skin is chosen; keeps everything else in the file.
  static bool saveSkinCurrent(const QString& path, int skin, QString* error = nullptr);

  // Read only: save() never writes these (the skin loader writes Current itself).
  int skinMax = ConfigKeys::SkinMax.intDefault;
  int skinCurrent = ConfigKeys::SkinCurrent.intDefault;
  QList<SkinEntry> skins;  // skins[n - 1] describes skin n, n = 1 to skinMax
  QList<PortEntry> ports;  // the port registry's entries, as found

  bool operator==(const Configuration&) const = default;
};

// Lists as the file holds them: items separated by commas; an item holding a comma,
// a blank, a double quote or nothing at all is written in double quotes, with its
// quotes doubled.
QString encodeList(const QStringList& items);
QStringList decodeList(const QString& text);
