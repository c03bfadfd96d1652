#include "tools/ui/PrintReportJob.h"

#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QPageSetupDialog>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QSaveFile>
#include <QTimer>
#include <atomic>
#include <thread>

#include "app/MessageForm.h"
#include "settings/Texts.h"
#include "tools/RecordReader.h"
#include "tools/WorkControl.h"
#include "tools/ui/FormReport.h"

namespace TextNo {
constexpr int Operation = 4000, OpenFailed = 4001, UnknownPrinter = 8902;
constexpr int AskPages = 9930, CannotPrint = 9934, Progress = 9935, Cancelled = 9936, Printed = 9937;
constexpr int PrinterError = 9947, SameFile = 9944, Cancel = 6003;
}  // namespace TextNo

namespace {
constexpr int kAskAbovePages = 100;
}

bool printReport(QWidget* parent, TMessageForm& box, QPrinter& printer, const QString& pdfTarget,
                 const QString& recordFile, ReportOptions options) {
  const QString title = Texts::text(TextNo::Operation);
  auto tell = [&](const QString& text, MessageKind kind = MessageKind::Error) {
    box.ShowMessage(text, title, kind, ButtonSet::Ok);
  };
  const bool toPdf = !pdfTarget.isEmpty();
  const QString deviceName = toPdf ? pdfTarget : printer.printerName();
  auto cannotPrint = [&](const QString& reason) {
    tell(Texts::text(TextNo::CannotPrint)
             .arg(deviceName.isEmpty() ? Texts::text(TextNo::UnknownPrinter) : deviceName, reason));
    return false;
  };

  // The report reads through its own read-only descriptor: recording goes on meanwhile.
  RecordReader reader(recordFile);
  if (!reader.isOpen()) {
    tell(Texts::text(TextNo::OpenFailed) + QStringLiteral("\n\n") + recordFile);
    return false;
  }
  ReportRenderer renderer(reader, options);
  QStringList arguments;
  if (const int refused = (options.details || options.summary) ? renderer.rangeMessage(&arguments) : 0) {
    QString text = Texts::text(refused);
    for (const QString& a : arguments) text = text.arg(a);
    tell(text);
    return false;
  }

  // The device: the PDF grows under a temporary name and replaces the target only whole.
  QSaveFile pdfFile(pdfTarget);
  std::unique_ptr<QPdfWriter> pdf;
  QPagedPaintDevice* device = &printer;
  if (toPdf) {
    if (identityOf(pdfTarget) == reader.identity()) {
      tell(Texts::text(TextNo::SameFile));
      return false;
    }
    if (QFileInfo(pdfTarget).isDir() || !pdfFile.open(QIODevice::WriteOnly)) return cannotPrint(pdfFile.errorString());
    pdf = std::make_unique<QPdfWriter>(&pdfFile);
    pdf->setPageLayout(printer.pageLayout());
    pdf->setResolution(96);
    pdf->setTitle(options.jobName);
    device = pdf.get();
  } else {
    if (printer.printerName().isEmpty() || !printer.isValid()) return cannotPrint(Texts::text(TextNo::PrinterError));
    printer.setResolution(96);
    printer.setDocName(options.jobName);
    renderer.setAbortHook([&printer] { printer.abort(); });
  }

  const int pages = renderer.countPages(*device);
  if (pages > kAskAbovePages &&
      box.ShowMessage(Texts::text(TextNo::AskPages).arg(pages), title, MessageKind::Question, ButtonSet::YesNo) !=
          ResultYes) {
    pdfFile.cancelWriting();
    return false;
  }

  // QPainter on a PDF writer or on a CUPS printer (which spools a PDF of its own) paints
  // from a worker thread; the window keeps its events, the progress and Cancel.
  WorkControl control;
  ReportResult result;
  std::atomic<bool> finished{false};
  QProgressDialog progress(Texts::text(TextNo::Progress).arg(0).arg(pages), Texts::text(TextNo::Cancel), 0, pages,
                           parent);
  progress.setObjectName("ReportProgress");
  progress.setWindowTitle(title);
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(300);
  QObject::connect(&progress, &QProgressDialog::canceled, [&] { control.requestStop(); });
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    const int done = int(control.done.load());
    progress.setValue(std::min(done, pages));
    progress.setLabelText(Texts::text(TextNo::Progress).arg(std::min(done + 1, pages)).arg(pages));
    if (finished) loop.quit();
  });
  poll.start(50);
  std::thread worker([&] {
    result = renderer.render(*device, &control, pages);
    finished = true;
  });
  loop.exec();
  worker.join();
  poll.stop();
  progress.reset();

  if (result.status == ReportResult::Status::Stopped) {
    pdfFile.cancelWriting();
    tell(Texts::text(TextNo::Cancelled), MessageKind::Information);
    return false;
  }
  if (result.status == ReportResult::Status::Failed) {
    pdfFile.cancelWriting();
    if (result.messageNumber == TextNo::CannotPrint)
      return cannotPrint(toPdf ? pdfFile.errorString() : Texts::text(TextNo::PrinterError));
    tell(result.message());
    return false;
  }
  if (toPdf ? !pdfFile.commit() : printer.printerState() == QPrinter::Error)
    return cannotPrint(toPdf ? pdfFile.errorString() : Texts::text(TextNo::PrinterError));
  tell(Texts::text(TextNo::Printed).arg(result.pages).arg(deviceName), MessageKind::Information);
  return true;
}

