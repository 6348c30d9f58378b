#include "tessarinelv2.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "lv2ports.h"
#include "tessarineprocessor.h"

namespace {

// One instance: the host's port buffers, the last accepted harmonic values and
// the weights computed from them.
struct tessarinelv2 {
  const float* harmonics[kPortHarmonicCount] = {};
  const float* enabled = nullptr;
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
  tessarineprocessor processor;
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

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const*) {
  tessarinelv2* self = new (std::nothrow) tessarinelv2();
  if (!self) return nullptr;
  // A rate that is no rate (a hostile host's) gets the fade of 48 kHz.
  if (!(rate >= 1.0 && rate <= 1e7)) rate = 48000.0;
  self->processor.setBypassFade(std::max(1L, std::lround(rate * kBypassFadeSeconds)));
  return self;
}

// A new start: the first block takes the bypass state at once.
void activate(LV2_Handle handle) {
  static_cast<tessarinelv2*>(handle)->processor.reset();
}

void connectPort(LV2_Handle handle, uint32_t port, void* data) {
  tessarinelv2* self = static_cast<tessarinelv2*>(handle);
  float* buffer = static_cast<float*>(data);
  if (port < kPortHarmonicCount) {
    self->harmonics[port] = buffer;
    self->portBitsValid = false;  // the new buffer's value is read whatever it holds
  } else if (port == kPortEnabled)
    self->enabled = buffer;
  else if (port == kPortInput1 || port == kPortInput2)
    self->inputs[port - kPortInput1] = buffer;
  else if (port == kPortOutput1 || port == kPortOutput2)
    self->outputs[port - kPortOutput1] = buffer;
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
  if (self.enabled && std::isfinite(*self.enabled)) self.bypass = !(*self.enabled > 0.0f);
}

// Both channels processed, as the VST build does when the host connects both; a
// channel without both of its buffers is left alone. Any output may share its
// buffer with any input.
void run(LV2_Handle handle, uint32_t sampleCount) {
  tessarinelv2& self = *static_cast<tessarinelv2*>(handle);
  readControls(self);
  // The weights are kept ready through a bypass: the crossfade back needs them.
  self.processor.setValues(self.values);
  self.processor.process(self.inputs, self.outputs, (long)sampleCount, self.bypass, true);
}

void cleanup(LV2_Handle handle) {
  delete static_cast<tessarinelv2*>(handle);
}

const void* extensionData(const char*) {
  return nullptr;
}

const LV2_Descriptor kDescriptor = {TESSARINE_LV2_URI, instantiate, connectPort,  activate, run,
                                    nullptr,           cleanup,     extensionData};

}  // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
  return index == 0 ? &kDescriptor : nullptr;
}
