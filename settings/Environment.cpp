#include "settings/Environment.h"

#include <SimpleIni.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringDecoder>
#include <cerrno>
#include <charconv>
#include <optional>
#include <string>

#include "capture/PortRegistry.h"
#include "settings/EnvKeys.h"
#include "settings/IniFile.h"
#include "settings/Texts.h"
#include "triggers/TextNotation.h"

using namespace EnvKeys;

namespace {

using IniFile::fail;
using IniFile::oneLine;
using IniFile::parseInteger;
using IniFile::asUtf8;
using IniFile::prepare;

namespace TextNo {
constexpr int Missing = 9850, TooLarge = 9851, Binary = 9852, NotInteger = 9853, OutOfRange = 9854;
constexpr int NotBoolean = 9855, TooMany = 9856, NamelessEnds = 9857, BadTriggerValue = 9858, BadTime = 9859;
constexpr int NoTime = 9860, BadData = 9861, InactivityEvent = 9862, CannotArm = 9863, NotOffered = 9864;
constexpr int Empty = 9865, BadTimeKept = 9866, NotRegular = 9867;
constexpr int Baud = 9709, DataBits = 9710, Parity = 9711, StopBits = 9712;  // texts-window.txt
constexpr int Stop1 = 4314, Stop15 = 4315, Stop2 = 4316;
}  // namespace TextNo

using IniFile::ReadResult;

// The whole file, or why not: a missing file is no failure, anything but a regular file
// and anything over the size limit is.
ReadResult readFile(const QString& path, QByteArray* bytes, QString* reason) {
  const QFileInfo info(path);
  if (!info.exists()) return ReadResult::Missing;
  if (!info.isFile()) {
    *reason = Texts::text(TextNo::NotRegular);
    return ReadResult::Failed;
  }
  const QString tooLarge = Texts::text(TextNo::TooLarge).arg(kMaxFileBytes / (1024 * 1024));
  if (info.size() > kMaxFileBytes) {
    *reason = tooLarge;
    return ReadResult::Failed;
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    *reason = file.errorString();
    return ReadResult::Failed;
  }
  // In pieces, never beyond the limit: the file may have grown since its size was asked.
  bytes->clear();
  bytes->reserve(info.size());
  while (bytes->size() <= kMaxFileBytes) {
    const QByteArray piece = file.read(64 * 1024);
    if (piece.isEmpty()) break;
    bytes->append(piece);
  }
  if (file.error() != QFileDevice::NoError) {
    *reason = file.errorString();
    return ReadResult::Failed;
  }
  if (bytes->size() > kMaxFileBytes) {
    *reason = tooLarge;
    return ReadResult::Failed;
  }
  return ReadResult::Read;
}

// A value as a warning quotes it: one line, and short, whatever the file holds.
QString shown(const char* raw) {
  QString s = oneLine(QString::fromUtf8(raw)).trimmed();
  if (s.size() > 40) s = s.left(40) + QChar(0x2026);
  return s;
}

std::string numbered(const char* stem, qsizetype n) { return stem + std::to_string(n); }

class Reader {
 public:
  Reader(const CSimpleIniA& ini, QStringList& warnings) : ini_(ini), warnings_(warnings) {}

  const char* raw(const char* section, const char* key) const { return ini_.GetValue(section, key, nullptr); }
  bool hasSection(const std::string& section) const { return ini_.GetSectionSize(section.c_str()) >= 0; }

  // A value that is no whole number or lies outside [lo, hi] takes the default, with a warning.
  int integer(const char* section, const char* key, int def, int lo, int hi) const {
    const char* v = raw(section, key);
    if (!v) return def;
    const auto n = parseInteger(v);
    if (!n)
      warn(Texts::text(TextNo::NotInteger).arg(QString::fromUtf8(section), QString::fromUtf8(key), shown(v)).arg(def));
    else if (*n < lo || *n > hi)
      warn(Texts::text(TextNo::OutOfRange)
               .arg(QString::fromUtf8(section), QString::fromUtf8(key), shown(v))
               .arg(lo)
               .arg(hi)
               .arg(def));
    else
      return *n;
    return def;
  }

