#include "tessarinelv2.h"

#include <cmath>
#include <cstring>
#include <new>

#include "lv2ports.h"
#include "shaper.h"
#include "shaperweights.h"

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
  ShaperWeightCache weightCache;
};

std::uint32_t bitsOf(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof(bits));
  return bits;
}

LV2_Handle instantiate(const LV2_Descriptor*, double, const char*, const LV2_Feature* const*) {
  return new (std::nothrow) tessarinelv2();
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
  if (self.enabled && std::isfinite(*self.enabled)) self.bypass = *self.enabled < 0.5f;
}

// Both channels processed, as the VST build does when the host connects both; a
// channel without both of its buffers is left alone. Output may be the input.
void run(LV2_Handle handle, uint32_t sampleCount) {
  tessarinelv2& self = *static_cast<tessarinelv2*>(handle);
  readControls(self);
  const long frames = (long)sampleCount;
  if (!self.bypass) self.weightCache.refresh(self.values);
  const ShaperWeights blockWeights = self.weightCache.weights;
  const ShaperFunction shape = shaperActive().shape;
  for (int channel = 0; channel < 2; channel++) {
    const float* in = self.inputs[channel];
    float* out = self.outputs[channel];
    if (!in || !out) continue;
    if (self.bypass)
      shaperPassThrough(in, out, frames, true);
    else
      shape(blockWeights, in, out, frames, true);
  }
}

void cleanup(LV2_Handle handle) {
  delete static_cast<tessarinelv2*>(handle);
}

const void* extensionData(const char*) {
  return nullptr;
}

const LV2_Descriptor kDescriptor = {TESSARINE_LV2_URI, instantiate, connectPort,  nullptr, run,
                                    nullptr,           cleanup,     extensionData};

}  // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
  return index == 0 ? &kDescriptor : nullptr;
}
