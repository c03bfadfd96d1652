#include "app/OptionsCommands.h"

#include "app/HelpCommands.h"
#include "app/MainForm.h"
#include "app/MessageForm.h"
#include "recording/CaptureSession.h"
#include "settings/ConfigKeys.h"
#include "settings/ProfileKeys.h"
#include "settings/Texts.h"
#include "settings/ui/OptionsDialog.h"
#include "settings/ui/SkinLoader.h"

namespace {
namespace TextNo {
constexpr int Warning = 205, Error = 206, NotRead = 9878, Corrected = 9880, NoDefault = 9884;
}  // namespace TextNo
}  // namespace

OptionsCommands::OptionsCommands(TFormMain& form, GuiMessages& messages, QString userPath)
    : form_(form),
      messages_(messages),
      userPath_(std::move(userPath)),
      profile_(HardwareProfile::defaults(standardValueDefaults())),
      profileName_(QString::fromLatin1(ProfileKeys::kDefaultName)) {}

TFormOptions& OptionsCommands::dialog() {
  if (!dialog_) {
    dialog_ = new TFormOptions(messages_.form(), userPath_, &form_);
    dialog_->setWindowFlag(Qt::Window);
    QObject::connect(dialog_, &TFormOptions::accepted, &form_, [this](const OptionsSettings& s) { apply(s); });
    // Applied at once, as from the styles menu; Cancel chooses the skin the dialog opened with.
    QObject::connect(dialog_, &TFormOptions::skinChosen, &form_, [this](int skin) { form_.skins().LoadSkin(skin); });
    QObject::connect(dialog_, &TFormOptions::helpRequested, &form_.helpCommands(), &HelpCommands::QuarnelHelp);
  }
  return *dialog_;
}

void OptionsCommands::loadProfile() {
  const Configuration& c = form_.configuration();
  const PortValueLists standards = checkedStandards(c);
  QString error;
  // A user path that cannot take the default profile still works on the built-in
  // defaults; the configuration's save names the read-only folder, so no box at every start.
  if (!ensureDefaultProfile(userPath_, standards, &error))
    qWarning("%s %s", qPrintable(Texts::text(TextNo::NoDefault)), qPrintable(error));
  profile_ = HardwareProfile::defaults(standards);
  profileName_ = profileNameOf(c.profile);
  if (const int problem = profileNameProblem(profileName_)) {
    // A name that would reach outside profiles/ is never opened: the default profile instead.
    VORLOG_REPORT(messages_, TextNo::Warning, problem, QStringLiteral("\n\n\"%1\"").arg(c.profile));
    profileName_ = QString::fromLatin1(ProfileKeys::kDefaultName);
  }
  const QString path = profilePath(userPath_, profileName_);
  QStringList warnings;
  if (!LoadHardwareProfile(path, standards, profile_, warnings, &error))
    VORLOG_REPORT(messages_, TextNo::Error, TextNo::NotRead, QStringLiteral("\n\n") + error);
  else if (!warnings.isEmpty())
    VORLOG_REPORT(messages_, TextNo::Warning, TextNo::Corrected,
                  QStringLiteral("\n\n") + path + QLatin1Char('\n') + warnings.join(QLatin1Char('\n')));
}

OptionsSettings OptionsCommands::settings() const {
  const Configuration& c = form_.configuration();
  OptionsSettings s;
  s.beginRecordOnProgStart = c.beginRecordOnProgStart;
  s.displayHoldOnProgStart = c.displayHoldOnProgStart;
  s.checkForUpdatesAtProgStart = c.checkForUpdatesAtProgStart;
  // The skins the styles menu offers, skin 0 (the system's own style) first.
  for (const Skins::Skin& skin : form_.skins().table().skins()) {
    s.skins << SkinLoader::displayName(skin);
    s.skinNumbers << skin.number;
  }
  s.skin = form_.skins().current();
  const Ports& p = form_.session().ports;
  s.ports = p.portListA;
  s.portDetails = portDetails(s.ports);
  s.indexA = p.indexA < s.ports.size() ? p.indexA : -1;
  s.indexB = p.indexB < s.ports.size() ? p.indexB : -1;
  if (s.ports.size() == 1) s.indexB = s.indexA == 0 ? -1 : 0;  // one device cannot serve both lines
  s.profileName = profileName_;
  s.profile = profile_;
  s.standards = checkedStandards(c);
  return s;
}

// Device, description and what the driver reports, per port; a port this window holds
// open (recording) answers from its open device, the others are looked at for a moment.
QStringList OptionsCommands::portDetails(const QStringList& ports) const {
  CaptureSession& session = form_.session();
  QStringList details;
  for (const QString& n : ports) {
    const int com = n.toInt();
    PortCapabilities caps;
    for (const SerialPort* port : {&session.comA, &session.comB})
      if (port->isOpen() && port->comNumber() == com) caps = port->capabilities();
    if (!caps.known) caps = session.registry.capabilities(com);
    QStringList lines{QStringLiteral("COM%1: %2").arg(n, session.registry.pathFor(com))};
    for (const PortInfo& info : session.registry.ports())
      if (info.comNumber == com && !info.description.isEmpty()) lines << info.description;
    lines << describeCapabilities(caps);
    details << lines.join(QLatin1Char('\n'));
  }
  return details;
}

void OptionsCommands::open(int page) { dialog().open(settings(), page); }

void OptionsCommands::actOptionsExecute() { open(TFormOptions::ProgramStart); }

void OptionsCommands::btnCallComABOptionsClick() { open(TFormOptions::Interface); }

void OptionsCommands::apply(const OptionsSettings& s) {
  Configuration& c = form_.configurationToChange();
  c.beginRecordOnProgStart = s.beginRecordOnProgStart;
  c.displayHoldOnProgStart = s.displayHoldOnProgStart;
  c.checkForUpdatesAtProgStart = s.checkForUpdatesAtProgStart;
  c.baudrates = s.standards.baudRates;
  c.databits = s.standards.dataBits;
  c.parities = s.standards.parities;
  c.stopbits = s.standards.stopBits;
  c.profile = s.profileName + QString::fromLatin1(ProfileKeys::kExtension);
  profileName_ = s.profileName;
  profile_ = s.profile;
  form_.SaveConfiguration();

  Ports& p = form_.session().ports;
  refillValueList(p.baudRates, profile_.values.baudRates);
  refillValueList(p.dataBits, profile_.values.dataBits);
  refillValueList(p.parities, profile_.values.parities);
  refillValueList(p.stopBits, profile_.values.stopBits);
  p.indexA = s.indexA;
  p.indexB = s.indexB;
  form_.refreshPortCombos();
  // The trial open says at once when a port cannot be used; it marks the environment changed.
  p.TryToOpenPorts();
}
