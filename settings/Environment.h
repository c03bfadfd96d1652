#pragma once
#include <QString>
#include <QStringList>
#include <vector>

#include "triggers/TriggerRecord.h"

// One measuring job as an environment file (.ven) holds it: the line settings of both
// ports, the record file, the header texts and the trigger list.
struct EnvironmentPort {
  int device = 0;  // COM number
  int baud = 9600;
  int dataBits = 8;
  int parity = 0;    // parity code of the serial component
  int stopBits = 1;  // stop-bits code of the serial component
  bool operator==(const EnvironmentPort&) const = default;
};

// The header texts, in the order of the file's keys.
namespace EnvGeneral {
enum Field { Title, Author, Company, Address1, Address2, City, Zip, State, Country, Phone, Fax, Internet, Email, Count };
}
namespace EnvCustomer {
enum Field { Company, Contact, Address1, Address2, City, Zip, State, Country, Phone, Fax, Internet, Email, Count };
}

struct Environment {
  Environment();  // every value at its default
  EnvironmentPort comA, comB;
  QString recordFile;  // as stored; a relative name lies in the user path's recordings/
  QStringList general;      // EnvGeneral::Count entries
  QStringList customer;     // EnvCustomer::Count entries
  QStringList description;  // one entry per line
  std::vector<TriggerRecord> triggers;
  bool operator==(const Environment&) const = default;
};

// What a load found unusable: one line per value, already in words (the file name is
// not repeated in each).
struct EnvironmentWarnings {
  QStringList lines;
  bool empty() const { return lines.isEmpty(); }
};

// A relative environment name ("Default.ven") lies in the user path.
QString qualifyEnvironmentName(const QString& name, const QString& userPath);
// A name given on a command line: a file that is there (in the current folder) is
// taken, else the one in the user path.
QString resolveEnvironmentName(const QString& name, const QString& userPath);

// Reads the file into env (defaults for whatever is missing or unusable). False only
// when the file exists but cannot be read at all; *error then says why. A missing file
// loads the defaults and returns true with a warning.
bool LoadEnvironment(const QString& path, Environment& env, EnvironmentWarnings& warnings, QString* error = nullptr);
// Writes env through a temporary file and a rename, keeping unknown sections, keys and
// comments of the file it replaces. On failure the old file stays and *error names the
// file and the system's reason.
bool SaveEnvironment(const QString& path, const Environment& env, QString* error = nullptr);

// The window's port panel offers lists of values (Configuration's baudrates, databits,
// parities, stopbits). A loaded value the list does not hold is kept (the port can use
// it all the same) and named in one warning line each; it is never replaced by the
// first entry. port names the port ("ComA").
void checkOfferedPortValues(const QString& port, const EnvironmentPort& values, const QStringList& baudRates,
                            const QStringList& dataBits, const QStringList& parities, const QStringList& stopBits,
                            EnvironmentWarnings& warnings);
// The list texts of the codes: parity 0..4 as "N", "O", "E", "M", "S"; stop bits 1 as
// "1", 2 as "2" (and as "1.5" at 5 data bits). An unknown code gives "".
QString parityLetter(int code);
QString stopBitsText(int code, int dataBits);
