#include "app/MainForm.h"

#include "app/EnvironmentCommands.h"
#include "app/FirstStart.h"
#include "app/RecordFileCommands.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <cerrno>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryFile>
#include <QToolButton>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/LanguageForm.h"
#include "app/MainTexts.h"
#include "app/MessageForm.h"
#include "app/HelpCommands.h"
#include "app/OptionsCommands.h"
#include "app/TapCommands.h"
#include "app/StatusLight.h"
#include "app/UpdateCommands.h"
#include "capture/SerialPort.h"
#include "capture/SimulatedLink.h"
#include "app/WindowReplay.h"
#include "recording/CaptureSession.h"
#include "settings/Texts.h"
#include "settings/ui/EnvironmentHeaderDialog.h"
#include "settings/ui/OptionsDialog.h"
#include "settings/ui/SkinLoader.h"
#include "shell/HelpTopics.h"
#include "triggers/TriggerActions.h"
#include "triggers/TriggerEngine.h"
#include "triggers/TriggerList.h"
#include "triggers/ui/TriggerEditor.h"
#include "triggers/ui/TriggerPanel.h"
#include "tools/ui/ExportDialog.h"
#include "tools/ui/GotoDialog.h"
#include "tools/ui/PrintReportJob.h"
#include "view/ui/EventGrid.h"
#include "view/ui/EventView.h"

namespace {

constexpr int kBottomPanelMinimum = 150;
constexpr int kBottomPanelDefault = 300;
constexpr QSize kMinimumWindow(960, 640);
const QString kArrowDown = QStringLiteral("\u25BC");
const QString kArrowUp = QStringLiteral("\u25B2");

// The eight lamps of the live port panel, left to right: line names (V24, USA) and pins (9-pin - 25-pin).
struct LineLamp {
  const char* objectName;
  const char* v24;
  const char* usa;
  const char* pins;
};
constexpr LineLamp kLamps[8] = {
    {"LedD1", "D1", "Tx", "3-2"},  {"LedD2", "D2", "Rx", "2-3"},  {"LedS1", "S1", "DTR", "4-20"},
    {"LedM1", "M1", "DSR", "6-6"}, {"LedS2", "S2", "RTS", "7-4"}, {"LedM2", "M2", "CTS", "8-5"},
    {"LedM5", "M5", "DCD", "1-8"}, {"LedM3", "M3", "RNG", "9-22"},
};
// The signal byte of the pending event behind each lamp; -1 for the data lamps.
constexpr int kLampSignal[8] = {-1, -1, SigS1Dtr, SigM1Dsr, SigS2Rts, SigM2Cts, SigM5Dcd, SigM3Rng};

const QColor kLineLit(0, 255, 0);
const QColor kRecorderLit(255, 32, 32);
const QColor kHoldLit(255, 200, 0);

QString tx(int n) { return Texts::text(n); }

}  // namespace

QRect fitOnScreen(const QRect& frame, const QSize& minimum, const QRect& available) {
  // A stored size of 0 (or a damaged one) gives the smallest usable window.
  QSize size = frame.size().expandedTo(minimum);
  size = size.boundedTo(available.size()).expandedTo(minimum);
  const int x = qMax(available.left(), qMin(frame.left(), available.right() + 1 - size.width()));
  const int y = qMax(available.top(), qMin(frame.top(), available.bottom() + 1 - size.height()));
  return {QPoint(x, y), size};
}

int screenIndexFor(int monitor, int screenCount) {
  if (screenCount <= 0) return -1;
  return qBound(0, monitor, screenCount - 1);
}

QString recordFileProblem(const QString& path) {
  const QFileInfo file(path);
  if (file.exists()) {
    if (file.isDir()) return tx(TextNo::FileIsFolder);
    if (!file.isFile()) return tx(TextNo::FileNotRegular);
    // Reading is tried, as writing below: the mode bits do not tell (the super-user, ACLs).
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd >= 0) {
      ::close(fd);
      return {};
    }
    return errno == EACCES || errno == EPERM ? tx(TextNo::FileReadRefused) : tx(TextNo::FileNotReadable);
  }
  const QFileInfo folder(file.absolutePath());
  if (!folder.isDir()) return tx(TextNo::FolderMissing).arg(QDir::toNativeSeparators(folder.absoluteFilePath()));
  // Asking for permissions is not enough (read-only mounts, the super-user): try it.
  QTemporaryFile probe(folder.absoluteFilePath() + QStringLiteral("/.vorlog-probe-XXXXXX"));
  if (!probe.open()) return tx(TextNo::FolderNotWritable).arg(QDir::toNativeSeparators(folder.absoluteFilePath()));
  return {};
}

// --- the recorder's view --------------------------------------------------------

void GuiRecorderUi::setStatusText(int textNumber) { form_.setStatusPanel6(Texts::text(textNumber)); }
// Stays until another hint takes the line: a warning about the disk must not slip by.
void GuiRecorderUi::showNotice(const QString& text) { form_.statusBar()->showMessage(text); }
void GuiRecorderUi::setRecordOnControls() { form_.SetRecordOnControls(); }
void GuiRecorderUi::setRecordOffControls() { form_.SetRecordOffControls(); }
void GuiRecorderUi::setButtons(bool recDown, bool pauseDown, bool holdDown) {
  form_.setRecorderButtons(recDown, pauseDown, holdDown);
}
void GuiRecorderUi::startBlinkTimer() { form_.startBlinkTimer(); }
void GuiRecorderUi::setLightsMonitoring(bool on) { form_.setLightsMonitoring(on); }
void GuiRecorderUi::refreshFileLine() { form_.refreshFileLine(); }
void GuiRecorderUi::resetGridColumns() { form_.eventView().btnResetGridClick(); }
void GuiRecorderUi::clearGrid() { form_.eventView().ClearGrid(); }
// After a recording its file is the one shown.
void GuiRecorderUi::redrawGridFromFile() {
  form_.showRecordFile();
  form_.eventView().ScrollBar1Change();
}
void GuiRecorderUi::scrollToLast() { form_.eventView().scrollToLast(); }
void GuiRecorderUi::startRedrawThread() { form_.eventView().startRedrawThread(); }
void GuiRecorderUi::stopRedrawThread() { form_.eventView().stopRedrawThread(); }
// Long enough to be read at the start of a recording; the options' port lists keep it.
void GuiRecorderUi::showPortNotes(const QStringList& lines) {
  constexpr int shownMs = 30 * 1000;
  form_.statusBar()->showMessage(lines.join(QStringLiteral("  |  ")), shownMs);
}

// --- construction ---------------------------------------------------------------

TFormMain::TFormMain(const MainFormOptions& options, GuiMessages& messages, TProgressForm* progress, QWidget* parent)
    : QMainWindow(parent),
      options_(options),
      messages_(messages),
      progress_(progress),
      ui_(*this),
      link_(std::make_unique<SimulatedLink>(clock_)) {
  setObjectName(QStringLiteral("FormMain"));
  if (options_.userPath.isEmpty()) options_.userPath = QStringLiteral("./");
  if (!options_.userPath.endsWith(QLatin1Char('/'))) options_.userPath += QLatin1Char('/');
  session_ = std::make_unique<CaptureSession>(clock_, messages_, ui_, options_.userPath);
  if (options_.enumerator) session_->registry.setEnumerator(options_.enumerator);
  envCommands_ = std::make_unique<EnvironmentCommands>(*this, messages_, options_.userPath);
  recordFileCommands_ = std::make_unique<RecordFileCommands>(*this, messages_, options_.userPath);
  optionsCommands_ = std::make_unique<OptionsCommands>(*this, messages_, options_.userPath);
  tapCommands_ = std::make_unique<TapCommands>(*this);
  helpCommands_ = std::make_unique<HelpCommands>(messages_.form(), options_.userPath, this);

  // The window from its layout.
  createActions();
  createMenus();
  createToolBars();
  auto* central = new QWidget(this);
  auto* centralLayout = new QVBoxLayout(central);
  centralLayout->setContentsMargins(2, 2, 2, 0);
  centralLayout->setSpacing(2);
  HSplitter1 = new QSplitter(Qt::Vertical, central);
  HSplitter1->setObjectName(QStringLiteral("HSplitter1"));
  HSplitter1->setChildrenCollapsible(false);
  auto* top = new QWidget(HSplitter1);
  auto* topLayout = new QVBoxLayout(top);
  topLayout->setContentsMargins(0, 0, 0, 0);
  topLayout->setSpacing(2);
  topLayout->addWidget(createGridArea(), 1);
  topLayout->addWidget(createControlStrip(), 0);
  HSplitter1->addWidget(top);
  HSplitter1->addWidget(createBottomPanel());
  HSplitter1->setStretchFactor(0, 1);
  HSplitter1->setStretchFactor(1, 0);
  centralLayout->addWidget(HSplitter1);
  setCentralWidget(central);
  createStatusBar();
  updateCommands_ = std::make_unique<UpdateCommands>(this, config_, messages_, progress_, statusBar());
  // The support window's update button opens the update dialog.
  connect(helpCommands_.get(), &HelpCommands::updateCheckRequested, this, [this] { updateCommands_->openWebUpdateForm(); });
  createTriggerEngine();
  view_ = std::make_unique<EventView>(EventView::Parts{viewState_, session_->liveView, session_->file,
                                                       session_->viewLock, session_->engine, DrawGrid1, ScrollBar1, this});
  view_->setRecordingQuery([this] { return session_->recorder.recordDown() || session_->recorder.running(); });
  view_->setHoldQuery([this] { return session_->recorder.hold(); });
  connect(view_.get(), &EventView::statisticsShown, this, &TFormMain::showStatistics);
  connect(view_.get(), &EventView::gaugeShown, this, &TFormMain::setGauge);
  connect(view_.get(), &EventView::holdBarShown, statusPanels_[0], &QLabel::setText);
  formGoto_ = new TFormGoto(messages_.form(), toolHost(), this);
  formExport_ = new TFormExport(messages_.form(), toolHost(), this);
  connect(formGoto_, &TFormGoto::helpRequested, helpCommands_.get(), &HelpCommands::QuarnelHelp);
  connect(formExport_, &TFormExport::helpRequested, helpCommands_.get(), &HelpCommands::QuarnelHelp);
  connect(view_.get(), &EventView::recordCountChanged, formGoto_, &TFormGoto::setRecordCount);
  connect(view_.get(), &EventView::recordCountChanged, formExport_, &TFormExport::setRecordCount);
  setMinimumSize(kMinimumWindow);
  resize(kMinimumWindow);
  connect(HSplitter1, &QSplitter::splitterMoved, this, [this] { FormResize(); });

  ledToggleTimer_.setInterval(500);
  connect(&ledToggleTimer_, &QTimer::timeout, this, &TFormMain::LEDToggleTimerTimer);
  liveLightTimer_.setInterval(50);
  connect(&liveLightTimer_, &QTimer::timeout, this, &TFormMain::refreshLiveLights);
  for (SerialPort* port : {&session_->comA, &session_->comB})
    connect(port, &SerialPort::portLost, this, [this, port](const QString& reason) { portLost(port, reason); });
  connect(&session_->freeSpace, &FreeSpaceGuard::stopRequested, this, &TFormMain::btnStopClick);

  skins_ = std::make_unique<SkinLoader>(options_.userPath, SkinLoader::Targets{this, btnREC, btnSTOP, btnPAUSE,
                                                     btnScrollTop, btnScrollBottom, triggerPanel_->view()});
  connect(skins_.get(), &SkinLoader::applied, view_.get(), &EventView::setMarkPalette);
  connect(skins_.get(), &SkinLoader::unusable, this, [this](const QString& line) {
    qWarning("%s", qPrintable(line));
    statusBar()->showMessage(line, SkinLoader::kNoteShownMs);
  });

  statusPanels_[5]->clear();
  LoadLanguageConfig();
  StartupPrepare();
  setUpPorts();
  session_->file.setName(commandLineRecordFile_.isEmpty() ? QStringLiteral("Default.vrd") : commandLineRecordFile_);
  SetLifePortLabels();
  AssignMainTexts();
  initialBottom_ = config_.bottomPanels.height > 0 ? config_.bottomPanels.height : kBottomPanelDefault;
  if (!configurationFound_ && screen()) {
    setGeometry(firstStartGeometry(screen()->availableGeometry(), kMinimumWindow));
    initialBottom_ = firstStartBottomPanel(height(), kBottomPanelMinimum, kBottomPanelDefault);
  }
  setBottomPanelHeight(initialBottom_);
  syncRecorderControls();
}

