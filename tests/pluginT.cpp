// The built plug-in loaded as a host loads it: dlopen, VSTPluginMain, the record, effClose.

#include <dlfcn.h>
#include <doctest/doctest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "aeffectx.h"
#include "hostedeffect.h"
#include "hostrecorder.h"
#include "loadedplugin.h"

namespace {

struct Instance : HostedEffect {
  explicit Instance(PluginMain main) : HostedEffect(main(HostRecorder::callback)) {}
  ~Instance() {
    if (e) dispatch(effClose);
  }
};

std::string run(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return output;
  char buffer[256];
  while (fgets(buffer, sizeof(buffer), pipe)) output += buffer;
  pclose(pipe);
  return output;
}

}  // namespace

TEST_CASE("the plug-in exports VSTPluginMain and nothing else") {
  std::string symbols = run("nm -D --defined-only '" TESSARINE_PLUGIN_PATH "' | awk '{print $NF}'");
  CHECK(symbols == "VSTPluginMain\n");
}

TEST_CASE("VSTPluginMain makes no instance for a host that answers version 0") {
  LoadedPlugin plugin;
  REQUIRE(static_cast<bool>(plugin.main));
  HostRecorder host;
  host.answers[audioMasterVersion] = 0;
  CHECK(plugin.main(HostRecorder::callback) == nullptr);
  REQUIRE(host.calls.size() == 1);
  CHECK(host.calls[0].opcode == audioMasterVersion);
}

TEST_CASE("a host drives loaded instances, each independent, and effClose answers 1") {
  LoadedPlugin plugin;
  REQUIRE(static_cast<bool>(plugin.main));
  HostRecorder host;
  Instance instance(plugin.main), other(plugin.main);
  AEffect* e = instance.e;
  REQUIRE(e);
  REQUIRE(other.e);
  CHECK(e != other.e);
  CHECK(e->magic == kEffectMagic);
  CHECK(e->object != nullptr);
  CHECK(e->uniqueID == CCONST('+', 't', 's', 'r'));
  CHECK(e->flags == 0x19);  // has an editor, can mono, can replace
  CHECK(e->numPrograms == 10);
  CHECK(e->numParams == 6);
  CHECK(e->numInputs == 2);
  CHECK(e->numOutputs == 2);
  CHECK(e->version == 1);
  CHECK(e->initialDelay == 0);
  for (char byte : e->future) CHECK(byte == 0);

  instance.dispatch(effOpen);
  instance.dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
  instance.dispatch(effSetBlockSize, 0, 64);
  instance.dispatch(effMainsChanged, 0, 1);
  REQUIRE(host.callsOf(audioMasterPinConnected).size() == 1);

  char name[kVstMaxParamStrLen + 1];
  instance.dispatch(effGetParamName, 5, 0, name);
  CHECK(std::string(name) == "CP 7: ");
  instance.dispatch(effGetParamDisplay, 5, 0, name);
  CHECK(std::string(name) == "-60.0000");
  CHECK(instance.dispatch(effGetVstVersion) == 2400);
  CHECK(instance.dispatch(effGetCurrentMidiProgram, 0, 0, name) == -1);

  // A block larger than announced, both channels, in place.
  std::vector<float> left(1000, 1.0f), right(1000, -1.0f);
  float* buffers[2] = {left.data(), right.data()};
  e->processReplacing(e, buffers, buffers, 1000);
  CHECK(left[999] == doctest::Approx(1.0f));
  CHECK(right[0] == doctest::Approx(-0.99602).epsilon(1e-5));

  e->setParameter(e, 0, 0.25f);
  CHECK(e->getParameter(e, 0) == 0.25f);
  CHECK(other.e->getParameter(other.e, 0) == 1.0f);
  instance.dispatch(effMainsChanged, 0, 0);
  CHECK(other.dispatch(effClose) == 1);
  other.e = nullptr;
}
