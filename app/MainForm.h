#pragma once
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <memory>
#include <vector>

#include "app/ControlStates.h"
#include "app/StartupArgs.h"
#include "capture/Clock.h"
#include "capture/PortRegistry.h"
#include "recording/RecorderUi.h"
#include "settings/Configuration.h"
#include "view/ViewState.h"

class CaptureSession;
class EventGrid;
class EventView;
struct CellStatistics;
class GuiMessages;
class EnvironmentCommands;
class RecordFileCommands;
class OptionsCommands;
class TapCommands;
class UpdateCommands;
class HelpCommands;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QScrollBar;
class QSplitter;
class QWidget;
class Recorder;
class SerialPort;
class SimulatedLink;
class WindowReplay;
class SkinLoader;
class StatusLight;
class ProcessLauncher;
class TFormEnvConf;
class TFormExport;
class ReportPrinting;
class TFormGoto;
struct ToolHost;
class TFormMain;
class TFormTrig;
class TriggerActions;
class TriggerEngine;
class TriggerList;
class TriggerPanel;
class TLanguageForm;
class TProgressForm;

// The recorder's view of the main window.
class GuiRecorderUi : public RecorderUi {
 public:
  explicit GuiRecorderUi(TFormMain& form) : form_(form) {}
  void setStatusText(int textNumber) override;
  void showNotice(const QString& text) override;
  void setRecordOnControls() override;
  void setRecordOffControls() override;
  void setButtons(bool recDown, bool pauseDown, bool holdDown) override;
  void startBlinkTimer() override;
  void setLightsMonitoring(bool on) override;
  void refreshFileLine() override;
  void resetGridColumns() override;
  void clearGrid() override;
  void redrawGridFromFile() override;
  void scrollToLast() override;
  void startRedrawThread() override;
  void stopRedrawThread() override;
  void showPortNotes(const QStringList& lines) override;

 private:
  TFormMain& form_;
};

// Where a form lands on a screen: fully inside the available area, no smaller than
// its minimum; a form larger than the area keeps the area's top left corner in view.
QRect fitOnScreen(const QRect& frame, const QSize& minimum, const QRect& available);
// The screen a stored monitor number means: one beyond the last is the last one.
int screenIndexFor(int monitor, int screenCount);

// Whether a record file named at start can be used: it can be read, or its folder
// can take a new file. Empty when it can, otherwise the reason in the user's words.
QString recordFileProblem(const QString& path);

struct MainFormOptions {
  QStringList arguments;  // after the program name
  QString userPath;       // ends with '/'
  bool simulate = false;  // the simulated link even when serial ports are there
  QString scenario;       // empty: the built-in one; "stress"; else a scenario file
  QString replay;         // a record file played back as the link: FILE.vrd[,SPEED]
  // Where serial devices come from; empty: the system's list. Tests pass their own.
  PortRegistry::Enumerator enumerator;
};

class TFormMain : public QMainWindow {
  Q_OBJECT
 public:
  TFormMain(const MainFormOptions& options, GuiMessages& messages, TProgressForm* progress = nullptr,
            QWidget* parent = nullptr);
  ~TFormMain() override;

  // Start-up and shutdown.
  void StartupPrepare();
  void FormShow();
  void FormResize();
  void btnDefaultWindowSizeClick();
  // Moves every form onto the monitor the configuration names for it.
  void LoadMonitorConfiguration();
  // True when the window may close; asks the user.
  bool FormCloseQuery();
  void AppExitExecute();
  // Ends the program without questions (after a screenshot): a recording is stopped first.
  void closeWithoutQuestions();
  // SIGTERM, SIGINT, SIGHUP: ends a recording with its stop mark, saves the configuration, quits.
  void endOnSignal();

  // Recorder commands: the buttons and their actions.
  void btnRecordClick();
  void btnStopClick();
  void btnPauseClick();
  void btnViewHoldClick();
  void btnRECappendClick();
  void btnRECreplaceClick();

  void SetRecordOnControls();
  void SetRecordOffControls();
  void SaveControlStates();
  void LockControlsForRecording();
  void UnlockControlsAfterRecording();
  void EnableComSetup();
  void DisableComSetup();
  void setLightsMonitoring(bool on);
  void setRecorderButtons(bool recDown, bool pauseDown, bool holdDown);
  void startBlinkTimer();
  void LEDToggleTimerTimer();
  void refreshFileLine();
  void setStatusPanel6(const QString& text);
  // "Waiting for START TRIGGER (n)" and the like, in a field of its own beside panel 6.
  void setTriggerStatus(const QString& text);

