#include "tools/Export.h"

namespace Export {

int64_t defaultGapMicros(const LineSettings& line) {
  if (line.baud <= 0) return 0;
  return (int64_t(line.bitsPerCharacter()) * 3'500'000 + line.baud - 1) / line.baud;
}

Result run(RecordReader&, const QString&, const Options&, WorkControl*) { return {}; }

}  // namespace Export
