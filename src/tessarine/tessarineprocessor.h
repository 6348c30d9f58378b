#pragma once
// The processing of one block, shared by every plug-in format: the weights of the
// six harmonic values, the bypass (instant, or crossfaded over a set length),
// buffers that the host may have connected crosswise, and the HQ chain
// (oversampling around the curve, the curve's input and the output held within +-1,
// DC high-pass, the dry signal delayed by the same latency). A format's entry only
// turns its own ports or parameters into values and calls process once a block.
//
// With the factor 1, the DC filter and the clamp off, the processing is the plain
// curve of the described plug-in, bit for bit.

#include "dcfilter.h"
#include "oversampler.h"
#include "shaper.h"
#include "shaperweights.h"

class tessarineprocessor {
 public:
  // Frames processed at a time where a block needs scratch space (crossed buffers,
  // a crossfade, the HQ chain); a block of any length is processed in pieces.
  static constexpr long kChunkFrames = tessarineoversampler::kMaxFrames;

  // The length of the crossfade between the shaped and the dry signal when the
  // bypass changes; 0 (the default) switches at once.
  void setBypassFade(long frames);
  // The rate the DC filter is designed for; clears the filter state.
  void setSampleRate(double rate);
  // A new start (resume, activate): every filter's memory is cleared and the next
  // block takes its bypass state at once, without a crossfade.
  void reset();

  // The HQ settings for the next block: oversampling factor (1, 2, 4, 8), DC
  // filter, clamp of the input to +-1. A change of factor clears the state.
  void setQuality(int factor, bool dcFilter, bool limit);
  int getFactor() const { return oversamplers[0].getFactor(); }
  // The delay of the output behind the input, in frames, bypassed or not.
  long getLatency() const { return oversamplers[0].getLatency(); }

  // The weights for these normalised values, computed again only when one differs.
  void setValues(const float values[kShaperHarmonics]) { weightCache.refresh(values); }
  bool hasWeights() const { return weightCache.valid; }
  const ShaperWeights& getWeights() const { return weightCache.weights; }

  // Processes the channels whose input and output are both given (either may be
  // null), storing the result when `replacing` and adding it to the output
  // otherwise. Every output is computed from its own input as the host handed it
  // over, whatever buffers the host shares between inputs and outputs. Allocates
  // nothing, locks nothing, makes no system call.
  void process(const float* const inputs[2], float* const outputs[2], long frames, bool bypass,
               bool replacing);

 private:
  // The dry signal of the HQ chain, delayed by its latency: the last `delay` inputs,
  // then the chunk.
  struct DelayLine {
    static constexpr long kHistory = 256;  // above every latency
    float line[kHistory + kChunkFrames] = {};
    void process(const float* in, float* out, long n, long delay);
  };

  bool hq() const { return getFactor() > 1 || dcFilter || limit; }
  bool fading() const { return fadeFrames > 0 && wetFrames != (wetTarget ? fadeFrames : 0); }
  bool shapedNow() const { return fadeFrames > 0 ? wetFrames == fadeFrames : !bypassed; }
  void advanceFade(long frames);
  void processInChunks(const float* const inputs[2], float* const outputs[2], long frames,
                       bool crossed, bool replacing);
  void renderChannel(const float* in, float* out, long frames, bool replacing);
  void processHqInChunks(const float* const inputs[2], float* const outputs[2], long frames,
                         bool replacing);
  void renderHq(int channel, const float* in, long frames);
  void mixFade(const float* dry, const float* shaped, float* out, long frames, bool replacing);
  void resetChannel(int channel);

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
  // The HQ chain, one per channel; a channel whose output turned non-finite starts
  // afresh after the block.
  bool dcFilter = false, limit = false;
  tessarineoversampler oversamplers[2];
  tessarinedcfilter dcFilters[2];
  DelayLine delayLines[2];
  bool poisoned[2] = {};
  // Scratch: channel 1's result while channel 2 still reads the buffer it goes to,
  // and each channel's shaped signal and dry one of a chunk.
  float hold[kChunkFrames];
  float wet[2][kChunkFrames];
  float dry[2][kChunkFrames];
};
