#pragma once
// Runs body in a child process without root's right to write anywhere; its exit code
// (77: the rights could not be dropped) and the text it hands back.
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <functional>

inline int unprivileged(const std::function<bool(QByteArray*)>& body, QByteArray* text) {
  int fds[2];
  if (::pipe(fds) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(77);
    QByteArray out;
    const bool ok = body(&out);
    if (::write(fds[1], out.constData(), size_t(out.size())) < 0) ::_exit(2);
    ::_exit(ok ? 0 : 1);
  }
  ::close(fds[1]);
  char buf[4096];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) text->append(buf, n);
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
