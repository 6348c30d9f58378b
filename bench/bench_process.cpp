// Stereo processReplacing through the plug-in's own record, for each build of the
// shaping loop (forced in turn) and for a reference: the plain per-sample loop
// that computes the weights every block, as the processor did before it was
// vectorised. Prints Google Benchmark's table (the median of each case's
// repetitions), then a summary of the best time per channel-sample of each case
// and its speed-up over the reference at the same block length, all from this
// one run. Then "+tessarine HQ" at 1x, 2x, 4x and 8x (DC filter and limit on) beside
// the described plug-in with the shaping loop the CPU chooses.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "aeffectx.h"
#include "shaper.h"
#include "tessarine.h"
#include "tessarinehq.h"

namespace {

constexpr const char* kReference = "reference";
constexpr int kBlockLengths[] = {32, 64, 512, 4096};

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  // 0 answers every pin query with "connected", so resume() makes the effect stereo.
  return opcode == audioMasterVersion ? 2400 : 0;
}

// The processor as it was: the literal scalar loop with the weights read through
// a reference, and the six power functions every block.
class referenceeffect : public tessarine {
 public:
  using tessarine::tessarine;

  void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override {
    Weights w;
    w.one = weightOf(getParameter(0));
    w.two = weightOf(getParameter(1));
    w.three = weightOf(getParameter(2));
    w.four = weightOf(getParameter(3));
    w.five = weightOf(getParameter(4));
    w.seven = weightOf(getParameter(5));
    float gainSum = w.one + w.two + w.three + w.four + w.five + w.seven;
    w.gain = gainSum != 0.0f ? 1.0f / gainSum : 0.0f;
    shape(w, inputs[0], outputs[0], sampleFrames, true);
    if (getChannelMode() == 1) shape(w, inputs[1], outputs[1], sampleFrames, true);
  }

 private:
  struct Weights {
    float one, two, three, four, five, seven, gain;
  };

  static float weightOf(float value) {
    return (float)std::pow(10.0, (double)(value * 3.0f - 3.0f));
  }

