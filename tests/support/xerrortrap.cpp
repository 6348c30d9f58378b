#include "xerrortrap.h"

#include <mutex>
#include <utility>
#include <vector>

namespace {

// The live traps' connections and counts, innermost last, under one lock: the
// handler runs on whichever thread reads the connection that had the error.
std::mutex& trapsLock() {
  static std::mutex lock;
  return lock;
}
std::vector<std::pair<Display*, int*>>& traps() {
  static std::vector<std::pair<Display*, int*>> live;
  return live;
}

XErrorHandler gDefaultHandler = nullptr;

int onError(Display* display, XErrorEvent* error) {
  {
    std::lock_guard<std::mutex> guard(trapsLock());
    for (auto trap = traps().rbegin(); trap != traps().rend(); ++trap)
      if (trap->first == display) {
        ++*trap->second;
        return 0;
      }
  }
  return gDefaultHandler ? gDefaultHandler(display, error) : 0;
}

struct Installer {
  Installer() { gDefaultHandler = XSetErrorHandler(onError); }
} gInstaller;

}  // namespace

XErrorTrap::XErrorTrap(Display* display) : display(display) {
  std::lock_guard<std::mutex> guard(trapsLock());
  traps().emplace_back(display, &count);
}

XErrorTrap::~XErrorTrap() {
  if (display) XSync(display, False);
  std::lock_guard<std::mutex> guard(trapsLock());
  for (auto trap = traps().begin(); trap != traps().end(); ++trap)
    if (trap->second == &count) {
      traps().erase(trap);
      break;
    }
}

int XErrorTrap::errors() {
  if (display) XSync(display, False);
  std::lock_guard<std::mutex> guard(trapsLock());
  return count;
}