  // "1" and "0" as written; any other number, "true" and "false" as a hand-edited file may have them.
  bool boolean(const char* section, const char* key, bool def = false) const {
    const char* v = raw(section, key);
    if (!v) return def;
    if (const auto n = parseInteger(v)) return *n != 0;
    const QByteArray t = QByteArray(v).trimmed().toLower();
    if (t == "true") return true;
    if (t == "false") return false;
    warn(Texts::text(TextNo::NotBoolean)
             .arg(QString::fromUtf8(section), QString::fromUtf8(key), shown(v))
             .arg(def ? 1 : 0));
    return def;
  }

  // Control characters read as the blanks they are written as, so a value reads back
  // the same after every save.
  QString text(const char* section, const char* key, const char* def = "") const {
    const char* v = raw(section, key);
    const QString s = v ? oneLine(QString::fromUtf8(v)).trimmed() : QString();
    return s.isEmpty() ? QString::fromUtf8(def) : s;
  }

  void warn(const QString& line) const { warnings_ << line; }

 private:
  const CSimpleIniA& ini_;
  QStringList& warnings_;
};

using Writer = IniFile::Writer;

void readPort(const Reader& r, const char* section, int defaultDevice, EnvironmentPort& p) {
  p.device = r.integer(section, kDevice, defaultDevice, kMinCom, PortRegistry::kMaxCom);
  p.baud = r.integer(section, kBaud, kBaudDefault, kMinBaud, kMaxBaud);
  p.dataBits = r.integer(section, kDataBits, kDataBitsDefault, kMinDataBits, kMaxDataBits);
  p.parity = r.integer(section, kParity, kParityDefault, kMinParity, kMaxParity);
  p.stopBits = r.integer(section, kStopBits, kStopBitsDefault, kMinStopBits, kMaxStopBits);
}

void writePort(Writer& w, const char* section, const EnvironmentPort& p) {
  w.integer(section, kDevice, p.device);
  w.integer(section, kBaud, p.baud);
  w.integer(section, kDataBits, p.dataBits);
  w.integer(section, kParity, p.parity);
  w.integer(section, kStopBits, p.stopBits);
}

QDateTime parseTime(const QString& value) {
  const QString t = value.trimmed();
  if (t.isEmpty()) return {};
  QDateTime dt = QDateTime::fromString(t, Qt::ISODateWithMs);
  if (dt.isValid()) return dt.toLocalTime();
  const QLocale system = QLocale::system();
  for (const auto form : {QLocale::ShortFormat, QLocale::LongFormat}) {
    dt = system.toDateTime(t, form);
    if (dt.isValid()) return dt;
  }
  // The forms the Windows version wrote in German and English locales; Delphi leaves
  // out the time at midnight.
  static const char* const kForms[] = {
      "yyyy-MM-dd HH:mm:ss.zzz", "yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd HH:mm", "yyyy-MM-dd",
      "d.M.yyyy H:mm:ss.zzz",    "d.M.yyyy H:mm:ss",    "d.M.yyyy H:mm",    "d.M.yyyy",
      "M/d/yyyy h:mm:ss.zzz AP", "M/d/yyyy h:mm:ss AP", "M/d/yyyy h:mm AP", "M/d/yyyy H:mm:ss.zzz",
      "M/d/yyyy H:mm:ss",        "M/d/yyyy H:mm",       "M/d/yyyy"};
  for (const char* form : kForms) {
    dt = QDateTime::fromString(t, QString::fromLatin1(form));
    if (dt.isValid()) return dt;
  }
  return {};
}

void readTrigger(const Reader& r, const std::string& sectionName, TriggerRecord& t) {
  const char* s = sectionName.c_str();
  const QString section = QString::fromStdString(sectionName);
  t.Name = r.text(s, kName);
  t.Description = r.text(s, kTriggerDescription);
  t.Active = r.boolean(s, kActive);
  // A value out of range: its default, and the trigger does nothing until the user looked at it.
  auto bad = [&](const char* key, const char* value, const QString& replacement) {
    r.warn(Texts::text(TextNo::BadTriggerValue)
               .arg(section, t.Name, QString::fromUtf8(key), shown(value), replacement));
    t.Active = false;
  };
  auto code = [&](const char* key, int def, int lo, int hi) {
    const char* v = r.raw(s, key);
    if (!v) return def;
    const auto n = parseInteger(v);
    if (n && *n >= lo && *n <= hi) return *n;
    bad(key, v, QString::number(def));
    return def;
  };
  t.Type = code(kType, TriggerType::Start, TriggerType::Start, TriggerType::Inactivity);
  if (t.Type == TriggerType::Inactivity) {
    const char* v = r.raw(s, kEvent);
    if (v && parseInteger(v) != TriggerEvent::Inactivity)
      r.warn(Texts::text(TextNo::InactivityEvent).arg(section, t.Name, shown(v)));
    t.Event = TriggerEvent::Inactivity;
  } else {
    t.Event = code(kEvent, TriggerEvent::Data, TriggerEvent::Data, TriggerEvent::Time);
  }
  t.D1 = r.boolean(s, kD1);
  t.D2 = r.boolean(s, kD2);
  if (const char* v = r.raw(s, kData)) {
    QString hex;
    for (const QChar c : QString::fromUtf8(v))
      if (!c.isSpace()) hex += c;
    QString upper;
    if (hex.isEmpty()) {
      t.Data.clear();
    } else if (TextNotation::isValidPattern(hex, &upper)) {
      t.Data = upper;
    } else {
      r.warn(Texts::text(TextNo::BadData).arg(section, t.Name, shown(v)));
      t.Active = false;
    }
  }
  int32_t* edges[] = {&t.S1, &t.M1, &t.S2, &t.M2, &t.M5, &t.M3};
  for (int i = 0; i < 6; ++i) *edges[i] = code(kEdgeKeys[i], Edge::Ignore, Edge::Ignore, Edge::Rises);
  t.PE = r.boolean(s, kPE);
  t.FE = r.boolean(s, kFE);
  t.LE = r.boolean(s, kLE);
  const bool timeTrigger = t.Type != TriggerType::Inactivity && t.Event == TriggerEvent::Time;
  const char* when = r.raw(s, kTimeReached);
  t.TimeReached = when ? parseTime(oneLine(QString::fromUtf8(when))) : QDateTime();
  if (!t.TimeReached.isValid()) {
    const bool written = when && !QByteArray(when).trimmed().isEmpty();
    if (timeTrigger) {
      r.warn(written ? Texts::text(TextNo::BadTime).arg(section, t.Name, shown(when))
                     : Texts::text(TextNo::NoTime).arg(section, t.Name));
      t.Active = false;
    } else if (written) {
      r.warn(Texts::text(TextNo::BadTimeKept).arg(section, t.Name, shown(when)));
    }
  }
  if (t.Type == TriggerType::Inactivity)
    t.InActivityTime = code(kInActivityTime, kMinInactivitySeconds, kMinInactivitySeconds, kMaxInactivitySeconds);
  else
    t.InActivityTime = r.integer(s, kInActivityTime, kMinInactivitySeconds, kMinInactivitySeconds,
                                 kMaxInactivitySeconds);
  bool* activity[] = {&t.EventD1, &t.EventD2, &t.EventS1, &t.EventM1, &t.EventS2, &t.EventM2,
                      &t.EventM5, &t.EventM3, &t.EventPE, &t.EventFE, &t.EventLE};
  for (int i = 0; i < 11; ++i) *activity[i] = r.boolean(s, kActivityKeys[i]);
  t.PlaySound = r.boolean(s, kPlaySound);
  t.SoundFilePath = r.text(s, kSoundFilePath);
  t.PlaySoundRepeat = r.boolean(s, kPlaySoundRepeat);
  t.ExecCommand = r.boolean(s, kExecCommand);
  t.CommandFilePath = r.text(s, kCommandFilePath);
  t.CommandParams = r.text(s, kCommandParams);
  if (t.Active) {
    if (const int problem = triggerArmProblem(t))
      r.warn(Texts::text(TextNo::CannotArm).arg(section, t.Name, Texts::text(problem)));
  }
}

void writeTrigger(Writer& w, const std::string& sectionName, const TriggerRecord& t) {
  const char* s = sectionName.c_str();
  w.text(s, kName, t.Name);
  w.text(s, kTriggerDescription, t.Description);
  w.boolean(s, kActive, t.Active);
  w.integer(s, kType, t.Type);
  w.integer(s, kEvent, t.Event);
  w.boolean(s, kD1, t.D1);
  w.boolean(s, kD2, t.D2);
  w.text(s, kData, t.Data);
  const int32_t edges[] = {t.S1, t.M1, t.S2, t.M2, t.M5, t.M3};
  for (int i = 0; i < 6; ++i) w.integer(s, kEdgeKeys[i], edges[i]);
  w.boolean(s, kPE, t.PE);
  w.boolean(s, kFE, t.FE);
  w.boolean(s, kLE, t.LE);
  w.text(s, kTimeReached,
         t.TimeReached.isValid() ? t.TimeReached.toLocalTime().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz"))
                                 : QString());
  w.integer(s, kInActivityTime, t.InActivityTime);
  const bool activity[] = {t.EventD1, t.EventD2, t.EventS1, t.EventM1, t.EventS2, t.EventM2,
                           t.EventM5, t.EventM3, t.EventPE, t.EventFE, t.EventLE};
  for (int i = 0; i < 11; ++i) w.boolean(s, kActivityKeys[i], activity[i]);
  w.boolean(s, kPlaySound, t.PlaySound);
  w.text(s, kSoundFilePath, t.SoundFilePath);
  w.boolean(s, kPlaySoundRepeat, t.PlaySoundRepeat);
  w.boolean(s, kExecCommand, t.ExecCommand);
  w.text(s, kCommandFilePath, t.CommandFilePath);
  w.text(s, kCommandParams, t.CommandParams);
}

qsizetype cutAtNul(QByteArray& bytes) {
  const qsizetype nul = bytes.indexOf('\0');
  if (nul >= 0) bytes.truncate(nul);
  return nul;
}

}  // namespace

