#include "settings/ui/OptionsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/MessageForm.h"
#include "settings/IniFile.h"
#include "settings/Texts.h"
#include "settings/ui/ValueSelector.h"
#include "shell/HelpTopics.h"

namespace {
namespace TextNo {
constexpr int Caption = 9200, DisplayPage = 9201, Appearance = 9202, SkinTheme = 9203, InterfacePage = 9204;
constexpr int WireTo = 9205, ComA = 9206, ComB = 9207, Overwrite = 9208, SelectedProfile = 9209, FileName = 9210;
constexpr int InterfaceName = 9211, Manufacturer = 9212, PortSettings = 9213, BaudRates = 9214, DataBits = 9215;
constexpr int Parities = 9216, StopBits = 9217, UpdatePage = 9218, Updates = 9219, CheckUpdates = 9220;
constexpr int StartPage = 9221, Record = 9222, BeginRecord = 9223, RecordHint = 9224, Display = 9225;
constexpr int DisplayHold = 9226, Edit = 6020, Ok = 6006, Cancel = 6003, Help = 6012;
constexpr int Confirmation = 204, Warning = 205, Error = 206;
constexpr int NotRead = 9878, NotSaved = 9879, Corrected = 9880, SelectPort = 9881;
}  // namespace TextNo
// One manual page per page of the window, in the order of the tabs.
constexpr int kHelpTopics[] = {HelpTopic::OptionsProgramStart, HelpTopic::OptionsDisplay, HelpTopic::OptionsInterface,
                               HelpTopic::OptionsUpdate};

QString tx(int n) { return Texts::text(n); }
}  // namespace

