#include <gtest/gtest.h>

#include <QAction>
#include <QPushButton>

#include "app/ControlStates.h"
#include "app/StartupArgs.h"

namespace {

TEST(StartupFilesTest, EnvironmentAndRecordFileFromTheCommandLine) {
  const StartupFiles f = parseStartupFiles({"/data/job.ven", "/data/run.vrd"});
  EXPECT_EQ(f.environmentFile, "/data/job.ven");
  EXPECT_EQ(f.recordFile, "/data/run.vrd");

  // The test is case-sensitive, finds the text anywhere, and the last match wins.
  const StartupFiles g = parseStartupFiles({"A.VRD", "first.vrd", "second.vrd.bak", "JOB.VEN", "x"});
  EXPECT_EQ(g.recordFile, "second.vrd.bak");
  EXPECT_TRUE(g.environmentFile.isEmpty());

  EXPECT_TRUE(parseStartupFiles({"--screenshot=shot.vrd.png"}).recordFile.isEmpty());
  EXPECT_TRUE(parseStartupFiles({}).recordFile.isEmpty());
}

TEST(StartupOptionsTest, ProgramOptions) {
  StartupOptions o = parseStartupOptions({"run.vrd", "--simulate=modem.scn", "--screenshot=a.png", "--record"});
  EXPECT_TRUE(o.simulate);
  EXPECT_EQ(o.scenario, "modem.scn");
  EXPECT_EQ(o.screenshot, "a.png");
  EXPECT_TRUE(o.record);
  EXPECT_TRUE(o.error.isEmpty());
  o = parseStartupOptions({"--simulate"});
  EXPECT_TRUE(o.simulate);
  EXPECT_TRUE(o.scenario.isEmpty());
  EXPECT_EQ(parseStartupOptions({"--bogus"}).error, "--bogus");
  EXPECT_EQ(parseStartupOptions({"--screenshot-delay=x"}).error, "--screenshot-delay=x");
  EXPECT_TRUE(parseStartupOptions({"--exit-when-shown"}).exitWhenShown);
  EXPECT_FALSE(parseStartupOptions({"--simulate"}).exitWhenShown);
  EXPECT_EQ(parseStartupOptions({"--exit-when-shown=1"}).error, "--exit-when-shown=1");
}

TEST(ControlStatesTest, RestoresExactlyWhatWasThere) {
  QAction on, off, stop;
  off.setEnabled(false);
  stop.setEnabled(false);
  QPushButton button;
  ControlStates s;
  s.lock({{&on, false}, {&off, false}, {&stop, true}, {&button, false}});
  EXPECT_FALSE(on.isEnabled());
  EXPECT_TRUE(stop.isEnabled());
  EXPECT_FALSE(button.isEnabled());
  // A second lock while locked must not take the locked states as the ones to keep.
  s.lock({{&on, false}, {&stop, true}});
  s.restore();
  EXPECT_TRUE(on.isEnabled());
  EXPECT_FALSE(off.isEnabled());
  EXPECT_FALSE(stop.isEnabled());
  EXPECT_TRUE(button.isEnabled());
  EXPECT_FALSE(s.locked());
  // Restoring without a lock changes nothing.
  on.setEnabled(false);
  s.restore();
  EXPECT_FALSE(on.isEnabled());
}

TEST(ControlStatesTest, AnObjectGoneDuringTheLockIsSkipped) {
  QAction keep;
  auto* gone = new QAction;
  ControlStates s;
  s.lock({{&keep, false}, {gone, false}});
  delete gone;
  s.restore();
  EXPECT_TRUE(keep.isEnabled());
}

}  // namespace
