#include "settings.h"

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

}  // namespace

void applySettings(PluginHost& host, const Options& options) {
  if (options.program) checkProgram(host, *options.program);
  for (const ParamSetting& param : options.params) checkParam(host, param.index);
  if (options.program) host.setProgram(*options.program);
  for (const ParamSetting& param : options.params) host.setParam(param.index, param.value);
  if (options.bypass) host.setBypass(true);
}
