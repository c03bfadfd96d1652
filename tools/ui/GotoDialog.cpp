#include "tools/ui/GotoDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateEdit>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "app/MessageForm.h"
#include "settings/Texts.h"
#include "settings/ui/WidgetTexts.h"
#include "shell/HelpTopics.h"
#include "tools/Measure.h"
#include "tools/RecordReader.h"
#include "tools/ui/TrackedNumber.h"
#include "triggers/ui/LinkedDataFields.h"

namespace {
namespace TextNo {
constexpr int Information = 203, Error = 206, NoDataLine = 2204;
constexpr int Caption = 8600, GotoEvent = 8601, EventNumber = 8602, EventPage = 8603, EventNote = 8604;
constexpr int ResetEventHint = 8605, TriggerPage = 8606, TriggerNumber = 8607, ResetTriggerHint = 8608;
constexpr int SearchPage = 8609, SearchNote = 8610, DataPage = 8611, DataSequence = 8612, Ascii = 8613, Hex = 8614;
constexpr int D1 = 8615, D2 = 8616, SignalPage = 8617, ControlLine = 8618, SignalIgnore = 8619, SignalNote = 8622;
constexpr int ErrorPage = 8631, ErrorKind = 8632, ErrorIgnore = 8633, ParityError = 8636, TimePage = 8639;
constexpr int DateTime = 8640, TimeNote = 8641, MeasurePage = 8642, MeasureGroup = 8643, From = 8644, To = 8645;
constexpr int AbsoluteFrom = 8646, Microseconds = 8649, Rounded = 8652, ResetRangeHint = 8655;
constexpr int Progress = 8656, Bin = 8657, SignalFirst = 8803, ZeroWarning = 9013, Now = 9903;
constexpr int Cancel = 6003, Help = 6012, Forward = 6014, Stop = 6015, Reverse = 6016, Reset = 6019;
constexpr int ErrorNote = 9779;
}  // namespace TextNo

QString tx(int n) { return Texts::text(n); }

constexpr int kTriggerNumbers = 1000;

QPushButton* resetButton(QWidget* parent, const char* name) { return namedWidget<QPushButton>(parent, name); }

QLineEdit* resultField(QWidget* parent, const char* name) {
  auto* f = namedWidget<QLineEdit>(parent, name);
  f->setReadOnly(true);
  f->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  return f;
}

}  // namespace

