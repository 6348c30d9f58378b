#pragma once
// An instance whose editor a host opens in an XTestHost window.

#include "hostsession.h"
#include "xtesthost.h"

struct EditorHost : HostSession {
  VstIntPtr open(Window parent) { return openEditor(parent); }
  // Idles, as a host's timer does, until the editor in window has painted its bottom strip.
  bool idleUntilDrawn(XTestHost& window) {
    return idleUntil([&] {
      const std::vector<Window> children = window.children();
      return children.size() == 1 && window.pixel(children[0], 1, 140) == 0xefe8e5;
    });
  }
  bool openAndDraw(XTestHost& window) { return open(window.window) == 1 && idleUntilDrawn(window); }
};
