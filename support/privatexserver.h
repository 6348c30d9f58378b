#pragma once
// A private X server for code that needs a display of its own: tessarine-host's
// screenshot command when no display can be opened, the drawing benchmarks when
// $DISPLAY is unset, the test of a vanishing server, and tessarine-xvfb-run, which
// runs each window test in one. It is Xvfb on a display number it picks itself
// (-displayfd), so that servers started at the same moment never share one, listening
// on its local socket only (-nolisten tcp, no authorization), its output discarded.
// It dies with the thread that started it, even when that is killed
// (PR_SET_PDEATHSIG): start it on the main thread or one that outlives it.

#include <sys/types.h>

#include <string>

// Starts Xvfb with one screen of the given geometry ("640x480x24"), waits until it
// accepts connections and points $DISPLAY at it for the object's life; the previous
// $DISPLAY comes back at the end.
class PrivateXServer {
 public:
  explicit PrivateXServer(const char* screen = "640x480x24");
  ~PrivateXServer();
  PrivateXServer(const PrivateXServer&) = delete;
  PrivateXServer& operator=(const PrivateXServer&) = delete;

  bool running() const { return pid > 0; }
  // Why the server did not start (empty when it did).
  const std::string& failure() const { return why; }
  // Ends the server at once ($DISPLAY still names it).
  void kill();

 private:
  pid_t pid = -1;
  std::string why;
  bool displaySet = false;  // $DISPLAY names the server, and previousDisplay comes back
  std::string previousDisplay;
  bool hadDisplay = false;
};
