#include "tools/ui/ExportDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/MessageForm.h"
#include "settings/Texts.h"
#include "settings/ui/WidgetTexts.h"
#include "shell/HelpTopics.h"
#include "tools/RecordReader.h"
#include "tools/ui/TrackedNumber.h"

namespace {
namespace TextNo {
constexpr int Information = 203, Error = 206;
constexpr int Caption = 8550, ExportButton = 8551, Data = 8552, DataLine = 8553, ControlLine = 8554, ErrorGroup = 8555;
constexpr int Prefix = 8556, Postfix = 8557, Plus = 8558, Pfl = 8559, Header = 8560, LinePrefix = 8561;
constexpr int EventNo = 8562, Timestamp = 8563, Description = 8564, OutputFormat = 8565, Separator = 8566;
constexpr int IncludeText = 8567, FileFormat = 8568, Comma = 8569, DoubleQuote = 8573, RawFormat = 8576;
constexpr int Range = 8578, CsvSuffix = 8579, CsvName = 8580, CsvFilter = 8581, RawSuffix = 8583, RawName = 8584;
constexpr int RawFilter = 8585, ResetRangeHint = 8655;
constexpr int Bin = 8003, Dec = 8009, Hex = 8013, Oct = 8015, D1 = 8801, S1 = 8803, To = 8904, All = 8908;
constexpr int RangeFrom = 8909, Cancel = 6003, Help = 6012, Stop = 6015, Reset = 6019;
constexpr int PcapFormat = 9770, PcapFilter = 9771, PcapSuffix = 9772, Gap = 9773, GapAuto = 9774;
constexpr int LineSettingsText = 9775, Stopped = 9776, Capture = 9777, GapHint = 9778;
}  // namespace TextNo

QString tx(int n) { return Texts::text(n); }

const char* const kSignalChecks[6] = {"cbEventS1", "cbEventM1", "cbEventS2", "cbEventM2", "cbEventM5", "cbEventM3"};
constexpr char kSeparators[4] = {',', ';', '\t', ' '};

// "9600 8N1" as the port panel's lists say it; 2 stop bits at 5 data bits are 1.5.
QString lineText(const LineSettings& l) {
  static const char kParity[] = "NOEMS";
  const QString stop = l.stopBits == 2 && l.dataBits == 5 ? QStringLiteral("1.5") : QString::number(l.stopBits);
  return QStringLiteral("%1 %2%3%4").arg(l.baud).arg(l.dataBits).arg(QLatin1Char(kParity[int(l.parity) % 5])).arg(stop);
}

QString defaultSaveFile(const TFormExport::SaveRequest& r) {
  QFileDialog d(nullptr, QString(), r.folder, r.filter);
  d.setAcceptMode(QFileDialog::AcceptSave);
  d.setDefaultSuffix(r.suffix);
  d.selectFile(r.defaultName);
  // The dialog asks before it replaces a file (its default).
  if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return {};
  return d.selectedFiles().first();
}

}  // namespace

