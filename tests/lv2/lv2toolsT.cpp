// The bundle checked with the field's own tools, as a user or a packager checks it:
// lv2_validate on its Turtle files, lv2info's listing, the binaries' exports and
// libraries, and lv2apply's output against tessarine-host's render of the VST build.

#include <doctest/doctest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "processrunner.h"

namespace fs = std::filesystem;

namespace {

const std::string kBundle = TESSARINE_LV2_BUNDLE;
const std::string kUri = "https://quorvalin.org/plugins/tessarine";
// The build folder holds the bundle; the installed LV2 vocabulary gives lilv the
// plug-in classes.
const ProcessEnv kLv2Path = {{"LV2_PATH", fs::path(kBundle).parent_path().string() + ":/usr/lib/lv2"}};

ProcessRun run(const std::string& program, const std::vector<std::string>& args,
               const fs::path& dir, const ProcessEnv& env = {}) {
  return runProcess(program, args, dir, env);
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

size_t count(const std::string& text, const std::string& part) {
  size_t found = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) found++;
  return found;
}

std::string readText(const fs::path& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// Interleaved samples of a 32-bit float file.
std::vector<float> readSamples(const fs::path& path, int& channels) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  REQUIRE_MESSAGE(file, path);
  CHECK((info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_FLOAT);
  std::vector<float> samples(size_t(info.frames) * size_t(info.channels));
  sf_readf_float(file, samples.data(), info.frames);
  sf_close(file);
  channels = info.channels;
  return samples;
}

// A stereo sine of 997 Hz at 48 kHz, 0.5 s, full scale on the left and -6 dB on the right,
// with a few samples beyond full scale at the end.
void writeSine(const fs::path& path) {
  SF_INFO info{};
  info.samplerate = 48000;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  std::vector<float> samples;
  for (int i = 0; i < 24000; i++) {
    const double phase = 2.0 * M_PI * 997.0 * i / 48000.0;
    samples.push_back(float(std::sin(phase)));
    samples.push_back(float(0.5 * std::cos(phase)));
  }
  for (float extra : {1.5f, -1.25f, 0.0f, -0.0f}) samples.insert(samples.end(), {extra, -extra});
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  REQUIRE(file);
  sf_writef_float(file, samples.data(), sf_count_t(samples.size() / 2));
  sf_close(file);
}

struct Setting {
  const char* name;
  float db[6];
  bool enabled;
};

// Renders the sine through the bundle and through the VST build at the same values.
void compareFormats(const TempDir& dir, const Setting& setting) {
  static const char* const kSymbols[6] = {"harmonic_1", "harmonic_2", "harmonic_3",
                                          "harmonic_4", "harmonic_5", "harmonic_7"};
  std::vector<std::string> lv2 = {"-i", "sine.wav", "-o", "lv2.wav"};
  std::vector<std::string> vst = {"render", TESSARINE_PLUGIN_PATH, "sine.wav", "-o", "vst.wav"};
  for (int i = 0; i < 6; i++) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.9g", (double)setting.db[i]);
    lv2.insert(lv2.end(), {"-c", kSymbols[i], text});
    // The VST build's normalised value, formed as the processor forms it.
    const float normalised = (setting.db[i] + 60.0f) / 60.0f;
    std::snprintf(text, sizeof(text), "%d=%.9g", i, (double)normalised);
    vst.insert(vst.end(), {"--param", text});
  }
  lv2.insert(lv2.end(), {"-c", "enabled", setting.enabled ? "1" : "0", kUri});
  if (!setting.enabled) vst.push_back("--bypass");

  const ProcessRun applied = run(LV2APPLY_PATH, lv2, dir.path, kLv2Path);
  REQUIRE_MESSAGE(applied.status == 0, applied.err);
  const ProcessRun rendered = run(TESSARINE_HOST_PATH, vst, dir.path);
  REQUIRE_MESSAGE(rendered.status == 0, rendered.err);

  int lv2Channels = 0, vstChannels = 0;
  const std::vector<float> fromLv2 = readSamples(dir / "lv2.wav", lv2Channels);
  const std::vector<float> fromVst = readSamples(dir / "vst.wav", vstChannels);
  CHECK(lv2Channels == 2);
  CHECK(vstChannels == 2);
  REQUIRE(fromLv2.size() == fromVst.size());
  REQUIRE(fromLv2.size() == 2 * 24004);
  size_t differing = 0;
  for (size_t i = 0; i < fromLv2.size(); i++)
    differing += std::memcmp(&fromLv2[i], &fromVst[i], sizeof(float)) != 0;
  CHECK(differing == 0);
}

}  // namespace

