#pragma once
#include <QDialog>
#include <cstdint>
#include <functional>

class EventRange;
class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;
class TrackedNumber;

// What the user chose in the report dialog; the window prints it.
struct ReportRequest {
  bool header = true, details = true, summary = true, newPage = false;
  bool all = true;
  int64_t from = 0, to = 0;
  bool toPdf = false;  // a PDF file instead of the printer
};

// TFormReport ("Print report"): the sections, the range of the event details, the
// printer with its set-up, and the job name. Modal; Print closes it with the request.
class TFormReport : public QDialog {
  Q_OBJECT
 public:
  explicit TFormReport(QWidget* parent = nullptr);

  // FormShow: the printer's name (empty: unknown), the job name and the events of the file.
  void FormShow(const QString& printerName, const QString& jobName, int64_t records);
  ReportRequest request() const;
  void setPrinterName(const QString& name);
  // The printer set-up and page set-up buttons call these (the platform dialogs).
  std::function<void()> onPrinterSetup, onPageSetup;

  // For tests.
  QCheckBox* headerBox() const { return cbHeadDetails_; }
  QCheckBox* detailsBox() const { return cbMPDetails_; }
  QCheckBox* summaryBox() const { return cbReportSummary_; }
  QCheckBox* newPageBox() const { return cbParOnNewPage_; }
  QRadioButton* allButton() const { return rbAll_; }
  QRadioButton* rangeButton() const { return rbRange_; }
  EventRange* range() const { return range_; }
  QPushButton* printButton() const { return btnPrint_; }
  QPushButton* pdfButton() const { return btnPdf_; }
  QLabel* printerLabel() const { return printer_; }
  QLabel* jobLabel() const { return job_; }

 signals:
  // The Help button: the manual page of this dialog.
  void helpRequested(int topic);

 private:
  void detailsToggled();
  void rangeModeChanged();

  QLabel* printer_;
  QLabel* job_;
  QCheckBox* cbHeadDetails_;
  QCheckBox* cbMPDetails_;
  QCheckBox* cbReportSummary_;
  QCheckBox* cbParOnNewPage_;
  QRadioButton* rbAll_;
  QRadioButton* rbRange_;
  TrackedNumber* from_;
  TrackedNumber* to_;
  EventRange* range_;
  QPushButton* btnReset_;
  QPushButton* btnPrint_;
  QPushButton* btnPdf_;
  bool toPdf_ = false;
};
