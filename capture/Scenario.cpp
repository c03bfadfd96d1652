#include "capture/Scenario.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "capture/PortDevice.h"
#include "settings/Texts.h"

namespace TextNo {
constexpr int TooLarge = 9580, RepeatWithoutEnd = 9581, HexEscape = 9582, UnknownEscape = 9583, Unterminated = 9584;
constexpr int QuoteInside = 9585, DurationNeedsUnit = 9586, DurationTooLong = 9587, NotADuration = 9588;
constexpr int NotABaudRate = 9589, NeedsLine = 9590, UnexpectedAfter = 9591, StartsWithText = 9592;
constexpr int RateNeedsBaud = 9593, WaitNeedsDuration = 9594, DataNeedsItems = 9595, NotDataItem = 9596;
constexpr int TooMuchData = 9597, SetNeedsAssignment = 9598, NotAssignment = 9599, UnknownLine = 9600;
constexpr int LineValue = 9601, ErrorNeedsArgs = 9602, UnknownError = 9603, ErrorNeedsByte = 9604, NotAByte = 9605;
constexpr int RepeatNeedsCount = 9606, NestedTooDeeply = 9607, NotRepeatCount = 9608, EndWithoutRepeat = 9609;
constexpr int StressNeedsBaud = 9610, BadSeed = 9611, UnknownKeyword = 9612, BlockTakesNoTime = 9613;
constexpr int SideDte = 9614, SideDce = 9615;
}  // namespace TextNo

// ---------------------------------------------------------------------------
// Time arithmetic

SimTime simAdd(SimTime a, SimTime b) {
  if (a < 0 || b < 0) return -1;
  const SimTime s = a + b;  // both <= kSimNever, no overflow
  return s > kSimNever ? kSimNever : s;
}

namespace {

SimTime simMul(SimTime a, uint64_t n) {
  if (a <= 0 || n == 0) return 0;
  if (SimTime(n) > kSimNever / a) return kSimNever;
  return a * SimTime(n);
}

SimTime simMax(SimTime a, SimTime b) { return a > b ? a : b; }

}  // namespace

SimTime ScenarioTiming::charTime(int32_t baud) const {
  if (baud <= 0) baud = defaultBaud > 0 ? defaultBaud : 9600;
  const SimTime t = (SimTime(bitsPerCharacter > 0 ? bitsPerCharacter : 10) * SimTime(frequency) << 32) / baud;
  return t > 0 ? t : 1;
}

SimTime ScenarioTiming::duration(uint64_t ns) const {
  if (ns > ScenarioLimit::MaxDurationNs) return kSimNever;
  return (SimTime(ns) * SimTime(frequency) << 32) / 1000000000;
}

uint64_t ScenarioTiming::charactersIn(uint64_t ns, int32_t baud) const {
  if (baud <= 0) baud = defaultBaud > 0 ? defaultBaud : 9600;
  const int bits = bitsPerCharacter > 0 ? bitsPerCharacter : 10;
  return uint64_t(SimTime(ns) * baud / (SimTime(bits) * 1000000000));
}

CursorMap CursorMap::advance(SimTime side0, SimTime side1) {
  CursorMap c;
  c.m[0][0] = side0;
  c.m[1][1] = side1;
  return c;
}

CursorMap CursorMap::sync() {
  CursorMap c;
  c.m[0][0] = c.m[0][1] = c.m[1][0] = c.m[1][1] = 0;
  return c;
}

CursorMap CursorMap::then(const CursorMap& next) const {
  CursorMap r;
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j) r.m[i][j] = simMax(simAdd(next.m[i][0], m[0][j]), simAdd(next.m[i][1], m[1][j]));
  return r;
}

CursorMap CursorMap::power(uint64_t n) const {
  CursorMap result, base = *this;
  while (n) {
    if (n & 1) result = result.then(base);
    n >>= 1;
    if (n) base = base.then(base);
  }
  return result;
}

void CursorMap::apply(SimTime cursor[2]) const {
  const SimTime a = simMax(simAdd(m[0][0], cursor[0]), simAdd(m[0][1], cursor[1]));
  const SimTime b = simMax(simAdd(m[1][0], cursor[0]), simAdd(m[1][1], cursor[1]));
  cursor[0] = a;
  cursor[1] = b;
}

