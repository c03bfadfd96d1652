// A recording's writes when the disk fills: one write per burst, nothing but whole
// records after a write cut short, and a clean stop before the disk is full.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <deque>
#include <vector>

#include "capture/CaptureEngine.h"
#include "capture/PortEventHandler.h"
#include "capture/RecordingGate.h"
#include "capture/TriggerControl.h"
#include "capture/ViewLock.h"
#include "recording/FreeSpaceGuard.h"
#include "recording/RecordFile.h"
#include "recording/Recorder.h"
#include "recording/RecorderUi.h"
#include "support/FakeDevice.h"
#include "support/RecordFiles.h"
#include "support/RecorderRig.h"
#include "support/RecordingMessages.h"

namespace {

constexpr int kWriteError = 3004, kStoppedForSpace = 9261;
constexpr int64_t MB = 1000 * 1000;

int gWrites = 0;
size_t gRoom = SIZE_MAX;  // bytes the disk still takes
// A disk that fills: takes what fits, then refuses.
ssize_t fillingWrite(int fd, const void* data, size_t length) {
  ++gWrites;
  if (gRoom == 0) {
    errno = ENOSPC;
    return -1;
  }
  const size_t take = std::min(length, gRoom);
  if (gRoom != SIZE_MAX) gRoom -= take;
  return ::write(fd, data, take);
}

struct NoticeUi : RecorderUi {
  std::vector<QString> notices;
  void showNotice(const QString& text) override { notices.push_back(text); }
};

struct Rig : ::testing::Test, RecorderRig<NoticeUi> {
  FreeSpaceGuard guard{messages, ui};

