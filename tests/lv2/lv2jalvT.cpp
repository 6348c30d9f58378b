// The interface in a real LV2 host: jalv.gtk3 (on a private JACK server with the
// dummy driver) in this test's Xvfb shows the editor in its window; a real pointer
// drag (XTest) on the 2nd harmonic's knob turns it; the editor closes with the
// host without an X error.

#include <doctest/doctest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// After doctest: Xlib defines macros with common names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace {

using Clock = std::chrono::steady_clock;

// A program run in the background with its output collected through pipes.
struct Child {
  Child(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    int out[2], err[2];
    REQUIRE(pipe(out) == 0);
    REQUIRE(pipe(err) == 0);
    pid = fork();
    REQUIRE(pid >= 0);
    if (pid == 0) {
      dup2(out[1], STDOUT_FILENO);
      dup2(err[1], STDERR_FILENO);
      for (const std::string& setting : env) putenv(const_cast<char*>(setting.c_str()));
      std::vector<char*> argv;
      for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
      argv.push_back(nullptr);
      execvp(argv[0], argv.data());
      _exit(127);
    }
    close(out[1]);
    close(err[1]);
    outFd = out[0];
    errFd = err[0];
    fcntl(outFd, F_SETFL, O_NONBLOCK);
    fcntl(errFd, F_SETFL, O_NONBLOCK);
  }
  ~Child() {
    if (pid > 0) stop(SIGKILL);
    close(outFd);
    close(errFd);
  }

  void collect() {
    char chunk[4096];
    ssize_t got;
    while ((got = read(outFd, chunk, sizeof(chunk))) > 0) out.append(chunk, (size_t)got);
    while ((got = read(errFd, chunk, sizeof(chunk))) > 0) err.append(chunk, (size_t)got);
  }
  // Signals the program and waits for its end; its exit status, -1 if it did not exit.
  int stop(int signal) {
    kill(pid, signal);
    int status = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (waitpid(pid, &status, WNOHANG) == 0) {
      collect();
      if (Clock::now() > deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    collect();
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  pid_t pid = -1;
  int outFd = -1, errFd = -1;
  std::string out, err;
};

bool waitFor(const std::function<bool()>& done, int seconds = 20) {
  const auto deadline = Clock::now() + std::chrono::seconds(seconds);
  while (!done()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// The editor's window: 419 x 145, viewable, without a class (the host's own windows
// all carry jalv's), somewhere below the root.
Window findEditor(Display* display, Window parent) {
  Window root, up, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, parent, &root, &up, &children, &count)) return 0;
  Window found = 0;
  for (unsigned int i = 0; i < count && !found; i++) {
    XWindowAttributes attributes;
    XClassHint hint = {};
    if (XGetWindowAttributes(display, children[i], &attributes) && attributes.width == 419 &&
        attributes.height == 145 && attributes.map_state == IsViewable &&
        !XGetClassHint(display, children[i], &hint))
      found = children[i];
    if (hint.res_name) XFree(hint.res_name);
    if (hint.res_class) XFree(hint.res_class);
    if (!found) found = findEditor(display, children[i]);
  }
  if (children) XFree(children);
  return found;
}

// The last value jalv printed for a port ("symbol = value" lines); NaN when none.
double lastValue(const std::string& out, const std::string& symbol) {
  const std::string key = "\n" + symbol + " = ";
  const size_t at = ("\n" + out).rfind(key);
  return at == std::string::npos ? NAN : std::atof(out.c_str() + at + key.size() - 1);
}

// The pixels of knob 2 (66 x 66 at (74, 36) of the editor), from the screen.
std::vector<unsigned long> knobPixels(Display* display, Window editor) {
  std::vector<unsigned long> pixels;
  XImage* image = XGetImage(display, editor, 74, 36, 66, 66, AllPlanes, ZPixmap);
  if (!image) return pixels;
  for (int y = 0; y < 66; y++)
    for (int x = 0; x < 66; x++) pixels.push_back(XGetPixel(image, x, y));
  XDestroyImage(image);
  return pixels;
}

}  // namespace

TEST_CASE("jalv.gtk3 shows the editor, a knob follows a real drag, the editor closes with jalv") {
  Display* display = XOpenDisplay(nullptr);
  REQUIRE(display);
  const std::string server = "tessarine" + std::to_string(getpid());
  Child jack({"jackd", "--no-realtime", "-n", server, "-d", "dummy", "-r", "48000", "-p", "256"},
             {"JACK_NO_AUDIO_RESERVATION=1"});
  // The server is up once its socket is in /dev/shm.
  REQUIRE(waitFor([&] {
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm"))
      if (entry.path().filename().string().rfind("jack_" + server, 0) == 0) return true;
    return false;
  }));

  const std::string lv2Path = "LV2_PATH=" + std::string(TESSARINE_LV2_PARENT) + ":/usr/lib/lv2";
  // Line-buffered, so each control change reaches the pipe as jalv prints it.
  Child jalv({"stdbuf", "-oL", "jalv.gtk3", "--print-controls", "https://quorvalin.org/plugins/tessarine"},
             {lv2Path, "JACK_DEFAULT_SERVER=" + server, "NO_AT_BRIDGE=1"});
  Window editor = 0;
  REQUIRE_MESSAGE(waitFor([&] {
    jalv.collect();
    return (editor = findEditor(display, DefaultRootWindow(display))) != 0;
  }), jalv.err);
  REQUIRE(waitFor([&] {
    jalv.collect();
    return lastValue(jalv.out, "harmonic_2") == -60.0;
  }));

  const std::vector<unsigned long> before = knobPixels(display, editor);
  // Knob 2 is 66 x 66 at (74, 36) of the editor: dragged up from its centre.
  int x = 0, y = 0;
  Window child;
  XTranslateCoordinates(display, editor, DefaultRootWindow(display), 107, 69, &x, &y, &child);
  XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
  XTestFakeButtonEvent(display, 1, True, CurrentTime);
  XFlush(display);
  for (int step = 1; step <= 20; step++) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    XTestFakeMotionEvent(display, -1, x, y - 3 * step, CurrentTime);
    XFlush(display);
  }
  XTestFakeButtonEvent(display, 1, False, CurrentTime);
  XFlush(display);
  // The knob follows the pointer in jalv's window. (jalv 1.6.6 prints only the
  // initial control values and changes of output ports, so a port written by the
  // interface does not show on its output; the stand-in's port writes and touch
  // gestures are checked in lv2uieffectT.)
  CHECK(waitFor([&] { return knobPixels(display, editor) != before; }));

  // jalv quits on SIGINT, closing the interface and its window.
  CHECK(jalv.stop(SIGINT) == 0);
  INFO(jalv.err);
  CHECK(jalv.err.find("X Error") == std::string::npos);
  CHECK(jalv.err.find("BadWindow") == std::string::npos);
  XSync(display, False);
  CHECK(findEditor(display, DefaultRootWindow(display)) == 0);
  jack.stop(SIGTERM);
  XCloseDisplay(display);
}
