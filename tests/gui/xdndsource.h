#pragma once
// A small XDND drag source for the drag-and-drop tests. It runs in a child process
// with a connection of its own, as another program would, and takes line commands
// from the test: it moves the real pointer (XTest), finds the drop target under it
// the way toolkits do, sends the protocol's messages and answers the target's data
// requests (large data in pieces, INCR). Every command is answered with one line.

#include <sys/types.h>

#include <string>
#include <vector>

class XdndTestSource {
 public:
  // How the source finds the target under the pointer: GTK's way (the top-level window,
  // or the window its XdndProxy names), or Qt's (the first XdndAware one from the root down).
  enum Discovery { kTopLevel, kDeepestAware };
  // How the source reads the target's XdndStatus: GTK's way (bit 0 of the flags word says
  // the drop is accepted; it asks for a copy), or Qt 5's (any non-zero flags word says so;
  // it asks for a move).
  enum Reading { kAcceptBit, kAnyFlag };
  struct Offer {
    std::string type;
    std::string data;
  };

  // More than three offers are listed in XdndTypeList, as the protocol asks.
  XdndTestSource(Discovery discovery, const std::vector<Offer>& offers,
                 Reading reading = kAcceptBit);
  ~XdndTestSource();
  XdndTestSource(const XdndTestSource&) = delete;
  XdndTestSource& operator=(const XdndTestSource&) = delete;
  bool running() const { return pid > 0; }

  // Commands -> answers. press X Y: pointer to root (X, Y), button 1 down -> pressed.
  // move X Y: pointer there; XdndLeave and XdndEnter when the target changes, XdndPosition
  //   -> "status <l0> <l1> <l4>" of the XdndStatus, "none" (no target), "silent" (no status).
  // leave: XdndLeave, button up -> left. drop: XdndDrop, button up -> "finished <l0> <l1>
  //   <l2>", "none" or "silent". release: button up, nothing sent -> released.
  // letgo: button up as a user lets go; the source drops if it read the last XdndStatus
  //   as acceptance, else leaves -> "dropped <action>" (the action it then reports as
  //   done: the status's, else the one it asked for) or "refused".
  // quiet: data requests go unanswered from now on -> quiet. requests -> "requests <n>".
  void send(const std::string& command);
  // The next answer, if one has come.
  bool answer(std::string& line);
  // Ends the child at once: its window goes with its connection.
  void kill();

 private:
  pid_t pid = -1;
  int commandFd = -1;
  int answerFd = -1;
  std::string received;
};