TFormGoto::TFormGoto(TMessageForm& box, ToolHost host, QWidget* parent)
    : QDialog(parent),
      box_(box),
      host_(std::move(host)),
      finder_([](RecordReader& reader, const Search::Query& query, int64_t selected, Search::Direction direction,
                 WorkControl* control) { return Search::find(reader, query, selected, direction, control); }) {
  setObjectName(QStringLiteral("FormGoto"));
  setModal(false);
  auto* v = new QVBoxLayout(this);
  pages_ = new QTabWidget(this);
  pages_->setObjectName(QStringLiteral("pcGoto"));
  pages_->addTab(createSearchPage(), QString());
  pages_->addTab(createMeasurePage(), QString());
  pages_->addTab(createNumberPage(triggerNumber_, "edTriggerNumber", TextNo::TriggerNumber, TextNo::ResetTriggerHint, 0,
                                  TextNo::SearchNote),
                 QString());
  pages_->addTab(createNumberPage(gotoNumber_, "edEventNumber", TextNo::EventNumber, TextNo::ResetEventHint,
                                  TextNo::GotoEvent, TextNo::EventNote),
                 QString());
  v->addWidget(pages_, 1);

  auto* progressRow = new QHBoxLayout;
  progressRow->addWidget(textLabel(TextNo::Progress, this));
  progress_ = PolledJob::makeBar(this, "pbSearch");
  progressRow->addWidget(progress_, 1);
  v->addLayout(progressRow);

  auto* buttons = new QHBoxLayout;
  auto button = [&](QPushButton*& b, const char* name, int text) {
    return b = captionedButton(this, name, text, texts_);
  };
  buttons->addWidget(button(btnHelp_, "btnHelp", TextNo::Help));
  connect(btnHelp_, &QPushButton::clicked, this, [this] { emit helpRequested(HelpTopic::GotoSearchMeasure); });
  buttons->addStretch();
  buttons->addWidget(button(btnReverse_, "btnReverse", TextNo::Reverse));
  buttons->addWidget(button(btnForward_, "btnForward", TextNo::Forward));
  buttons->addWidget(button(btnStop_, "btnStop", TextNo::Stop));
  buttons->addWidget(button(btnCancel_, "btnCancel", TextNo::Cancel));
  btnForward_->setDefault(true);
  btnForward_->setAutoDefault(true);
  v->addLayout(buttons);
  connect(btnForward_, &QPushButton::clicked, this, [this] { Search(Search::Direction::Forward); });
  connect(btnReverse_, &QPushButton::clicked, this, [this] { Search(Search::Direction::Reverse); });
  connect(btnStop_, &QPushButton::clicked, this, &TFormGoto::btnStopClick);
  connect(btnCancel_, &QPushButton::clicked, this, &TFormGoto::btnCancelClick);
  connect(pages_, &QTabWidget::currentChanged, this, [this] {
    setButtonStates();
    if (pages_->currentIndex() == MeasurePage) UpdateTimeMeasurement();
  });

  job_.setup(progress_, [this] { finishSearch(); });

  InitialLoads();
  // Every line and error starts ignored; the pickers at the moment the program started.
  for (auto& row : signals_) row[0]->setChecked(true);
  for (auto& row : errors_) row[0]->setChecked(true);
  const QDateTime now = QDateTime::currentDateTime();
  date_->setDate(now.date());
  time_->setTime(now.time());
  cbD1_->setChecked(true);
  setRecordCount(1);
  setButtonStates();
}

TFormGoto::~TFormGoto() { job_.cancel(); }

QLabel* TFormGoto::textLabel(int text, QWidget* parent) {
  auto* l = new QLabel(parent);
  texts_.emplace_back(l, text);
  return l;
}

QWidget* TFormGoto::createSearchPage() {
  auto* page = new QWidget;
  auto* v = new QVBoxLayout(page);
  v->addWidget(textLabel(TextNo::SearchNote, page));
  kinds_ = new QTabWidget(page);
  kinds_->setObjectName(QStringLiteral("pcSearchKind"));
  kinds_->addTab(createDataPage(), QString());
  kinds_->addTab(createLinePage(false), QString());
  kinds_->addTab(createLinePage(true), QString());
  kinds_->addTab(createTimePage(), QString());
  v->addWidget(kinds_, 1);
  return page;
}

QWidget* TFormGoto::createDataPage() {
  auto* page = new QWidget;
  auto* v = new QVBoxLayout(page);
  auto* group = new QGroupBox(page);
  texts_.emplace_back(group, TextNo::DataSequence);
  auto* g = new QVBoxLayout(group);
  data_ = new LinkedDataFields(group, TextNo::Ascii, TextNo::Hex, TextNo::Bin);
  g->addWidget(data_);
  auto* lines = new QHBoxLayout;
  cbD1_ = new QCheckBox(group);
  cbD1_->setObjectName(QStringLiteral("cbD1"));
  texts_.emplace_back(cbD1_, TextNo::D1);
  cbD2_ = new QCheckBox(group);
  cbD2_->setObjectName(QStringLiteral("cbD2"));
  texts_.emplace_back(cbD2_, TextNo::D2);
  lines->addWidget(cbD1_);
  lines->addWidget(cbD2_);
  lines->addStretch();
  g->addLayout(lines);
  v->addWidget(group);
  QLabel* warning = textLabel(TextNo::ZeroWarning, page);
  warning->setWordWrap(true);
  warning->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold;"));
  v->addWidget(warning);
  v->addStretch();
  return page;
}