  void SetUp() override {
    recorder.setFreeSpaceGuard(&guard);
    QObject::connect(&guard, &FreeSpaceGuard::stopRequested, [this] { recorder.btnStopClick(); });
    file.setName(dir.filePath("rec.vrd"));
    gWrites = 0;
    gRoom = SIZE_MAX;
  }
  std::vector<EventRecord> records() const { return readRecordFile(file.name()); }
  int reportsOf(int message) const {
    return int(std::count_if(messages.reports.begin(), messages.reports.end(),
                             [&](const auto& r) { return r.message == message; }));
  }
};

TEST_F(Rig, ABurstIsOneWriteAndInTheFileWhenTheHandlerReturns) {
  recorder.btnRecordClick();
  const size_t before = records().size();
  file.setWriteCall(fillingWrite);
  b.receive("ABCDEFGHIJKLMNOP");
  EXPECT_EQ(gWrites, 1);
  EXPECT_EQ(records().size(), before + 16);
  a.receive("xy");
  EXPECT_EQ(gWrites, 2);
  EXPECT_EQ(records().size(), before + 18);
  recorder.btnStopClick();
}

// The disk fills three records and a bit into a burst: the fragment goes, the three
// stay, the failure is told once, and numbering goes on from the last whole record.
TEST_F(Rig, WriteCutShortInABurstLeavesOnlyWholeRecords) {
  recorder.btnRecordClick();
  const size_t before = records().size();
  file.setWriteCall(fillingWrite);
  gRoom = 3 * kRecordSize + 17;
  b.receive("ABCDEFGH");
  EXPECT_EQ(QFileInfo(file.name()).size(), qint64((before + 3) * kRecordSize));
  EXPECT_TRUE(file.writeFailed());
  b.receive("IJ");
  EXPECT_EQ(reportsOf(kWriteError), 1);
  EXPECT_EQ(QFileInfo(file.name()).size(), qint64((before + 3) * kRecordSize));
  gRoom = SIZE_MAX;  // room again, for the stop mark
  recorder.btnStopClick();
  const std::vector<EventRecord> r = records();
  ASSERT_EQ(r.size(), before + 4);
  EXPECT_EQ(r[before + 2].d1Byte, 'C');
  EXPECT_TRUE(isSystemMark(r.back(), Mark::UserStop));
  EXPECT_TRUE(isContinuableRecording(r.front(), r.back(), int64_t(r.size()) - 1));
}

// Free space as the checks find it, one after the other; what the user is told and
// whether the recording ended.
struct SpaceCase {
  const char* name;
  std::vector<int64_t> free;
  int notices;
  bool stopped;
};

struct SpaceChecks : Rig, ::testing::WithParamInterface<SpaceCase> {};

TEST_P(SpaceChecks, WarnsOnceAndStopsWithTheStopMark) {
  std::deque<int64_t> answers(GetParam().free.begin(), GetParam().free.end());
  QString asked;
  guard.setQuery([&](const QString& path) {
    asked = path;
    const int64_t f = answers.empty() ? 5000 * MB : answers.front();
    if (!answers.empty()) answers.pop_front();
    return f;
  });
  recorder.btnRecordClick();
  ASSERT_TRUE(guard.watching());
  while (!answers.empty() && recorder.running()) {
    b.receive("z");
    guard.check();
  }
  EXPECT_EQ(asked, file.name());
  EXPECT_EQ(int(ui.notices.size()), GetParam().notices);
  EXPECT_EQ(!recorder.recordDown(), GetParam().stopped);
  EXPECT_EQ(reportsOf(kStoppedForSpace), GetParam().stopped ? 1 : 0);
  if (GetParam().stopped) {
    EXPECT_FALSE(guard.watching());
    const std::vector<EventRecord> r = records();
    EXPECT_TRUE(isSystemMark(r.back(), Mark::UserStop));
    EXPECT_EQ(std::count_if(r.begin(), r.end(), [](const auto& e) { return isSystemMark(e, Mark::UserStop); }), 1);
  } else {
    recorder.btnStopClick();
    EXPECT_FALSE(guard.watching());
  }
}

const SpaceCase kSpace[] = {
    {"Plenty", {5000 * MB, 2000 * MB, 1000 * MB}, 0, false},
    {"LowWarnsOnce", {900 * MB, 800 * MB, 150 * MB}, 1, false},
    {"LowThenTooLow", {2000 * MB, 999 * MB, 101 * MB, 99 * MB}, 1, true},
    {"TooLowAtOnce", {50 * MB}, 0, true},
    {"UnknownChangesNothing", {-1, -1}, 0, false},
};

INSTANTIATE_TEST_SUITE_P(FreeSpace, SpaceChecks, ::testing::ValuesIn(kSpace),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Rig, EachRecordingWarnsAgainAndTheTimerLooks) {
  int looks = 0;
  guard.setQuery([&](const QString&) {
    ++looks;
    return 500 * MB;
  });
  guard.setLimits({1000 * MB, 100 * MB, 5});
  for (int run = 0; run < 2; ++run) {
    recorder.btnRecordClick();
    QElapsedTimer t;
    t.start();
    while (looks < 3 * (run + 1) && t.elapsed() < 5000) {
      ::usleep(1000);
      QCoreApplication::processEvents();
    }
    recorder.btnStopClick();
  }
  EXPECT_GE(looks, 6);
  EXPECT_EQ(ui.notices.size(), 2u);
  const int afterStop = looks;
  processEvents();
  EXPECT_EQ(looks, afterStop);  // nothing looks while no recording runs
}

// The real thing, where a small file system can be made: a tmpfs of 4 MB with the
// limits scaled down, filled by bursts until the guard ends the recording.
TEST_F(Rig, SmallTmpfsStopsBeforeItIsFull) {
  const QString mountPoint = dir.filePath("small");
  QDir().mkpath(mountPoint);
  if (::geteuid() != 0 ||
      ::mount("tmpfs", QFile::encodeName(mountPoint).constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=4m") != 0)
    GTEST_SKIP() << "cannot mount a tmpfs here";
  struct Unmount {
    QByteArray path;
    ~Unmount() { ::umount2(path.constData(), MNT_DETACH); }
  } unmount{QFile::encodeName(mountPoint)};

  file.setName(mountPoint + "/rec.vrd");
  guard.setLimits({2 * MB, 1 * MB, 5});
  recorder.btnRecordClick();
  ASSERT_TRUE(recorder.running());
  const std::string burst(1000, 'U');  // 80 KB of records a burst
  QElapsedTimer t;
  t.start();
  while (recorder.recordDown() && t.elapsed() < 20000) {
    b.receive(burst);
    // 40 MB/s: more than any serial link, still slower than the checks come.
    ::usleep(2000);
    QCoreApplication::processEvents();
  }
  EXPECT_FALSE(recorder.recordDown());
  EXPECT_EQ(reportsOf(kWriteError), 0) << "the disk filled before the stop";
  EXPECT_EQ(reportsOf(kStoppedForSpace), 1);
  EXPECT_EQ(ui.notices.size(), 1u);
  const std::vector<EventRecord> r = records();
  ASSERT_GT(r.size(), 10000u);
  EXPECT_TRUE(isSystemMark(r.back(), Mark::UserStop));
  EXPECT_TRUE(isContinuableRecording(r.front(), r.back(), int64_t(r.size()) - 1));
  EXPECT_GE(FreeSpaceGuard::systemFreeSpace(mountPoint), 1 * MB - int64_t(burst.size() * kRecordSize) * 3);
}

}  // namespace
