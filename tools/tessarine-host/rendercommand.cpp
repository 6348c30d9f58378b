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
#include "spectrum.h"
#include "spectrumplot.h"
#include "textformat.h"

namespace {

constexpr int kHarmonicCount = 7;

std::string dcText(double dc) {
  return strprintf("DC offset: %.6g (%s dBFS)", dc, dbText(dc).c_str());
}

// The harmonics above `first` that were measured on its line.
std::vector<int> sharing(const HarmonicLevels& levels, int first) {
  std::vector<int> numbers;
  for (int n = first + 1; n <= int(levels.lines.size()); ++n)
    if (levels.lines[size_t(n - 1)].sharedWith == first) numbers.push_back(n);
  return numbers;
}

std::string harmonicName(const HarmonicLevels& levels, int n) {
  return "H" + std::to_string(n) + (levels.lines[size_t(n - 1)].aboveNyquist ? "\u2193" : "");
}

// One mark per line the harmonics lie on, named after all of them. The table and
// the picture show the same measurement, hence the same numbers.
std::vector<HarmonicMark> harmonicMarks(const HarmonicLevels& levels) {
  std::vector<HarmonicMark> marks;
  for (int n = 1; n <= int(levels.lines.size()); ++n) {
    const HarmonicLine& line = levels.lines[size_t(n - 1)];
    if (line.sharedWith != 0) continue;
    HarmonicMark mark{harmonicName(levels, n), line.folded, levels.amplitudes[size_t(n - 1)],
                      dbText(levels.amplitudes[size_t(n - 1)]), line.aboveNyquist};
    for (int other : sharing(levels, n)) {
      mark.name += "+" + harmonicName(levels, other);
      mark.folded = mark.folded || levels.lines[size_t(other - 1)].aboveNyquist;
    }
    marks.push_back(mark);
  }
  return marks;
}

// What the frequency column alone does not say: where a folded harmonic came from,
// and which harmonics were measured as one line.
std::string lineNote(const HarmonicLevels& levels, int n) {
  const HarmonicLine& line = levels.lines[size_t(n - 1)];
  std::vector<std::string> parts;
  if (line.aboveNyquist) parts.push_back(strprintf("folded from %.3f Hz", line.frequency));
  if (line.sharedWith == kSharedWithDc) {
    parts.push_back("onto the DC offset");
  } else if (line.sharedWith > 0) {
    parts.push_back(strprintf("onto H%d's line", line.sharedWith));
  } else {
    if (line.atNyquist) parts.push_back("at half the rate: its cosine part only");
    std::string others;
    for (int other : sharing(levels, n))
      others += (others.empty() ? "H" : ", H") + std::to_string(other);
    if (!others.empty()) parts.push_back("line shared with " + others);
  }
  std::string note;
  for (const std::string& part : parts) note += (note.empty() ? "" : ", ") + part;
  return note;
}

void printHarmonics(const HarmonicLevels& levels, double fundamental) {
  if (levels.amplitudes.empty()) {
    std::printf("Output too short to measure after the plug-in's latency.\n");
    return;
  }
  std::printf("Output channel 1, harmonics of %.3f Hz:\n", fundamental);
  TextTable table({"harmonic", "frequency", "dBFS", "dBc", ""}, {false, true, true, true, false});
  const double reference = levels.amplitudes.front();
  for (int n = 1; n <= int(levels.lines.size()); ++n) {
    const HarmonicLine& line = levels.lines[size_t(n - 1)];
    const double amplitude = levels.amplitudes[size_t(n - 1)];
    // A shared line's level is printed once, beside the first harmonic on it.
    const std::string seeAlso = line.sharedWith == kSharedWithDc ? "(DC)"
                                : line.sharedWith > 0 ? strprintf("(H%d)", line.sharedWith)
                                                      : "";
    const std::string dbfs = seeAlso.empty() ? dbText(amplitude) : seeAlso;
    const std::string dbc = !seeAlso.empty()  ? seeAlso
                            : reference > 0.0 ? dbText(amplitude / reference)
                                              : "-";
    table.addRow(
        {strprintf("H%d", n), strprintf("%.3f Hz", line.folded), dbfs, dbc, lineNote(levels, n)});
  }
  table.print(stdout, "  ");
  std::printf("  %s\n", dcText(levels.dc).c_str());
}

// The strongest line that is no in-band harmonic: a folded harmonic that lands away
// from them is one, as are intermodulation and noise.
std::string otherLineText(const std::vector<float>& channel, int sampleRate, size_t delay,
                          double fundamental, double reference) {
  const double high = std::min(20000.0, sampleRate / 2.0);
  const SpectralLine line = strongestOtherLine(channel, sampleRate, delay, fundamental, 20.0, high);
  std::string text = strprintf("Strongest other line 20 Hz - %g kHz: ", high / 1000.0);
  if (line.amplitude <= 0.0) return text + "none";
  return text + strprintf("%.1f Hz, %s dBFS, %s dBc", line.frequency,
                          dbText(line.amplitude).c_str(),
                          reference > 0.0 ? dbText(line.amplitude / reference).c_str() : "-");
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
    picture.harmonics = harmonicMarks(levels);
    printHarmonics(levels, sine.frequency);
    picture.notes.push_back(strprintf("output channel 1, input a sine at %.3f Hz", sine.frequency));
    if (levels.amplitudes.empty()) return;
    const std::string otherLine =
        otherLineText(channel, output.sampleRate, delay, sine.frequency, levels.amplitudes.front());
    std::printf("  %s\n", otherLine.c_str());
    picture.notes.push_back(dcText(levels.dc));
    picture.notes.push_back(otherLine);
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