// The rows of the signal lines (ignore / low / high) or of the errors (ignore / no / yes).
QWidget* TFormGoto::createLinePage(bool errors) {
  auto* page = new QWidget;
  auto* v = new QVBoxLayout(page);
  auto* g = new QGridLayout;
  g->setHorizontalSpacing(18);
  const int head = errors ? TextNo::ErrorKind : TextNo::ControlLine;
  const int firstCode = errors ? TextNo::ErrorIgnore : TextNo::SignalIgnore;
  QLabel* title = textLabel(head, page);
  QFont bold = title->font();
  bold.setBold(true);
  title->setFont(bold);
  g->addWidget(title, 0, 0);
  for (int c = 0; c < 3; ++c) {
    QLabel* l = textLabel(firstCode + c, page);
    l->setFont(bold);
    g->addWidget(l, 0, c + 1, Qt::AlignCenter);
  }
  const int rows = errors ? 3 : 6;
  for (int r = 0; r < rows; ++r) {
    g->addWidget(textLabel((errors ? TextNo::ParityError : TextNo::SignalFirst) + r, page), r + 1, 0);
    // Each row is a group of its own: one choice per line.
    auto* rowGroup = new QButtonGroup(page);
    for (int c = 0; c < 3; ++c) {
      auto* b = new QRadioButton(page);
      b->setObjectName(
          QStringLiteral("%1%2_%3").arg(errors ? QStringLiteral("rbError") : QStringLiteral("rbSignal")).arg(r).arg(c));
      rowGroup->addButton(b, c);
      if (errors)
        errors_[std::size_t(r)][std::size_t(c)] = b;
      else
        signals_[std::size_t(r)][std::size_t(c)] = b;
      g->addWidget(b, r + 1, c + 1, Qt::AlignCenter);
    }
  }
  g->setColumnStretch(4, 1);
  v->addLayout(g);
  QLabel* note = textLabel(errors ? TextNo::ErrorNote : TextNo::SignalNote, page);
  note->setWordWrap(true);
  v->addWidget(note);
  v->addStretch();
  return page;
}

QWidget* TFormGoto::createTimePage() {
  auto* page = new QWidget;
  auto* v = new QVBoxLayout(page);
  auto* row = new QHBoxLayout;
  row->addWidget(textLabel(TextNo::DateTime, page));
  date_ = new QDateEdit(page);
  date_->setObjectName(QStringLiteral("dtpDate"));
  date_->setCalendarPopup(true);
  time_ = new QTimeEdit(page);
  time_->setObjectName(QStringLiteral("dtpTime"));
  time_->setDisplayFormat(QStringLiteral("HH:mm:ss"));
  auto* now = new QPushButton(page);
  now->setObjectName(QStringLiteral("btnNow"));
  texts_.emplace_back(now, TextNo::Now);
  connect(now, &QPushButton::clicked, this, [this] {
    const QDateTime n = QDateTime::currentDateTime();
    date_->setDate(n.date());
    time_->setTime(n.time());
  });
  row->addWidget(date_);
  row->addWidget(time_);
  row->addWidget(now);
  row->addStretch();
  v->addLayout(row);
  QLabel* note = textLabel(TextNo::TimeNote, page);
  note->setWordWrap(true);
  v->addWidget(note);
  v->addStretch();
  return page;
}

