// The report dialog and the print job on a record file written by the test: the
// dialog's rules, a PDF that arrives whole, and targets that refuse.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPdfWriter>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include "app/MessageForm.h"
#include "settings/Texts.h"
#include "support/RecordFiles.h"
#include "tools/RecordReader.h"
#include "tools/ui/FormReport.h"
#include "tools/ui/PrintReportJob.h"
#include "tools/ui/TrackedNumber.h"

namespace {

// Answers every message box with its first button and keeps what it said.
struct Said {
  TMessageForm box;
  QStringList texts;
  QTimer timer;
  bool last = false;  // answer "No" to questions
  Said() {
    timer.setInterval(2);
    QObject::connect(&timer, &QTimer::timeout, [this] {
      if (!box.isShowingMessage()) return;
      // The first button on show (OK when it is the only one), or the last when asked to.
      QList<QPushButton*> shown;
      for (int i = 1; i <= 3; ++i) {
        auto* b = box.findChild<QPushButton*>(QStringLiteral("btn%1").arg(i));
        if (b && b->isVisible()) shown << b;
      }
      if (shown.isEmpty()) return;
      texts << box.findChild<QLabel*>("lblText")->text();
      (last ? shown.back() : shown.front())->click();
    });
    timer.start();
  }
};

TEST(ReportDialog, SectionsAndRangeRules) {
  TFormReport form;
  form.FormShow(QString(), "Vorlog - Report: rec.vrd", 300);
  EXPECT_TRUE(form.headerBox()->isChecked() && form.detailsBox()->isChecked() && form.summaryBox()->isChecked());
  EXPECT_FALSE(form.newPageBox()->isChecked());
  EXPECT_EQ(form.printerLabel()->text(), Texts::text(8902));  // no printer known
  EXPECT_EQ(form.jobLabel()->text(), "Vorlog - Report: rec.vrd");
  EXPECT_TRUE(form.allButton()->isChecked());

  form.rangeButton()->click();
  form.range()->setFrom(20);
  form.range()->setTo(40);
  ReportRequest r = form.request();
  EXPECT_FALSE(r.all);
  EXPECT_EQ(r.from, 20);
  EXPECT_EQ(r.to, 40);

  // Without event details there is no range to choose.
  form.detailsBox()->click();
  EXPECT_FALSE(form.rangeButton()->isEnabled());
  EXPECT_FALSE(form.allButton()->isEnabled());
  form.detailsBox()->click();
  EXPECT_TRUE(form.rangeButton()->isEnabled());
  // Back with "All": the range is every event again.
  form.allButton()->click();
  form.detailsBox()->click();
  form.detailsBox()->click();
  EXPECT_EQ(form.range()->from(), 1);
  EXPECT_EQ(form.range()->to(), 299);
}

class ReportJob : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  Said said;
  QPrinter printer;
  ReportOptions options;
  QString record;
  void SetUp() override {
    record = dir.filePath("rec.vrd");
    ASSERT_TRUE(writeRecordFile(record, 300));
    options.jobName = "Vorlog - Report: rec.vrd";
    options.printedAt = QDateTime::currentDateTime();
  }
};

TEST_F(ReportJob, PdfArrivesWholeAndIsReportedPrinted) {
  const QString pdf = dir.filePath("rec.pdf");
  ASSERT_TRUE(printReport(nullptr, said.box, printer, pdf, record, options));
  QFile f(pdf);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_TRUE(f.read(5) == "%PDF-");
  ASSERT_EQ(said.texts.size(), 1);
  EXPECT_TRUE(said.texts[0].contains(pdf)) << said.texts[0].toStdString();
  // No temporary file beside it.
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST_F(ReportJob, RefusalsNameTheTargetAndKeepOlderFiles) {
  const QString missing = dir.filePath("no-folder/rec.pdf");
  EXPECT_FALSE(printReport(nullptr, said.box, printer, missing, record, options));
  ASSERT_EQ(said.texts.size(), 1);
  EXPECT_TRUE(said.texts[0].contains(missing));
  EXPECT_FALSE(QFile::exists(missing));

  // A reversed range: a message, and the older report stays.
  const QString older = dir.filePath("older.pdf");
  {
    QFile f(older);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("older");
  }
  options.all = false;
  options.from = 50;
  options.to = 10;
  EXPECT_FALSE(printReport(nullptr, said.box, printer, older, record, options));
  ASSERT_EQ(said.texts.size(), 2);
  EXPECT_EQ(said.texts[1], Texts::text(9931).arg(50).arg(10));
  QFile f(older);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), "older");
}