TFormMain::~TFormMain() {
  // The redraw thread ends before the buffer it watches.
  view_.reset();
  ledToggleTimer_.stop();
  liveLightTimer_.stop();
  // The engine lets go of the ports before they close.
  session_->triggers.attach(nullptr);
  triggerEngine_.reset();
  // The ports close and the handles go before the link that feeds them.
  session_.reset();
}

Recorder& TFormMain::recorder() { return session_->recorder; }

QAction* TFormMain::makeAction(const char* name, int caption, int hint, int toolCaption, bool later) {
  auto* a = new QAction(this);
  a->setObjectName(QString::fromLatin1(name));
  actionTexts_.push_back({a, caption, hint, toolCaption, later});
  // Commands whose dialogs come later are there, but never a click that does nothing.
  if (later) a->setEnabled(false);
  return a;
}

QAction* TFormMain::action(const QString& name) const { return findChild<QAction*>(name); }

void TFormMain::createActions() {
  using namespace TextNo;
  // File
  connect(makeAction("actNewRecordFile", NewRecordFile, NewHint, NewTool), &QAction::triggered, this,
          [this] { recordFileCommands_->btnNewRecordFileClick(); });
  connect(makeAction("actOpenRecordFile", OpenRecordFile, OpenHint, OpenTool), &QAction::triggered, this,
          [this] { recordFileCommands_->btnOpenRecordFileClick(); });
  connect(makeAction("actSaveRecordFile", SaveRecordFileAs, SaveAsHint, SaveAsTool), &QAction::triggered, this,
          [this] { recordFileCommands_->btnSaveRecordFileClick(); });
  connect(makeAction("actExport", ExportEvents, ExportHint, ExportTool), &QAction::triggered, this,
          &TFormMain::btnExportClick);
  connect(makeAction("actPrintReport", PrintReport, 0, 0), &QAction::triggered, this, &TFormMain::btnPrintReportClick);
  QAction* exit = makeAction("actExit", Exit, 0);
  exit->setShortcut(QKeySequence::Quit);
  connect(exit, &QAction::triggered, this, &TFormMain::AppExitExecute);

  // Recorder
  QAction* start = makeAction("actStart", Record, RecordHint, RecordTool);
  start->setCheckable(true);
  connect(start, &QAction::triggered, this, &TFormMain::btnRecordClick);
  QAction* stop = makeAction("actStop", Stop, StopHint, StopTool);
  stop->setCheckable(true);
  stop->setChecked(true);
  connect(stop, &QAction::triggered, this, &TFormMain::btnStopClick);
  QAction* pause = makeAction("actPause", Pause, PauseHint, PauseTool);
  pause->setCheckable(true);
  connect(pause, &QAction::triggered, this, &TFormMain::btnPauseClick);
  QAction* append = makeAction("actAppend", Append, AppendHint, AppendTool);
  append->setCheckable(true);
  connect(append, &QAction::triggered, this, &TFormMain::btnRECappendClick);
  QAction* replace = makeAction("actReplace", Replace, ReplaceHint, ReplaceTool);
  replace->setCheckable(true);
  connect(replace, &QAction::triggered, this, &TFormMain::btnRECreplaceClick);
  QAction* hold = makeAction("actFreezeDisplay", HoldDisplay, HoldHint, BtnHold);
  hold->setCheckable(true);
  hold->setShortcut(Qt::Key_F9);
  connect(hold, &QAction::triggered, this, &TFormMain::btnViewHoldClick);

  // View, code and time: checkable; the event view presses the ones that match its state.
  const auto viewAction = [this](const char* name, int caption, int hint, int tool, auto handler) {
    QAction* a = makeAction(name, caption, hint, tool);
    a->setCheckable(true);
    connect(a, &QAction::triggered, this, handler);
    return a;
  };
  viewAction("actDetailedData", ViewVertical, VerticalHint, VertTool, [this] { view_->chooseView(ViewMode::Vertical); });
  viewAction("actHorizontalDataTable", ViewDataOnly, DataOnlyHint, DataTool,
             [this] { view_->chooseView(ViewMode::DataOnly); });
  viewAction("actDataDump", ViewDump, DumpHint, DumpTool, [this] { view_->chooseView(ViewMode::DataDump); });
  using CellText::TimeMode;
  viewAction("actTimeAbsolute", TimeAbsolute, AbsoluteHint, AbsoluteTool,
             [this] { view_->chooseTime(TimeMode::Absolute); });
  viewAction("actTimeRelative", TimeRelative, RelativeHint, RelativeTool,
             [this] { view_->chooseTime(TimeMode::Relative); });
  viewAction("actTimeDelta", TimeDelta, DeltaHint, DeltaTool, [this] { view_->chooseTime(TimeMode::Delta); });
  viewAction("actGridAll", GridAll, 0, 0, [this] { view_->chooseGridLines(true, true); });
  viewAction("actGridHorizontal", GridHorizontal, 0, 0, [this] { view_->chooseGridLines(false, true); });
  viewAction("actGridVertical", GridVertical, 0, 0, [this] { view_->chooseGridLines(true, false); });
  viewAction("actGridNone", GridNone, 0, 0, [this] { view_->chooseGridLines(false, false); });
  connect(makeAction("actResetGridRowCol", ResetGrid, ResetGridHint, ResetGridTool), &QAction::triggered, this,
          [this] { view_->btnResetGridClick(); });
  connect(makeAction("actFirstEvent", FirstEvent, ScrollFirst, 0), &QAction::triggered, this,
          [this] { view_->btnGotoTopClick(); });
  connect(makeAction("actLastEvent", LastEvent, ScrollLast, 0), &QAction::triggered, this,
          [this] { view_->btnGotoBottomClick(); });
  makeAction("actCopy", Copy, 0, 0, true)->setShortcut(QKeySequence::Copy);
  viewAction("actUSASCII", CodeAscii, AscHint, Asc, [this] { view_->chooseCode(CharacterCode::UsAscii); });
  viewAction("actEBCDIC", CodeEbcdic, EbcHint, Ebc, [this] { view_->chooseCode(CharacterCode::Ebcdic); });
  viewAction("actHex", CodeHex, HexHint, Hex, [this] { view_->chooseCode(CharacterCode::Hexadecimal); });
  viewAction("actDec", CodeDec, DecHint, Dec, [this] { view_->chooseCode(CharacterCode::Decimal); });
  viewAction("actOct", CodeOct, OctHint, Oct, [this] { view_->chooseCode(CharacterCode::Octal); });
  viewAction("actBin", CodeBin, BinHint, Bin, [this] { view_->chooseCode(CharacterCode::Binary); });
  viewAction("actControlChars", ControlChars, CtrlHint, Ctrl,
             [this] { view_->clickControlRange(ControlMode::ControlChars); });
  viewAction("actCommandChars", CommandChars, CmdHint, Cmd,
             [this] { view_->clickControlRange(ControlMode::CommandChars); });
  connect(makeAction("actCharsOff", CharsOff, 0, ResTool), &QAction::triggered, this,
          [this] { view_->clickControlRange(ControlMode::None); });

  // Tools
  connect(makeAction("actSearchEvent", SearchEvent, SearchHint, SearchTool), &QAction::triggered, this,
          &TFormMain::btnSearchClick);
  connect(makeAction("actDeltaTimeMeasurement", TimeMeasure, MeasureHint, MeasureTool), &QAction::triggered, this,
          &TFormMain::btnMeasTimeClick);
  connect(makeAction("actGotoTP", TriggerGoto, TrigGotoHint, TrigGotoTool), &QAction::triggered, this,
          &TFormMain::btnGotoTPClick);
  connect(makeAction("actGotoMP", GotoEvent, GotoHint, GotoTool), &QAction::triggered, this,
          &TFormMain::btnGotoMPClick);

  // Ports: the menu command and the "V24/USA:" button switch the pin naming alike.
  for (const char* name : {"actShowCCITTV24Pin", "actLifePortPinOut"}) {
    QAction* pin = makeAction(name, SwitchPin, PinHint, PinTool);
    connect(pin, &QAction::triggered, this, &TFormMain::btnSwitchPinClick);
  }
  connect(makeAction("actPortOptions", PortSettings, 0, 0), &QAction::triggered, this,
          [this] { optionsCommands_->btnCallComABOptionsClick(); });
  connect(makeAction("actVirtualTap", VirtualTap, 0, 0), &QAction::triggered, this, [this] { tapCommands_->open(); });

  // Triggers, with the captions of the trigger panel's buttons; the panel runs them
  // (triggers/ui/TriggerPanel), and their keys act while the focus is in the panel.
  makeAction("actTrigInsert", TrigInsert, TrigInsertHint, TrigInsTool)->setShortcut(Qt::Key_Insert);
  makeAction("actTrigRemove", TrigDelete, TrigDeleteHint, TrigDelTool)->setShortcut(Qt::Key_Delete);
  makeAction("actTrigEdit", TrigEdit, TrigEditHint, TrigEditTool)->setShortcut(Qt::CTRL | Qt::Key_E);
  makeAction("actTrigUp", TrigUp, 0, TrigUpTool)->setShortcut(Qt::CTRL | Qt::Key_K);
  makeAction("actTrigDown", TrigDown, 0, TrigDownTool)->setShortcut(Qt::CTRL | Qt::Key_L);
  makeAction("actTrigGridReset", TrigResetList, TrigResetListHint, ResTool);
  makeAction("actTrigMarkAll", TrigMarkAll, TrigMarkAllHint, TrigAllTool);
  makeAction("actTrigMarkNone", TrigMarkNone, TrigMarkNoneHint, TrigNoneTool);
  makeAction("actTrigMarkReverse", TrigReverse, TrigReverseHint, TrigRevTool);

  // Environment, settings, window, help
  QAction* loadEnv = makeAction("actLoadEnv", LoadEnvironment, 0, 0);
  loadEnv->setShortcut(Qt::CTRL | Qt::Key_L);
  connect(loadEnv, &QAction::triggered, this, [this] { envCommands_->loadDialog(); });
  QAction* saveEnv = makeAction("actSaveEnv", SaveEnvironment, 0, 0);
  saveEnv->setShortcut(Qt::CTRL | Qt::Key_S);
  connect(saveEnv, &QAction::triggered, this, [this] { envCommands_->saveDialog(); });
  QAction* envConf = makeAction("actEnvConf", EditEnvironment, 0, 0);
  envConf->setShortcut(Qt::CTRL | Qt::Key_O);
  connect(envConf, &QAction::triggered, this, &TFormMain::btnEnvConfClick);
  connect(makeAction("actOptions", Options, 0, 0), &QAction::triggered, this,
          [this] { optionsCommands_->actOptionsExecute(); });
  // Skin 0, the system's own style; the skin loader adds the other skins beside it.
  makeAction("actStyleWindows", SystemStyle, 0, 0)->setCheckable(true);
  QAction* de = makeAction("actLangDE", German, 0);
  de->setCheckable(true);
  connect(de, &QAction::triggered, this, &TFormMain::menuLangDEClick);
  QAction* en = makeAction("actLangEN", English, 0);
  en->setCheckable(true);
  connect(en, &QAction::triggered, this, &TFormMain::menuLangENClick);
  QAction* reset = makeAction("actWinResetAll", ResetAllWindows, ResetWindows);
  connect(reset, &QAction::triggered, this, &TFormMain::btnDefaultWindowSizeClick);
  QAction* help = makeAction("actHelp", ProductHelp, 0);
  help->setShortcut(QKeySequence::HelpContents);
  connect(help, &QAction::triggered, this, [this] { helpCommands_->QuarnelHelp(HelpTopic::Manual); });
  connect(makeAction("actSearchForUpdate", WebUpdate, 0, 0), &QAction::triggered, this,
          [this] { updateCommands_->RunUpdateCheck(); });
  HelpCommands* h = helpCommands_.get();
  connect(makeAction("actHomepage", Homepage, 0), &QAction::triggered, h, &HelpCommands::QuarnelHomepage);
  connect(makeAction("actFeatureSuggestion", FeatureSuggestion, 0), &QAction::triggered, h,
          &HelpCommands::SuggestaNewFeature);
  connect(makeAction("actProblemReport", ProblemReport, 0), &QAction::triggered, h,
          &HelpCommands::ReportaProblemtoQuarnel);
  connect(makeAction("actInfo", About, 0), &QAction::triggered, h, &HelpCommands::showSupportWindow);
}

