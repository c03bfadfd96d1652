#include "tools/FileIdentity.h"

#include <QFile>

#include <sys/stat.h>

FileIdentity identityOf(const QString& path) {
  struct stat st {};
  if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0) return {};
  return {true, st.st_dev, st.st_ino};
}

FileIdentity identityOf(int fd) {
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0) return {};
  return {true, st.st_dev, st.st_ino};
}