CursorMap ScenarioMaps::single(const ScenarioOp& op) const {
  using K = ScenarioOp::Kind;
  switch (op.kind) {
    case K::Wait: {
      const SimTime d = timing_.duration(op.ns);
      return CursorMap::advance(d, d);
    }
    case K::Sync:
      return CursorMap::sync();
    case K::Data: {
      const SimTime d = simMul(timing_.charTime(op.baud), op.count);
      return op.line == 0 ? CursorMap::advance(d, 0) : CursorMap::advance(0, d);
    }
    case K::Error: {
      const SimTime d = (op.hasByte || op.errorWord == LineErrorBit::Break) ? timing_.charTime(op.baud) : 0;
      return op.line == 0 ? CursorMap::advance(d, 0) : CursorMap::advance(0, d);
    }
    case K::Stress: {
      const SimTime d = op.endless ? kSimNever : timing_.duration(op.ns);
      return CursorMap::advance(d, d);
    }
    case K::Set:
    case K::Repeat:
      break;
  }
  return CursorMap::identity();
}

const CursorMap& ScenarioMaps::body(uint32_t repeatIndex) {
  if (cache_.size() <= repeatIndex) {
    cache_.resize(scenario_.ops.size());
    known_.resize(scenario_.ops.size(), 0);
  }
  if (known_[repeatIndex]) return cache_[repeatIndex];
  const std::vector<ScenarioOp>& ops = scenario_.ops;
  CursorMap map;
  for (uint32_t j = repeatIndex + 1; j < ops[repeatIndex].bodyEnd;) {
    const ScenarioOp& op = ops[j];
    if (op.kind == ScenarioOp::Kind::Repeat) {
      if (op.endless || op.neverEnds) {
        map = map.then(CursorMap::advance(kSimNever, kSimNever));
      } else if (op.count > 0) {
        const CursorMap inner = body(j);  // copy: the cache may grow
        map = map.then(inner.power(op.count));
      }
      j = op.bodyEnd;
      continue;
    }
    map = map.then(single(op));
    ++j;
  }
  if (cache_.size() <= repeatIndex) {
    cache_.resize(scenario_.ops.size());
    known_.resize(scenario_.ops.size(), 0);
  }
  cache_[repeatIndex] = map;
  known_[repeatIndex] = 1;
  return cache_[repeatIndex];
}

// ---------------------------------------------------------------------------
// Parser

