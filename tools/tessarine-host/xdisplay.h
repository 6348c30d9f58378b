#pragma once
// The X display the screenshot command works on: the one $DISPLAY names when it
// can be opened, else a private Xvfb started for the run and stopped with this
// object. $DISPLAY names the server in use, so the plug-in's editor, which opens a
// connection of its own from $DISPLAY, draws on the same one.

#include <memory>

#include "privatexserver.h"

struct _XDisplay;

class XDisplay {
 public:
  // Throws HostError when neither works.
  XDisplay();
  ~XDisplay();
  XDisplay(const XDisplay&) = delete;
  XDisplay& operator=(const XDisplay&) = delete;

  _XDisplay* get() const { return display_; }

 private:
  _XDisplay* display_ = nullptr;
  std::unique_ptr<PrivateXServer> server_;  // closed after the display
};
