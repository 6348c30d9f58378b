#include "tessarine.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "scalefactor.h"
#include "tessarineeditor.h"

namespace {

const char* const kParameterNames[kNumParams] = {"CP 1: ", "CP 2: ", "CP 3: ",
                                                 "CP 4: ", "CP 5: ", "CP 7: "};

constexpr size_t kProgramNameLen = sizeof(tessarineprogram::name) - 1;

}  // namespace

tessarineprogram::tessarineprogram()
    : dbOne(1.0f), dbTwo(0.0f), dbThree(0.0f), dbFour(0.0f), dbFive(0.0f), dbSeven(0.0f) {
  vst_strncpy(name, "empty", kProgramNameLen);
}

tessarine::tessarine(audioMasterCallback audioMaster) : tessarine(audioMaster, kNumParams) {
  // The editor registers itself with the effect (which sets effFlagsHasEditor); it
  // opens no window until the host asks for one.
  editor = new tessarineeditor(this);
}

tessarine::tessarine(audioMasterCallback audioMaster, VstInt32 numParams)
    : AudioEffectX(audioMaster, kNumPrograms, numParams),
      idleTimer(0),
      channelMode(0),
      programs(nullptr),
      numChannels(0),
      vuIn(0.0f),
      vuOut(0.0f),
      gain(0.0f),
      bypass(false),
      dbOne(1.0f),
      dbTwo(0.0f),
      dbThree(0.0f),
      dbFour(0.0f),
      dbFive(0.0f),
      dbSeven(0.0f),
      blocks(0),
      blockSize(0),
      bufferPosition(0) {
  setNumInputs(2);
  setNumOutputs(2);
  setUniqueID(CCONST('+', 't', 's', 'r'));
  programs = new tessarineprogram[kNumPrograms];
  canMono(true);
  canProcessReplacing(true);
  vst_strncpy(programName, "Default", sizeof(programName) - 1);
  suspend();
  setProgram(0);
}

tessarine::~tessarine() { delete[] programs; }

std::atomic<float>* tessarine::liveValue(VstInt32 index) {
  std::atomic<float>* values[kNumParams] = {&dbOne,  &dbTwo,  &dbThree,
                                            &dbFour, &dbFive, &dbSeven};
  return index >= 0 && index < kNumParams ? values[index] : nullptr;
}

float* tessarine::programValue(tessarineprogram& program, VstInt32 index) {
  float* values[kNumParams] = {&program.dbOne,  &program.dbTwo,  &program.dbThree,
                               &program.dbFour, &program.dbFive, &program.dbSeven};
  return values[index];
}

void tessarine::setProgram(VstInt32 program) {
  if (program < 0 || program >= kNumPrograms) return;
  relaxedStore(curProgram, program);
  tessarineprogram& entry = programs[program];
  // Announced before the first value is stored and finished after the last, so that
  // no block is processed with some values of each program.
  programSwitches.fetch_add(1, std::memory_order_relaxed);
  for (VstInt32 i = 0; i < kNumParams; i++) setParameter(i, relaxedLoad(*programValue(entry, i)));
  programSwitches.fetch_add(kProgramSwitchDone - 1, std::memory_order_release);
}

// A NaN or infinite value is ignored: one bad automation value would otherwise
// turn every later output sample into NaN. Finite values are stored unclamped.
// The editor hears of every accepted change, whatever the index, on the calling
// thread; it decides itself whether it may touch its knobs from there.
void tessarine::setParameter(VstInt32 index, float value) {
  if (!std::isfinite(value)) return;
  if (std::atomic<float>* live = liveValue(index)) {
    // Release: a block that reads this value also sees a program switch that
    // stores it as begun (see loadLiveValues). A plain store on x86.
    live->store(value, std::memory_order_release);
    relaxedStore(*programValue(programs[getProgram()], index), value);
  }
  if (editor) static_cast<tessarineeditor*>(editor)->setParameter(long(index), value);
}

VstIntPtr tessarine::vendorSpecific(VstInt32 lArg, VstIntPtr lArg2, void* ptrArg,
                                    float floatArg) {
  if (lArg == kVstScaleRequestIndex && lArg2 == kVstScaleRequestValue)
    return editor && static_cast<tessarineeditor*>(editor)->setHostScaleFactor(floatArg) ? 1 : 0;
  return AudioEffectX::vendorSpecific(lArg, lArg2, ptrArg, floatArg);
}

float tessarine::getParameter(VstInt32 index) {
  std::atomic<float>* live = liveValue(index);
  return live ? live->load(std::memory_order_relaxed) : 0.0f;
}

void tessarine::setProgramName(char* name) {
  vst_strncpy(programs[getProgram()].name, name, kProgramNameLen);
}

void tessarine::getProgramName(char* name) {
  const VstInt32 program = getProgram();
  const char* stored = programs[program].name;
  if (std::strcmp(stored, "Init") == 0) {
    char numbered[48];
    std::snprintf(numbered, sizeof(numbered), "%s %d", stored, (int)program + 1);
    vst_strncpy(name, numbered, kVstMaxProgNameLen);
  } else {
    vst_strncpy(name, stored, kVstMaxProgNameLen);
  }
}

void tessarine::getParameterLabel(VstInt32 index, char* label) {
  (void)index;
  vst_strncpy(label, "dB", kVstMaxParamStrLen);
}

void tessarine::getParameterDisplay(VstInt32 index, char* text) {
  float dbLevel = 0.0f;
  if (liveValue(index)) dbLevel = getParameter(index) * 60.0f - 60.0f;
  float2string(dbLevel, text, kVstMaxParamStrLen);
}

// The out-of-range name "Unknown: " is one character longer than a parameter
// text may be; it is cut to the limit like every other text.
void tessarine::getParameterName(VstInt32 index, char* label) {
  const char* name = index >= 0 && index < kNumParams ? kParameterNames[index] : "Unknown: ";
  vst_strncpy(label, name, kVstMaxParamStrLen);
}

bool tessarine::setBypass(bool pBypass) {
  bypass.store(pBypass, std::memory_order_relaxed);
  return pBypass;
}

bool tessarine::getVendorString(char* text) {
  vst_strncpy(text, "Quorvalin", kVstMaxVendorStrLen);
  return true;
}

bool tessarine::getProductString(char* text) {
  vst_strncpy(text, "+tessarine", kVstMaxProductStrLen);
  return true;
}

float tessarine::getVus(long index) {
  float* stored = index == 0 ? &vuIn : index == 1 ? &vuOut : nullptr;
  if (!stored) return 0.0f;
  float value = *stored;
  *stored = value * 0.9f;
  float rest = 1.0f - value;
  return 1.0f - rest * rest;
}
