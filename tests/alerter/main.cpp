// Test entry point: the window tests need an application object (offscreen platform).
#include <gtest/gtest.h>

#include <QApplication>

#include "alerter/KlaxorTexts.h"

// Qt Multimedia's PulseAudio backend keeps what it allocated for a connection attempt
// that failed (no sound server on the test machines); that is libpulse's memory, not ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libpulse.so\n"; }

int main(int argc, char** argv) {
  // Also when the test list is read at build time, where no display is set.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // Alert windows close one after the other; the test program goes on.
  QApplication::setQuitOnLastWindowClosed(false);
  Klaxor::useKlaxorTexts();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
