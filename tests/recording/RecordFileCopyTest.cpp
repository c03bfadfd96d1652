#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>

#include "recording/RecordFile.h"
#include "recording/RecordFileCopy.h"
#include "support/RecordingMessages.h"
#include "support/Unprivileged.h"

namespace {

using Outcome = RecordFileCopy::Outcome;

struct RecordFileCopyTest : ::testing::Test {
  QTemporaryDir dir;
  QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
  static void write(const QString& p, const QByteArray& data) {
    QFile f(p);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(data), data.size());
  }
  static QByteArray read(const QString& p) {
    QFile f(p);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
  }
  // Everything in the folder: a failed or stopped copy leaves no part behind.
  QStringList entries() const { return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot); }
  static QByteArray pattern(int size) {
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i) b[i] = char(i * 7 + i / 251);
    return b;
  }
};

TEST_F(RecordFileCopyTest, CopiesTheWholeRecordingAndReplacesATargetKeepingItsRights) {
  const QByteArray data = pattern(3 * 1024 * 1024 + 80);
  write(path("rec.vrd"), data);
  write(path("old.vrd"), "previous");
  ::chmod(QFile::encodeName(path("old.vrd")).constData(), 0640);
  std::atomic<int64_t> done{0}, total{0};
  for (const char* target : {"new.vrd", "old.vrd"}) {
    SCOPED_TRACE(target);
    done = 0;
    const RecordFileCopy r = copyRecordFile(path("rec.vrd"), path(target), {nullptr, &done, &total});
    EXPECT_EQ(r.outcome, Outcome::Copied);
    EXPECT_EQ(r.bytes, data.size());
    EXPECT_EQ(done.load(), data.size());
    EXPECT_EQ(total.load(), data.size());
    EXPECT_EQ(read(path(target)), data);
  }
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(path("old.vrd")).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(entries(), (QStringList{"new.vrd", "old.vrd", "rec.vrd"}));
}

// A link named as the target keeps pointing at the copy: its destination is replaced.
TEST_F(RecordFileCopyTest, TargetThatIsALinkReplacesItsDestination) {
  write(path("rec.vrd"), pattern(800));
  write(path("real.vrd"), "old");
  ASSERT_EQ(::symlink("real.vrd", QFile::encodeName(path("link.vrd")).constData()), 0);
  const RecordFileCopy r = copyRecordFile(path("rec.vrd"), path("link.vrd"));
  ASSERT_EQ(r.outcome, Outcome::Copied);
  EXPECT_EQ(r.written, path("real.vrd"));
  EXPECT_TRUE(QFileInfo(path("link.vrd")).isSymLink());
  EXPECT_EQ(read(path("real.vrd")), pattern(800));
}

// Whatever goes wrong, the target is as it was and no part of a copy is left.
TEST_F(RecordFileCopyTest, NothingIsMadeOrLostWhenTheCopyCannotBeDone) {
  write(path("rec.vrd"), pattern(1600));
  write(path("empty.vrd"), "");
  write(path("kept.vrd"), "kept");
  QDir(dir.path()).mkdir("folder.vrd");
  ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe.vrd")).constData(), 0644), 0);
  const std::atomic<bool> stop{true};
  struct Row {
    const char* name;
    const char* source;
    const char* target;
    CopyWatch watch;
    Outcome outcome;
    int error;
  } const rows[] = {
      {"empty recording", "empty.vrd", "new.vrd", {}, Outcome::Empty, 0},
      {"missing recording", "gone.vrd", "new.vrd", {}, Outcome::SourceFailed, ENOENT},
      {"target is a folder", "rec.vrd", "folder.vrd", {}, Outcome::NotRegular, EISDIR},
      {"target is a pipe", "rec.vrd", "pipe.vrd", {}, Outcome::NotRegular, 0},
      {"missing folder", "rec.vrd", "nowhere/new.vrd", {}, Outcome::TargetFailed, ENOENT},
      {"stopped", "rec.vrd", "kept.vrd", {&stop, nullptr, nullptr}, Outcome::Stopped, 0},
  };
  const QStringList before = entries();
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    const RecordFileCopy c = copyRecordFile(path(r.source), path(r.target), r.watch);
    EXPECT_EQ(c.outcome, r.outcome);
    EXPECT_EQ(c.error, r.error);
    EXPECT_EQ(c.bytes, 0);
    EXPECT_EQ(entries(), before);
  }
  EXPECT_EQ(read(path("kept.vrd")), "kept");
  EXPECT_TRUE(QFileInfo(path("folder.vrd")).isDir());
}

