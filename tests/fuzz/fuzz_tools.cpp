// Any bytes as a record file for the analysis tools: every search in both directions,
// the measurement and each export format must end with a result, never a crash, and the
// export must leave a file only when it says it finished.
#include <QFile>
#include <cstdlib>

#include "tests/fuzz/FuzzScratch.h"
#include "tools/Export.h"
#include "tools/Measure.h"
#include "tools/RecordReader.h"
#include "tools/Search.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const QString path = fuzz::scratch() + QStringLiteral("input.vrd");
  static const QString out = fuzz::scratch() + QStringLiteral("out");
  if (!fuzz::writeInput(path, data, size)) return 0;
  RecordReader reader;
  if (!reader.open(path)) return 0;
  const int64_t n = reader.recordCount();
  // A pattern and conditions taken from the input itself, so matches happen.
  const QByteArray pattern(reinterpret_cast<const char*>(data), int(std::min<size_t>(size, 3)));
  const uint8_t c = size ? data[size - 1] : 0;
  const Search::Query queries[] = {
      Search::DataQuery{true, true, pattern.isEmpty() ? QByteArray("A") : pattern},
      Search::SignalQuery{{uint8_t(c % 3), uint8_t(c / 3 % 3), 0, 0, 0, uint8_t(c / 9 % 3)}},
      Search::ErrorQuery{{uint8_t(c % 3), 0, uint8_t(c / 3 % 3)}},
      Search::TimeQuery{n > 1 ? 46000.0 + c : 0},
      Search::TriggerQuery{c},
  };
  for (const auto& q : queries)
    for (auto dir : {Search::Direction::Forward, Search::Direction::Reverse})
      for (int64_t from : {int64_t(-1), int64_t(0), n / 2, n, n + 1}) {
        const Search::Result r = Search::find(reader, q, from, dir, nullptr, 3);
        if (r.outcome == Search::Outcome::Found && (r.event < 1 || r.event >= n)) std::abort();
      }
  (void)Measure::measure(reader, 1, n - 1, QLocale::c());
  for (auto format : {Export::Format::Csv, Export::Format::Raw, Export::Format::Pcapng}) {
    Export::Options options;
    options.format = format;
    options.quote = char(c % 2 ? '"' : 0);
    const Export::Result r = Export::run(reader, out, options);
    if (r.status == Export::Status::Failed && QFile::exists(out)) std::abort();
    QFile::remove(out);
  }
  return 0;
}
