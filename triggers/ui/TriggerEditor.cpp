#include "triggers/ui/TriggerEditor.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStyle>
#include <QTabWidget>
#include <QTimeEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/MessageForm.h"
#include "settings/Texts.h"
#include "settings/ui/WidgetTexts.h"
#include "shell/HelpTopics.h"
#include "triggers/ui/LinkedDataFields.h"
#include "triggers/ui/TriggerParamsPool.h"

namespace {
namespace TextNo {
constexpr int Caption = 9000, Name = 9001, Description = 9002, At = 9003, Condition = 9004, NewName = 9005;
constexpr int Activate = 9006, DataPage = 9007, TxData = 9011, RxData = 9012, ZeroWarning = 9013;
constexpr int BothData = 9908;
constexpr int SignalPage = 9019, Ignore = 9021, Falls = 9022, Rise = 9023;
constexpr int ErrorPage = 9030, ParityError = 9032, FramingError = 9033, LineError = 9034;
constexpr int TimePage = 9035, Reached = 9037, NowHint = 9038;
constexpr int InactivityPage = 9039, IfNotWithin = 9041, Seconds = 9042, Following = 9043;
constexpr int DataLine = 9044, ControlLine = 9045, Error = 9046;
constexpr int ActionPage = 9047, SoundFile = 9049, OpenSoundHint = 9050, SoundTestHint = 9051, Endless = 9052;
constexpr int CommandFile = 9053, Parameter = 9054, OpenProgramHint = 9055, PoolHint = 9056, CommandTestHint = 9058;
constexpr int StartCommand = 9059, PlaySound = 9060, TypeFirst = 9062, EventFirst = 9066;
constexpr int OpenSoundTitle = 9070, OpenFileTitle = 9071;
constexpr int Ok = 6006, Cancel = 6003, Help = 6012;
constexpr int Title = 2100, Overwrite = 2110, NoTitle = 2112, BadSound = 2130, BadCommand = 2131, SaveChanges = 2132;
constexpr int CannotArm = 9900, SoundFilter = 9901, AllFiles = 9902, Now = 9903, Test = 9904, Bytes = 9905;
constexpr int LineFirst = 8801, SignalFirst = 8803, ParityShort = 8705;
}  // namespace TextNo

QString tx(int n) { return Texts::text(n); }

using SignalField = int32_t TriggerRecord::*;
constexpr SignalField kSignals[6] = {&TriggerRecord::S1, &TriggerRecord::M1, &TriggerRecord::S2,
                                     &TriggerRecord::M2, &TriggerRecord::M5, &TriggerRecord::M3};
using FlagField = bool TriggerRecord::*;
constexpr FlagField kErrors[3] = {&TriggerRecord::PE, &TriggerRecord::FE, &TriggerRecord::LE};
constexpr FlagField kWatch[11] = {&TriggerRecord::EventD1, &TriggerRecord::EventD2, &TriggerRecord::EventS1,
                                  &TriggerRecord::EventM1, &TriggerRecord::EventS2, &TriggerRecord::EventM2,
                                  &TriggerRecord::EventM5, &TriggerRecord::EventM3, &TriggerRecord::EventPE,
                                  &TriggerRecord::EventFE, &TriggerRecord::EventLE};

// A program given by name only is looked up as the shell would.
bool commandExists(const QString& path) {
  if (path.trimmed().isEmpty()) return false;
  const QFileInfo f(path);
  if (f.isFile()) return true;
  return !path.contains(QLatin1Char('/')) && !QStandardPaths::findExecutable(path).isEmpty();
}

}  // namespace

