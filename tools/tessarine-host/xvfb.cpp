#include "xvfb.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Reads the display number Xvfb writes to fd once it accepts connections.
std::string readDisplayNumber(int fd) {
  std::string number;
  char c;
  while (read(fd, &c, 1) == 1 && c != '\n') number += c;
  return number;
}

}  // namespace

pid_t startXvfb(const char* screen, std::string& display, std::string& failure) {
  int fds[2];
  if (pipe(fds) != 0) {
    failure = std::strerror(errno);
    return -1;
  }
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    const int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 1);
    dup2(devnull, 2);
    const std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen, "-nolisten", "tcp",
           "-noreset", (char*)nullptr);
    _exit(127);
  }
  const int forkError = errno;
  close(fds[1]);
  if (pid < 0) {
    failure = std::strerror(forkError);
    close(fds[0]);
    return -1;
  }
  // The pipe stays open until the newline came: Xvfb writes the number and the
  // newline separately and dies of SIGPIPE if the reader has gone in between.
  const std::string number = readDisplayNumber(fds[0]);
  close(fds[0]);
  if (number.empty()) {
    failure = "Xvfb did not start";
    stopXvfb(pid);
    return -1;
  }
  display = ":" + number;
  return pid;
}

void stopXvfb(pid_t& pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  pid = -1;
}