namespace {

struct Token {
  bool quoted = false;
  std::string text;  // a word as written, or the decoded bytes of quoted text
};

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string lower(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return r;
}

// A word for an error message: printable, and short.
QString shown(const std::string& word) {
  std::string s;
  for (size_t i = 0; i < word.size() && i < 24; ++i) {
    const unsigned char c = static_cast<unsigned char>(word[i]);
    s += (c >= 0x20 && c < 0x7F) ? char(c) : '?';
  }
  if (word.size() > 24) s += "...";
  return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

struct LineName {
  const char* name;
  const char* alias;
  int side;
  uint8_t bit;
};
constexpr LineName kLineNames[] = {
    {"dtr", "s1", 0, ModemBit::Dsr}, {"rts", "s2", 0, ModemBit::Cts}, {"dsr", "m1", 1, ModemBit::Dsr},
    {"cts", "m2", 1, ModemBit::Cts}, {"dcd", "m5", 1, ModemBit::Dcd}, {"ri", "m3", 1, ModemBit::Ri},
};

class Parser {
 public:
  Parser(const QByteArray& text, const QString& name, Scenario* out, QString* error)
      : text_(text), name_(name), out_(*out), error_(error), maps_(*out, ScenarioTiming{}) {}

  bool run() {
    out_.sourceName = name_;
    out_.ops.clear();
    out_.bytes.clear();
    if (text_.size() > ScenarioLimit::MaxTextBytes) {
      line_ = 1;
      return fail(Texts::text(TextNo::TooLarge));
    }
    const char* p = text_.constData();
    const qsizetype n = text_.size();
    qsizetype pos = 0;
    for (;;) {
      const void* nl = n > pos ? std::memchr(p + pos, '\n', size_t(n - pos)) : nullptr;
      const qsizetype end = nl ? qsizetype(static_cast<const char*>(nl) - p) : n;
      ++line_;
      if (!parseLine(p + pos, end - pos)) return false;
      if (end >= n) break;
      pos = end + 1;
    }
    if (!open_.empty()) {
      line_ = out_.ops[open_.back()].sourceLine;
      return fail(Texts::text(TextNo::RepeatWithoutEnd));
    }
    return true;
  }

 private:
  // Messages take their values in one arg() call, so that a '%' in a word from the
  // file is never read as a placeholder.
  bool fail(const QString& message) {
    if (error_) *error_ = QStringLiteral("%1:%2: ").arg(name_, QString::number(line_)) + message;
    return false;
  }

  bool tokenize(const char* s, qsizetype len, std::vector<Token>& tokens) {
    qsizetype i = 0;
    while (i < len) {
      const char c = s[i];
      if (isSpace(c)) {
        ++i;
        continue;
      }
      if (c == '#') break;
      Token t;
      if (c == '"') {
        t.quoted = true;
        ++i;
        bool closed = false;
        while (i < len) {
          const char d = s[i];
          if (d == '"') {
            closed = true;
            ++i;
            break;
          }
          if (d != '\\') {
            t.text += d;
            ++i;
            continue;
          }
          if (i + 1 >= len) break;
          const char e = s[i + 1];
          i += 2;
          switch (e) {
            case 'r': t.text += '\r'; break;
            case 'n': t.text += '\n'; break;
            case 't': t.text += '\t'; break;
            case '0': t.text += '\0'; break;
            case '\\': t.text += '\\'; break;
            case '"': t.text += '"'; break;
            case 'x': {
              const int hi = i < len ? hexValue(s[i]) : -1;
              const int lo = i + 1 < len ? hexValue(s[i + 1]) : -1;
              if (hi < 0 || lo < 0) return fail(Texts::text(TextNo::HexEscape));
              t.text += char(hi * 16 + lo);
              i += 2;
              break;
            }
            default:
              return fail(Texts::text(TextNo::UnknownEscape).arg(shown(std::string(1, e))));
          }
        }
        if (!closed) return fail(Texts::text(TextNo::Unterminated));
      } else {
        while (i < len && !isSpace(s[i]) && s[i] != '#') {
          if (s[i] == '"') return fail(Texts::text(TextNo::QuoteInside).arg(shown(t.text)));
          t.text += s[i++];
        }
      }
      tokens.push_back(std::move(t));
    }
    return true;
  }

  // Digits only, at most max.
  static bool parseNumber(const std::string& s, uint64_t max, uint64_t* value) {
    if (s.empty() || s.size() > 20) return false;
    unsigned __int128 v = 0;
    for (char c : s) {
      if (c < '0' || c > '9') return false;
      v = v * 10 + unsigned(c - '0');
    }
    if (v > max) return false;
    *value = uint64_t(v);
    return true;
  }

  enum class Dur { Ok, Bad, NoUnit, TooLong };
  // NUMBER[.FRACTION]UNIT with unit ns, us, ms, s or min; bare numbers are seconds when allowed.
  static Dur parseDuration(const std::string& s, bool bareIsSeconds, uint64_t* ns) {
    size_t i = 0;
    unsigned __int128 whole = 0;
    int wholeDigits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
      if (++wholeDigits > 20) return Dur::TooLong;
      whole = whole * 10 + unsigned(s[i++] - '0');
    }
    unsigned __int128 frac = 0, fracScale = 1;
    int fracDigits = 0;
    if (i < s.size() && s[i] == '.') {
      ++i;
      while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        if (fracDigits < 18) {
          frac = frac * 10 + unsigned(s[i] - '0');
          fracScale *= 10;
        }
        ++fracDigits;
        ++i;
      }
      if (fracDigits == 0) return Dur::Bad;
    }
    if (wholeDigits == 0 && fracDigits == 0) return Dur::Bad;
    const std::string unit = lower(s.substr(i));
    uint64_t unitNs;
    if (unit == "ns") unitNs = 1;
    else if (unit == "us") unitNs = 1000;
    else if (unit == "ms") unitNs = 1000000;
    else if (unit == "s") unitNs = 1000000000;
    else if (unit == "min") unitNs = 60000000000ull;
    else if (unit.empty()) {
      if (!bareIsSeconds) return Dur::NoUnit;
      unitNs = 1000000000;
    } else {
      return Dur::Bad;
    }
    const unsigned __int128 total = whole * unitNs + frac * unitNs / fracScale;
    if (total > ScenarioLimit::MaxDurationNs) return Dur::TooLong;
    *ns = uint64_t(total);
    return Dur::Ok;
  }