void TFormMain::createMenus() {
  using namespace TextNo;
  auto add = [this](QMenu* menu, std::initializer_list<const char*> names) {
    for (const char* n : names) {
      if (!*n) menu->addSeparator();
      else menu->addAction(action(QString::fromLatin1(n)));
    }
  };
  auto menu = [this](QMenu* parent, int text) {
    QMenu* m = parent ? parent->addMenu(QString()) : menuBar()->addMenu(QString());
    m->setToolTipsVisible(true);
    menuTexts_.emplace_back(m, text);
    return m;
  };
  add(menu(nullptr, MenuFile),
      {"actNewRecordFile", "actOpenRecordFile", "actSaveRecordFile", "", "actExport", "actPrintReport", "",
       "actExit"});
  add(menu(nullptr, MenuRecorder),
      {"actStart", "actStop", "actPause", "", "actAppend", "actReplace", "", "actFreezeDisplay"});
  add(menu(nullptr, MenuView),
      {"actDetailedData", "actHorizontalDataTable", "actDataDump", "", "actTimeAbsolute", "actTimeRelative",
       "actTimeDelta", "", "actGridAll", "actGridHorizontal", "actGridVertical", "actGridNone", "",
       "actResetGridRowCol", "", "actFirstEvent", "actLastEvent", "", "actCopy"});
  add(menu(nullptr, MenuCode),
      {"actUSASCII", "actEBCDIC", "actHex", "actDec", "actOct", "actBin", "", "actControlChars", "actCommandChars",
       "actCharsOff"});
  add(menu(nullptr, MenuTools), {"actSearchEvent", "actDeltaTimeMeasurement", "actGotoTP", "actGotoMP"});
  add(menu(nullptr, MenuPorts), {"actShowCCITTV24Pin", "actPortOptions", "actVirtualTap"});
  add(menu(nullptr, MenuTriggers),
      {"actTrigInsert", "actTrigRemove", "actTrigEdit", "", "actTrigUp", "actTrigDown", "", "actTrigGridReset", "",
       "actTrigMarkAll", "actTrigMarkNone", "actTrigMarkReverse"});
  add(menu(nullptr, MenuEnvironment), {"actLoadEnv", "actSaveEnv", "actEnvConf"});
  QMenu* settings = menu(nullptr, MenuSettings);
  add(settings, {"actOptions"});
  add(menu(settings, MenuStyles), {"actStyleWindows"});
  add(menu(settings, MenuLanguage), {"actLangDE", "actLangEN"});
  add(menu(nullptr, MenuWindow), {"actWinResetAll"});
  add(menu(nullptr, MenuHelp),
      {"actHelp", "", "actSearchForUpdate", "actHomepage", "actFeatureSuggestion", "actProblemReport", "",
       "actInfo"});
}

void TFormMain::createToolBars() {
  auto bar = [this](const char* name, std::initializer_list<const char*> names) {
    QToolBar* t = addToolBar(QString::fromLatin1(name));
    t->setObjectName(QString::fromLatin1(name));
    t->setToolButtonStyle(Qt::ToolButtonTextOnly);
    t->setMovable(false);
    for (const char* n : names) {
      if (!*n) t->addSeparator();
      else t->addAction(action(QString::fromLatin1(n)));
    }
    return t;
  };
  bar("tbFile", {"actNewRecordFile", "actOpenRecordFile", "actSaveRecordFile", "", "actExport", "actPrintReport"});
  bar("tbRecorder", {"actStart", "actStop", "actPause", "actFreezeDisplay"});
  bar("tbTools", {"actSearchEvent", "actDeltaTimeMeasurement", "actGotoTP", "actGotoMP"});
  bar("tbPorts", {"actShowCCITTV24Pin"});
  // The button panels of the display: view, character code and time.
  addToolBarBreak();
  bar("tbView", {"actDetailedData", "actHorizontalDataTable", "actDataDump", "", "actResetGridRowCol"});
  bar("tbCode", {"actUSASCII", "actEBCDIC", "actHex", "actDec", "actOct", "actBin", "", "actControlChars",
                 "actCommandChars", "actCharsOff"});
  bar("tbTime", {"actTimeAbsolute", "actTimeRelative", "actTimeDelta"});
  // The pictures come with the skin.
  for (const char* name : {"tbFile", "tbRecorder", "tbTools"})
    findChild<QToolBar*>(QString::fromLatin1(name))->setToolButtonStyle(Qt::ToolButtonIconOnly);
  // The hold command has no picture of its own: its caption stands beside the others.
  auto* recorderBar = findChild<QToolBar*>(QStringLiteral("tbRecorder"));
  if (auto* b = qobject_cast<QToolButton*>(recorderBar->widgetForAction(action(QStringLiteral("actFreezeDisplay")))))
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
}

