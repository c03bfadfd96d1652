#include <gtest/gtest.h>

#include <random>
#include <string>

#include "capture/PortDevice.h"
#include "capture/Scenario.h"

namespace {

using K = ScenarioOp::Kind;

Scenario parseOk(const std::string& text) {
  Scenario s;
  QString error;
  EXPECT_TRUE(parseScenario(QByteArray::fromStdString(text), QStringLiteral("t.scn"), &s, &error)) << error.toStdString();
  return s;
}

QString parseError(const std::string& text) {
  Scenario s;
  QString error;
  EXPECT_FALSE(parseScenario(QByteArray::fromStdString(text), QStringLiteral("t.scn"), &s, &error)) << text;
  return error;
}

std::string dataOf(const Scenario& s, const ScenarioOp& op) {
  return std::string(reinterpret_cast<const char*>(s.bytes.data()) + op.offset, op.count);
}

TEST(ScenarioParser, ReadsEveryKeyword) {
  const Scenario s = parseOk(
      "# a comment\n"
      "\n"
      "d1 \"AT\\r\"   # trailing comment\n"
      "RATE 1200\n"
      "wait 250ms\n"
      "d2 \"OK\" 0d 0A\n"
      "sync\n"
      "set dtr=1 dcd=1\n"
      "error d2 parity 41\n"
      "error d1 framing \"x\"\n"
      "error d1 overrun\n"
      "error d2 break\n"
      "repeat 3\n"
      "  wait 1s\n"
      "end\n"
      "stress 115200 2.5 seed=9\n"
      "stress 9600\n");
  ASSERT_EQ(s.ops.size(), 13u);
  EXPECT_EQ(s.ops[0].kind, K::Data);
  EXPECT_EQ(s.ops[0].line, 0);
  EXPECT_EQ(s.ops[0].baud, 0) << "before any rate: the port's baud";
  EXPECT_EQ(s.ops[0].sourceLine, 3);
  EXPECT_EQ(s.ops[1].kind, K::Wait);
  EXPECT_EQ(s.ops[1].ns, 250000000u);
  EXPECT_EQ(s.ops[2].kind, K::Data);
  EXPECT_EQ(s.ops[2].line, 1);
  EXPECT_EQ(s.ops[2].baud, 1200);
  EXPECT_EQ(dataOf(s, s.ops[2]), "OK\r\n");
  EXPECT_EQ(s.ops[3].kind, K::Sync);
  EXPECT_EQ(s.ops[4].kind, K::Set);
  EXPECT_EQ(s.ops[4].setMask[0], ModemBit::Dsr);  // DTR reaches SIM-B as DSR
  EXPECT_EQ(s.ops[4].setMask[1], ModemBit::Dcd);
  EXPECT_EQ(s.ops[5].errorWord, LineErrorBit::Parity);
  EXPECT_TRUE(s.ops[5].hasByte);
  EXPECT_EQ(s.ops[5].byte, 0x41);
  EXPECT_EQ(s.ops[6].errorWord, LineErrorBit::Framing);
  EXPECT_EQ(s.ops[6].byte, 'x');
  EXPECT_EQ(s.ops[7].errorWord, LineErrorBit::Overrun);
  EXPECT_FALSE(s.ops[7].hasByte);
  EXPECT_EQ(s.ops[8].errorWord, LineErrorBit::Break);
  EXPECT_EQ(s.ops[8].line, 1);
  EXPECT_EQ(s.ops[9].kind, K::Repeat);
  EXPECT_EQ(s.ops[9].count, 3u);
  EXPECT_EQ(s.ops[9].bodyEnd, 11u);
  EXPECT_EQ(s.ops[10].ns, 1000000000u);
  EXPECT_EQ(s.ops[11].kind, K::Stress);
  EXPECT_EQ(s.ops[11].baud, 115200);
  EXPECT_EQ(s.ops[11].ns, 2500000000u);
  EXPECT_TRUE(s.ops[11].hasSeed);
  EXPECT_EQ(s.ops[11].seed, 9u);
  EXPECT_FALSE(s.ops[11].endless);
  EXPECT_TRUE(s.ops.back().endless) << "stress without a duration runs forever";
}

TEST(ScenarioParser, TextEscapesDurationsAndLineNames) {
  Scenario s = parseOk("d1 \"a\\r\\n\\t\\\\\\\"\\x1b\\xFF\\0z\" \"\" 00 ff \"# not a comment\"\n");
  EXPECT_EQ(dataOf(s, s.ops[0]), std::string("a\r\n\t\\\"\x1b\xff", 8) + std::string(1, '\0') + "z" +
                                     std::string(1, '\0') + "\xff# not a comment");

  const std::pair<const char*, uint64_t> durations[] = {
      {"40us", 40000}, {"1.5s", 1500000000}, {"250ms", 250000000}, {"7ns", 7},
      {"2min", 120000000000}, {"0.000001s", 1000}, {".5ms", 500000}, {"0ms", 0}};
  for (auto [text, ns] : durations) {
    s = parseOk(std::string("wait ") + text);
    EXPECT_EQ(s.ops[0].ns, ns) << text;
  }

  s = parseOk("set s1=1 s2=1 m1=1 m2=0 m5=1 m3=1\nset DTR=0 rts=1 dsr=0 cts=1 dcd=0 ri=0\n");
  EXPECT_EQ(s.ops[0].setMask[0], ModemBit::Dsr | ModemBit::Cts);
  EXPECT_EQ(s.ops[0].setValue[0], ModemBit::Dsr | ModemBit::Cts);
  EXPECT_EQ(s.ops[0].setMask[1], ModemBit::Dsr | ModemBit::Cts | ModemBit::Dcd | ModemBit::Ri);
  EXPECT_EQ(s.ops[0].setValue[1], ModemBit::Dsr | ModemBit::Dcd | ModemBit::Ri);
  EXPECT_EQ(s.ops[1].setMask[0], s.ops[0].setMask[0]);
  EXPECT_EQ(s.ops[1].setValue[0], ModemBit::Cts);
  EXPECT_EQ(s.ops[1].setValue[1], ModemBit::Cts);
}

// The "FILE:LINE: " prefix is built by the parser; the message after it comes from
// the text table (English in the test binary). Each case names what makes its
// message the right one, so that a wrong diagnosis does not pass for a right one.
TEST(ScenarioParser, ReportsMistakesWithFileAndLine) {
  struct Case {
    const char* text;
    const char* prefix;
    const char* says;
  };
  const Case cases[] = {
      {"sync\nsend \"x\"", "t.scn:2: ", "unknown keyword 'send'"},
      {"wait 250", "t.scn:1: ", "'250' needs a unit"},
      {"wait", "t.scn:1: ", "wait needs a duration"},
      {"wait soon", "t.scn:1: ", "'soon' is not a duration"},
      {"wait 99999999999999999999999s", "t.scn:1: ", "'99999999999999999999999s' is too long"},
      {"\n\nd2 \"OK\" 0D 0", "t.scn:3: ", "'0' is neither quoted text nor a two-digit hex byte"},
      {"d2 0x0D", "t.scn:1: ", "'0x0D' is neither"},
      {"d1", "t.scn:1: ", "d1 needs quoted text or hex bytes"},
      {"d1 \"AT\r\n", "t.scn:1: ", "unterminated text"},
      {"d1 \"a\\q\"", "t.scn:1: ", "unknown escape '\\q'"},
      {"d1 \"\\x4\"", "t.scn:1: ", "\\x needs two hex digits"},
      {"d1 ab\"c\"", "t.scn:1: ", "a quote inside 'ab'"},
      {"set dtr", "t.scn:1: ", "'dtr' is not NAME=0 or NAME=1"},
      {"set dtx=1", "t.scn:1: ", "unknown line 'dtx'"},
      {"set dcd=2", "t.scn:1: ", "dcd must be set to 0 or 1, not '2'"},
      {"error d3 parity 41", "t.scn:1: ", "error needs the line d1 or d2, not 'd3'"},
      {"error d2 parity", "t.scn:1: ", "a parity error needs the received byte"},
      {"error d2 noise", "t.scn:1: ", "unknown error 'noise'"},
      {"error d2 break 41", "t.scn:1: ", "unexpected '41' after error"},
      {"rate 0", "t.scn:1: ", "'0' is not a baud rate between 1 and 100000000"},
      {"rate fast", "t.scn:1: ", "'fast' is not a baud rate"},
      {"sync now", "t.scn:1: ", "unexpected 'now' after sync"},
      {"repeat -1\nend", "t.scn:1: ", "'-1' is not a repeat count"},
      {"repeat 1000000000000000001\nend", "t.scn:1: ", "'1000000000000000001' is not a repeat count"},
      {"repeat 2\n  wait 1s\nend\nend", "t.scn:4: ", "end without repeat"},
      {"repeat 2\n  repeat 3\n  wait 1s\n  end\n\n", "t.scn:1: ", "repeat without end"},
      {"stress 9600 10s seed=x", "t.scn:1: ", "'seed=x': the seed is a number"},
      {"\"AT\"", "t.scn:1: ", "a line starts with a keyword"},
      {"d1 \"x\"\nrepeat forever\n  set dtr=1\n  set dtr=0\nend", "t.scn:2: ", "acts on the DTE side"},
      {"repeat 5\n  d2 \"x\"\n  error d1 overrun\nend", "t.scn:1: ", "acts on the DTE side"},
      // A '%' written in the file is shown as written, never taken for a placeholder.
      {"rate %1", "t.scn:1: ", "'%1' is not a baud rate between 1 and 100000000"},
  };
  for (const Case& c : cases) {
    const QString error = parseError(c.text);
    const QString prefix = QString::fromUtf8(c.prefix);
    EXPECT_TRUE(error.startsWith(prefix)) << "input: " << c.text << "\n got: " << error.toStdString();
    EXPECT_TRUE(error.mid(prefix.size()).contains(QString::fromUtf8(c.says)))
        << "input: " << c.text << "\n got: " << error.toStdString();
  }
  // The file name is taken as it is, whatever it contains.
  Scenario s;
  QString error;
  EXPECT_FALSE(parseScenario("sync\nwait", QStringLiteral("50%1 %2.scn"), &s, &error));
  EXPECT_TRUE(error.startsWith(QStringLiteral("50%1 %2.scn:2: "))) << error.toStdString();
}

TEST(ScenarioParser, RepeatBlocksNestAndKnowWhatTheyDo) {
  const Scenario s = parseOk(
      "repeat forever\n"        // 0
      "  repeat 2\n"            // 1
      "    d2 \"RING\"\n"       // 2
      "    wait 1s\n"           // 3
      "  end\n"
      "  repeat 0\n"            // 4: never runs, so its d1 does not count
      "    d1 \"x\"\n"          // 5
      "  end\n"
      "  wait 2s\n"             // 6
      "end\n"
      "repeat 1\n"              // 7: runs once, zero time is fine
      "  set dtr=1\n"           // 8
      "  set dtr=0\n"           // 9
      "end\n"
      "repeat forever\n"        // 10
      "  set dtr=1\n"           // 11
      "  d2 \"x\"\n"            // 12
      "  sync\n"                // 13: the DTE side gains time through the sync
      "end\n");
  ASSERT_EQ(s.ops.size(), 14u);
  EXPECT_TRUE(s.ops[0].endless);
  EXPECT_EQ(s.ops[0].bodyEnd, 7u);
  EXPECT_EQ(s.ops[0].emits, 2) << "only the DCE side";
  EXPECT_EQ(s.ops[1].bodyEnd, 4u);
  EXPECT_EQ(s.ops[4].emits, 0);
  EXPECT_EQ(s.ops[4].bodyEnd, 6u);
  EXPECT_EQ(s.ops[7].bodyEnd, 10u);
  EXPECT_EQ(s.ops[10].emits, 3);
  EXPECT_FALSE(s.ops[0].neverEnds);

  const Scenario n = parseOk("repeat 2\n  repeat forever\n    wait 1s\n  end\nend\n");
  EXPECT_TRUE(n.ops[0].neverEnds);
}

TEST(ScenarioParser, PathologicalInputCostsBoundedWork) {
  // A 1 MB line of hex bytes, a 1 MB unterminated text, a number with a million digits.
  std::string hex = "d1";
  while (hex.size() < 1000000) hex += " 5A";
  EXPECT_EQ(parseOk(hex).bytes.size(), (hex.size() - 2) / 3);
  EXPECT_TRUE(parseError("d1 \"" + std::string(1000000, 'a')).startsWith("t.scn:1: unterminated text"));
  EXPECT_TRUE(parseError("repeat " + std::string(1000000, '9') + "\nend").startsWith("t.scn:1:"));
  EXPECT_TRUE(parseError("wait " + std::string(1000000, '1') + "ms").startsWith("t.scn:1:"));
  // Deep nesting stops at the limit; huge counts cost nothing since nothing is expanded.
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "repeat 2\n";
  EXPECT_TRUE(parseError(deep).startsWith("t.scn:65: repeat blocks nested too deeply"));
  std::string huge;
  for (int i = 0; i < 64; ++i) huge += "repeat 1000000000000000000\n";
  huge += "d1 \"x\"\nwait 1ms\n";
  for (int i = 0; i < 64; ++i) huge += "end\n";
  EXPECT_EQ(parseOk(huge).ops.size(), 66u);
  // Garbage of every byte value, in many lines.
  std::mt19937 rng(5);
  std::string garbage(1 << 20, '\0');
  for (char& c : garbage) c = char(rng());
  Scenario s;
  QString error;
  EXPECT_FALSE(parseScenario(QByteArray::fromStdString(garbage), QStringLiteral("g"), &s, &error));
  EXPECT_TRUE(error.startsWith(QStringLiteral("g:")));
}

TEST(ScenarioParser, DefaultScenarioParses) {
  Scenario s;
  QString error;
  ASSERT_TRUE(parseScenario(defaultScenarioText(), QStringLiteral("built-in"), &s, &error)) << error.toStdString();
  ASSERT_FALSE(s.ops.empty());
  EXPECT_EQ(s.ops[0].kind, K::Repeat);
  EXPECT_TRUE(s.ops[0].endless);
  EXPECT_EQ(s.ops[0].bodyEnd, s.ops.size());
}

// The link passes blocks a side cannot see with a matrix power; it must land exactly
// where stepping through the iterations one by one lands.
TEST(ScenarioCursorMap, PowerEqualsSteppingEachIteration) {
  std::mt19937_64 rng(11);
  for (int round = 0; round < 200; ++round) {
    CursorMap m;
    for (int step = 0; step < 4; ++step) {
      const int kind = int(rng() % 3);
      if (kind == 0) m = m.then(CursorMap::sync());
      else m = m.then(CursorMap::advance(SimTime(rng() % 1000000), SimTime(rng() % 3 ? 0 : rng() % 1000000)));
    }
    const uint64_t n = rng() % 300;
    SimTime stepped[2] = {SimTime(rng() % 5000), SimTime(rng() % 5000)};
    SimTime jumped[2] = {stepped[0], stepped[1]};
    for (uint64_t i = 0; i < n; ++i) m.apply(stepped);
    m.power(n).apply(jumped);
    ASSERT_TRUE(stepped[0] == jumped[0] && stepped[1] == jumped[1]) << "round " << round;
  }
  // Far beyond any real time it saturates instead of overflowing.
  SimTime t[2] = {0, 0};
  CursorMap::advance(kSimNever / 3, 1).power(1000000000000000000ull).apply(t);
  EXPECT_TRUE(t[0] == kSimNever);
}

}  // namespace