  // Ports, lights and texts.
  void BuildPortLists();
  void SetLifePortLabels();
  void btnSwitchPinClick();
  void btnTrigListMinMaxClick();
  // The header texts of the environment (Ctrl+O).
  void btnEnvConfClick();
  // Goto, search and measure, and the export: their windows on the right page.
  void btnSearchClick();
  void btnMeasTimeClick();
  void btnGotoTPClick();
  void btnGotoMPClick();
  void btnExportClick();
  // The printed report of the file shown (dialog, printer set-up, progress).
  void btnPrintReportClick();
  // A search or export under way stops before the record file changes or a recording starts.
  void cancelAnalysisWork();
  void menuLangDEClick();
  void menuLangENClick();
  void LoadLanguageConfig();
  void AssignMainTexts();
  bool SaveConfiguration();

  // State for the program and its tests.
  CaptureSession& session() { return *session_; }
  EnvironmentCommands& environmentCommands() { return *envCommands_; }
  RecordFileCommands& recordFileCommands() { return *recordFileCommands_; }
  OptionsCommands& optionsCommands() { return *optionsCommands_; }
  UpdateCommands& updateCommands() { return *updateCommands_; }
  SkinLoader& skins() { return *skins_; }
  HelpCommands& helpCommands() { return *helpCommands_; }
  // The environment file in use; the window title shows it.
  void setEnvironmentFileName(const QString& path);
  // Another record file for the job; shown by showRecordFile().
  void useRecordFile(const QString& name);
  // The port panel's lists show what the port lists hold.
  void refreshPortCombos();
  void showRecordFile();
  Recorder& recorder();
  SimulatedLink* link() const { return simulated_ ? link_.get() : nullptr; }
  bool simulated() const { return simulated_; }
  QAction* action(const QString& name) const;
  int bottomPanelHeight() const;
  void setBottomPanelHeight(int height);
  QString recordFileName() const;
  QString environmentFileName() const { return environmentFile_; }
  QString commandLineRecordFile() const { return commandLineRecordFile_; }
  int configurationSaves() const { return configurationSaves_; }
  bool environmentChanged() const;
  void setEnvironmentChanged(bool changed);
  bool beginRecordingAtStart() const { return beginRecording_; }
  void setBeginRecordingAtStart(bool on) { beginRecording_ = on; }
  const Configuration& configuration() const { return config_; }
  Configuration& configurationToChange() { return config_; }
  bool startupDone() const { return startupDone_; }
  EventView& eventView() { return *view_; }
  // Scrolls the file so that this event is the first row.
  void showEventAtTop(long long eventNumber);
  EventGrid* grid() const { return DrawGrid1; }
  QScrollBar* scrollBar() const { return ScrollBar1; }
  const ViewState& viewState() const { return viewState_; }
  TriggerList& triggerList() { return *triggerList_; }
  TriggerEngine& triggerEngine() { return *triggerEngine_; }
  TriggerPanel& triggerPanel() { return *triggerPanel_; }
  TFormTrig& triggerEditor() { return *formTrig_; }
  TFormEnvConf& environmentHeader() { return *formEnvConf_; }
  TFormGoto& gotoForm() { return *formGoto_; }
  TFormExport& exportForm() { return *formExport_; }
  // The record file the grid shows, with its folder.
  QString recordFilePath() const;
  // The header texts: EnvGeneral and EnvCustomer order, the description one entry a line.
  QStringList headerGeneral() const { return envGeneral_; }
  QStringList headerCustomer() const { return envCustomer_; }
  QStringList headerDescription() const { return envDescription_; }
  // For LoadEnvironment: the texts of the file become the dialog's.
  void setHeaderTexts(const QStringList& general, const QStringList& customer, const QStringList& description) {
    envGeneral_ = general;
    envCustomer_ = customer;
    envDescription_ = description;
  }

 signals:
  // The first showing has loaded the environment and the record file.
  void startupFinished();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  struct ActionText {
    QAction* action;
    int caption;
    int hint;
    int toolCaption;  // 0: the caption
    bool later;       // its dialog comes with a later version
  };

  QAction* makeAction(const char* name, int caption, int hint, int toolCaption = 0, bool later = false);
  void createActions();
  void createMenus();
  void createToolBars();
  QWidget* createGridArea();
  QWidget* createControlStrip();
  QWidget* createRecorderPanel();
  QWidget* createLivePortPanel();
  QWidget* createLineLoadPanel();
  QWidget* createBottomPanel();
  void createStatusBar();
  void setUpPorts();
  void applyConfiguration();
  void portSettingChanged(int list, int index);
  void portLost(SerialPort* port, const QString& reason);
  void refreshLiveLights();
  void setGauges(int load, int peak, int quality);
  void setGauge(int gauge, int percent);
  void showStatistics(const CellStatistics& statistics);
  void syncRecorderControls();
  void showSimulationNote();
  void useStartupEnvironment();
  void widenTriggerColumnsToTitles();
  void useStartupRecordFile();
  QList<QWidget*> forms() const;
  QList<std::pair<QObject*, bool>> recordingLockTargets() const;