QWidget* TFormMain::createGridArea() {
  auto* area = new QWidget;
  auto* v = new QVBoxLayout(area);
  v->setContentsMargins(0, 0, 0, 0);
  v->setSpacing(1);
  lblFileLine = new QLabel(area);
  lblFileLine->setObjectName(QStringLiteral("lblFileLine"));
  lblFileLine->setFrameShape(QFrame::StyledPanel);
  lblFileLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lblFileLine->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  v->addWidget(lblFileLine);

  auto* row = new QHBoxLayout;
  row->setSpacing(1);
  auto* grid = new QFrame(area);
  grid->setObjectName(QStringLiteral("DrawGrid1Frame"));
  grid->setFrameShape(QFrame::StyledPanel);
  grid->setFrameShadow(QFrame::Sunken);
  grid->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  auto* gl = new QVBoxLayout(grid);
  gl->setContentsMargins(1, 1, 1, 1);
  DrawGrid1 = new EventGrid(grid);
  gl->addWidget(DrawGrid1);
  // The grid's pop-up menu.
  DrawGrid1->setContextMenuPolicy(Qt::ActionsContextMenu);
  for (const char* name : {"actCopy", "actFirstEvent", "actLastEvent", "actResetGridRowCol"})
    DrawGrid1->addAction(action(QString::fromLatin1(name)));
  row->addWidget(grid, 1);

  auto* scroll = new QVBoxLayout;
  scroll->setSpacing(0);
  btnScrollTop = new QPushButton(area);
  btnScrollTop->setObjectName(QStringLiteral("btnScrollTop"));
  btnScrollTop->setText(kArrowUp);
  btnScrollBottom = new QPushButton(area);
  btnScrollBottom->setObjectName(QStringLiteral("btnScrollBottom"));
  btnScrollBottom->setText(kArrowDown);
  for (QPushButton* b : {btnScrollTop, btnScrollBottom}) {
    b->setFixedSize(18, 18);
    b->setFocusPolicy(Qt::NoFocus);
  }
  connect(btnScrollTop, &QPushButton::clicked, this, [this] { view_->btnGotoTopClick(); });
  connect(btnScrollBottom, &QPushButton::clicked, this, [this] { view_->btnGotoBottomClick(); });
  ScrollBar1 = new QScrollBar(Qt::Vertical, area);
  ScrollBar1->setObjectName(QStringLiteral("ScrollBar1"));
  ScrollBar1->setRange(0, 0);
  scroll->addWidget(btnScrollTop);
  scroll->addWidget(ScrollBar1, 1);
  scroll->addWidget(btnScrollBottom);
  row->addLayout(scroll);
  v->addLayout(row, 1);
  return area;
}

QWidget* TFormMain::createControlStrip() {
  auto* strip = new QWidget;
  strip->setObjectName(QStringLiteral("CCenterPanel"));
  pnlCCenter = strip;
  auto* h = new QHBoxLayout(strip);
  h->setContentsMargins(0, 0, 0, 0);
  h->addWidget(createRecorderPanel());
  h->addWidget(createLivePortPanel());
  h->addWidget(createLineLoadPanel(), 1);
  strip->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  return strip;
}

QWidget* TFormMain::createRecorderPanel() {
  auto* box = new QGroupBox;
  box->setObjectName(QStringLiteral("pnlRecorder"));
  widgetTexts_.emplace_back(box, TextNo::RecorderPanel);
  auto* g = new QGridLayout(box);
  g->setContentsMargins(6, 4, 6, 4);
  g->setHorizontalSpacing(4);
  g->setVerticalSpacing(3);
  auto button = [&](QPushButton*& b, const char* name, int text, int row, int column) {
    b = new QPushButton(box);
    b->setObjectName(QString::fromLatin1(name));
    b->setCheckable(true);
    b->setMinimumWidth(76);
    widgetTexts_.emplace_back(b, text);
    g->addWidget(b, row, column);
  };
  button(btnREC, "btnREC", TextNo::BtnRec, 0, 0);
  button(btnSTOP, "btnSTOP", TextNo::BtnStop, 0, 1);
  button(btnPAUSE, "btnPAUSE", TextNo::BtnPause, 0, 2);
  button(btnRECappend, "btnRECappend", TextNo::BtnAppend, 1, 0);
  button(btnRECreplace, "btnRECreplace", TextNo::BtnReplace, 1, 1);
  button(btnViewHold, "btnViewHold", TextNo::BtnHold, 1, 2);
  connect(btnREC, &QPushButton::clicked, this, &TFormMain::btnRecordClick);
  connect(btnSTOP, &QPushButton::clicked, this, &TFormMain::btnStopClick);
  connect(btnPAUSE, &QPushButton::clicked, this, &TFormMain::btnPauseClick);
  connect(btnRECappend, &QPushButton::clicked, this, &TFormMain::btnRECappendClick);
  connect(btnRECreplace, &QPushButton::clicked, this, &TFormMain::btnRECreplaceClick);
  connect(btnViewHold, &QPushButton::clicked, this, &TFormMain::btnViewHoldClick);

  auto* lights = new QHBoxLayout;
  ledRecorder = new StatusLight(kRecorderLit, box);
  ledRecorder->setObjectName(QStringLiteral("LedRecorder"));
  lblRecorderLight = new QLabel(box);
  widgetTexts_.emplace_back(lblRecorderLight, TextNo::RecorderLight);
  ledHold = new StatusLight(kHoldLit, box);
  ledHold->setObjectName(QStringLiteral("LedHold"));
  lblHoldLight = new QLabel(box);
  widgetTexts_.emplace_back(lblHoldLight, TextNo::HoldLight);
  lights->addWidget(ledRecorder);
  lights->addWidget(lblRecorderLight);
  lights->addSpacing(12);
  lights->addWidget(ledHold);
  lights->addWidget(lblHoldLight);
  lights->addStretch();
  g->addLayout(lights, 2, 0, 1, 3);
  pnlRecorder = box;
  return box;
}

QWidget* TFormMain::createLivePortPanel() {
  auto* box = new QGroupBox;
  box->setObjectName(QStringLiteral("pnlLivePort"));
  widgetTexts_.emplace_back(box, TextNo::LivePortHeader);
  auto* v = new QVBoxLayout(box);
  v->setContentsMargins(6, 4, 6, 4);
  v->setSpacing(3);
  auto* g = new QGridLayout;
  g->setHorizontalSpacing(8);
  g->setVerticalSpacing(1);
  lblPinRow = new QLabel(box);
  widgetTexts_.emplace_back(lblPinRow, TextNo::PinRow);
  g->addWidget(lblPinRow, 2, 0);
  QFont small = font();
  small.setPointSizeF(small.pointSizeF() * 0.85);
  for (int i = 0; i < 8; ++i) {
    lineLabels_[i] = new QLabel(box);
    lineLabels_[i]->setObjectName(QStringLiteral("lbl") + QString::fromLatin1(kLamps[i].objectName + 3));
    lineLabels_[i]->setAlignment(Qt::AlignCenter);
    leds_[i] = new StatusLight(kLineLit, box);
    leds_[i]->setObjectName(QString::fromLatin1(kLamps[i].objectName));
    auto* pin = new QLabel(QString::fromLatin1(kLamps[i].pins), box);
    pin->setAlignment(Qt::AlignCenter);
    pin->setFont(small);
    g->addWidget(lineLabels_[i], 0, i + 1);
    g->addWidget(leds_[i], 1, i + 1, Qt::AlignCenter);
    g->addWidget(pin, 2, i + 1);
  }
  v->addLayout(g);

  auto* settings = new QGridLayout;
  settings->setHorizontalSpacing(4);
  settings->setVerticalSpacing(1);
  QComboBox** combos[4] = {&cbPortBaudRate, &cbPortDataBits, &cbPortParity, &cbPortStopBits};
  const char* names[4] = {"cbPortBaudRate", "cbPortDataBits", "cbPortParity", "cbPortStopBits"};
  const int labels[4] = {TextNo::Baud, TextNo::DataBits, TextNo::Parity, TextNo::StopBits};
  for (int i = 0; i < 4; ++i) {
    comboLabels_[i] = new QLabel(box);
    comboLabels_[i]->setFont(small);
    widgetTexts_.emplace_back(comboLabels_[i], labels[i]);
    auto* c = new QComboBox(box);
    c->setObjectName(QString::fromLatin1(names[i]));
    c->setMinimumWidth(i == 0 ? 84 : 50);
    *combos[i] = c;
    connect(c, &QComboBox::activated, this, [this, i](int index) { portSettingChanged(i, index); });
    settings->addWidget(comboLabels_[i], 0, i + 1);
    settings->addWidget(c, 1, i + 1);
  }
  btnCallComABOptions = new QPushButton(box);
  btnCallComABOptions->setObjectName(QStringLiteral("btnCallComABOptions"));
  connect(btnCallComABOptions, &QPushButton::clicked, this, [this] { optionsCommands_->btnCallComABOptionsClick(); });
  widgetTexts_.emplace_back(btnCallComABOptions, TextNo::ComAB);
  btnSwitchPinFromPanel = new QPushButton(box);
  btnSwitchPinFromPanel->setObjectName(QStringLiteral("btnSwitchPinFromPanel"));
  widgetTexts_.emplace_back(btnSwitchPinFromPanel, TextNo::V24Usa);
  connect(btnSwitchPinFromPanel, &QPushButton::clicked, action(QStringLiteral("actLifePortPinOut")),
          &QAction::trigger);
  settings->addWidget(btnCallComABOptions, 1, 0);
  settings->addWidget(btnSwitchPinFromPanel, 1, 5);
  v->addLayout(settings);
  pnlLivePort = box;
  return box;
}

QWidget* TFormMain::createLineLoadPanel() {
  auto* box = new QGroupBox;
  box->setObjectName(QStringLiteral("pnlLineLoad"));
  widgetTexts_.emplace_back(box, TextNo::LineLoad);
  auto* g = new QGridLayout(box);
  g->setContentsMargins(6, 4, 6, 4);
  g->setVerticalSpacing(2);
  const int labels[3] = {TextNo::LoadCurrent, TextNo::LoadPeak, TextNo::LineQuality};
  const char* names[3] = {"showLineLoadActual", "showLineLoadPeek", "showLineQuality"};
  for (int i = 0; i < 3; ++i) {
    gaugeLabels_[i] = new QLabel(box);
    widgetTexts_.emplace_back(gaugeLabels_[i], labels[i]);
    gauges_[i] = new QProgressBar(box);
    gauges_[i]->setObjectName(QString::fromLatin1(names[i]));
    gauges_[i]->setRange(0, 100);
    gauges_[i]->setValue(0);
    gauges_[i]->setMaximumHeight(16);
    g->addWidget(gaugeLabels_[i], i, 0);
    g->addWidget(gauges_[i], i, 1);
  }
  g->setRowStretch(3, 1);
  pnlLineLoad = box;
  setGauges(0, 0, 0);
  return box;
}