  bool durationArg(const Token& t, bool bareIsSeconds, uint64_t* ns) {
    switch (t.quoted ? Dur::Bad : parseDuration(t.text, bareIsSeconds, ns)) {
      case Dur::Ok:
        return true;
      case Dur::NoUnit:
        return fail(Texts::text(TextNo::DurationNeedsUnit).arg(shown(t.text)));
      case Dur::TooLong:
        return fail(Texts::text(TextNo::DurationTooLong).arg(shown(t.text)));
      case Dur::Bad:
        break;
    }
    return fail(Texts::text(TextNo::NotADuration).arg(shown(t.text)));
  }

  bool baudArg(const Token& t, int32_t* baud) {
    uint64_t v = 0;
    if (t.quoted || !parseNumber(t.text, uint64_t(ScenarioLimit::MaxBaud), &v) || v == 0)
      return fail(Texts::text(TextNo::NotABaudRate).arg(shown(t.text), QString::number(ScenarioLimit::MaxBaud)));
    *baud = int32_t(v);
    return true;
  }

  static bool hexByte(const Token& t, uint8_t* b) {
    if (t.quoted || t.text.size() != 2) return false;
    const int hi = hexValue(t.text[0]), lo = hexValue(t.text[1]);
    if (hi < 0 || lo < 0) return false;
    *b = uint8_t(hi * 16 + lo);
    return true;
  }

  bool lineArg(const Token& t, const char* keyword, uint8_t* line) {
    const std::string w = lower(t.text);
    if (!t.quoted && w == "d1") *line = 0;
    else if (!t.quoted && w == "d2") *line = 1;
    else return fail(Texts::text(TextNo::NeedsLine).arg(QString::fromLatin1(keyword), shown(t.text)));
    return true;
  }

  ScenarioOp& add(ScenarioOp::Kind kind) {
    ScenarioOp op;
    op.kind = kind;
    op.sourceLine = line_;
    out_.ops.push_back(op);
    return out_.ops.back();
  }

  bool noArgs(const std::vector<Token>& t, size_t from, const std::string& keyword) {
    if (t.size() <= from) return true;
    return fail(Texts::text(TextNo::UnexpectedAfter).arg(shown(t[from].text), QString::fromStdString(keyword)));
  }

