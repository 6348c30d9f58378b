#include "xdisplay.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "errors.h"

namespace {

// A protocol error (the plug-in destroyed a window we still name, say) must not end
// the tool the way Xlib's default handler does; the plug-in traps its own errors and
// puts this handler back afterwards.
int ignoreError(Display*, XErrorEvent*) {
  return 0;
}

// Reads the display number Xvfb writes to fd once it accepts connections.
std::string readDisplayNumber(int fd) {
  std::string number;
  char c;
  while (read(fd, &c, 1) == 1 && c != '\n') number += c;
  return number;
}

}  // namespace

XDisplay::XDisplay() {
  XSetErrorHandler(ignoreError);
  const char* named = std::getenv("DISPLAY");
  if (named && *named) display_ = XOpenDisplay(nullptr);
  if (display_) return;
  std::string failure;
  if (startPrivateServer(failure)) display_ = XOpenDisplay(nullptr);
  if (display_) return;
  stopPrivateServer();
  const std::string why = named && *named ? "cannot open X display '" + std::string(named) + "'"
                                          : std::string("DISPLAY is unset");
  if (failure.empty()) failure = "it accepts no connection";
  throw HostError("no X display: " + why + ", and a private Xvfb could not be started (" +
                  failure + "; is the xvfb package installed?)");
}

XDisplay::~XDisplay() {
  if (display_) XCloseDisplay(display_);
  stopPrivateServer();
}

bool XDisplay::startPrivateServer(std::string& failure) {
  int fds[2];
  if (pipe(fds) != 0) {
    failure = std::strerror(errno);
    return false;
  }
  server_ = fork();
  if (server_ == 0) {
    close(fds[0]);
    const int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 1);
    dup2(devnull, 2);
    const std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
           "tcp", "-noreset", (char*)nullptr);
    _exit(127);
  }
  close(fds[1]);
  if (server_ < 0) {
    failure = std::strerror(errno);
    close(fds[0]);
    return false;
  }
  // The pipe stays open until the newline came: Xvfb writes the number and the
  // newline separately and dies of SIGPIPE if the reader has gone in between.
  const std::string number = readDisplayNumber(fds[0]);
  close(fds[0]);
  if (number.empty()) {
    failure = "Xvfb did not start";
    return false;
  }
  setenv("DISPLAY", (":" + number).c_str(), 1);
  return true;
}

void XDisplay::stopPrivateServer() {
  if (server_ <= 0) return;
  kill(server_, SIGTERM);
  waitpid(server_, nullptr, 0);
  server_ = -1;
}