TEST_CASE("lv2_validate finds neither errors nor warnings in the bundle's Turtle files") {
  const ProcessRun validated =
      run(LV2_VALIDATE_PATH, {kBundle + "/manifest.ttl", kBundle + "/tessarine.ttl"}, kBundle);
  INFO(validated.out << validated.err);
  CHECK(validated.status == 0);
  CHECK(contains(validated.err + validated.out, "Found 0 errors"));
  CHECK_FALSE(contains(validated.err + validated.out, "warning"));
  CHECK_FALSE(contains(validated.err + validated.out, "error:"));
}

TEST_CASE("lv2info lists the plug-in, its ports with ranges, units and defaults, and its interface") {
  TempDir dir;
  const ProcessRun info = run(LV2INFO_PATH, {kUri}, dir.path, kLv2Path);
  REQUIRE_MESSAGE(info.status == 0, info.err);
  // With -p it writes the plug-in's description instead, units included.
  REQUIRE(run(LV2INFO_PATH, {"-p", "description.ttl", kUri}, dir.path, kLv2Path).status == 0);
  const std::string& listing = info.out;
  INFO(listing);
  CHECK(contains(listing, "Name:              +tessarine"));
  CHECK(contains(listing, "Class:             Waveshaper Plugin"));
  CHECK(contains(listing, "Author:            Quorvalin"));
  CHECK(contains(listing, "Has latency:       no"));
  CHECK(contains(listing, "tessarine.lv2/tessarine_dsp.so"));
  CHECK(contains(listing, kUri + "#ui"));
  CHECK(contains(listing, "Class:  http://lv2plug.in/ns/extensions/ui#X11UI"));
  CHECK(contains(listing, "tessarine.lv2/tessarine_ui.so"));
  CHECK(contains(listing, "Optional Features: http://lv2plug.in/ns/lv2core#hardRTCapable"));
  for (const char* symbol : {"harmonic_1", "harmonic_2", "harmonic_3", "harmonic_4", "harmonic_5",
                             "harmonic_7", "enabled", "in_1", "in_2", "out_1", "out_2"})
    CHECK(contains(listing, std::string("Symbol:      ") + symbol + "\n"));
  CHECK(count(listing, "Port ") == 11);
  CHECK(count(listing, "Minimum:     -60.000000") == 6);
  CHECK(count(listing, "Maximum:     0.000000") == 6);
  CHECK(count(listing, "Default:     0.000000") == 1);
  CHECK(count(listing, "Default:     -60.000000") == 5);
  CHECK(contains(listing, "Designation: http://lv2plug.in/ns/lv2core#enabled"));
  CHECK(contains(listing, "http://lv2plug.in/ns/lv2core#toggled"));
  CHECK(count(listing, "AudioPort") == 4);
  CHECK_FALSE(contains(listing, "latency\n"));
  CHECK(count(readText(dir / "description.ttl"),
              "<http://lv2plug.in/ns/extensions/units#unit> <http://lv2plug.in/ns/extensions/units#db>") == 6);
}

TEST_CASE("each binary exports only its descriptor; the processor needs neither X11 nor Cairo") {
  const struct {
    const char* file;
    const char* symbol;
  } binaries[] = {{"tessarine_dsp.so", "lv2_descriptor"}, {"tessarine_ui.so", "lv2ui_descriptor"}};
  for (const auto& binary : binaries) {
    const ProcessRun symbols = run(NM_PATH, {"-D", "--defined-only", binary.file}, kBundle);
    REQUIRE(symbols.status == 0);
    CHECK(count(symbols.out, "\n") == 1);
    CHECK(contains(symbols.out, std::string(" T ") + binary.symbol + "\n"));
  }
  const ProcessRun needed = run(OBJDUMP_PATH, {"-p", "tessarine_dsp.so"}, kBundle);
  REQUIRE(needed.status == 0);
  CHECK(contains(needed.out, "NEEDED"));
  for (const char* library : {"libX11", "libcairo", "libXcursor", "libstdc++"})
    CHECK_MESSAGE(!contains(needed.out, library), library);
}

TEST_CASE("lv2apply through the bundle gives the VST build's output bits") {
  TempDir dir;
  writeSine(dir / "sine.wav");
  const Setting settings[] = {
      {"defaults", {0, -60, -60, -60, -60, -60}, true},
      {"all harmonics at 0 dB", {0, 0, 0, 0, 0, 0}, true},
      {"2nd harmonic only", {-60, 0, -60, -60, -60, -60}, true},
      {"in between", {-3.5f, -20, -41.25f, -7, -59.9f, -13.3f}, true},
      {"enabled off", {0, 0, -10, -60, -60, -60}, false},
  };
  for (const Setting& setting : settings) {
    INFO(std::string(setting.name));
    compareFormats(dir, setting);
  }
}