TFormOptions::TFormOptions(TMessageForm& box, QString userPath, QWidget* parent)
    : QDialog(parent), box_(box), userPath_(std::move(userPath)) {
  setObjectName(QStringLiteral("FormOptions"));
  selector_ = new TFormSelector(box_, this);
  connect(selector_, &TFormSelector::saved, this, &TFormOptions::selectorSaved);
  connect(selector_, &TFormSelector::helpRequested, this, &TFormOptions::helpRequested);
  auto* v = new QVBoxLayout(this);
  pages_ = new QTabWidget(this);
  pages_->setObjectName(QStringLiteral("pgOptions"));
  v->addWidget(pages_);
  auto group = [this](QWidget* page, int title) {
    auto* g = new QGroupBox(page);
    captions_.emplace_back(g, title);
    page->layout()->addWidget(g);
    return g;
  };
  auto check = [this](QWidget* parent, const char* name, int text) {
    auto* c = new QCheckBox(parent);
    c->setObjectName(QString::fromLatin1(name));
    captions_.emplace_back(c, text);
    return c;
  };
  auto label = [this](QWidget* parent, int text) {
    auto* l = new QLabel(parent);
    captions_.emplace_back(l, text);
    return l;
  };
  auto lineEdit = [](QWidget* parent, const char* name, bool readOnly) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setReadOnly(readOnly);
    return e;
  };

  // Page 0: program start
  auto* start = new QWidget;
  new QVBoxLayout(start);
  QGroupBox* record = group(start, TextNo::Record);
  auto* rl = new QVBoxLayout(record);
  cbBeginRecAtProgStart_ = check(record, "cbBeginRecAtProgStart", TextNo::BeginRecord);
  rl->addWidget(cbBeginRecAtProgStart_);
  QLabel* hint = label(record, TextNo::RecordHint);
  hint->setWordWrap(true);
  rl->addWidget(hint);
  QGroupBox* display = group(start, TextNo::Display);
  auto* dl = new QVBoxLayout(display);
  cbDispHoldAtProgStart_ = check(display, "cbDispHoldAtProgStart", TextNo::DisplayHold);
  dl->addWidget(cbDispHoldAtProgStart_);
  static_cast<QVBoxLayout*>(start->layout())->addStretch();
  pages_->addTab(start, QString());
  pageTitles_.emplace_back(ProgramStart, TextNo::StartPage);

  // Page 1: display
  auto* look = new QWidget;
  new QVBoxLayout(look);
  QGroupBox* appearance = group(look, TextNo::Appearance);
  auto* al = new QFormLayout(appearance);
  cbTheme_ = new QComboBox(appearance);
  cbTheme_->setObjectName(QStringLiteral("cbTheme"));
  al->addRow(label(appearance, TextNo::SkinTheme), cbTheme_);
  static_cast<QVBoxLayout*>(look->layout())->addStretch();
  pages_->addTab(look, QString());
  pageTitles_.emplace_back(Display, TextNo::DisplayPage);

  // Page 2: interface
  auto* iface = new QWidget;
  new QVBoxLayout(iface);
  QGroupBox* wire = group(iface, TextNo::WireTo);
  auto* wl = new QFormLayout(wire);
  cbComA_ = new QComboBox(wire);
  cbComA_->setObjectName(QStringLiteral("cbComA"));
  cbComB_ = new QComboBox(wire);
  cbComB_->setObjectName(QStringLiteral("cbComB"));
  wl->addRow(label(wire, TextNo::ComA), cbComA_);
  wl->addRow(label(wire, TextNo::ComB), cbComB_);
  QGroupBox* selected = group(iface, TextNo::SelectedProfile);
  auto* sl = new QFormLayout(selected);
  cbSelHwProfile_ = new QComboBox(selected);
  cbSelHwProfile_->setObjectName(QStringLiteral("cbSelHwProfile"));
  cbSelHwProfile_->setEditable(true);
  cbSelHwProfile_->setInsertPolicy(QComboBox::NoInsert);
  edInterfaceName_ = lineEdit(selected, "edInterfaceName", false);
  edManufacturer_ = lineEdit(selected, "edManufacturer", false);
  sl->addRow(label(selected, TextNo::FileName), cbSelHwProfile_);
  sl->addRow(label(selected, TextNo::InterfaceName), edInterfaceName_);
  sl->addRow(label(selected, TextNo::Manufacturer), edManufacturer_);
  QGroupBox* settings = group(iface, TextNo::PortSettings);
  auto* pl = new QGridLayout(settings);
  edBaudrates_ = new QPlainTextEdit(settings);
  edBaudrates_->setObjectName(QStringLiteral("edBaudrates"));
  edBaudrates_->setReadOnly(true);
  edBaudrates_->setFixedHeight(edBaudrates_->fontMetrics().lineSpacing() * 3 + 12);
  edDatabits_ = lineEdit(settings, "edDatabits", true);
  edParities_ = lineEdit(settings, "edParities", true);
  edStopbits_ = lineEdit(settings, "edStopbits", true);
  QPushButton* edits[4] = {captionedButton(settings, "btnSelectBaudRates", TextNo::Edit, captions_),
                           captionedButton(settings, "btnEditDatabits", TextNo::Edit, captions_),
                           captionedButton(settings, "btnEditParities", TextNo::Edit, captions_),
                           captionedButton(settings, "btnEditStopbits", TextNo::Edit, captions_)};
  const int labels[4] = {TextNo::BaudRates, TextNo::DataBits, TextNo::Parities, TextNo::StopBits};
  QWidget* fields[4] = {edBaudrates_, edDatabits_, edParities_, edStopbits_};
  for (int i = 0; i < 4; ++i) {
    pl->addWidget(label(settings, labels[i]), i, 0, Qt::AlignTop);
    pl->addWidget(fields[i], i, 1);
    pl->addWidget(edits[i], i, 2, Qt::AlignTop);
    edits[i]->setAutoDefault(false);
  }
  // The five parities are all a UART knows: nothing to pick.
  edits[2]->setEnabled(false);
  edits[2]->hide();
  pages_->addTab(iface, QString());
  pageTitles_.emplace_back(Interface, TextNo::InterfacePage);

  // Page 3: update
  auto* update = new QWidget;
  new QVBoxLayout(update);
  QGroupBox* updates = group(update, TextNo::Updates);
  auto* ul = new QVBoxLayout(updates);
  cbCheckForUpdatesOnStartup_ = check(updates, "cbCheckForUpdatesOnStartup", TextNo::CheckUpdates);
  ul->addWidget(cbCheckForUpdatesOnStartup_);
  static_cast<QVBoxLayout*>(update->layout())->addStretch();
  pages_->addTab(update, QString());
  pageTitles_.emplace_back(Update, TextNo::UpdatePage);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  QPushButton* ok = captionedButton(this, "btnOK", TextNo::Ok, captions_);
  QPushButton* abort = captionedButton(this, "btnAbort", TextNo::Cancel, captions_);
  QPushButton* help = captionedButton(this, "btnHelp", TextNo::Help, captions_);
  ok->setDefault(true);
  for (QPushButton* b : {ok, abort, help}) buttons->addWidget(b);
  v->addLayout(buttons);

  connect(ok, &QPushButton::clicked, this, &TFormOptions::btnOKClick);
  connect(abort, &QPushButton::clicked, this, &TFormOptions::btnAbortClick);
  connect(help, &QPushButton::clicked, this, [this] {
    const int page = pages_->currentIndex();
    emit helpRequested(page >= 0 && page < 4 ? kHelpTopics[page] : HelpTopic::Options);
  });
  connect(edits[0], &QPushButton::clicked, this, &TFormOptions::btnSelectBaudRatesClick);
  connect(edits[1], &QPushButton::clicked, this, &TFormOptions::btnEditDatabitsClick);
  connect(edits[3], &QPushButton::clicked, this, &TFormOptions::btnEditStopbitsClick);
  connect(cbComA_, &QComboBox::activated, this, &TFormOptions::cbComAChange);
  connect(cbComB_, &QComboBox::activated, this, &TFormOptions::cbComBChange);
  connect(cbTheme_, &QComboBox::activated, this, &TFormOptions::cbThemeChange);
  connect(cbSelHwProfile_, &QComboBox::activated, this, &TFormOptions::cbSelHwProfileSelect);
  connect(cbSelHwProfile_, &QComboBox::editTextChanged, this, [this] {
    if (!filling_) changed_ = true;
  });
  for (QLineEdit* e : {edInterfaceName_, edManufacturer_})
    connect(e, &QLineEdit::textEdited, this, [this] { changed_ = true; });
  connect(cbBeginRecAtProgStart_, &QCheckBox::toggled, this, [this](bool on) { state_.beginRecordOnProgStart = on; });
  connect(cbDispHoldAtProgStart_, &QCheckBox::toggled, this, [this](bool on) { state_.displayHoldOnProgStart = on; });
  connect(cbCheckForUpdatesOnStartup_, &QCheckBox::toggled, this, [this](bool on) {
    state_.checkForUpdatesAtProgStart = on;
    if (!filling_) changed_ = true;
  });
  InitialLoads();
  resize(520, 520);
}

