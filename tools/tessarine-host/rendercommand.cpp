// tessarine-host render: processes a file through the plug-in and measures
// what the plug-in did to a test sine.

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "audiofile.h"
#include "blockrender.h"
#include "commands.h"
#include "errors.h"
#include "harmonics.h"
#include "pluginhost.h"
#include "settings.h"
#include "textformat.h"

namespace {

constexpr int kHarmonicCount = 7;

void checkCanProcess(const PluginHost& host, const std::string& path) {
  if (!host.record().processReplacing)
    throw HostError("plug-in '" + path + "' has no processReplacing function");
  if (host.record().numOutputs < 1) throw HostError("plug-in '" + path + "' has no audio outputs");
}

// Two decimals, without the "-0.00" that rounding a tiny negative value gives.
std::string dbText(double linear) {
  const double db = toDb(linear);
  return strprintf("%.2f", std::fabs(db) < 0.005 ? 0.0 : db);
}

void printHarmonics(const std::vector<float>& output, int sampleRate, double fundamental,
                    size_t delay) {
  const HarmonicLevels levels =
      measureHarmonics(output, sampleRate, fundamental, kHarmonicCount, delay);
  if (levels.amplitudes.empty()) {
    std::printf("Output too short to measure after the plug-in's latency.\n");
    return;
  }
  std::printf("Output channel 1, harmonics of %.3f Hz:\n", fundamental);
  TextTable table({"harmonic", "frequency", "dBFS", "dBc"}, {false, true, true, true});
  const double reference = levels.amplitudes.front();
  for (int n = 1; n <= kHarmonicCount; ++n) {
    const double amplitude = levels.amplitudes[size_t(n - 1)];
    const std::string frequency = strprintf("%.3f Hz", n * fundamental);
    if (amplitude == kAboveNyquist) {
      table.addRow({strprintf("H%d", n), frequency, "above Nyquist", ""});
      continue;
    }
    const std::string dbc = reference > 0.0 ? dbText(amplitude / reference) : "-";
    table.addRow({strprintf("H%d", n), frequency, dbText(amplitude), dbc});
  }
  table.print(stdout, "  ");
  std::printf("  DC offset: %.6g (%s dBFS)\n", levels.dc, dbText(levels.dc).c_str());
}

void printLevels(const std::vector<float>& output) {
  const LevelSummary levels = summarizeLevels(output);
  std::printf("Output channel 1:\n");
  TextTable table({"", "linear", "dBFS"}, {false, true, true});
  table.addRow({"peak", strprintf("%.6f", levels.peak), dbText(levels.peak)});
  table.addRow({"RMS", strprintf("%.6f", levels.rms), dbText(levels.rms)});
  table.addRow({"DC", strprintf("%.6f", levels.dc), dbText(levels.dc)});
  table.print(stdout, "  ");
}

void printAnalysis(const AudioBuffer& input, const AudioBuffer& output, size_t delay) {
  const SineEstimate sine = estimateSine(input.channels.front(), input.sampleRate);
  if (sine.isSine) {
    std::printf("Input: sine at %.3f Hz, %s dBFS\n", sine.frequency,
                dbText(sine.amplitude).c_str());
    printHarmonics(output.channels.front(), output.sampleRate, sine.frequency, delay);
  } else {
    std::printf("Input: not a sine (%s), so harmonics are not measured\n", sine.verdict.c_str());
    printLevels(output.channels.front());
  }
}

void warnAboutNonFinite(const AudioBuffer& output) {
  size_t bad = 0;
  for (const auto& channel : output.channels)
    for (float s : channel) bad += std::isfinite(s) ? 0 : 1;
  if (bad > 0)
    std::fprintf(stderr, "tessarine-host: warning: the plug-in produced %zu non-finite samples\n",
                 bad);
}

}  // namespace

void runRender(const Options& options) {
  const AudioBuffer input =
      options.inputPath.empty() ? makeTestSine() : readAudioFile(options.inputPath);
  PluginHost host(options.pluginPath,
                  HostSettings{input.sampleRate, options.blockSize, options.mono});
  checkCanProcess(host, options.pluginPath);
  applySettings(host, options);
  OutputFile outputFile(options.outputPath);
  host.resume();
  const size_t delay = size_t(std::max(0, host.record().initialDelay));
  const AudioBuffer output = renderInBlocks(host, input, options.blockSize);
  host.suspend();
  outputFile.commit(output);
  const std::string product = host.productString();
  std::printf("Rendered %zu frames (%zu channel%s, %d Hz) through %s into %s\n", output.frames(),
              output.channels.size(), output.channels.size() == 1 ? "" : "s", output.sampleRate,
              product.empty() ? options.pluginPath.c_str() : product.c_str(),
              options.outputPath.c_str());
  warnAboutNonFinite(output);
  printAnalysis(input, output, delay);
}