QWidget* TFormMain::createBottomPanel() {
  auto* panel = new QWidget;
  panel->setObjectName(QStringLiteral("pnlAllBottom"));
  panel->setMinimumHeight(60);
  auto* v = new QVBoxLayout(panel);
  v->setContentsMargins(0, 0, 0, 0);
  v->setSpacing(1);
  auto* head = new QHBoxLayout;
  lblTriggerList = new QLabel(panel);
  widgetTexts_.emplace_back(lblTriggerList, TextNo::TriggerList);
  btnTrigListMinMax = new QPushButton(kArrowDown, panel);
  btnTrigListMinMax->setObjectName(QStringLiteral("btnTrigListMinMax"));
  btnTrigListMinMax->setFixedSize(22, 18);
  connect(btnTrigListMinMax, &QPushButton::clicked, this, &TFormMain::btnTrigListMinMaxClick);
  head->addWidget(lblTriggerList);
  head->addSpacing(8);
  // The panel's own buttons run the trigger commands of the menu.
  for (const char* name : {"actTrigInsert", "actTrigRemove", "actTrigEdit", "actTrigUp", "actTrigDown",
                           "actTrigGridReset", "actTrigMarkAll", "actTrigMarkNone", "actTrigMarkReverse"}) {
    auto* b = new QToolButton(panel);
    b->setObjectName(QStringLiteral("btn") + QString::fromLatin1(name + 3));
    b->setDefaultAction(action(QString::fromLatin1(name)));
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setAutoRaise(false);
    head->addWidget(b);
  }
  head->addStretch();
  head->addWidget(btnTrigListMinMax);
  v->addLayout(head);
  triggerList_ = new ::TriggerList(this);
  connect(triggerList_, &::TriggerList::environmentChanged, this, [this] { setEnvironmentChanged(true); });
  formTrig_ = new TFormTrig(messages_.form(), this);
  formEnvConf_ = new TFormEnvConf(messages_.form(), this);
  connect(formTrig_, &TFormTrig::helpRequested, helpCommands_.get(), &HelpCommands::QuarnelHelp);
  connect(formEnvConf_, &TFormEnvConf::helpRequested, helpCommands_.get(), &HelpCommands::QuarnelHelp);
  auto act = [this](const char* name) { return action(QString::fromLatin1(name)); };
  triggerPanel_ = new TriggerPanel(*triggerList_, *formTrig_, messages_.form(), panel,
                                   {act("actTrigInsert"), act("actTrigRemove"), act("actTrigEdit"), act("actTrigUp"),
                                    act("actTrigDown"), act("actTrigGridReset"), act("actTrigMarkAll"),
                                    act("actTrigMarkNone"), act("actTrigMarkReverse")});
  v->addWidget(triggerPanel_->view(), 1);
  pnlAllBottom = panel;
  return panel;
}

// Triggers work on the session's parts; sounds and commands start beside the program.
void TFormMain::createTriggerEngine() {
  CaptureSession& s = *session_;
  launcher_ = std::make_unique<ProcessLauncher>();
  triggerActions_ = std::make_unique<TriggerActions>(*launcher_, QCoreApplication::applicationDirPath());
  triggerEngine_ = std::make_unique<TriggerEngine>(
      TriggerEngineParts{s.engine, s.handler, s.comA, s.comB, s.gate, clock_, messages_}, *triggerList_,
      *triggerActions_);
  s.triggers.attach(triggerEngine_.get());
  connect(triggerEngine_.get(), &TriggerEngine::statusTextChanged, this, &TFormMain::setTriggerStatus);
  connect(triggerEngine_.get(), &TriggerEngine::stopRequested, this, &TFormMain::btnStopClick);
  connect(triggerEngine_.get(), &TriggerEngine::triggerMarked, triggerList_, &::TriggerList::setSeenAt);
  TriggerActions& a = *triggerActions_;
  formTrig_->setTests([&a](const QString& path, bool repeat, ActionFailure* f) { return a.testSound(path, repeat, f); },
                      [&a](const QString& program, const QString& params, ActionFailure* f) {
                        return a.testCommand(program, params, f);
                      });
}

void TFormMain::createStatusBar() {
  for (int i = 0; i < 6; ++i) {
    statusPanels_[i] = new QLabel(this);
    statusPanels_[i]->setObjectName(QStringLiteral("pnlStatusBarPanel%1").arg(i + 1));
    statusPanels_[i]->setContentsMargins(4, 0, 4, 0);
    // The mode and the link stay in view while a hint is shown in the bar.
    if (i == 5) {
      // The trigger state has a field of its own, so the mode beside it stays in view.
      lblTriggerStatus_ = new QLabel(this);
      lblTriggerStatus_->setObjectName(QStringLiteral("pnlTriggerStatus"));
      lblTriggerStatus_->setContentsMargins(4, 0, 4, 0);
      statusBar()->addPermanentWidget(lblTriggerStatus_);
    }
    if (i >= 4) statusBar()->addPermanentWidget(statusPanels_[i]);
    else statusBar()->addWidget(statusPanels_[i], i == 0 ? 1 : 0);
  }
  QFont bold = statusPanels_[5]->font();
  bold.setBold(true);
  statusPanels_[5]->setFont(bold);
  statusPanels_[5]->setMinimumWidth(120);
  statusPanels_[5]->setAlignment(Qt::AlignCenter);
}

// --- start-up ---------------------------------------------------------------------

void TFormMain::LoadLanguageConfig() {
  const int offset = Configuration::LoadLanguageConfig(options_.userPath + QStringLiteral("Vorlog.ini"));
  Texts::setLanguageOffset(offset);
  QAction* de = action(QStringLiteral("actLangDE"));
  QAction* en = action(QStringLiteral("actLangEN"));
  de->setChecked(offset == 0);
  de->setEnabled(offset != 0);
  en->setChecked(offset == Texts::kEnglishOffset);
  en->setEnabled(offset != Texts::kEnglishOffset);
}

void TFormMain::StartupPrepare() {
  if (!firstStart_) return;
  configurationFound_ = config_.load(options_.userPath + QStringLiteral("Vorlog.ini"));
  optionsCommands_->loadProfile();
  applyConfiguration();
  skins_->start(config_);

  const StartupFiles files = parseStartupFiles(options_.arguments);
  if (!files.environmentFile.isEmpty()) {
    environmentFile_ = files.environmentFile;
    environmentFromCommandLine_ = true;
  }
  if (!files.recordFile.isEmpty()) commandLineRecordFile_ = files.recordFile;
  firstStart_ = false;

  if (!session_->engine.probeCounter())
    messages_.showMessage(TextNo::Warning, TextNo::NoCounter, MessageKind::Warning, ButtonSet::Ok);
  setStatusPanel6(tx(TextNo::ExamineMode));
  session_->recorder.setHold(config_.displayHoldOnProgStart);
  // A held display shows it at once: the hold light blinks from the start.
  if (config_.displayHoldOnProgStart) startBlinkTimer();
}

// Values of the configuration that the window and the recorder use.
void TFormMain::applyConfiguration() {
  Texts::setLanguageOffset(config_.languageOffset);
  const bool english = Texts::languageOffset() == Texts::kEnglishOffset;
  action(QStringLiteral("actLangDE"))->setChecked(!english);
  action(QStringLiteral("actLangDE"))->setEnabled(english);
  action(QStringLiteral("actLangEN"))->setChecked(english);
  action(QStringLiteral("actLangEN"))->setEnabled(!english);
  viewState_ = ViewState::fromConfiguration(config_);
  view_->ApplyViewLayout();
  environmentFile_ = config_.environmentFile.isEmpty() ? environmentFile_ : config_.environmentFile;
  beginRecording_ = config_.beginRecordOnProgStart;
  Recorder& r = session_->recorder;
  if (config_.recordMode == Recorder::Append || config_.recordMode == Recorder::Replace)
    r.setRecordMode(config_.recordMode);
  if (config_.recorderReplace && !r.replaceDown()) r.btnRECreplaceClick();
  else if (!config_.recorderReplace && !config_.recorderAppend && r.appendDown()) r.btnRECappendClick();

  // Placed as stored; the monitor step of the first showing brings it fully on screen.
  const WindowPlacement& w = config_.window;
  move(w.left, w.top);
  resize(qMax(w.width, kMinimumWindow.width()), qMax(w.height, kMinimumWindow.height()));
  // A window stored minimised starts normal: a program that starts out of sight looks like one that did not start.
  if (w.windowState == 2) setWindowState(Qt::WindowMaximized);

  triggerPanel_->setColumnWidths(config_.triggerListColumns);
  formGoto_->loadPlacement(config_.gotoDialog, config_.searchPageIndex, config_.controlSearchPageIndex);
  formExport_->loadPlacement(config_.exportDialog);
}

// A column narrower than its title (the stored default of the number column is 20) shows a cut-off word.
void TFormMain::widenTriggerColumnsToTitles() { triggerPanel_->widenColumnsToTitles(); }

void TFormMain::setUpPorts() {
  CaptureSession& s = *session_;
  QString error;
  if (!options_.replay.isEmpty()) {
    replay_ = std::make_unique<WindowReplay>(clock_, messages_);
    // Queued: the end may be noticed while a stop is already draining the ports.
    connect(replay_.get(), &WindowReplay::replayEnded, this, &TFormMain::btnStopClick, Qt::QueuedConnection);
    connect(replay_.get(), &WindowReplay::noteChanged, this, &TFormMain::showSimulationNote);
    replay_->offer(options_.replay, options_.userPath, s.registry);
    BuildPortLists();
  } else if (options_.simulate) {
    simulated_ = true;
  } else {
    if (!s.registry.scan(&error)) qWarning("port numbering not kept: %s", qPrintable(error));
    BuildPortLists();
    // Without a single serial port the program still does its job, on the simulated link.
    if (s.ports.portListA.isEmpty()) simulated_ = noPortsFound_ = true;
  }
  if (simulated_) {
    SimulatedLink& link = *link_;
    scenarioNote_ = tx(TextNo::BuiltInScenario);
    if (options_.scenario == QLatin1String("stress")) {
      link.useStress(0, 0, 1);
      scenarioNote_ = tx(TextNo::StressScenario);
    } else if (!options_.scenario.isEmpty()) {
      if (link.loadScenarioFile(options_.scenario, &error)) scenarioNote_ = QFileInfo(options_.scenario).fileName();
      else VORLOG_REPORT(messages_, TextNo::Warning, TextNo::ScenarioFailed, QStringLiteral("\n\n") + error);
    }
    link.setRealTime(true);
    s.registry.useSimulation(&link);
    BuildPortLists();
  }
  // A first start has no environment yet: A on the first port, B on the second, 9600 8N1.
  if (s.ports.portListA.size() >= 2) s.ports.indexB = 1;
  s.ports.selectLineSettings(QStringLiteral("9600"), QStringLiteral("8"), QStringLiteral("N"),
                             s.ports.stopBits.items.value(0, QStringLiteral("1")));
  refreshPortCombos();
  s.ports.InitInterface();
  showSimulationNote();
}

