// tessarine-xvfb-run as CTest runs each window test with it: the command in an X
// server of its own, on a display no launcher started at the same moment has, its
// exit status passed back, and the server ended however the launcher ends.

#include <doctest/doctest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "childprocess.h"

namespace {

const std::string kLauncher = TESSARINE_XVFB_RUN;
// The command's lines: its display, its process id and the server's (the launcher's
// other child).
const std::string kReport = "echo $DISPLAY; echo $$; pgrep -P $PPID -x Xvfb";

struct Run {
  int status;
  std::string out;
};
// Runs a shell command line; its exit status (-1 when it did not exit) and output.
Run shell(const std::string& line) {
  FILE* pipe = popen(line.c_str(), "r");
  REQUIRE(pipe);
  std::string out;
  char buffer[256];
  while (fgets(buffer, sizeof(buffer), pipe)) out += buffer;
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

// Whether a process has ended: gone, or a zombie nobody has reaped yet.
bool ended(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string id, name, state;
  return !(stat >> id >> name >> state) || state == "Z";
}

// The server's process id in a command's report.
pid_t serverOf(const std::string& report) {
  std::istringstream lines(report);
  std::string display;
  pid_t command = 0, server = 0;
  lines >> display >> command >> server;
  return server;
}

}  // namespace

TEST_CASE("the command gets a display of its own, its status comes back, the server ends") {
  // Four launchers at once, each command waiting until all four run (20 s at most).
  char name[] = "/tmp/tessarine-xvfbrun-XXXXXX";
  const std::string dir = mkdtemp(name);
  const std::string wait = "echo $DISPLAY; touch " + dir + "/$$; for i in $(seq 400); do [ $(ls " +
                           dir + " | wc -l) -ge 4 ] && break; sleep 0.05; done";
  const Run together =
      shell("for i in 1 2 3 4; do " + kLauncher + " sh -c '" + wait + "' & done; wait");
  std::filesystem::remove_all(dir);
  std::istringstream lines(together.out);
  std::set<std::string> displays;
  for (std::string display; lines >> display;) displays.insert(display);
  CHECK(displays.size() == 4);

  const Run exited = shell(kLauncher + " sh -c '" + kReport + "; exit 3'");
  CHECK(exited.status == 3);
  CHECK(serverOf(exited.out) > 0);
  CHECK(ended(serverOf(exited.out)));
  const Run killed = shell(kLauncher + " sh -c '" + kReport + "; kill -TERM $$' 2>/dev/null");
  CHECK(killed.status == 128 + SIGTERM);
  CHECK(ended(serverOf(killed.out)));
}

TEST_CASE("a launcher killed takes its server and its command with it") {
  // The launcher's orphans come to this process, which reaps them at the end.
  prctl(PR_SET_CHILD_SUBREAPER, 1);
  int out[2];
  REQUIRE(pipe(out) == 0);
  const pid_t launcher = forkChild();
  REQUIRE(launcher >= 0);
  if (launcher == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    const std::string command = kReport + "; exec sleep 600";
    execl(kLauncher.c_str(), kLauncher.c_str(), "sh", "-c", command.c_str(), (char*)nullptr);
    _exit(127);
  }
  close(out[1]);
  // The report's three lines, waited for 20 s at most.
  std::string report;
  pollfd readable = {out[0], POLLIN, 0};
  for (int newlines = 0, i = 0; newlines < 3 && i < 200; i++) {
    char c;
    if (poll(&readable, 1, 100) == 1 && read(out[0], &c, 1) == 1) {
      report += c;
      newlines += c == '\n';
    }
  }
  close(out[0]);
  INFO(report);
  std::istringstream fields(report);
  std::string display;
  pid_t command = 0, server = 0;
  fields >> display >> command >> server;
  REQUIRE(command > 0);
  REQUIRE(server > 0);

  // SIGKILL to the launcher alone (not its process group): nothing of it runs after.
  kill(launcher, SIGKILL);
  waitpid(launcher, nullptr, 0);
  forgetChild(launcher);
  for (int i = 0; i < 1000 && !(ended(command) && ended(server)); i++)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  CHECK(ended(server));
  CHECK(ended(command));
  for (const pid_t orphan : {server, command}) {
    kill(orphan, SIGKILL);
    waitpid(orphan, nullptr, 0);
  }
}
