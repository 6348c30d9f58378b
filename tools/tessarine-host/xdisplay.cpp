#include "xdisplay.h"

#include <X11/Xlib.h>

#include <cstdlib>
#include <string>

#include "errors.h"

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
  const char* display = std::getenv("DISPLAY");
  const std::string named = display ? display : "";
  if (!named.empty()) display_ = XOpenDisplay(nullptr);
  if (display_) return;
  server_ = std::make_unique<PrivateXServer>("1024x768x24");
  std::string failure = server_->failure();
  if (server_->running()) display_ = XOpenDisplay(nullptr);
  if (display_) return;
  server_.reset();
  const std::string why =
      named.empty() ? "DISPLAY is unset" : "cannot open X display '" + named + "'";
  if (failure.empty()) failure = "it accepts no connection";
  throw HostError("no X display: " + why + ", and a private Xvfb could not be started (" + failure +
                  "; is the xvfb package installed?)");
}

XDisplay::~XDisplay() {
  if (display_) XCloseDisplay(display_);
}
