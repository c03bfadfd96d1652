#include "tools/Measure.h"

namespace Measure {
Result measure(RecordReader&, int64_t, int64_t, const QLocale&) { return {}; }
Result between(double, double, const QLocale&) { return {}; }
QString grouped(int64_t, const QLocale&) { return {}; }
}  // namespace Measure