TFormTrig::TFormTrig(TMessageForm& box, QWidget* parent) : QDialog(parent), box_(box) {
  setObjectName(QStringLiteral("FormTrig"));
  setWindowFlag(Qt::WindowStaysOnTopHint);
  setModal(true);
  resize(634, 451);
  auto* v = new QVBoxLayout(this);

  auto* top = new QGridLayout;
  edTrigName = new QLineEdit(this);
  edTrigName->setObjectName(QStringLiteral("edTrigName"));
  ckTrigActive = textCheck(TextNo::Activate, this, "ckTrigActive");
  edTrigDescr = new QLineEdit(this);
  edTrigDescr->setObjectName(QStringLiteral("edTrigDescr"));
  cbTrigRec = new QComboBox(this);
  cbTrigRec->setObjectName(QStringLiteral("cbTrigRec"));
  cbTrigEvent = new QComboBox(this);
  cbTrigEvent->setObjectName(QStringLiteral("cbTrigEvent"));
  lblAt = textLabel(TextNo::At, this);
  top->addWidget(textLabel(TextNo::Name, this), 0, 0);
  top->addWidget(edTrigName, 0, 1, 1, 3);
  top->addWidget(ckTrigActive, 0, 4);
  top->addWidget(textLabel(TextNo::Description, this), 1, 0);
  top->addWidget(edTrigDescr, 1, 1, 1, 4);
  top->addWidget(textLabel(TextNo::Condition, this), 2, 0);
  top->addWidget(cbTrigRec, 2, 1);
  top->addWidget(lblAt, 2, 2);
  top->addWidget(cbTrigEvent, 2, 3);
  top->setColumnStretch(1, 1);
  top->setColumnStretch(3, 1);
  v->addLayout(top);

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("pcTrigger"));
  const std::pair<QWidget*, int> pages[] = {{createDataPage(), TextNo::DataPage},
                                            {createSignalPage(), TextNo::SignalPage},
                                            {createErrorPage(), TextNo::ErrorPage},
                                            {createTimePage(), TextNo::TimePage},
                                            {createInactivityPage(), TextNo::InactivityPage},
                                            {createActionPage(), TextNo::ActionPage}};
  for (const auto& [page, text] : pages) tabs_->addTab(page, QString());
  v->addWidget(tabs_, 1);

  auto* buttons = new QHBoxLayout;
  btnHelp = new QPushButton(this);
  btnHelp->setObjectName(QStringLiteral("btnHelp"));
  connect(btnHelp, &QPushButton::clicked, this, [this] { emit helpRequested(HelpTopic::TriggerEditor); });
  buttons->addWidget(btnHelp);
  buttons->addStretch();
  btnOK = new QPushButton(this);
  btnOK->setObjectName(QStringLiteral("btnOK"));
  btnOK->setDefault(true);
  btnCancel = new QPushButton(this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);
  v->addLayout(buttons);
  connect(btnOK, &QPushButton::clicked, this, &TFormTrig::btnOKClick);
  connect(btnCancel, &QPushButton::clicked, this, &TFormTrig::btnCancelClick);
  connect(cbTrigRec, &QComboBox::currentIndexChanged, this, &TFormTrig::cbTrigRecChange);
  connect(cbTrigEvent, &QComboBox::currentIndexChanged, this, &TFormTrig::cbTrigRecChange);

  watchChanges();
  pool_ = new TFormTrigParams(this);
  pool_->setTarget(edCommandParams);
  InitialLoads();
  ++loading_;
  edTrigName->setText(tx(TextNo::NewName));
  rbTxData->setChecked(true);
  btnNowClick();
  cbTrigRec->setCurrentIndex(0);
  cbTrigEvent->setCurrentIndex(0);
  enableActionGroups();
  --loading_;
  cbTrigRecChange();
  setTests({}, {});
}

TFormTrig::~TFormTrig() = default;

QLabel* TFormTrig::textLabel(int text, QWidget* parent) {
  auto* l = new QLabel(parent);
  texts_.emplace_back(l, text);
  return l;
}

QCheckBox* TFormTrig::textCheck(int text, QWidget* parent, const char* name) {
  auto* c = new QCheckBox(parent);
  if (name) c->setObjectName(QString::fromLatin1(name));
  texts_.emplace_back(c, text);
  return c;
}

