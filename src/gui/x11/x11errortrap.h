#pragma once
// X11ErrorTrap: a scope in which X errors on our own connections cannot end the
// host process. Xlib reports errors through two process-wide handlers whose defaults
// exit; the host may have installed its own. While a trap is alive, handlers of ours
// are installed: a protocol error on one of our connections (for instance BadWindow
// because the host destroyed its window before closing the editor) is counted on its
// X11Window and otherwise ignored; an I/O error (the X server went away) marks the
// connection dead. Errors on connections that are not ours go to the handlers that
// were in place before. The previous handlers are restored when the outermost trap
// ends, so the host's handlers are in place whenever control is back in the host.
//
// Every Xlib call on a frame's connection happens inside a trap; the traps never
// span a call out of the platform layer (into views or the host).

#include <X11/Xlib.h>

#include <mutex>

class X11ErrorTrap {
 public:
  X11ErrorTrap();
  ~X11ErrorTrap();
  X11ErrorTrap(const X11ErrorTrap&) = delete;
  X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

  // Registers a connection opened by us: from now on, whenever Xlib finds it broken
  // it marks it dead and returns instead of exiting the process.
  static void adopt(Display* display);

  // Xlib keeps process-wide state (the handlers, the list of connections that
  // extensions such as Xcursor hook into) that it guards only when the host called
  // XInitThreads, which is not ours to call. Editors of several instances may be
  // opened and closed on different threads at once, so opening and closing a
  // connection and loading cursors happen under this lock.
  static std::unique_lock<std::recursive_mutex> lockProcessState();

 private:
  static int onError(Display* display, XErrorEvent* error);
  static int onIOError(Display* display);
  static void onIOErrorExit(Display* display, void* userData);
};
