#include "tools/ui/FormReport.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "settings/Texts.h"
#include "shell/HelpTopics.h"
#include "tools/ui/TrackedNumber.h"

namespace TextNo {
constexpr int Caption = 8900, Printer = 8901, UnknownPrinter = 8902, Include = 8903, To = 8904, HeadDetails = 8905;
constexpr int MPDetails = 8906, Summary = 8907, All = 8908, RangeFrom = 8909, Job = 8910, UnknownJob = 8911;
constexpr int Special = 8912, NewPageNote = 8913, NewPage = 8914;
constexpr int PrinterSetup = 9945, PageSetup = 9946, Print = 9948, PrintPdf = 9949, Reset = 6019, Cancel = 6003;
constexpr int Help = 6012;
}  // namespace TextNo

TFormReport::TFormReport(QWidget* parent) : QDialog(parent) {
  setObjectName("FormReport");
  setWindowTitle(Texts::text(TextNo::Caption));
  auto* top = new QVBoxLayout(this);

  auto* grpPrinter = new QGroupBox(Texts::text(TextNo::Printer), this);
  auto* printerRow = new QHBoxLayout(grpPrinter);
  printer_ = new QLabel(grpPrinter);
  printer_->setObjectName("lblPrinter");
  auto* setup = new QPushButton(Texts::text(TextNo::PrinterSetup), grpPrinter);
  setup->setObjectName("btnPrinterSetup");
  auto* page = new QPushButton(Texts::text(TextNo::PageSetup), grpPrinter);
  page->setObjectName("btnPageSetup");
  printerRow->addWidget(printer_, 1);
  printerRow->addWidget(setup);
  printerRow->addWidget(page);
  connect(setup, &QPushButton::clicked, this, [this] {
    if (onPrinterSetup) onPrinterSetup();
  });
  connect(page, &QPushButton::clicked, this, [this] {
    if (onPageSetup) onPageSetup();
  });
  top->addWidget(grpPrinter);

  auto* grpInclude = new QGroupBox(Texts::text(TextNo::Include), this);
  auto* include = new QGridLayout(grpInclude);
  cbHeadDetails_ = new QCheckBox(Texts::text(TextNo::HeadDetails), grpInclude);
  cbHeadDetails_->setObjectName("cbHeadDetails");
  cbMPDetails_ = new QCheckBox(Texts::text(TextNo::MPDetails), grpInclude);
  cbMPDetails_->setObjectName("cbMPDetails");
  cbReportSummary_ = new QCheckBox(Texts::text(TextNo::Summary), grpInclude);
  cbReportSummary_->setObjectName("cbReportSummary");
  for (QCheckBox* c : {cbHeadDetails_, cbMPDetails_, cbReportSummary_}) c->setChecked(true);
  rbAll_ = new QRadioButton(Texts::text(TextNo::All), grpInclude);
  rbAll_->setObjectName("rbAll");
  rbRange_ = new QRadioButton(Texts::text(TextNo::RangeFrom), grpInclude);
  rbRange_->setObjectName("rbRange");
  rbAll_->setChecked(true);
  from_ = new TrackedNumber(grpInclude, "edFrom");
  to_ = new TrackedNumber(grpInclude, "edTo");
  range_ = new EventRange(from_, to_, this);
  btnReset_ = new QPushButton(Texts::text(TextNo::Reset), grpInclude);
  btnReset_->setObjectName("btnReset");
  include->addWidget(cbHeadDetails_, 0, 0, 1, 4);
  include->addWidget(cbMPDetails_, 1, 0, 1, 4);
  include->addWidget(rbAll_, 2, 1);
  include->addWidget(rbRange_, 3, 1);
  include->addWidget(from_, 3, 2);
  include->addWidget(new QLabel(Texts::text(TextNo::To), grpInclude), 4, 1, Qt::AlignRight);
  include->addWidget(to_, 4, 2);
  include->addWidget(btnReset_, 4, 3);
  include->addWidget(cbReportSummary_, 5, 0, 1, 4);
  include->setColumnMinimumWidth(0, 16);
  top->addWidget(grpInclude);

  auto* grpSpecial = new QGroupBox(Texts::text(TextNo::Special), this);
  auto* special = new QVBoxLayout(grpSpecial);
  cbParOnNewPage_ = new QCheckBox(Texts::text(TextNo::NewPage) + Texts::text(TextNo::NewPageNote), grpSpecial);
  cbParOnNewPage_->setObjectName("cbParOnNewPage");
  special->addWidget(cbParOnNewPage_);
  top->addWidget(grpSpecial);

  auto* grpJob = new QGroupBox(Texts::text(TextNo::Job), this);
  auto* jobRow = new QVBoxLayout(grpJob);
  job_ = new QLabel(grpJob);
  job_->setObjectName("lblJob");
  jobRow->addWidget(job_);
  top->addWidget(grpJob);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* help = buttons->addButton(Texts::text(TextNo::Help), QDialogButtonBox::HelpRole);
  help->setObjectName("btnHelp");
  connect(help, &QPushButton::clicked, this, [this] { emit helpRequested(HelpTopic::Report); });
  btnPrint_ = buttons->addButton(Texts::text(TextNo::Print), QDialogButtonBox::AcceptRole);
  btnPrint_->setObjectName("btnPrint");
  btnPdf_ = buttons->addButton(Texts::text(TextNo::PrintPdf), QDialogButtonBox::AcceptRole);
  btnPdf_->setObjectName("btnPdf");
  QPushButton* cancel = buttons->addButton(Texts::text(TextNo::Cancel), QDialogButtonBox::RejectRole);
  cancel->setObjectName("btnCancel");
  top->addWidget(buttons);
  connect(btnPrint_, &QPushButton::clicked, this, [this] {
    toPdf_ = false;
    accept();
  });
  connect(btnPdf_, &QPushButton::clicked, this, [this] {
    toPdf_ = true;
    accept();
  });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  connect(cbMPDetails_, &QCheckBox::toggled, this, &TFormReport::detailsToggled);
  connect(rbAll_, &QRadioButton::toggled, this, &TFormReport::rangeModeChanged);
  connect(btnReset_, &QPushButton::clicked, range_, &EventRange::reset);
  // Typing a number means a range.
  connect(range_, &EventRange::changed, this, [this] {
    if (from_->hasFocus() || to_->hasFocus() || from_->isAncestorOf(focusWidget()) || to_->isAncestorOf(focusWidget()))
      rbRange_->setChecked(true);
  });
  rangeModeChanged();
}