QWidget* TFormTrig::createDataPage() {
  auto* page = new QWidget;
  auto* v = new QVBoxLayout(page);
  auto* lines = new QHBoxLayout;
  rbTxData = new QRadioButton(page);
  rbTxData->setObjectName(QStringLiteral("rbTxData"));
  rbRxData = new QRadioButton(page);
  rbRxData->setObjectName(QStringLiteral("rbRxData"));
  // A pattern may be watched on both lines; an edit must not quietly drop one of them.
  rbBothData_ = new QRadioButton(page);
  rbBothData_->setObjectName(QStringLiteral("rbBothData"));
  texts_.emplace_back(rbTxData, TextNo::TxData);
  texts_.emplace_back(rbRxData, TextNo::RxData);
  texts_.emplace_back(rbBothData_, TextNo::BothData);
  lines->addWidget(rbTxData);
  lines->addWidget(rbRxData);
  lines->addWidget(rbBothData_);
  lines->addStretch();
  v->addLayout(lines);
  data_ = new LinkedDataFields(page);
  v->addWidget(data_);
  lblBytes_ = new QLabel(page);
  lblBytes_->setObjectName(QStringLiteral("lblBytes"));
  v->addWidget(lblBytes_);
  auto* warning = textLabel(TextNo::ZeroWarning, page);
  warning->setWordWrap(true);
  warning->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold;"));
  v->addWidget(warning);
  v->addStretch();
  connect(data_, &LinkedDataFields::changed, this, &TFormTrig::showByteCount);
  return page;
}

QWidget* TFormTrig::createSignalPage() {
  auto* page = new QWidget;
  auto* g = new QGridLayout(page);
  for (int c = 0; c < 3; ++c) g->addWidget(textLabel(TextNo::Ignore + c, page), 0, c + 1, Qt::AlignCenter);
  for (int r = 0; r < 6; ++r) {
    g->addWidget(textLabel(TextNo::SignalFirst + r, page), r + 1, 0);
    signals_[r] = new QButtonGroup(page);
    for (int c = 0; c < 3; ++c) {
      auto* b = new QRadioButton(page);
      b->setObjectName(QStringLiteral("rbSignal%1_%2").arg(r).arg(c));
      signals_[r]->addButton(b, c);
      g->addWidget(b, r + 1, c + 1, Qt::AlignCenter);
    }
    signals_[r]->button(Edge::Ignore)->setChecked(true);
  }
  g->setColumnStretch(4, 1);
  g->setRowStretch(7, 1);
  return page;
}

QWidget* TFormTrig::createErrorPage() {
  auto* page = new QWidget;
  auto* v = new QVBoxLayout(page);
  const char* names[3] = {"ckPE", "ckFE", "ckLE"};
  for (int i = 0; i < 3; ++i) v->addWidget(errors_[i] = textCheck(TextNo::ParityError + i, page, names[i]));
  v->addStretch();
  return page;
}

QWidget* TFormTrig::createTimePage() {
  auto* page = new QWidget;
  auto* g = new QGridLayout(page);
  dateReached_ = new QDateEdit(page);
  dateReached_->setObjectName(QStringLiteral("dtpDate"));
  dateReached_->setCalendarPopup(true);
  timeReached_ = new QTimeEdit(page);
  timeReached_->setObjectName(QStringLiteral("dtpTime"));
  timeReached_->setDisplayFormat(QStringLiteral("HH:mm:ss.zzz"));
  btnNow_ = new QToolButton(page);
  btnNow_->setObjectName(QStringLiteral("btnNow"));
  texts_.emplace_back(btnNow_, TextNo::Now);
  hints_.emplace_back(btnNow_, TextNo::NowHint);
  connect(btnNow_, &QToolButton::clicked, this, [this] {
    btnNowClick();
    markChanged();
  });
  g->addWidget(textLabel(TextNo::Reached, page), 0, 0);
  g->addWidget(dateReached_, 0, 1);
  g->addWidget(timeReached_, 0, 2);
  g->addWidget(btnNow_, 0, 3);
  g->setColumnStretch(4, 1);
  g->setRowStretch(1, 1);
  return page;
}

