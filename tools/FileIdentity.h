#pragma once
#include <QString>
#include <sys/types.h>

// A file as the system knows it (device and inode after following links), so that a
// symlink, a hard link or "./name" onto a file are recognised as that file.
struct FileIdentity {
  bool valid = false;  // the file exists and could be examined
  dev_t device = 0;
  ino_t inode = 0;

  bool operator==(const FileIdentity& o) const { return valid && o.valid && device == o.device && inode == o.inode; }
};

FileIdentity identityOf(const QString& path);
FileIdentity identityOf(int fd);