  static void shape(const Weights& w, const float* in, float* out, long frames, bool replacing) {
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
};

struct alignas(64) AlignedBlock {
  float samples[16];
};

// "hq-4x" and its kind: "+tessarine HQ" at that factor, DC filter and clamp on, with
// the shaping loop the CPU chooses; 0 for every other case.
int hqFactor(const std::string& variant) {
  return variant.rfind("hq-", 0) == 0 ? std::atoi(variant.c_str() + 3) : 0;
}

void processBlocks(benchmark::State& state, const std::string& variant) {
  const long frames = state.range(0);
  const bool reference = variant == kReference;
  const int factor = hqFactor(variant);
  if (!reference && !factor && !shaperForce(variant.c_str())) {
    state.SkipWithError("not supported on this CPU");
    return;
  }

  std::unique_ptr<AudioEffect> effect(reference ? new referenceeffect(hostCallback)
                                      : factor  ? new tessarinehq(hostCallback)
                                                : createEffectInstance(hostCallback));
  AEffect* record = effect->getAeffect();
  if (factor)
    record->setParameter(record, tessarinehq::kParamOversampling, tessarinehq::valueOf(factor));
  record->dispatcher(record, effMainsChanged, 0, 1, nullptr, 0.0f);
  // The 2nd, 3rd and 5th harmonics added to the fundamental.
  const float setting[kNumParams] = {1.0f, 0.8f, 0.7f, 0.0f, 0.5f, 0.0f};
  for (VstInt32 i = 0; i < kNumParams; i++) record->setParameter(record, i, setting[i]);

  // Four channel buffers, each starting on a cache line as a host's usually do, so
  // that the figures do not depend on where the allocator happens to put them.
  const long stride = (frames + 15) / 16 * 16;
  std::vector<AlignedBlock> storage((size_t)(4 * stride / 16));
  float* channel[4];
  for (int c = 0; c < 4; c++) channel[c] = storage[(size_t)(c * stride / 16)].samples;
  std::mt19937 random(7);
  std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
  for (long i = 0; i < frames; i++) {
    channel[0][i] = sample(random);
    channel[1][i] = sample(random);
  }
  float* inputs[2] = {channel[0], channel[1]};
  float* outputs[2] = {channel[2], channel[3]};

  for (auto _ : state) {
    record->processReplacing(record, inputs, outputs, (VstInt32)frames);
    benchmark::ClobberMemory();
  }
  benchmark::DoNotOptimize(outputs[0]);
  benchmark::DoNotOptimize(outputs[1]);

  // Seconds per channel-sample, shown with an SI prefix ("n" for nanoseconds).
  state.counters["per_sample"] = benchmark::Counter(
      2.0 * frames, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.SetItemsProcessed(state.iterations() * 2 * frames);
  record->dispatcher(record, effMainsChanged, 0, 0, nullptr, 0.0f);
  shaperForce(nullptr);
}

// Shows the median of each case's repetitions, and keeps the fastest repetition
// (in CPU time) in nanoseconds per channel-sample for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  SummaryReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    std::vector<Run> shown;
    for (const Run& run : runs) {
      if (run.error_occurred || run.repetitions <= 1 || run.aggregate_name == "median")
        shown.push_back(run);
    }
    if (!shown.empty()) ConsoleReporter::ReportRuns(shown);
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      // Names are "process/<variant>/<frames>" (plus repetition suffixes).
      std::string name = run.benchmark_name();
      size_t first = name.find('/');
      size_t second = name.find('/', first + 1);
      std::string variant = name.substr(first + 1, second - first - 1);
      long frames = std::stol(name.substr(second + 1));
      // Thread CPU time: another process taking the core away (this machine is
      // shared with builds) does not count against a case.
      double seconds = run.cpu_accumulated_time / (double)run.iterations;
      double nsPerSample = seconds * 1e9 / (2.0 * frames);
      auto key = std::make_pair(frames, variant);
      auto found = best_.find(key);
      if (found == best_.end() || nsPerSample < found->second) best_[key] = nsPerSample;
    }
  }

  // The best time of each case against the reference's (speed-up over it).
  void printSummary(const std::vector<std::string>& variants) const {
    std::printf("\nBest repetition, CPU ns per channel-sample (speed-up over %s):\n", kReference);
    printTable(variants, kReference, true);
  }

  // Each HQ case against the described plug-in with the loop the CPU chooses.
  void printHqSummary(const std::vector<std::string>& hq, const std::string& described) const {
    std::printf("\n+tessarine HQ (DC filter and limit on), CPU ns per channel-sample (times %s):\n",
                described.c_str());
    printTable(hq, described, false);
  }

 private:
  // A row per block length, a column per case: its best time and its ratio to the
  // base case's, base / case when `speedUp`, case / base otherwise.
  void printTable(const std::vector<std::string>& cases, const std::string& base,
                  bool speedUp) const {
    std::printf("%8s", "frames");
    for (const std::string& variant : cases) std::printf(" %18s", variant.c_str());
    std::printf("\n");
    for (int frames : kBlockLengths) {
      std::printf("%8d", frames);
      const auto baseTime = best_.find({frames, base});
      for (const std::string& variant : cases) {
        const auto found = best_.find({frames, variant});
        char cell[40] = "-";
        if (found != best_.end() && baseTime == best_.end())
          std::snprintf(cell, sizeof(cell), "%.3f", found->second);
        else if (found != best_.end())
          std::snprintf(cell, sizeof(cell), "%.3f (%.1fx)", found->second,
                        speedUp ? baseTime->second / found->second : found->second / baseTime->second);
        std::printf(" %18s", cell);
      }
      std::printf("\n");
    }
  }

  std::map<std::pair<long, std::string>, double> best_;
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> variants = {kReference};
  for (const ShaperVariant& variant : shaperVariants()) variants.push_back(variant.name);
  const std::string described = shaperActive().name;
  const std::vector<std::string> hq = {"hq-1x", "hq-2x", "hq-4x", "hq-8x"};

  // Block length by block length, the reference first, so that every ratio
  // compares measurements taken close together.
  for (int frames : kBlockLengths) {
    std::vector<std::string> cases = variants;
    cases.insert(cases.end(), hq.begin(), hq.end());
    for (const std::string& variant : cases) {
      benchmark::RegisterBenchmark(("process/" + variant).c_str(), processBlocks, variant)
          ->Arg(frames)
          ->Unit(benchmark::kNanosecond)
          ->Repetitions(5)
          ->MinTime(0.05);
    }
  }

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.printSummary(variants);
  reporter.printHqSummary(hq, described);
  benchmark::Shutdown();
  return 0;
}
