// tessarine-xvfb-run: runs a command in a private X server of its own, as CTest runs
// each window test.
//
//   tessarine-xvfb-run [-s WIDTHxHEIGHTxDEPTH] [--] COMMAND [ARG...]
//
// The server is Xvfb with one screen (default 1280x1024x24) and -noreset; it picks
// its display number itself (privatexserver.h), so launchers started at the same
// moment (ctest -j) never share a display, as the guesses of xvfb-run -a from the
// lock files can. DISPLAY names it for the command. SIGINT, SIGTERM, SIGHUP and
// SIGQUIT are passed on to the command. The launcher exits with the command's exit
// status, or 128 + the signal that killed it, and ends the server first, always; if
// the launcher itself is killed, the kernel kills the server and the command.

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "privatexserver.h"

namespace {

constexpr int kPassedOn[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
volatile sig_atomic_t gCommand = 0;

void passOn(int signal) {
  if (gCommand > 0) kill(gCommand, signal);
}

int usage() {
  std::fprintf(stderr, "usage: tessarine-xvfb-run [-s WIDTHxHEIGHTxDEPTH] [--] COMMAND [ARG...]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const char* screen = "1280x1024x24";
  int first = 1;
  if (first + 1 < argc && !std::strcmp(argv[first], "-s")) {
    screen = argv[first + 1];
    first += 2;
  }
  if (first < argc && !std::strcmp(argv[first], "--")) first++;
  if (first >= argc || argv[first][0] == '-') return usage();

  PrivateXServer server(screen);
  if (!server.running()) {
    std::fprintf(stderr, "tessarine-xvfb-run: no X server: %s\n", server.failure().c_str());
    return 1;
  }

  // The signals wait until the handler knows the command; the command starts with
  // the mask the launcher had.
  sigset_t passed, previous;
  sigemptyset(&passed);
  for (int signal : kPassedOn) sigaddset(&passed, signal);
  sigprocmask(SIG_BLOCK, &passed, &previous);
  const pid_t launcher = getpid();
  const pid_t command = fork();
  if (command == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != launcher) _exit(127);
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    execvp(argv[first], argv + first);
    std::fprintf(stderr, "tessarine-xvfb-run: cannot run %s: %s\n", argv[first],
                 std::strerror(errno));
    _exit(127);
  }
  if (command < 0) {
    std::fprintf(stderr, "tessarine-xvfb-run: cannot fork: %s\n", std::strerror(errno));
    return 1;
  }
  gCommand = command;
  struct sigaction action = {};
  action.sa_handler = passOn;
  sigemptyset(&action.sa_mask);
  for (int signal : kPassedOn) sigaction(signal, &action, nullptr);
  sigprocmask(SIG_SETMASK, &previous, nullptr);

  int status = 0;
  while (waitpid(command, &status, 0) < 0 && errno == EINTR) {
  }
  server.kill();
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) {
    std::fprintf(stderr, "tessarine-xvfb-run: %s was killed by signal %d (%s)\n", argv[first],
                 WTERMSIG(status), strsignal(WTERMSIG(status)));
    return 128 + WTERMSIG(status);
  }
  return 1;
}
