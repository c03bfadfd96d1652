#include "tools/CsvWriter.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "capture/Clock.h"
#include "settings/Texts.h"
#include "view/CodeFormat.h"

namespace TextNo {
constexpr int Days = 4242;
}

namespace {

// The latest date a time stamp may carry (31.12.9999); the grid shows later ones as invalid.
constexpr double kLastOleDay = 2958465.0;
constexpr int64_t kMicrosPerDay = 86'400'000'000LL;

std::string utf8(const QString& s) { return s.toStdString(); }

// The character a byte codes: ASCII as is, 0x80 to 0xFF as U+0080 to U+00FF.
std::string byteCharacter(uint8_t b) {
  if (b < 0x80) return std::string(1, char(b));
  return {char(0xC0 | (b >> 6)), char(0x80 | (b & 0x3F))};
}

void appendDigits(std::string& out, int64_t v, int width) {
  char buf[24];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  (void)ec;
  for (int n = int(end - buf); n < width; ++n) out.push_back('0');
  out.append(buf, end);
}

std::string number(unsigned v, int base, int width) {
  char buf[16];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, base);
  (void)ec;
  std::string s(buf, end);
  for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
  if (int(s.size()) < width) s.insert(0, std::size_t(width) - s.size(), '0');
  return s;
}

}  // namespace

void CsvWriter::appendField(std::string& out, std::string_view text, char separator, char quote) {
  char q = quote;
  if (!q) {
    for (char c : text)
      if (c == separator || c == '"' || c == '\r' || c == '\n') {
        q = '"';
        break;
      }
  }
  if (!q) {
    out.append(text);
  } else {
    out.push_back(q);
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
      if (text[i] == q) {
        out.append(text.substr(start, i + 1 - start));
        out.push_back(q);
        start = i + 1;
      }
    out.append(text.substr(start));
    out.push_back(q);
  }
  out.push_back(separator);
}

std::string CsvWriter::rawField(uint8_t byte, char separator, char quote) {
  std::string out;
  if (quote == '\'' && byte == '"') {
    out = "'\"\"'";
    out.push_back(separator);
  } else {
    appendField(out, byteCharacter(byte), separator, quote);
  }
  return out;
}

CsvWriter::CsvWriter(const Export::Options& options)
    : o_(options), sep_(options.separator ? options.separator : ';'), quote_(options.quote) {
  for (int b = 0; b < 256; ++b) {
    std::string& s = dataColumns_[b];
    s = rawField(uint8_t(b), sep_, quote_);
    if (o_.hex) field(s, number(unsigned(b), 16, 2));
    if (o_.dec) field(s, number(unsigned(b), 10, 1));
    if (o_.oct) field(s, number(unsigned(b), 8, 3));
    if (o_.bin) field(s, number(unsigned(b), 2, 8));
    if (!controlName(uint8_t(b), CharacterCode::UsAscii).isEmpty())
      description_[b] = utf8(controlDescription(uint8_t(b), CharacterCode::UsAscii));
  }
  field(level_[0], "0");
  field(level_[1], "1");
  static const int kLetters[] = {4291, 4292, 4293};  // P, F, L
  for (int mask = 0; mask < 8; ++mask) {
    std::string letters;
    for (int i = 0; i < 3; ++i)
      if (mask & (1 << i)) letters += utf8(Texts::text(kLetters[i]));
    field(errorField_[0][mask], letters);
    field(errorField_[1][mask], letters);
  }
  field(emptyField_, {});
  separatorText_ = " <---|---> ";
  daysText_ = utf8(Texts::text(TextNo::Days));
}

void CsvWriter::appendTitleLine(std::string& out) const {
  const auto title = [&](const QString& t) { field(out, utf8(t)); };
  using CellText::lineName;
  if (o_.mark) title(Texts::text(8155));
  if (o_.eventNumber) title(Texts::text(8156));
  if (o_.timeStamp) {
    const int suffix = o_.timeMode == CellText::TimeMode::Relative ? 8177
                       : o_.timeMode == CellText::TimeMode::Delta  ? 8178
                                                                   : 8176;
    title(Texts::text(8157) + Texts::text(suffix));
  }
  for (int line : {CellText::LineD1, CellText::LineD2}) {
    if (!(line == CellText::LineD1 ? o_.d1 : o_.d2)) continue;
    const QString name = lineName(line, o_.pinNaming);
    title(name + QLatin1String(" [RAW]"));
    if (o_.hex) title(name + QLatin1String(" [HEX]"));
    if (o_.dec) title(name + QLatin1String(" [DEC]"));
    if (o_.oct) title(name + QLatin1String(" [OCT]"));
    if (o_.bin) title(name + QLatin1String(" [BIN]"));
  }
  for (int s = 0; s < SignalCount; ++s)
    if (o_.signalLines[s]) title(lineName(CellText::LineS1 + s, o_.pinNaming));
  if (o_.errors && o_.d1) title(lineName(CellText::LineD1, o_.pinNaming) + QLatin1String("[PFL]"));
  if (o_.errors && o_.d2) title(lineName(CellText::LineD2, o_.pinNaming) + QLatin1String("[PFL]"));
  if (o_.description) title(Texts::text(8158));
  out += "\r\n";
}

