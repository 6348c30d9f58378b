#include "tessarineprocessor.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace {

#if defined(__x86_64__)
// Denormal numbers (a tail decaying towards silence through the filters) cost the
// CPU a hundred times a normal operation; the HQ chain flushes them to zero. The
// plain curve keeps the described arithmetic and never runs under this.
class FlushDenormals {
 public:
  FlushDenormals() : saved(_mm_getcsr()) { _mm_setcsr(saved | kFlushToZero | kDenormalsAreZero); }
  ~FlushDenormals() { _mm_setcsr(saved); }

 private:
  static constexpr unsigned kFlushToZero = 0x8000, kDenormalsAreZero = 0x0040;
  unsigned saved;
};
#else
struct FlushDenormals {};
#endif

// Whether no sample is infinite or NaN (all exponent bits set), as one vectorisable
// pass of integer operations.
bool allFinite(const float* samples, long n) {
  std::uint32_t exponents = 0;
  for (long i = 0; i < n; i++) {
    std::uint32_t bits;
    std::memcpy(&bits, &samples[i], sizeof(bits));
    exponents |= (bits & 0x7f800000u) == 0x7f800000u ? 1u : 0u;
  }
  return exponents == 0;
}

// Holds samples within +-1; NaN stays NaN (and is caught after the chunk).
void clampToUnit(float* samples, long n) {
  for (long i = 0; i < n; i++) samples[i] = std::min(std::max(samples[i], -1.0f), 1.0f);
}

}  // namespace

void tessarineprocessor::setBypassFade(long frames) {
  fadeFrames = std::max(frames, 0L);
  fadeSettled = false;
}

void tessarineprocessor::setSampleRate(double rate) {
  for (tessarinedcfilter& filter : dcFilters) filter.setSampleRate(rate);
}

void tessarineprocessor::reset() {
  fadeSettled = false;
  resetChannel(0);
  resetChannel(1);
}

void tessarineprocessor::resetChannel(int channel) {
  oversamplers[channel].reset();
  dcFilters[channel].reset();
  delayLines[channel] = DelayLine();
  poisoned[channel] = false;
}

void tessarineprocessor::setQuality(int factor, bool newDcFilter, bool newLimit) {
  if (factor != getFactor()) {
    for (int channel = 0; channel < 2; channel++) {
      oversamplers[channel].setFactor(factor);
      resetChannel(channel);
    }
  }
  if (newDcFilter && !dcFilter) {
    dcFilters[0].reset();
    dcFilters[1].reset();
  }
  dcFilter = newDcFilter;
  limit = newLimit;
}

void tessarineprocessor::process(const float* const inputs[2], float* const outputs[2],
                                 long frames, bool bypass, bool replacing) {
  if (frames <= 0) return;
  shape = shaperActive().shape;
  bypassed = bypass;
  wetTarget = !bypass;
  if (!fadeSettled) {
    wetFrames = wetTarget ? fadeFrames : 0;
    fadeSettled = true;
  }
  const bool first = inputs[0] && outputs[0];
  const bool second = inputs[1] && outputs[1];
  // Channel 1's output on channel 2's input: written straight away, it would be
  // what channel 2 reads. Every other way of sharing is safe channel by channel,
  // since each sample is read before its own output is written.
  const bool crossed = first && second && outputs[0] == inputs[1];
  if (!hq()) {
    if (!crossed && !fading()) {
      if (first) renderChannel(inputs[0], outputs[0], frames, replacing);
      if (second) renderChannel(inputs[1], outputs[1], frames, replacing);
      return;
    }
    processInChunks(inputs, outputs, frames, crossed, replacing);
    return;
  }
  {
    FlushDenormals flush;
    processHqInChunks(inputs, outputs, frames, replacing);
  }
  for (int channel = 0; channel < 2; channel++)
    if (poisoned[channel]) resetChannel(channel);
}

void tessarineprocessor::advanceFade(long frames) {
  if (fadeFrames > 0)
    wetFrames = wetTarget ? std::min(wetFrames + frames, fadeFrames) : std::max(wetFrames - frames, 0L);
}

void tessarineprocessor::processInChunks(const float* const inputs[2], float* const outputs[2],
                                         long frames, bool crossed, bool replacing) {
  for (long done = 0; done < frames;) {
    const long n = std::min(kChunkFrames, frames - done);
    if (inputs[0] && outputs[0]) {
      if (crossed)
        renderChannel(inputs[0] + done, hold, n, true);
      else
        renderChannel(inputs[0] + done, outputs[0] + done, n, replacing);
    }
    if (inputs[1] && outputs[1]) renderChannel(inputs[1] + done, outputs[1] + done, n, replacing);
    if (crossed) shaperPassThrough(hold, outputs[0] + done, n, replacing);
    advanceFade(n);
    done += n;
  }
}