QWidget* TFormTrig::createInactivityPage() {
  auto* page = new QWidget;
  auto* v = new QVBoxLayout(page);
  auto* line = new QHBoxLayout;
  csInActivityTime = new QSpinBox(page);
  csInActivityTime->setObjectName(QStringLiteral("csInActivityTime"));
  csInActivityTime->setRange(kMinInactivitySeconds, kMaxInactivitySeconds);
  // Emptied or set to 0, the field goes back to the last number it held.
  csInActivityTime->setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
  line->addWidget(textLabel(TextNo::IfNotWithin, page));
  line->addWidget(csInActivityTime);
  line->addWidget(textLabel(TextNo::Seconds, page));
  line->addWidget(textLabel(TextNo::Following, page));
  line->addStretch();
  v->addLayout(line);
  auto* groups = new QHBoxLayout;
  auto group = [&](int title, int first, int count, int from) {
    auto* box = new QGroupBox(page);
    texts_.emplace_back(box, title);
    auto* g = new QGridLayout(box);
    for (int i = 0; i < count; ++i) {
      watch_[from + i] = textCheck(first + i, box);
      watch_[from + i]->setObjectName(QStringLiteral("ckWatch%1").arg(from + i));
      g->addWidget(watch_[from + i], count > 3 ? i % 3 : i, count > 3 ? i / 3 : 0);
    }
    g->setRowStretch(3, 1);
    groups->addWidget(box);
  };
  group(TextNo::DataLine, TextNo::LineFirst, 2, 0);
  group(TextNo::ControlLine, TextNo::SignalFirst, 6, 2);
  group(TextNo::Error, TextNo::ParityShort, 3, 8);
  v->addLayout(groups);
  v->addStretch();
  return page;
}

