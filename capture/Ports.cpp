#include "capture/Ports.h"

#include "capture/CaptureEngine.h"
#include "capture/PortRegistry.h"
#include "capture/SerialPort.h"
#include "settings/MessageSink.h"
#include "settings/Texts.h"

namespace TextNo {
constexpr int Warning = 205, NeedTwoPorts = 2053, SerialError = 2000;
constexpr int ComACannotOpen = 9650, ComBCannotOpen = 9651, PortAdvice = 9652;
constexpr int Stop1 = 4314, Stop15 = 4315, Stop2 = 4316;
}  // namespace TextNo

void ValueList::select(const QString& value) {
  int i = items.indexOf(value);
  if (i < 0) {
    items << value;
    i = int(items.size()) - 1;
  }
  selected = i;
}

PortValueLists PortValueLists::defaults() {
  return {{"110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "38400", "56000", "57600", "115200",
           "128000", "230400", "256000", "460800", "921600"},
          {"5", "6", "7", "8"},
          {"N", "E", "O", "M", "S"},
          {"1", "1.5", "2"}};
}

Ports::Ports(SerialPort& comA, SerialPort& comB, CaptureEngine& engine, MessageSink& messages, bool& environmentChanged)
    : comA_(comA), comB_(comB), engine_(engine), messages_(messages), environmentChanged_(environmentChanged) {}

void Ports::BuildPortLists(const PortRegistry& registry, const PortValueLists& values) {
  portListA.clear();
  portListB.clear();
  for (int n = 1; n <= PortRegistry::kMaxCom; ++n) {
    if (!registry.IsPortAvailable(n)) continue;
    portListA << QString::number(n);
    portListB << QString::number(n);
  }
  indexA = indexB = 0;
  baudRates = {values.baudRates, 0};
  dataBits = {values.dataBits, 0};
  parities = {values.parities, 0};
  stopBits = {values.stopBits, 0};
}

bool Ports::selectComA(int comNumber) {
  const int i = int(portListA.indexOf(QString::number(comNumber)));
  if (i >= 0) indexA = i;
  return i >= 0;
}

bool Ports::selectComB(int comNumber) {
  const int i = int(portListB.indexOf(QString::number(comNumber)));
  if (i >= 0) indexB = i;
  return i >= 0;
}

void Ports::selectLineSettings(const QString& baud, const QString& bits, const QString& parity, const QString& stop) {
  baudRates.select(baud);
  dataBits.select(bits);
  parities.select(parity);
  stopBits.select(stop);
}

void Ports::InitInterface() {
  const int count = int(portListA.size());
  if (count < 2)
    messages_.showMessage(TextNo::Warning, TextNo::NeedTwoPorts, MessageKind::Warning, ButtonSet::Ok);

  if (count == 0) {
    comA_.SetComNumber(1);
    comB_.SetComNumber(1);
  } else if (count == 1) {
    // One device cannot serve both lines: the line without a port fails its trial open
    // rather than both lines reading the same characters.
    if (indexB == 0 && indexA != 0) {
      comB_.SetComNumber(portListB[0].toInt());
      comA_.SetComNumber(0);
    } else {
      comA_.SetComNumber(portListA[0].toInt());
      comB_.SetComNumber(0);
    }
  } else {
    if (indexB < 0 || indexB >= count) indexB = 0;
    if (indexA < 0 || indexA >= count) indexA = 0;
    // Equal indices would open one device twice: move ComA's index before it is used.
    if (indexA == indexB) indexA = count == 2 ? 1 - indexB : (indexA + 1) % count;
    comA_.SetComNumber(portListA[indexA].toInt());
    comB_.SetComNumber(portListB[indexB].toInt());
  }

  bool ok = false;
  int baud = baudRates.current().toInt(&ok);
  if (!ok || baud <= 0) baud = 9600;
  int bits = dataBits.current().toInt(&ok);
  if (!ok || bits < 5 || bits > 8) bits = 8;
  Parity parity = Parity::None;
  const QString letter = parities.current();
  if (letter == QLatin1String("E")) parity = Parity::Even;
  else if (letter == QLatin1String("O")) parity = Parity::Odd;
  else if (letter == QLatin1String("M")) parity = Parity::Mark;
  else if (letter == QLatin1String("S")) parity = Parity::Space;
  const QString stop = stopBits.current();
  int stopNumber = 1;
  // At 5 data bits the component's 2 stands for 1.5 stop bits.
  if (stop == Texts::text(TextNo::Stop1) || stop == QLatin1String("1")) stopNumber = bits == 5 ? 2 : 1;
  else if (stop == Texts::text(TextNo::Stop15) || stop == QLatin1String("1.5")) stopNumber = 2;
  else if (stop == Texts::text(TextNo::Stop2) || stop == QLatin1String("2")) stopNumber = 2;

  for (SerialPort* port : {&comA_, &comB_}) {
    port->SetBaud(baud);
    port->SetDatabits(bits);
    port->SetParity(parity);
    port->SetStopbits(stopNumber);
  }
  engine_.UpdateCharacterTime(comA_.settings());
}

QString portExtraText(const SerialPort& port, const QString& reason) {
  QString extra = QStringLiteral("\n\nCOM%1").arg(port.comNumber());
  if (!reason.isEmpty()) extra += QStringLiteral("\n") + reason;
  return extra;
}

namespace {
// Whether text begins with the name as a word of its own ("COM3 is", "/dev/ttyS1:", not "COM31").
bool beginsWithName(const QString& text, const QString& name) {
  if (name.isEmpty() || !text.startsWith(name)) return false;
  return text.size() == name.size() || text.at(name.size()) == QLatin1Char(' ') ||
         text.at(name.size()) == QLatin1Char(':');
}
}  // namespace

PortFailure portOpenFailure(bool comA, int comNumber, const QString& device, const QString& reason) {
  // The reasons name the device first ("/dev/ttyUSB0 is busy: ..."); the COM number
  // goes in front of it, so the first line says which port and why, before any advice.
  const QString com = comNumber > 0 ? QStringLiteral("COM%1").arg(comNumber) : QString();
  QString line;
  if (com.isEmpty()) {
    line = reason.isEmpty() ? device : reason;
  } else if (beginsWithName(reason, com)) {
    line = reason;  // "COM7 is not assigned to a device"
  } else {
    const QString lead = device.isEmpty() ? com : QStringLiteral("%1 (%2)").arg(com, device);
    if (reason.isEmpty()) line = lead;
    else if (beginsWithName(reason, device)) line = lead + reason.mid(device.size());
    else line = lead + QStringLiteral(": ") + reason;
  }
  return {comA ? TextNo::ComACannotOpen : TextNo::ComBCannotOpen,
          line + QStringLiteral("\n\n") + Texts::text(TextNo::PortAdvice)};
}

PortFailure portOpenFailure(bool comA, const SerialPort& port, const QString& reason) {
  return portOpenFailure(comA, port.comNumber(), port.lastDevicePath(), reason);
}

bool Ports::trialOpen(SerialPort& port) {
  port.SetOpen(false);
  QString why;
  const bool ok = port.SetOpen(true, &why);
  if (!ok) {
    const PortFailure f = portOpenFailure(&port == &comA_, port, why);
    VORLOG_REPORT(messages_, TextNo::SerialError, f.message, f.extra);
  }
  port.SetOpen(false);
  return ok;
}

bool Ports::TryToOpenPorts() {
  environmentChanged_ = true;
  InitInterface();
  const bool a = trialOpen(comA_);
  const bool b = trialOpen(comB_);
  return a && b;
}
