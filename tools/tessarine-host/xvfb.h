#pragma once
// A private X server: Xvfb on a display number it picks itself (-displayfd), its
// output discarded. The screenshot command starts one when there is no usable
// display; the window tests and benchmarks compile this file for theirs.

#include <sys/types.h>

#include <string>

// Starts Xvfb with one screen of the given geometry ("640x480x24") and waits until
// it accepts connections. Returns its process id and sets display to its name
// (":N"); when it fails, returns -1 with the reason in failure and leaves no server
// running.
pid_t startXvfb(const char* screen, std::string& display, std::string& failure);

// Ends the server started as pid, when pid > 0, and sets pid to -1.
void stopXvfb(pid_t& pid);
