#include "audioeffect.h"

#include <cmath>
#include <cstring>

#include "aeffeditor.h"

AudioEffect::AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms,
                         VstInt32 numParams)
    : audioMaster(audioMaster),
      editor(nullptr),
      sampleRate(44100.0f),
      blockSize(1024),
      numPrograms(numPrograms),
      numParams(numParams),
      curProgram(0) {
  std::memset(&cEffect, 0, sizeof(cEffect));
  cEffect.magic = kEffectMagic;
  cEffect.dispatcher = dispatchEffectClass;
  cEffect.process = processClass;
  cEffect.setParameter = setParameterClass;
  cEffect.getParameter = getParameterClass;
  cEffect.numPrograms = numPrograms;
  cEffect.numParams = numParams;
  cEffect.numInputs = 1;
  cEffect.numOutputs = 2;
  cEffect.ioRatio = 1.0f;
  cEffect.object = this;
  cEffect.uniqueID = CCONST('N', 'o', 'E', 'f');
  cEffect.version = 1;
  cEffect.processReplacing = processClassReplacing;
  // Virtual dispatch does not reach derived classes yet: this is the base setter.
  canProcessReplacing(true);
  cEffect.processDoubleReplacing = processClassDoubleReplacing;
}

AudioEffect::~AudioEffect() { delete editor; }

void AudioEffect::setFlag(VstInt32 flag, bool state) {
  if (state)
    cEffect.flags |= flag;
  else
    cEffect.flags &= ~flag;
}

void AudioEffect::setEditor(AEffEditor* editor) {
  this->editor = editor;
  setFlag(effFlagsHasEditor, editor != nullptr);
}

// ---------------------------------------------------------------------------
// Trampolines. Nothing may unwind into the host, so each one stops exceptions.

static AudioEffect* effectOf(AEffect* e) {
  return e ? static_cast<AudioEffect*>(e->object) : nullptr;
}

VstIntPtr AudioEffect::dispatchEffectClass(AEffect* e, VstInt32 opcode, VstInt32 index,
                                           VstIntPtr value, void* ptr, float opt) noexcept {
  AudioEffect* effect = effectOf(e);
  if (!effect) return 0;
  VstIntPtr result = 0;
  try {
    result = effect->dispatcher(opcode, index, value, ptr, opt);
  } catch (...) {
    result = 0;
  }
  if (opcode == effClose) {
    // The record lives inside the object: after this the host must not touch it.
    delete effect;
    return 1;
  }
  return result;
}

float AudioEffect::getParameterClass(AEffect* e, VstInt32 index) noexcept {
  AudioEffect* effect = effectOf(e);
  try {
    return effect ? effect->getParameter(index) : 0.0f;
  } catch (...) {
    return 0.0f;
  }
}

void AudioEffect::setParameterClass(AEffect* e, VstInt32 index, float value) noexcept {
  AudioEffect* effect = effectOf(e);
  try {
    if (effect) effect->setParameter(index, value);
  } catch (...) {
  }
}

void AudioEffect::processClass(AEffect* e, float** inputs, float** outputs,
                               VstInt32 sampleFrames) noexcept {
  AudioEffect* effect = effectOf(e);
  try {
    if (effect) effect->process(inputs, outputs, sampleFrames);
  } catch (...) {
  }
}

void AudioEffect::processClassReplacing(AEffect* e, float** inputs, float** outputs,
                                        VstInt32 sampleFrames) noexcept {
  AudioEffect* effect = effectOf(e);
  try {
    if (effect) effect->processReplacing(inputs, outputs, sampleFrames);
  } catch (...) {
  }
}

void AudioEffect::processClassDoubleReplacing(AEffect* e, double** inputs, double** outputs,
                                              VstInt32 sampleFrames) noexcept {
  AudioEffect* effect = effectOf(e);
  try {
    if (effect) effect->processDoubleReplacing(inputs, outputs, sampleFrames);
  } catch (...) {
  }
}

// ---------------------------------------------------------------------------
// Core dispatcher, opcodes 0 to 24.

