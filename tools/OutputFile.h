#pragma once
#include <QString>
#include <QStringList>
#include <cstddef>
#include <string>

#include "tools/FileIdentity.h"

// A file the analysis tools write whole: it grows as a hidden temporary file in the
// target's folder and takes the target's name only when complete, so a failed write
// never leaves a half file and never harms a file already there. Writes are gathered
// in a large buffer and every write, the sync and the close are checked.
class OutputFile {
 public:
  enum class Failure { None, NotRegular, SameAsSource, Create, Write };
  static constexpr std::size_t kBlockBytes = 4 << 20;

  OutputFile() = default;
  ~OutputFile() { discard(); }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Refuses a target that exists and is no regular file, and one that is the source
  // (same device and inode: symlinks and hard links are seen through).
  bool open(const QString& target, const FileIdentity& source);
  // The bytes gathered so far; writers append here and call flushIfFull().
  std::string& buffer() { return buffer_; }
  bool flushIfFull() { return buffer_.size() < kBlockBytes || flush(); }
  bool write(const char* data, std::size_t size) {
    buffer_.append(data, size);
    return flushIfFull();
  }
  bool flush();
  // Writes the rest, syncs, closes and renames onto the target.
  bool commit();
  // Removes the temporary file; the target stays as it was.
  void discard();

  QString target() const { return target_; }
  Failure failure() const { return failure_; }
  int messageNumber() const;
  QString message() const;

 private:
  void fail(Failure failure, int err);

  int fd_ = -1;
  QString target_, temp_;
  std::string buffer_;
  Failure failure_ = Failure::None;
  QString reason_;
};
