#pragma once
// Every section and key of an environment file (.ven) with its type and default, in
// the order in which SaveEnvironment writes them (a new file gets this layout). The
// numbered names ("Line" + i, "Trigger" + n) have their stems here.
#include "settings/ConfigKeys.h"

namespace EnvKeys {

using ConfigKeys::Key;
using ConfigKeys::Type;
using ConfigKeys::boolKey;
using ConfigKeys::intKey;
using ConfigKeys::textKey;

// Sections
inline constexpr char kComA[] = "ComA";
inline constexpr char kComB[] = "ComB";
inline constexpr char kFiles[] = "Files";
inline constexpr char kGeneral[] = "General";
inline constexpr char kCustomer[] = "Customer";
inline constexpr char kDescription[] = "Description";
inline constexpr char kTriggerStem[] = "Trigger";  // "Trigger0", "Trigger1", ...; trigger number = n + 1
inline constexpr char kLineStem[] = "Line";        // "Line0", "Line1", ... in Description

// ComA and ComB share their keys; only the COM number's default differs.
inline constexpr char kDevice[] = "Device";
inline constexpr char kBaud[] = "CustomBaudRate";
inline constexpr char kDataBits[] = "DataBits";
inline constexpr char kParity[] = "Parity";
inline constexpr char kStopBits[] = "StopBits";
inline constexpr int kDeviceDefaultA = 1, kDeviceDefaultB = 2;
inline constexpr int kBaudDefault = 9600;
inline constexpr int kDataBitsDefault = 8;
inline constexpr int kParityDefault = 0;    // capture/LineSettings.h: 0 none, 1 odd, 2 even, 3 mark, 4 space
inline constexpr int kStopBitsDefault = 1;  // the serial component's code: 1, or 2 (1.5 at 5 data bits)
// What a value must lie in to be used. The baud bounds: 50 is the slowest rate ever
// offered (12 bits of the longest character then take a quarter second); 12 Mbaud is the
// fastest a common USB adapter (FT232H) runs.
inline constexpr int kMinBaud = 50, kMaxBaud = 12'000'000;
inline constexpr int kMinDataBits = 5, kMaxDataBits = 8;
inline constexpr int kMinParity = 0, kMaxParity = 4;
inline constexpr int kMinStopBits = 1, kMaxStopBits = 2;
inline constexpr int kMinCom = 1;  // and PortRegistry::kMaxCom (49)

// Files: a relative name lies in the user path's recordings/ folder (the caller resolves it).
inline constexpr Key RecordData = textKey(kFiles, "Record data", "Default.vrd");

// General and Customer: strings, default empty, in the order of EnvGeneral / EnvCustomer.
inline constexpr const char* kGeneralKeys[] = {"Title", "Author",  "Company", "Address1", "Address2",
                                               "City",  "ZIP",     "State",   "Country",  "Phone",
                                               "Fax",   "Internet", "Email"};
inline constexpr const char* kCustomerKeys[] = {"Company", "Contact", "Address1", "Address2", "City",     "ZIP",
                                                "State",   "Country", "Phone",    "Fax",      "Internet", "Email"};

// Trigger sections, in record order (triggers/TriggerRecord.h).
inline constexpr char kName[] = "Name";
inline constexpr char kTriggerDescription[] = "Description";
inline constexpr char kActive[] = "Active";
inline constexpr char kType[] = "Type";
inline constexpr char kEvent[] = "Event";
inline constexpr char kD1[] = "D1";
inline constexpr char kD2[] = "D2";
inline constexpr char kData[] = "Data";
inline constexpr const char* kEdgeKeys[] = {"S1", "M1", "S2", "M2", "M5", "M3"};  // 0 ignore, 1 falls, 2 rises
inline constexpr char kPE[] = "PE";
inline constexpr char kFE[] = "FE";
inline constexpr char kLE[] = "LE";
inline constexpr char kTimeReached[] = "TimeReached";  // ISO 8601 local time with milliseconds
inline constexpr char kInActivityTime[] = "InActivityTime";
inline constexpr const char* kActivityKeys[] = {"EventD1", "EventD2", "EventS1", "EventM1", "EventS2", "EventM2",
                                                "EventM5", "EventM3", "EventPE", "EventFE", "EventLE"};
inline constexpr char kPlaySound[] = "PlaySound";
inline constexpr char kSoundFilePath[] = "SoundFilePath";
inline constexpr char kPlaySoundRepeat[] = "PlaySoundRepeat";
inline constexpr char kExecCommand[] = "ExecCommand";
inline constexpr char kCommandFilePath[] = "CommandFilePath";
inline constexpr char kCommandParams[] = "CommandParams";
inline constexpr int kTriggerKeyCount = 36;
// Defaults of a trigger: those of TriggerRecord (all zero or empty, InActivityTime 1);
// a missing or unreadable TimeReached is no moment at all, never "now".
inline constexpr char kTimeFormat[] = "yyyy-MM-ddTHH:mm:ss.zzz";

// A file larger than this is refused: no job needs it, and reading it would only cost memory.
inline constexpr long long kMaxFileBytes = 16 * 1024 * 1024;

}  // namespace EnvKeys