QWidget* TFormGoto::createMeasurePage() {
  auto* page = new QWidget;
  auto* v = new QVBoxLayout(page);
  auto* group = new QGroupBox(page);
  texts_.emplace_back(group, TextNo::MeasureGroup);
  auto* g = new QGridLayout(group);
  measureFrom_ = new TrackedNumber(group, "edMeasFrom");
  measureTo_ = new TrackedNumber(group, "edMeasTo");
  measure_ = new EventRange(measureFrom_, measureTo_, this);
  g->addWidget(textLabel(TextNo::From, group), 0, 0);
  g->addWidget(measureFrom_, 0, 1, 1, 2);
  g->addWidget(textLabel(TextNo::To, group), 1, 0);
  g->addWidget(measureTo_, 1, 1, 1, 2);
  QPushButton* reset = resetButton(group, "btnMeasReset");
  texts_.emplace_back(reset, TextNo::Reset);
  hints_.emplace_back(reset, TextNo::ResetRangeHint);
  g->addWidget(reset, 0, 3, 2, 1);
  connect(reset, &QPushButton::clicked, measure_, &EventRange::reset);
  const char* names[6] = {"edTimeFrom", "edTimeTo", "edDelta", "edMicroseconds", "edMilliseconds", "edSeconds"};
  for (int i = 0; i < 6; ++i) {
    measureFields_[std::size_t(i)] = resultField(group, names[i]);
    g->addWidget(textLabel(i < 3 ? TextNo::AbsoluteFrom + i : TextNo::Microseconds + (i - 3), group), i + 2, 0);
    g->addWidget(measureFields_[std::size_t(i)], i + 2, 1, 1, i < 3 ? 3 : 1);
    if (i >= 3) {
      measureFields_[std::size_t(i)]->setAlignment(Qt::AlignRight);
      g->addWidget(textLabel(TextNo::Rounded + (i - 3), group), i + 2, 2);
    }
  }
  g->setColumnStretch(1, 1);
  v->addWidget(group);
  v->addStretch();
  connect(measure_, &EventRange::changed, this, &TFormGoto::UpdateTimeMeasurement);
  return page;
}

QWidget* TFormGoto::createNumberPage(TrackedNumber*& number, const char* name, int label, int resetHint, int title,
                                     int note) {
  auto* page = new QWidget;
  auto* v = new QVBoxLayout(page);
  QGroupBox* group = nullptr;
  if (title) {
    group = new QGroupBox(page);
    texts_.emplace_back(group, title);
  }
  QWidget* holder = group ? static_cast<QWidget*>(group) : page;
  auto* g = new QGridLayout;
  number = new TrackedNumber(holder, name);
  g->addWidget(textLabel(label, holder), 0, 0);
  g->addWidget(number, 0, 1);
  QPushButton* reset = resetButton(holder, title ? "btnEventReset" : "btnTriggerReset");
  texts_.emplace_back(reset, TextNo::Reset);
  hints_.emplace_back(reset, resetHint);
  g->addWidget(reset, 0, 2);
  g->setColumnStretch(1, 1);
  TrackedNumber* n = number;
  connect(reset, &QPushButton::clicked, this, [n] { n->setValue(1); });
  QLabel* l = textLabel(note, holder);
  l->setWordWrap(true);
  if (group) {
    auto* gv = new QVBoxLayout(group);
    gv->addLayout(g);
    gv->addWidget(l);
    v->addWidget(group);
  } else {
    v->addLayout(g);
    v->addWidget(l);
  }
  v->addStretch();
  return page;
}

void TFormGoto::InitialLoads() {
  setWindowTitle(tx(TextNo::Caption));
  applyWidgetTexts(texts_, hints_);
  const int pageTexts[4] = {TextNo::SearchPage, TextNo::MeasurePage, TextNo::TriggerPage, TextNo::EventPage};
  for (int i = 0; i < 4; ++i) pages_->setTabText(i, tx(pageTexts[i]));
  const int kindTexts[4] = {TextNo::DataPage, TextNo::SignalPage, TextNo::ErrorPage, TextNo::TimePage};
  for (int i = 0; i < 4; ++i) kinds_->setTabText(i, tx(kindTexts[i]));
  data_->InitialLoads();
}

void TFormGoto::showPage(Page page) {
  pages_->setCurrentIndex(int(page));
  // The numbers the user chose stay until the file has another length.
  if (host_.records && host_.records() != records_) setRecordCount(host_.records());
  setButtonStates();
  show();
  raise();
  activateWindow();
}

