#include "privatexserver.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// Reads the display number Xvfb writes to fd once it accepts connections.
std::string readDisplayNumber(int fd) {
  std::string number;
  char c;
  while (read(fd, &c, 1) == 1 && c != '\n') number += c;
  return number;
}

// Asks Xvfb to end; kills it when it has not ended after 5 s.
void stopXvfb(pid_t& pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  bool ended = false;
  for (int i = 0; i < 500 && !ended; i++) {
    ended = waitpid(pid, nullptr, WNOHANG) != 0;
    if (!ended) usleep(10000);
  }
  if (!ended) {
    ::kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  pid = -1;
}

// Returns Xvfb's process id and sets display to its name (":N"); when it fails,
// returns -1 with the reason in failure and leaves no server running.
pid_t startXvfb(const char* screen, std::string& display, std::string& failure) {
  int fds[2];
  if (pipe(fds) != 0) {
    failure = std::strerror(errno);
    return -1;
  }
  const pid_t parent = getpid();
  pid_t pid = fork();
  if (pid == 0) {
    // The server ends with the thread that started it, however that ends, killed
    // included; if it has already ended, nobody would stop the server.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
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

}  // namespace

PrivateXServer::PrivateXServer(const char* screen) {
  std::string display;
  pid = startXvfb(screen, display, why);
  if (pid <= 0) return;
  if (const char* current = getenv("DISPLAY")) {
    hadDisplay = true;
    previousDisplay = current;
  }
  setenv("DISPLAY", display.c_str(), 1);
  displaySet = true;
}

PrivateXServer::~PrivateXServer() {
  kill();
  if (!displaySet) return;
  if (hadDisplay)
    setenv("DISPLAY", previousDisplay.c_str(), 1);
  else
    unsetenv("DISPLAY");
}

void PrivateXServer::kill() {
  stopXvfb(pid);
}
