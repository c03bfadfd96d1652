#pragma once
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "settings/Configuration.h"
#include "tools/ui/ReportRenderer.h"

class QPrinter;
class QWidget;
class TMessageForm;

// Prints a report of a record file on the printer or into a PDF file: the range is
// checked first, a report of more than 100 pages asks before it starts, and the pages
// are painted off the window thread while a progress window offers Cancel. Whatever
// keeps it from printing is shown with the printer's (or the file's) name; a report
// that did not print is never reported as printed. True when it was printed.
bool printReport(QWidget* parent, TMessageForm& box, QPrinter& printer, const QString& pdfTarget,
                 const QString& recordFile, ReportOptions options);

// The window's "Print report" command: the dialog, the printer it keeps (with its set-up)
// from one report to the next, and the job.
class ReportPrinting {
 public:
  ReportPrinting(TMessageForm& box, QWidget* parent);
  ~ReportPrinting();
  ReportPrinting(const ReportPrinting&) = delete;
  ReportPrinting& operator=(const ReportPrinting&) = delete;

  // Shows the dialog for the file the grid shows (where it stood last time, which it
  // keeps in placement) and prints what the user chose.
  void run(const QString& recordFile, int64_t records, const ViewState& view, const ReportHeaderTexts& header,
           DialogPlacement& placement);
  // The dialog's Help button.
  std::function<void(int topic)> onHelp;

 private:
  TMessageForm& box_;
  QWidget* parent_;
  std::unique_ptr<QPrinter> printer_;
  QString pdfFolder_;
};
