// vorlog-cli env JOB.ven [--json]: what an environment file sets up, in words or as JSON.
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <functional>

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "recording/RecordFileName.h"
#include "settings/Configuration.h"
#include "settings/EnvKeys.h"
#include "settings/Environment.h"
#include "settings/Texts.h"
#include "settings/UserPath.h"

namespace {

namespace TextNo {
constexpr int OneFile = 9480, RecordFile = 9481, LineSettings = 9482, Triggers = 9483, Active = 9484;
constexpr int Inactive = 9485, DataOn = 9486, Falls = 9487, Rises = 9488, ErrorOf = 9489, Parity = 9490;
constexpr int Framing = 9491, OtherLine = 9492, Or = 9493, At = 9494, NoActivity = 9495, Sound = 9496;
constexpr int Endless = 9497, Command = 9498, Warning = 9499;
constexpr int File = 9426;                                               // texts-cli.txt
constexpr int General = 8502, Customer = 8516, Description = 8529;      // the header dialog's pages
constexpr int GeneralFields = 8503, CustomerCompany = 8517, CustomerContact = 8528;
constexpr int LineNames = 8801;  // "D1 - TxD" ... "M3 - RNG"
constexpr int Condition = 8170, Event = 8171;
}  // namespace TextNo

QString lineName(int i) { return Texts::text(TextNo::LineNames + i); }  // 0 D1, 1 D2, 2 S1, 3 M1, 4 S2, 5 M2, 6 M5, 7 M3

// The label of a header field as the dialog shows it, without its colon.
QString fieldLabel(int text) {
  QString s = Texts::text(text);
  if (s.endsWith(QLatin1Char(':'))) s.chop(1);
  return s;
}
int customerLabel(int field) {
  if (field == EnvCustomer::Company) return TextNo::CustomerCompany;
  if (field == EnvCustomer::Contact) return TextNo::CustomerContact;
  return TextNo::CustomerCompany + field - 1;  // Address1 (8518) onwards, one behind the file's order
}

QString spacedHex(const QString& hex) {
  QStringList bytes;
  for (qsizetype i = 0; i + 1 < hex.size(); i += 2) bytes << hex.mid(i, 2);
  return bytes.join(QLatin1Char(' '));
}

QString timeText(const QDateTime& t) {
  return t.isValid() ? t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) : QStringLiteral("-");
}

// The trigger's condition in words.
QString conditionText(const TriggerRecord& t) {
  const QString orText = Texts::text(TextNo::Or);
  if (t.Type == TriggerType::Inactivity) {
    const bool on[] = {t.EventD1, t.EventD2, t.EventS1, t.EventM1, t.EventS2, t.EventM2,
                       t.EventM5, t.EventM3, t.EventPE, t.EventFE, t.EventLE};
    static const char* const kErrors[] = {"PE", "FE", "LE"};
    QStringList lines;
    for (int i = 0; i < 11; ++i)
      if (on[i]) lines << (i < 8 ? lineName(i) : QLatin1String(kErrors[i - 8]));
    return Texts::text(TextNo::NoActivity).arg(lines.join(QLatin1String(", "))).arg(t.InActivityTime);
  }
  switch (t.Event) {
    case TriggerEvent::Data: {
      QStringList lines;
      if (t.D1) lines << lineName(0);
      if (t.D2) lines << lineName(1);
      return Texts::text(TextNo::DataOn).arg(spacedHex(t.Data), lines.join(orText));
    }
    case TriggerEvent::Signal: {
      const int edges[] = {t.S1, t.M1, t.S2, t.M2, t.M5, t.M3};
      QStringList parts;
      for (int i = 0; i < 6; ++i)
        if (edges[i] == Edge::Falls || edges[i] == Edge::Rises)
          parts << Texts::text(edges[i] == Edge::Falls ? TextNo::Falls : TextNo::Rises).arg(lineName(i + 2));
      return parts.join(orText);
    }
    case TriggerEvent::Error: {
      QStringList kinds;
      if (t.PE) kinds << Texts::text(TextNo::Parity);
      if (t.FE) kinds << Texts::text(TextNo::Framing);
      if (t.LE) kinds << Texts::text(TextNo::OtherLine);
      return kinds.isEmpty() ? QString() : Texts::text(TextNo::ErrorOf).arg(kinds.join(orText));
    }
    case TriggerEvent::Time:
      return Texts::text(TextNo::At).arg(timeText(t.TimeReached));
    default:
      return QString();
  }
}

