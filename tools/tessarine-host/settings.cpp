#include "settings.h"

#include <algorithm>

#include "errors.h"
#include "textformat.h"

namespace {

// "the plug-in has 3 programs (0..2)"
std::string available(int count, const char* noun) {
  std::string text = strprintf("the plug-in has %d %s%s", count, noun, count == 1 ? "" : "s");
  return count > 0 ? text + strprintf(" (0..%d)", count - 1) : text;
}

void checkProgram(const PluginHost& host, int program) {
  const int count = host.record().numPrograms;
  if (program < 0 || program >= count)
    throw HostError(strprintf("program %d is out of range: ", program) +
                    available(count, "program"));
}

void checkParam(const PluginHost& host, int index) {
  const int count = host.record().numParams;
  if (index < 0 || index >= count)
    throw HostError(strprintf("parameter index %d is out of range: ", index) +
                    available(count, "parameter"));
}

// Plug-ins pad their texts to line up in their own displays.
std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  return first == std::string::npos ? ""
                                    : text.substr(first, text.find_last_not_of(' ') + 1 - first);
}

}  // namespace

void applySettings(PluginHost& host, const Options& options) {
  if (options.program) checkProgram(host, *options.program);
  for (const ParamSetting& param : options.params) checkParam(host, param.index);
  if (options.program) host.setProgram(*options.program);
  for (const ParamSetting& param : options.params) host.setParam(param.index, param.value);
  if (options.bypass) host.setBypass(true);
}

std::vector<std::string> describeSetting(PluginHost& host, const std::string& path) {
  constexpr int kMaxParams = 12;  // more would fill the picture
  const std::string product = host.productString();
  std::vector<std::string> lines = {product.empty() ? path : product};
  if (host.record().numPrograms > 0)
    lines.push_back(strprintf("program %d: ", host.program()) + host.currentProgramName());
  const int count = host.record().numParams;
  for (int i = 0; i < std::min(count, kMaxParams); ++i) {
    std::string line = trimmed(host.paramName(i));
    for (const std::string& part : {host.paramDisplay(i), host.paramLabel(i)})
      if (!trimmed(part).empty()) line += " " + trimmed(part);
    lines.push_back(line);
  }
  if (count > kMaxParams) lines.push_back(strprintf("(%d more parameters)", count - kMaxParams));
  return lines;
}