void CsvWriter::appendTime(std::string& out, double stamp, double base) {
  // A blank, then the time text of the grid without its trailing blank.
  std::string& text = scratch_;
  text.assign(1, ' ');
  if (o_.timeMode == CellText::TimeMode::Absolute) {
    if (!std::isfinite(stamp) || stamp < 1.0 || stamp > kLastOleDay) {
      QString t = CellText::timeText(o_.timeMode, stamp, base, o_.locale);
      if (t.endsWith(QLatin1Char(' '))) t.chop(1);
      text += utf8(t);
    } else {
      const int64_t micros = std::llround(unixLocalFromOleDate(stamp) * 1e6);
      const int64_t seconds = micros >= 0 ? micros / 1'000'000 : -((-micros + 999'999) / 1'000'000);
      if (seconds != cachedSecond_) {
        cachedSecond_ = seconds;
        cachedSecondText_ = utf8(CellText::absoluteSecondsText(seconds, o_.locale));
      }
      text += cachedSecondText_;
      text.push_back(',');
      appendDigits(text, micros - seconds * 1'000'000, 6);
    }
  } else {
    int64_t d = CellText::microsecondsBetween(base, stamp);
    if (d < 0) {
      text.push_back('-');
      d = -d;
    }
    appendDigits(text, d / kMicrosPerDay, 1);
    text += daysText_;
    text += "  ";
    int64_t rest = d % kMicrosPerDay;
    appendDigits(text, rest / 3'600'000'000LL, 2);
    rest %= 3'600'000'000LL;
    text.push_back(':');
    appendDigits(text, rest / 60'000'000LL, 2);
    rest %= 60'000'000LL;
    text.push_back(':');
    appendDigits(text, rest / 1'000'000, 2);
    text.push_back(',');
    appendDigits(text, rest % 1'000'000, 6);
  }
  field(out, text);
}

void CsvWriter::appendLine(std::string& out, const EventRecord& r, double base) {
  if (o_.mark) {
    if (r.markCode == 0)
      out += emptyField_;
    else
      field(out, utf8(CellText::markText(r)));
  }
  if (o_.eventNumber) {
    if (quote_) out.push_back(quote_);
    appendDigits(out, r.eventNumber, 1);
    if (quote_) out.push_back(quote_);
    out.push_back(sep_);
  }
  if (o_.timeStamp) appendTime(out, r.timeStamp, base);
  if (o_.d1) out += dataColumns_[r.d1Byte];
  if (o_.d2) out += dataColumns_[r.d2Byte];
  for (int s = 0; s < SignalCount; ++s)
    if (o_.signalLines[s]) out += level_[r.signalBytes[s] != 0 ? 1 : 0];
  if (o_.errors) {
    for (int side = 0; side < 2; ++side) {
      if (!(side == 0 ? o_.d1 : o_.d2)) continue;
      const uint8_t* e = r.errors + (side == 0 ? ErrPe1 : ErrPe2);
      out += errorField_[side][(e[0] ? 1 : 0) | (e[1] ? 2 : 0) | (e[2] ? 4 : 0)];
    }
  }
  if (o_.description) {
    const std::string* d1 =
        CellText::flagSet(r.d1Flag) && !description_[r.d1Byte].empty() ? &description_[r.d1Byte] : nullptr;
    const std::string* d2 =
        CellText::flagSet(r.d2Flag) && !description_[r.d2Byte].empty() ? &description_[r.d2Byte] : nullptr;
    if (!d1 && !d2) {
      out += emptyField_;
    } else {
      // D1's name left of the marker, D2's right of it.
      std::string& text = scratch_;
      text.clear();
      if (d1) text += *d1;
      text += separatorText_;
      if (d2) text += *d2;
      field(out, text);
    }
  }
  out += "\r\n";
}