void TFormOptions::InitialLoads() {
  applyWidgetTexts(captions_, {});
  for (const auto& [page, text] : pageTitles_) pages_->setTabText(page, tx(text));
  setWindowTitle(tx(TextNo::Caption));
  cbComA_->setPlaceholderText(tx(TextNo::SelectPort));
  cbComB_->setPlaceholderText(tx(TextNo::SelectPort));
  selector_->InitialLoads();
}

void TFormOptions::open(const OptionsSettings& settings, int page) {
  state_ = opened_ = settings;
  changed_ = false;
  filling_ = true;
  cbBeginRecAtProgStart_->setChecked(state_.beginRecordOnProgStart);
  cbDispHoldAtProgStart_->setChecked(state_.displayHoldOnProgStart);
  cbCheckForUpdatesOnStartup_->setChecked(state_.checkForUpdatesAtProgStart);
  cbTheme_->clear();
  for (qsizetype i = 0; i < state_.skins.size(); ++i)
    cbTheme_->addItem(state_.skins[i], int(i < state_.skinNumbers.size() ? state_.skinNumbers[i] : i));
  cbTheme_->setCurrentIndex(qMax(0, cbTheme_->findData(state_.skin)));
  for (QComboBox* c : {cbComA_, cbComB_}) {
    c->clear();
    for (qsizetype i = 0; i < state_.ports.size(); ++i) {
      c->addItem(QStringLiteral("COM") + state_.ports[i]);
      if (i < state_.portDetails.size()) c->setItemData(int(i), state_.portDetails[i], Qt::ToolTipRole);
    }
  }
  showPorts();
  cbSelHwProfile_->clear();
  QStringList names = ::profileNames(userPath_);
  if (!names.contains(state_.profileName)) names << state_.profileName;  // in use but not saved yet
  cbSelHwProfile_->addItems(names);
  cbSelHwProfile_->setCurrentIndex(int(names.indexOf(state_.profileName)));
  showProfile();
  filling_ = false;
  pages_->setCurrentIndex(page);
  show();
  raise();
  activateWindow();
}

void TFormOptions::showPorts() {
  cbComA_->setCurrentIndex(state_.indexA);  // -1 shows the hint: the line has no port
  cbComB_->setCurrentIndex(state_.indexB);
  // The chosen port's driver and what it reports, also while the list is closed.
  for (QComboBox* c : {cbComA_, cbComB_}) c->setToolTip(c->currentData(Qt::ToolTipRole).toString());
}

void TFormOptions::showProfile() {
  const bool was = filling_;
  filling_ = true;
  edInterfaceName_->setText(state_.profile.name);
  edManufacturer_->setText(state_.profile.manufacturer);
  const PortValueLists& v = state_.profile.values;
  // A blank after each comma lets the long list wrap between values, not inside one.
  edBaudrates_->setPlainText(v.baudRates.join(QStringLiteral(", ")));
  edDatabits_->setText(v.dataBits.join(QLatin1Char(',')));
  edParities_->setText(v.parities.join(QLatin1Char(',')));
  edStopbits_->setText(v.stopBits.join(QLatin1Char(',')));
  filling_ = was;
}

void TFormOptions::message(int text, const QString& extra, int title) {
  box_.ShowMessage(tx(text) + extra, tx(title), title == TextNo::Error ? MessageKind::Error : MessageKind::Warning,
                   ButtonSet::Ok);
}

