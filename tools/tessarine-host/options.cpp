#include "options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "errors.h"

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

void applyRenderOption(Options& options, const std::string& name, ArgumentReader& reader,
                       std::optional<std::string>& inlineValue) {
  if (name == "-o" || name == "--output") {
    options.outputPath = reader.valueFor(name, inlineValue);
    if (options.outputPath.empty()) throw UsageError(name + " needs a file name");
  } else if (name == "--program") {
    options.program = parseInt(reader.valueFor(name, inlineValue), name);
  } else if (name == "--param") {
    options.params.push_back(parseParam(reader.valueFor(name, inlineValue)));
  } else if (name == "--block") {
    options.blockSize = parseInt(reader.valueFor(name, inlineValue), name);
    if (options.blockSize < 1 || options.blockSize > kMaxBlockSize)
      throw UsageError("--block must be between 1 and " + std::to_string(kMaxBlockSize));
  } else if (name == "--bypass" || name == "--mono") {
    if (inlineValue) throw UsageError("option " + name + " takes no value");
    (name == "--bypass" ? options.bypass : options.mono) = true;
  } else {
    throw UsageError("unknown option '" + name + "'");
  }
}

void applyOption(Options& options, const std::string& arg, ArgumentReader& reader) {
  std::string name = arg;
  std::optional<std::string> inlineValue;
  const size_t equals = arg.find('=');
  if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
    name = arg.substr(0, equals);
    inlineValue = arg.substr(equals + 1);
  }
  const bool settingOption = name == "--program" || name == "--param";
  if (options.command == Command::Screenshot && name == "--scale")
    options.scale = parseScale(reader.valueFor(name, inlineValue));
  else if (options.command == Command::Render ||
      (options.command == Command::Screenshot && settingOption))
    applyRenderOption(options, name, reader, inlineValue);
  else
    throw UsageError("unknown option '" + name + "'");
}

void applyPositional(Options& options, const std::string& arg) {
  if (options.pluginPath.empty()) {
    options.pluginPath = arg;
  } else if (options.command == Command::Render && options.inputPath.empty()) {
    options.inputPath = arg;
  } else if (options.command == Command::Screenshot && options.imagePath.empty()) {
    options.imagePath = arg;
  } else {
    throw UsageError("unexpected argument '" + arg + "'");
  }
}

Command parseCommand(const std::string& word) {
  if (word == "info") return Command::Info;
  if (word == "render") return Command::Render;
  if (word == "screenshot") return Command::Screenshot;
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
  if (options.command == Command::Screenshot && options.imagePath.empty())
    throw UsageError("no image file given");
  return options;
}
