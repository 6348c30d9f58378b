#pragma once
// An instance whose editor a host opens in an XTestHost window, and the server's client count.

#include <vector>

#include "hostsession.h"
#include "platformclock.h"
#include "xtesthost.h"

struct EditorHost : HostSession {
  VstIntPtr open(Window parent) { return dispatch(effEditOpen, 0, 0, (void*)parent); }
  void idle() { dispatch(effEditIdle); }
  // Idles, as a host's timer does, until the editor in window has painted its bottom strip.
  bool idleUntilDrawn(XTestHost& window) {
    for (int i = 0; i < 1500; i++) {
      idle();
      const std::vector<Window> children = window.children();
      if (children.size() == 1 && window.pixel(children[0], 1, 140) == 0xefe8e5) return true;
      platformSleep(2);
    }
    return false;
  }
  bool openAndDraw(XTestHost& window) { return open(window.window) == 1 && idleUntilDrawn(window); }
};

// The X server forgets a client once it notices the closed connection.
inline bool clientsReturnTo(XTestHost& host, int count) {
  for (int i = 0; i < 1000 && host.clientCount() != count; i++) platformSleep(2);
  return host.clientCount() == count;
}