TFormExport::TFormExport(TMessageForm& box, ToolHost host, QWidget* parent)
    : QDialog(parent),
      box_(box),
      host_(std::move(host)),
      chooser_(&defaultSaveFile),
      runner_([](RecordReader& reader, const QString& target, const Export::Options& options, WorkControl* control) {
        return Export::run(reader, target, options, control);
      }) {
  setObjectName(QStringLiteral("FormExport"));
  setModal(false);
  auto* v = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;

  // Left: what goes into a line.
  QGroupBox* data = group(TextNo::Data, "grpData", this);
  auto* dv = new QGridLayout(data);
  grpDataLine_ = group(TextNo::DataLine, "grpDataLine", data);
  auto* lines = new QVBoxLayout(grpDataLine_);
  lines->addWidget(checkBox(TextNo::D1, "cbEventD1", grpDataLine_));
  lines->addWidget(checkBox(TextNo::D1 + 1, "cbEventD2", grpDataLine_));
  lines->addStretch();
  QGroupBox* numbers = group(TextNo::Plus, "grpNumbers", data);
  auto* nv = new QVBoxLayout(numbers);
  const std::pair<int, const char*> numberChecks[4] = {
      {TextNo::Hex, "cbDataHEX"}, {TextNo::Dec, "cbDataDEC"}, {TextNo::Oct, "cbDataOCT"}, {TextNo::Bin, "cbDataBIN"}};
  for (const auto& [text, name] : numberChecks) nv->addWidget(checkBox(text, name, numbers));
  QGroupBox* control = group(TextNo::ControlLine, "grpControlLine", data);
  auto* cv = new QGridLayout(control);
  for (int i = 0; i < 6; ++i) cv->addWidget(checkBox(TextNo::S1 + i, kSignalChecks[i], control), i % 3, i / 3);
  QGroupBox* errors = group(TextNo::ErrorGroup, "grpError", data);
  auto* ev = new QVBoxLayout(errors);
  ev->addWidget(checkBox(TextNo::Pfl, "cbEventPFL", errors));
  ev->addStretch();
  dv->addWidget(grpDataLine_, 0, 0);
  dv->addWidget(numbers, 0, 1);
  dv->addWidget(control, 1, 0);
  dv->addWidget(errors, 1, 1);
  QGroupBox* prefix = group(TextNo::Prefix, "grpPrefix", data);
  auto* pv = new QVBoxLayout(prefix);
  pv->addWidget(checkBox(TextNo::LinePrefix, "cbEventPrefix", prefix));
  pv->addWidget(checkBox(TextNo::EventNo, "cbEventMPNo", prefix));
  pv->addWidget(checkBox(TextNo::Timestamp, "cbEventTimestamp", prefix));
  QGroupBox* postfix = group(TextNo::Postfix, "grpPostfix", data);
  auto* sv = new QVBoxLayout(postfix);
  sv->addWidget(checkBox(TextNo::Description, "cbDescription", postfix));
  sv->addStretch();
  dv->addWidget(prefix, 2, 0);
  dv->addWidget(postfix, 2, 1);
  csvOnly_ = {numbers, control, errors, prefix, postfix};
  top->addWidget(data, 1);

  // Right: how the file is written, and which events.
  auto* right = new QVBoxLayout;
  QGroupBox* output = group(TextNo::OutputFormat, "grpOutput", this);
  auto* og = new QGridLayout(output);
  og->addWidget(textLabel(TextNo::FileFormat, output), 0, 0);
  cbExportFormat_ = new QComboBox(output);
  cbExportFormat_->setObjectName(QStringLiteral("cbExportFormat"));
  og->addWidget(cbExportFormat_, 0, 1);
  auto* separatorBox = new QWidget(output);
  auto* sg = new QGridLayout(separatorBox);
  sg->setContentsMargins(0, 0, 0, 0);
  sg->addWidget(textLabel(TextNo::Separator, separatorBox), 0, 0);
  auto* separatorGroup = new QButtonGroup(this);
  for (int i = 0; i < 4; ++i) {
    auto* b = new QRadioButton(separatorBox);
    b->setObjectName(QStringLiteral("rbSeparator%1").arg(i));
    texts_.emplace_back(b, TextNo::Comma + i);
    separatorGroup->addButton(b, i);
    separators_[std::size_t(i)] = b;
    sg->addWidget(b, 1 + i / 2, i % 2);
  }
  separators_[1]->setChecked(true);
  og->addWidget(separatorBox, 1, 0, 1, 2);
  QLabel* quoteLabel = textLabel(TextNo::IncludeText, output);
  cbTextFrame_ = new QComboBox(output);
  cbTextFrame_->setObjectName(QStringLiteral("cbTextFrame"));
  og->addWidget(quoteLabel, 2, 0);
  og->addWidget(cbTextFrame_, 2, 1);
  QCheckBox* header = checkBox(TextNo::Header, "cbColumnHeader", output);
  og->addWidget(header, 3, 0, 1, 2);
  csvOnly_.insert(csvOnly_.end(), {separatorBox, quoteLabel, cbTextFrame_, header});

  grpPcap_ = group(TextNo::Capture, "grpCapture", output);
  auto* pg = new QGridLayout(grpPcap_);
  QLabel* gapLabel = textLabel(TextNo::Gap, grpPcap_);
  gap_ = new QSpinBox(grpPcap_);
  gap_->setObjectName(QStringLiteral("edFrameGap"));
  // -1 stands for the default of three and a half character times at the line settings.
  gap_->setRange(-1, 60'000'000);
  gap_->setValue(-1);
  gap_->setSingleStep(100);
  hints_.emplace_back(gap_, TextNo::GapHint);
  hints_.emplace_back(gapLabel, TextNo::GapHint);
  lineSettings_ = new QLabel(grpPcap_);
  lineSettings_->setObjectName(QStringLiteral("lblLineSettings"));
  pg->addWidget(gapLabel, 0, 0);
  pg->addWidget(gap_, 0, 1);
  pg->addWidget(lineSettings_, 1, 0, 1, 2);
  og->addWidget(grpPcap_, 4, 0, 1, 2);
  og->setColumnStretch(1, 1);
  right->addWidget(output);

  QGroupBox* range = group(TextNo::Range, "grpRange", this);
  auto* rg = new QGridLayout(range);
  rbAll_ = new QRadioButton(range);
  rbAll_->setObjectName(QStringLiteral("rbtMPAll"));
  texts_.emplace_back(rbAll_, TextNo::All);
  rbRange_ = new QRadioButton(range);
  rbRange_->setObjectName(QStringLiteral("rbtMPRange"));
  texts_.emplace_back(rbRange_, TextNo::RangeFrom);
  from_ = new TrackedNumber(range, "edRangeFrom");
  to_ = new TrackedNumber(range, "edRangeTo");
  range_ = new EventRange(from_, to_, this);
  btnRangeReset_ = new QPushButton(range);
  btnRangeReset_->setObjectName(QStringLiteral("btnResetRange"));
  texts_.emplace_back(btnRangeReset_, TextNo::Reset);
  hints_.emplace_back(btnRangeReset_, TextNo::ResetRangeHint);
  rg->addWidget(rbAll_, 0, 0, 1, 3);
  rg->addWidget(rbRange_, 1, 0);
  rg->addWidget(from_, 1, 1);
  rg->addWidget(textLabel(TextNo::To, range), 2, 0, Qt::AlignRight);
  rg->addWidget(to_, 2, 1);
  rg->addWidget(btnRangeReset_, 1, 2, 2, 1);
  rg->setColumnStretch(1, 1);
  right->addWidget(range);
  right->addStretch();
  top->addLayout(right, 1);
  v->addLayout(top, 1);

  progress_ = PolledJob::makeBar(this, "pbExport");
  v->addWidget(progress_);

  auto* buttons = new QHBoxLayout;
  auto button = [&](QPushButton*& b, const char* name, int text) {
    return b = captionedButton(this, name, text, texts_);
  };
  buttons->addWidget(button(btnHelp_, "btnHelp", TextNo::Help));
  connect(btnHelp_, &QPushButton::clicked, this, [this] { emit helpRequested(HelpTopic::Export); });
  buttons->addStretch();
  buttons->addWidget(button(btnExport_, "btnExport", TextNo::ExportButton));
  buttons->addWidget(button(btnStop_, "btnStop", TextNo::Stop));
  buttons->addWidget(button(btnCancel_, "btnCancel", TextNo::Cancel));
  btnExport_->setDefault(true);
  v->addLayout(buttons);

  for (QCheckBox* c : findChildren<QCheckBox*>()) c->setChecked(true);
  InitialLoads();
  cbTextFrame_->setCurrentIndex(0);
  cbExportFormat_->setCurrentIndex(int(Export::Format::Csv));
  rbAll_->setChecked(true);
  setRecordCount(1);

  connect(cbExportFormat_, &QComboBox::currentIndexChanged, this, &TFormExport::SetupActiveElements);
  connect(rbAll_, &QRadioButton::toggled, this, &TFormExport::rangeModeChanged);
  connect(btnRangeReset_, &QPushButton::clicked, range_, &EventRange::reset);
  connect(btnExport_, &QPushButton::clicked, this, &TFormExport::btnExportClick);
  connect(btnStop_, &QPushButton::clicked, this, &TFormExport::btnStopClick);
  connect(btnCancel_, &QPushButton::clicked, this, &TFormExport::btnCancelClick);
  job_.setup(progress_, [this] { finishExport(); });
  rangeModeChanged();
  SetupActiveElements();
  setButtonStates();
}

