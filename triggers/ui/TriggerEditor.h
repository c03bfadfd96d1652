#pragma once
#include <QDialog>
#include <functional>

#include "settings/ui/WidgetTexts.h"
#include "triggers/TriggerActions.h"
#include "triggers/TriggerRecord.h"

class LinkedDataFields;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class QTimeEdit;
class QToolButton;
class TFormTrigParams;
class TMessageForm;

// TFormTrig: creates a new trigger or changes one. Created once and reused: it keeps the
// values of the trigger it showed last. It hands back a plain TriggerRecord; the owner
// puts it into the list.
class TFormTrig : public QDialog {
  Q_OBJECT
 public:
  enum Mode { EditMode = 1, InsertMode = 2 };
  // The test buttons start the values on screen; both return false with *failure filled.
  using SoundTest = std::function<bool(const QString& path, bool repeat, ActionFailure* failure)>;
  using CommandTest = std::function<bool(const QString& program, const QString& params, ActionFailure* failure)>;
  // Page indexes of the tab widget: the five condition pages, then the action page.
  enum Page { DataPage, SignalPage, ErrorPage, TimePage, InactivityPage, ActionPage };

  explicit TFormTrig(TMessageForm& box, QWidget* parent = nullptr);
  ~TFormTrig() override;

  void setTests(SoundTest sound, CommandTest command);
  void InitialLoads();

  // Shown modally; true when OK handed a trigger back in *out.
  bool insertTrigger(TriggerRecord* out);
  bool editTrigger(const TriggerRecord& t, TriggerRecord* out);

  // The steps of the two, for the owner and for tests: prepare, then show or click.
  void prepareInsert();
  void prepareEdit(const TriggerRecord& t);
  void LoadTrigger(const TriggerRecord& t);
  void SetFormValuesToTrigger(TriggerRecord& t) const;
  TriggerRecord formValues() const;
  TriggerRecord result() const { return result_; }
  Mode mode() const { return mode_; }
  bool changesMade() const { return changesMade_; }

  void btnOKClick();
  void btnCancelClick();
  void cbTrigRecChange();
  void TrigTabVisible(int page);
  int conditionPage() const { return page_; }
  void btnNowClick();
  void btnSoundTestClick();
  void btnCommandTestClick();
  void btnBrowseSoundClick();
  void btnBrowseCommandClick();
  void btnPoolClick();
  TFormTrigParams* pool() const { return pool_; }
  LinkedDataFields* dataFields() const { return data_; }
  QTabWidget* tabs() const { return tabs_; }

  // Escape and the window's close button are Cancel.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 signals:
  // The Help button: the manual page of this dialog.
  void helpRequested(int topic);

 private:
  QWidget* createDataPage();
  QWidget* createSignalPage();
  QWidget* createErrorPage();
  QWidget* createTimePage();
  QWidget* createInactivityPage();
  QWidget* createActionPage();
  void enableActionGroups();
  void markChanged();
  void watchChanges();
  void refuse(const QString& text, QWidget* focus);
  void showFailure(const ActionFailure& failure);
  void showByteCount();
  QLabel* textLabel(int text, QWidget* parent);
  QCheckBox* textCheck(int text, QWidget* parent, const char* name = nullptr);

  TMessageForm& box_;
  SoundTest soundTest_;
  CommandTest commandTest_;
  Mode mode_ = InsertMode;
  bool changesMade_ = false;
  int loading_ = 0;
  int page_ = DataPage;
  TriggerRecord result_;
  CaptionTexts texts_;  // labels, boxes and buttons with one text
  HintTexts hints_;

  QLineEdit* edTrigName;
  QCheckBox* ckTrigActive;
  QLineEdit* edTrigDescr;
  QComboBox* cbTrigRec;
  QLabel* lblAt;
  QComboBox* cbTrigEvent;
  QTabWidget* tabs_;
  QRadioButton* rbTxData;
  QRadioButton* rbRxData;
  QRadioButton* rbBothData_ = nullptr;
  LinkedDataFields* data_;
  QLabel* lblBytes_;
  QButtonGroup* signals_[6];
  QCheckBox* errors_[3];
  QDateEdit* dateReached_;
  QTimeEdit* timeReached_;
  QToolButton* btnNow_;
  QSpinBox* csInActivityTime;
  QCheckBox* watch_[11];
  QCheckBox* cbPlaySound;
  QLineEdit* edSoundPath;
  QToolButton* btnBrowseSound;
  QToolButton* btnTestSound;
  QCheckBox* ckEndless;
  QCheckBox* cbStartExtCommand;
  QLineEdit* edCommandPath;
  QLineEdit* edCommandParams;
  QToolButton* btnBrowseCommand;
  QToolButton* btnPool;
  QToolButton* btnTestCommand;
  QPushButton* btnOK;
  QPushButton* btnCancel;
  QPushButton* btnHelp;
  TFormTrigParams* pool_;
};
