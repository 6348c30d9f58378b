#include "tessarineprocessor.h"

#include <algorithm>

void tessarineprocessor::setBypassFade(long frames) {
  fadeFrames = std::max(frames, 0L);
  fadeSettled = false;
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
  if (!crossed && !fading()) {
    if (first) renderChannel(inputs[0], outputs[0], frames, replacing);
    if (second) renderChannel(inputs[1], outputs[1], frames, replacing);
    return;
  }
  processInChunks(inputs, outputs, frames, crossed, replacing);
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
    if (fadeFrames > 0)
      wetFrames = wetTarget ? std::min(wetFrames + n, fadeFrames) : std::max(wetFrames - n, 0L);
    done += n;
  }
}

void tessarineprocessor::renderChannel(const float* in, float* out, long frames, bool replacing) {
  if (fading()) {
    renderFade(in, out, frames, replacing);
    return;
  }
  const bool shaped = fadeFrames > 0 ? wetFrames == fadeFrames : !bypassed;
  if (shaped)
    shape(weightCache.weights, in, out, frames, replacing);
  else
    shaperPassThrough(in, out, frames, replacing);
}

// The shaped and the dry signal mixed with a gain that moves one frame at a time
// along a smoothstep (3t² - 2t³): no step in level and none in its slope at either
// end. Where the gain has arrived, the sample is exactly the shaped or the dry one,
// so the first block after the fade matches a block that never faded.
void tessarineprocessor::renderFade(const float* in, float* out, long frames, bool replacing) {
  shape(weightCache.weights, in, wet, frames, true);
  long position = wetFrames;
  const float scale = 1.0f / (float)fadeFrames;
  for (long i = 0; i < frames; i++) {
    if (wetTarget ? position < fadeFrames : position > 0) position += wetTarget ? 1 : -1;
    const float dry = in[i];
    float mixed;
    if (position == fadeFrames)
      mixed = wet[i];
    else if (position == 0)
      mixed = dry;
    else {
      const float t = (float)position * scale;
      mixed = dry + t * t * (3.0f - 2.0f * t) * (wet[i] - dry);
    }
    out[i] = replacing ? mixed : mixed + out[i];
  }
}