QString soundText(const TriggerRecord& t) {
  return t.PlaySoundRepeat ? Texts::text(TextNo::Endless).arg(t.SoundFilePath) : t.SoundFilePath;
}
QString commandText(const TriggerRecord& t) {
  return t.CommandParams.isEmpty() ? t.CommandFilePath : t.CommandFilePath + QLatin1Char(' ') + t.CommandParams;
}

// The device path of a COM number as the port registry in Vorlog.ini knows it; "" when it does not.
QString devicePath(const Configuration& c, int com) {
  for (const PortEntry& p : c.ports)
    if (p.key.compare(QStringLiteral("COM%1").arg(com), Qt::CaseInsensitive) == 0) return p.path;
  return QString();
}

QJsonObject portJson(const EnvironmentPort& p, const QString& path) {
  return {{"device", p.device},
          {"path", path},
          {"baud", p.baud},
          {"dataBits", p.dataBits},
          {"parity", p.parity},
          {"parityLetter", parityLetter(p.parity)},
          {"stopBits", p.stopBits},
          {"stopBitsText", stopBitsText(p.stopBits, p.dataBits)}};
}

QJsonObject triggerJson(const TriggerRecord& t) {
  using namespace EnvKeys;
  QJsonObject o{{"number", t.Number},
                {kName, t.Name},
                {kTriggerDescription, t.Description},
                {kActive, t.Active},
                {kType, t.Type},
                {kEvent, t.Event},
                {kD1, t.D1},
                {kD2, t.D2},
                {kData, t.Data},
                {kPE, t.PE},
                {kFE, t.FE},
                {kLE, t.LE},
                {kTimeReached, t.TimeReached.isValid()
                                   ? QJsonValue(t.TimeReached.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz")))
                                   : QJsonValue()},
                {kInActivityTime, t.InActivityTime},
                {kPlaySound, t.PlaySound},
                {kSoundFilePath, t.SoundFilePath},
                {kPlaySoundRepeat, t.PlaySoundRepeat},
                {kExecCommand, t.ExecCommand},
                {kCommandFilePath, t.CommandFilePath},
                {kCommandParams, t.CommandParams},
                {"typeText", triggerTypeText(t.Type)},
                {"eventText", triggerEventText(t)},
                {"condition", conditionText(t)}};
  const int edges[] = {t.S1, t.M1, t.S2, t.M2, t.M5, t.M3};
  for (int i = 0; i < 6; ++i) o[QLatin1String(kEdgeKeys[i])] = edges[i];
  const bool activity[] = {t.EventD1, t.EventD2, t.EventS1, t.EventM1, t.EventS2, t.EventM2,
                           t.EventM5, t.EventM3, t.EventPE, t.EventFE, t.EventLE};
  for (int i = 0; i < 11; ++i) o[QLatin1String(kActivityKeys[i])] = activity[i];
  return o;
}

}  // namespace

