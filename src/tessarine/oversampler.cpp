#include "oversampler.h"

#include <cmath>
#include <cstring>

namespace {

// The stages, from the plug-in's rate up. Each one's stop band begins where the
// images of a 20 kHz tone at 44.1 kHz would fall (24.1 kHz, then 64.1 and 152.3 kHz),
// its pass band reaches 20 kHz (24.1 kHz for the higher stages, which must also pass
// the first one's transition band). Lengths and windows were chosen with
// bench/hqquality, which measures the aliasing they leave.
struct StageDesign {
  int pairs;
  double beta;
};
constexpr StageDesign kStages[3] = {{40, 11.5}, {9, 12.75}, {5, 11.25}};

const HalfbandDesign& stageDesign(int stage) {
  // Made once per process, on whichever thread creates the first oversampler.
  static const HalfbandDesign designs[3] = {designHalfband(kStages[0].pairs, kStages[0].beta),
                                            designHalfband(kStages[1].pairs, kStages[1].beta),
                                            designHalfband(kStages[2].pairs, kStages[2].beta)};
  return designs[stage];
}

}  // namespace

tessarineoversampler::tessarineoversampler() {
  setFactor(1);
}

int tessarineoversampler::validFactor(int requested) {
  return requested >= 6 ? 8 : requested >= 3 ? 4 : requested >= 2 ? 2 : 1;
}

int tessarineoversampler::nearestFactor(float requested) {
  if (!std::isfinite(requested)) return 0;
  return validFactor((int)std::lround(std::fmin(std::fmax(requested, 0.0f), 64.0f)));
}

namespace {

int stagesOf(int factor) {
  return factor == 8 ? 3 : factor == 4 ? 2 : factor == 2 ? 1 : 0;
}

// The delay of each stage, up and down, counted in frames at the highest rate, and
// what the last stage down adds to make the total a whole frame at the lowest. A
// stage of K pairs delays by 2K - 1 frames of its higher rate each way.
long topRateDelay(int factor) {
  long total = 0;
  for (int s = 0; s < stagesOf(factor); s++)
    total += 2 * (2L * stageDesign(s).pairs - 1) * (factor >> (s + 1));
  return total;
}

int lastStageShift(int factor) {
  return (int)((factor - topRateDelay(factor) % factor) % factor);
}

}  // namespace

long tessarineoversampler::latencyOf(int requested) {
  const int factor = validFactor(requested);
  return (topRateDelay(factor) + lastStageShift(factor)) / factor;
}

void tessarineoversampler::setFactor(int requested) {
  factor = validFactor(requested);
  stages = stagesOf(factor);
  const int shift = lastStageShift(factor);
  for (int s = 0; s < stages; s++) {
    up[s].setDesign(stageDesign(s));
    down[s].setDesign(stageDesign(s), s == stages - 1 ? shift : 0);
  }
  latency = latencyOf(factor);
}

void tessarineoversampler::reset() {
  for (int s = 0; s < stages; s++) {
    up[s].reset();
    down[s].reset();
  }
}

float* tessarineoversampler::upsample(const float* in, long n) {
  if (stages == 0) {
    std::memcpy(first, in, (size_t)n * sizeof(float));
    return first;
  }
  float* buffers[2] = {first, second};
  const float* from = in;
  long frames = n;
  for (int s = 0; s < stages; s++) {
    up[s].process(from, buffers[s % 2], frames);
    from = buffers[s % 2];
    frames *= 2;
  }
  return buffers[(stages - 1) % 2];
}

void tessarineoversampler::downsample(float* out, long n) {
  if (stages == 0) {
    std::memcpy(out, first, (size_t)n * sizeof(float));
    return;
  }
  float* buffers[2] = {first, second};
  long frames = n << (stages - 1);  // output frames of the top stage
  for (int s = stages - 1; s >= 0; s--) {
    const float* from = buffers[s % 2];
    float* to = s == 0 ? out : buffers[(s + 1) % 2];
    down[s].process(from, to, frames);
    frames /= 2;
  }
}
