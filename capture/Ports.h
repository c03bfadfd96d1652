#pragma once
#include <QString>
#include <QStringList>

class CaptureEngine;
class MessageSink;
class PortRegistry;
class SerialPort;

// One list of offered values with the selected item.
struct ValueList {
  QStringList items;
  int selected = 0;
  QString current() const { return selected >= 0 && selected < items.size() ? items[selected] : QString(); }
  // Selects a value, adding it to the list when it is not offered yet.
  void select(const QString& value);
};

// The values the port panel offers; the options supply them.
struct PortValueLists {
  QStringList baudRates;
  QStringList dataBits;
  QStringList parities;
  QStringList stopBits;
  static PortValueLists defaults();
  bool operator==(const PortValueLists&) const = default;
};

// Applies the user's port numbers and line settings to both ports and proves them by a trial open.
class Ports {
 public:
  Ports(SerialPort& comA, SerialPort& comB, CaptureEngine& engine, MessageSink& messages, bool& environmentChanged);

  void BuildPortLists(const PortRegistry& registry, const PortValueLists& values);
  void InitInterface();
  // True when both ports opened; every failure has been reported.
  bool TryToOpenPorts();

  // Selects the port with that COM number for ComA or ComB; false when it is not in the list.
  bool selectComA(int comNumber);
  bool selectComB(int comNumber);
  // Selects the line settings as the lists write them ("9600", "8", "N", "1"), adding a
  // value a list does not offer; InitInterface applies them.
  void selectLineSettings(const QString& baud, const QString& dataBits, const QString& parity,
                          const QString& stopBits);

  QStringList portListA, portListB;
  int indexA = 0, indexB = 0;
  ValueList baudRates, dataBits, parities, stopBits;

 private:
  bool trialOpen(SerialPort& port);

  SerialPort& comA_;
  SerialPort& comB_;
  CaptureEngine& engine_;
  MessageSink& messages_;
  bool& environmentChanged_;
};

// The extra text of a port message: two line breaks and "COM" with the number, then what the system said.
QString portExtraText(const SerialPort& port, const QString& reason);

// A port that cannot be opened, as reported under the serial-port title: the message
// number names the port (Com A or Com B), the extra text gives the reason first
// ("COM3 (/dev/ttyUSB0): permission denied") and then what helps on this platform.
struct PortFailure {
  int message = 0;
  QString extra;
};
// comNumber 0 and an empty device where they are not known.
PortFailure portOpenFailure(bool comA, int comNumber, const QString& device, const QString& reason);
PortFailure portOpenFailure(bool comA, const SerialPort& port, const QString& reason);