// Opcodes that read or write through ptr. A host that passes null for one of
// them gets 0 and nothing is touched.
static bool corePtrRequired(VstInt32 opcode) {
  switch (opcode) {
    case effSetProgramName:
    case effGetProgramName:
    case effGetParamLabel:
    case effGetParamDisplay:
    case effGetParamName:
    case effEditGetRect:
    case effEditOpen:
    case effGetChunk:
    case effSetChunk:
      return true;
    default:
      return false;
  }
}

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                  float opt) {
  if (!ptr && corePtrRequired(opcode)) return 0;
  switch (opcode) {
    case effOpen:
      open();
      return 0;
    case effClose:
      close();
      return 0;
    case effSetProgram:
      if (value >= 0 && value < numPrograms) setProgram((VstInt32)value);
      return 0;
    case effGetProgram:
      return getProgram();
    case effSetProgramName: {
      // The host's name is read no further than the interface's limit, whether
      // or not it is terminated within it.
      char name[kVstMaxProgNameLen + 1];
      size_t length = strnlen(static_cast<const char*>(ptr), kVstMaxProgNameLen);
      std::memcpy(name, ptr, length);
      name[length] = 0;
      setProgramName(name);
      return 0;
    }
    case effGetProgramName:
      getProgramName(static_cast<char*>(ptr));
      return 0;
    case effGetParamLabel:
      getParameterLabel(index, static_cast<char*>(ptr));
      return 0;
    case effGetParamDisplay:
      getParameterDisplay(index, static_cast<char*>(ptr));
      return 0;
    case effGetParamName:
      getParameterName(index, static_cast<char*>(ptr));
      return 0;
    case effGetVu:
      return (VstIntPtr)((double)getVu() * 32767.0);
    case effSetSampleRate:
      setSampleRate(opt);
      return 0;
    case effSetBlockSize:
      setBlockSize((VstInt32)value);
      return 0;
    case effMainsChanged:
      if (value == 0)
        suspend();
      else
        resume();
      return 0;
    case effIdentify:
      return CCONST('N', 'v', 'E', 'f');
    case effGetChunk:
      return getChunk(static_cast<void**>(ptr), index != 0);
    case effSetChunk:
      return setChunk(ptr, (VstInt32)value, index != 0);
    default:
      return dispatchEditor(opcode, index, value, ptr);
  }
}

// The editor opcodes 13 to 21: with no editor they do nothing and answer 0.
VstIntPtr AudioEffect::dispatchEditor(VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                      void* ptr) {
  if (!editor) return 0;
  switch (opcode) {
    case effEditGetRect:
      return editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
    case effEditOpen:
      return editor->open(ptr) ? 1 : 0;
    case effEditClose:
      editor->close();
      return 0;
    case effEditDraw:
      editor->draw(static_cast<ERect*>(ptr));
      return 0;
    case effEditMouse:
      return editor->mouse(index, (VstInt32)value);
    case effEditKey:
      return editor->key((VstInt32)value);
    case effEditIdle:
      editor->idle();
      return 0;
    case effEditTop:
      editor->top();
      return 0;
    case effEditSleep:
      editor->sleep();
      return 0;
    default:
      return 0;
  }
}

