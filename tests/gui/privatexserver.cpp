#include "privatexserver.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

PrivateXServer::PrivateXServer() {
  int fds[2];
  if (pipe(fds) != 0) return;
  pid = fork();
  if (pid == 0) {
    close(fds[0]);
    const int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 1);
    dup2(devnull, 2);
    const std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "640x480x24", "-nolisten",
           "tcp", "-noreset", (char*)nullptr);
    _exit(127);
  }
  close(fds[1]);
  // Xvfb writes the display number it chose, then a newline (in two writes: the
  // pipe must stay open until the newline came, or the server dies of SIGPIPE).
  std::string number;
  char c;
  while (pid > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  if (number.empty()) {
    kill();
    return;
  }
  if (const char* current = getenv("DISPLAY")) {
    hadDisplay = true;
    previousDisplay = current;
  }
  setenv("DISPLAY", (":" + number).c_str(), 1);
}

PrivateXServer::~PrivateXServer() {
  kill();
  if (hadDisplay)
    setenv("DISPLAY", previousDisplay.c_str(), 1);
  else
    unsetenv("DISPLAY");
}

void PrivateXServer::kill() {
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  pid = -1;
}
