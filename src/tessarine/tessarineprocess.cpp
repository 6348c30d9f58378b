// The sound of the plug-in: every sample passes through the weighted sum of the
// Chebyshev polynomials T1..T5 and T7, normalised by the sum of the weights.
// All per-sample arithmetic is single precision, in exactly the order written in
// the plain loop of shaper.cpp; the vector builds of that loop give the same bits.

#include "shaper.h"
#include "shaperweights.h"
#include "tessarine.h"

void tessarine::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
  processActual(inputs, outputs, sampleFrames, true);
}

void tessarine::process(float** inputs, float** outputs, VstInt32 sampleFrames) {
  processActual(inputs, outputs, sampleFrames, false);
}

void tessarine::resume() {
  channelMode = isInputConnected(1) ? 1 : 0;
}

// The weights of the live values, computed again only when one changed.
void tessarine::refreshWeights() {
  float values[kNumParams];
  // Mid-switch (after a few tries) the last block's weights, which came from one
  // program, serve one block more.
  if (!loadLiveValues(values) && weightCache.valid) return;
  weightCache.refresh(values);
}

// The six live values as one set: either all from before a program switch or all
// from after it. Never waits: a switch that overlaps every attempt makes it answer
// false with the values of the last attempt.
bool tessarine::loadLiveValues(float values[kNumParams]) const {
  constexpr int kAttempts = 4;
  for (int attempt = 0; attempt < kAttempts; attempt++) {
    const std::uint32_t before = programSwitches.load(std::memory_order_acquire);
    // Acquire loads: the second look at the counter cannot move before them, and a
    // value of a switch in progress brings that switch's mark with it. Plain loads
    // on x86.
    values[0] = dbOne.load(std::memory_order_acquire);
    values[1] = dbTwo.load(std::memory_order_acquire);
    values[2] = dbThree.load(std::memory_order_acquire);
    values[3] = dbFour.load(std::memory_order_acquire);
    values[4] = dbFive.load(std::memory_order_acquire);
    values[5] = dbSeven.load(std::memory_order_acquire);
    const std::uint32_t after = programSwitches.load(std::memory_order_relaxed);
    if (before == after && (before & (kProgramSwitchDone - 1)) == 0) return true;
  }
  return false;
}

void tessarine::processActual(float** inputs, float** outputs, long sampleframes, bool replacing) {
  // A host that hands over no buffers gets nothing written; a missing second
  // channel is treated as an unconnected one.
  if (!inputs || !outputs || !inputs[0] || !outputs[0]) return;
  const float* in1 = inputs[0];
  float* out1 = outputs[0];
  // The second entries are read only when both channels are processed: a host
  // that connects one channel may hand over one-entry arrays.
  const bool twoChannels = channelMode == 1;
  const float* in2 = twoChannels ? inputs[1] : nullptr;
  float* out2 = twoChannels ? outputs[1] : nullptr;
  const bool stereo = in2 && out2;
  long frames = sampleframes > 0 ? sampleframes : 0;

  if (bypass.load(std::memory_order_relaxed)) {
    shaperPassThrough(in1, out1, frames, replacing);
    if (stereo) shaperPassThrough(in2, out2, frames, replacing);
    return;
  }

  refreshWeights();
  gain = weightCache.weights.gain;

  // Channel by channel rather than interleaved: every sample is still read before
  // its own output is written, so in-place processing gives the same result.
  const ShaperWeights blockWeights = weightCache.weights;
  const ShaperFunction shape = shaperActive().shape;
  shape(blockWeights, in1, out1, frames, replacing);
  if (stereo) shape(blockWeights, in2, out2, frames, replacing);
}
