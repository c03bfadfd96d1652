#include "settings/HardwareProfile.h"

#include <SimpleIni.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <string>

#include "settings/ConfigKeys.h"
#include "settings/Configuration.h"
#include "settings/IniFile.h"
#include "settings/ProfileKeys.h"
#include "settings/Texts.h"

using namespace ProfileKeys;

namespace {

namespace TextNo {
constexpr int NameEmpty = 9870, NameBad = 9871, Binary = 9872, TooLarge = 9873, NotRegular = 9874;
constexpr int Invalid = 9875, NoneValid = 9876, TooMany = 9877;
}  // namespace TextNo

using IniFile::ReadResult;

ReadResult readProfile(const QString& path, QByteArray* bytes, QString* reason) {
  const QFileInfo info(path);
  if (!info.exists()) return ReadResult::Missing;
  if (!info.isFile()) {
    *reason = Texts::text(TextNo::NotRegular);
    return ReadResult::Failed;
  }
  const QString tooLarge = Texts::text(TextNo::TooLarge).arg(kMaxFileBytes / 1024);
  if (info.size() > kMaxFileBytes) {
    *reason = tooLarge;
    return ReadResult::Failed;
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    *reason = file.errorString();
    return ReadResult::Failed;
  }
  *bytes = file.read(kMaxFileBytes + 1);  // never beyond the limit, though the file may have grown
  if (file.error() != QFileDevice::NoError) {
    *reason = file.errorString();
    return ReadResult::Failed;
  }
  if (bytes->size() > kMaxFileBytes) {
    *reason = tooLarge;
    return ReadResult::Failed;
  }
  // A text file holds no NUL and hardly any other control bytes: what does is no profile,
  // and taking a few keys out of it would hand the port panel garbage.
  for (qsizetype i = 0; i < bytes->size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes->at(i));
    if (b == 0 || (b < 0x20 && b != '\t' && b != '\r' && b != '\n' && b != 0x1a)) {
      *reason = Texts::text(TextNo::Binary).arg(i);
      return ReadResult::Failed;
    }
  }
  return ReadResult::Read;
}

const char* keyOf(PortValueKind kind) {
  switch (kind) {
    case PortValueKind::BaudRate:
      return kBaudRates;
    case PortValueKind::DataBits:
      return kDataBits;
    case PortValueKind::Parity:
      return kParity;
    case PortValueKind::StopBits:
      return kStopBits;
  }
  return "";
}

QStringList& listOf(PortValueLists& v, PortValueKind kind) {
  switch (kind) {
    case PortValueKind::BaudRate:
      return v.baudRates;
    case PortValueKind::DataBits:
      return v.dataBits;
    case PortValueKind::Parity:
      return v.parities;
    case PortValueKind::StopBits:
      break;
  }
  return v.stopBits;
}

constexpr PortValueKind kKinds[] = {PortValueKind::BaudRate, PortValueKind::DataBits, PortValueKind::Parity,
                                    PortValueKind::StopBits};

// The value as the lists write it, or nothing.
QString canonical(PortValueKind kind, const QString& raw) {
  const QString v = raw.trimmed();
  bool ok = false;
  switch (kind) {
    case PortValueKind::BaudRate: {
      const qlonglong n = v.toLongLong(&ok);
      return ok && n >= kMinBaud && n <= kMaxBaud ? QString::number(n) : QString();
    }
    case PortValueKind::DataBits: {
      const int n = v.toInt(&ok);
      return ok && n >= kMinDataBits && n <= kMaxDataBits ? QString::number(n) : QString();
    }
    case PortValueKind::Parity: {
      const QString u = v.toUpper();
      return u.size() == 1 && QByteArray(kParities).contains(char(u[0].unicode())) ? u : QString();
    }
    case PortValueKind::StopBits:
      for (const char* s : kStopBitValues)
        if (v == QLatin1String(s)) return v;
      return {};
  }
  return {};
}

QString shown(const QString& raw) {
  QString s = IniFile::oneLine(raw).trimmed();
  if (s.size() > 40) s = s.left(40) + QChar(0x2026);
  return s;
}

}  // namespace

