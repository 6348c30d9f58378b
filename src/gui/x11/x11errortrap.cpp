#include "x11errortrap.h"

#include <atomic>
#include <cstdio>

#include "x11window.h"

namespace {
// Nesting depth of live traps, over every thread, and the handlers found when the
// outermost began. Changed under the process-state lock; the handlers are also read
// by our own handlers, which may run on any thread with a connection of ours.
int gTrapDepth = 0;
std::atomic<XErrorHandler> gPreviousErrorHandler{nullptr};
std::atomic<XIOErrorHandler> gPreviousIOErrorHandler{nullptr};

std::recursive_mutex& processStateMutex() {
  static std::recursive_mutex mutex;
  return mutex;
}
}  // namespace

std::unique_lock<std::recursive_mutex> X11ErrorTrap::lockProcessState() {
  return std::unique_lock<std::recursive_mutex>(processStateMutex());
}

X11ErrorTrap::X11ErrorTrap() {
  std::unique_lock<std::recursive_mutex> lock = lockProcessState();
  if (gTrapDepth++ == 0) {
    gPreviousErrorHandler.store(XSetErrorHandler(onError));
    gPreviousIOErrorHandler.store(XSetIOErrorHandler(onIOError));
  }
}

X11ErrorTrap::~X11ErrorTrap() {
  std::unique_lock<std::recursive_mutex> lock = lockProcessState();
  if (--gTrapDepth == 0) {
    XSetErrorHandler(gPreviousErrorHandler.load());
    XSetIOErrorHandler(gPreviousIOErrorHandler.load());
  }
}

void X11ErrorTrap::adopt(Display* display) {
  // Without this, Xlib exits the process once the I/O error handler returns.
  XSetIOErrorExitHandler(display, onIOErrorExit, nullptr);
}

int X11ErrorTrap::onError(Display* display, XErrorEvent* error) {
  if (X11Window* window = X11Window::findByDisplay(display)) {
    window->countError();
    return 0;
  }
  // Not one of our connections: the host's business.
  XErrorHandler previous = gPreviousErrorHandler.load();
  return previous ? previous(display, error) : 0;
}

int X11ErrorTrap::onIOError(Display* display) {
  if (X11Window* window = X11Window::findByDisplay(display)) {
    window->markConnectionDead();
    return 0;
  }
  XIOErrorHandler previous = gPreviousIOErrorHandler.load();
  return previous ? previous(display) : 0;
}

void X11ErrorTrap::onIOErrorExit(Display* display, void*) {
  // A broken connection of ours: Xlib has already marked it unusable and makes no
  // further request on it; neither will the window once it is marked dead.
  if (X11Window* window = X11Window::findByDisplay(display)) window->markConnectionDead();
  std::fprintf(stderr, "tessarine: lost the connection to the X server\n");
}