void TFormReport::FormShow(const QString& printerName, const QString& jobName, int64_t records) {
  setPrinterName(printerName);
  job_->setText(jobName.isEmpty() ? Texts::text(TextNo::UnknownJob) : jobName);
  range_->setLast(std::max<int64_t>(1, records - 1));
  rbAll_->setChecked(true);
  // A recording of no events has no range to choose.
  cbMPDetails_->setEnabled(true);
  rangeModeChanged();
}

void TFormReport::setPrinterName(const QString& name) {
  printer_->setText(name.isEmpty() ? Texts::text(TextNo::UnknownPrinter) : name);
}

void TFormReport::detailsToggled() {
  const bool on = cbMPDetails_->isChecked();
  rbAll_->setEnabled(on);
  rbRange_->setEnabled(on);
  if (on && rbAll_->isChecked()) range_->reset();
  rangeModeChanged();
}

void TFormReport::rangeModeChanged() {
  const bool on = cbMPDetails_->isChecked();
  range_->setEnabled(on);
  btnReset_->setEnabled(on);
  if (rbAll_->isChecked()) range_->reset();
}

ReportRequest TFormReport::request() const {
  ReportRequest r;
  r.header = cbHeadDetails_->isChecked();
  r.details = cbMPDetails_->isChecked();
  r.summary = cbReportSummary_->isChecked();
  r.newPage = cbParOnNewPage_->isChecked();
  r.all = rbAll_->isChecked();
  r.from = range_->from();
  r.to = range_->to();
  r.toPdf = toPdf_;
  return r;
}
