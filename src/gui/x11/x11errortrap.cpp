#include "x11errortrap.h"

#include <cstdio>

#include "x11window.h"

namespace {
// Nesting depth of live traps and the handlers found when the outermost began.
// User-interface thread only, like every other call into the platform layer.
int gTrapDepth = 0;
XErrorHandler gPreviousErrorHandler = nullptr;
XIOErrorHandler gPreviousIOErrorHandler = nullptr;
}  // namespace

X11ErrorTrap::X11ErrorTrap() {
  if (gTrapDepth++ == 0) {
    gPreviousErrorHandler = XSetErrorHandler(onError);
    gPreviousIOErrorHandler = XSetIOErrorHandler(onIOError);
  }
}

X11ErrorTrap::~X11ErrorTrap() {
  if (--gTrapDepth == 0) {
    XSetErrorHandler(gPreviousErrorHandler);
    XSetIOErrorHandler(gPreviousIOErrorHandler);
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
  return gPreviousErrorHandler ? gPreviousErrorHandler(display, error) : 0;
}

int X11ErrorTrap::onIOError(Display* display) {
  if (X11Window* window = X11Window::findByDisplay(display)) {
    window->markConnectionDead();
    return 0;
  }
  return gPreviousIOErrorHandler ? gPreviousIOErrorHandler(display) : 0;
}

void X11ErrorTrap::onIOErrorExit(Display* display, void*) {
  // A broken connection of ours: Xlib has already marked it unusable and makes no
  // further request on it; neither will the window once it is marked dead.
  if (X11Window* window = X11Window::findByDisplay(display)) window->markConnectionDead();
  std::fprintf(stderr, "tessarine: lost the connection to the X server\n");
}