void TFormGoto::setRecordCount(int64_t records) {
  records_ = records;
  const int64_t last = std::max<int64_t>(1, records - 1);
  gotoNumber_->setRange(1, last);
  gotoNumber_->setValue(last);
  measure_->setLast(last);
  triggerNumber_->setRange(1, kTriggerNumbers);
  triggerNumber_->setValue(kTriggerNumbers);
}

void TFormGoto::setRecording(bool recording) {
  recording_ = recording;
  setButtonStates();
}

void TFormGoto::setButtonStates() {
  const bool measuring = pages_->currentIndex() == MeasurePage;
  const bool busy = searching();
  btnForward_->setEnabled(!measuring && !busy && !recording_);
  btnReverse_->setEnabled(!measuring && !busy && !recording_);
  btnStop_->setEnabled(!measuring && busy);
  // The page cannot change under a running search.
  pages_->tabBar()->setEnabled(!busy);
  kinds_->tabBar()->setEnabled(!busy);
}

Search::Query TFormGoto::searchQuery() const {
  switch (kinds_->currentIndex()) {
    case SignalSearch: {
      Search::SignalQuery q;
      for (std::size_t i = 0; i < signals_.size(); ++i)
        q.codes[i] = uint8_t((signals_[i][1]->isChecked() ? 1 : 0) + 2 * (signals_[i][2]->isChecked() ? 1 : 0));
      return q;
    }
    case ErrorSearch: {
      Search::ErrorQuery q;
      for (std::size_t i = 0; i < errors_.size(); ++i)
        q.codes[i] = uint8_t((errors_[i][1]->isChecked() ? 1 : 0) + 2 * (errors_[i][2]->isChecked() ? 1 : 0));
      return q;
    }
    case TimeSearch: {
      // Whole seconds: the time picker's milliseconds do not count.
      const QTime t = time_->time();
      return Search::TimeQuery{Search::oleDateOfWallClock(date_->date(), QTime(t.hour(), t.minute(), t.second()))};
    }
    default: {
      Search::DataQuery q;
      q.d1 = cbD1_->isChecked();
      q.d2 = cbD2_->isChecked();
      Search::parseHexPattern(data_->hex(), &q.pattern);
      return q;
    }
  }
}

void TFormGoto::showInformation(int text) {
  box_.ShowMessage(tx(text), tx(TextNo::Information), MessageKind::Information, ButtonSet::Ok);
}

void TFormGoto::Search(Search::Direction direction) {
  if (searching() || recording_) return;
  switch (pages_->currentIndex()) {
    case EventPage: {
      const int64_t position = direction == Search::Direction::Forward ? gotoNumber_->value() - 1 : 0;
      if (host_.setScrollPosition) host_.setScrollPosition(position);
      const int64_t records = host_.records ? host_.records() : 0;
      progress_->setValue(records > 1 ? int(std::min<int64_t>(100, (position * 100 + 100) / (records - 1))) : 0);
      return;
    }
    case TriggerPage:
      startSearch(Search::TriggerQuery{int(triggerNumber_->value())}, direction);
      return;
    case SearchPage: {
      if (kinds_->currentIndex() == DataSearch) {
        if (!cbD1_->isChecked() && !cbD2_->isChecked()) {
          showInformation(TextNo::NoDataLine);
          return;
        }
        QByteArray pattern;
        QString bad;
        if (const int problem = Search::parseHexPattern(data_->hex(), &pattern, &bad)) {
          QString text = tx(problem);
          if (text.contains(QLatin1String("%1"))) text = text.arg(bad);
          box_.ShowMessage(text, tx(TextNo::Information), MessageKind::Information, ButtonSet::Ok);
          return;
        }
      }
      startSearch(searchQuery(), direction);
      return;
    }
    default:
      return;  // the measurement has no search
  }
}

