#pragma once
// A private X server for code that needs a display of its own: the test of a
// vanishing server, and the drawing benchmark when $DISPLAY is unset. Xvfb picks a
// free display number itself (-displayfd).

#include <string>

// Starts a private X server (Xvfb) and points $DISPLAY at it for the object's life.
class PrivateXServer {
 public:
  PrivateXServer();
  ~PrivateXServer();
  bool running() const { return pid > 0; }
  void kill();

 private:
  int pid = -1;
  std::string previousDisplay;
  bool hadDisplay = false;
};
