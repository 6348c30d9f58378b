#pragma once
// The processing of one block, shared by every plug-in format: the weights of the
// six harmonic values, the bypass (instant, or crossfaded over a set length), and
// buffers that the host may have connected crosswise. A format's entry only turns
// its own ports or parameters into values and calls process once a block.

#include "shaper.h"
#include "shaperweights.h"

class tessarineprocessor {
 public:
  // Frames processed at a time where a block needs scratch space (crossed buffers,
  // a crossfade); a block of any length is processed in pieces of this size.
  static constexpr long kChunkFrames = 256;

  // The length of the crossfade between the shaped and the dry signal when the
  // bypass changes; 0 (the default) switches at once.
  void setBypassFade(long frames);
  // The next block takes its bypass state at once, without a crossfade (a new start).
  void reset() { fadeSettled = false; }

  // The weights for these normalised values, computed again only when one differs.
  void setValues(const float values[kShaperHarmonics]) { weightCache.refresh(values); }
  bool hasWeights() const { return weightCache.valid; }
  const ShaperWeights& getWeights() const { return weightCache.weights; }

  // Processes the channels whose input and output are both given (either may be
  // null), storing the result when `replacing` and adding it to the output
  // otherwise. Every output is computed from its own input as the host handed it
  // over, whatever buffers the host shares between inputs and outputs. Allocates
  // nothing, locks nothing.
  void process(const float* const inputs[2], float* const outputs[2], long frames, bool bypass,
               bool replacing);

 private:
  bool fading() const { return fadeFrames > 0 && wetFrames != (wetTarget ? fadeFrames : 0); }
  void renderChannel(const float* in, float* out, long frames, bool replacing);
  void renderFade(const float* in, float* out, long frames, bool replacing);
  void processInChunks(const float* const inputs[2], float* const outputs[2], long frames,
                       bool crossed, bool replacing);

  ShaperWeightCache weightCache;
  // The block's state, set at the start of process.
  ShaperFunction shape = nullptr;
  bool bypassed = false;
  // The crossfade: wetFrames counts from 0 (dry) to fadeFrames (shaped), one step a
  // frame towards wetTarget.
  long fadeFrames = 0;
  long wetFrames = 0;
  bool wetTarget = true;
  bool fadeSettled = false;
  // Scratch: channel 1's result while channel 2 still reads the buffer it goes to,
  // and the shaped signal of a crossfade.
  float hold[kChunkFrames];
  float wet[kChunkFrames];
};
