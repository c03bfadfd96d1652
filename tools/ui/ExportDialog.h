#pragma once
#include <QDialog>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "settings/Configuration.h"
#include "settings/ui/WidgetTexts.h"
#include "tools/Export.h"
#include "tools/ui/PolledJob.h"
#include "tools/ui/ToolHost.h"

class EventRange;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class RecordReader;
class TMessageForm;
class TrackedNumber;

// TFormExport: writes a range of recorded events to a CSV table, a bare data stream or a
// Wireshark capture. Not modal; the export runs on a job of its own with a progress bar;
// it closes when the file is complete.
class TFormExport : public QDialog {
  Q_OBJECT
 public:
  // What the save dialog is asked; the answer is the chosen file, empty when cancelled.
  struct SaveRequest {
    QString folder;
    QString defaultName;  // "Default.csv"
    QString suffix;       // "csv"
    QString filter;       // "CSV (comma separated) (*.csv)"
  };
  using SaveChooser = std::function<QString(const SaveRequest&)>;
  using Runner = std::function<Export::Result(RecordReader&, const QString&, const Export::Options&, WorkControl*)>;

  TFormExport(TMessageForm& box, ToolHost host, QWidget* parent = nullptr);
  ~TFormExport() override;

  void InitialLoads();
  // Shows the dialog with the range of the file as it is now.
  void openDialog();
  void setRecordCount(int64_t records);
  // Enables what the chosen format uses.
  void SetupActiveElements();

  void btnExportClick();
  void btnStopClick();
  void btnCancelClick();
  // Stops a running export and waits for it (the part written so far stays).
  void cancelExport();
  bool exporting() const { return job_.busy(); }
  void setRecording(bool recording);

  // The options as the dialog shows them, with the view's time mode and line names.
  Export::Options options() const;
  SaveRequest saveRequest() const;
  void setChooser(SaveChooser chooser) { chooser_ = std::move(chooser); }
  void setRunner(Runner runner) { runner_ = std::move(runner); }
  Export::Result lastResult() const { return result_; }

  void loadPlacement(const DialogPlacement& placement);
  DialogPlacement placement() const;

  // For tests.
  QCheckBox* check(const char* name) const;
  QComboBox* formatList() const { return cbExportFormat_; }
  QComboBox* quoteList() const { return cbTextFrame_; }
  QRadioButton* separatorButton(int i) const { return separators_[std::size_t(i)]; }
  QRadioButton* allButton() const { return rbAll_; }
  QRadioButton* rangeButton() const { return rbRange_; }
  EventRange* range() const { return range_; }
  QSpinBox* gapField() const { return gap_; }
  QPushButton* exportButton() const { return btnExport_; }
  QPushButton* stopButton() const { return btnStop_; }
  QProgressBar* progress() const { return progress_; }
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 signals:
  // The Help button: the manual page of this dialog.
  void helpRequested(int topic);

 private:
  QGroupBox* group(int text, const char* name, QWidget* parent);
  QCheckBox* checkBox(int text, const char* name, QWidget* parent);
  QLabel* textLabel(int text, QWidget* parent);
  void setButtonStates();
  void rangeModeChanged();
  void finishExport();

  TMessageForm& box_;
  ToolHost host_;
  SaveChooser chooser_;
  Runner runner_;
  CaptionTexts texts_;
  HintTexts hints_;
  std::vector<QWidget*> csvOnly_;
  QGroupBox* grpDataLine_;
  QGroupBox* grpPcap_;
  std::array<QRadioButton*, 4> separators_{};
  QComboBox* cbTextFrame_;
  QComboBox* cbExportFormat_;
  QSpinBox* gap_;
  QLabel* lineSettings_;
  QRadioButton* rbAll_;
  QRadioButton* rbRange_;
  TrackedNumber* from_;
  TrackedNumber* to_;
  EventRange* range_;
  QPushButton* btnRangeReset_;
  QProgressBar* progress_;
  QPushButton* btnHelp_;
  QPushButton* btnExport_;
  QPushButton* btnStop_;
  QPushButton* btnCancel_;
  bool recording_ = false;
  int64_t records_ = -1;  // the file's length the range was set for

  PolledJob job_;
  std::unique_ptr<RecordReader> reader_;
  Export::Options running_;
  QString target_;
  Export::Result result_;
};