void TFormGoto::startSearch(const Search::Query& query, Search::Direction direction) {
  auto reader = std::make_unique<RecordReader>();
  const QString path = host_.recordFile ? host_.recordFile() : QString();
  if (path.isEmpty() || !reader->open(path)) {
    box_.ShowMessage(reader->message(), tx(TextNo::Error), MessageKind::Error, ButtonSet::Ok);
    return;
  }
  reader_ = std::move(reader);
  query_ = query;
  result_ = {};
  const int64_t selected = host_.selectedEvent ? host_.selectedEvent() : 0;
  job_.start([this, selected, direction](WorkControl& control) {
    result_ = finder_(*reader_, query_, selected, direction, &control);
  });
  setButtonStates();
}

void TFormGoto::finishSearch() {
  setButtonStates();
  const Search::Result r = result_;
  switch (r.outcome) {
    case Search::Outcome::Found:
      if (host_.showFound) host_.showFound(r.event);
      break;
    case Search::Outcome::Stopped:
      progress_->setValue(0);  // the view never moved: nothing to say
      break;
    case Search::Outcome::NotFound:
      progress_->setValue(0);
      showInformation(Search::notFoundText(query_));
      break;
    case Search::Outcome::ReadFailed:
      progress_->setValue(0);
      box_.ShowMessage(reader_->message(), tx(TextNo::Error), MessageKind::Error, ButtonSet::Ok);
      break;
    default:
      progress_->setValue(0);
      showInformation(Search::outcomeText(r.outcome));
      break;
  }
  reader_.reset();
}

void TFormGoto::btnStopClick() { job_.stop(); }

void TFormGoto::cancelSearch() { job_.cancel(); }

void TFormGoto::btnCancelClick() {
  cancelSearch();
  close();
}

void TFormGoto::UpdateTimeMeasurement() {
  for (QLineEdit* f : measureFields_) f->clear();
  const QString path = host_.recordFile ? host_.recordFile() : QString();
  if (path.isEmpty()) return;
  RecordReader reader;
  // A file that cannot be read says why where the distance would stand, never shows old figures.
  if (!reader.open(path)) return measureFields_[2]->setText(reader.message());
  const Measure::Result m = Measure::measure(reader, measure_->from(), measure_->to(), QLocale());
  if (!m.ok) return measureFields_[2]->setText(m.message);
  const QString texts[6] = {m.fromText, m.toText, m.deltaText, m.microsecondsText, m.millisecondsText, m.secondsText};
  for (std::size_t i = 0; i < measureFields_.size(); ++i) measureFields_[i]->setText(texts[i]);
}

void TFormGoto::loadPlacement(const DialogPlacement& placement, int page, int searchKind) {
  move(placement.left, placement.top);
  pages_->setCurrentIndex(qBound(0, page, pages_->count() - 1));
  kinds_->setCurrentIndex(qBound(0, searchKind, kinds_->count() - 1));
}

DialogPlacement TFormGoto::placement() const {
  return {x(), y(), isMinimized() ? 1 : isMaximized() ? 2 : 0, isVisible()};
}

int TFormGoto::pageIndex() const { return pages_->currentIndex(); }
int TFormGoto::searchKindIndex() const { return kinds_->currentIndex(); }

void TFormGoto::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Every activation: the measurement and the buttons as the file is now.
  UpdateTimeMeasurement();
  setButtonStates();
}

void TFormGoto::hideEvent(QHideEvent* event) {
  QDialog::hideEvent(event);
  if (QWidget* main = parentWidget() ? parentWidget()->window() : nullptr) {
    main->raise();
    main->activateWindow();
  }
}

void TFormGoto::reject() {
  cancelSearch();
  QDialog::reject();
}

void TFormGoto::closeEvent(QCloseEvent* event) {
  // A search does not go on behind a closed window.
  cancelSearch();
  QDialog::closeEvent(event);
}