  bool parseLine(const char* s, qsizetype len) {
    std::vector<Token> t;
    if (!tokenize(s, len, t)) return false;
    if (t.empty()) return true;
    if (t[0].quoted) return fail(Texts::text(TextNo::StartsWithText));
    const std::string kw = lower(t[0].text);
    using K = ScenarioOp::Kind;

    if (kw == "rate") {
      if (t.size() < 2) return fail(Texts::text(TextNo::RateNeedsBaud));
      int32_t baud = 0;
      if (!baudArg(t[1], &baud) || !noArgs(t, 2, kw)) return false;
      rate_ = baud;
      return true;
    }
    if (kw == "wait") {
      if (t.size() < 2) return fail(Texts::text(TextNo::WaitNeedsDuration));
      uint64_t ns = 0;
      if (!durationArg(t[1], false, &ns) || !noArgs(t, 2, kw)) return false;
      add(K::Wait).ns = ns;
      return true;
    }
    if (kw == "sync") {
      if (!noArgs(t, 1, kw)) return false;
      add(K::Sync);
      return true;
    }
    if (kw == "d1" || kw == "d2") {
      if (t.size() < 2) return fail(Texts::text(TextNo::DataNeedsItems).arg(QString::fromStdString(kw)));
      const size_t first = out_.bytes.size();
      for (size_t i = 1; i < t.size(); ++i) {
        uint8_t b;
        if (t[i].quoted) out_.bytes.insert(out_.bytes.end(), t[i].text.begin(), t[i].text.end());
        else if (hexByte(t[i], &b)) out_.bytes.push_back(b);
        else return fail(Texts::text(TextNo::NotDataItem).arg(shown(t[i].text)));
      }
      if (out_.bytes.size() > 0x7FFFFFFFu) return fail(Texts::text(TextNo::TooMuchData));
      ScenarioOp& op = add(K::Data);
      op.line = kw == "d1" ? 0 : 1;
      op.offset = uint32_t(first);
      op.count = out_.bytes.size() - first;
      op.baud = rate_;
      op.emits = op.count ? uint8_t(1u << op.line) : 0;
      return true;
    }
    if (kw == "set") {
      if (t.size() < 2) return fail(Texts::text(TextNo::SetNeedsAssignment));
      uint8_t mask[2] = {0, 0}, value[2] = {0, 0};
      for (size_t i = 1; i < t.size(); ++i) {
        const std::string w = lower(t[i].text);
        const size_t eq = w.find('=');
        if (t[i].quoted || eq == std::string::npos)
          return fail(Texts::text(TextNo::NotAssignment).arg(shown(t[i].text)));
        const std::string name = w.substr(0, eq), v = w.substr(eq + 1);
        const LineName* found = nullptr;
        for (const LineName& ln : kLineNames)
          if (name == ln.name || name == ln.alias) found = &ln;
        if (!found)
          return fail(Texts::text(TextNo::UnknownLine).arg(shown(name)));
        if (v != "0" && v != "1")
          return fail(Texts::text(TextNo::LineValue).arg(QString::fromLatin1(found->name), shown(v)));
        mask[found->side] |= found->bit;
        if (v == "1") value[found->side] |= found->bit;
        else value[found->side] &= uint8_t(~found->bit);
      }
      ScenarioOp& op = add(K::Set);
      for (int s = 0; s < 2; ++s) {
        op.setMask[s] = mask[s];
        op.setValue[s] = value[s];
        if (mask[s]) op.emits |= uint8_t(1u << s);
      }
      return true;
    }
    if (kw == "error") {
      if (t.size() < 3) return fail(Texts::text(TextNo::ErrorNeedsArgs));
      uint8_t line = 0;
      if (!lineArg(t[1], "error", &line)) return false;
      const std::string kind = lower(t[2].text);
      uint8_t word = 0;
      bool withByte = false;
      if (!t[2].quoted && kind == "parity") word = LineErrorBit::Parity, withByte = true;
      else if (!t[2].quoted && kind == "framing") word = LineErrorBit::Framing, withByte = true;
      else if (!t[2].quoted && kind == "overrun") word = LineErrorBit::Overrun;
      else if (!t[2].quoted && kind == "break") word = LineErrorBit::Break;
      else return fail(Texts::text(TextNo::UnknownError).arg(shown(t[2].text)));
      uint8_t b = 0;
      if (withByte) {
        if (t.size() < 4) return fail(Texts::text(TextNo::ErrorNeedsByte).arg(QString::fromStdString(kind)));
        const bool oneChar = t[3].quoted && t[3].text.size() == 1;
        if (oneChar) b = uint8_t(t[3].text[0]);
        else if (!hexByte(t[3], &b))
          return fail(Texts::text(TextNo::NotAByte).arg(shown(t[3].text)));
        if (!noArgs(t, 4, kw)) return false;
      } else if (!noArgs(t, 3, kw)) {
        return false;
      }
      ScenarioOp& op = add(K::Error);
      op.line = line;
      op.errorWord = word;
      op.hasByte = withByte;
      op.byte = b;
      op.baud = rate_;
      op.emits = uint8_t(1u << line);
      return true;
    }
    if (kw == "repeat") {
      if (t.size() < 2) return fail(Texts::text(TextNo::RepeatNeedsCount));
      if (int(open_.size()) >= ScenarioLimit::MaxNesting)
        return fail(Texts::text(TextNo::NestedTooDeeply).arg(ScenarioLimit::MaxNesting));
      bool endless = false;
      uint64_t count = 0;
      if (!t[1].quoted && lower(t[1].text) == "forever") endless = true;
      else if (t[1].quoted || !parseNumber(t[1].text, ScenarioLimit::MaxRepeat, &count))
        return fail(Texts::text(TextNo::NotRepeatCount).arg(shown(t[1].text)));
      if (!noArgs(t, 2, kw)) return false;
      open_.push_back(uint32_t(out_.ops.size()));
      ScenarioOp& op = add(K::Repeat);
      op.endless = endless;
      op.count = count;
      return true;
    }
    if (kw == "end") {
      if (!noArgs(t, 1, kw)) return false;
      if (open_.empty()) return fail(Texts::text(TextNo::EndWithoutRepeat));
      return closeBlock();
    }
    if (kw == "stress") {
      if (t.size() < 2) return fail(Texts::text(TextNo::StressNeedsBaud));
      int32_t baud = 0;
      if (!baudArg(t[1], &baud)) return false;
      bool endless = true, hasSeed = false;
      uint64_t ns = 0, seed = 0;
      size_t i = 2;
      if (i < t.size() && !t[i].quoted && lower(t[i].text).rfind("seed=", 0) != 0) {
        if (lower(t[i].text) != "forever") {
          if (!durationArg(t[i], true, &ns)) return false;
          endless = false;
        }
        ++i;
      }
      if (i < t.size() && !t[i].quoted && lower(t[i].text).rfind("seed=", 0) == 0) {
        if (!parseNumber(t[i].text.substr(5), 0xFFFFFFFFu, &seed))
          return fail(Texts::text(TextNo::BadSeed).arg(shown(t[i].text)));
        hasSeed = true;
        ++i;
      }
      if (!noArgs(t, i, kw)) return false;
      ScenarioOp& op = add(K::Stress);
      op.baud = baud;
      op.endless = endless;
      op.ns = ns;
      op.hasSeed = hasSeed;
      op.seed = uint32_t(seed);
      op.emits = (endless || ns > 0) ? 3 : 0;
      return true;
    }
    return fail(Texts::text(TextNo::UnknownKeyword).arg(shown(t[0].text)));
  }

