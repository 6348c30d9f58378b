// A fake effect of exactly known output, out = gain * in + second * T2(in), for tessarine-host.
// TESSARINE_FAKE_MODE: null (no record), badmagic, unindexed (no indexed program names),
// noprocess; TESSARINE_FAKE_LOG=FILE appends the host's calls. FAKE_WITHOUT_ENTRY: no entry.

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "aeffectx.h"

namespace {

constexpr const char* kProgramNames[] = {"Unity", "Half", "Mute"};
constexpr float kProgramGains[] = {0.5f, 0.25f, 0.0f};  // gain parameter; gain = 2 * value

struct Fake {
  AEffect effect{};
  audioMasterCallback host = nullptr;
  float params[2] = {0.5f, 0.0f};
  int program = 0;
  bool bypass = false;
  bool indexedNames = true;
  std::FILE* log = nullptr;
};

Fake& fakeOf(AEffect* effect) {
  return *static_cast<Fake*>(effect->object);
}

void note(Fake& fake, const char* format, ...) {
  if (!fake.log) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(fake.log, format, args);
  va_end(args);
  std::fputc('\n', fake.log);
}

void writeText(void* ptr, const std::string& text) {
  std::memcpy(ptr, text.c_str(), text.size() + 1);
}

VstIntPtr askHost(Fake& fake, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                  void* ptr = nullptr) {
  return fake.host(&fake.effect, opcode, index, value, ptr, 0.0f);
}

// What a plug-in typically learns from its host when switched on.
void queryHost(Fake& fake) {
  note(fake, "host version %ld", long(askHost(fake, audioMasterVersion)));
  std::string pins = "host pins";
  for (int input : {1, 0})
    for (int pin = 0; pin < 3; pin++)
      pins += std::string(input ? " in" : " out") + std::to_string(pin) + "=" +
              std::to_string(long(askHost(fake, audioMasterPinConnected, pin, input)));
  note(fake, "%s", pins.c_str());
  note(fake, "host rate %ld block %ld", long(askHost(fake, audioMasterGetSampleRate)),
       long(askHost(fake, audioMasterGetBlockSize)));
  char vendor[kVstMaxVendorStrLen + 1] = {}, product[kVstMaxProductStrLen + 1] = {};
  askHost(fake, audioMasterGetVendorString, 0, 0, vendor);
  askHost(fake, audioMasterGetProductString, 0, 0, product);
  note(fake, "host vendor %s product %s", vendor, product);
}

void selectProgram(Fake& fake, int program) {
  note(fake, "program %d", program);
  fake.program = program;
  fake.params[0] = kProgramGains[program];
}

VstIntPtr textOpcode(Fake& fake, VstInt32 opcode, VstInt32 index, void* ptr) {
  switch (opcode) {
    case effGetParamName:
      writeText(ptr, index == 0 ? "Gain" : "Second");
      return 1;
    case effGetParamLabel:
      writeText(ptr, index == 0 ? "x" : "FS");
      return 1;
    case effGetParamDisplay:
      std::snprintf((char*)ptr, kVstMaxParamStrLen + 1, "%.3f",
                    index == 0 ? 2.0 * fake.params[0] : fake.params[1]);
      return 1;
    case effGetProgramName:
      writeText(ptr, kProgramNames[fake.program]);
      return 1;
    case effGetProgramNameIndexed:
      if (!fake.indexedNames) return 0;
      writeText(ptr, kProgramNames[index]);
      return 1;
    case effGetVendorString:
      writeText(ptr, "Fake Vendor");
      return 1;
    case effGetProductString:
      writeText(ptr, "Fake Gain");
      return 1;
  }
  return 0;
}

VstIntPtr dispatcher(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                     float opt) {
  Fake& fake = fakeOf(effect);
  switch (opcode) {
    case effOpen:
      note(fake, "open");
      return 0;
    case effClose:
      note(fake, "close");
      if (fake.log) std::fclose(fake.log);
      delete &fake;
      return 1;
    case effSetSampleRate:
      note(fake, "rate %g", double(opt));
      return 0;
    case effSetBlockSize:
      note(fake, "block %ld", long(value));
      return 0;
    case effMainsChanged:
      note(fake, "mains %ld", long(value));
      if (value) queryHost(fake);
      return 0;
    case effSetProgram:
      selectProgram(fake, int(value));
      return 0;
    case effGetProgram:
      return fake.program;
    case effSetBypass:
      note(fake, "bypass %ld", long(value));
      fake.bypass = value != 0;
      return 1;
    case effGetVendorVersion:
      return 4321;
  }
  return textOpcode(fake, opcode, index, ptr);
}

void setParameter(AEffect* effect, VstInt32 index, float value) {
  Fake& fake = fakeOf(effect);
  note(fake, "param %d %g", index, double(value));
  fake.params[index] = value;
}

float getParameter(AEffect* effect, VstInt32 index) {
  return fakeOf(effect).params[index];
}

void processReplacing(AEffect* effect, float** inputs, float** outputs, VstInt32 frames) {
  Fake& fake = fakeOf(effect);
  note(fake, "process %d", frames);
  const float gain = fake.bypass ? 1.0f : 2.0f * fake.params[0];
  const float second = fake.bypass ? 0.0f : fake.params[1];
  for (int c = 0; c < 2; ++c)
    for (VstInt32 i = 0; i < frames; ++i) {
      const float x = inputs[c][i];
      outputs[c][i] = gain * x + second * (2.0f * x * x - 1.0f);
    }
}

AEffect* createFake(audioMasterCallback host) {
  const char* modeVariable = std::getenv("TESSARINE_FAKE_MODE");
  const std::string mode = modeVariable ? modeVariable : "";
  if (mode == "null") return nullptr;
  // A host must refuse this record without calling into it, so it never gets freed.
  static AEffect notAnEffect{};
  notAnEffect.magic = CCONST('N', 'o', 'p', 'e');
  if (mode == "badmagic") return &notAnEffect;
  Fake* fake = new Fake;
  fake->host = host;
  fake->indexedNames = mode != "unindexed";
  if (const char* logPath = std::getenv("TESSARINE_FAKE_LOG")) fake->log = std::fopen(logPath, "a");
  // Plug-ins ask for the host's version before their record exists.
  note(*fake, "entry host version %ld", long(host(nullptr, audioMasterVersion, 0, 0, nullptr, 0)));
  AEffect& e = fake->effect;
  e.magic = kEffectMagic;
  e.dispatcher = dispatcher;
  e.setParameter = setParameter;
  e.getParameter = getParameter;
  e.processReplacing = mode == "noprocess" ? nullptr : processReplacing;
  e.numPrograms = 3;
  e.numParams = 2;
  e.numInputs = 2;
  e.numOutputs = 2;
  e.flags = effFlagsCanReplacing | effFlagsNoSoundInStop;
  e.object = fake;
  e.uniqueID = CCONST('f', 'K', 'e', '1');
  e.version = 3;
  return &e;
}

}  // namespace

#ifdef FAKE_WITHOUT_ENTRY
extern "C" __attribute__((visibility("default"))) AEffect* notTheEntry(audioMasterCallback host) {
  return createFake(host);
}
#else
extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host) {
  return createFake(host);
}
#endif
