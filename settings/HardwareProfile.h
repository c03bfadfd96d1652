#pragma once
#include <QString>
#include <QStringList>

#include "capture/Ports.h"

class Configuration;

// Which serial hardware offers which line settings: a small INI file in the user
// path's profiles/ folder. The port panel offers the profile's four lists; the standard
// lists of Vorlog.ini hold every value a profile may pick from.
struct HardwareProfile {
  QString name;  // interface name
  QString manufacturer;
  PortValueLists values;  // what the hardware offers
  QStringList registry;   // "Port1" to "Port16", kept as found
  // The defaults of a profile that names nothing: the whole standard lists.
  static HardwareProfile defaults(const PortValueLists& standards);
  bool operator==(const HardwareProfile&) const = default;
};

enum class PortValueKind { BaudRate, DataBits, Parity, StopBits };

// The standard lists as Vorlog.ini's defaults give them.
PortValueLists standardValueDefaults();
// The standard lists of a loaded configuration, checked: what is no valid value is
// left out, and a list left empty takes its defaults, so the panel always offers something.
PortValueLists checkedStandards(const Configuration& config);

// One list checked: values trimmed and written the one way (" 9600" and "09600" are
// "9600", "n" is "N"), repeats and invalid values left out (into *rejected when given).
QStringList checkedValues(PortValueKind kind, const QStringList& values, QStringList* rejected = nullptr);
bool validValue(PortValueKind kind, const QString& value);

// A profile name is one file name in profiles/: nothing empty, no "/" or "\", no "..",
// no control characters, no leading dot. 0 when it is usable, else the number of the
// text that says why.
int profileNameProblem(const QString& name);
// userPath + "profiles/" + name + ".vhp"; empty when the name is not usable. A profile
// copied from Windows may end in ".VHP": the file that is there is taken, in any case.
QString profilePath(const QString& userPath, const QString& name);
// The names of the profiles in userPath + "profiles/", sorted.
QStringList profileNames(const QString& userPath);
// The profile name of a path or of the configuration's "Profile" value ("default.vhp").
QString profileNameOf(const QString& fileOrPath);

// Reads a profile. A missing file, section or key gives the defaults without a word;
// unusable values are left out with one warning line each (a list left empty offers
// the standard list). False, with *error saying why and profile unchanged, when the file
// cannot be read or is no profile at all (binary, far too large).
bool LoadHardwareProfile(const QString& path, const PortValueLists& standards, HardwareProfile& profile,
                         QStringList& warnings, QString* error = nullptr);
// Writes a profile through a temporary file and a rename, creating profiles/ when it
// is missing, and keeps the sections, keys and comments it does not write. On failure
// the old file stays and *error names the file and the system's reason.
bool SaveHardwareProfile(const QString& path, const HardwareProfile& profile, QString* error = nullptr);
// Writes the default profile into a user path that has none; false with *error on failure.
bool ensureDefaultProfile(const QString& userPath, const PortValueLists& standards, QString* error = nullptr);

// The port choice of the options: line `chosen` takes index, and when the other line
// holds the same port it moves: with two ports to the other one, with more to the next,
// wrapping; with a single port the other line is left without one (-1).
void choosePort(int& chosen, int& other, int index, int count);

// A port list refilled from the profile: the value selected before stays selected when
// the new list offers it, else the second entry (the first when there is only one).
void refillValueList(ValueList& list, const QStringList& items);
