#pragma once
// Processes a test starts (servers such as jackd and Xvfb, hosts, helpers) end with
// the test, however it ends: a failed REQUIRE, Xlib's default error handler calling
// exit(), an abort, a signal, or SIGKILL. A child left behind keeps running after the
// test and holds the pipes of whoever waits for the test's output.
//
// forkChild() is fork() for such children. The child gets a process group of its own
// and SIGKILL from the kernel when the forking thread ends (PR_SET_PDEATHSIG), so fork
// on the test's main thread or another that lives as long as the child. The parent
// remembers it until it is reaped, and kills its group at exit() and on a fatal
// signal (SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL),
// which also reaches what the child started in turn.

#include <sys/types.h>

// As fork(): the child's id in the parent, 0 in the child, -1 when it failed.
pid_t forkChild();
// The child was reaped (waitpid): its id may be reused and must not be killed later.
void forgetChild(pid_t pid);
// Kills the child's process group with SIGKILL, reaps the child and forgets it.
void killChild(pid_t pid);
