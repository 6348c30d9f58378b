// tessarine-host render: processes a file through the plug-in, measures what the
// plug-in did to a test sine and, with --plot, draws the spectrum of the result.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "audiofile.h"
#include "blockrender.h"
#include "commands.h"
#include "errors.h"
#include "harmonics.h"
#include "pluginhost.h"
#include "progress.h"
#include "settings.h"
#include "spectrumplot.h"
#include "textformat.h"

namespace {

constexpr int kHarmonicCount = 7;

std::string dcText(double dc) {
  return strprintf("DC offset: %.6g (%s dBFS)", dc, dbText(dc).c_str());
}

// Measures the harmonics once for the table and the picture, which therefore show
// the same numbers.
std::vector<HarmonicMark> harmonicMarks(const HarmonicLevels& levels, double fundamental) {
  std::vector<HarmonicMark> marks;
  for (int n = 1; n <= int(levels.amplitudes.size()); ++n) {
    const double amplitude = levels.amplitudes[size_t(n - 1)];
    marks.push_back({n, n * fundamental, amplitude,
                     amplitude == kAboveNyquist ? "above Nyquist" : dbText(amplitude)});
  }
  return marks;
}

void printHarmonics(const HarmonicLevels& levels, const std::vector<HarmonicMark>& marks,
                    double fundamental) {
  if (marks.empty()) {
    std::printf("Output too short to measure after the plug-in's latency.\n");
    return;
  }
  std::printf("Output channel 1, harmonics of %.3f Hz:\n", fundamental);
  TextTable table({"harmonic", "frequency", "dBFS", "dBc"}, {false, true, true, true});
  const double reference = marks.front().amplitude;
  for (const HarmonicMark& mark : marks) {
    const bool measured = mark.amplitude != kAboveNyquist;
    const std::string dbc = !measured         ? ""
                            : reference > 0.0 ? dbText(mark.amplitude / reference)
                                              : "-";
    table.addRow(
        {strprintf("H%d", mark.number), strprintf("%.3f Hz", mark.frequency), mark.level, dbc});
  }
  table.print(stdout, "  ");
  std::printf("  %s\n", dcText(levels.dc).c_str());
}

void printLevels(const LevelSummary& levels) {
  std::printf("Output channel 1:\n");
  TextTable table({"", "linear", "dBFS"}, {false, true, true});
  table.addRow({"peak", strprintf("%.6f", levels.peak), dbText(levels.peak)});
  table.addRow({"RMS", strprintf("%.6f", levels.rms), dbText(levels.rms)});
  table.addRow({"DC", strprintf("%.6f", levels.dc), dbText(levels.dc)});
  table.print(stdout, "  ");
}

// Prints what was measured of output channel 1 and fills in the picture's marks
// and notes from the same numbers.
void analyse(const AudioBuffer& input, const AudioBuffer& output, size_t delay,
             SpectrumPicture& picture) {
  const std::vector<float>& channel = output.channels.front();
  const SineEstimate sine = estimateSine(input.channels.front(), input.sampleRate);
  if (sine.isSine) {
    std::printf("Input: sine at %.3f Hz, %s dBFS\n", sine.frequency,
                dbText(sine.amplitude).c_str());
    const HarmonicLevels levels =
        measureHarmonics(channel, output.sampleRate, sine.frequency, kHarmonicCount, delay);
    picture.harmonics = harmonicMarks(levels, sine.frequency);
    printHarmonics(levels, picture.harmonics, sine.frequency);
    picture.notes.push_back(strprintf("output channel 1, input a sine at %.3f Hz", sine.frequency));
    if (!picture.harmonics.empty()) picture.notes.push_back(dcText(levels.dc));
  } else {
    std::printf("Input: not a sine (%s), so harmonics are not measured\n", sine.verdict.c_str());
    const LevelSummary levels = summarizeLevels(channel);
    printLevels(levels);
    picture.notes.push_back(strprintf("output channel 1, average of %zu windows of %zu samples",
                                      picture.spectrum.windows, picture.spectrum.windowLength));
    picture.notes.push_back(dcText(levels.dc));
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
  // Unwritable paths fail here, before the render.
  OutputFile outputFile(options.outputPath);
  std::optional<OutputFile> plotFile;
  if (!options.plotPath.empty()) plotFile.emplace(options.plotPath);

  host.resume();
  const size_t delay = size_t(std::max(0, host.record().initialDelay));
  RenderProgress progress(input.frames(), input.sampleRate);
  const AudioBuffer output =
      renderInBlocks(host, input, options.blockSize, [&](size_t done) { progress.update(done); });
  progress.finish();
  host.suspend();
  SpectrumPicture picture;
  if (plotFile) {
    picture.notes = describeSetting(host, options.pluginPath);
    // Before anything is written: output too short to draw fails the command whole.
    picture.spectrum = averageSpectrum(output.channels.front(), output.sampleRate, delay);
    picture.sampleRate = output.sampleRate;
  }
  outputFile.commit(output);

  const std::string product = host.productString();
  std::printf("Rendered %zu frames (%zu channel%s, %d Hz) through %s into %s\n", output.frames(),
              output.channels.size(), output.channels.size() == 1 ? "" : "s", output.sampleRate,
              product.empty() ? options.pluginPath.c_str() : product.c_str(),
              options.outputPath.c_str());
  warnAboutNonFinite(output);
  analyse(input, output, delay, picture);
  if (!plotFile) return;
  drawSpectrum(picture, options.pictureWidth, options.pictureHeight, *plotFile, options.plotPath);
  std::printf("Drew the spectrum of output channel 1 into %s\n", options.plotPath.c_str());
}