Environment::Environment()
    : recordFile(QString::fromUtf8(RecordData.textDefault)), general(EnvGeneral::Count), customer(EnvCustomer::Count) {
  comA.device = kDeviceDefaultA;
  comB.device = kDeviceDefaultB;
}

QString resolveEnvironmentName(const QString& name, const QString& userPath) {
  return QFileInfo::exists(name) ? QFileInfo(name).absoluteFilePath() : qualifyEnvironmentName(name, userPath);
}

QString qualifyEnvironmentName(const QString& name, const QString& userPath) {
  const QString n = name.trimmed().isEmpty() ? QString::fromUtf8(ConfigKeys::EnvironmentFilename.textDefault) : name;
  if (QDir::isAbsolutePath(n)) return QDir::cleanPath(n);
  return QDir::cleanPath(QDir(userPath).filePath(n));
}

bool LoadEnvironment(const QString& path, Environment& env, EnvironmentWarnings& warnings, QString* error) {
  env = Environment();
  warnings.lines.clear();
  QByteArray bytes;
  QString reason;
  switch (readFile(path, &bytes, &reason)) {
    case ReadResult::Missing:
      warnings.lines << Texts::text(TextNo::Missing).arg(QDir::toNativeSeparators(path));
      return true;
    case ReadResult::Failed:
      return fail(error, path, reason);
    case ReadResult::Read:
      break;
  }
  if (const qsizetype nul = cutAtNul(bytes); nul >= 0) warnings.lines << Texts::text(TextNo::Binary).arg(nul);
  const QByteArray text = asUtf8(std::move(bytes));
  CSimpleIniA ini;
  prepare(ini);
  if (ini.LoadData(text.constData(), size_t(text.size())) < 0) return fail(error, path, qt_error_string(ENOMEM));
  const Reader r(ini, warnings.lines);

  readPort(r, kComA, kDeviceDefaultA, env.comA);
  readPort(r, kComB, kDeviceDefaultB, env.comB);
  env.recordFile = r.text(RecordData.section, RecordData.name, RecordData.textDefault);
  for (int i = 0; i < EnvGeneral::Count; ++i) env.general[i] = r.text(kGeneral, kGeneralKeys[i]);
  for (int i = 0; i < EnvCustomer::Count; ++i) env.customer[i] = r.text(kCustomer, kCustomerKeys[i]);
  for (qsizetype i = 0;; ++i) {
    const std::string key = numbered(kLineStem, i);
    const char* v = r.raw(kDescription, key.c_str());
    if (!v) break;
    env.description << oneLine(QString::fromUtf8(v)).trimmed();
  }

  auto sectionsFrom = [&](qsizetype n) {
    qsizetype k = n;
    while (r.hasSection(numbered(kTriggerStem, k))) ++k;
    return k - n;
  };
  for (qsizetype n = 0;; ++n) {
    const std::string section = numbered(kTriggerStem, n);
    if (!r.hasSection(section)) break;
    if (n == kMaxTriggers) {
      r.warn(Texts::text(TextNo::TooMany).arg(kMaxTriggers).arg(sectionsFrom(n)));
      break;
    }
    if (r.text(section.c_str(), kName).isEmpty()) {
      r.warn(Texts::text(TextNo::NamelessEnds).arg(QString::fromStdString(section)).arg(sectionsFrom(n)));
      break;
    }
    TriggerRecord t;
    readTrigger(r, section, t);
    t.Number = int(n + 1);
    env.triggers.push_back(std::move(t));
  }
  return true;
}

