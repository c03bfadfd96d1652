// Any bytes as Klaxor.ini: counting in and out must not crash or hang, and must leave
// the right count in the file whatever was there before.
#include "alerter/InstanceSlots.h"
#include "alerter/KlaxorTexts.h"
#include "tests/fuzz/FuzzScratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The alerter's problems are worded from its own table, as in the program; Vorlog's
  // table has no such numbers.
  static const bool klaxorTexts = (Klaxor::useKlaxorTexts(), true);
  (void)klaxorTexts;
  static const QString userPath = fuzz::scratch();
  if (!fuzz::writeInput(InstanceSlots::iniPath(userPath), data, size)) return 0;

  InstanceSlots alerter(userPath);
  if (alerter.countIn() != 1 || InstanceSlots::storedCount(userPath) != 1) {
    std::fprintf(stderr, "counting in over this file went wrong\n");
    std::abort();
  }
  alerter.countOut();
  if (InstanceSlots::storedCount(userPath) != 0) {
    std::fprintf(stderr, "counting out over this file went wrong\n");
    std::abort();
  }
  // What goes to standard error must say something.
  for (const QString& problem : alerter.problems()) {
    if (problem.isEmpty()) {
      std::fprintf(stderr, "a problem without its text\n");
      std::abort();
    }
  }
  return 0;
}
