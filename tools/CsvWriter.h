#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "tools/Export.h"

// The lines of a CSV export (RFC 4180, UTF-8, CR LF). Everything that does not change
// from event to event (the data byte columns, line levels, error letters, control
// character names, the date and time of the current second) is worked out once, so
// that a line is mostly a few copies into the output buffer.
class CsvWriter {
 public:
  explicit CsvWriter(const Export::Options& options);

  void appendTitleLine(std::string& out) const;
  // base: the stamp relative and delta times count from.
  void appendLine(std::string& out, const EventRecord& record, double base);

  // One field and the separator after it. With a quote character the text is enclosed
  // in it and the character doubled inside; without one, a text that holds the
  // separator, a double quote, CR or LF is still enclosed in double quotes, so that
  // no text ever splits or ends a line.
  static void appendField(std::string& out, std::string_view text, char separator, char quote);
  // The field of a data byte as the character it codes (0x80 to 0xFF as U+0080 to
  // U+00FF). A double quote under the single quote keeps its established form: the
  // double quote doubled inside single quotes.
  static std::string rawField(uint8_t byte, char separator, char quote);

 private:
  void field(std::string& out, std::string_view text) const { appendField(out, text, sep_, quote_); }
  void appendTime(std::string& out, double stamp, double base);

  Export::Options o_;
  char sep_, quote_;
  std::array<std::string, 256> dataColumns_;  // raw, hex, dec, oct, bin of one byte
  std::array<std::string, 2> level_;          // "0", "1"
  std::array<std::array<std::string, 8>, 2> errorField_;
  std::array<std::string, 256> description_;  // empty: no control character name
  std::string separatorText_, emptyField_, daysText_;
  int64_t cachedSecond_ = INT64_MIN;
  std::string cachedSecondText_;
  std::string scratch_;  // the time or description text of the line being built
};
