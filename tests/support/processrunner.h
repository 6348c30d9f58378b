#pragma once
// Runs a program as a user runs it and keeps what it wrote; a scratch directory to run it in.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// How a run ended: its exit status (-1 when it did not exit by itself) and all it
// wrote to standard output and standard error.
struct ProcessRun {
  int status = -1;
  std::string out, err;
};

// One change to the environment of a run: the variable is set to value, or unset
// when the value is null.
struct EnvSetting {
  EnvSetting(std::string name, std::string value);
  EnvSetting(std::string name, const char* value);

  std::string name;
  std::optional<std::string> value;
};
using ProcessEnv = std::vector<EnvSetting>;

// Runs program with args (argv[0] is program itself) in dir, with env applied to
// this process's environment, and waits for it to end.
ProcessRun runProcess(const std::string& program, const std::vector<std::string>& args,
                      const std::filesystem::path& dir, const ProcessEnv& env = {});

// A new empty directory below /tmp, removed with all it holds at the end of the
// object's life.
struct TempDir {
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::filesystem::path operator/(const std::string& name) const { return path / name; }
  bool empty() const { return std::filesystem::is_empty(path); }
  // The names of the entries, sorted.
  std::vector<std::string> entries() const;

  std::filesystem::path path;
};