void TFormMain::BuildPortLists() {
  session_->ports.BuildPortLists(session_->registry, optionsCommands_->portValues());
}

void TFormMain::showSimulationNote() {
  if (replay_) {
    statusPanels_[4]->setText(replay_->statusNote());
  } else if (simulated_) {
    statusPanels_[4]->setText(tx(noPortsFound_ ? TextNo::SimulatedNoPorts : TextNo::SimulatedLink).arg(scenarioNote_));
  } else {
    statusPanels_[4]->setText(
        tx(TextNo::SerialPorts).arg(session_->comA.comNumber()).arg(session_->comB.comNumber()));
  }
}

void TFormMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  // The splitter knows its real height only now.
  setBottomPanelHeight(initialBottom_);
  FormResize();
  QTimer::singleShot(0, this, &TFormMain::FormShow);
}

void TFormMain::FormShow() {
  if (progress_) {
    progress_->Reset();
    progress_->Step(tx(TextNo::LoadingConfiguration), 10);
  }
  LoadMonitorConfiguration();
  if (progress_) {
    progress_->Step(tx(TextNo::PreparingCodePage), 30);
    progress_->Step(tx(TextNo::LoadingEnvironment), 70);
  }
  useStartupEnvironment();
  session_->ports.InitInterface();
  if (progress_) progress_->Step(tx(TextNo::OpenRecording), 80);
  useStartupRecordFile();
  showRecordFile();
  refreshFileLine();
  // The keys scroll the file from the start, without a click into the grid first.
  DrawGrid1->setFocus(Qt::OtherFocusReason);
  if (progress_) progress_->close();
  // The tool windows open where they were left open.
  if (config_.gotoDialog.visible) formGoto_->showPage(TFormGoto::Page(formGoto_->pageIndex()));
  if (config_.exportDialog.visible) formExport_->openDialog();
  if (beginRecording_) btnRecordClick();
  // A missing manual is said at start, beside what else could not be used.
  if (const QString manual = helpCommands_->manualProblem(); !manual.isEmpty()) {
    const QString shown = statusBar()->currentMessage();
    constexpr int kShownMs = 30'000;
    statusBar()->showMessage(shown.isEmpty() ? manual : shown + QStringLiteral("; ") + manual, kShownMs);
  }
  // Once the window is up; the answer comes whenever it comes and blocks nothing.
  if (config_.checkForUpdatesAtProgStart) QTimer::singleShot(0, updateCommands_.get(), &UpdateCommands::checkAtStart);
  startupDone_ = true;
  emit startupFinished();
}

// The environment named on the command line or in the configuration; a default that
// was never saved gives the defaults without a word.
void TFormMain::useStartupEnvironment() {
  envCommands_->loadAtStart(environmentFile_, environmentFromCommandLine_ || environmentFile_ != QStringLiteral("Default.ven"),
                            !commandLineRecordFile_.isEmpty());
}

void TFormMain::setEnvironmentFileName(const QString& path) {
  environmentFile_ = path;
  setWindowTitle(tx(TextNo::WindowTitle) + QStringLiteral(" - ") + QDir::toNativeSeparators(path));
}

void TFormMain::useRecordFile(const QString& name) {
  cancelAnalysisWork();
  session_->file.CloseRecordFile(RecordFile::Handle::View);
  session_->file.setName(name);
  refreshFileLine();
}

void TFormMain::refreshPortCombos() {
  Ports& p = session_->ports;
  for (auto [combo, list] : {std::pair{cbPortBaudRate, &p.baudRates}, std::pair{cbPortDataBits, &p.dataBits},
                             std::pair{cbPortParity, &p.parities}, std::pair{cbPortStopBits, &p.stopBits}}) {
    const QSignalBlocker quiet(combo);
    combo->clear();
    combo->addItems(list->items);
    combo->setCurrentIndex(list->selected);
  }
}

// A record file named on the command line that can neither be read nor created is
// replaced by the default one, with a message saying why.
void TFormMain::useStartupRecordFile() {
  if (commandLineRecordFile_.isEmpty()) return;
  RecordFile& f = session_->file;
  const QString path = commandLineRecordFile_.contains(QLatin1Char('/'))
                           ? commandLineRecordFile_
                           : options_.userPath + QStringLiteral("recordings/") + commandLineRecordFile_;
  const QString problem = recordFileProblem(path);
  if (problem.isEmpty()) return;
  f.setName(QStringLiteral("Default.vrd"));
  messages_.form().ShowMessage(
      tx(TextNo::RecordFileUnusable).arg(QDir::toNativeSeparators(path), problem, f.name()), tx(TextNo::Warning),
      MessageKind::Warning, ButtonSet::Ok);
}

// --- analysis tools -------------------------------------------------------------------

ToolHost TFormMain::toolHost() {
  ToolHost h;
  h.recordFile = [this] { return recordFilePath(); };
  h.records = [this] { return int64_t(ScrollBar1->maximum()); };
  h.selectedEvent = [this] { return view_->selectedEvent(); };
  h.scrollPosition = [this] { return view_->scrollPosition(); };
  h.setScrollPosition = [this](int64_t p) { ScrollBar1->setValue(int(std::clamp<int64_t>(p, 0, ScrollBar1->maximum()))); };
  h.showFound = [this](int64_t event) { view_->showEventSelected(event); };
  h.timeMode = [this] { return viewState_.timeMode; };
  h.pinNaming = [this] { return viewState_.pinNaming; };
  h.lineSettings = [this] { return session_->comA.settings(); };
  return h;
}

QString TFormMain::recordFilePath() const {
  const QString name = session_->file.name();
  return name.contains(QLatin1Char('/')) ? name : options_.userPath + QStringLiteral("recordings/") + name;
}

void TFormMain::btnSearchClick() { formGoto_->showPage(TFormGoto::SearchPage); }
void TFormMain::btnMeasTimeClick() { formGoto_->showPage(TFormGoto::MeasurePage); }
void TFormMain::btnGotoTPClick() { formGoto_->showPage(TFormGoto::TriggerPage); }
void TFormMain::btnGotoMPClick() { formGoto_->showPage(TFormGoto::EventPage); }
void TFormMain::btnExportClick() { formExport_->openDialog(); }

void TFormMain::btnPrintReportClick() {
  if (!reportPrinting_) {
    reportPrinting_ = std::make_unique<ReportPrinting>(messages_.form(), this);
    reportPrinting_->onHelp = [this](int topic) { helpCommands_->QuarnelHelp(topic); };
  }
  reportPrinting_->run(recordFilePath(), toolHost().records(), viewState_,
                       {formEnvConf_->general(), formEnvConf_->customer(), formEnvConf_->description()},
                       config_.reportDialog);
}

void TFormMain::cancelAnalysisWork() {
  if (formGoto_) formGoto_->cancelSearch();
  if (formExport_) formExport_->cancelExport();
}

void TFormMain::showEventAtTop(long long eventNumber) {
  if (eventNumber < 1 || eventNumber > ScrollBar1->maximum()) return;
  ScrollBar1->setValue(int(eventNumber - 1));
}

// The record file is shown from its first event when it is there to be read.
void TFormMain::showRecordFile() {
  RecordFile& f = session_->file;
  // The name stays as the user gave it (the recorder places it the same way later).
  const QString given = f.name();
  f.qualifyName(options_.userPath);
  const bool opened = !f.isOpen(RecordFile::Handle::View) && f.exists() && f.isRegularOrAbsent() &&
                      f.OpenRecordFile(RecordFile::Handle::View) >= 0;
  f.setName(given);
  if (!opened) return;
  view_->ApplyViewLayout();
  view_->ScrollBar1Change();
}

QList<QWidget*> TFormMain::forms() const {
  QList<QWidget*> list{const_cast<TFormMain*>(this), &messages_.form()};
  if (progress_) list << progress_.data();
  if (languageForm_) list << languageForm_.data();
  return list;
}

void TFormMain::LoadMonitorConfiguration() {
  const QList<QScreen*> screens = QGuiApplication::screens();
  if (screens.isEmpty()) return;
  for (QWidget* form : forms()) {
    QScreen* target = screens[screenIndexFor(config_.monitorOf(form->objectName()), int(screens.size()))];
    const QRect available = target->availableGeometry();
    QRect frame = form->frameGeometry();
    // A form stored on another monitor keeps its place relative to that monitor.
    if (!available.contains(frame.topLeft())) {
      QScreen* from = QGuiApplication::screenAt(frame.topLeft());
      if (from && from != target) frame.moveTopLeft(frame.topLeft() - from->availableGeometry().topLeft() +
                                                    available.topLeft());
    }
    const QSize decoration = frame.size() - form->geometry().size();
    const QRect fitted = fitOnScreen(frame, form->minimumSize() + decoration, available);
    if (form == this && isMaximized()) {
      // A maximised window fills the monitor it belongs to; its normal placement comes back with it.
      setWindowState(windowState() & ~Qt::WindowMaximized);
      move(fitted.topLeft());
      resize(fitted.size() - decoration);
      setWindowState(windowState() | Qt::WindowMaximized);
      continue;
    }
    form->move(fitted.topLeft());
    form->resize(fitted.size() - decoration);
  }
}

