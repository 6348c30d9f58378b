// The sound of the plug-in: every sample passes through the weighted sum of the
// Chebyshev polynomials T1..T5 and T7, normalised by the sum of the weights.
// All per-sample arithmetic is single precision, in exactly the order written.

#include <cmath>

#include "tessarine.h"

namespace {

// A parameter value v stands for the linear amplitude 10^(3v - 3).
float weightOf(float value) { return (float)std::pow(10.0, (double)(value * 3.0f - 3.0f)); }

// Bypass copies (or adds) the input unchanged.
void passThrough(const float* in, float* out, long frames, bool replacing) {
  for (long i = 0; i < frames; i++) {
    if (replacing)
      out[i] = in[i];
    else
      out[i] += in[i];
  }
}

struct Weights {
  float one, two, three, four, five, seven, gain;
};

void shape(const Weights& w, const float* in, float* out, long frames, bool replacing) {
  for (long i = 0; i < frames; i++) {
    float inputSample = in[i];
    float square = inputSample * inputSample;
    float poly1 = inputSample;
    float poly2 = (square + square) - 1.0f;
    float poly3 = (square * 4.0f - 3.0f) * inputSample;
    float poly4 = (square * 8.0f - 8.0f) * square + 1.0f;
    float poly5 = ((square * 16.0f - 20.0f) * square + 5.0f) * inputSample;
    float poly7 = (((square * 64.0f - 112.0f) * square + 56.0f) * square - 7.0f) * inputSample;
    float outputSample = w.one * poly1 + w.two * poly2 + w.three * poly3 + w.four * poly4 +
                         w.five * poly5 + w.seven * poly7;
    outputSample = outputSample * w.gain;
    if (replacing)
      out[i] = outputSample;
    else
      out[i] += outputSample;
  }
}

}  // namespace

void tessarine::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
  processActual(inputs, outputs, sampleFrames, true);
}

void tessarine::process(float** inputs, float** outputs, VstInt32 sampleFrames) {
  processActual(inputs, outputs, sampleFrames, false);
}

void tessarine::resume() { channelMode = isInputConnected(1) ? 1 : 0; }

void tessarine::processActual(float** inputs, float** outputs, long sampleframes,
                              bool replacing) {
  // A host that hands over no buffers gets nothing written; a missing second
  // channel is treated as an unconnected one.
  if (!inputs || !outputs || !inputs[0] || !outputs[0]) return;
  const float* in1 = inputs[0];
  float* out1 = outputs[0];
  const float* in2 = inputs[1];
  float* out2 = outputs[1];
  bool stereo = channelMode == 1 && in2 && out2;
  long frames = sampleframes > 0 ? sampleframes : 0;

  if (bypass.load(std::memory_order_relaxed)) {
    passThrough(in1, out1, frames, replacing);
    if (stereo) passThrough(in2, out2, frames, replacing);
    return;
  }

  Weights w;
  w.one = weightOf(dbOne.load(std::memory_order_relaxed));
  w.two = weightOf(dbTwo.load(std::memory_order_relaxed));
  w.three = weightOf(dbThree.load(std::memory_order_relaxed));
  w.four = weightOf(dbFour.load(std::memory_order_relaxed));
  w.five = weightOf(dbFive.load(std::memory_order_relaxed));
  w.seven = weightOf(dbSeven.load(std::memory_order_relaxed));
  float gainSum = w.one + w.two + w.three + w.four + w.five + w.seven;
  gain = gainSum != 0.0f ? 1.0f / gainSum : 0.0f;
  w.gain = gain;

  // Channel by channel rather than interleaved: every sample is still read before
  // its own output is written, so in-place processing gives the same result.
  shape(w, in1, out1, frames, replacing);
  if (stereo) shape(w, in2, out2, frames, replacing);
}
