#pragma once
// Every section and key of a hardware profile (profiles/<name>.vhp) with its default,
// and the limits its reader applies.

namespace ProfileKeys {

inline constexpr char kFolder[] = "profiles/";  // in the user path
inline constexpr char kExtension[] = ".vhp";
inline constexpr char kDefaultName[] = "default";  // the shipped profile, profiles/default.vhp

inline constexpr char kHardware[] = "Hardware";
inline constexpr char kName[] = "Name";
inline constexpr char kNameDefault[] = "Default Profile";
inline constexpr char kManufacturer[] = "Manufacturer";
inline constexpr char kManufacturerDefault[] = "Quarnel";

// The four offered lists; a missing key offers the whole standard list of Vorlog.ini.
inline constexpr char kInterface[] = "Interface";
inline constexpr char kBaudRates[] = "BaudRates";
inline constexpr char kDataBits[] = "DataBits";
inline constexpr char kParity[] = "Parity";
inline constexpr char kStopBits[] = "StopBits";

// "Port1" to "Port16": read and written back unchanged, used by nothing else.
inline constexpr char kRegistry[] = "Registry";
inline constexpr char kRegistryStem[] = "Port";
inline constexpr int kRegistryCount = 16;

// A profile is a few hundred bytes; anything far larger is no profile.
inline constexpr long long kMaxFileBytes = 64 * 1024;
// More values than any port panel can sensibly offer are cut off, with a warning.
inline constexpr int kMaxValues = 64;
// Baud rates the termios driver can be asked for (termios2 takes any rate in between).
inline constexpr int kMinBaud = 50, kMaxBaud = 12'000'000;
inline constexpr int kMinDataBits = 5, kMaxDataBits = 8;
inline constexpr char kParities[] = "NSMEO";  // none, space, mark, even, odd
inline constexpr const char* kStopBitValues[] = {"1", "1.5", "2"};

}  // namespace ProfileKeys
