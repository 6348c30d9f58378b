// The interface in a real LV2 host: jalv.gtk3 (on a private JACK server with the
// dummy driver) in this test's Xvfb shows the editor in its window; a real pointer
// drag (XTest) on the 2nd harmonic's knob turns it and raises the 2nd harmonic in
// jalv's output (a sine from jack_simple_client in, jack_rec recordings of out_1
// before and after the drag); the editor closes with the host without an X error.
// The test's own means: the search for the editor survives windows that vanish, and
// the servers it starts end with it however it ends.

#include <doctest/doctest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <utility>
#include <thread>
#include <vector>

// After doctest: Xlib defines macros with common names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <sndfile.h>

#include "childprocess.h"
#include "xerrortrap.h"

namespace {

using Clock = std::chrono::steady_clock;

// A program run in the background with its output collected through pipes. It ends
// with the test however the test ends (childprocess.h), and takes no descriptor of
// the test's but the pipes' ends it writes to.
struct Child {
  Child(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    int out[2], err[2];
    REQUIRE(pipe2(out, O_CLOEXEC) == 0);
    REQUIRE(pipe2(err, O_CLOEXEC) == 0);
    pid = forkChild();
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
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
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
    return finish(10);
  }
  // Waits up to SECONDS for the program's end (then kills it and what it started); its
  // exit status, -1 if it did not exit by itself.
  int finish(int seconds) {
    int status = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(seconds);
    while (waitpid(pid, &status, WNOHANG) == 0) {
      collect();
      if (Clock::now() > deadline) {
        kill(-pid, SIGKILL);
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    collect();
    forgetChild(pid);
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

// The editor's window: 419 x height (145, or 171 with the HQ strip), viewable, without
// a class (the host's own windows all carry jalv's), somewhere below the root.
Window findEditorBelow(Display* display, Window parent, int height) {
  Window root, up, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, parent, &root, &up, &children, &count)) return 0;
  Window found = 0;
  for (unsigned int i = 0; i < count && !found; i++) {
    XWindowAttributes attributes;
    XClassHint hint = {};
    if (XGetWindowAttributes(display, children[i], &attributes) && attributes.width == 419 &&
        attributes.height == height && attributes.map_state == IsViewable &&
        !XGetClassHint(display, children[i], &hint))
      found = children[i];
    if (hint.res_name) XFree(hint.res_name);
    if (hint.res_class) XFree(hint.res_class);
    if (!found) found = findEditorBelow(display, children[i], height);
  }
  if (children) XFree(children);
  return found;
}

// jalv's windows come and go while the test looks (the editor's goes as jalv closes):
// a window listed by one request can be gone at the next, and the BadWindow is only
// an answer. A search that met one is not trusted: 0, and the caller looks again.
Window findEditor(Display* display, Window parent, int height = 145) {
  XErrorTrap trap(display);
  const Window found = findEditorBelow(display, parent, height);
  return trap.errors() ? 0 : found;
}

// A private JACK server on the dummy driver, up once its socket is in /dev/shm.
struct JackServer {
  explicit JackServer(const std::string& server)
      : child({"jackd", "--no-realtime", "-n", server, "-d", "dummy", "-r", "48000", "-p", "256"},
              {"JACK_NO_AUDIO_RESERVATION=1"}) {
    REQUIRE(waitFor([&] {
      for (const auto& entry : std::filesystem::directory_iterator("/dev/shm"))
        if (entry.path().filename().string().rfind("jack_" + server, 0) == 0) return true;
      return false;
    }));
  }
  void stop(int signal) { child.stop(signal); }
  Child child;
};

// jalv.gtk3 with the plug-in of `uri` from the build's bundle on that server, printing
// its controls line-buffered, so each change reaches the pipe as jalv prints it.
Child startJalv(const std::string& server, const std::string& uri) {
  const std::string lv2Path = "LV2_PATH=" + std::string(TESSARINE_LV2_PARENT) + ":/usr/lib/lv2";
  return Child({"stdbuf", "-oL", "jalv.gtk3", "--print-controls", uri},
               {lv2Path, "JACK_DEFAULT_SERVER=" + server, "JACK_NO_START_SERVER=1", "NO_AT_BRIDGE=1"});
}

// jalv.gtk3 with the plug-in of `uri` on a private JACK server (named after `name`
// and this process), once its editor (419 x height) is on this test's screen.
struct JalvSession {
  JalvSession(const std::string& name, const std::string& uri, int height)
      : display(XOpenDisplay(nullptr)),
        server(name + std::to_string(getpid())),
        jack(server),
        jalv(startJalv(server, uri)) {
    REQUIRE(display);
    REQUIRE_MESSAGE(waitFor([&] {
      jalv.collect();
      return (editor = findEditor(display, DefaultRootWindow(display), height)) != 0;
    }), jalv.err);
  }
  ~JalvSession() {
    if (display) XCloseDisplay(display);
  }
  // Where (x, y) of the editor is on the screen.
  std::pair<int, int> onScreen(int x, int y) {
    std::pair<int, int> at;
    Window child;
    XErrorTrap trap(display);
    XTranslateCoordinates(display, editor, DefaultRootWindow(display), x, y, &at.first, &at.second,
                          &child);
    REQUIRE(trap.errors() == 0);
    return at;
  }

  Display* display;
  std::string server;
  JackServer jack;
  Child jalv;
  Window editor = 0;
};

// The last value jalv printed for a port ("symbol = value" lines); NaN when none.
double lastValue(const std::string& out, const std::string& symbol) {
  const std::string key = "\n" + symbol + " = ";
  const size_t at = ("\n" + out).rfind(key);
  return at == std::string::npos ? NAN : std::atof(out.c_str() + at + key.size() - 1);
}

// The pixels of a w x h area at (left, top) of the editor, from the screen; none when
// the editor's window is gone.
std::vector<unsigned long> areaPixels(Display* display, Window editor, int left, int top, int w,
                                      int h) {
  std::vector<unsigned long> pixels;
  XErrorTrap trap(display);
  XImage* image = XGetImage(display, editor, left, top, (unsigned)w, (unsigned)h, AllPlanes, ZPixmap);
  if (!image) return pixels;
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) pixels.push_back(XGetPixel(image, x, y));
  XDestroyImage(image);
  return pixels;
}

// Knob 2: 66 x 66 at (74, 36) of the editor.
std::vector<unsigned long> knobPixels(Display* display, Window editor) {
  return areaPixels(display, editor, 74, 36, 66, 66);
}

// The full name of the first JACK port that jack_lsp lists ending in SUFFIX (such as
// ":in_1"); empty when none. ENV names the private server.
std::string jackPort(const std::vector<std::string>& env, const std::string& suffix) {
  Child lsp({"jack_lsp"}, env);
  lsp.finish(20);
  size_t start = 0;
  for (size_t end; (end = lsp.out.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = lsp.out.substr(start, end - start);
    if (line.size() > suffix.size() &&
        line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0)
      return line;
  }
  return "";
}

// Records PORT for one second with jack_rec into PATH; the mono samples.
std::vector<float> record(const std::vector<std::string>& env, const std::string& port,
                          const std::string& path) {
  Child rec({"jack_rec", "-f", path, "-b", "32", "-d", "1", port}, env);
  INFO(rec.err);
  CHECK(rec.finish(30) == 0);
  SF_INFO info = {};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  REQUIRE(file);
  REQUIRE(info.channels == 1);
  std::vector<float> samples((size_t)info.frames);
  samples.resize((size_t)sf_readf_float(file, samples.data(), info.frames));
  sf_close(file);
  std::filesystem::remove(path);
  return samples;
}

// The median of VALUES; NaN when empty.
double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? NAN : values[values.size() / 2];
}

// The frequency of a tone in cycles per sample: one over the median spacing of its rising
// zero crossings (the median, as a period the JACK graph missed shortens one spacing).
double toneFrequency(const std::vector<float>& samples) {
  std::vector<double> periods;
  for (size_t i = 1, last = 0; i < samples.size(); i++)
    if (samples[i - 1] < 0 && samples[i] >= 0) {
      if (last) periods.push_back((double)(i - last));
      last = i;
    }
  return periods.empty() ? 0 : 1 / median(periods);
}

// The amplitude at FREQUENCY (cycles per sample) of COUNT samples from FROM: one
// Hann-windowed DFT bin (the window keeps the DC the even harmonics bring out of the bin).
double amplitudeAt(const float* from, size_t count, double frequency) {
  double re = 0, im = 0, gain = 0;
  for (size_t i = 0; i < count; i++) {
    const double window = 0.5 - 0.5 * std::cos(2 * M_PI * (double)i / (double)count);
    re += window * from[i] * std::cos(2 * M_PI * frequency * (double)i);
    im += window * from[i] * std::sin(2 * M_PI * frequency * (double)i);
    gain += window;
  }
  return 2 * std::hypot(re, im) / gain;
}

// The fundamental's amplitude (FREQUENCY, cycles per sample) and the 2nd harmonic's over
// it: medians over eight stretches of the recording, so that a few stretches with a
// discontinuity (a period a busy machine's JACK graph missed), whose click spreads over
// all frequencies, do not decide them.
struct Harmonics {
  double fundamental, second;
};
Harmonics harmonics(const std::vector<float>& samples, double frequency) {
  const size_t count = samples.size() / 8;
  std::vector<double> fundamentals, ratios;
  for (size_t at = 0; count && at + count <= samples.size(); at += count) {
    fundamentals.push_back(amplitudeAt(&samples[at], count, frequency));
    ratios.push_back(amplitudeAt(&samples[at], count, 2 * frequency) / fundamentals.back());
  }
  return {median(fundamentals), median(ratios)};
}

}  // namespace

TEST_CASE("the editor search survives windows destroyed while it looks") {
  Display* display = XOpenDisplay(nullptr);
  REQUIRE(display);
  // Another client's window, gone before the search reaches it.
  Display* other = XOpenDisplay(nullptr);
  REQUIRE(other);
  const Window gone = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 50, 50, 0, 0, 0);
  XDestroyWindow(other, gone);
  XSync(other, False);
  XCloseDisplay(other);
  CHECK(findEditor(display, gone) == 0);

