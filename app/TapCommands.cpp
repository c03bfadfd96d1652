#include "app/TapCommands.h"

#include "app/MainForm.h"
#include "capture/TapLink.h"
#include "recording/CaptureSession.h"
#include "settings/Texts.h"

namespace TextNo {
constexpr int TapStatus = 9390, SettingsApplied = 9377, SettingsRefused = 9378;
}  // namespace TextNo

TapCommands::TapCommands(TFormMain& form) : form_(form) {}

TapCommands::~TapCommands() = default;

void TapCommands::open() {
  CaptureSession& s = form_.session();
  if (s.recorder.running() || s.recorder.recordDown()) return;
  QStringList devices;
  if (!tap_ && !s.registry.simulated())
    for (const PortInfo& p : s.registry.ports()) devices << p.path;
  if (last_.device.isEmpty() && !devices.isEmpty()) last_.device = devices.first();
  TFormTap dialog(&form_);
  const TFormTap::Choice c = dialog.ask(devices, s.ports.baudRates.items, last_);
  if (!c.ok) return;
  last_ = c;

  // The registry takes the new tap before the old one goes.
  auto tap = std::make_unique<TapLink>(c.device, c.link);
  QObject::connect(tap.get(), &TapLink::settingsApplied, &form_, [this](const LineSettings& applied, bool ok) {
    form_.setStatusPanel6(Texts::text(ok ? TextNo::SettingsApplied : TextNo::SettingsRefused)
                              .arg(QString::number(applied.baud), QString::number(applied.stopBits)));
  });
  s.registry.useTap(tap.get());
  tap_ = std::move(tap);
  form_.BuildPortLists();
  s.ports.selectComA(1);
  s.ports.selectComB(2);
  s.ports.selectLineSettings(c.baud, c.dataBits, c.parity, c.stopBits);
  form_.refreshPortCombos();
  s.ports.InitInterface();
  form_.setStatusPanel6(Texts::text(TextNo::TapStatus).arg(c.device, c.link));
  form_.btnRecordClick();
}
