#pragma once
// Failures the user can act on. main() prints the message as one line,
// "tessarine-host: error: MESSAGE", and exits non-zero.

#include <stdexcept>
#include <string>

// Something went wrong while running a command: a file, the plug-in, a value.
struct HostError : std::runtime_error {
  explicit HostError(const std::string& message) : std::runtime_error(message) {}
};

// The command line itself is wrong; exits with status 2 like other usage errors.
struct UsageError : HostError {
  explicit UsageError(const std::string& message) : HostError(message) {}
};
