// The sound of the plug-in: every sample passes through the weighted sum of the
// Chebyshev polynomials T1..T5 and T7, normalised by the sum of the weights.
// All per-sample arithmetic is single precision, in exactly the order written in
// the plain loop of shaper.cpp; the vector builds of that loop give the same bits.

#include "tessarine.h"

void tessarine::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
  processActual(inputs, outputs, sampleFrames, true);
}

void tessarine::process(float** inputs, float** outputs, VstInt32 sampleFrames) {
  processActual(inputs, outputs, sampleFrames, false);
}

// Audio is stopped: the HQ chain starts afresh, its high-pass designed for the rate.
void tessarine::resume() {
  channelMode = isInputConnected(1) ? 1 : 0;
  processor.setSampleRate(getSampleRate());
  processor.reset();
}

// The weights of the live values, computed again only when one changed.
void tessarine::refreshWeights() {
  float values[kNumParams];
  // Mid-switch (after a few tries) the last block's weights, which came from one
  // program, serve one block more.
  if (!loadLiveValues(values) && processor.hasWeights()) return;
  processor.setValues(values);
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
  const long frames = sampleframes > 0 ? sampleframes : 0;

  int factor = 1;
  bool dcFilter = false, limit = false;
  qualitySettings(factor, dcFilter, limit);
  processor.setQuality(factor, dcFilter, limit);
  // The soft bypass switches at once. The plain curve needs no weights while
  // bypassed; the HQ chain runs on through a bypass and does.
  const bool bypassed = bypass.load(std::memory_order_relaxed);
  if (!bypassed || factor > 1 || dcFilter || limit) {
    refreshWeights();
    gain = processor.getWeights().gain;
  }
  const float* const channelInputs[2] = {in1, stereo ? in2 : nullptr};
  float* const channelOutputs[2] = {out1, stereo ? out2 : nullptr};
  processor.process(channelInputs, channelOutputs, frames, bypassed, replacing);
}
