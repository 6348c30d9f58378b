#pragma once
// The command line of tessarine-host, parsed into one record.

#include <optional>
#include <string>
#include <vector>

enum class Command { Help, Info, Render, Screenshot, Curve };

struct ParamSetting {
  int index;
  float value;
};

struct Options {
  Command command = Command::Help;
  std::string pluginPath;
  std::string inputPath;  // empty: the built-in 1 kHz test sine
  std::string outputPath = "tessarine-out.wav";
  std::string imagePath;  // screenshot and curve: the PNG file to write
  std::string plotPath;   // render: the PNG file for the spectrum; empty for none
  std::optional<int> program;
  std::vector<ParamSetting> params;  // applied in command-line order
  bool bypass = false;
  bool mono = false;
  int blockSize = 512;
  double range = 1.0;  // curve: the ramp runs from -range to +range
  int pictureWidth = 800;
  int pictureHeight = 500;
  bool sizeGiven = false;
  std::optional<float> scale;  // screenshot: the editor's scale factor (1 to 4)
};

constexpr int kMaxBlockSize = 65536;
constexpr double kMaxRange = 100.0;
// Below the minimum the axes and their labels no longer fit; above the maximum a
// picture takes hundreds of megabytes to draw.
constexpr int kMinPictureWidth = 200, kMinPictureHeight = 150, kMaxPictureSide = 8192;

// Throws UsageError naming the offending argument. An empty command line is a
// usage error; -h or --help anywhere gives Command::Help.
Options parseOptions(int argc, const char* const* argv);