TFormExport::~TFormExport() { job_.cancel(); }

QGroupBox* TFormExport::group(int text, const char* name, QWidget* parent) {
  auto* g = new QGroupBox(parent);
  g->setObjectName(QString::fromLatin1(name));
  texts_.emplace_back(g, text);
  return g;
}

QCheckBox* TFormExport::checkBox(int text, const char* name, QWidget* parent) {
  auto* c = new QCheckBox(parent);
  c->setObjectName(QString::fromLatin1(name));
  texts_.emplace_back(c, text);
  return c;
}

QLabel* TFormExport::textLabel(int text, QWidget* parent) {
  auto* l = new QLabel(parent);
  texts_.emplace_back(l, text);
  return l;
}

QCheckBox* TFormExport::check(const char* name) const { return findChild<QCheckBox*>(QString::fromLatin1(name)); }

void TFormExport::InitialLoads() {
  setWindowTitle(tx(TextNo::Caption));
  applyWidgetTexts(texts_, hints_);
  gap_->setSpecialValueText(tx(TextNo::GapAuto));
  const int quote = qMax(0, cbTextFrame_->currentIndex());
  const int format = cbExportFormat_->currentIndex() < 0 ? int(Export::Format::Csv) : cbExportFormat_->currentIndex();
  const QSignalBlocker quietQuote(cbTextFrame_);
  const QSignalBlocker quietFormat(cbExportFormat_);
  cbTextFrame_->clear();
  for (int i = 0; i < 3; ++i) cbTextFrame_->addItem(tx(TextNo::DoubleQuote + i));
  cbExportFormat_->clear();
  for (int n : {TextNo::RawFormat, TextNo::RawFormat + 1, TextNo::PcapFormat}) cbExportFormat_->addItem(tx(n));
  cbTextFrame_->setCurrentIndex(quote);
  cbExportFormat_->setCurrentIndex(format);
}

