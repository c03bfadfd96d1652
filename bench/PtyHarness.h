#pragma once
// What the pseudo-terminal benches share: descriptors, a pseudo-terminal pair in raw
// mode, and the capture program as a child process whose CPU time wait4 reports.
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace ptybench {

using SteadyClock = std::chrono::steady_clock;
using std::chrono::milliseconds;

class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { reset(); }
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  int get() const { return fd_; }

 private:
  int fd_ = -1;
};

// One pseudo-terminal: we write the line's bytes into the master; the capture reads
// the slave. We keep a slave descriptor open too (never read), so the slave keeps its
// raw settings between the two captures and its input queue can be watched.
struct Pty {
  Fd master, slave;
  std::string slavePath;

  bool open(std::string* why) {
    master.reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    char name[128] = {};
    if (master.get() < 0 || ::grantpt(master.get()) != 0 || ::unlockpt(master.get()) != 0 ||
        ::ptsname_r(master.get(), name, sizeof name) != 0) {
      *why = std::string("posix_openpt: ") + std::strerror(errno);
      return false;
    }
    slavePath = name;
    termios t{};
    if (::tcgetattr(master.get(), &t) != 0) return fail(why, "tcgetattr");
    ::cfmakeraw(&t);
    if (::tcsetattr(master.get(), TCSANOW, &t) != 0) return fail(why, "tcsetattr");
    slave.reset(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
    if (slave.get() < 0) return fail(why, "open slave");
    ::fcntl(master.get(), F_SETFL, ::fcntl(master.get(), F_GETFL) | O_NONBLOCK);
    return true;
  }
  // Bytes written but not yet read by the capture.
  int pending() const {
    int n = 0;
    return ::ioctl(slave.get(), FIONREAD, &n) == 0 ? n : 0;
  }

 private:
  bool fail(std::string* why, const char* what) {
    *why = std::string(what) + " " + slavePath + ": " + std::strerror(errno);
    return false;
  }
};

// A capture program as a child in its own process group (so a Ctrl-C on the bench
// reaches us, and we stop it in order), killed with us if we die.
class Child {
 public:
  Child() = default;
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() {
    if (running()) {
      ::kill(pid_, SIGKILL);
      reap(milliseconds(2000));
    }
  }

  bool start(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv, const std::string& out,
             const std::string& err, std::string* why) {
    std::vector<std::string> env = extraEnv;
    for (char** e = environ; *e; ++e) {
      bool replaced = false;
      for (const std::string& x : extraEnv) replaced |= std::strncmp(*e, x.c_str(), x.find('=') + 1) == 0;
      if (!replaced) env.emplace_back(*e);
    }
    std::vector<char*> argv, envp;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int nullFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (outFd < 0 || errFd < 0 || nullFd < 0) {
      *why = "cannot create the output files";
      return false;
    }
    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ == 0) {
      ::setpgid(0, 0);
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (::getppid() != parent) ::_exit(127);
      ::dup2(nullFd, 0);
      ::dup2(outFd, 1);
      ::dup2(errFd, 2);
      ::signal(SIGPIPE, SIG_DFL);  // ignored here, and an ignored signal stays ignored across exec
      ::execve(argv[0], argv.data(), envp.data());
      ::_exit(127);
    }
    ::close(outFd);
    ::close(errFd);
    ::close(nullFd);
    if (pid_ < 0) {
      *why = std::string("fork: ") + std::strerror(errno);
      return false;
    }
    return true;
  }

  bool running() { return pid_ > 0 && !reaped_ && !reap(milliseconds(0)); }
  // Waits up to limit for the child to end; true once it has been collected.
  bool reap(milliseconds limit) {
    if (reaped_) return true;
    if (pid_ <= 0) return false;
    const auto until = SteadyClock::now() + limit;
    for (;;) {
      const pid_t r = ::wait4(pid_, &status_, WNOHANG, &usage_);
      if (r == pid_ || (r < 0 && errno == ECHILD)) {
        reaped_ = true;
        return true;
      }
      if (SteadyClock::now() >= until) return false;
      std::this_thread::sleep_for(milliseconds(5));
    }
  }
  // SIGINT, as a user stops it; SIGTERM and finally SIGKILL if it does not end.
  void stop() {
    if (pid_ <= 0 || reaped_) return;
    for (auto [sig, wait] : {std::pair{SIGINT, 10000}, std::pair{SIGTERM, 3000}, std::pair{SIGKILL, 3000}}) {
      ::kill(pid_, sig);
      if (reap(milliseconds(wait))) return;
    }
  }

  pid_t pid() const { return pid_; }
  double cpuSeconds() const { return userSeconds() + systemSeconds(); }
  double userSeconds() const { return double(usage_.ru_utime.tv_sec) + double(usage_.ru_utime.tv_usec) / 1e6; }
  double systemSeconds() const { return double(usage_.ru_stime.tv_sec) + double(usage_.ru_stime.tv_usec) / 1e6; }
  std::string exitText() const {
    if (!reaped_) return "not collected";
    if (WIFEXITED(status_)) return "exit " + std::to_string(WEXITSTATUS(status_));
    if (WIFSIGNALED(status_)) return std::string("signal ") + ::strsignal(WTERMSIG(status_));
    return "?";
  }

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
  int status_ = 0;
  rusage usage_{};
};

inline int64_t fileSize(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? int64_t(st.st_size) : -1;
}

inline std::string readText(const std::string& path, size_t limit = 4000) {
  std::ifstream in(path);
  std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (s.size() > limit) s = "..." + s.substr(s.size() - limit);
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return s;
}

// Whether the process has every one of the paths open (seen in /proc/PID/fd).
inline bool hasOpen(pid_t pid, const std::vector<std::string>& paths) {
  std::error_code ec;
  std::vector<bool> seen(paths.size(), false);
  for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
    const std::string target = std::filesystem::read_symlink(entry.path(), ec).string();
    for (size_t i = 0; i < paths.size(); ++i) seen[i] = seen[i] || target == paths[i];
  }
  for (bool s : seen)
    if (!s) return false;
  return !paths.empty();
}

}  // namespace ptybench
