#pragma once
#include <QDialog>
#include <QStringList>

#include "settings/HardwareProfile.h"
#include "settings/ui/WidgetTexts.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class TFormSelector;
class TMessageForm;

// What the options show and hand back: the workstation's settings.
struct OptionsSettings {
  bool beginRecordOnProgStart = false;
  bool displayHoldOnProgStart = false;
  bool checkForUpdatesAtProgStart = false;
  QStringList skins;  // skin 0 ("Windows", the system's style) first
  QList<int> skinNumbers;  // the skin number of each entry; when empty, the index is the number
  int skin = 0;            // the skin number
  QStringList ports;  // COM numbers both lines can be wired to
  QStringList portDetails;  // per port: device, description and what its driver reports (tool tips)
  int indexA = 0;     // -1: the line has no port
  int indexB = 0;
  QString profileName;  // the file name in profiles/ without its extension
  HardwareProfile profile;
  PortValueLists standards;  // every value a profile may pick from
};

// TFormOptions: four pages (program start, display, interface, update). Shown without
// blocking the main window; OK saves a changed hardware profile (asking before it
// overwrites one) and hands everything back through accepted(); Cancel hands back
// nothing and puts back the skin the dialog opened with.
class TFormOptions : public QDialog {
  Q_OBJECT
 public:
  enum Page { ProgramStart = 0, Display = 1, Interface = 2, Update = 3 };

  TFormOptions(TMessageForm& box, QString userPath, QWidget* parent = nullptr);
  void InitialLoads();
  // FormShow: the dialog shows these settings on this page.
  void open(const OptionsSettings& settings, int page);
  OptionsSettings current() const { return state_; }
  bool optionsChanged() const { return changed_; }
  TFormSelector& selector() { return *selector_; }

  void cbComAChange(int index);
  void cbComBChange(int index);
  void cbThemeChange(int index);
  void cbSelHwProfileSelect(int index);
  void btnSelectBaudRatesClick();
  void btnEditDatabitsClick();
  void btnEditStopbitsClick();
  // False when the dialog stays open (a question answered No, a refused name, a failed save).
  bool btnOKClick();
  void btnAbortClick();
  void reject() override;

 signals:
  void accepted(const OptionsSettings& settings);
  void skinChosen(int skin);  // applied at once; Cancel chooses the one it opened with
  void helpRequested(int topic);

 private:
  void showPorts();
  void showProfile();
  void message(int text, const QString& extra, int title);
  void selectorSaved(int mode, const QStringList& values, const QStringList& standard);

  TMessageForm& box_;
  QString userPath_;
  TFormSelector* selector_;
  OptionsSettings state_, opened_;
  bool changed_ = false;
  bool filling_ = false;  // fields set by the program, not typed
  QTabWidget* pages_;
  QCheckBox *cbBeginRecAtProgStart_, *cbDispHoldAtProgStart_, *cbCheckForUpdatesOnStartup_;
  QComboBox *cbTheme_, *cbComA_, *cbComB_, *cbSelHwProfile_;
  QLineEdit *edInterfaceName_, *edManufacturer_, *edDatabits_, *edParities_, *edStopbits_;
  QPlainTextEdit* edBaudrates_;
  CaptionTexts captions_;
  std::vector<std::pair<int, int>> pageTitles_;
};
Q_DECLARE_METATYPE(OptionsSettings)