void TFormExport::openDialog() {
  // A dialog without a chosen format takes CSV.
  if (cbExportFormat_->currentIndex() < 0) cbExportFormat_->setCurrentIndex(int(Export::Format::Csv));
  if (host_.records && host_.records() != records_) setRecordCount(host_.records());
  SetupActiveElements();
  setButtonStates();
  show();
  raise();
  activateWindow();
}

void TFormExport::setRecordCount(int64_t records) {
  records_ = records;
  range_->setLast(std::max<int64_t>(1, records - 1));
}

void TFormExport::SetupActiveElements() {
  const auto format = Export::Format(cbExportFormat_->currentIndex());
  for (QWidget* w : csvOnly_) w->setEnabled(format == Export::Format::Csv);
  // A capture holds both directions; the gap and the line settings make its packets.
  grpDataLine_->setEnabled(format != Export::Format::Pcapng);
  grpPcap_->setEnabled(format == Export::Format::Pcapng);
  grpPcap_->setVisible(format == Export::Format::Pcapng);
  if (host_.lineSettings) lineSettings_->setText(tx(TextNo::LineSettingsText).arg(lineText(host_.lineSettings())));
}

void TFormExport::rangeModeChanged() {
  // "All" puts the range back to the whole file; "Range from" lets it be chosen.
  if (rbAll_->isChecked()) range_->reset();
  range_->setEnabled(rbRange_->isChecked());
  btnRangeReset_->setEnabled(rbRange_->isChecked());
}

Export::Options TFormExport::options() const {
  Export::Options o;
  o.format = Export::Format(qBound(0, cbExportFormat_->currentIndex(), 2));
  o.d1 = check("cbEventD1")->isChecked();
  o.d2 = check("cbEventD2")->isChecked();
  if (o.format == Export::Format::Pcapng) o.d1 = o.d2 = true;
  for (std::size_t i = 0; i < o.signalLines.size(); ++i) o.signalLines[i] = check(kSignalChecks[i])->isChecked();
  o.errors = check("cbEventPFL")->isChecked();
  o.hex = check("cbDataHEX")->isChecked();
  o.dec = check("cbDataDEC")->isChecked();
  o.oct = check("cbDataOCT")->isChecked();
  o.bin = check("cbDataBIN")->isChecked();
  o.header = check("cbColumnHeader")->isChecked();
  o.mark = check("cbEventPrefix")->isChecked();
  o.eventNumber = check("cbEventMPNo")->isChecked();
  o.timeStamp = check("cbEventTimestamp")->isChecked();
  o.description = check("cbDescription")->isChecked();
  for (std::size_t i = 0; i < separators_.size(); ++i)
    if (separators_[i]->isChecked()) o.separator = kSeparators[i];
  // An item that begins with "{" means no quote, otherwise its first character is the quote.
  const QString quote = cbTextFrame_->currentText();
  o.quote = quote.isEmpty() || quote.startsWith(QLatin1Char('{')) ? 0 : quote.at(0).toLatin1();
  if (host_.timeMode) o.timeMode = host_.timeMode();
  if (host_.pinNaming) o.pinNaming = host_.pinNaming();
  o.locale = QLocale();
  if (rbRange_->isChecked()) {
    o.from = range_->from();
    o.to = range_->to();
  }
  o.gapMicros = gap_->value();
  if (host_.lineSettings) o.line = host_.lineSettings();
  return o;
}

