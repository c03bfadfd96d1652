#pragma once
#include <QString>
#include <QStringList>

// The alerters' instance count. Each alerter holds a slot while it lives: a lock on
// one byte of Klaxor.slots in the user path (byte n - 1 for instance n), which the
// kernel drops when the process ends, however it ends. Counting in takes the lowest
// free slot; the number of held slots is written to Klaxor.ini, [Application]
// Instance, after every count in and out, so the file is right again after an alerter
// that was killed or logged out without its close button. Counting in and out is
// serialised by an exclusive lock (flock) on Klaxor.lock.
//
// The slot locks belong to the open file, not to the process, so two objects in one
// process behave as two alerters.
class InstanceSlots {
 public:
  explicit InstanceSlots(QString userPath);
  ~InstanceSlots();  // gives the slot back without rewriting the count
  InstanceSlots(const InstanceSlots&) = delete;
  InstanceSlots& operator=(const InstanceSlots&) = delete;

  // Takes a slot and returns the instance number (1 for the first window). When the
  // files cannot be used the alerter still runs, as instance 1.
  int countIn();
  // Gives the slot back and writes the new count; a second call does nothing.
  void countOut();

  int instance() const { return instance_; }
  bool counted() const { return slotFd_ >= 0; }
  // What went wrong with the files, as sentences for standard error.
  QStringList problems() const { return problems_; }

  // The file names inside a user path.
  static QString iniPath(const QString& userPath);
  static QString lockPath(const QString& userPath);
  static QString slotsPath(const QString& userPath);

  // The number of slots held by live alerters; -1 when the slot file cannot be read.
  static int liveCount(const QString& userPath);
  // [Application] Instance of Klaxor.ini; -1 when missing or not a number.
  static int storedCount(const QString& userPath);

 private:
  bool lock();
  void unlock();
  void writeCount();

  QString userPath_;
  int instance_ = 1;
  int lockFd_ = -1;
  int slotFd_ = -1;
  QStringList problems_;
};
