#include "tessarinehq.h"

#include <cmath>
#include <cstdio>

#include "oversampler.h"
#include "tessarinehqeditor.h"

namespace {

const char* const kSettingNames[] = {"Oversampling", "DC filter", "Limit"};

bool switchedOn(float value) {
  return value >= 0.5f;
}

}  // namespace

tessarinehq::tessarinehq(audioMasterCallback audioMaster) : tessarine(audioMaster, kNumHqParams) {
  setUniqueID(CCONST('+', 't', 's', 'h'));
  setInitialDelay((VstInt32)tessarineoversampler::latencyOf(factorOf(oversampling.load())));
  editor = new tessarinehqeditor(this);
}

int tessarinehq::factorOf(float value) {
  const float steps = std::fmin(std::fmax(value, 0.0f), 1.0f) * 3.0f;
  return 1 << (int)std::lround(steps);
}

float tessarinehq::valueOf(int factor) {
  return factor >= 8 ? 1.0f : factor >= 4 ? 2.0f / 3.0f : factor >= 2 ? 1.0f / 3.0f : 0.0f;
}

float tessarinehq::defaultOf(VstInt32 index) {
  return index == kParamOversampling ? valueOf(4) : 1.0f;
}

std::atomic<float>* tessarinehq::settingValue(VstInt32 index) {
  switch (index) {
    case kParamOversampling: return &oversampling;
    case kParamDcFilter: return &dcFilterOn;
    case kParamLimit: return &limitOn;
    default: return nullptr;
  }
}

// A new factor changes the latency: the record's initialDelay follows at once and
// the host is told (audioMasterIOChanged) on the thread that set the value, which
// under automation may be the audio thread (the request is the host's to answer
// there, as every plug-in's is).
void tessarinehq::setParameter(VstInt32 index, float value) {
  std::atomic<float>* setting = settingValue(index);
  if (!setting) {
    tessarine::setParameter(index, value);
    return;
  }
  if (!std::isfinite(value)) return;
  const float before = setting->exchange(value);
  if (index == kParamOversampling && factorOf(before) != factorOf(value)) {
    publishLatency();
    ioChanged();
  }
  if (editor) static_cast<tessarineeditor*>(editor)->setParameter(long(index), value);
}

// Two threads may set the factor at once: each stores the delay of the factor in
// force and looks again, until what it stored is the latest factor's. The last
// store therefore always matches the factor that stays.
void tessarinehq::publishLatency() {
  for (;;) {
    const int factor = factorOf(oversampling.load());
    const VstInt32 delay = (VstInt32)tessarineoversampler::latencyOf(factor);
    __atomic_store_n(&cEffect.initialDelay, delay, __ATOMIC_SEQ_CST);
    if (factorOf(oversampling.load()) == factor) return;
  }
}

float tessarinehq::getParameter(VstInt32 index) {
  if (std::atomic<float>* setting = settingValue(index)) return setting->load(std::memory_order_relaxed);
  return tessarine::getParameter(index);
}

void tessarinehq::getParameterLabel(VstInt32 index, char* label) {
  if (settingValue(index))
    vst_strncpy(label, "", kVstMaxParamStrLen);
  else
    tessarine::getParameterLabel(index, label);
}

void tessarinehq::getParameterDisplay(VstInt32 index, char* text) {
  std::atomic<float>* setting = settingValue(index);
  if (!setting) {
    tessarine::getParameterDisplay(index, text);
    return;
  }
  const float value = setting->load(std::memory_order_relaxed);
  if (index == kParamOversampling) {
    char factor[16];
    std::snprintf(factor, sizeof(factor), "%dx", factorOf(value));
    vst_strncpy(text, factor, kVstMaxParamStrLen);
  } else {
    vst_strncpy(text, switchedOn(value) ? "on" : "off", kVstMaxParamStrLen);
  }
}

// Cut to the host's limit for parameter texts like every other name ("Oversamp",
// "DC filte"); LV2 hosts get the whole names from the Turtle description.
void tessarinehq::getParameterName(VstInt32 index, char* label) {
  if (settingValue(index))
    vst_strncpy(label, kSettingNames[index - kParamOversampling], kVstMaxParamStrLen);
  else
    tessarine::getParameterName(index, label);
}

bool tessarinehq::getProductString(char* text) {
  vst_strncpy(text, "+tessarine HQ", kVstMaxProductStrLen);
  return true;
}

void tessarinehq::qualitySettings(int& factor, bool& dcFilter, bool& limit) {
  factor = factorOf(oversampling.load(std::memory_order_relaxed));
  dcFilter = switchedOn(dcFilterOn.load(std::memory_order_relaxed));
  limit = switchedOn(limitOn.load(std::memory_order_relaxed));
}