TEST_F(ReportJob, PrinterThatIsNotThereIsNeverShownAsPrinted) {
  printer.setPrinterName("no-such-printer");
  EXPECT_FALSE(printReport(nullptr, said.box, printer, QString(), record, options));
  ASSERT_EQ(said.texts.size(), 1);
  EXPECT_TRUE(said.texts[0].contains("no-such-printer") || said.texts[0].contains(Texts::text(8902)))
      << said.texts[0].toStdString();
}

TEST_F(ReportJob, LongReportAsksFirst) {
  ASSERT_TRUE(writeRecordFile(record, 20000));  // some 280 pages in the vertical view
  const QString pdf = dir.filePath("long.pdf");
  said.last = true;
  EXPECT_FALSE(printReport(nullptr, said.box, printer, pdf, record, options));
  ASSERT_EQ(said.texts.size(), 1);  // the question, and nothing after "No"
  EXPECT_TRUE(said.texts[0].contains(QRegularExpression("\\b2\\d\\d\\b"))) << said.texts[0].toStdString();
  EXPECT_FALSE(QFile::exists(pdf));
}

TEST_F(ReportJob, FailedReadStopsWithTheReadMessage) {
  RecordReader reader(record);
  ReportRenderer renderer(reader, options);
  // The file loses its end after the range was taken: the details cannot read it.
  ASSERT_TRUE(QFile::resize(record, 100 * qint64(kRecordSize)));
  QBuffer out;
  out.open(QIODevice::WriteOnly);
  QPdfWriter writer(&out);
  writer.setResolution(96);
  const ReportResult r = renderer.render(writer);
  EXPECT_EQ(r.status, ReportResult::Status::Failed);
  EXPECT_EQ(r.messageNumber, 4003);
  EXPECT_TRUE(r.message().endsWith(record));
}

TEST_F(ReportJob, PageCountIsThePagesPrintedAndNoPageHoldsOnlyTheBands) {
  RecordReader reader(record);
  for (bool newPage : {false, true}) {
    for (int view : {1, 3, 4}) {
      options.newPage = newPage;
      options.view.codes.setViewMode(viewModeFromInt(view));
      ReportRenderer renderer(reader, options);
      QBuffer out;
      out.open(QIODevice::WriteOnly);
      QPdfWriter writer(&out);
      writer.setResolution(96);
      const int counted = renderer.countPages(writer);
      const ReportResult r = renderer.render(writer);
      EXPECT_EQ(r.status, ReportResult::Status::Done);
      EXPECT_EQ(r.pages, counted) << view << newPage;
      EXPECT_EQ(r.summary.events, 299);
    }
  }
  // Only the summary, each section on a new page: one page, not a blank one before it.
  options.header = options.details = false;
  ReportRenderer renderer(reader, options);
  QBuffer out;
  out.open(QIODevice::WriteOnly);
  QPdfWriter writer(&out);
  writer.setResolution(96);
  EXPECT_EQ(renderer.render(writer).pages, 1);
}

// VORLOG_SHOTS=folder: the report dialog.
TEST(ReportDialog, Screenshot) {
  const QString folder = qEnvironmentVariable("VORLOG_SHOTS");
  if (folder.isEmpty()) GTEST_SKIP() << "VORLOG_SHOTS not set";
  TFormReport form;
  form.FormShow("Office-LaserJet", "Vorlog - Report: modbus.vrd", 42);
  form.rangeButton()->click();
  form.range()->setFrom(2);
  form.range()->setTo(40);
  form.show();
  QEventLoop loop;
  QTimer::singleShot(30, &loop, &QEventLoop::quit);
  loop.exec();
  EXPECT_TRUE(form.grab().save(folder + "/report-dialog.png"));
}

}  // namespace