QWidget* TFormTrig::createActionPage() {
  auto* page = new QWidget;
  auto* v = new QVBoxLayout(page);
  auto tool = [&](const char* name, QStyle::StandardPixmap icon, int caption, int hint) {
    auto* b = new QToolButton(page);
    b->setObjectName(QString::fromLatin1(name));
    if (caption)
      texts_.emplace_back(b, caption);
    else
      b->setIcon(style()->standardIcon(icon));
    hints_.emplace_back(b, hint);
    return b;
  };
  cbPlaySound = textCheck(TextNo::PlaySound, page, "cbPlaySound");
  edSoundPath = new QLineEdit(page);
  edSoundPath->setObjectName(QStringLiteral("edSoundPath"));
  btnBrowseSound = tool("btnBrowseSound", QStyle::SP_DialogOpenButton, 0, TextNo::OpenSoundHint);
  btnTestSound = tool("btnTestSound", QStyle::SP_MediaPlay, TextNo::Test, TextNo::SoundTestHint);
  ckEndless = textCheck(TextNo::Endless, page, "ckEndless");
  auto* sound = new QGridLayout;
  sound->addWidget(cbPlaySound, 0, 0, 1, 4);
  sound->addWidget(textLabel(TextNo::SoundFile, page), 1, 0);
  sound->addWidget(edSoundPath, 1, 1);
  sound->addWidget(btnBrowseSound, 1, 2);
  sound->addWidget(btnTestSound, 1, 3);
  sound->addWidget(ckEndless, 2, 1, 1, 3);
  sound->setColumnStretch(1, 1);
  v->addLayout(sound);
  v->addSpacing(12);

  cbStartExtCommand = textCheck(TextNo::StartCommand, page, "cbStartExtCommand");
  edCommandPath = new QLineEdit(page);
  edCommandPath->setObjectName(QStringLiteral("edCommandPath"));
  edCommandParams = new QLineEdit(page);
  edCommandParams->setObjectName(QStringLiteral("edCommandParams"));
  btnBrowseCommand = tool("btnBrowseCommand", QStyle::SP_DialogOpenButton, 0, TextNo::OpenProgramHint);
  btnPool = tool("btnPool", QStyle::SP_FileDialogListView, 0, TextNo::PoolHint);
  btnPool->setText(QStringLiteral("%…%"));
  btnTestCommand = tool("btnTestCommand", QStyle::SP_MediaPlay, TextNo::Test, TextNo::CommandTestHint);
  auto* command = new QGridLayout;
  command->addWidget(cbStartExtCommand, 0, 0, 1, 4);
  command->addWidget(textLabel(TextNo::CommandFile, page), 1, 0);
  command->addWidget(edCommandPath, 1, 1);
  command->addWidget(btnBrowseCommand, 1, 2);
  command->addWidget(btnTestCommand, 1, 3);
  command->addWidget(textLabel(TextNo::Parameter, page), 2, 0);
  command->addWidget(edCommandParams, 2, 1);
  command->addWidget(btnPool, 2, 2);
  command->setColumnStretch(1, 1);
  v->addLayout(command);
  v->addStretch();

  connect(cbPlaySound, &QCheckBox::toggled, this, &TFormTrig::enableActionGroups);
  connect(cbStartExtCommand, &QCheckBox::toggled, this, &TFormTrig::enableActionGroups);
  connect(btnBrowseSound, &QToolButton::clicked, this, &TFormTrig::btnBrowseSoundClick);
  connect(btnBrowseCommand, &QToolButton::clicked, this, &TFormTrig::btnBrowseCommandClick);
  connect(btnTestSound, &QToolButton::clicked, this, &TFormTrig::btnSoundTestClick);
  connect(btnTestCommand, &QToolButton::clicked, this, &TFormTrig::btnCommandTestClick);
  connect(btnPool, &QToolButton::clicked, this, &TFormTrig::btnPoolClick);
  // The full path as the hint, as the field may be too narrow for it.
  for (QLineEdit* e : {edSoundPath, edCommandPath, edCommandParams})
    connect(e, &QLineEdit::textChanged, e, &QLineEdit::setToolTip);
  return page;
}

// Any key in a field or click on a box or button of the dialog counts as a change.
void TFormTrig::watchChanges() {
  for (auto* e : findChildren<QLineEdit*>())
    if (e->parent() != csInActivityTime && !qobject_cast<QAbstractSpinBox*>(e->parentWidget()))
      connect(e, &QLineEdit::textEdited, this, &TFormTrig::markChanged);
  for (auto* b : findChildren<QAbstractButton*>())
    if (b != btnOK && b != btnCancel && b != btnHelp)
      connect(b, &QAbstractButton::clicked, this, &TFormTrig::markChanged);
  connect(cbTrigRec, &QComboBox::activated, this, &TFormTrig::markChanged);
  connect(cbTrigEvent, &QComboBox::activated, this, &TFormTrig::markChanged);
  connect(csInActivityTime, &QSpinBox::valueChanged, this, &TFormTrig::markChanged);
  connect(dateReached_, &QDateEdit::dateChanged, this, &TFormTrig::markChanged);
  connect(timeReached_, &QTimeEdit::timeChanged, this, &TFormTrig::markChanged);
  connect(data_, &LinkedDataFields::changed, this, &TFormTrig::markChanged);
}

void TFormTrig::markChanged() {
  if (!loading_) changesMade_ = true;
}

void TFormTrig::setTests(SoundTest sound, CommandTest command) {
  soundTest_ = std::move(sound);
  commandTest_ = std::move(command);
  enableActionGroups();
}

