#pragma once
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

// Scenario files for the simulated link (format: see the README).
//
// A scenario is kept as a flat list of operations; a repeat block is one Repeat
// operation followed by its body, which ends at bodyEnd. Nothing is expanded: the
// link walks the list with a cursor, so `repeat forever` and huge counts cost
// nothing up front.
//
// Time model: each side has its own time cursor. Side 0 is the DTE side (line D1,
// DTR, RTS; delivered to SIM-B), side 1 the DCE side (line D2, DSR, CTS, DCD, RI;
// delivered to SIM-A). Data and errors advance the cursor of their side, `wait`
// advances both, `sync` moves both to the later one.

// Scenario time in 1/2^32 of a clock tick, so that character times carry no
// noticeable rounding. Values saturate at kSimNever ("not in this universe").
__extension__ typedef __int128 SimTime;
constexpr SimTime kSimNever = SimTime(1) << 120;

struct ScenarioOp {
  enum class Kind : uint8_t { Wait, Sync, Data, Set, Error, Repeat, Stress };
  Kind kind = Kind::Sync;
  uint8_t line = 0;       // Data, Error: 0 = d1, 1 = d2
  uint8_t errorWord = 0;  // Error: one LineErrorBit value
  bool hasByte = false;   // Error: parity and framing errors carry the character
  uint8_t byte = 0;
  // Set: per side, the ModemBit inputs it changes and their new values. Side 0 holds
  // SIM-B's inputs (DSR <- DTR, CTS <- RTS), side 1 SIM-A's (DSR, CTS, DCD, RI).
  uint8_t setMask[2] = {0, 0};
  uint8_t setValue[2] = {0, 0};
  uint8_t emits = 0;       // bit per side: the operation (a block: its body) produces events there
  bool endless = false;    // Repeat, Stress
  bool neverEnds = false;  // Repeat: the body contains something that runs forever
  bool hasSeed = false;    // Stress
  uint32_t seed = 0;       // Stress
  int32_t baud = 0;        // Data, Error: pacing, 0 = the port's baud; Stress: its own rate (0 = port's)
  uint64_t count = 0;      // Data: number of bytes; Repeat: iterations
  uint64_t ns = 0;         // Wait, Stress: duration in nanoseconds
  uint32_t offset = 0;     // Data: first byte in Scenario::bytes
  uint32_t bodyEnd = 0;    // Repeat: index after the last operation of the body
  int sourceLine = 0;      // 1-based line in the source text
};

struct Scenario {
  QString sourceName;
  std::vector<ScenarioOp> ops;
  std::vector<uint8_t> bytes;  // the data of all Data operations
};

// Limits of the format; larger values are syntax errors.
namespace ScenarioLimit {
constexpr qsizetype MaxTextBytes = 64 * 1024 * 1024;
constexpr int MaxNesting = 64;
constexpr uint64_t MaxRepeat = 1000000000000000000ull;  // 10^18
constexpr uint64_t MaxDurationNs = 1000000ull * 1000000000ull;  // 10^6 s
constexpr int32_t MaxBaud = 100000000;
}  // namespace ScenarioLimit

// Parses a scenario. On failure returns false and sets error to "FILE:LINE: message"
// (FILE is sourceName, LINE 1-based); out is then unspecified. Never hangs: the work
// is linear in the size of the text.
bool parseScenario(const QByteArray& text, const QString& sourceName, Scenario* out, QString* error);

// The built-in scenario: a terminal dialling out through a modem, looping forever.
QByteArray defaultScenarioText();

// A scenario that sends random bytes on both lines back to back: baud <= 0 means the
// port's baud, seconds <= 0 (or not finite) forever.
Scenario stressScenario(int32_t baud, double seconds, uint32_t seed);

// How scenario durations become clock time once the port settings are known.
struct ScenarioTiming {
  uint64_t frequency = 1000000000;  // clock ticks per second
  int bitsPerCharacter = 10;
  int32_t defaultBaud = 9600;  // the baud the port was opened with

  SimTime charTime(int32_t baud) const;  // baud <= 0: defaultBaud
  SimTime duration(uint64_t ns) const;
  // Characters of a stress run of ns nanoseconds: floor(ns * baud / (bits * 10^9)).
  uint64_t charactersIn(uint64_t ns, int32_t baud) const;
};

// Once the port settings are known: a stress run shorter than one character sends
// nothing, so it, and a block whose only events came from such runs, is marked as
// producing none. The link then passes such a block in one step instead of looping
// through it without an event, for ever under `repeat forever`.
void settleEmits(Scenario* scenario, const ScenarioTiming& timing);

// What a stretch of scenario does to the two time cursors, as a 2x2 max-plus
// matrix: after it, cursor[i] = max over j of (m[i][j] + cursor[j]); -1 stands for
// "no dependency". Entries are never negative otherwise.
struct CursorMap {
  SimTime m[2][2] = {{0, -1}, {-1, 0}};

  static CursorMap identity() { return {}; }
  static CursorMap advance(SimTime side0, SimTime side1);
  static CursorMap sync();
  // This followed by next.
  CursorMap then(const CursorMap& next) const;
  CursorMap power(uint64_t n) const;
  void apply(SimTime cursor[2]) const;
};

SimTime simAdd(SimTime a, SimTime b);  // saturating at kSimNever; -1 (no dependency) absorbs

// The per-iteration map of each repeat body, computed once on demand.
class ScenarioMaps {
 public:
  ScenarioMaps(const Scenario& scenario, const ScenarioTiming& timing) : scenario_(scenario), timing_(timing) {}
  // One pass through the body of the Repeat at index. The body must not contain
  // anything that runs forever (check ScenarioOp::neverEnds first).
  const CursorMap& body(uint32_t repeatIndex);
  // What a single non-Repeat operation does to the cursors.
  CursorMap single(const ScenarioOp& op) const;

 private:
  const Scenario& scenario_;
  ScenarioTiming timing_;
  std::vector<CursorMap> cache_;
  std::vector<uint8_t> known_;
};
