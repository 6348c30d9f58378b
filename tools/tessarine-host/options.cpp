#include "options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "errors.h"
#include "textformat.h"

namespace {

int parseInt(const std::string& text, const std::string& option) {
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno == ERANGE || value < -2147483647L ||
      value > 2147483647L)
    throw UsageError(option + " expects an integer, got '" + text + "'");
  return int(value);
}

float parseParamValue(const std::string& text, const std::string& option) {
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(value))
    throw UsageError(option + " expects a finite number as VALUE, got '" + text + "'");
  // Plug-in parameters are normalised; anything outside 0..1 is a mistake such as
  // passing a value in the plug-in's display unit.
  if (value < 0.0 || value > 1.0)
    throw UsageError(option + " VALUE must be between 0 and 1, got '" + text + "'");
  return float(value);
}

// The editor's scale factor: finite and from 1 to 4, fractions allowed, as editors
// take it from hosts.
float parseScale(const std::string& text) {
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(value) || value < 1.0 ||
      value > 4.0)
    throw UsageError("--scale expects a factor from 1 to 4, got '" + text + "'");
  return float(value);
}

ParamSetting parseParam(const std::string& text) {
  const size_t equals = text.find('=');
  if (equals == std::string::npos)
    throw UsageError("--param expects INDEX=VALUE, got '" + text + "'");
  return ParamSetting{parseInt(text.substr(0, equals), "--param INDEX"),
                      parseParamValue(text.substr(equals + 1), "--param")};
}

// Walks the arguments after the command word; options may come before, between
// or after the positional arguments, and "--name=value" equals "--name value".
class ArgumentReader {
 public:
  ArgumentReader(int argc, const char* const* argv) : args_(argv + 2, argv + argc) {}

  bool done() const { return next_ >= args_.size(); }

  std::string take() { return args_[next_++]; }

  std::string valueFor(const std::string& option, std::optional<std::string>& inlineValue) {
    if (inlineValue) return *std::exchange(inlineValue, std::nullopt);
    if (done()) throw UsageError("option " + option + " needs a value");
    return take();
  }

 private:
  std::vector<std::string> args_;
  size_t next_ = 0;
};

bool isHelp(const std::string& arg) {
  return arg == "-h" || arg == "--help";
}

// "--range 2": a positive finite number up to kMaxRange.
double parseRange(const std::string& text) {
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || errno == ERANGE || !(value > 0.0) || value > kMaxRange)
    throw UsageError(strprintf("--range expects a number above 0 and at most %g, got '%s'",
                               kMaxRange, text.c_str()));
  return value;
}

// "--size 800x500", within the limits a picture can be drawn at.
void parseSize(const std::string& text, Options& options) {
  const std::string limits =
      strprintf("--size must be WIDTHxHEIGHT from %dx%d to %dx%d, got '%s'", kMinPictureWidth,
                kMinPictureHeight, kMaxPictureSide, kMaxPictureSide, text.c_str());
  const size_t x = text.find('x');
  if (x == std::string::npos) throw UsageError(limits);
  errno = 0;
  char* end = nullptr;
  const long width = std::strtol(text.c_str(), &end, 10);
  if (end != text.c_str() + x) throw UsageError(limits);
  const long height = std::strtol(text.c_str() + x + 1, &end, 10);
  if (x + 1 == text.size() || *end != '\0' || errno == ERANGE || width < kMinPictureWidth ||
      height < kMinPictureHeight || width > kMaxPictureSide || height > kMaxPictureSide)
    throw UsageError(limits);
  options.pictureWidth = int(width);
  options.pictureHeight = int(height);
}

// The options each command takes; anything else is an unknown option there.
bool takesOption(Command command, const std::string& name) {
  const bool setting = name == "--program" || name == "--param";
  switch (command) {
    case Command::Render:
      return setting || name == "-o" || name == "--output" || name == "--block" ||
             name == "--bypass" || name == "--mono" || name == "--plot" || name == "--size";
    case Command::Curve:
      return setting || name == "--range" || name == "--size";
    case Command::Screenshot:
      return setting || name == "--scale";
    default:
      return false;
  }
}

std::string nonEmpty(const std::string& name, std::string value) {
  if (value.empty()) throw UsageError(name + " needs a file name");
  return value;
}

void applyOption(Options& options, const std::string& arg, ArgumentReader& reader) {
  std::string name = arg;
  std::optional<std::string> inlineValue;
  const size_t equals = arg.find('=');
  if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
    name = arg.substr(0, equals);
    inlineValue = arg.substr(equals + 1);
  }
  if (!takesOption(options.command, name)) throw UsageError("unknown option '" + name + "'");
  if (name == "--bypass" || name == "--mono") {
    if (inlineValue) throw UsageError("option " + name + " takes no value");
    (name == "--bypass" ? options.bypass : options.mono) = true;
    return;
  }
  const std::string value = reader.valueFor(name, inlineValue);
  if (name == "-o" || name == "--output") {
    options.outputPath = nonEmpty(name, value);
  } else if (name == "--plot") {
    options.plotPath = nonEmpty(name, value);
  } else if (name == "--program") {
    options.program = parseInt(value, name);
  } else if (name == "--param") {
    options.params.push_back(parseParam(value));
  } else if (name == "--block") {
    options.blockSize = parseInt(value, name);
    if (options.blockSize < 1 || options.blockSize > kMaxBlockSize)
      throw UsageError("--block must be between 1 and " + std::to_string(kMaxBlockSize));
  } else if (name == "--range") {
    options.range = parseRange(value);
  } else if (name == "--scale") {
    options.scale = parseScale(value);
  } else if (name == "--size") {
    parseSize(value, options);
    options.sizeGiven = true;
  }
}

void applyPositional(Options& options, const std::string& arg) {
  const bool takesImage =
      options.command == Command::Screenshot || options.command == Command::Curve;
  if (options.pluginPath.empty()) {
    options.pluginPath = arg;
  } else if (options.command == Command::Render && options.inputPath.empty()) {
    options.inputPath = arg;
  } else if (takesImage && options.imagePath.empty()) {
    options.imagePath = arg;
  } else {
    throw UsageError("unexpected argument '" + arg + "'");
  }
}

Command parseCommand(const std::string& word) {
  if (word == "info") return Command::Info;
  if (word == "render") return Command::Render;
  if (word == "screenshot") return Command::Screenshot;
  if (word == "curve") return Command::Curve;
  throw UsageError("unknown command '" + word + "'");
}

}  // namespace

Options parseOptions(int argc, const char* const* argv) {
  if (argc < 2) throw UsageError("no command given");
  for (int i = 1; i < argc; ++i)
    if (isHelp(argv[i])) return Options{};
  Options options;
  options.command = parseCommand(argv[1]);
  ArgumentReader reader(argc, argv);
  while (!reader.done()) {
    const std::string arg = reader.take();
    if (arg.size() > 1 && arg[0] == '-')
      applyOption(options, arg, reader);
    else
      applyPositional(options, arg);
  }
  if (options.pluginPath.empty()) throw UsageError("no plug-in given");
  if ((options.command == Command::Screenshot || options.command == Command::Curve) &&
      options.imagePath.empty())
    throw UsageError("no image file given");
  if (options.command == Command::Render && options.sizeGiven && options.plotPath.empty())
    throw UsageError("--size sets the size of the --plot picture; no --plot given");
  return options;
}