  bool closeBlock() {
    const uint32_t index = open_.back();
    open_.pop_back();
    const uint32_t bodyEnd = uint32_t(out_.ops.size());
    uint8_t emits = 0;
    bool neverEnds = false;
    for (uint32_t j = index + 1; j < bodyEnd;) {
      const ScenarioOp& child = out_.ops[j];
      emits |= child.emits;
      if (child.kind == ScenarioOp::Kind::Stress && child.endless) neverEnds = true;
      if (child.kind == ScenarioOp::Kind::Repeat) {
        if (child.endless || child.neverEnds) neverEnds = true;
        j = child.bodyEnd;
      } else {
        ++j;
      }
    }
    ScenarioOp& op = out_.ops[index];
    op.bodyEnd = bodyEnd;
    const bool runs = op.endless || op.count > 0;
    op.emits = runs ? emits : 0;
    op.neverEnds = runs && neverEnds;
    // A block that runs more than once must take time on each side it acts on, or
    // it would produce endless events at one instant.
    if (runs && (op.endless || op.count > 1) && !neverEnds && emits) {
      const CursorMap twice = maps_.body(index).power(2);
      for (int s = 0; s < 2; ++s) {
        if (!(emits & (1u << s)) || twice.m[s][s] > 0) continue;
        line_ = op.sourceLine;
        return fail(Texts::text(TextNo::BlockTakesNoTime).arg(Texts::text(s == 0 ? TextNo::SideDte : TextNo::SideDce)));
      }
    }
    return true;
  }

  const QByteArray& text_;
  QString name_;
  Scenario& out_;
  QString* error_;
  ScenarioMaps maps_;
  int line_ = 0;
  int32_t rate_ = 0;
  std::vector<uint32_t> open_;
};

}  // namespace

bool parseScenario(const QByteArray& text, const QString& sourceName, Scenario* out, QString* error) {
  Scenario scratch;
  Parser parser(text, sourceName, out ? out : &scratch, error);
  return parser.run();
}

void settleEmits(Scenario* scenario, const ScenarioTiming& timing) {
  std::vector<ScenarioOp>& ops = scenario->ops;
  // From the end: a block's body, nested blocks included, is settled before the block.
  for (size_t i = ops.size(); i-- > 0;) {
    ScenarioOp& op = ops[i];
    if (op.kind == ScenarioOp::Kind::Stress && !op.endless && timing.charactersIn(op.ns, op.baud) == 0) {
      op.emits = 0;
    } else if (op.kind == ScenarioOp::Kind::Repeat && op.emits) {
      uint8_t emits = 0;
      for (uint32_t j = uint32_t(i) + 1; j < op.bodyEnd; j = ops[j].kind == ScenarioOp::Kind::Repeat ? ops[j].bodyEnd : j + 1)
        emits |= ops[j].emits;
      op.emits = emits;
    }
  }
}

Scenario stressScenario(int32_t baud, double seconds, uint32_t seed) {
  Scenario s;
  s.sourceName = QStringLiteral("stress");
  ScenarioOp op;
  op.kind = ScenarioOp::Kind::Stress;
  op.baud = baud > 0 ? std::min(baud, ScenarioLimit::MaxBaud) : 0;
  op.hasSeed = true;
  op.seed = seed;
  op.sourceLine = 1;
  if (!(seconds > 0) || !std::isfinite(seconds)) op.endless = true;
  else op.ns = uint64_t(std::llround(std::min(seconds * 1e9, double(ScenarioLimit::MaxDurationNs))));
  op.emits = (op.endless || op.ns > 0) ? 3 : 0;
  s.ops.push_back(op);
  return s;
}