TFormExport::SaveRequest TFormExport::saveRequest() const {
  SaveRequest r;
  const QString record = host_.recordFile ? host_.recordFile() : QString();
  r.folder = record.isEmpty() ? QString() : QFileInfo(record).absolutePath();
  switch (Export::Format(cbExportFormat_->currentIndex())) {
    case Export::Format::Raw:
      r.suffix = tx(TextNo::RawSuffix);
      r.defaultName = tx(TextNo::RawName);
      r.filter = tx(TextNo::RawFilter);
      break;
    case Export::Format::Pcapng:
      r.suffix = tx(TextNo::PcapSuffix);
      r.defaultName = tx(TextNo::CsvName);
      r.filter = tx(TextNo::PcapFilter);
      break;
    default:
      r.suffix = tx(TextNo::CsvSuffix);
      r.defaultName = tx(TextNo::CsvName);
      r.filter = tx(TextNo::CsvFilter);
      break;
  }
  r.defaultName += QLatin1Char('.') + r.suffix;
  return r;
}

void TFormExport::setRecording(bool recording) {
  recording_ = recording;
  setButtonStates();
}

void TFormExport::setButtonStates() {
  btnExport_->setEnabled(!exporting() && !recording_);
  btnStop_->setEnabled(exporting());
}

void TFormExport::btnExportClick() {
  if (exporting() || recording_) return;
  const QString target = chooser_ ? chooser_(saveRequest()) : QString();
  if (target.isEmpty()) return;  // cancelled: nothing written, the dialog stays
  auto reader = std::make_unique<RecordReader>();
  const QString path = host_.recordFile ? host_.recordFile() : QString();
  if (path.isEmpty() || !reader->open(path)) {
    box_.ShowMessage(reader->message(), tx(TextNo::Error), MessageKind::Error, ButtonSet::Ok);
    return;
  }
  reader_ = std::move(reader);
  running_ = options();
  target_ = target;
  result_ = {};
  job_.start([this](WorkControl& control) { result_ = runner_(*reader_, target_, running_, &control); });
  setButtonStates();
}

void TFormExport::finishExport() {
  reader_.reset();
  progress_->setValue(0);
  setButtonStates();
  switch (result_.status) {
    case Export::Status::Done:
      hide();
      break;
    case Export::Status::Stopped:
      // The file keeps the complete lines written so far; the user learns how many.
      // Said after the current handler: a recording that stopped the export starts first.
      QTimer::singleShot(0, this, [this, text = tx(TextNo::Stopped).arg(result_.events).arg(target_)] {
        box_.ShowMessage(text, tx(TextNo::Information), MessageKind::Information, ButtonSet::Ok);
      });
      hide();
      break;
    case Export::Status::Failed:
      // The dialog stays, so the user can choose another file or range.
      box_.ShowMessage(result_.message, tx(TextNo::Error), MessageKind::Error, ButtonSet::Ok);
      break;
  }
}

void TFormExport::btnStopClick() { job_.stop(); }

void TFormExport::cancelExport() { job_.cancel(); }

void TFormExport::btnCancelClick() {
  cancelExport();
  hide();
}

void TFormExport::reject() {
  cancelExport();
  QDialog::reject();
}

void TFormExport::loadPlacement(const DialogPlacement& placement) { move(placement.left, placement.top); }

DialogPlacement TFormExport::placement() const {
  return {x(), y(), isMinimized() ? 1 : isMaximized() ? 2 : 0, isVisible()};
}

void TFormExport::closeEvent(QCloseEvent* event) {
  cancelExport();
  QDialog::closeEvent(event);
}

void TFormExport::hideEvent(QHideEvent* event) {
  QDialog::hideEvent(event);
  if (QWidget* main = parentWidget() ? parentWidget()->window() : nullptr) {
    main->raise();
    main->activateWindow();
  }
}