int runEnv(const QStringList& in) {
  const Args a = Args::parse(in, {}, {"json"});
  if (!a.error.isEmpty() || a.positional.size() != 1) {
    printErr(QStringLiteral("vorlog-cli env: ") + (a.error.isEmpty() ? Texts::text(TextNo::OneFile) : a.error) + "\n");
    return 2;
  }
  // As for record files: a name that is there is taken, else it lies in the user path.
  const QString name = a.positional[0];
  const QString path = resolveEnvironmentName(name, userPath());
  // A job that is not there is a mistake on the command line, not a job of defaults.
  if (!QFileInfo::exists(path)) {
    printErr(QStringLiteral("vorlog-cli: %1: %2\n").arg(path, qt_error_string(ENOENT)));
    return 1;
  }
  Environment env;
  EnvironmentWarnings warnings;
  QString error;
  if (!LoadEnvironment(path, env, warnings, &error)) {
    printErr(QStringLiteral("vorlog-cli: ") + error + QLatin1Char('\n'));
    return 1;
  }
  Configuration configuration;
  configuration.load();
  const QString pathA = devicePath(configuration, env.comA.device), pathB = devicePath(configuration, env.comB.device);
  const QString recordPath = resolveRecordFileName(env.recordFile, userPath());

  if (a.has("json")) {
    QJsonObject general, customer;
    for (int i = 0; i < EnvGeneral::Count; ++i) general[QLatin1String(EnvKeys::kGeneralKeys[i])] = env.general[i];
    for (int i = 0; i < EnvCustomer::Count; ++i) customer[QLatin1String(EnvKeys::kCustomerKeys[i])] = env.customer[i];
    QJsonArray triggers;
    for (const TriggerRecord& t : env.triggers) triggers.append(triggerJson(t));
    const QJsonObject o{{"file", path},
                        {"ports", QJsonObject{{"ComA", portJson(env.comA, pathA)}, {"ComB", portJson(env.comB, pathB)}}},
                        {"recordFile", env.recordFile},
                        {"recordFilePath", recordPath},
                        {"general", general},
                        {"customer", customer},
                        {"description", QJsonArray::fromStringList(env.description)},
                        {"triggers", triggers},
                        {"warnings", QJsonArray::fromStringList(warnings.lines)}};
    printOut(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented)));
    return 0;
  }

  QString out;
  auto line = [&out](const QString& label, const QString& value) {
    out += label.leftJustified(20) + value + QLatin1Char('\n');
  };
  line(Texts::text(TextNo::File), path);
  auto port = [&](const char* label, const EnvironmentPort& p, const QString& device) {
    line(QLatin1String(label),
         QStringLiteral("COM%1%2  ").arg(p.device).arg(device.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(device)) +
             Texts::text(TextNo::LineSettings)
                 .arg(p.baud)
                 .arg(p.dataBits)
                 .arg(parityLetter(p.parity), stopBitsText(p.stopBits, p.dataBits)));
  };
  port("ComA", env.comA, pathA);
  port("ComB", env.comB, pathB);
  line(Texts::text(TextNo::RecordFile),
       recordPath == env.recordFile ? env.recordFile : QStringLiteral("%1 (%2)").arg(env.recordFile, recordPath));
  auto header = [&](int title, const QStringList& values, const std::function<int(int)>& label) {
    QString block;
    for (int i = 0; i < values.size(); ++i)
      if (!values[i].isEmpty()) block += QStringLiteral("  %1%2\n").arg(fieldLabel(label(i)).leftJustified(18), values[i]);
    if (!block.isEmpty()) out += Texts::text(title) + QLatin1Char('\n') + block;
  };
  header(TextNo::General, env.general, [](int i) { return TextNo::GeneralFields + i; });
  header(TextNo::Customer, env.customer, customerLabel);
  if (!env.description.isEmpty()) {
    out += Texts::text(TextNo::Description) + QLatin1Char('\n');
    for (const QString& l : env.description) out += QStringLiteral("  ") + l + QLatin1Char('\n');
  }
  out += QStringLiteral("%1: %2\n").arg(Texts::text(TextNo::Triggers)).arg(env.triggers.size());
  for (const TriggerRecord& t : env.triggers) {
    out += QStringLiteral("  %1  %2  [%3]\n")
               .arg(t.Number, 3)
               .arg(t.Name, Texts::text(t.Active ? TextNo::Active : TextNo::Inactive));
    if (!t.Description.isEmpty()) out += QStringLiteral("       %1\n").arg(t.Description);
    out += QStringLiteral("       %1: %2;  %3: %4;  %5\n")
               .arg(Texts::text(TextNo::Condition), triggerTypeText(t.Type), Texts::text(TextNo::Event),
                    triggerEventText(t), conditionText(t));
    if (t.PlaySound) out += QStringLiteral("       ") + Texts::text(TextNo::Sound).arg(soundText(t)) + QLatin1Char('\n');
    if (t.ExecCommand)
      out += QStringLiteral("       ") + Texts::text(TextNo::Command).arg(commandText(t)) + QLatin1Char('\n');
  }
  printOut(out);
  QString warned;
  for (const QString& w : warnings.lines) warned += Texts::text(TextNo::Warning).arg(w) + QLatin1Char('\n');
  if (!warned.isEmpty()) printErr(warned);
  return 0;
}