HardwareProfile HardwareProfile::defaults(const PortValueLists& standards) {
  return {QString::fromUtf8(kNameDefault), QString::fromUtf8(kManufacturerDefault), standards,
          QStringList(kRegistryCount)};
}

PortValueLists standardValueDefaults() {
  using namespace ConfigKeys;
  return {decodeList(QString::fromUtf8(Baudrates.textDefault)), decodeList(QString::fromUtf8(Databits.textDefault)),
          decodeList(QString::fromUtf8(Parities.textDefault)), decodeList(QString::fromUtf8(Stopbits.textDefault))};
}

PortValueLists checkedStandards(const Configuration& config) {
  PortValueLists out{config.baudrates, config.databits, config.parities, config.stopbits};
  PortValueLists defaults = standardValueDefaults();
  for (PortValueKind kind : kKinds) {
    QStringList& list = listOf(out, kind);
    list = checkedValues(kind, list);
    if (list.isEmpty()) list = listOf(defaults, kind);
  }
  return out;
}

bool validValue(PortValueKind kind, const QString& value) { return !canonical(kind, value).isEmpty(); }

QStringList checkedValues(PortValueKind kind, const QStringList& values, QStringList* rejected) {
  QStringList out;
  for (const QString& v : values) {
    const QString c = canonical(kind, v);
    if (c.isEmpty()) {
      if (rejected) *rejected << v;
    } else if (!out.contains(c)) {
      out << c;
    }
  }
  return out;
}

int profileNameProblem(const QString& name) {
  if (name.trimmed().isEmpty()) return TextNo::NameEmpty;
  if (name.startsWith(QLatin1Char('.')) || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
      name.contains(QLatin1String("..")))
    return TextNo::NameBad;
  for (const QChar c : name)
    if (c.unicode() < 0x20 || c.unicode() == 0x7f || c.category() == QChar::Other_Control) return TextNo::NameBad;
  // The file name with its extension has to fit the file system's limit of 255 bytes.
  if ((name + QString::fromLatin1(kExtension)).toUtf8().size() > 255) return TextNo::NameBad;
  return 0;
}

QString profilePath(const QString& userPath, const QString& name) {
  if (profileNameProblem(name)) return {};
  QString base = userPath;
  if (!base.isEmpty() && !base.endsWith(QLatin1Char('/'))) base += QLatin1Char('/');
  const QString folder = base + QString::fromLatin1(kFolder);
  const QString path = folder + name + QString::fromLatin1(kExtension);
  if (QFileInfo::exists(path)) return path;
  const QString extension = QString::fromLatin1(kExtension);
  for (const QString& file : QDir(folder).entryList(QDir::Files))
    if (file.size() == path.size() - folder.size() && file.startsWith(name) &&
        file.endsWith(extension, Qt::CaseInsensitive))
      return folder + file;
  return path;
}

QStringList profileNames(const QString& userPath) {
  QDir folder(userPath + QString::fromLatin1(kFolder));
  folder.setFilter(QDir::Files);
  folder.setNameFilters({QStringLiteral("*") + QString::fromLatin1(kExtension)});  // in any case
  QStringList names;
  for (const QString& file : folder.entryList()) {
    const QString name = profileNameOf(file);
    if (!profileNameProblem(name) && !names.contains(name)) names << name;
  }
  names.sort(Qt::CaseInsensitive);
  return names;
}

QString profileNameOf(const QString& fileOrPath) {
  QString name = fileOrPath.section(QLatin1Char('/'), -1).section(QLatin1Char('\\'), -1);
  if (name.endsWith(QString::fromLatin1(kExtension), Qt::CaseInsensitive)) name.chop(qsizetype(sizeof kExtension) - 1);
  return name;
}