void TFormTrig::InitialLoads() {
  setWindowTitle(tx(TextNo::Caption));
  applyWidgetTexts(texts_, hints_);
  const int pageTexts[] = {TextNo::DataPage, TextNo::SignalPage,     TextNo::ErrorPage,
                           TextNo::TimePage, TextNo::InactivityPage, TextNo::ActionPage};
  for (int i = 0; i < tabs_->count(); ++i) tabs_->setTabText(i, tx(pageTexts[i]));
  ++loading_;
  const int type = cbTrigRec->currentIndex(), event = cbTrigEvent->currentIndex();
  cbTrigRec->clear();
  for (int i = 0; i < TriggerType::Count; ++i) cbTrigRec->addItem(tx(TextNo::TypeFirst + i));
  cbTrigEvent->clear();
  for (int i = 0; i <= TriggerEvent::Time; ++i) cbTrigEvent->addItem(tx(TextNo::EventFirst + i));
  cbTrigRec->setCurrentIndex(qMax(0, type));
  cbTrigEvent->setCurrentIndex(qMax(0, event));
  --loading_;
  btnOK->setText(tx(TextNo::Ok));
  btnCancel->setText(tx(TextNo::Cancel));
  btnHelp->setText(tx(TextNo::Help));
  data_->InitialLoads();
  pool_->InitialLoads();
  showByteCount();
}

void TFormTrig::showByteCount() { lblBytes_->setText(tx(TextNo::Bytes).arg(data_->byteCount())); }

// --- loading and reading ----------------------------------------------------------

void TFormTrig::LoadTrigger(const TriggerRecord& t) {
  ++loading_;
  data_->setHex(t.Data);
  rbTxData->setChecked(t.D1 == t.D2 ? !t.D1 : t.D1);
  rbRxData->setChecked(t.D2 && !t.D1);
  rbBothData_->setChecked(t.D1 && t.D2);
  for (int i = 0; i < 6; ++i) {
    const int edge = t.*kSignals[i];
    signals_[i]->button(edge >= Edge::Ignore && edge <= Edge::Rises ? edge : Edge::Ignore)->setChecked(true);
  }
  for (int i = 0; i < 3; ++i) errors_[i]->setChecked(t.*kErrors[i]);
  const QDateTime when = t.TimeReached.isValid() ? t.TimeReached : QDateTime::currentDateTime();
  dateReached_->setDate(when.date());
  timeReached_->setTime(when.time());
  csInActivityTime->setValue(qBound(kMinInactivitySeconds, int(t.InActivityTime), kMaxInactivitySeconds));
  for (int i = 0; i < 11; ++i) watch_[i]->setChecked(t.*kWatch[i]);
  cbPlaySound->setChecked(t.PlaySound);
  edSoundPath->setText(t.SoundFilePath);
  ckEndless->setChecked(t.PlaySoundRepeat);
  cbStartExtCommand->setChecked(t.ExecCommand);
  edCommandPath->setText(t.CommandFilePath);
  edCommandParams->setText(t.CommandParams);
  enableActionGroups();
  edTrigName->setText(t.Name);
  ckTrigActive->setChecked(t.Active);
  edTrigDescr->setText(t.Description);
  cbTrigRec->setCurrentIndex(t.Type >= 0 && t.Type < TriggerType::Count ? t.Type : 0);
  // An inactivity trigger's Event (4) is no item: the event box keeps a valid one (data),
  // so switching the function back to start or stop shows a condition that exists.
  cbTrigEvent->setCurrentIndex(t.Event >= TriggerEvent::Data && t.Event <= TriggerEvent::Time ? t.Event : 0);
  --loading_;
  cbTrigRecChange();
  showByteCount();
}