void TFormMain::AssignMainTexts() {
  for (const ActionText& t : actionTexts_) {
    t.action->setText(tx(t.caption));
    t.action->setIconText(tx(t.toolCaption ? t.toolCaption : t.caption).remove(QLatin1Char('&')));
    QString hint = t.hint ? tx(t.hint) : tx(t.caption).remove(QLatin1Char('&'));
    if (t.later) hint += QStringLiteral(" (") + tx(TextNo::LaterVersion) + QLatin1Char(')');
    t.action->setToolTip(hint);
    t.action->setStatusTip(hint);
  }
  for (const auto& [menu, text] : menuTexts_) menu->setTitle(tx(text));
  using namespace TextNo;
  for (const auto& [bar, menuText] : {std::pair{"tbFile", MenuFile}, std::pair{"tbRecorder", MenuRecorder},
                                      std::pair{"tbTools", MenuTools}, std::pair{"tbPorts", MenuPorts},
                                      std::pair{"tbView", MenuView}, std::pair{"tbCode", MenuCode},
                                      std::pair{"tbTime", MenuView}})
    if (auto* t = findChild<QToolBar*>(QString::fromLatin1(bar)))
      t->setWindowTitle(tx(ToolbarTitle) + QStringLiteral(": ") + tx(menuText).remove(QLatin1Char('&')));
  for (const auto& [widget, text] : widgetTexts_) {
    if (auto* b = qobject_cast<QGroupBox*>(widget)) b->setTitle(tx(text));
    else if (auto* l = qobject_cast<QLabel*>(widget)) l->setText(tx(text));
    else if (auto* p = qobject_cast<QPushButton*>(widget)) p->setText(tx(text));
  }
  btnREC->setToolTip(tx(TextNo::RecordHint));
  btnSTOP->setToolTip(tx(TextNo::StopHint));
  btnPAUSE->setToolTip(tx(TextNo::PauseHint));
  btnRECappend->setToolTip(tx(TextNo::AppendHint));
  btnRECreplace->setToolTip(tx(TextNo::ReplaceHint));
  btnViewHold->setToolTip(tx(TextNo::HoldHint));
  btnSwitchPinFromPanel->setToolTip(tx(TextNo::PinHint));
  btnCallComABOptions->setToolTip(tx(TextNo::PortSettings).remove(QLatin1Char('&')));
  btnScrollTop->setToolTip(tx(TextNo::ScrollFirst));
  btnScrollBottom->setToolTip(tx(TextNo::ScrollLast));
  emit triggerList_->headerDataChanged(Qt::Horizontal, 0, ::TriggerList::ColumnCount - 1);
  if (triggerList_->count())
    emit triggerList_->dataChanged(triggerList_->index(0, 0),
                                   triggerList_->index(triggerList_->count() - 1, ::TriggerList::ColumnCount - 1));
  widenTriggerColumnsToTitles();
  formTrig_->InitialLoads();
  formEnvConf_->InitialLoads();
  optionsCommands_->dialog().InitialLoads();
  formGoto_->InitialLoads();
  formExport_->InitialLoads();
  lblTriggerStatus_->setToolTip(tx(TextNo::TriggerStatusHint));
  setWindowTitle(tx(TextNo::WindowTitle));
  statusPanels_[2]->setText(tx(TextNo::MonitorInactive));
  refreshFileLine();
  showSimulationNote();
}

void TFormMain::SetLifePortLabels() {
  for (int i = 0; i < 8; ++i)
    lineLabels_[i]->setText(QString::fromLatin1(viewState_.pinNaming ? kLamps[i].usa : kLamps[i].v24));
}

void TFormMain::btnSwitchPinClick() {
  view_->setPinNaming(1 - viewState_.pinNaming);
  SetLifePortLabels();
  update();
}

// --- layout -------------------------------------------------------------------------

int TFormMain::bottomPanelHeight() const { return pnlAllBottom->height(); }

void TFormMain::setBottomPanelHeight(int height) {
  if (auto* l = layout()) l->activate();
  const QList<int> sizes = HSplitter1->sizes();
  const int total = sizes.value(0) + sizes.value(1);
  if (total <= 0) {
    HSplitter1->setSizes({1000, height});
    return;
  }
  HSplitter1->setSizes({qMax(0, total - height), height});
}

void TFormMain::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  FormResize();
}

void TFormMain::FormResize() {
  if (!HSplitter1) return;
  // The splitter's share, not the widget, while the window is not laid out yet.
  const int height = HSplitter1->sizes().value(1);
  if (height > kBottomPanelMinimum) {
    btnTrigListMinMax->setText(kArrowDown);
    btnTrigListMinMax->setToolTip(tx(TextNo::MinimiseList));
  } else {
    setBottomPanelHeight(kBottomPanelMinimum);
    btnTrigListMinMax->setText(kArrowUp);
    btnTrigListMinMax->setToolTip(tx(TextNo::RestoreList));
  }
}

void TFormMain::btnTrigListMinMaxClick() {
  const int height = HSplitter1->sizes().value(1);
  if (height > kBottomPanelMinimum) {
    lastLargeBottom_ = height;
    setBottomPanelHeight(kBottomPanelMinimum);
  } else {
    setBottomPanelHeight(qMax(lastLargeBottom_, kBottomPanelDefault));
  }
  FormResize();
}

void TFormMain::btnDefaultWindowSizeClick() {
  if (messages_.showMessage(TextNo::ResetWindows, TextNo::ResetWindowsQuestion, MessageKind::Question,
                            ButtonSet::YesNo) != ResultYes)
    return;
  setWindowState(Qt::WindowNoState);
  showNormal();
  move(0, 0);
  resize(800, 600);  // the minimum size of the window then applies
  setBottomPanelHeight(kBottomPanelDefault);
  setEnvironmentChanged(true);
  FormResize();
}

// --- closing ------------------------------------------------------------------------

bool TFormMain::FormCloseQuery() {
  Recorder& r = session_->recorder;
  // A paused recording still has its file open and no stop mark yet: it counts as recording.
  if (r.running() || r.recordDown()) return false;
  if (messages_.showMessage(TextNo::Information, TextNo::CloseQuestion, MessageKind::Question, ButtonSet::YesNo) !=
      ResultYes)
    return false;
  // A save that was cancelled or failed keeps the window open: the job is not lost unasked.
  if (environmentChanged() &&
      messages_.showMessage(TextNo::Confirmation, TextNo::SaveEnvironmentQuestion, MessageKind::Question,
                            ButtonSet::YesNo) == ResultYes &&
      !envCommands_->saveDialog())
    return false;
  cancelAnalysisWork();
  session_->file.CloseRecordFile(RecordFile::Handle::View);
  session_->file.CloseRecordFile(RecordFile::Handle::Recording);
  SaveConfiguration();
  return true;
}

void TFormMain::closeEvent(QCloseEvent* event) {
  if (!closingWithoutQuestions_ && !FormCloseQuery()) {
    event->ignore();
    return;
  }
  if (languageForm_) languageForm_->close();
  event->accept();
}

void TFormMain::AppExitExecute() { close(); }

void TFormMain::closeWithoutQuestions() {
  if (session_->recorder.recordDown() || session_->recorder.paused()) btnStopClick();
  closingWithoutQuestions_ = true;
  close();
}

void TFormMain::endOnSignal() {
  // A shutdown or a closed session asks nobody: the recording gets its stop mark and
  // the configuration is kept, as after a confirmed close.
  if (session_->recorder.recordDown() || session_->recorder.paused()) btnStopClick();
  session_->file.CloseRecordFile(RecordFile::Handle::View);
  SaveConfiguration();
  closingWithoutQuestions_ = true;
  close();
  QCoreApplication::exit(0);  // also leaves a message box that may be waiting
}

bool TFormMain::SaveConfiguration() {
  Configuration& c = config_;
  c.languageOffset = Texts::languageOffset();
  viewState_.storeInto(&c);
  c.recordMode = session_->recorder.recordMode();
  c.recorderAppend = session_->recorder.appendDown();
  c.recorderReplace = session_->recorder.replaceDown();
  c.viewHold = session_->recorder.hold();
  c.environmentFile = environmentFile_;
  c.window.windowState = isMaximized() ? 2 : isMinimized() ? 1 : 0;
  if (c.window.windowState == 0) {
    c.window.left = x();
    c.window.top = y();
    c.window.width = width();
    c.window.height = height();
  }
  const QPoint bottom = pnlAllBottom->mapTo(this, QPoint(0, 0));
  c.bottomPanels = {bottom.x(), bottom.y(), pnlAllBottom->width(), bottomPanelHeight()};
  const QPoint center = pnlCCenter->mapTo(this, QPoint(0, 0));
  c.centerPanel = {center.x(), center.y(), pnlCCenter->width(), 0};
  c.triggerListColumns = triggerPanel_->columnWidths();
  c.gotoDialog = formGoto_->placement();
  c.searchPageIndex = formGoto_->pageIndex();
  c.controlSearchPageIndex = formGoto_->searchKindIndex();
  c.exportDialog = formExport_->placement();
  const QList<QScreen*> screens = QGuiApplication::screens();
  for (QWidget* form : forms()) {
    QScreen* on = QGuiApplication::screenAt(form->frameGeometry().center());
    if (!on) on = form->screen();
    c.setMonitor(form->objectName(), qMax(0, int(screens.indexOf(on))));
  }
  ++configurationSaves_;
  QString error;
  if (c.save(options_.userPath + QStringLiteral("Vorlog.ini"), &error)) return true;
  VORLOG_REPORT(messages_, TextNo::Error, TextNo::ConfigurationNotSaved, QStringLiteral("\n\n") + error);
  return false;
}

bool TFormMain::environmentChanged() const { return session_->environmentChanged; }
void TFormMain::setEnvironmentChanged(bool changed) { session_->environmentChanged = changed; }

QString TFormMain::recordFileName() const { return session_->file.name(); }

// --- language -------------------------------------------------------------------------

void TFormMain::menuLangDEClick() {
  Texts::setLanguageOffset(0);
  action(QStringLiteral("actLangDE"))->setChecked(true);
  action(QStringLiteral("actLangDE"))->setEnabled(false);
  action(QStringLiteral("actLangEN"))->setChecked(false);
  action(QStringLiteral("actLangEN"))->setEnabled(true);
  SaveConfiguration();
  if (!languageForm_) languageForm_ = new TLanguageForm(this);
  languageForm_->InitialLoads();
  languageForm_->show();
}

void TFormMain::menuLangENClick() {
  Texts::setLanguageOffset(Texts::kEnglishOffset);
  action(QStringLiteral("actLangEN"))->setChecked(true);
  action(QStringLiteral("actLangEN"))->setEnabled(false);
  action(QStringLiteral("actLangDE"))->setChecked(false);
  action(QStringLiteral("actLangDE"))->setEnabled(true);
  SaveConfiguration();
  if (!languageForm_) languageForm_ = new TLanguageForm(this);
  languageForm_->InitialLoads();
  languageForm_->show();
}

// --- recorder -------------------------------------------------------------------------

