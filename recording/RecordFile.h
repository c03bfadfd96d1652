#pragma once
#include <QString>
#include <sys/types.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

#include "capture/CaptureEngine.h"
#include "capture/EventRecord.h"

class MessageSink;

// Whether a recording can be continued: its first record is the file start mark
// (number 0), its last whole record holds its own place as number, and no running
// counter is negative. Anything else is no record file of ours and is never appended to.
bool isContinuableRecording(const EventRecord& first, const EventRecord& last, int64_t lastIndex);

// The record file: a plain sequence of 80-byte records, record n at offset 80 n.
// A recording handle appends while a view handle reads the same file for the viewers.
class RecordFile : public RecordSink {
 public:
  enum class Handle { Recording, View };

  explicit RecordFile(MessageSink& messages);
  ~RecordFile() override;

  void setName(const QString& name) { name_ = name; }
  QString name() const { return name_; }
  // A name without a folder lies in the user path's recordings folder; true when the name changed.
  bool qualifyName(const QString& userPath);

  // Returns the descriptor or -1.
  int OpenRecordFile(Handle which);
  // The recording handle, opened (the file created when missing) and locked against
  // every other recorder of this file before anything is changed; -1 on failure,
  // with lockedByOther() telling a file held by another recording from other failures.
  int acquireRecording();
  bool lockedByOther() const { return lockedByOther_; }
  // The file did not exist before acquireRecording made it.
  bool createdByAcquire() const { return createdByAcquire_; }
  // Empties the acquired file in place: the lock stays on it, so no other recorder
  // can slip in between deleting and creating.
  bool truncateRecording();
  // Gives the file up after a start that failed before anything was written: a file
  // made by acquireRecording and still empty is removed again.
  void releaseRecording();
  int CreateRecordFile(Handle which);
  // The view handle on the current name; a file is made (empty) only where none exists,
  // so a file that is there but cannot be opened is never emptied. lastError() says why.
  int openViewCreatingMissing(bool* created = nullptr);
  void CloseRecordFile(Handle which);
  bool isOpen(Handle which) const { return fd(which) >= 0; }

  bool exists() const;
  // False for something that is there but is no regular file (a folder, a device).
  bool isRegularOrAbsent() const;
  // What the system said about the last failed operation.
  QString lastError() const { return lastError_; }

  // Recording handle.
  int64_t recordingSize() const;
  bool seekRecording(int64_t offset);
  bool readRecording(EventRecord& record);
  // The first and the last whole record, read at their places; the number of whole
  // records, 0 when there are none or a read failed.
  int64_t readEnds(EventRecord& first, EventRecord& last);
  // Cuts a partial record left at the end (a crash mid-write) so appends stay aligned.
  bool cutPartialTail();
  bool writeRecord(const EventRecord& record) override;
  // The records in one write; a write cut short keeps the whole records that made it.
  size_t writeRecords(const EventRecord* records, size_t count) override;
  bool writeFailed() const { return writeFailed_; }
  // The system call the records go out with; tests count calls or cut writes short.
  using WriteCall = ssize_t (*)(int fd, const void* data, size_t length);
  void setWriteCall(WriteCall call) { writeCall_ = call; }

  // View handle.
  void ReadRecordAt(int32_t eventNumber);
  const EventRecord& readBuffer() const { return readBuffer_; }
  double previousTimeStamp() const { return previousTimeStamp_; }
  int64_t viewRecordCount() const;
  // Up to count whole records from index first on, in one read; returns how many came.
  int readViewRecords(int64_t first, EventRecord* out, int count) const;

  // The caption above the grid: name with folder and the size in KB.
  QString ShowRecordFileLine(const QString& userPath);

 private:
  int fd(Handle which) const { return which == Handle::Recording ? recordingFd_ : viewFd_; }
  int& fdRef(Handle which) { return which == Handle::Recording ? recordingFd_ : viewFd_; }
  void noteError(int err);
  bool refuseNonRegular();

  MessageSink& messages_;
  QString name_;
  int recordingFd_ = -1;
  bool lockedByOther_ = false;
  bool createdByAcquire_ = false;
  int viewFd_ = -1;
  int64_t writePos_ = 0;
  bool writeFailed_ = false;
  WriteCall writeCall_ = ::write;
  QString lastError_;
  EventRecord readBuffer_;
  double previousTimeStamp_ = 0;
  QString lastShownPath_;
  int64_t lastShownSize_ = 0;
};
