#pragma once
// Every section and key of Vorlog.ini with its type and default, in the order in
// which the configuration is written (a new file gets its sections in this order).
// Keys whose name is built at run time ("Column" + i, "Skin" + n, the form names
// of "Monitor") have their stem and defaults here too.

namespace ConfigKeys {

enum class Type { Integer, Boolean, String, List };

struct Key {
  const char* section;
  const char* name;
  Type type;
  int intDefault;           // integers and booleans (0 or 1)
  const char* textDefault;  // strings and lists; nullptr otherwise
};

constexpr Key intKey(const char* s, const char* n, int d) { return {s, n, Type::Integer, d, nullptr}; }
constexpr Key boolKey(const char* s, const char* n, bool d) { return {s, n, Type::Boolean, d ? 1 : 0, nullptr}; }
constexpr Key textKey(const char* s, const char* n, const char* d) { return {s, n, Type::String, 0, d}; }
constexpr Key listKey(const char* s, const char* n, const char* d) { return {s, n, Type::List, 0, d}; }

// Sections
inline constexpr char kHardware[] = "Hardware";
inline constexpr char kPortStandards[] = "Port Standards";
inline constexpr char kModes[] = "Modes";
inline constexpr char kWindow[] = "Window";
inline constexpr char kMonitor[] = "Monitor";
inline constexpr char kAllBottomPanels[] = "AllBottomPanels";
inline constexpr char kCenterPanel[] = "CCenterPanel";
inline constexpr char kGotoWindow[] = "GOWindow";
inline constexpr char kExportWindow[] = "EXWindow";
inline constexpr char kReportWindow[] = "REWindow";
inline constexpr char kEnvironment[] = "Environment";
inline constexpr char kDataGrid[] = "DataGrid";
inline constexpr char kDisplay[] = "Display";
inline constexpr char kRecorder[] = "Recorder";
inline constexpr char kDispMode4[] = "DispMode4";
inline constexpr char kDispMode3[] = "DispMode3";
inline constexpr char kDispMode1[] = "DispMode1";
inline constexpr char kTriggerList[] = "TriggerList";
inline constexpr char kWebUpdate[] = "WebUpdate";
inline constexpr char kProgramStart[] = "ProgramStart";
inline constexpr char kSkin[] = "Skin";    // also the stem of "Skin1", "Skin2", ...
inline constexpr char kPorts[] = "Ports";  // owned by the port registry

// Hardware
inline constexpr Key Profile = textKey(kHardware, "Profile", "default.vhp");

// Port Standards: every value the port settings can offer
inline constexpr Key Baudrates = listKey(kPortStandards, "Baudrates",
                                         "50,75,150,300,600,1200,1800,2000,2400,3600,4800,7200,9600,10400,14400,"
                                         "19200,28800,38400,56000,57600,115200,230400,460800,921600");
inline constexpr Key Databits = listKey(kPortStandards, "Databits", "5,6,7,8");
inline constexpr Key Parities = listKey(kPortStandards, "Parities", "N,S,M,E,O");
inline constexpr Key Stopbits = listKey(kPortStandards, "Stopbits", "1,1.5,2");

// Modes
inline constexpr char kInstallLangApplied[] = "xx";
inline constexpr int kLanguageGerman = 0;  // language offsets of the numbered texts
inline constexpr int kLanguageEnglish = 10000;
inline constexpr Key InstallLang = textKey(kModes, "InstallLang", "en");
inline constexpr Key GlobalLang = intKey(kModes, "GlobalLang", 0);              // 0 German, 10000 English
inline constexpr Key DefLang = intKey(kModes, "DefLang", 0);                    // 0 V.24 line names, 1 US names
inline constexpr Key DisplayMode = intKey(kModes, "DisplayMode", 1);            // 1 vertical, 3 data only, 4 dump
inline constexpr Key RecordMode = intKey(kModes, "RecordMode", 1);              // 1 append, 2 replace
inline constexpr Key CharacterControl = intKey(kModes, "CharacterControl", 0);  // 7 names, 8 commands
inline constexpr Key SignalMode = intKey(kModes, "SignalMode", 1);              // 1 high level filled
inline constexpr Key TimeControl = intKey(kModes, "TimeControl", 0);            // 0 absolute, 1 relative, 2 delta

// Window (main window; position and size are written only in normal state)
inline constexpr Key WindowLeft = intKey(kWindow, "Left", 0);
inline constexpr Key WindowTop = intKey(kWindow, "Top", 0);
inline constexpr Key WindowWidth = intKey(kWindow, "Width", 800);
inline constexpr Key WindowHeight = intKey(kWindow, "Height", 600);
inline constexpr Key WindowState = intKey(kWindow, "WindowState", 0);  // 0 normal, 1 minimised, 2 maximised

// Monitor: key = form name (read) and form index (written only), value = monitor number
inline constexpr int kMonitorDefault = 0;

inline constexpr Key BottomLeft = intKey(kAllBottomPanels, "Left", 0);
inline constexpr Key BottomTop = intKey(kAllBottomPanels, "Top", 325);
inline constexpr Key BottomWidth = intKey(kAllBottomPanels, "Width", 1016);
inline constexpr Key BottomHeight = intKey(kAllBottomPanels, "Height", 300);

inline constexpr Key CenterLeft = intKey(kCenterPanel, "Left", 0);
inline constexpr Key CenterTop = intKey(kCenterPanel, "Top", 487);
inline constexpr Key CenterWidth = intKey(kCenterPanel, "Width", 1032);

// The three dialog sections share their keys; the two page indexes exist in GOWindow only.
inline constexpr char kDialogLeft[] = "Left";
inline constexpr char kDialogTop[] = "Top";
inline constexpr char kDialogWindowState[] = "WindowState";
inline constexpr char kDialogVisible[] = "Visible";
inline constexpr int kDialogLeftDefault = 100;
inline constexpr int kDialogTopDefault = 100;
inline constexpr Key GotoLeft = intKey(kGotoWindow, kDialogLeft, kDialogLeftDefault);
inline constexpr Key GotoTop = intKey(kGotoWindow, kDialogTop, kDialogTopDefault);
inline constexpr Key GotoWindowState = intKey(kGotoWindow, kDialogWindowState, 0);
inline constexpr Key GotoVisible = boolKey(kGotoWindow, kDialogVisible, false);
inline constexpr Key SearchPageIndex = intKey(kGotoWindow, "SearchPageIndex", 0);
inline constexpr Key ControlSearchPageIndex = intKey(kGotoWindow, "ControlSearchPageIndex", 0);
inline constexpr Key ExportLeft = intKey(kExportWindow, kDialogLeft, kDialogLeftDefault);
inline constexpr Key ExportTop = intKey(kExportWindow, kDialogTop, kDialogTopDefault);
inline constexpr Key ExportWindowState = intKey(kExportWindow, kDialogWindowState, 0);
inline constexpr Key ExportVisible = boolKey(kExportWindow, kDialogVisible, false);
inline constexpr Key ReportLeft = intKey(kReportWindow, kDialogLeft, kDialogLeftDefault);
inline constexpr Key ReportTop = intKey(kReportWindow, kDialogTop, kDialogTopDefault);
inline constexpr Key ReportWindowState = intKey(kReportWindow, kDialogWindowState, 0);
inline constexpr Key ReportVisible = boolKey(kReportWindow, kDialogVisible, false);
inline constexpr int kPageCount = 4;  // both page controls of the goto/search dialog have four pages

inline constexpr Key EnvironmentFilename = textKey(kEnvironment, "Filename", "Default.ven");

// Bit 2 vertical, bit 3 horizontal grid lines; the other bits are the grid's fixed behaviours.
inline constexpr Key GridOptions = intKey(kDataGrid, "GridOptions", 16447);
inline constexpr int kGridVerticalLines = 4;
inline constexpr int kGridHorizontalLines = 8;

inline constexpr Key ViewHold = boolKey(kDisplay, "ViewHold", false);

inline constexpr Key RecorderAppend = boolKey(kRecorder, "Append", true);
inline constexpr Key RecorderReplace = boolKey(kRecorder, "Replace", false);

// The three view sections: "Column" + i widths and the view's pair of character codes.
inline constexpr char kColumnStem[] = "Column";
inline constexpr char kCharacterMode1[] = "CharacterMode1";  // 1 USASCII, 2 EBCDIC, 3 hex ... 6 binary
inline constexpr char kCharacterMode2[] = "CharacterMode2";  // 3 hex ... 6 binary, other: none
inline constexpr int kCharacterMode1Default = 1;
inline constexpr int kCharacterMode2Default = 3;

enum class ViewTable { DataDump, DataOnly, Vertical };  // in the order they are written

struct ViewColumnTable {
  const char* section;
  int displayMode;
  int columns;
};
inline constexpr ViewColumnTable kViewTables[] = {{kDispMode4, 4, 35}, {kDispMode3, 3, 326}, {kDispMode1, 1, 14}};
constexpr const ViewColumnTable& viewTable(ViewTable v) { return kViewTables[static_cast<int>(v)]; }

// The designed width of column i of a view: the default of its "Column" + i key.
constexpr int designedColumnWidth(ViewTable v, int i) {
  switch (v) {
    case ViewTable::Vertical: {
      constexpr int widths[14] = {100, 80, 150, 30, 30, 30, 30, 30, 30, 30, 30, 35, 35, 200};
      return i >= 0 && i < 14 ? widths[i] : 0;
    }
    case ViewTable::DataOnly:
      return i == 0 ? 50 : i == 1 ? 80 : i < 326 ? 10 : 0;
    case ViewTable::DataDump:
      return i == 0 ? 50 : i == 1 ? 80 : i < 18 ? 12 : i == 18 ? 20 : i < 35 ? 25 : 0;
  }
  return 0;
}

// Trigger list: "Column" + 0 to 5
inline constexpr int kTriggerListColumns = 6;
inline constexpr int kTriggerListWidths[kTriggerListColumns] = {150, 20, 100, 100, 175, 100};

inline constexpr Key CheckForUpdatesAtProgStart = boolKey(kWebUpdate, "CheckForUpdatesAtProgStart", false);
// Read, never written by the configuration save: a user who never set them gets the
// addresses of the version installed. The update check asks BaseAddress + "update.<major>.txt"
// (VORLOG_UPDATE_URL overrides it); a newer version is announced with its ReleasePage.
inline constexpr Key UpdateBaseAddress = textKey(kWebUpdate, "BaseAddress", "https://www.quarnel.example/vorlog/update/");
inline constexpr Key ReleasePage = textKey(kWebUpdate, "ReleasePage", "https://www.quarnel.example/vorlog/releases/");
inline constexpr Key DisplayHoldOnProgStart = boolKey(kProgramStart, "DisplayHoldOnProgStart", false);
inline constexpr Key BeginRecordOnProgStart = boolKey(kProgramStart, "BeginRecordOnProgStart", false);

// Read, never written by the configuration save (the installer writes them; the
// skin loader writes Current).
inline constexpr Key SkinMax = intKey(kSkin, "Max", 99);
inline constexpr Key SkinCurrent = intKey(kSkin, "Current", 0);
inline constexpr char kSkinName[] = "Name";
inline constexpr char kSkinDark[] = "Dark";
inline constexpr char kSkinNameDefault[] = "None";
inline constexpr bool kSkinDarkDefault = false;
// Skins are looked for up to this number however large Max is, so that a wild Max
// cannot stall the start.
inline constexpr int kSkinLimit = 999;

// Pixel sizes and positions beyond this are taken as damaged rather than as a wish.
inline constexpr int kPixelLimit = 100000;

// Every key of fixed name that the configuration save writes, in writing order.
inline constexpr const Key* kWrittenKeys[] = {
    &Profile,
    &Baudrates,
    &Databits,
    &Parities,
    &Stopbits,
    &InstallLang,
    &GlobalLang,
    &DefLang,
    &DisplayMode,
    &RecordMode,
    &CharacterControl,
    &SignalMode,
    &TimeControl,
    &WindowLeft,
    &WindowTop,
    &WindowWidth,
    &WindowHeight,
    &WindowState,
    &BottomLeft,
    &BottomTop,
    &BottomWidth,
    &BottomHeight,
    &CenterLeft,
    &CenterTop,
    &CenterWidth,
    &GotoLeft,
    &GotoTop,
    &GotoWindowState,
    &GotoVisible,
    &SearchPageIndex,
    &ControlSearchPageIndex,
    &ExportLeft,
    &ExportTop,
    &ExportWindowState,
    &ExportVisible,
    &ReportLeft,
    &ReportTop,
    &ReportWindowState,
    &ReportVisible,
    &EnvironmentFilename,
    &GridOptions,
    &ViewHold,
    &RecorderAppend,
    &RecorderReplace,
    &CheckForUpdatesAtProgStart,
    &DisplayHoldOnProgStart,
    &BeginRecordOnProgStart,
};

}  // namespace ConfigKeys