void TFormMain::btnRecordClick() {
  // "Seen at" belongs to one recording.
  if (!session_->recorder.recordDown()) {
    triggerList_->clearSeenAt();
    // A new or replaced record file must not change under a search or export.
    cancelAnalysisWork();
  }
  session_->recorder.btnRecordClick();
  syncRecorderControls();
}

void TFormMain::btnStopClick() {
  // Stop only ends something: without a recording the button just stays down.
  if (session_->recorder.recordDown() || session_->recorder.paused()) session_->recorder.btnStopClick();
  syncRecorderControls();
}

void TFormMain::btnPauseClick() {
  session_->recorder.btnPauseClick();
  syncRecorderControls();
}

void TFormMain::btnViewHoldClick() {
  session_->recorder.btnViewHoldClick();
  syncRecorderControls();
}

void TFormMain::btnRECappendClick() {
  session_->recorder.btnRECappendClick();
  syncRecorderControls();
}

void TFormMain::btnRECreplaceClick() {
  session_->recorder.btnRECreplaceClick();
  syncRecorderControls();
}

// A checkable button or action has already flipped itself when its handler runs; the
// recorder's state is what they show.
void TFormMain::syncRecorderControls() {
  const Recorder& r = session_->recorder;
  setRecorderButtons(r.recordDown(), r.paused(), r.hold());
  btnRECappend->setChecked(r.appendDown());
  btnRECreplace->setChecked(r.replaceDown());
  action(QStringLiteral("actAppend"))->setChecked(r.appendDown());
  action(QStringLiteral("actReplace"))->setChecked(r.replaceDown());
  const bool recording = r.recordDown() || r.running();
  action(QStringLiteral("actStart"))->setChecked(recording);
  action(QStringLiteral("actStop"))->setChecked(!recording);
}

void TFormMain::setRecorderButtons(bool recDown, bool pauseDown, bool holdDown) {
  btnREC->setChecked(recDown);
  btnSTOP->setChecked(!recDown);
  btnPAUSE->setChecked(pauseDown);
  action(QStringLiteral("actPause"))->setChecked(pauseDown);
  btnViewHold->setChecked(holdDown);
  action(QStringLiteral("actFreezeDisplay"))->setChecked(holdDown);
  if (!holdDown) ledHold->SetLit(false);
}

void TFormMain::SetRecordOnControls() {
  action(QStringLiteral("actStart"))->setChecked(true);
  action(QStringLiteral("actStop"))->setChecked(false);
  DisableComSetup();
  LockControlsForRecording();
  formGoto_->setRecording(true);
  formExport_->setRecording(true);
}

void TFormMain::SetRecordOffControls() {
  action(QStringLiteral("actStart"))->setChecked(false);
  action(QStringLiteral("actStop"))->setChecked(true);
  EnableComSetup();
  UnlockControlsAfterRecording();
  formGoto_->setRecording(false);
  formExport_->setRecording(false);
  triggerPanel_->TriggerListSelectItem();
  statusPanels_[2]->setText(tx(TextNo::MonitorInactive));
}

QList<std::pair<QObject*, bool>> TFormMain::recordingLockTargets() const {
  QList<std::pair<QObject*, bool>> t;
  for (const char* name :
       {"actNewRecordFile", "actOpenRecordFile", "actSaveRecordFile", "actPrintReport", "actExport", "actExit",
        "actStart", "actTrigInsert", "actTrigRemove", "actTrigEdit", "actTrigUp", "actTrigDown", "actTrigGridReset",
        "actTrigMarkAll", "actTrigMarkNone", "actTrigMarkReverse", "actGotoMP", "actGotoTP", "actSearchEvent",
        "actDeltaTimeMeasurement", "actWinResetAll", "actLoadEnv", "actEnvConf", "actSaveEnv", "actLangDE",
        "actLangEN", "actOptions", "actStyleWindows", "actHelp", "actSearchForUpdate", "actHomepage",
        "actFeatureSuggestion", "actProblemReport", "actInfo", "actPortOptions", "actVirtualTap"})
    t.push_back({action(QString::fromLatin1(name)), false});
  t.push_back({action(QStringLiteral("actStop")), true});
  t.push_back({btnCallComABOptions, false});
  return t;
}

void TFormMain::SaveControlStates() { savedStates_.lock(recordingLockTargets()); }

void TFormMain::LockControlsForRecording() {
  if (savedStates_.locked()) return;
  SaveControlStates();
  ScrollBar1->hide();
  btnScrollTop->hide();
  btnScrollBottom->hide();
}

void TFormMain::UnlockControlsAfterRecording() {
  if (!savedStates_.locked()) return;
  savedStates_.restore();
  ScrollBar1->show();
  btnScrollTop->show();
  btnScrollBottom->show();
}

void TFormMain::EnableComSetup() {
  for (QComboBox* c : {cbPortBaudRate, cbPortDataBits, cbPortParity, cbPortStopBits}) c->setEnabled(true);
}

void TFormMain::DisableComSetup() {
  for (QComboBox* c : {cbPortBaudRate, cbPortDataBits, cbPortParity, cbPortStopBits}) c->setEnabled(false);
}

void TFormMain::portSettingChanged(int list, int index) {
  Ports& p = session_->ports;
  ValueList* lists[4] = {&p.baudRates, &p.dataBits, &p.parities, &p.stopBits};
  lists[list]->selected = index;
  setEnvironmentChanged(true);
  p.TryToOpenPorts();
}

void TFormMain::setStatusPanel6(const QString& text) {
  statusPanels_[5]->setText(text);
  // The wait for pending data is short, but the user should see it.
  statusPanels_[5]->repaint();
}

void TFormMain::setTriggerStatus(const QString& text) { lblTriggerStatus_->setText(text); }

void TFormMain::btnEnvConfClick() {
  formEnvConf_->setTexts(envGeneral_, envCustomer_, envDescription_);
  if (!formEnvConf_->edit(environmentFile_)) return;
  envGeneral_ = formEnvConf_->general();
  envCustomer_ = formEnvConf_->customer();
  envDescription_ = formEnvConf_->description();
  setEnvironmentChanged(true);
}

void TFormMain::startBlinkTimer() {
  if (!ledToggleTimer_.isActive()) ledToggleTimer_.start();
}

void TFormMain::LEDToggleTimerTimer() {
  Recorder& r = session_->recorder;
  if (r.hold()) ledHold->toggle();
  else ledHold->SetLit(false);
  if (r.running()) ledRecorder->toggle();
  else ledRecorder->SetLit(false);
  if (r.running()) {
    refreshFileLine();
    statusPanels_[2]->setText(
        tx(TextNo::MonitorEvents).arg(qMax<int64_t>(0, session_->file.recordingSize()) / int64_t(kRecordSize)));
    // A record file that cannot take more records ends the recording (it was reported once).
    if (session_->file.writeFailed()) btnStopClick();
  }
}

void TFormMain::setLightsMonitoring(bool on) {
  monitoring_ = on;
  if (on) {
    lastD1_ = session_->engine.counter(CntD1);
    lastD2_ = session_->engine.counter(CntD2);
    liveLightTimer_.start();
    refreshLiveLights();
  } else {
    liveLightTimer_.stop();
    for (StatusLight* l : leds_) l->SetLit(false);
  }
}

// While monitoring the lamps follow the lines; a data lamp is lit while bytes arrive.
void TFormMain::refreshLiveLights() {
  const CaptureEngine& e = session_->engine;
  const PendingEvent& p = e.pending();
  const int64_t d1 = e.counter(CntD1), d2 = e.counter(CntD2);
  leds_[0]->SetLit(d1 != lastD1_);
  leds_[1]->SetLit(d2 != lastD2_);
  lastD1_ = d1;
  lastD2_ = d2;
  for (int i = 2; i < 8; ++i) leds_[i]->SetLit(p.signalBytes[kLampSignal[i]] != 0);
}

// The selected event's statistics; while monitoring the lamps follow the lines instead.
void TFormMain::showStatistics(const CellStatistics& s) {
  statusPanels_[0]->setText(s.text);
  if (!monitoring_)
    for (int i = 0; i < 8; ++i) leds_[i]->SetLit(s.lights[static_cast<std::size_t>(i)]);
  setGauges(s.load, s.peak, s.quality);
}

// Load gauges are lime; quality is lime from 99 %, yellow from 90 % and red below.
void TFormMain::setGauges(int load, int peak, int quality) {
  setGauge(0, load);
  setGauge(1, peak);
  setGauge(2, quality);
}

void TFormMain::setGauge(int gauge, int percent) {
  if (gauge < 0 || gauge > 2) return;
  percent = qBound(0, percent, 100);
  const CellText::Rgb c = CellText::gaugeColour(static_cast<CellText::Gauge>(gauge), percent);
  // The percentage stands centred over the bar, readable whatever the bar covers.
  const QString sheet = QStringLiteral(
                            "QProgressBar { border: 1px solid palette(mid); text-align: center; color: black; }"
                            " QProgressBar::chunk { background: rgb(%1,%2,%3); }")
                            .arg(c.r)
                            .arg(c.g)
                            .arg(c.b);
  if (gauges_[gauge]->styleSheet() != sheet) gauges_[gauge]->setStyleSheet(sheet);
  gauges_[gauge]->setValue(percent);
}

void TFormMain::refreshFileLine() {
  RecordFile& f = session_->file;
  if (f.name().isEmpty()) {
    lblFileLine->setText(tx(TextNo::NoRecordFile));
    statusPanels_[1]->setText(tx(TextNo::NoRecordFile));
    return;
  }
  lblFileLine->setText(f.ShowRecordFileLine(options_.userPath));
  // A name without a folder lies in the recordings folder, as the recorder will take it.
  const QString path =
      f.name().contains(QLatin1Char('/')) ? f.name() : options_.userPath + QStringLiteral("recordings/") + f.name();
  statusPanels_[1]->setText(QFileInfo::exists(path) ? QFileInfo(path).fileName() : tx(TextNo::NoRecordFile));
}

void TFormMain::portLost(SerialPort* port, const QString& reason) {
  // End the recording first, so that its stop mark is written before anybody is asked anything.
  if (session_->recorder.recordDown() || session_->recorder.running()) btnStopClick();
  VORLOG_REPORT(messages_, TextNo::SerialError, TextNo::PortLost, portExtraText(*port, reason));
}