// A disk that fills up (here: the file size limit) mid-copy: the old target stays whole.
TEST_F(RecordFileCopyTest, CopyCutShortKeepsTheOldTarget) {
  write(path("rec.vrd"), pattern(4 * 1024 * 1024));
  write(path("kept.vrd"), "kept");
  const pid_t child = ::fork();
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{1024 * 1024, 1024 * 1024};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(10);
    const RecordFileCopy r = copyRecordFile(path("rec.vrd"), path("kept.vrd"));
    ::_exit(r.outcome == Outcome::TargetFailed && r.error == EFBIG ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(read(path("kept.vrd")), "kept");
  EXPECT_EQ(entries(), (QStringList{"kept.vrd", "rec.vrd"}));
}

// The view makes a file only where none is; one that is there is never emptied.
TEST_F(RecordFileCopyTest, ViewCreatesOnlyAMissingFile) {
  RecordingMessages messages;
  RecordFile file(messages);
  write(path("rec.vrd"), pattern(160));
  QDir(dir.path()).mkdir("folder.vrd");
  struct Row {
    const char* name;
    bool opens, created;
  } const rows[] = {{"rec.vrd", true, false}, {"new.vrd", true, true}, {"folder.vrd", false, false},
                    {"nowhere/new.vrd", false, false}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    file.setName(path(r.name));
    bool created = true;
    EXPECT_EQ(file.openViewCreatingMissing(&created) >= 0, r.opens);
    EXPECT_EQ(created, r.created);
    EXPECT_EQ(file.lastError().isEmpty(), r.opens);
  }
  EXPECT_EQ(read(path("rec.vrd")), pattern(160));
  EXPECT_EQ(QFileInfo(path("new.vrd")).size(), 0);
  EXPECT_FALSE(QFileInfo::exists(path("nowhere")));
}

// Without the right to read or write: the view keeps its hands off a file it cannot open,
// a read-only recording is shown but not recorded into, a closed folder gets no copy.
TEST_F(RecordFileCopyTest, FilesWithoutRightsAreRefusedUntouched) {
  write(path("secret.vrd"), pattern(160));
  write(path("readonly.vrd"), pattern(240));
  write(path("rec.vrd"), pattern(800));
  ::chmod(QFile::encodeName(path("secret.vrd")).constData(), 0200);
  ::chmod(QFile::encodeName(path("readonly.vrd")).constData(), 0444);
  QDir(dir.path()).mkdir("closed");
  ::chmod(QFile::encodeName(path("closed")).constData(), 0555);
  ::chmod(QFile::encodeName(dir.path()).constData(), 0777);
  const QString folder = dir.path();
  QByteArray said;
  const int rc = unprivileged(
      [&](QByteArray* out) {
        RecordingMessages messages;
        RecordFile file(messages);
        file.setName(folder + "/secret.vrd");
        const bool secretRefused = file.openViewCreatingMissing() < 0 && !file.lastError().isEmpty();
        file.setName(folder + "/readonly.vrd");
        const bool readOnlyShown = file.openViewCreatingMissing() >= 0 && file.viewRecordCount() == 3;
        const bool readOnlyNotRecorded = file.acquireRecording() < 0 && !file.lastError().isEmpty();
        const RecordFileCopy c = copyRecordFile(folder + "/rec.vrd", folder + "/closed/rec.vrd");
        const bool closedRefused = c.outcome == Outcome::TargetFailed && c.error == EACCES;
        *out = QByteArray::number(secretRefused) + QByteArray::number(readOnlyShown) +
               QByteArray::number(readOnlyNotRecorded) + QByteArray::number(closedRefused);
        return true;
      },
      &said);
  ::chmod(QFile::encodeName(path("closed")).constData(), 0755);
  ::chmod(QFile::encodeName(path("secret.vrd")).constData(), 0600);
  if (rc == 77) GTEST_SKIP() << "cannot give up the super-user's rights here";
  ASSERT_EQ(rc, 0);
  EXPECT_EQ(said, "1111");
  EXPECT_EQ(read(path("secret.vrd")), pattern(160));
  EXPECT_EQ(read(path("readonly.vrd")), pattern(240));
  EXPECT_EQ(QDir(path("closed")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{});
}

}  // namespace