bool SaveEnvironment(const QString& path, const Environment& env, QString* error) {
  CSimpleIniA ini;
  QByteArray old;
  const auto clean = [](QByteArray bytes) {
    cutAtNul(bytes);
    return asUtf8(std::move(bytes));
  };
  if (!IniFile::loadForRewrite(ini, path, readFile, clean, &old, error)) return false;

  Writer w(ini);
  writePort(w, kComA, env.comA);
  writePort(w, kComB, env.comB);
  w.text(RecordData.section, RecordData.name, env.recordFile);
  for (int i = 0; i < EnvGeneral::Count; ++i) w.text(kGeneral, kGeneralKeys[i], env.general.value(i));
  for (int i = 0; i < EnvCustomer::Count; ++i) w.text(kCustomer, kCustomerKeys[i], env.customer.value(i));

  // The old description goes; the section keeps its place and its comment.
  CSimpleIniA::TNamesDepend keys;
  ini.GetAllKeys(kDescription, keys);
  for (const auto& key : keys) {
    const std::string name = key.pItem;  // the entry is freed by Delete
    ini.Delete(kDescription, name.c_str(), false);
  }
  ini.SetValue(kDescription, nullptr, nullptr);
  for (qsizetype i = 0; i < env.description.size(); ++i)
    w.text(kDescription, numbered(kLineStem, i).c_str(), env.description[i]);

  // A trigger without a name would end the list on loading: it is not written.
  qsizetype n = 0;
  for (const TriggerRecord& t : env.triggers) {
    if (oneLine(t.Name).trimmed().isEmpty()) continue;
    writeTrigger(w, numbered(kTriggerStem, n++), t);
  }
  // No trigger of an earlier save survives, wherever its number lies.
  static const QRegularExpression triggerSection(QStringLiteral("^Trigger(\\d{1,9})$"),
                                                 QRegularExpression::CaseInsensitiveOption);
  CSimpleIniA::TNamesDepend sections;
  ini.GetAllSections(sections);
  std::vector<std::string> stale;
  for (const auto& section : sections) {
    const auto m = triggerSection.match(QString::fromUtf8(section.pItem));
    if (m.hasMatch() && m.captured(1).toLongLong() >= n) stale.emplace_back(section.pItem);
  }
  for (const std::string& section : stale) ini.Delete(section.c_str(), nullptr);

  return IniFile::save(ini, old, path, error);
}