// ---------------------------------------------------------------------------
// Requests to the host.

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                float opt) {
  return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

VstInt32 AudioEffect::getMasterVersion() {
  VstInt32 version = (VstInt32)callHost(audioMasterVersion);
  return version ? version : 1;
}

VstInt32 AudioEffect::getCurrentUniqueId() { return (VstInt32)callHost(audioMasterCurrentId); }

VstIntPtr AudioEffect::masterIdle() { return callHost(audioMasterIdle); }

// The host answers 0 for a connected pin (and a host without a callback is taken
// to connect everything).
bool AudioEffect::isInputConnected(VstInt32 input) {
  return callHost(audioMasterPinConnected, input, 0) == 0;
}

bool AudioEffect::isOutputConnected(VstInt32 output) {
  return callHost(audioMasterPinConnected, output, 1) == 0;
}

// The effect's own value changes before the host hears of it.
void AudioEffect::setParameterAutomated(VstInt32 index, float value) {
  setParameter(index, value);
  callHost(audioMasterAutomate, index, 0, nullptr, value);
}

// ---------------------------------------------------------------------------
// Number-to-text operations.

void AudioEffect::dB2string(float value, char* text, VstInt32 maxLen) {
  if (value <= 0.0f) {
    vst_strncpy(text, "-oo", maxLen);
    return;
  }
  float2string((float)(20.0 * std::log10((double)value)), text, maxLen);
}

void AudioEffect::Hz2string(float samples, char* text, VstInt32 maxLen) {
  float hz = samples == 0.0f ? 0.0f : getSampleRate() / samples;
  float2string(hz, text, maxLen);
}

void AudioEffect::ms2string(float samples, char* text, VstInt32 maxLen) {
  float2string((float)((double)samples * 1000.0 / (double)getSampleRate()), text, maxLen);
}

namespace {

// The display holds at most 8 characters, sign and point included.
constexpr int kDisplayChars = 8;

// Writes the sign, the integer digits of v (v >= 0) and the point to text; returns
// how many of the display's characters they take. Digits are built from right to
// left in a scratch buffer.
int writeIntegerPart(double v, bool negative, char* text, VstInt32 maxLen) {
  char scratch[32];
  char* p = scratch + sizeof(scratch) - 1;
  *p = 0;
  *--p = '.';
  int used = negative ? 2 : 1;
  double integ = std::floor(v);
  do {
    *--p = (char)('0' + (int)std::fmod(integ, 10.0));
    integ /= 10.0;
    used++;
  } while (integ >= 1.0 && used < kDisplayChars);
  if (negative) *--p = '-';
  vst_strncpy(text, p, maxLen);
  return used;
}

// Appends the first `count` digits of the fraction of v, truncated.
void appendFraction(double v, int count, char* text, VstInt32 maxLen) {
  char fraction[32];
  char* q = fraction + sizeof(fraction) - 1;
  *q = 0;
  double mantissa = std::fmod(v, 1.0) * std::pow(10.0, count);
  for (int i = 0; i < count; i++) {
    if (mantissa <= 0.0) {
      *--q = '0';
    } else {
      *--q = (char)('0' + (int)std::fmod(mantissa, 10.0));
      mantissa /= 10.0;
    }
  }
  vst_strncat(text, q, maxLen);
}

}  // namespace

void AudioEffect::float2string(float value, char* text, VstInt32 maxLen) {
  double v = value;
  const bool negative = v < 0.0;
  if (negative) v = -v;
  // Values whose integer digits do not fit next to the point (and NaN) would lose
  // their leading digits or turn into nonsense: they read "Huge!".
  if (std::isnan(v) || (negative && v >= 1000000.0) || (!negative && v >= 10000000.0)) {
    vst_strncpy(text, "Huge!", maxLen);
    return;
  }
  const int used = writeIntegerPart(v, negative, text, maxLen);
  if (used < kDisplayChars) appendFraction(v, kDisplayChars - used, text, maxLen);
}

// Values past nine digits either way read "Huge!": a first quotient of two digits
// would otherwise come out as a character that is no digit at all.
void AudioEffect::int2string(VstInt32 value, char* text, VstInt32 maxLen) {
  if (value > 99999999 || value < -999999999) {
    vst_strncpy(text, "Huge!", maxLen);
    return;
  }
  long long rest = value;
  if (rest < 0) {
    vst_strncpy(text, "-", maxLen);
    rest = -rest;
  } else {
    vst_strncpy(text, "", maxLen);
  }
  bool started = false;
  for (long long div = 100000000; div >= 1; div /= 10) {
    int digit = (int)(rest / div);
    rest %= div;
    if (digit != 0) started = true;
    if (started || div == 1) {
      char d[2] = {(char)('0' + digit), 0};
      vst_strncat(text, d, maxLen);
    }
  }
}
