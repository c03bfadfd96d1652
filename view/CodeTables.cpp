#include "view/CodeTables.h"

namespace CodeTables {
namespace {

struct Named {
  uint8_t byte;
  std::string_view name;
  std::string_view description;
};

constexpr Named kAscii[] = {
    {0x00, "NUL", "null"},
    {0x01, "SOH", "start of heading"},
    {0x02, "STX", "start of text"},
    {0x03, "ETX", "end of text"},
    {0x04, "EOT", "end of transmission"},
    {0x05, "ENQ", "enquiry"},
    {0x06, "ACK", "acknowledge"},
    {0x07, "BEL", "bell"},
    {0x08, "BS", "backspace"},
    {0x09, "TAB", "horizontal tab"},
    {0x0A, "LF", "line feed"},
    {0x0B, "VT", "vertical tab"},
    {0x0C, "FF", "form feed"},
    {0x0D, "CR", "carriage return"},
    {0x0E, "SO", "shift out"},
    {0x0F, "SI", "shift in"},
    {0x10, "DLE", "data line escape"},
    {0x11, "DC1", "device control 1 (X-ON)"},
    {0x12, "DC2", "device control 2"},
    {0x13, "DC3", "device control 3 (X-OFF)"},
    {0x14, "DC4", "device control 4"},
    {0x15, "NAK", "negative acknowledge"},
    {0x16, "SYN", "synchronous idle"},
    {0x17, "ETB", "end transmission block"},
    {0x18, "CAN", "cancel"},
    {0x19, "EM", "end of medium"},
    {0x1A, "SUB", "substitute (end of text file)"},
    {0x1B, "ESC", "escape"},
    {0x1C, "FS", "file separator"},
    {0x1D, "GS", "group separator"},
    {0x1E, "RS", "record separator"},
    {0x1F, "US", "unit separator"},
};

constexpr Named kEbcdic[] = {
    {0x00, "NUL", "null"},
    {0x01, "SOH", "start of heading"},
    {0x02, "STX", "start of text"},
    {0x03, "ETX", "end of text"},
    {0x04, "SEL", "select"},
    {0x05, "HT", "horizontal tab"},
    {0x06, "RNL", "required new line"},
    {0x07, "DEL", "delete"},
    {0x08, "GE", "graphic escape"},
    {0x09, "SPS", "superscript"},
    {0x0A, "RPT", "repeat"},
    {0x0B, "VT", "vertical tab"},
    {0x0C, "FF", "form feed"},
    {0x0D, "CR", "carriage return"},
    {0x0E, "SO", "shift out"},
    {0x0F, "SI", "shift in"},
    {0x10, "DLE", "data length escape"},
    {0x11, "DC1", "device control 1"},
    {0x12, "DC2", "device control 2"},
    {0x13, "DC3", "device control 3"},
    {0x14, "RES/ENP", "restore/enable presentation"},
    {0x15, "NL", "new line"},
    {0x16, "BS", "backspace"},
    {0x17, "POC", "program-operator communication"},
    {0x18, "CAN", "cancel"},
    {0x19, "EM", "end of medium"},
    {0x1A, "UBS", "unit backspace"},
    {0x1B, "CU1", "customer use 1"},
    {0x1C, "IFS", "interchange file separator"},
    {0x1D, "IGS", "interchange group separator"},
    {0x1E, "IRS", "interchange record separator"},
    {0x1F, "IUS/ITB", "interchange unit separator/intermediate transmission block"},
    {0x20, "DS", "digit select"},
    {0x21, "SOS", "start of significance"},
    {0x22, "FS", "field separator"},
    {0x23, "WUS", "word underscore"},
    {0x24, "BYP/INP", "bypass/inhibit presentation"},
    {0x25, "LF", "line feed"},
    {0x26, "ETB", "end of transmission block"},
    {0x27, "ESC", "escape"},
    {0x28, "SA", "set attribute"},
    {0x29, "SFE", "start field extended"},
    {0x2A, "SM/SW", "set mode/set switch"},
    {0x2B, "CSP", "control sequence prefix"},
    {0x2C, "MFA", "modify field attribute"},
    {0x2D, "ENQ", "enquiry"},
    {0x2E, "ACK", "acknowledge"},
    {0x2F, "BEL", "bell"},
    {0x32, "SYN", "synchronous idle"},
    {0x33, "IR", "index return"},
    {0x34, "PP", "presentation position"},
    {0x35, "TRN", "transparent"},
    {0x36, "NBS", "numeric backspace"},
    {0x37, "EOT", "end of transmission"},
    {0x38, "SBS", "subscript"},
    {0x39, "IT", "indent tab"},
    {0x3A, "RFF", "required form feed"},
    {0x3B, "CU3", "customer use 3"},
    {0x3C, "DC4", "device control 4"},
    {0x3D, "NAK", "negative acknowledge"},
    {0x3F, "SUB", "substitute"},
    {0x40, "SP", "space"},
    {0x41, "RSP", "required space"},
    {0xCA, "SHY", "syllable hyphen (shy)"},
    {0xE1, "NSP", "numeric space"},
    {0xFF, "EO", "eight ones"},
};

template <std::size_t N>
constexpr TextTable spread(const Named (&list)[N], bool description) {
  TextTable t{};
  for (const Named& n : list) t[n.byte] = description ? n.description : n.name;
  return t;
}

constexpr TextTable makeCaretTable() {
  // "^" followed by the character 0x40 + byte: "^@" for NUL up to "^_" for US.
  constexpr std::string_view kForms = "^@^A^B^C^D^E^F^G^H^I^J^K^L^M^N^O^P^Q^R^S^T^U^V^W^X^Y^Z^[^\\^]^^^_";
  static_assert(kForms.size() == 64);
  TextTable t{};
  for (std::size_t b = 0; b < 0x20; ++b) t[b] = kForms.substr(2 * b, 2);
  return t;
}

constexpr TextTable kCaret = makeCaretTable();
constexpr TextTable kAsciiNames = spread(kAscii, false);
constexpr TextTable kAsciiDescriptions = spread(kAscii, true);
constexpr TextTable kEbcdicNames = spread(kEbcdic, false);
constexpr TextTable kEbcdicDescriptions = spread(kEbcdic, true);

// Code page 437 as the PC screen draws it: pictures for 0x01..0x1F and 0x7F, the
// printable range as itself, the upper half of code page 437. 0x00 stays U+0000 and
// 0xFF is U+00FF rather than the no-break space of the code page.
// clang-format off
constexpr auto kAsciiDisplay = std::to_array<char16_t>({
    // 0x00
    0x0000, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022,
    0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C,
    // 0x10
    0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x00AD, 0x21A8,
    0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC,
    // 0x20
    0x0020, 0x0021, 0x0022, 0x0023, 0x0024, 0x0025, 0x0026, 0x0027,
    0x0028, 0x0029, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F,
    // 0x30
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,
    // 0x40
    0x0040, 0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047,
    0x0048, 0x0049, 0x004A, 0x004B, 0x004C, 0x004D, 0x004E, 0x004F,
    // 0x50
    0x0050, 0x0051, 0x0052, 0x0053, 0x0054, 0x0055, 0x0056, 0x0057,
    0x0058, 0x0059, 0x005A, 0x005B, 0x005C, 0x005D, 0x005E, 0x005F,
    // 0x60
    0x0060, 0x0061, 0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067,
    0x0068, 0x0069, 0x006A, 0x006B, 0x006C, 0x006D, 0x006E, 0x006F,
    // 0x70
    0x0070, 0x0071, 0x0072, 0x0073, 0x0074, 0x0075, 0x0076, 0x0077,
    0x0078, 0x0079, 0x007A, 0x007B, 0x007C, 0x007D, 0x007E, 0x2302,
    // 0x80
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    // 0x90
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    // 0xA0
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    // 0xB0
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    // 0xC0
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    // 0xD0
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    // 0xE0
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    // 0xF0
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00FF,
});
static_assert(kAsciiDisplay.size() == kEntries);
// clang-format on

// Code page 037 for its 94 printable positions, everything else a blank. The hyphen
// 0x60 is drawn as U+00AD rather than U+002D.
// clang-format off
constexpr char16_t B = 0x0020;
constexpr auto kEbcdicDisplay = std::to_array<char16_t>({
    // 0x00 .. 0x3F: control assignments
    B, B, B, B, B, B, B, B, B, B, B, B, B, B, B, B,
    B, B, B, B, B, B, B, B, B, B, B, B, B, B, B, B,
    B, B, B, B, B, B, B, B, B, B, B, B, B, B, B, B,
    B, B, B, B, B, B, B, B, B, B, B, B, B, B, B, B,
    // 0x40
    B, B, B, B, B, B, B, B, B, B, 0x00A2, 0x002E, 0x003C, 0x0028, 0x002B, 0x007C,
    // 0x50
    0x0026, B, B, B, B, B, B, B, B, B, 0x0021, 0x0024, 0x002A, 0x0029, 0x003B, 0x00AC,
    // 0x60
    0x00AD, 0x002F, B, B, B, B, B, B, B, B, 0x00A6, 0x002C, 0x0025, 0x005F, 0x003E, 0x003F,
    // 0x70
    B, B, B, B, B, B, B, B, B, 0x0060, 0x003A, 0x0023, 0x0040, 0x0027, 0x003D, 0x0022,
    // 0x80: a .. i
    B, 0x0061, 0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067, 0x0068, 0x0069, B, B, B, B, B, B,
    // 0x90: j .. r
    B, 0x006A, 0x006B, 0x006C, 0x006D, 0x006E, 0x006F, 0x0070, 0x0071, 0x0072, B, B, B, B, B, B,
    // 0xA0: ~, s .. z
    B, 0x007E, 0x0073, 0x0074, 0x0075, 0x0076, 0x0077, 0x0078, 0x0079, 0x007A, B, B, B, B, B, B,
    // 0xB0
    B, B, B, B, B, B, B, B, B, B, B, B, B, B, B, B,
    // 0xC0: {, A .. I
    0x007B, 0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047, 0x0048, 0x0049, B, B, B, B, B, B,
    // 0xD0: }, J .. R
    0x007D, 0x004A, 0x004B, 0x004C, 0x004D, 0x004E, 0x004F, 0x0050, 0x0051, 0x0052, B, B, B, B, B, B,
    // 0xE0: backslash, S .. Z
    0x005C, B, 0x0053, 0x0054, 0x0055, 0x0056, 0x0057, 0x0058, 0x0059, 0x005A, B, B, B, B, B, B,
    // 0xF0: 0 .. 9
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037, 0x0038, 0x0039, B, B, B, B, B, B,
});
static_assert(kEbcdicDisplay.size() == kEntries);
// clang-format on

}  // namespace

const TextTable& caretTable() { return kCaret; }
const TextTable& asciiNames() { return kAsciiNames; }
const TextTable& asciiDescriptions() { return kAsciiDescriptions; }
const TextTable& ebcdicNames() { return kEbcdicNames; }
const TextTable& ebcdicDescriptions() { return kEbcdicDescriptions; }
const GlyphTable& asciiDisplay() { return kAsciiDisplay; }
const GlyphTable& ebcdicDisplay() { return kEbcdicDisplay; }

}  // namespace CodeTables
