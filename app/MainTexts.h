#pragma once
// Text numbers of the main window. Captions that have no number in the program's
// table yet are numbered from 9700 (resources/texts-window.txt holds their wording).
namespace TextNo {
constexpr int AppTitle = 1, UserManual = 2;
constexpr int CloseQuestion = 24, SaveEnvironmentQuestion = 25, LoadingEnvironment = 26, LoadingConfiguration = 28;
constexpr int PreparingCodePage = 30, NoCounter = 70, OpenRecording = 902;
constexpr int Information = 203, Confirmation = 204, Warning = 205, Error = 206;
constexpr int ResetWindows = 1000, ResetWindowsQuestion = 1001;
constexpr int SerialError = 2000, PortLost = 2015;
constexpr int MonitorMode = 4273, ExamineMode = 4274;
constexpr int LanguageHintCaption = 640, LanguageHintHeading = 641, LanguageHintFirst = 642;
// 644 to 650 are appended to the hint only where the table has them.
constexpr int LanguageHintLast = LanguageHintFirst + 8;
constexpr int Ok = 6006;

// Toolbar captions and hints.
constexpr int ToolbarTitle = 8000;
constexpr int Asc = 8001, AscHint = 8002, Bin = 8003, BinHint = 8004, Cmd = 8005, CmdHint = 8006;
constexpr int Ctrl = 8007, CtrlHint = 8008, Dec = 8009, DecHint = 8010, Ebc = 8011, EbcHint = 8012;
constexpr int Hex = 8013, HexHint = 8014, Oct = 8015, OctHint = 8016;
constexpr int RecordTool = 8017, RecordHint = 8018, StopTool = 8019, StopHint = 8020, PauseTool = 8021;
constexpr int PauseHint = 8022, AppendTool = 8023, AppendHint = 8024, ReplaceTool = 8025, ReplaceHint = 8026;
constexpr int NewTool = 8027, NewHint = 8028, OpenTool = 8029, OpenHint = 8030, SaveAsTool = 8031, SaveAsHint = 8032;
constexpr int ExportTool = 8033, ExportHint = 8034, GotoTool = 8035, GotoHint = 8036, ResetGridTool = 8037;
constexpr int ResetGridHint = 8038, TrigGotoTool = 8039, TrigGotoHint = 8040, SearchTool = 8041, SearchHint = 8042;
constexpr int MeasureTool = 8043, MeasureHint = 8044, PinTool = 8045, PinHint = 8046, AbsoluteTool = 8047;
constexpr int AbsoluteHint = 8048, DeltaTool = 8049, DeltaHint = 8050, RelativeTool = 8051, RelativeHint = 8052;
constexpr int DumpHint = 8053, DataOnlyHint = 8054, VerticalHint = 8056, HoldHint = 8057;

// Main menu.
constexpr int MenuFile = 8079, NewRecordFile = 8080, OpenRecordFile = 8081, SaveRecordFileAs = 8082;
constexpr int ExportEvents = 8083, PrintReport = 8084, Exit = 8085;
constexpr int MenuRecorder = 8086, Record = 8087, Stop = 8088, Pause = 8089, Append = 8090, Replace = 8091;
constexpr int HoldDisplay = 8092;
constexpr int MenuView = 8093, ViewVertical = 8094, ViewDataOnly = 8095, ViewDump = 8096, TimeAbsolute = 8097;
constexpr int TimeRelative = 8098, TimeDelta = 8099, GridAll = 8100, GridHorizontal = 8101, GridVertical = 8102;
constexpr int GridNone = 8103, ResetGrid = 8104, FirstEvent = 8105, LastEvent = 8106;
constexpr int MenuCode = 8107, CodeAscii = 8108, CodeEbcdic = 8109, CodeHex = 8110, CodeDec = 8111;
constexpr int CodeOct = 8112, CodeBin = 8113, ControlChars = 8114, CommandChars = 8115, CharsOff = 8116;
constexpr int MenuTools = 8117, SearchEvent = 8118, TimeMeasure = 8119, TriggerGoto = 8120, GotoEvent = 8121;
constexpr int MenuPorts = 8122, SwitchPin = 8123, PortSettings = 8124, VirtualTap = 9370;
constexpr int MenuTriggers = 8125, TrigInsert = 8126, TrigDelete = 8127, TrigEdit = 8128, TrigUp = 8129;
constexpr int TrigDown = 8130, TrigResetList = 8131, TrigMarkAll = 8132, TrigMarkNone = 8133, TrigReverse = 8134;
constexpr int MenuEnvironment = 8135, LoadEnvironment = 8136, SaveEnvironment = 8137, EditEnvironment = 8138;
constexpr int MenuSettings = 8139, Options = 8140, MenuLanguage = 8141, German = 8142, English = 8143;
constexpr int MenuStyles = 8144, SystemStyle = 8145;
constexpr int MenuWindow = 8146, ResetAllWindows = 8147;
constexpr int MenuHelp = 8148, ProductHelp = 8149, WebUpdate = 8150, Homepage = 8151, FeatureSuggestion = 8152;
constexpr int ProblemReport = 8153, About = 8154;
constexpr int WindowTitle = 8163, NoRecordFile = 8165, MonitorInactive = 8166;
constexpr int TrigMarkAllHint = 8184, TrigMarkNoneHint = 8185, TrigReverseHint = 8186, TrigInsertHint = 8187;
constexpr int TrigDeleteHint = 8188, TrigEditHint = 8189, TrigResetListHint = 8190;
constexpr int TriggerColumnFirst = 8168, TriggerColumnLast = 8173;

// Panels.
constexpr int LineLoad = 8701, LoadCurrent = 8702, LoadPeak = 8703, LineQuality = 8719;
constexpr int LivePortHeader = 8750, PinRow = 8751, ComAB = 8752, V24Usa = 8753;

// The window's own additions.
constexpr int LaterVersion = 9700;
constexpr int TriggerStatusHint = 9907;
constexpr int BtnRec = 9701, BtnStop = 9702, BtnPause = 9703, BtnAppend = 9704, BtnReplace = 9705, BtnHold = 9706;
constexpr int RecorderPanel = 9707, TriggerList = 9708, Baud = 9709, DataBits = 9710, Parity = 9711;
constexpr int StopBits = 9712, ScrollFirst = 9713, ScrollLast = 9714, MinimiseList = 9715, RestoreList = 9716;
constexpr int SimulatedLink = 9720, BuiltInScenario = 9721, StressScenario = 9722, SimulatedNoPorts = 9723;
constexpr int SerialPorts = 9724, MonitorEvents = 9725, ScenarioFailed = 9726, UnknownOption = 9727;
constexpr int ConfigurationNotSaved = 9728, EnvironmentNotSaved = 9729, GridPlaceholder = 9730;
constexpr int RecorderLight = 9731, HoldLight = 9732;
constexpr int EnvironmentMissing = 9717, EnvironmentNotLoadedYet = 9718, RecordFileUnusable = 9719;
constexpr int Copy = 9733, TrigInsTool = 9734, TrigDelTool = 9735, TrigEditTool = 9736, TrigUpTool = 9737;
constexpr int TrigDownTool = 9738, ResTool = 9739, TrigAllTool = 9740, TrigNoneTool = 9741, TrigRevTool = 9742;
constexpr int VertTool = 9743, DataTool = 9744, DumpTool = 9745;
constexpr int FolderMissing = 9746, FolderNotWritable = 9747, FileNotReadable = 9748, ShownAfter = 9749;
constexpr int FileIsFolder = 9750, FileNotRegular = 9751, FileReadRefused = 9752;
}  // namespace TextNo