void TFormTrig::SetFormValuesToTrigger(TriggerRecord& t) const {
  t.Name = edTrigName->text().trimmed();
  t.Active = ckTrigActive->isChecked();
  t.Description = edTrigDescr->text();
  t.Type = qMax(0, cbTrigRec->currentIndex());
  t.Event = t.Type == TriggerType::Inactivity ? TriggerEvent::Inactivity : qMax(0, cbTrigEvent->currentIndex());
  t.D1 = rbTxData->isChecked() || rbBothData_->isChecked();
  t.D2 = rbRxData->isChecked() || rbBothData_->isChecked();
  t.Data = data_->hex();
  for (int i = 0; i < 6; ++i) t.*kSignals[i] = qMax(0, signals_[i]->checkedId());
  for (int i = 0; i < 3; ++i) t.*kErrors[i] = errors_[i]->isChecked();
  t.InActivityTime = csInActivityTime->value();
  for (int i = 0; i < 11; ++i) t.*kWatch[i] = watch_[i]->isChecked();
  t.TimeReached = QDateTime(dateReached_->date(), timeReached_->time());
  t.PlaySound = cbPlaySound->isChecked();
  t.SoundFilePath = edSoundPath->text();
  t.PlaySoundRepeat = ckEndless->isChecked();
  t.ExecCommand = cbStartExtCommand->isChecked();
  t.CommandFilePath = edCommandPath->text();
  t.CommandParams = edCommandParams->text();
}

TriggerRecord TFormTrig::formValues() const {
  TriggerRecord t;
  SetFormValuesToTrigger(t);
  return t;
}

// --- showing ----------------------------------------------------------------------------

void TFormTrig::prepareInsert() {
  mode_ = InsertMode;
  ++loading_;
  edTrigName->setText(edTrigName->text() + QStringLiteral("_1"));
  btnNowClick();
  --loading_;
  TrigTabVisible(DataPage);
}

void TFormTrig::prepareEdit(const TriggerRecord& t) {
  mode_ = EditMode;
  LoadTrigger(t);
}

bool TFormTrig::insertTrigger(TriggerRecord* out) {
  prepareInsert();
  if (exec() != Accepted) return false;
  *out = result_;
  return true;
}

bool TFormTrig::editTrigger(const TriggerRecord& t, TriggerRecord* out) {
  prepareEdit(t);
  if (exec() != Accepted) return false;
  *out = result_;
  return true;
}

void TFormTrig::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  changesMade_ = false;
  cbTrigRecChange();
  edTrigName->setFocus(Qt::OtherFocusReason);
}

void TFormTrig::cbTrigRecChange() {
  if (loading_) return;
  const bool inactivity = cbTrigRec->currentIndex() == TriggerType::Inactivity;
  lblAt->setVisible(!inactivity);
  cbTrigEvent->setVisible(!inactivity);
  if (!inactivity && cbTrigEvent->currentIndex() < 0) cbTrigEvent->setCurrentIndex(TriggerEvent::Data);
  TrigTabVisible(inactivity ? InactivityPage : cbTrigEvent->currentIndex());
}

void TFormTrig::TrigTabVisible(int page) {
  page_ = qBound(int(DataPage), page, int(InactivityPage));
  for (int i = DataPage; i <= InactivityPage; ++i) tabs_->setTabVisible(i, i == page_);
  tabs_->setTabVisible(ActionPage, true);
  tabs_->setCurrentIndex(page_);
}

// --- buttons -------------------------------------------------------------------------------

void TFormTrig::refuse(const QString& text, QWidget* focus) {
  box_.ShowMessage(text, tx(TextNo::Title), MessageKind::Error, ButtonSet::Ok);
  if (focus) focus->setFocus(Qt::OtherFocusReason);
}

