#include "childprocess.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

namespace {

// The living children, each with the process that started it: a forked copy of the
// test inherits the table, and must leave its parent's children alone. Slots are
// taken and freed without a lock, since a signal handler reads them.
struct Slot {
  std::atomic<pid_t> child{0};
  std::atomic<pid_t> owner{0};
};
constexpr int kSlots = 64;
Slot gSlots[kSlots];

// Async-signal-safe: kill() and atomics only.
void killChildren() {
  const pid_t self = getpid();
  for (Slot& slot : gSlots) {
    const pid_t child = slot.child.load();
    if (child <= 0 || slot.owner.load() != self) continue;
    kill(-child, SIGKILL);
    kill(child, SIGKILL);  // before its setpgid it is still in ours
  }
}

constexpr int kFatalSignals[] = {SIGINT,  SIGTERM, SIGHUP, SIGQUIT, SIGABRT,
                                 SIGSEGV, SIGBUS,  SIGFPE, SIGILL};
struct sigaction gPrevious[NSIG];

// Kills the children, then lets the signal do what it did before (doctest's report
// comes first: it saves this handler when a test case starts and puts it back before
// raising the signal again).
void onFatalSignal(int signal) {
  killChildren();
  sigaction(signal, &gPrevious[signal], nullptr);
  raise(signal);
}

// Installed before main, so that doctest finds these handlers in place.
struct Installer {
  Installer() {
    std::atexit(killChildren);
    struct sigaction action = {};
    action.sa_handler = onFatalSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_ONSTACK;
    for (int signal : kFatalSignals) sigaction(signal, &action, &gPrevious[signal]);
  }
} gInstaller;

}  // namespace

pid_t forkChild() {
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The parent may have died before the request: nobody would kill us then.
    if (getppid() != parent) _exit(127);
    return 0;
  }
  if (pid < 0) return pid;
  setpgid(pid, pid);  // both sides, so the group exists whichever runs first
  for (Slot& slot : gSlots) {
    pid_t free = 0;
    if (slot.child.compare_exchange_strong(free, -1)) {
      slot.owner.store(parent);
      slot.child.store(pid);
      break;
    }
  }
  return pid;
}

void forgetChild(pid_t pid) {
  if (pid <= 0) return;
  for (Slot& slot : gSlots) {
    pid_t known = pid;
    if (slot.owner.load() == getpid() && slot.child.compare_exchange_strong(known, 0)) return;
  }
}

void killChild(pid_t pid) {
  if (pid <= 0) return;
  kill(-pid, SIGKILL);
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  forgetChild(pid);
}
