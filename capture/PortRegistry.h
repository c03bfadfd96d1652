#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "capture/PortDevice.h"

class SimulatedLink;
class TapLink;

struct PortInfo {
  int comNumber = 0;
  QString path;
  QString description;
  bool provisional = false;  // numbered for this run only, until it opened as a serial port
};

// Gives every serial device a COM number that stays the same across runs, kept in
// the configuration's [Ports] section (COM3=/dev/ttyUSB0). The system console is never offered.
class PortRegistry {
 public:
  static constexpr int kMaxCom = 49;
  using Enumerator = std::function<QList<PortInfo>()>;  // path and description of discovered devices

  explicit PortRegistry(QString iniPath);

  // Offers only the simulated link, as COM1 (SIM-A) and COM2 (SIM-B); nothing is saved.
  void useSimulation(SimulatedLink* link);
  // Offers only the two ends of a link made up in the program, as COM1 (A) and COM2
  // (B); nothing is saved. The factory makes a device for end A (true) or B.
  using LinkEnds = std::function<std::unique_ptr<PortDevice>(bool endA)>;
  void useLink(const PortInfo& endA, const PortInfo& endB, LinkEnds factory);
  // The simulated link or a replay.
  bool simulated() const { return bool(link_); }
  // Offers only the two ends of a tap: COM1 the device (line D2), COM2 the application
  // (line D1); nothing is saved.
  void useTap(TapLink* tap);
  TapLink* tap() const { return tap_; }
  // For tests: where devices and the console list come from.
  void setEnumerator(Enumerator e) { enumerator_ = std::move(e); }
  void setConsoleListFile(QString path) { consoleFile_ = std::move(path); }

  // Discovers devices, numbers new ones and saves the numbering. False when the
  // numbering could not be saved (the ports are usable all the same).
  bool scan(QString* error = nullptr);
  QList<PortInfo> ports() const { return ports_; }

  QString pathFor(int comNumber) const;
  // The COM number of a device path, whatever name the device goes by: a new device
  // gets a number for this run, kept only once keep() says it opened; 0 when refused.
  int numberFor(const QString& path, QString* error = nullptr);
  // The port opened as a serial port: its number is kept across runs from now on.
  void keep(int comNumber);
  // Both numbers name one device (under two paths); false when either cannot be looked at.
  bool sameDevice(int comA, int comB) const;

  bool IsPortAvailable(int comNumber, QString* why = nullptr) const;
  std::unique_ptr<PortDevice> createDevice(int comNumber) const;
  // What a recording on the port would get from its driver; opens the device for a
  // moment. Unknown for the simulated link and for ports that cannot be opened now.
  PortCapabilities capabilities(int comNumber) const;

  // Devices that serve as the system console, as /dev paths.
  QStringList consoleDevices() const;
  // Whether path names the system console under any name: never opened as a port.
  bool isConsole(const QString& path) const;

 private:
  bool save(QString* error) const;
  int firstFreeNumber() const;

  QString iniPath_;
  QString consoleFile_ = QStringLiteral("/sys/class/tty/console/active");
  Enumerator enumerator_;
  LinkEnds link_;
  TapLink* tap_ = nullptr;
  // The ports are a link's ends, not the system's devices.
  bool linkEnds() const { return bool(link_) || tap_; }
  QList<PortInfo> ports_;  // by COM number
};
