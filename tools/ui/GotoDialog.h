#pragma once
#include <QDialog>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "settings/Configuration.h"
#include "settings/ui/WidgetTexts.h"
#include "tools/Search.h"
#include "tools/ui/PolledJob.h"
#include "tools/ui/ToolHost.h"

class EventRange;
class LinkedDataFields;
class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimeEdit;
class RecordReader;
class TMessageForm;
class TrackedNumber;

// TFormGoto: goto, search and measure. Not modal; it stays above the main window. A
// search runs on a job of its own while the window stays responsive; it moves the view
// only when it finds something.
class TFormGoto : public QDialog {
  Q_OBJECT
 public:
  enum Page { SearchPage = 0, MeasurePage = 1, TriggerPage = 2, EventPage = 3 };
  enum SearchKind { DataSearch = 0, SignalSearch = 1, ErrorSearch = 2, TimeSearch = 3 };
  using Finder =
      std::function<Search::Result(RecordReader&, const Search::Query&, int64_t, Search::Direction, WorkControl*)>;

  TFormGoto(TMessageForm& box, ToolHost host, QWidget* parent = nullptr);
  ~TFormGoto() override;

  void InitialLoads();
  // Opens on a page: the four commands of the main window.
  void showPage(Page page);
  // The number of records changed: goto 1 .. last (at last), measure 1 and last, trigger at 1000.
  void setRecordCount(int64_t records);

  // Forward, reverse, stop, cancel.
  void Search(Search::Direction direction);
  void btnStopClick();
  void btnCancelClick();
  // Stops a running search and waits for it: the record file is about to change.
  void cancelSearch();
  bool searching() const { return job_.busy(); }
  // While recording the file grows under the grid: no search is started.
  void setRecording(bool recording);

  // The query of the search sub-page on screen (data, signal, error, time).
  Search::Query searchQuery() const;
  void UpdateTimeMeasurement();

  // Placement and pages for the configuration.
  void loadPlacement(const DialogPlacement& placement, int page, int searchKind);
  DialogPlacement placement() const;
  int pageIndex() const;
  int searchKindIndex() const;

  // For tests.
  void setFinder(Finder finder) { finder_ = std::move(finder); }
  QTabWidget* pages() const { return pages_; }
  QTabWidget* searchKinds() const { return kinds_; }
  LinkedDataFields* dataFields() const { return data_; }
  QCheckBox* d1() const { return cbD1_; }
  QCheckBox* d2() const { return cbD2_; }
  QRadioButton* signalButton(int line, int code) const { return signals_[std::size_t(line)][std::size_t(code)]; }
  QRadioButton* errorButton(int error, int code) const { return errors_[std::size_t(error)][std::size_t(code)]; }
  QDateEdit* datePicker() const { return date_; }
  QTimeEdit* timePicker() const { return time_; }
  TrackedNumber* gotoNumber() const { return gotoNumber_; }
  TrackedNumber* triggerNumber() const { return triggerNumber_; }
  EventRange* measureRange() const { return measure_; }
  QLineEdit* measureField(int i) const { return measureFields_[std::size_t(i)]; }
  QPushButton* forwardButton() const { return btnForward_; }
  QPushButton* reverseButton() const { return btnReverse_; }
  QPushButton* stopButton() const { return btnStop_; }
  QProgressBar* progress() const { return progress_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 public:
  // Escape closes as Cancel does: a search does not go on behind a hidden window.
  void reject() override;

 signals:
  // The Help button: the manual page of this dialog.
  void helpRequested(int topic);

 private:
  QWidget* createSearchPage();
  QWidget* createDataPage();
  QWidget* createLinePage(bool errors);
  QWidget* createTimePage();
  QWidget* createMeasurePage();
  QWidget* createNumberPage(TrackedNumber*& number, const char* name, int label, int resetHint, int title, int note);
  QLabel* textLabel(int text, QWidget* parent);
  void setButtonStates();
  void startSearch(const Search::Query& query, Search::Direction direction);
  void finishSearch();
  void showInformation(int text);

  TMessageForm& box_;
  ToolHost host_;
  Finder finder_;
  CaptionTexts texts_;
  HintTexts hints_;
  QTabWidget* pages_;
  QTabWidget* kinds_;
  LinkedDataFields* data_;
  QCheckBox* cbD1_;
  QCheckBox* cbD2_;
  std::array<std::array<QRadioButton*, 3>, 6> signals_{};
  std::array<std::array<QRadioButton*, 3>, 3> errors_{};
  QDateEdit* date_;
  QTimeEdit* time_;
  TrackedNumber* gotoNumber_ = nullptr;
  TrackedNumber* triggerNumber_ = nullptr;
  TrackedNumber* measureFrom_ = nullptr;
  TrackedNumber* measureTo_ = nullptr;
  EventRange* measure_ = nullptr;
  std::array<QLineEdit*, 6> measureFields_{};  // from, to, delta, µs, ms, s
  QProgressBar* progress_;
  QPushButton* btnHelp_;
  QPushButton* btnForward_;
  QPushButton* btnReverse_;
  QPushButton* btnStop_;
  QPushButton* btnCancel_;
  bool recording_ = false;
  int64_t records_ = -1;  // the file's length the ranges were set for

  // The running search: its reader, what it looks for and what it found.
  PolledJob job_;
  std::unique_ptr<RecordReader> reader_;
  Search::Query query_;
  Search::Result result_;
};
