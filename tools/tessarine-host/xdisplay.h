#pragma once
// The X display the screenshot command works on: the one $DISPLAY names when it
// can be opened, else a private Xvfb started for the run and stopped with this
// object. $DISPLAY names the server in use, so the plug-in's editor, which opens a
// connection of its own from $DISPLAY, draws on the same one.

#include <sys/types.h>

#include <string>

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
  // Starts Xvfb and points $DISPLAY at it; false (with the reason) when it fails.
  bool startPrivateServer(std::string& failure);
  void stopPrivateServer();

  _XDisplay* display_ = nullptr;
  pid_t server_ = -1;
};
