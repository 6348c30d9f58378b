#pragma once
// A private X server for code that needs a display of its own: the test of a
// vanishing server, and the drawing benchmark when $DISPLAY is unset. The server is
// started the way tessarine-host's screenshot command starts its own (xvfb.h).

#include <sys/types.h>

#include <string>

// Starts a private X server (Xvfb) and points $DISPLAY at it for the object's life.
class PrivateXServer {
 public:
  PrivateXServer();
  ~PrivateXServer();
  bool running() const { return pid > 0; }
  void kill();

 private:
  pid_t pid = -1;
  std::string previousDisplay;
  bool hadDisplay = false;
};
