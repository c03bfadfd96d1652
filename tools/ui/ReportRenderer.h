#pragma once
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>

#include "tools/ReportSummary.h"
#include "view/ViewState.h"

class QPagedPaintDevice;
class QPaintDevice;
class RecordReader;
struct WorkControl;

// The printed report of a record file: a header and a footer band on every page, then
// the environment's header texts, the events of a range in the grid's layout (painted
// by the grid's own cell painters) and the summary of that range.
//
// It paints on any paged device (a PDF file, a CUPS printer) with Qt Gui alone, from
// any thread: nothing here touches a widget. The layout counts in the grid's pixels, so
// devices are set to 96 dots per inch (QPdfWriter::setResolution(96),
// QPrinter::setResolution(96)); text and lines stay vectors whatever the printer's own
// resolution.

// The environment's header texts: general in the order of EnvGeneral (the title
// first), customer in the order of EnvCustomer, the description one entry per line.
struct ReportHeaderTexts {
  QStringList general, customer, description;
};

struct ReportOptions {
  bool header = true, details = true, summary = true;
  bool newPage = false;  // the details and the summary start on pages of their own
  bool all = true;       // else from .. to (0 leaves that end open)
  int64_t from = 0, to = 0;
  ViewState view;  // layout, codes, time mode and line names of the details
  QString jobName;
  QDateTime printedAt;
  QLocale locale;
  ReportHeaderTexts headerTexts;
};

struct ReportResult {
  enum class Status { Done, Stopped, Failed };
  Status status = Status::Failed;
  int pages = 0;
  // Why it failed: a message number (print operation texts or the range texts) and its
  // arguments; 0 when it did not.
  int messageNumber = 0;
  QStringList arguments;
  ReportSummary::Range range;
  ReportSummary::Summary summary;
  QString message() const;
};

class ReportRenderer {
 public:
  ReportRenderer(RecordReader& reader, ReportOptions options);
  ~ReportRenderer();
  ReportRenderer(const ReportRenderer&) = delete;
  ReportRenderer& operator=(const ReportRenderer&) = delete;

  // The events the details and the summary cover. A reversed range or one that starts
  // beyond the last event makes render() fail before it touches the device.
  const ReportSummary::Range& range() const { return range_; }
  // The message number that refuses the range (0 when it is printable) and its arguments.
  int rangeMessage(QStringList* arguments) const;

  // The pages the report takes on this device: layout only, no record is read.
  int countPages(QPaintDevice& device);
  // Paints the report page by page. control->total is set to pages when known (> 0);
  // control->done counts finished pages and a stop request ends at the next page.
  ReportResult render(QPagedPaintDevice& device, WorkControl* control = nullptr, int pages = 0);
  // Called while the painter is still active when a report stops or fails, so that a
  // printer drops the job rather than printing half of it (QPrinter::abort).
  void setAbortHook(std::function<void()> hook) { abort_ = std::move(hook); }

 private:
  class Pass;
  RecordReader& reader_;
  ReportOptions options_;
  ReportSummary::Range range_;
  std::function<void()> abort_;
};
