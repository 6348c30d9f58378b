#include "tessarinelv2.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "inlinedisplay.h"
#include "lv2ports.h"
#include "oversampler.h"
#include "tessarineprocessor.h"

namespace {

// One instance of either plug-in: the host's port buffers, the last accepted values
// and the processor. The described plug-in has no HQ ports and runs the plain curve.
struct tessarinelv2 {
  bool hq = false;
  const float* harmonics[kPortHarmonicCount] = {};
  const float* enabled = nullptr;
  const float* oversampling = nullptr;
  const float* dcFilter = nullptr;
  const float* limit = nullptr;
  float* latency = nullptr;
  const float* inputs[2] = {};
  float* outputs[2] = {};
  // Normalised as the VST build stores them; the first program's values until a
  // port says otherwise.
  float values[kPortHarmonicCount] = {1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
  // The bit patterns of the port values last read: a port that holds still costs
  // one comparison a block, not a division.
  std::uint32_t portBits[kPortHarmonicCount] = {};
  bool portBitsValid = false;
  bool bypass = false;
  // The HQ settings, at their defaults until a port says otherwise.
  int factor = 4;
  bool dcFilterOn = true, limitOn = true;
  tessarineprocessor processor;
  // The inline display: the values run last read, on their way to render, and the
  // host's request for a new picture (no function when the host offers none).
  CurveValueMailbox curveValues;
  InlineDisplayQueue queueDraw = {};
  bool drawRequested = false;
  InlineCurvePicture picture;  // render's alone
};

// lv2core asks for a click-free switch between processing and bypass. 10 ms of
// crossfade is short enough to feel immediate (a fade starts to be heard as a swell
// from about 20 ms) and long enough that the transition's own spectrum stays within
// about 100 Hz of each partial: the largest step it adds between two samples is
// 1.5 x 2 / 480 = 0.006 at 48 kHz, a tenth of a -6 dBFS 1 kHz sine's own.
constexpr double kBypassFadeSeconds = 0.010;

std::uint32_t bitsOf(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof(bits));
  return bits;
}

LV2_Handle instantiate(const LV2_Descriptor* descriptor, double rate, const char*,
                       const LV2_Feature* const* features) {
  tessarinelv2* self = new (std::nothrow) tessarinelv2();
  if (!self) return nullptr;
  for (const LV2_Feature* const* feature = features; feature && *feature; feature++) {
    const LV2_Feature& offered = **feature;
    if (offered.URI && offered.data && std::strcmp(offered.URI, TESSARINE_INLINE_DISPLAY_QUEUE_DRAW) == 0)
      self->queueDraw = *static_cast<const InlineDisplayQueue*>(offered.data);
  }
  self->curveValues.publish(self->values);  // a render before the first run draws these
  self->hq = descriptor && descriptor->URI && std::strcmp(descriptor->URI, TESSARINE_LV2_HQ_URI) == 0;
  // A rate that is no rate (a hostile host's) gets the fade and the filter of 48 kHz.
  if (!(rate >= 1.0 && rate <= 1e7)) rate = 48000.0;
  self->processor.setBypassFade(std::max(1L, std::lround(rate * kBypassFadeSeconds)));
  self->processor.setSampleRate(rate);
  if (self->hq) self->processor.setQuality(self->factor, self->dcFilterOn, self->limitOn);
  return self;
}

// A new start: every filter's memory cleared, the bypass state taken at once.
void activate(LV2_Handle handle) {
  static_cast<tessarinelv2*>(handle)->processor.reset();
}

void connectPort(LV2_Handle handle, uint32_t port, void* data) {
  tessarinelv2* self = static_cast<tessarinelv2*>(handle);
  float* buffer = static_cast<float*>(data);
  if (port < kPortHarmonicCount) {
    self->harmonics[port] = buffer;
    self->portBitsValid = false;  // the new buffer's value is read whatever it holds
    return;
  }
  if (port == kPortEnabled) {
    self->enabled = buffer;
    return;
  }
  const uint32_t firstAudio = self->hq ? (uint32_t)kHqPortInput1 : (uint32_t)kPortInput1;
  if (port >= firstAudio && port < firstAudio + 2)
    self->inputs[port - firstAudio] = buffer;
  else if (port >= firstAudio + 2 && port < firstAudio + 4)
    self->outputs[port - firstAudio - 2] = buffer;
  else if (!self->hq)
    return;
  else if (port == kHqPortOversampling)
    self->oversampling = buffer;
  else if (port == kHqPortDcFilter)
    self->dcFilter = buffer;
  else if (port == kHqPortLimit)
    self->limit = buffer;
  else if (port == kHqPortLatency)
    self->latency = buffer;
}

// A toggled port: lv2core's "above zero is on"; non-finite keeps the last state.
void readToggle(const float* port, bool& state) {
  if (port && std::isfinite(*port)) state = *port > 0.0f;
}

// The ports' values as the VST build's setParameter and setBypass take them: a
// non-finite value (or an unconnected port) leaves the last one in place.
void readControls(tessarinelv2& self) {
  for (uint32_t i = 0; i < kPortHarmonicCount; i++) {
    if (!self.harmonics[i]) continue;
    const float db = *self.harmonics[i];
    const std::uint32_t bits = bitsOf(db);
    if (self.portBitsValid && bits == self.portBits[i]) continue;
    self.portBits[i] = bits;
    if (std::isfinite(db)) self.values[i] = normalisedFromDb(db);
  }
  self.portBitsValid = true;
  // lv2core: greater than zero processes, zero (or less) bypasses.
  bool processing = !self.bypass;
  readToggle(self.enabled, processing);
  self.bypass = !processing;
  if (!self.hq) return;
  // The nearest of 1, 2, 4 and 8 (port ranges are only hints).
  if (self.oversampling)
    if (const int factor = tessarineoversampler::nearestFactor(*self.oversampling)) self.factor = factor;
  readToggle(self.dcFilter, self.dcFilterOn);
  readToggle(self.limit, self.limitOn);
}

// Both channels processed, as the VST build does when the host connects both; a
// channel without both of its buffers is left alone. Any output may share its
// buffer with any input.
void run(LV2_Handle handle, uint32_t sampleCount) {
  tessarinelv2& self = *static_cast<tessarinelv2*>(handle);
  readControls(self);
  if (self.hq) self.processor.setQuality(self.factor, self.dcFilterOn, self.limitOn);
  // The weights are kept ready through a bypass: the crossfade back needs them.
  self.processor.setValues(self.values);
  self.processor.process(self.inputs, self.outputs, (long)sampleCount, self.bypass, true);
  if (self.latency) *self.latency = (float)self.processor.getLatency();
  // A new picture once per change of the harmonics (and once at the start): the
  // enabled switch and the HQ settings leave the static curve as it is.
  const bool changed = self.curveValues.publish(self.values);
  if ((changed || !self.drawRequested) && self.queueDraw.queueDraw)
    self.queueDraw.queueDraw(self.queueDraw.handle);
  self.drawRequested = true;
}

void cleanup(LV2_Handle handle) {
  delete static_cast<tessarinelv2*>(handle);
}

// Off the audio thread, whenever the host wants the picture.
InlineDisplayImage* renderInline(LV2_Handle handle, uint32_t w, uint32_t h) {
  tessarinelv2& self = *static_cast<tessarinelv2*>(handle);
  return self.picture.render(self.curveValues, w, h);
}

const InlineDisplayInterface kInlineDisplay = {renderInline};

const void* extensionData(const char* uri) {
  if (uri && std::strcmp(uri, TESSARINE_INLINE_DISPLAY_INTERFACE) == 0) return &kInlineDisplay;
  return nullptr;
}

const LV2_Descriptor kDescriptors[] = {
    {TESSARINE_LV2_URI, instantiate, connectPort, activate, run, nullptr, cleanup, extensionData},
    {TESSARINE_LV2_HQ_URI, instantiate, connectPort, activate, run, nullptr, cleanup, extensionData},
};

}  // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
  return index < sizeof(kDescriptors) / sizeof(kDescriptors[0]) ? &kDescriptors[index] : nullptr;
}
