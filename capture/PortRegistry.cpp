#include "capture/PortRegistry.h"

#include <SimpleIni.h>
#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <algorithm>

#include "capture/SimulatedLink.h"
#include "capture/TapLink.h"
#include "capture/TermiosDevice.h"
#include "settings/Texts.h"

namespace TextNo {
constexpr int NotOffered = 9500, NoSuchDevice = 9501, AllNumbersTaken = 9502, CannotWrite = 9503, NotAssigned = 9504;
constexpr int SimDceSide = 9505, SimDteSide = 9506, TapDeviceSide = 9374, TapApplicationSide = 9375;
}  // namespace TextNo

namespace {

const char* const kSection = "Ports";

QList<PortInfo> systemDevices() {
  QList<PortInfo> list;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
    QString desc = info.description();
    if (!info.manufacturer().isEmpty()) desc += (desc.isEmpty() ? "" : ", ") + info.manufacturer();
    list.push_back({0, info.systemLocation(), desc});
  }
  return list;
}

// What a path names: a device by its device number, anything else by its inode.
struct Identity {
  bool valid = false;
  dev_t dev = 0;
  ino_t ino = 0;
  bool operator==(const Identity& o) const { return valid && o.valid && dev == o.dev && ino == o.ino; }
};

Identity identityOf(const QString& path) {
  struct stat st {};
  if (::stat(path.toLocal8Bit().constData(), &st) != 0) return {};
  if (S_ISCHR(st.st_mode)) return {true, st.st_rdev, 0};
  return {true, st.st_dev, st.st_ino};
}

QString canonical(const QString& path) {
  const QString c = QFileInfo(path).canonicalFilePath();
  return c.isEmpty() ? path : c;
}

}  // namespace

PortRegistry::PortRegistry(QString iniPath) : iniPath_(std::move(iniPath)), enumerator_(systemDevices) {}

void PortRegistry::useSimulation(SimulatedLink* link) {
  useLink({1, QStringLiteral("SIM-A"), Texts::text(TextNo::SimDceSide)},
          {2, QStringLiteral("SIM-B"), Texts::text(TextNo::SimDteSide)},
          [link](bool endA) { return link->createDevice(endA ? SimulatedLink::End::A : SimulatedLink::End::B); });
}

void PortRegistry::useLink(const PortInfo& endA, const PortInfo& endB, LinkEnds factory) {
  link_ = std::move(factory);
  tap_ = nullptr;
  ports_ = {{1, endA.path, endA.description}, {2, endB.path, endB.description}};
}

void PortRegistry::useTap(TapLink* tap) {
  tap_ = tap;
  link_ = nullptr;
  ports_ = {{1, tap->devicePath(), Texts::text(TextNo::TapDeviceSide)},
            {2, tap->linkPath(), Texts::text(TextNo::TapApplicationSide)}};
}

QStringList PortRegistry::consoleDevices() const {
  QStringList result{QStringLiteral("/dev/console")};
  QFile f(consoleFile_);
  if (f.open(QIODevice::ReadOnly)) {
    for (const QByteArray& name : f.read(4096).simplified().split(' '))
      if (!name.isEmpty() && !name.contains('/')) result << QStringLiteral("/dev/") + QString::fromLatin1(name);
  }
  return result;
}

bool PortRegistry::isConsole(const QString& path) const {
  const QString c = canonical(path);
  for (const QString& console : consoleDevices())
    if (c == canonical(console) || path == console) return true;
  return false;
}

bool PortRegistry::scan(QString* error) {
  if (linkEnds()) return true;
  ports_.clear();
  CSimpleIniA ini;
  ini.SetUnicode(true);
  ini.LoadFile(iniPath_.toLocal8Bit().constData());  // a missing or unreadable file means no numbers yet
  CSimpleIniA::TNamesDepend keys;
  ini.GetAllKeys(kSection, keys);
  for (const auto& key : keys) {
    const QString k = QString::fromUtf8(key.pItem);
    if (!k.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)) continue;
    bool ok = false;
    const int n = k.mid(3).toInt(&ok);
    const QString path = QString::fromUtf8(ini.GetValue(kSection, key.pItem, "")).trimmed();
    if (!ok || n < 1 || n > kMaxCom || path.isEmpty() || pathFor(n).size() || isConsole(path)) continue;
    const Identity id = identityOf(path);
    if (std::any_of(ports_.begin(), ports_.end(),
                    [&](const PortInfo& p) { return p.path == path || identityOf(p.path) == id; }))
      continue;  // a second name of a device already numbered
    ports_.push_back({n, path, QString()});
  }
  bool added = false;
  for (const PortInfo& found : enumerator_()) {
    if (found.path.isEmpty() || isConsole(found.path)) continue;
    const Identity id = identityOf(found.path);
    auto it = std::find_if(ports_.begin(), ports_.end(),
                           [&](const PortInfo& p) { return p.path == found.path || identityOf(p.path) == id; });
    if (it != ports_.end()) {
      it->description = found.description;
      continue;
    }
    const int n = firstFreeNumber();
    if (n == 0) break;
    ports_.push_back({n, found.path, found.description});
    added = true;
  }
  std::sort(ports_.begin(), ports_.end(), [](const PortInfo& a, const PortInfo& b) { return a.comNumber < b.comNumber; });
  return !added || save(error);
}

