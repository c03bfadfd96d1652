#pragma once
#include <QString>
#include <atomic>
#include <cstdint>

// Saving a recording under another name. The copy is written beside the target and
// renamed onto it only when every byte has arrived and is on the disk, so the target
// is either the old file or the whole copy, never a part of one.
struct RecordFileCopy {
  enum class Outcome {
    Copied,        // the target now holds the whole recording
    Empty,         // the recording holds nothing: no file was made
    Stopped,       // the user stopped it; the target is untouched
    SourceFailed,  // the recording could not be read
    TargetFailed,  // the target could not be written; it is untouched
    NotRegular,    // the target is a folder, a device or a pipe: never replaced
  };
  Outcome outcome = Outcome::TargetFailed;
  int error = 0;       // errno of the failure
  int64_t bytes = 0;   // copied into the target
  QString written;     // the file actually replaced (a link's destination)

  bool ok() const { return outcome == Outcome::Copied; }
};

// Watched by the window while a copy runs on a thread of its own; all may be null.
struct CopyWatch {
  const std::atomic<bool>* stop = nullptr;
  std::atomic<int64_t>* done = nullptr;   // bytes so far
  std::atomic<int64_t>* total = nullptr;  // set once the recording's size is known
};

// Copies source to target (both complete paths). The kernel copies between the files
// where it can; otherwise blocks of 1 MiB go through memory.
RecordFileCopy copyRecordFile(const QString& source, const QString& target, CopyWatch watch = {});