ReportPrinting::ReportPrinting(TMessageForm& box, QWidget* parent)
    : box_(box), parent_(parent), printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {}

ReportPrinting::~ReportPrinting() = default;

void ReportPrinting::run(const QString& recordFile, int64_t records, const ViewState& view,
                         const ReportHeaderTexts& header, DialogPlacement& placement) {
  TFormReport form(parent_);
  form.move(placement.left, placement.top);
  const QString jobName = ReportSummary::jobName(recordFile);
  form.onPrinterSetup = [&] {
    QPrintDialog dialog(printer_.get(), &form);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    if (dialog.exec() == QDialog::Accepted) form.setPrinterName(printer_->printerName());
  };
  form.onPageSetup = [&] {
    QPageSetupDialog dialog(printer_.get(), &form);
    dialog.exec();
  };
  QObject::connect(&form, &TFormReport::helpRequested, &form, [this](int topic) {
    if (onHelp) onHelp(topic);
  });
  form.FormShow(printer_->printerName(), jobName, records);
  const int answer = form.exec();
  placement.left = form.x();
  placement.top = form.y();
  if (answer != QDialog::Accepted) return;
  const ReportRequest request = form.request();

  QString target;
  if (request.toPdf) {
    const QString folder = pdfFolder_.isEmpty() ? QFileInfo(recordFile).absolutePath() : pdfFolder_;
    target = QFileDialog::getSaveFileName(parent_, Texts::text(8900),
                                          folder + QLatin1Char('/') + QFileInfo(recordFile).completeBaseName() +
                                              QStringLiteral(".pdf"),
                                          QStringLiteral("PDF (*.pdf)"));
    if (target.isEmpty()) return;
    if (QFileInfo(target).suffix().isEmpty()) target += QStringLiteral(".pdf");
    pdfFolder_ = QFileInfo(target).absolutePath();
  }
  ReportOptions o;
  o.header = request.header;
  o.details = request.details;
  o.summary = request.summary;
  o.newPage = request.newPage;
  o.all = request.all || !request.details;  // without details the summary covers every event
  o.from = request.from;
  o.to = request.to;
  o.view = view;
  o.jobName = jobName;
  o.printedAt = QDateTime::currentDateTime();
  o.headerTexts = header;
  printReport(parent_, box_, *printer_, target, recordFile, o);
}
