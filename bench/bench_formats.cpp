// The two formats on the same data: the VST build's processReplacing through its
// record and the LV2 build's run through its descriptor, stereo, at the same
// harmonic levels (in dB for LV2, normalised for VST), with the instruction set
// chosen as in a host. Both should cost the same within a few per cent.

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "aeffectx.h"
#include "lv2ports.h"
#include "tessarine.h"
#include "tessarinelv2.h"

namespace {

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;  // every pin connected: stereo
}

// The 2nd, 3rd and 5th harmonics added to the fundamental.
constexpr float kLevelsDb[kPortHarmonicCount] = {0.0f, -12.0f, -18.0f, -60.0f, -30.0f, -60.0f};

struct Buffers {
  explicit Buffers(long frames) : in1(frames), in2(frames), out1(frames), out2(frames) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
    for (long i = 0; i < frames; i++) in1[i] = sample(random), in2[i] = sample(random);
  }
  std::vector<float> in1, in2, out1, out2;
};

void perSample(benchmark::State& state, long frames) {
  state.SetItemsProcessed(state.iterations() * 2 * frames);
}

void vstProcessReplacing(benchmark::State& state) {
  const long frames = state.range(0);
  Buffers data(frames);
  tessarine effect(hostCallback);
  AEffect* record = effect.getAeffect();
  record->dispatcher(record, effMainsChanged, 0, 1, nullptr, 0.0f);
  for (VstInt32 i = 0; i < kNumParams; i++) record->setParameter(record, i, normalisedFromDb(kLevelsDb[i]));
  float* inputs[2] = {data.in1.data(), data.in2.data()};
  float* outputs[2] = {data.out1.data(), data.out2.data()};
  for (auto _ : state) {
    record->processReplacing(record, inputs, outputs, (VstInt32)frames);
    benchmark::ClobberMemory();
  }
  perSample(state, frames);
}

void lv2Run(benchmark::State& state) {
  const long frames = state.range(0);
  Buffers data(frames);
  const LV2_Descriptor* descriptor = lv2_descriptor(0);
  LV2_Handle handle = descriptor->instantiate(descriptor, 48000.0, "", nullptr);
  float controls[kPortHarmonicCount + 1];
  for (uint32_t i = 0; i < kPortHarmonicCount; i++) controls[i] = kLevelsDb[i];
  controls[kPortEnabled] = 1.0f;
  for (uint32_t port = 0; port <= kPortEnabled; port++) descriptor->connect_port(handle, port, &controls[port]);
  descriptor->connect_port(handle, kPortInput1, data.in1.data());
  descriptor->connect_port(handle, kPortInput2, data.in2.data());
  descriptor->connect_port(handle, kPortOutput1, data.out1.data());
  descriptor->connect_port(handle, kPortOutput2, data.out2.data());
  for (auto _ : state) {
    descriptor->run(handle, (uint32_t)frames);
    benchmark::ClobberMemory();
  }
  perSample(state, frames);
  descriptor->cleanup(handle);
}

}  // namespace

BENCHMARK(vstProcessReplacing)->Arg(32)->Arg(64)->Arg(512)->Arg(4096)->MeasureProcessCPUTime();
BENCHMARK(lv2Run)->Arg(32)->Arg(64)->Arg(512)->Arg(4096)->MeasureProcessCPUTime();
BENCHMARK_MAIN();
