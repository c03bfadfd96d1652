// Any bytes as a record file to replay: the check either refuses the file with a
// message naming it, or the replay walks it to the end without a failure, handing out
// nothing but lines, errors and bytes, never back in time. Any text as the --replay
// argument gives a file and a speed or a message.
#include <QString>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "tests/fuzz/FuzzScratch.h"
#include "tools/ReplayLink.h"
#include "tools/ReplayReader.h"

namespace {
[[noreturn]] void fault(const char* what) {
  std::fprintf(stderr, "fuzz_replay: %s\n", what);
  std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QString file, error;
  double speed = -1;
  const QString argument = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(std::min<size_t>(size, 200)));
  if (ReplayLink::parseArgument(argument, &file, &speed, &error)) {
    if (!(speed == ReplayLink::kMaxSpeed || (speed > 0 && std::isfinite(speed)))) fault("a speed that is none");
  } else if (error.isEmpty()) {
    fault("a refused argument without a message");
  }

  static const QString path = fuzz::scratch() + QStringLiteral("input.vrd");
  if (!fuzz::writeInput(path, data, size)) return 0;
  ReplayReader reader;
  if (!reader.open(path)) {
    if (!reader.problem().text().contains(path)) fault("a refusal that does not name the file");
    return 0;
  }
  for (int pass = 0; pass < 2; ++pass) {
    reader.rewind();
    double last = 0;
    int64_t items = 0;
    for (ReplayItem item; reader.next(item);) {
      if (!std::isfinite(item.at) || item.at < last) fault("time ran backwards");
      last = item.at;
      if (item.kind > ReplayItem::Data) fault("an unknown kind of item");
      // Two line changes, two errors and two bytes at most per record.
      if (++items > 6 * reader.recordCount()) fault("more items than the records hold");
    }
    if (reader.failed()) fault("a checked file failed to replay");
    if (reader.position() != reader.recordCount()) fault("records left over");
  }
  return 0;
}
