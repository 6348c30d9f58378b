#pragma once
// A scope in which X protocol errors on one connection are counted instead of ending
// the process. The tests read windows of other clients (jalv's, an editor's own
// connection's), and such a window can be destroyed between the request that named
// it and the next: the BadWindow that follows is an answer, while Xlib's default
// handler prints it and exits, leaving the test without its summary and its
// children behind.
//
// The handler that counts is installed for the whole process before main, so it is
// in place under the editor's own traps (which hand errors on connections that are
// not theirs to the handler they found); errors outside a trap still go to Xlib's
// default handler. Traps on different connections may live on different threads.

#include <X11/Xlib.h>

class XErrorTrap {
 public:
  explicit XErrorTrap(Display* display);
  // Waits for the answers to every request made in the scope, then ends it.
  ~XErrorTrap();
  XErrorTrap(const XErrorTrap&) = delete;
  XErrorTrap& operator=(const XErrorTrap&) = delete;

  // The errors so far, after a round trip that brings in the answers to the
  // requests made until now.
  int errors();

 private:
  Display* display;
  int count = 0;  // changed by the handler, under the traps' lock
};