  MainFormOptions options_;
  GuiMessages& messages_;
  QPointer<TProgressForm> progress_;
  MonotonicClock clock_;
  GuiRecorderUi ui_;
  std::unique_ptr<SimulatedLink> link_;
  std::unique_ptr<WindowReplay> replay_;
  std::unique_ptr<CaptureSession> session_;
  std::unique_ptr<EnvironmentCommands> envCommands_;
  std::unique_ptr<RecordFileCommands> recordFileCommands_;
  std::unique_ptr<OptionsCommands> optionsCommands_;
  std::unique_ptr<TapCommands> tapCommands_;
  std::unique_ptr<UpdateCommands> updateCommands_;
  std::unique_ptr<SkinLoader> skins_;
  std::unique_ptr<HelpCommands> helpCommands_;
  Configuration config_;
  bool simulated_ = false;
  bool noPortsFound_ = false;
  bool firstStart_ = true;
  bool configurationFound_ = false;
  bool shown_ = false;
  bool startupDone_ = false;
  bool environmentFromCommandLine_ = false;
  bool closingWithoutQuestions_ = false;
  bool beginRecording_ = false;
  bool monitoring_ = false;
  ViewState viewState_;
  std::unique_ptr<EventView> view_;
  int configurationSaves_ = 0;
  int lastLargeBottom_ = 300;
  int initialBottom_ = 300;
  int64_t lastD1_ = 0, lastD2_ = 0;
  QString environmentFile_ = QStringLiteral("Default.ven");
  QString commandLineRecordFile_;
  QString scenarioNote_;

  std::vector<ActionText> actionTexts_;
  ControlStates savedStates_;
  QTimer ledToggleTimer_;
  QTimer liveLightTimer_;

  // Widgets named as the rest of the program refers to them.
  QSplitter* HSplitter1 = nullptr;
  QWidget* pnlAllBottom = nullptr;
  QWidget* pnlCCenter = nullptr;
  EventGrid* DrawGrid1 = nullptr;
  QScrollBar* ScrollBar1 = nullptr;
  QPushButton* btnScrollTop = nullptr;
  QPushButton* btnScrollBottom = nullptr;
  QLabel* lblFileLine = nullptr;
  QPushButton* btnREC = nullptr;
  QPushButton* btnSTOP = nullptr;
  QPushButton* btnPAUSE = nullptr;
  QPushButton* btnRECappend = nullptr;
  QPushButton* btnRECreplace = nullptr;
  QPushButton* btnViewHold = nullptr;
  StatusLight* ledRecorder = nullptr;
  StatusLight* ledHold = nullptr;
  QLabel* lblRecorderLight = nullptr;
  QLabel* lblHoldLight = nullptr;
  QWidget* pnlRecorder = nullptr;
  QWidget* pnlLivePort = nullptr;
  QWidget* pnlLineLoad = nullptr;
  StatusLight* leds_[8] = {};
  QLabel* lineLabels_[8] = {};
  QLabel* lblPinRow = nullptr;
  QLabel* lblLineLoad = nullptr;
  QLabel* gaugeLabels_[3] = {};
  QProgressBar* gauges_[3] = {};
  QLabel* comboLabels_[4] = {};
  QComboBox* cbPortBaudRate = nullptr;
  QComboBox* cbPortDataBits = nullptr;
  QComboBox* cbPortParity = nullptr;
  QComboBox* cbPortStopBits = nullptr;
  QPushButton* btnCallComABOptions = nullptr;
  QPushButton* btnSwitchPinFromPanel = nullptr;
  QLabel* lblTriggerList = nullptr;
  QPushButton* btnTrigListMinMax = nullptr;
  TriggerList* triggerList_ = nullptr;
  TriggerPanel* triggerPanel_ = nullptr;
  TFormTrig* formTrig_ = nullptr;
  TFormEnvConf* formEnvConf_ = nullptr;
  TFormGoto* formGoto_ = nullptr;
  TFormExport* formExport_ = nullptr;
  std::unique_ptr<ReportPrinting> reportPrinting_;
  ToolHost toolHost();
  QLabel* lblTriggerStatus_ = nullptr;
  QStringList envGeneral_, envCustomer_, envDescription_;
  std::unique_ptr<ProcessLauncher> launcher_;
  std::unique_ptr<TriggerActions> triggerActions_;
  std::unique_ptr<TriggerEngine> triggerEngine_;
  void createTriggerEngine();
  QLabel* statusPanels_[6] = {};
  QPointer<TLanguageForm> languageForm_;

  QMenu* menus_[12] = {};
  std::vector<std::pair<QMenu*, int>> menuTexts_;
  std::vector<std::pair<QWidget*, int>> widgetTexts_;  // group boxes, labels and buttons with one text

  friend class GuiRecorderUi;
};