int PortRegistry::firstFreeNumber() const {
  for (int n = 1; n <= kMaxCom; ++n)
    if (pathFor(n).isEmpty()) return n;
  return 0;
}

QString PortRegistry::pathFor(int comNumber) const {
  for (const PortInfo& p : ports_)
    if (p.comNumber == comNumber) return p.path;
  return QString();
}

int PortRegistry::numberFor(const QString& path, QString* error) {
  for (const PortInfo& p : ports_)
    if (p.path == path) return p.comNumber;
  if (linkEnds() || isConsole(path)) {
    if (error) *error = Texts::text(TextNo::NotOffered).arg(path);
    return 0;
  }
  // Only devices that are there get a number.
  const Identity id = identityOf(path);
  if (!id.valid) {
    if (error) *error = Texts::text(TextNo::NoSuchDevice).arg(path);
    return 0;
  }
  for (const PortInfo& p : ports_)
    if (identityOf(p.path) == id) return p.comNumber;
  const int n = firstFreeNumber();
  if (n == 0) {
    if (error) *error = Texts::text(TextNo::AllNumbersTaken).arg(kMaxCom);
    return 0;
  }
  // Kept only once it opened as a serial port: a mistyped path never becomes a COM number.
  ports_.push_back({n, path, QString(), true});
  std::sort(ports_.begin(), ports_.end(), [](const PortInfo& a, const PortInfo& b) { return a.comNumber < b.comNumber; });
  return n;
}

void PortRegistry::keep(int comNumber) {
  for (PortInfo& p : ports_) {
    if (p.comNumber != comNumber || !p.provisional) continue;
    p.provisional = false;
    save(nullptr);  // the number still serves this run when it cannot be kept
  }
}

bool PortRegistry::sameDevice(int comA, int comB) const {
  const QString a = pathFor(comA), b = pathFor(comB);
  if (linkEnds() || a.isEmpty() || b.isEmpty()) return false;
  return identityOf(a) == identityOf(b);
}

bool PortRegistry::save(QString* error) const {
  CSimpleIniA ini;
  ini.SetUnicode(true);
  const QByteArray file = iniPath_.toLocal8Bit();
  ini.LoadFile(file.constData());
  ini.Delete(kSection, nullptr);
  ini.SetSpaces(false);  // the same "Key=Value" layout as the rest of the configuration
  for (const PortInfo& p : ports_)
    if (!p.provisional)
      ini.SetValue(kSection, QStringLiteral("COM%1").arg(p.comNumber).toUtf8().constData(), p.path.toUtf8().constData());
  if (ini.SaveFile(file.constData(), false) < 0) {
    if (error) *error = Texts::text(TextNo::CannotWrite).arg(iniPath_);
    return false;
  }
  return true;
}

bool PortRegistry::IsPortAvailable(int comNumber, QString* why) const {
  const QString path = pathFor(comNumber);
  if (path.isEmpty()) {
    if (why) *why = Texts::text(TextNo::NotAssigned).arg(comNumber);
    return false;
  }
  if (linkEnds()) return true;
  if (isConsole(path)) {
    if (why) *why = Texts::text(TextNo::NotOffered).arg(path);
    return false;
  }
  return probeSerialDevice(path, why);
}

PortCapabilities PortRegistry::capabilities(int comNumber) const {
  const QString path = pathFor(comNumber);
  if (linkEnds() || path.isEmpty() || isConsole(path)) return {};
  return probePortCapabilities(path);
}

std::unique_ptr<PortDevice> PortRegistry::createDevice(int comNumber) const {
  const QString path = pathFor(comNumber);
  if (path.isEmpty()) return nullptr;
  if (link_) return link_(comNumber == 1);
  if (tap_) {
    if (isConsole(tap_->devicePath())) return nullptr;
    return tap_->createDevice(comNumber == 1 ? TapLink::End::Device : TapLink::End::Application);
  }
  if (isConsole(path)) return nullptr;
  return std::make_unique<TermiosDevice>(path);
}