QString parityLetter(int code) {
  static const char* const kLetters[] = {"N", "O", "E", "M", "S"};
  return code >= 0 && code < 5 ? QString::fromLatin1(kLetters[code]) : QString();
}

QString stopBitsText(int code, int dataBits) {
  if (code == 1) return QStringLiteral("1");
  if (code == 2) return dataBits == 5 ? QStringLiteral("1.5") : QStringLiteral("2");
  return QString();
}

void checkOfferedPortValues(const QString& port, const EnvironmentPort& values, const QStringList& baudRates,
                            const QStringList& dataBits, const QStringList& parities, const QStringList& stopBits,
                            EnvironmentWarnings& warnings) {
  auto check = [&](const QStringList& offered, const QStringList& forms, int label) {
    for (const QString& f : forms)
      if (offered.contains(f)) return;
    warnings.lines << Texts::text(TextNo::NotOffered).arg(port, Texts::text(label), forms.value(0));
  };
  check(baudRates, {QString::number(values.baud)}, TextNo::Baud);
  check(dataBits, {QString::number(values.dataBits)}, TextNo::DataBits);
  check(parities, {parityLetter(values.parity)}, TextNo::Parity);
  // The stop-bit list holds the texts 4314 to 4316 or their plain forms.
  const QString stop = stopBitsText(values.stopBits, values.dataBits);
  const int stopText = stop == QLatin1String("1") ? TextNo::Stop1 : stop == QLatin1String("2") ? TextNo::Stop2 : TextNo::Stop15;
  check(stopBits, {stop, Texts::text(stopText)}, TextNo::StopBits);
}
