#pragma once
// The command line of tessarine-host, parsed into one record.

#include <optional>
#include <string>
#include <vector>

enum class Command { Help, Info, Render, Screenshot };

struct ParamSetting {
  int index;
  float value;
};

struct Options {
  Command command = Command::Help;
  std::string pluginPath;
  std::string inputPath;  // empty: the built-in 1 kHz test sine
  std::string outputPath = "tessarine-out.wav";
  std::string imagePath;  // screenshot: the PNG file to write
  std::optional<int> program;
  std::vector<ParamSetting> params;  // applied in command-line order
  bool bypass = false;
  bool mono = false;
  int blockSize = 512;
  std::optional<float> scale;  // screenshot: the editor's scale factor (1 to 4)
};

constexpr int kMaxBlockSize = 65536;

// Throws UsageError naming the offending argument. An empty command line is a
// usage error; -h or --help anywhere gives Command::Help.
Options parseOptions(int argc, const char* const* argv);