void TFormOptions::cbComAChange(int index) {
  changed_ = true;
  choosePort(state_.indexA, state_.indexB, index, int(state_.ports.size()));
  showPorts();
}

void TFormOptions::cbComBChange(int index) {
  changed_ = true;
  choosePort(state_.indexB, state_.indexA, index, int(state_.ports.size()));
  showPorts();
}

void TFormOptions::cbThemeChange(int index) {
  if (index < 0 || index >= cbTheme_->count()) return;
  const int skin = cbTheme_->itemData(index).toInt();
  if (skin == state_.skin) return;
  state_.skin = skin;
  emit skinChosen(skin);
}

void TFormOptions::cbSelHwProfileSelect(int index) {
  const QString name = cbSelHwProfile_->itemText(index);
  if (name == state_.profileName) return;
  HardwareProfile loaded;
  QStringList warnings;
  QString error;
  if (!LoadHardwareProfile(profilePath(userPath_, name), state_.standards, loaded, warnings, &error)) {
    message(TextNo::NotRead, QStringLiteral("\n\n") + error, TextNo::Error);
    filling_ = true;
    cbSelHwProfile_->setCurrentIndex(cbSelHwProfile_->findText(state_.profileName));
    filling_ = false;
    return;
  }
  if (!warnings.isEmpty())
    message(
        TextNo::Corrected,
        QStringLiteral("\n\n") + profilePath(userPath_, name) + QStringLiteral("\n") + warnings.join(QLatin1Char('\n')),
        TextNo::Warning);
  state_.profileName = name;
  state_.profile = loaded;
  showProfile();
}

void TFormOptions::btnSelectBaudRatesClick() {
  selector_->edit(TFormSelector::BaudRates, state_.standards.baudRates, state_.profile.values.baudRates);
}
void TFormOptions::btnEditDatabitsClick() {
  selector_->edit(TFormSelector::DataBits, state_.standards.dataBits, state_.profile.values.dataBits);
}
void TFormOptions::btnEditStopbitsClick() {
  selector_->edit(TFormSelector::StopBits, state_.standards.stopBits, state_.profile.values.stopBits);
}

void TFormOptions::selectorSaved(int mode, const QStringList& values, const QStringList& standard) {
  PortValueLists& p = state_.profile.values;
  PortValueLists& s = state_.standards;
  switch (mode) {
    case TFormSelector::BaudRates:
      p.baudRates = values;
      s.baudRates = standard;
      break;
    case TFormSelector::DataBits:
      p.dataBits = values;
      s.dataBits = standard;
      break;
    case TFormSelector::StopBits:
      p.stopBits = values;
      s.stopBits = standard;
      break;
    default:
      return;
  }
  changed_ = true;
  showProfile();
}

bool TFormOptions::btnOKClick() {
  if (changed_) {
    const QString name = cbSelHwProfile_->currentText().trimmed();
    if (const int problem = profileNameProblem(name)) {
      message(problem, name.isEmpty() ? QString() : QStringLiteral("\n\n\"%1\"").arg(IniFile::oneLine(name)),
              TextNo::Warning);
      pages_->setCurrentIndex(Interface);
      return false;
    }
    const QString path = profilePath(userPath_, name);
    if (QFileInfo::exists(path) && box_.ShowMessage(tx(TextNo::Overwrite), tx(TextNo::Confirmation),
                                                    MessageKind::Question, ButtonSet::YesNo) != ResultYes) {
      // No: the profile stays as it is on disk, and the dialog shows it again.
      filling_ = true;
      cbSelHwProfile_->setCurrentIndex(cbSelHwProfile_->findText(state_.profileName));
      filling_ = false;
      QStringList warnings;
      HardwareProfile reread;
      if (LoadHardwareProfile(profilePath(userPath_, state_.profileName), state_.standards, reread, warnings))
        state_.profile = reread;
      showProfile();
      return false;
    }
    state_.profile.name = IniFile::oneLine(edInterfaceName_->text()).trimmed();
    state_.profile.manufacturer = IniFile::oneLine(edManufacturer_->text()).trimmed();
    QString error;
    if (!SaveHardwareProfile(path, state_.profile, &error)) {
      message(TextNo::NotSaved, QStringLiteral("\n\n") + error, TextNo::Error);
      return false;
    }
    state_.profileName = name;
  }
  changed_ = false;
  selector_->btnCancelClick();
  hide();
  emit accepted(state_);
  return true;
}

void TFormOptions::btnAbortClick() {
  if (state_.skin != opened_.skin) emit skinChosen(opened_.skin);
  state_ = opened_;
  changed_ = false;
  selector_->btnCancelClick();
  hide();
}

void TFormOptions::reject() { btnAbortClick(); }