bool LoadHardwareProfile(const QString& path, const PortValueLists& standards, HardwareProfile& profile,
                         QStringList& warnings, QString* error) {
  QByteArray bytes;
  QString reason;
  const ReadResult got = readProfile(path, &bytes, &reason);
  if (got == ReadResult::Failed) return IniFile::fail(error, path, reason);
  HardwareProfile p = HardwareProfile::defaults(standards);
  if (got == ReadResult::Missing) {
    profile = p;
    return true;
  }
  // Files of the Windows version come in Windows-1252 with CR LF; the parser takes both line ends.
  const QByteArray text = IniFile::asUtf8(std::move(bytes));
  CSimpleIniA ini;
  IniFile::prepare(ini);
  if (ini.LoadData(text.constData(), size_t(text.size())) < 0)
    return IniFile::fail(error, path, qt_error_string(ENOMEM));
  auto value = [&](const char* section, const char* key) -> std::optional<QString> {
    const char* v = ini.GetValue(section, key, nullptr);
    if (!v) return std::nullopt;
    return IniFile::oneLine(QString::fromUtf8(v)).trimmed();
  };
  if (auto v = value(kHardware, kName)) p.name = *v;
  if (auto v = value(kHardware, kManufacturer)) p.manufacturer = *v;
  for (PortValueKind kind : kKinds) {
    const auto v = value(kInterface, keyOf(kind));
    if (!v) continue;  // the standard list
    const QString key = QString::fromLatin1(keyOf(kind));
    QStringList items = decodeList(*v);
    if (items.size() > kMaxValues) {
      warnings << Texts::text(TextNo::TooMany).arg(key).arg(kMaxValues);
      items = items.mid(0, kMaxValues);
    }
    QStringList rejected;
    QStringList good = checkedValues(kind, items, &rejected);
    for (qsizetype i = 0; i < rejected.size() && i < 5; ++i)
      warnings << Texts::text(TextNo::Invalid).arg(key, shown(rejected[i]));
    if (good.isEmpty()) {
      warnings << Texts::text(TextNo::NoneValid).arg(key);
      good = listOf(p.values, kind);
    }
    listOf(p.values, kind) = good;
  }
  for (int i = 0; i < kRegistryCount; ++i) {
    const std::string key = kRegistryStem + std::to_string(i + 1);
    if (auto v = value(kRegistry, key.c_str())) p.registry[i] = *v;
  }
  profile = p;
  return true;
}

bool SaveHardwareProfile(const QString& path, const HardwareProfile& profile, QString* error) {
  const QString folder = QFileInfo(path).absolutePath();
  if (!QDir().mkpath(folder)) return IniFile::fail(error, folder, qt_error_string(errno ? errno : EACCES));
  CSimpleIniA ini;
  QByteArray old;
  const auto clean = [](QByteArray bytes) { return IniFile::asUtf8(std::move(bytes)); };
  if (!IniFile::loadForRewrite(ini, path, readProfile, clean, &old, error)) return false;
  IniFile::Writer w(ini);
  w.text(kHardware, kName, profile.name);
  w.text(kHardware, kManufacturer, profile.manufacturer);
  PortValueLists values = profile.values;
  for (PortValueKind kind : kKinds) w.text(kInterface, keyOf(kind), listOf(values, kind).join(QLatin1Char(',')));
  for (int i = 0; i < kRegistryCount; ++i) {
    const std::string key = kRegistryStem + std::to_string(i + 1);
    w.text(kRegistry, key.c_str(), profile.registry.value(i));
  }
  return IniFile::save(ini, old, path, error);
}

bool ensureDefaultProfile(const QString& userPath, const PortValueLists& standards, QString* error) {
  const QString path = profilePath(userPath, QString::fromLatin1(kDefaultName));
  if (QFileInfo::exists(path)) return true;
  return SaveHardwareProfile(path, HardwareProfile::defaults(standards), error);
}

void choosePort(int& chosen, int& other, int index, int count) {
  if (count <= 0) {
    chosen = other = -1;
    return;
  }
  chosen = qBound(0, index, count - 1);
  if (other != chosen && other >= 0 && other < count) return;
  if (count == 1)
    other = -1;  // one device cannot serve both lines
  else if (count == 2)
    other = 1 - chosen;
  else
    other = (chosen + 1) % count;
}

void refillValueList(ValueList& list, const QStringList& items) {
  const QString before = list.current();
  list.items = items;
  const int i = int(items.indexOf(before));
  list.selected = i >= 0 ? i : items.size() > 1 ? 1 : 0;
}