void tessarineprocessor::renderChannel(const float* in, float* out, long frames, bool replacing) {
  if (fading()) {
    shape(weightCache.weights, in, wet[0], frames, true);
    mixFade(in, wet[0], out, frames, replacing);
  } else if (shapedNow()) {
    shape(weightCache.weights, in, out, frames, replacing);
  } else {
    shaperPassThrough(in, out, frames, replacing);
  }
}

// Both channels' inputs are taken in before either output is written, so every way
// the host shares buffers between them is safe.
void tessarineprocessor::processHqInChunks(const float* const inputs[2], float* const outputs[2],
                                           long frames, bool replacing) {
  const bool active[2] = {inputs[0] && outputs[0], inputs[1] && outputs[1]};
  for (long done = 0; done < frames;) {
    const long n = std::min(kChunkFrames, frames - done);
    for (int channel = 0; channel < 2; channel++)
      if (active[channel]) renderHq(channel, inputs[channel] + done, n);
    if (dcFilter) {
      if (active[0] && active[1])
        tessarinedcfilter::processPair(dcFilters[0], wet[0], dcFilters[1], wet[1], n);
      else
        for (int channel = 0; channel < 2; channel++)
          if (active[channel]) dcFilters[channel].process(wet[channel], n);
    }
    for (int channel = 0; channel < 2; channel++) {
      if (!active[channel]) continue;
      // Taking away the offset moves a signal bounded by +-1 by as much as the
      // offset was: the output is held within +-1 too.
      if (limit) clampToUnit(wet[channel], n);
      if (!allFinite(wet[channel], n)) poisoned[channel] = true;
      float* out = outputs[channel] + done;
      if (fading())
        mixFade(dry[channel], wet[channel], out, n, replacing);
      else
        shaperPassThrough(shapedNow() ? wet[channel] : dry[channel], out, n, replacing);
    }
    advanceFade(n);
    done += n;
  }
}

// Fills wet[channel] with the chain's output for the chunk up to the DC filter, and
// dry[channel] with the input delayed by the same latency. The chain runs while
// bypassed too, so that its filters hold the recent signal when the bypass ends.
void tessarineprocessor::renderHq(int channel, const float* in, long frames) {
  delayLines[channel].process(in, dry[channel], frames, getLatency());
  tessarineoversampler& oversampler = oversamplers[channel];
  float* up = oversampler.upsample(in, frames);
  const long points = frames * oversampler.getFactor();
  // The clamp acts on the points the curve sees: a signal clamped before the
  // interpolation would overshoot again between its samples (by up to a tenth for
  // a clipped sine), where T7 turns 1.1 into 17.
  if (limit) clampToUnit(up, points);
  shape(weightCache.weights, up, up, points, true);
  oversampler.downsample(wet[channel], frames);
}

void tessarineprocessor::DelayLine::process(const float* in, float* out, long n, long delay) {
  std::memcpy(line + delay, in, (size_t)n * sizeof(float));
  std::memcpy(out, line, (size_t)n * sizeof(float));
  std::memmove(line, line + n, (size_t)delay * sizeof(float));
}

// The shaped and the dry signal mixed with a gain that moves one frame at a time
// along a smoothstep (3t² - 2t³): no step in level and none in its slope at either
// end. Where the gain has arrived, the sample is exactly the shaped or the dry one,
// so the first block after the fade matches a block that never faded.
void tessarineprocessor::mixFade(const float* dryIn, const float* shaped, float* out, long frames,
                                 bool replacing) {
  long position = wetFrames;
  const float scale = 1.0f / (float)fadeFrames;
  for (long i = 0; i < frames; i++) {
    if (wetTarget ? position < fadeFrames : position > 0) position += wetTarget ? 1 : -1;
    const float plain = dryIn[i];
    float mixed;
    if (position == fadeFrames)
      mixed = shaped[i];
    else if (position == 0)
      mixed = plain;
    else {
      const float t = (float)position * scale;
      mixed = plain + t * t * (3.0f - 2.0f * t) * (shaped[i] - plain);
    }
    out[i] = replacing ? mixed : mixed + out[i];
  }
}
