#pragma once
// The files a fuzz target writes go to one folder of its process's own, made on first
// use and removed when the process exits (libFuzzer exits normally when its time is
// up). A crash leaves the folder behind: scripts/fuzz.sh therefore runs the targets
// with TMPDIR pointing into a scratch folder that it removes itself.
#include <ftw.h>
#include <stdlib.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fuzz {

inline char gScratch[4096];

// Plain POSIX, so that it still works while the exit handlers tear Qt's statics down.
inline void removeScratch() {
  if (!gScratch[0]) return;
  ::nftw(
      gScratch, [](const char* path, const struct stat*, int, struct FTW*) { return std::remove(path); }, 16,
      FTW_DEPTH | FTW_PHYS);
}

// The folder, ending in a slash.
inline QString scratch() {
  if (!gScratch[0]) {
    QByteArray name = QFile::encodeName(QDir::tempPath() + QStringLiteral("/vorlog-fuzz-XXXXXX"));
    if (size_t(name.size()) >= sizeof gScratch || !::mkdtemp(name.data())) {
      std::perror("fuzz: cannot make a scratch folder");
      std::abort();
    }
    std::memcpy(gScratch, name.constData(), size_t(name.size()) + 1);
    std::atexit(removeScratch);
  }
  return QFile::decodeName(gScratch) + QLatin1Char('/');
}

// Writes prefix and the input as the file path, through a temporary file and a rename
// as every whole file (without QSaveFile's sync to disk, which would cost more than the
// input's run); false when it cannot be written.
inline bool writeInput(const QString& path, const uint8_t* data, size_t size, const QByteArray& prefix = {}) {
  const QString temporary = path + QStringLiteral(".new");
  {
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    if (file.write(prefix) != prefix.size() ||
        file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
      return false;
  }
  return std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) == 0;
}

}  // namespace fuzz
