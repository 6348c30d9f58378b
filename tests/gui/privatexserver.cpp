#include "privatexserver.h"

#include <cstdlib>

#include "xvfb.h"

PrivateXServer::PrivateXServer() {
  std::string display, failure;
  pid = startXvfb("640x480x24", display, failure);
  if (pid <= 0) return;
  if (const char* current = getenv("DISPLAY")) {
    hadDisplay = true;
    previousDisplay = current;
  }
  setenv("DISPLAY", display.c_str(), 1);
}

PrivateXServer::~PrivateXServer() {
  kill();
  if (hadDisplay)
    setenv("DISPLAY", previousDisplay.c_str(), 1);
  else
    unsetenv("DISPLAY");
}

void PrivateXServer::kill() {
  stopXvfb(pid);
}