  // A client that makes and destroys trees of windows all the while: the searches
  // meet windows listed by one request and gone by the next.
  const pid_t churn = forkChild();
  REQUIRE(churn >= 0);
  if (churn == 0) {
    Display* own = XOpenDisplay(nullptr);
    if (!own) _exit(1);
    for (;;) {
      const Window top = XCreateSimpleWindow(own, DefaultRootWindow(own), 0, 0, 50, 50, 0, 0, 0);
      for (int i = 0; i < 8; i++) XCreateSimpleWindow(own, top, i, i, 10, 10, 0, 0, 0);
      XMapSubwindows(own, top);
      XMapWindow(own, top);
      XSync(own, False);
      XDestroyWindow(own, top);
      XSync(own, False);
    }
  }
  for (int search = 0; search < 500; search++) findEditor(display, DefaultRootWindow(display));
  killChild(churn);
  CHECK(findEditor(display, DefaultRootWindow(display)) == 0);
  XCloseDisplay(display);
}

TEST_CASE("a server the test started ends when the test dies") {
  // A copy of the test starts a server as the test starts jackd, then dies: killed
  // (nothing of it runs), or of an X error (Xlib's default handler exits). Its parent
  // adopts the orphans (a subreaper) and tells whether the server ended.
  for (const bool xError : {false, true}) {
    CAPTURE(xError);
    // What doctest has written so far, else the copies' exit() writes it again.
    std::fflush(stdout);
    std::cout.flush();
    const pid_t watcher = fork();
    REQUIRE(watcher >= 0);
    if (watcher == 0) {
      prctl(PR_SET_CHILD_SUBREAPER, 1);
      int report[2];
      if (pipe(report) != 0) _exit(2);
      const pid_t test = fork();
      if (test == 0) {
        Child server({"sleep", "600"}, {});
        if (write(report[1], &server.pid, sizeof(server.pid)) != sizeof(server.pid)) _exit(2);
        if (xError) {
          dup2(open("/dev/null", O_WRONLY), STDERR_FILENO);  // Xlib's report of the error
          Display* display = XOpenDisplay(nullptr);
          Window root, parent, *children = nullptr;
          unsigned int count = 0;
          // An id of this client's that names no window.
          if (display) XQueryTree(display, XAllocID(display), &root, &parent, &children, &count);
        }
        raise(SIGKILL);
      }
      pid_t server = -1;
      if (test < 0 || read(report[0], &server, sizeof(server)) != sizeof(server)) _exit(2);
      waitpid(test, nullptr, 0);
      for (int i = 0; i < 1000; i++) {
        if (waitpid(server, nullptr, WNOHANG) == server) _exit(0);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      kill(server, SIGKILL);
      waitpid(server, nullptr, 0);
      _exit(1);
    }
    int status = 0;
    waitpid(watcher, &status, 0);
    CHECK(WIFEXITED(status));
    CHECK(WEXITSTATUS(status) == 0);  // 1: the server outlived the test
  }
}

TEST_CASE("jalv.gtk3 shows the editor, a knob follows a real drag, the editor closes with jalv") {
  JalvSession session("tessarine", "https://quorvalin.org/plugins/tessarine", 145);
  Display* display = session.display;
  const std::string& server = session.server;
  JackServer& jack = session.jack;
  Child& jalv = session.jalv;
  const Window editor = session.editor;
  REQUIRE(waitFor([&] {
    jalv.collect();
    return lastValue(jalv.out, "harmonic_2") == -60.0;
  }));

  // A 240 Hz sine of amplitude 0.2 (jack_simple_client) into jalv's in_1; out_1
  // recorded for a second with harmonic_2 at -60 dB.
  const std::vector<std::string> jackEnv = {"JACK_DEFAULT_SERVER=" + server,
                                            "JACK_NO_START_SERVER=1"};
  Child tone({"jack_simple_client"}, jackEnv);
  std::string source, input, output;
  REQUIRE(waitFor([&] {
    source = jackPort(jackEnv, ":output1");
    input = jackPort(jackEnv, ":in_1");
    output = jackPort(jackEnv, ":out_1");
    return !source.empty() && !input.empty() && !output.empty();
  }));
  Child connect({"jack_connect", source, input}, jackEnv);
  REQUIRE(connect.finish(20) == 0);
  const std::string wavBase = (std::filesystem::temp_directory_path() / server).string();
  const std::vector<float> quiet = record(jackEnv, output, wavBase + "-before.wav");

  const std::vector<unsigned long> before = knobPixels(display, editor);
  // Knob 2 is 66 x 66 at (74, 36) of the editor: dragged up from its centre.
  const auto [x, y] = session.onScreen(107, 69);
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
  // The knob follows the pointer in jalv's window.
  CHECK(waitFor([&] { return knobPixels(display, editor) != before; }));

  // jalv 1.6.6 prints no changes of input ports, so the port's new value shows in the
  // sound: the 2nd harmonic relative to the fundamental rises well above its level at
  // -60 dB (where T2 and T4 at weight 0.001 leave it near 0.0006). The frequency is
  // measured before the drag: after it, T2's DC (-weight) can keep the output below zero.
  const std::vector<float> loud = record(jackEnv, output, wavBase + "-after.wav");
  tone.stop(SIGTERM);
  const double frequency = toneFrequency(quiet);
  REQUIRE(frequency > 0);
  const Harmonics quietHarmonics = harmonics(quiet, frequency),
                  loudHarmonics = harmonics(loud, frequency);
  MESSAGE("fundamental " << frequency * 48000 << " Hz, amplitude " << quietHarmonics.fundamental
                         << " then " << loudHarmonics.fundamental
                         << "; 2nd harmonic / fundamental before " << quietHarmonics.second
                         << ", after " << loudHarmonics.second);
  // The tone passes (0.2 in, over the sum of the weights at the fundamental).
  CHECK(quietHarmonics.fundamental > 0.05);
  CHECK(loudHarmonics.fundamental > 0.05);
  CHECK(loudHarmonics.second > 10 * quietHarmonics.second);

  // jalv quits on SIGINT, closing the interface and its window.
  CHECK(jalv.stop(SIGINT) == 0);
  INFO(jalv.err);
  CHECK(jalv.err.find("X Error") == std::string::npos);
  CHECK(jalv.err.find("BadWindow") == std::string::npos);
  XSync(display, False);
  CHECK(findEditor(display, DefaultRootWindow(display)) == 0);
  jack.stop(SIGTERM);
}

TEST_CASE("jalv.gtk3 shows the HQ editor with its strip; a click steps the factor") {
  JalvSession session("tessarinehq", "https://quorvalin.org/plugins/tessarine-hq", 171);
  Display* display = session.display;
  Child& jalv = session.jalv;
  const Window editor = session.editor;
  REQUIRE_MESSAGE(waitFor([&] {
    jalv.collect();
    return lastValue(jalv.out, "oversampling") == 4.0;
  }), jalv.out);

  // The factor button (5..135 x 148..168 of the editor) and the latency beside it
  // change with a click: 4x to 8x. (jalv 1.6.6 prints no later port values.)
  const auto strip = [&] { return areaPixels(display, editor, 5, 148, 409, 20); };
  const std::vector<unsigned long> before = strip();
  REQUIRE(!before.empty());
  const auto [x, y] = session.onScreen(70, 158);
  XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
  XTestFakeButtonEvent(display, 1, True, CurrentTime);
  XTestFakeButtonEvent(display, 1, False, CurrentTime);
  XFlush(display);
  CHECK(waitFor([&] { return strip() != before; }));
  CHECK(jalv.stop(SIGINT) == 0);
  INFO(jalv.err);
  CHECK(jalv.err.find("X Error") == std::string::npos);
  session.jack.stop(SIGTERM);
}