void TFormTrig::btnOKClick() {
  if (cbPlaySound->isChecked() && !QFileInfo(edSoundPath->text()).isFile()) {
    tabs_->setCurrentIndex(ActionPage);
    return refuse(tx(TextNo::BadSound), edSoundPath);
  }
  if (cbStartExtCommand->isChecked() && !commandExists(edCommandPath->text())) {
    tabs_->setCurrentIndex(ActionPage);
    return refuse(tx(TextNo::BadCommand), edCommandPath);
  }
  if (edTrigName->text().trimmed().isEmpty()) return refuse(tx(TextNo::NoTitle), edTrigName);
  const TriggerRecord t = formValues();
  if (const int problem = triggerArmProblem(t)) {
    tabs_->setCurrentIndex(page_);
    return refuse(tx(TextNo::CannotArm) + QLatin1Char('\n') + tx(problem), nullptr);
  }
  if (mode_ == EditMode) {
    const int answer =
        box_.ShowMessage(tx(TextNo::Overwrite), tx(TextNo::Title), MessageKind::Question, ButtonSet::YesNoCancel);
    if (answer == ResultNo) return QDialog::reject();
    if (answer != ResultYes) return;
  }
  result_ = t;
  accept();
}

void TFormTrig::btnCancelClick() {
  if (!changesMade_) return QDialog::reject();
  const int answer =
      box_.ShowMessage(tx(TextNo::SaveChanges), tx(TextNo::Title), MessageKind::Question, ButtonSet::YesNoCancel);
  if (answer == ResultYes)
    btnOKClick();
  else if (answer == ResultNo)
    QDialog::reject();
}

void TFormTrig::reject() { btnCancelClick(); }

void TFormTrig::btnNowClick() {
  const QDateTime now = QDateTime::currentDateTime();
  dateReached_->setDate(now.date());
  timeReached_->setTime(now.time());
}

void TFormTrig::enableActionGroups() {
  const bool sound = cbPlaySound->isChecked(), command = cbStartExtCommand->isChecked();
  for (QWidget* w : std::initializer_list<QWidget*>{edSoundPath, btnBrowseSound, ckEndless}) w->setEnabled(sound);
  btnTestSound->setEnabled(sound && bool(soundTest_));
  for (QWidget* w : std::initializer_list<QWidget*>{edCommandPath, edCommandParams, btnBrowseCommand, btnPool})
    w->setEnabled(command);
  btnTestCommand->setEnabled(command && bool(commandTest_));
}

void TFormTrig::showFailure(const ActionFailure& failure) {
  box_.ShowMessage(tx(failure.messageText) + failure.extra, tx(TextNo::Title), MessageKind::Error, ButtonSet::Ok);
}

void TFormTrig::btnSoundTestClick() {
  ActionFailure failure{0, {}};
  if (soundTest_ && !soundTest_(edSoundPath->text(), ckEndless->isChecked(), &failure)) showFailure(failure);
}

void TFormTrig::btnCommandTestClick() {
  ActionFailure failure{0, {}};
  if (commandTest_ && !commandTest_(edCommandPath->text(), edCommandParams->text(), &failure)) showFailure(failure);
}

void TFormTrig::btnBrowseSoundClick() {
  QString folder = QFileInfo(edSoundPath->text()).absolutePath();
  if (edSoundPath->text().isEmpty() || !QFileInfo(folder).isDir()) folder = QDir::homePath();
  const QString file = QFileDialog::getOpenFileName(this, tx(TextNo::OpenSoundTitle), folder, tx(TextNo::SoundFilter));
  if (file.isEmpty()) return;
  edSoundPath->setText(file);
  markChanged();
}

void TFormTrig::btnBrowseCommandClick() {
  QString folder = QFileInfo(edCommandPath->text()).absolutePath();
  if (edCommandPath->text().isEmpty() || !QFileInfo(folder).isDir()) folder = QDir::homePath();
  const QString file = QFileDialog::getOpenFileName(this, tx(TextNo::OpenFileTitle), folder, tx(TextNo::AllFiles));
  if (file.isEmpty()) return;
  edCommandPath->setText(file);
  markChanged();
}

void TFormTrig::btnPoolClick() {
  pool_->show();
  pool_->raise();
  pool_->activateWindow();
}
