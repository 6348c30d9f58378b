// tessarine-host info: everything a host learns about a plug-in on loading it.

#include <cctype>
#include <cstdio>

#include "commands.h"
#include "pluginhost.h"
#include "textformat.h"

namespace {

struct FlagName {
  VstInt32 bit;
  const char* name;
};

constexpr FlagName kFlagNames[] = {
    {effFlagsHasEditor, "HasEditor"},
    {effFlagsHasClip, "HasClip"},
    {effFlagsHasVu, "HasVu"},
    {effFlagsCanMono, "CanMono"},
    {effFlagsCanReplacing, "CanReplacing"},
    {effFlagsProgramChunks, "ProgramChunks"},
    {effFlagsIsSynth, "IsSynth"},
    {effFlagsNoSoundInStop, "NoSoundInStop"},
    {effFlagsExtIsAsync, "ExtIsAsync"},
    {effFlagsExtHasBuffer, "ExtHasBuffer"},
    {effFlagsCanDoubleReplacing, "CanDoubleReplacing"},
};

// "+tsr (0x2B747372)": the four bytes most significant first, as the ID is made.
std::string fourCharCode(VstInt32 id) {
  const auto bits = uint32_t(id);
  std::string code;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const int c = int((bits >> shift) & 0xFF);
    code += std::isprint(c) ? char(c) : '.';
  }
  return strprintf("%s (0x%08X)", code.c_str(), bits);
}

std::string flagNames(VstInt32 flags) {
  std::string names;
  VstInt32 known = 0;
  for (const FlagName& flag : kFlagNames) {
    known |= flag.bit;
    if (flags & flag.bit) names += (names.empty() ? "" : " | ") + std::string(flag.name);
  }
  if (flags & ~known)
    names += (names.empty() ? "" : " | ") + strprintf("unknown 0x%X", unsigned(flags & ~known));
  return strprintf("0x%08X (%s)", unsigned(flags), names.empty() ? "none" : names.c_str());
}

void printParameters(PluginHost& host) {
  const int count = host.record().numParams;
  std::printf("\nParameters: %d\n", count);
  if (count <= 0) return;
  TextTable table({"index", "name", "display", "label", "value"}, {true, false, true, false, true});
  for (int i = 0; i < count; ++i)
    table.addRow({std::to_string(i), host.paramName(i), host.paramDisplay(i), host.paramLabel(i),
                  strprintf("%.6f", double(host.paramValue(i)))});
  table.print(stdout, "  ");
}

void printPrograms(PluginHost& host) {
  const int count = host.record().numPrograms;
  std::printf("\nPrograms: %d\n", count);
  if (count <= 0) return;
  TextTable table({"index", "name"}, {true, false});
  for (int i = 0; i < count; ++i) table.addRow({std::to_string(i), host.programName(i)});
  table.print(stdout, "  ");
}

}  // namespace

void runInfo(const Options& options) {
  PluginHost host(options.pluginPath, HostSettings{});
  host.resume();
  const AEffect& effect = host.record();
  std::printf("Plug-in:        %s\n", options.pluginPath.c_str());
  std::printf("Product:        %s\n", host.productString().c_str());
  std::printf("Vendor:         %s\n", host.vendorString().c_str());
  std::printf("Vendor version: %ld\n", long(host.vendorVersion()));
  std::printf("Unique ID:      %s\n", fourCharCode(effect.uniqueID).c_str());
  std::printf("Version:        %d\n", effect.version);
  std::printf("Flags:          %s\n", flagNames(effect.flags).c_str());
  std::printf("Inputs:         %d\n", effect.numInputs);
  std::printf("Outputs:        %d\n", effect.numOutputs);
  std::printf("Initial delay:  %d samples\n", effect.initialDelay);
  printParameters(host);
  printPrograms(host);
}
