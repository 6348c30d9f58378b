#include "xdisplay.h"

#include <X11/Xlib.h>

#include <cstdlib>

#include "errors.h"
#include "xvfb.h"

namespace {

// A protocol error (the plug-in destroyed a window we still name, say) must not end
// the tool the way Xlib's default handler does; the plug-in traps its own errors and
// puts this handler back afterwards.
int ignoreError(Display*, XErrorEvent*) {
  return 0;
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
  std::string display;
  server_ = startXvfb("1024x768x24", display, failure);
  if (server_ <= 0) return false;
  setenv("DISPLAY", display.c_str(), 1);
  return true;
}

void XDisplay::stopPrivateServer() {
  stopXvfb(server_);
}
