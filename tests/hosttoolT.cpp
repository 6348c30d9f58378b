// tessarine-host run as a user runs it, against a fake plug-in of exactly known output
// (fakeplugin.cpp) and against tessarine itself.

#include <cairo.h>
#include <doctest/doctest.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "plotlayout.h"
#include "processrunner.h"

namespace fs = std::filesystem;

namespace {

const std::string kHost = TESSARINE_HOST_PATH;
const std::string kFake = FAKE_PLUGIN_PATH;
const std::string kFakeWithoutEntry = FAKE_NOENTRY_PATH;
constexpr double kPi = 3.14159265358979323846;

// Runs tessarine-host in dir, with extra environment variables.
ProcessRun runHost(const std::vector<std::string>& args, const fs::path& dir,
                   const ProcessEnv& env = {}) {
  return runProcess(kHost, args, dir, env);
}

// Runs tessarine-host in dir and requires it to succeed.
ProcessRun runOk(const std::vector<std::string>& args, const fs::path& dir,
                 const ProcessEnv& env = {}) {
  ProcessRun run = runHost(args, dir, env);
  REQUIRE_MESSAGE(run.status == 0, run.err);
  return run;
}

struct Audio {
  int rate = 48000;
  int channels = 1;
  std::vector<float> samples;  // interleaved
  size_t frames() const { return samples.size() / size_t(channels); }
};

Audio sine(int rate, int channels, double frequency, double amplitude, size_t frames) {
  Audio audio{rate, channels, {}};
  for (size_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      audio.samples.push_back(
          float(amplitude / (c + 1) * std::sin(2.0 * kPi * frequency * double(i) / rate)));
  return audio;
}

void writeAudio(const fs::path& path, const Audio& audio,
                int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT) {
  SF_INFO info{};
  info.samplerate = audio.rate;
  info.channels = audio.channels;
  info.format = format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  REQUIRE(file);
  sf_writef_float(file, audio.samples.data(), sf_count_t(audio.frames()));
  sf_close(file);
}

Audio readAudio(const fs::path& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  REQUIRE_MESSAGE(file, path);
  Audio audio{info.samplerate, info.channels,
              std::vector<float>(size_t(info.frames) * size_t(info.channels))};
  sf_readf_float(file, audio.samples.data(), info.frames);
  sf_close(file);
  return audio;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) result.push_back(line);
  return result;
}

std::vector<std::string> fileLines(const fs::path& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return lines(text.str());
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The row of harmonic n in render's table, split into words.
std::vector<std::string> harmonicRow(const std::string& out, int n) {
  for (const auto& line : lines(out)) {
    std::istringstream words(line);
    std::vector<std::string> row;
    for (std::string word; words >> word;) row.push_back(word);
    if (!row.empty() && row[0] == "H" + std::to_string(n)) return row;
  }
  return {};
}

// What render notes beside harmonic n: where it folded from, which line it shares.
std::string harmonicNote(const std::string& out, int n) {
  const std::vector<std::string> row = harmonicRow(out, n);
  std::string note;
  for (size_t i = 5; i < row.size(); ++i) note += (note.empty() ? "" : " ") + row[i];
  return note;
}

// The dBFS (column 3) or dBc (column 4) reading of harmonic n.
double harmonicDb(const std::string& out, int n, size_t column = 3) {
  const std::vector<std::string> row = harmonicRow(out, n);
  return row.size() > column ? std::stod(row[column]) : NAN;
}

// render's line on the strongest line that is no harmonic; NAN fields when it is missing.
struct OtherLine {
  std::string band;  // its upper end, "20 kHz" or half a lower rate
  double hz = NAN, dbfs = NAN, dbc = NAN;
};

OtherLine otherLine(const std::string& out) {
  OtherLine line;
  const std::string lead = "Strongest other line 20 Hz - ";
  const size_t at = out.find(lead);
  if (at == std::string::npos) return line;
  const std::string rest = out.substr(at + lead.size());
  line.band = rest.substr(0, rest.find(':'));
  std::sscanf(rest.c_str() + line.band.size(), ": %lf Hz, %lf dBFS, %lf dBc", &line.hz, &line.dbfs,
              &line.dbc);
  return line;
}

// A PNG file read back, as 0xRRGGBB pixels.
struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> rgb;
  uint32_t at(int x, int y) const { return rgb[size_t(y) * size_t(width) + size_t(x)]; }
};

Picture readPng(const fs::path& path) {
  cairo_surface_t* surface = cairo_image_surface_create_from_png(path.c_str());
  REQUIRE_MESSAGE(cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS, path);
  Picture picture{
      cairo_image_surface_get_width(surface), cairo_image_surface_get_height(surface), {}};
  const unsigned char* data = cairo_image_surface_get_data(surface);
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x)
      picture.rgb.push_back(
          reinterpret_cast<const uint32_t*>(data + y * cairo_image_surface_get_stride(surface))[x] &
          0xffffff);
  cairo_surface_destroy(surface);
  return picture;
}

// Close enough to colour to be it, drawn with antialiased edges over white or grey.
bool near(uint32_t pixel, uint32_t colour) {
  for (int shift : {0, 8, 16})
    if (std::abs(int(pixel >> shift & 0xff) - int(colour >> shift & 0xff)) > 80) return false;
  return true;
}

// The middle, in device coordinates, of the pixels of colour in the column at x; NAN if none.
double rowOf(const Picture& picture, double x, uint32_t colour) {
  double sum = 0.0;
  int count = 0;
  for (int y = 0; y < picture.height; ++y)
    if (near(picture.at(int(x), y), colour)) sum += y + 0.5, ++count;
  return count ? sum / count : NAN;
}

}  // namespace

TEST_CASE("failures: one line naming the problem, status 2 or 1, nothing written") {
  TempDir dir;
  writeAudio(dir / "quad.wav", sine(48000, 4, 1000.0, 0.5, 480));
  writeAudio(dir / "in.wav", sine(48000, 1, 1000.0, 0.5, 480));
  std::ofstream(dir / "text.wav") << "RIFF? no, just text\n";
  std::ofstream(dir / "notes.so") << "not a shared object\n";
  const std::string missing = (dir / "missing.so").string(), notes = (dir / "notes.so").string();
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string mention;
    std::string fakeMode = "";  // for the plug-in failures, whose path the message quotes
  };
  const std::vector<Case> cases = {
      {{"frobnicate", kFake}, 2, "unknown command 'frobnicate'"},
      {{"info"}, 2, "no plug-in given"},
      {{"info", kFake, "--block", "4"}, 2, "unknown option '--block'"},
      {{"render", kFake, "--loud"}, 2, "unknown option '--loud'"},
      {{"render", kFake, "--block"}, 2, "--block needs a value"},
      {{"render", kFake, "--block", "12x"}, 2, "--block expects an integer, got '12x'"},
      {{"render", kFake, "--block", "0"}, 2, "--block must be between 1 and 65536"},
      {{"render", kFake, "--block=65537"}, 2, "--block must be between 1 and 65536"},
      {{"render", kFake, "--program", "1.5"}, 2, "--program expects an integer"},
      {{"render", kFake, "--param", "1"}, 2, "--param expects INDEX=VALUE, got '1'"},
      {{"render", kFake, "--param", "x=0.5"}, 2, "--param INDEX expects an integer"},
      {{"render", kFake, "--param", "0=loud"}, 2, "finite number"},
      {{"render", kFake, "--param", "0=nan"}, 2, "finite number"},
      {{"render", kFake, "--param", "0=1.5"}, 2, "between 0 and 1"},
      {{"render", kFake, "--bypass=1"}, 2, "--bypass takes no value"},
      {{"render", kFake, "in.wav", "more.wav"}, 2, "unexpected argument 'more.wav'"},
      {{"info", missing}, 1, "No such file", "-"},
      {{"info", notes}, 1, "cannot load plug-in", "-"},
      {{"info", kFakeWithoutEntry}, 1, "exports no VSTPluginMain", "-"},
      {{"info", kFake}, 1, "VSTPluginMain returned no effect", "null"},
      {{"render", kFake, "-o", "out.wav"}, 1, "magic 0x4E6F7065", "badmagic"},
      {{"render", kFake, "-o", "out.wav"}, 1, "no processReplacing", "noprocess"},
      {{"render", kFake, "absent.wav"}, 1, "cannot read input 'absent.wav': No such file"},
      {{"render", kFake, "text.wav"}, 1, "input 'text.wav' is not an audio file"},
      {{"render", kFake, "quad.wav"}, 1, "has 4 channels"},
      {{"render", kFake, "in.wav", "--param", "2=0.5"}, 1, "parameter index 2 is out of range"},
      {{"render", kFake, "in.wav", "--param", "-1=0.5"}, 1, "parameter index -1 is out of range"},
      {{"render", kFake, "in.wav", "--program", "3"}, 1, "program 3 is out of range"},
      {{"render", kFake, "in.wav", "--program", "-1"}, 1, "program -1 is out of range"},
      {{"render", kFake, "in.wav", "-o", "nowhere/out.wav"},
       1,
       "cannot write output 'nowhere/out.wav'"},
      {{"render", kFake, "in.wav", "-o", "."}, 1, "cannot write output '.'"},
      {{"curve", kFake}, 2, "no image file given"},
      {{"curve", kFake, "c.png", "--size", "0x0"}, 2, "--size must be WIDTHxHEIGHT"},
      {{"render", kFake, "--plot", "s.png", "--size=100000x100000"}, 2, "--size must be"},
      {{"render", kFake, "--size", "400x300"}, 2, "no --plot given"},
      {{"curve", kFake, "c.png", "--range", "0"}, 2, "--range expects a number above 0"},
      {{"curve", kFake, "nowhere/c.png"}, 1, "cannot write output 'nowhere/c.png'"},
      {{"render", kFake, "in.wav", "--plot", "nowhere/s.png"}, 1, "cannot write output"},
      {{"render", kFake, "absent.wav", "--plot", "s.png"}, 1, "cannot read input 'absent.wav'"},
      {{"render", kFake, "in.wav", "--plot", "s.png"}, 1, "too short to draw its spectrum"},
  };
  const std::vector<std::string> files = dir.entries();
  for (const Case& c : cases) {
    INFO(c.args[0], " ", c.args.back(), " ", c.fakeMode);
    const std::string mode = c.fakeMode == "-" ? "" : c.fakeMode;
    const ProcessRun run = runHost(c.args, dir.path, {{"TESSARINE_FAKE_MODE", mode}});
    CHECK(run.status == c.status);
    CHECK(run.err.rfind("tessarine-host: error: ", 0) == 0);
    CHECK(std::count(run.err.begin(), run.err.end(), '\n') == 1);
    CHECK_MESSAGE(contains(run.err, c.mention), run.err);
    if (!c.fakeMode.empty()) CHECK(contains(run.err, "'" + c.args[1] + "'"));
    CHECK(dir.entries() == files);
  }

  const ProcessRun bare = runHost({}, dir.path);
  CHECK(bare.status == 2);
  CHECK(bare.out.empty());
  CHECK(contains(bare.err, "Usage:"));
  for (const auto& args : {std::vector<std::string>{"--help"}, {"render", kFake, "-h"}}) {
    const ProcessRun help = runHost(args, dir.path);
    CHECK(help.status == 0);
    CHECK(contains(help.out, "tessarine-host render PLUGIN.so [INPUT]"));
    CHECK(contains(help.out, "default: tessarine-out.wav"));
    CHECK(help.err.empty());
  }
}

TEST_CASE("the host drives a plug-in through the calls and order a DAW uses") {
  TempDir dir;
  writeAudio(dir / "in.wav", sine(44100, 2, 441.0, 0.5, 4500));
  const ProcessEnv env = {{"TESSARINE_FAKE_LOG", (dir / "log").string()}};
  const ProcessRun run =
      runOk({"render", kFake, "in.wav", "--block", "1000", "--program", "1", "--param", "0=0.75",
             "--param", "1=0.125", "--bypass", "-o", "out.wav"},
            dir.path, env);
  const std::vector<std::string> expected = {
      "entry host version 2400",
      "open",
      "rate 44100",
      "block 1000",
      "program 1",
      "param 0 0.75",
      "param 1 0.125",
      "bypass 1",
      "mains 1",
      "host version 2400",
      "host pins in0=0 in1=0 in2=1 out0=0 out1=0 out2=1",
      "host rate 44100 block 1000",
      "host vendor tessarine-host product tessarine-host",
      "process 1000",
      "process 1000",
      "process 1000",
      "process 1000",
      "process 500",
      "mains 0",
      "close",
  };
  CHECK(fileLines(dir / "log") == expected);

  fs::remove(dir / "log");
  runOk({"render", kFake, "--mono", "-o", "mono.wav"}, dir.path, env);
  const auto log = fileLines(dir / "log");
  CHECK(std::count(log.begin(), log.end(), "host pins in0=0 in1=1 in2=1 out0=0 out1=0 out2=1") ==
        1);
  CHECK(std::count(log.begin(), log.end(), "host rate 48000 block 512") == 1);
}

TEST_CASE("render writes the plug-in's output with the input's channels and rate") {
  TempDir dir;
  const Audio stereo = sine(44100, 2, 441.0, 0.5, 3001);
  writeAudio(dir / "stereo.wav", stereo);
  writeAudio(dir / "mono.wav", sine(22050, 1, 441.0, 1.0, 2205), SF_FORMAT_WAV | SF_FORMAT_PCM_16);

  runOk({"render", kFake, "stereo.wav", "--param", "0=0.25", "-o", "half.wav"}, dir.path);
  Audio halved = stereo;
  for (float& s : halved.samples) s *= 0.5f;
  const Audio half = readAudio(dir / "half.wav");
  CHECK(half.rate == 44100);
  CHECK(half.channels == 2);
  CHECK(half.samples == halved.samples);

  // Block boundaries must not show: any block size gives the same file.
  runOk({"render", kFake, "stereo.wav", "--param", "0=0.25", "--block", "7", "-o", "blocks.wav"},
        dir.path);
  CHECK(readAudio(dir / "blocks.wav").samples == halved.samples);

  runOk({"render", kFake, "mono.wav", "-o", "mono-out.wav"}, dir.path);
  const Audio mono = readAudio(dir / "mono-out.wav");
  CHECK(mono.rate == 22050);
  CHECK(mono.channels == 1);
  CHECK(mono.samples == readAudio(dir / "mono.wav").samples);

  // Without an input or -o: the built-in sine into tessarine-out.wav, nothing else left.
  runOk({"render", kFake}, dir.path);
  const Audio built = readAudio(dir / "tessarine-out.wav");
  CHECK(built.rate == 48000);
  CHECK(built.channels == 2);
  CHECK(built.frames() == 96000);
  for (size_t i : {size_t(0), size_t(12), size_t(95999)}) {
    CHECK(built.samples[2 * i] == built.samples[2 * i + 1]);
    CHECK(built.samples[2 * i] == float(std::sin(2.0 * kPi * 1000.0 * double(i) / 48000)));
  }
  // Written through a temporary file, yet with the permissions of any new file.
  const mode_t mask = umask(0);
  umask(mask);
  CHECK((fs::status(dir / "tessarine-out.wav").permissions() & fs::perms::all) ==
        fs::perms(0666 & ~mask));
  CHECK(dir.entries() == std::vector<std::string>{"blocks.wav", "half.wav", "mono-out.wav",
                                                  "mono.wav", "stereo.wav", "tessarine-out.wav"});
}

TEST_CASE("render measures harmonic levels accurately") {
  TempDir dir;
  // Unity gain plus 0.01 of T2: H1 at 0 dBFS, H2 at -40 dBFS, nothing else.
  const ProcessRun run =
      runOk({"render", kFake, "--param", "0=0.5", "--param", "1=0.01"}, dir.path);
  CHECK(contains(run.out, "Input: sine at 1000.000 Hz, 0.00 dBFS"));
  CHECK(std::fabs(harmonicDb(run.out, 1)) <= 0.05);
  CHECK(std::fabs(harmonicDb(run.out, 2) + 40.0) <= 0.05);
  CHECK(std::fabs(harmonicDb(run.out, 2, 4) + 40.0) <= 0.05);
  for (int n = 3; n <= 7; ++n) CHECK(harmonicDb(run.out, n) < -120.0);
  CHECK(harmonicRow(run.out, 7)[1] == "7000.000");

  // An inharmonic tone 42 dB down, between H2 and H3, must leak into neither.
  Audio mixed = sine(48000, 1, 1000.0, 1.0, 96000);
  for (size_t i = 0; i < mixed.frames(); ++i)
    mixed.samples[i] += float(0.008 * std::sin(2.0 * kPi * 2133.3 * double(i) / 48000));
  writeAudio(dir / "mixed.wav", mixed);
  const ProcessRun inharmonic = runHost({"render", kFake, "mixed.wav"}, dir.path);
  for (int n = 2; n <= 7; ++n) CHECK(harmonicDb(inharmonic.out, n) < -150.0);

  writeAudio(dir / "441.wav", sine(44100, 1, 441.0, 0.5, 44100), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  // T2 of a half-scale sine: 0.1 * (0.25 cos 2wt - 0.75), so H2 at -32.04 dBFS, DC -0.075.
  const ProcessRun low = runHost({"render", kFake, "441.wav", "--param", "1=0.1"}, dir.path);
  CHECK(contains(low.out, "Input: sine at 441.000 Hz, -6.02 dBFS"));
  CHECK(std::fabs(harmonicDb(low.out, 1) + 6.0206) <= 0.05);
  CHECK(std::fabs(harmonicDb(low.out, 2) + 32.0412) <= 0.05);
  const size_t dc = low.out.find("DC offset: ");
  REQUIRE(dc != std::string::npos);
  CHECK(std::stod(low.out.substr(dc + 11)) == doctest::Approx(-0.075).epsilon(1e-4));

  // Above half the rate a harmonic is measured where it folds to: tones put where
  // H5 (25 kHz) and H7 (35 kHz) land read as them, and H5's is the strongest other line.
  Audio high = sine(44100, 1, 5000.0, 0.5, 22050);
  for (size_t i = 0; i < high.frames(); ++i)
    high.samples[i] += float(0.001 * std::sin(2.0 * kPi * 19100.0 * double(i) / 44100) +
                             0.0001 * std::sin(2.0 * kPi * 9100.0 * double(i) / 44100));
  writeAudio(dir / "5k.wav", high);
  const ProcessRun folded = runHost({"render", kFake, "5k.wav"}, dir.path);
  CHECK(harmonicDb(folded.out, 4) < -120.0);
  for (const auto& [n, hz, db] :
       {std::tuple{5, "19100.000", -60.0}, {6, "14100.000", NAN}, {7, "9100.000", -80.0}}) {
    INFO("H", n);
    CHECK(harmonicRow(folded.out, n).at(1) == hz);
    CHECK(harmonicNote(folded.out, n) == "folded from " + std::to_string(5000 * n) + ".000 Hz");
    if (std::isnan(db))
      CHECK(harmonicDb(folded.out, n) < -120.0);
    else
      CHECK(std::fabs(harmonicDb(folded.out, n) - db) <= 0.05);
  }
  const OtherLine other = otherLine(folded.out);
  CHECK(other.band == "20 kHz");
  CHECK(std::fabs(other.hz - 19100.0) <= 2 * 44100.0 / 16384);
  CHECK(std::fabs(other.dbc + 53.98) <= 1.0);

  // Folded onto a line already measured, or onto DC: said so, and counted once.
  writeAudio(dir / "quarter.wav", sine(44100, 1, 11025.0, 0.5, 44100));
  const ProcessRun quarter =
      runHost({"render", kFake, "quarter.wav", "--param", "1=0.1"}, dir.path);
  CHECK(std::fabs(harmonicDb(quarter.out, 2) + 32.0412) <= 0.05);
  CHECK(contains(quarter.out, "at half the rate: its cosine part only, line shared with H6"));
  CHECK(contains(quarter.out, "line shared with H3, H5, H7"));
  for (const auto& [n, shared] : {std::pair{3, "(H1)"}, {4, "(DC)"}, {5, "(H1)"}, {6, "(H2)"}}) {
    INFO("H", n);
    CHECK(harmonicRow(quarter.out, n).at(2) == "Hz");
    CHECK(harmonicRow(quarter.out, n).at(3) == shared);
    CHECK(harmonicRow(quarter.out, n).at(4) == shared);
  }

  Audio square{48000, 1, {}};
  for (int i = 0; i < 48000; ++i) square.samples.push_back(i % 480 < 240 ? 0.5f : -0.5f);
  writeAudio(dir / "square.wav", square);
  const ProcessRun notSine = runHost({"render", kFake, "square.wav"}, dir.path);
  CHECK(contains(notSine.out, "Input: not a sine"));
  CHECK(harmonicRow(notSine.out, 1).empty());
  CHECK(contains(notSine.out, "peak  0.500000  -6.02"));
  CHECK(contains(notSine.out, "RMS   0.500000  -6.02"));
}

TEST_CASE("info shows what a host sees of a plug-in") {
  TempDir dir;
  fs::copy_file(kFake, dir / "fake.so");
  const ProcessEnv env = {{"TESSARINE_FAKE_LOG", (dir / "log").string()}};
  for (const std::string mode : {"", "unindexed"}) {
    INFO("mode ", mode);
    ProcessEnv modeEnv = env;
    modeEnv.emplace_back("TESSARINE_FAKE_MODE", mode);
    // A bare file name means the file in the current directory.
    const ProcessRun run = runOk({"info", "fake.so"}, dir.path, modeEnv);
    CHECK(contains(run.out, "Product:        Fake Gain\n"));
    CHECK(contains(run.out, "Vendor:         Fake Vendor\n"));
    CHECK(contains(run.out, "Vendor version: 4321\n"));
    CHECK(contains(run.out, "Unique ID:      fKe1 (0x664B6531)\n"));
    CHECK(contains(run.out, "Flags:          0x00000210 (CanReplacing | NoSoundInStop)\n"));
    CHECK(contains(run.out, "Inputs:         2\nOutputs:        2\n"));
    CHECK(contains(run.out,
                   "  index  name    display  label     value\n"
                   "      0  Gain      1.000  x      0.500000\n"
                   "      1  Second    0.000  FS     0.000000\n"));
    CHECK(contains(run.out,
                   "Programs: 3\n  index  name\n      0  Unity\n      1  Half\n"
                   "      2  Mute\n"));
  }
  // Names read by switching programs leave the plug-in on the program it was on.
  std::vector<std::string> programs;
  for (const auto& line : fileLines(dir / "log"))
    if (line.rfind("program", 0) == 0) programs.push_back(line);
  CHECK(programs == std::vector<std::string>{"program 0", "program 0", "program 1", "program 0",
                                             "program 2", "program 0"});
}

#ifdef TESSARINE_PLUGIN_PATH
// tessarine HQ, built beside tessarine.
const std::string kHq =
    (fs::path(TESSARINE_PLUGIN_PATH).parent_path() / "tessarine-hq.so").string();

TEST_CASE("tessarine and tessarine HQ as the host sees them") {
  TempDir dir;
  const ProcessRun info = runOk({"info", TESSARINE_PLUGIN_PATH}, dir.path);
  CHECK(contains(info.out, "Initial delay:  0 samples\n"));
  CHECK(contains(info.out, "Product:        +tessarine\n"));
  CHECK(contains(info.out, "Vendor:         Quorvalin\n"));
  CHECK(contains(info.out, "Unique ID:      +tsr (0x2B747372)\n"));
  CHECK(contains(info.out, "Flags:          0x00000019 (HasEditor | CanMono | CanReplacing)\n"));
  CHECK(contains(info.out, "Parameters: 6\n"));
  CHECK(contains(info.out, "Programs: 10\n"));
  const auto all = lines(info.out);
  const auto table = std::find(all.begin(), all.end(), "Parameters: 6") + 2;
  REQUIRE(all.end() - table >= 6);
  for (int i = 0; i < 6; ++i) {
    INFO(table[i]);
    CHECK(contains(table[i], "CP " + std::to_string(i < 5 ? i + 1 : 7) + ": "));
    CHECK(contains(table[i], "  dB  "));
    CHECK(contains(table[i], i == 0 ? "0.000000" : "-60.0000"));
  }

  REQUIRE_MESSAGE(fs::exists(kHq), kHq);
  const ProcessRun hq = runOk({"info", kHq}, dir.path);
  CHECK(contains(hq.out, "Product:        +tessarine HQ\n"));
  CHECK(contains(hq.out, "Parameters: 9\n"));
  const size_t delay = hq.out.find("Initial delay:");
  REQUIRE(delay != std::string::npos);
  CHECK(std::stoi(hq.out.substr(delay + 14)) > 0);
}

TEST_CASE("tessarine renders the harmonics its weights ask for") {
  TempDir dir;
  const ProcessRun second =
      runOk({"render", TESSARINE_PLUGIN_PATH, "--param", "0=0", "--param", "1=1"}, dir.path);
  const double h2 = harmonicDb(second.out, 2);
  CHECK(std::fabs(h2 - 20.0 * std::log10(1.0 / 1.004)) <= 0.1);
  for (int n : {1, 3, 4, 5, 7}) CHECK(std::fabs(harmonicDb(second.out, n) - h2 + 60.0) <= 1.0);

  const ProcessRun defaults = runOk({"render", TESSARINE_PLUGIN_PATH}, dir.path);
  for (int n : {2, 3, 4, 5, 7}) CHECK(std::fabs(harmonicDb(defaults.out, n, 4) + 60.0) <= 1.0);

  const Audio stereo = sine(44100, 2, 441.0, 0.9, 10000);
  writeAudio(dir / "stereo.wav", stereo);
  runOk({"render", TESSARINE_PLUGIN_PATH, "stereo.wav", "--bypass", "-o", "by.wav"}, dir.path);
  CHECK(readAudio(dir / "by.wav").samples == stereo.samples);

  writeAudio(dir / "mono.wav", sine(32000, 1, 500.0, 0.5, 8000), SF_FORMAT_WAV | SF_FORMAT_PCM_24);
  runOk({"render", TESSARINE_PLUGIN_PATH, "mono.wav", "--mono", "-o", "m.wav"}, dir.path);
  const Audio mono = readAudio(dir / "m.wav");
  CHECK(mono.rate == 32000);
  CHECK(mono.channels == 1);
  CHECK(mono.frames() == 8000);
}

TEST_CASE("curve draws the transfer curve where the arithmetic puts it") {
  TempDir dir;
  // Weights of the harmonics 1, 2, 3, 4, 5 and 7 (a parameter value v weighs 10^(3v - 3)).
  struct Setting {
    std::string plugin;
    std::vector<std::string> args;
    std::vector<double> weights;
    double outputHalf;  // the output axis: the input's unless the curve leaves it
  };
  const std::vector<Setting> settings = {
      // The default program: the identity.
      {TESSARINE_PLUGIN_PATH, {}, {1, 1e-3, 1e-3, 1e-3, 1e-3, 1e-3}, 1.0},
      {TESSARINE_PLUGIN_PATH,
       {"--param", "0=0", "--param", "1=1", "--size", "640x480", "--range", "0.8"},
       {1e-3, 1, 1e-3, 1e-3, 1e-3, 1e-3},
       1.0},
      // 4x oversampled, with latency; without the DC filter, which would take the slow
      // ramp away, and without the limit, so that what its filters make of the step
      // from silence would show.
      {kHq,
       {"--param", "0=0", "--param", "2=1", "--param", "7=0", "--param", "8=0"},
       {1e-3, 1e-3, 1, 1e-3, 1e-3, 1e-3},
       1.0},
  };
  for (const Setting& setting : settings) {
    std::vector<std::string> args = {"curve", setting.plugin, "curve.png"};
    args.insert(args.end(), setting.args.begin(), setting.args.end());
    const ProcessRun run = runOk(args, dir.path);
    Axis input, output;
    REQUIRE(std::sscanf(run.out.c_str(),
                        "Wrote the curve of %*[^(](input %lf to %lf, output %lf to %lf)", &input.lo,
                        &input.hi, &output.lo, &output.hi) == 4);
    CHECK(output.hi == setting.outputHalf);
    const Picture picture = readPng(dir / "curve.png");
    const PlotRect rect = plotRect(picture.width, picture.height);
    for (double t : {-0.95, -0.6, -0.25, 0.0, 0.3, 0.7, 0.95}) {
      // The input at the middle of the pixel column, where the line's pixels centre.
      const double column = std::floor(xPixel(rect, input, t * input.hi)) + 0.5;
      const double x =
          input.lo + (column - rect.left) / (rect.right - rect.left) * (input.hi - input.lo);
      std::vector<double> chebyshev = {1.0, x};
      while (chebyshev.size() < 8)
        chebyshev.push_back(2 * x * chebyshev.back() - chebyshev.end()[-2]);
      double shaped = 0.0, total = 0.0;
      for (size_t i = 0; i < 6; ++i) {
        shaped += setting.weights[i] * chebyshev[i < 5 ? i + 1 : 7];
        total += setting.weights[i];
      }
      INFO(setting.plugin, " x = ", x, " size ", picture.width, "x", picture.height);
      CHECK(std::fabs(rowOf(picture, column, kCurveColour) -
                      yPixel(rect, output, shaped / total)) <= 1.5);
    }
  }
  CHECK(dir.entries() == std::vector<std::string>{"curve.png"});
}

TEST_CASE("render measures what each plug-in folds back from above half the rate") {
  TempDir dir;
  // 1st and 7th at 0 dB, the others at -60 dB: at 44.1 kHz, 5 kHz has its 5th (25 kHz)
  // and 7th (35 kHz) above half the rate, which fold to 19.1 and 9.1 kHz.
  writeAudio(dir / "5k.wav", sine(44100, 1, 5000.0, 1.0, 44100));
  const ProcessRun plain = runOk({"render", TESSARINE_PLUGIN_PATH, "5k.wav", "-o", "plain.wav",
                                  "--param", "0=1", "--param", "5=1", "--plot", "plain.png"},
                                 dir.path);
  for (const auto& [n, hz, dbc] : {std::tuple{5, "19100.000", -60.0}, {7, "9100.000", 0.0}}) {
    INFO("H", n);
    CHECK(harmonicRow(plain.out, n).at(1) == hz);
    CHECK(harmonicNote(plain.out, n) == "folded from " + std::to_string(5000 * n) + ".000 Hz");
    CHECK(std::fabs(harmonicDb(plain.out, n, 4) - dbc) <= 0.1);
  }
  const OtherLine aliased = otherLine(plain.out);
  CHECK(std::fabs(aliased.hz - 9100.0) <= 2 * 44100.0 / 32768);
  CHECK(std::fabs(aliased.dbc) <= 1.0);

  // The picture marks the folded lines where they lie, in a colour of their own.
  const Picture picture = readPng(dir / "plain.png");
  const PlotRect rect = plotRect(picture.width, picture.height);
  const Axis frequencies{20.0, 22050.0, true}, levels{-140.0, 0.0};
  for (int n : {5, 7}) {
    const double x = xPixel(rect, frequencies, n == 5 ? 19100.0 : 9100.0);
    INFO("H", n);
    CHECK(std::fabs(rowOf(picture, x, kFoldedMarkColour) -
                    yPixel(rect, levels, harmonicDb(plain.out, n))) <= 1.5);
    CHECK(std::isnan(rowOf(picture, x, kMarkColour)));
  }
  CHECK(std::isnan(rowOf(picture, xPixel(rect, frequencies, 5000.0), kFoldedMarkColour)));

  // Oversampled 4x, tessarine HQ folds nothing back that shows.
  const ProcessRun hq = runOk(
      {"render", kHq, "5k.wav", "-o", "hq.wav", "--param", "0=1", "--param", "5=1"}, dir.path);
  CHECK(std::fabs(harmonicDb(hq.out, 1) - harmonicDb(plain.out, 1)) <= 0.05);
  for (int n : {5, 7}) CHECK(harmonicDb(hq.out, n, 4) < -80.0);
  CHECK(otherLine(hq.out).dbc < -80.0);
}

TEST_CASE("render --plot marks each harmonic at the level its table prints") {
  TempDir dir;
  const ProcessRun run = runOk({"render", TESSARINE_PLUGIN_PATH, "--param", "0=0", "--param", "1=1",
                                "--plot", "spectrum.png", "--size", "1000x600"},
                               dir.path);
  const Picture picture = readPng(dir / "spectrum.png");
  REQUIRE(picture.width == 1000);
  const PlotRect rect = plotRect(picture.width, picture.height);
  const Axis frequencies{20.0, 24000.0, true}, levels{-140.0, 0.0};
  int loudest = 0, tallest = 0;
  double loudestDb = -INFINITY, tallestRow = INFINITY;
  for (int n = 1; n <= 7; ++n) {
    const double db = harmonicDb(run.out, n);
    const double row = rowOf(picture, xPixel(rect, frequencies, 1000.0 * n), kMarkColour);
    INFO("H", n, " at ", db, " dBFS");
    CHECK(std::fabs(row - yPixel(rect, levels, std::max(db, -140.0))) <= 1.5);
    if (db > loudestDb) loudestDb = db, loudest = n;
    if (row < tallestRow) tallestRow = row, tallest = n;
  }
  CHECK(loudest == 2);
  CHECK(tallest == loudest);

  // Other input: its average spectrum, with no harmonics to mark. Two tones centred
  // on bins of the 16384-sample windows peak at their own levels, -6 and -30 dBFS.
  const double bin = 48000.0 / 16384;
  Audio tones = sine(48000, 1, 341 * bin, 0.5, 48000);
  for (size_t i = 0; i < tones.frames(); ++i)
    tones.samples[i] += float(0.0316228 * std::sin(2.0 * kPi * 1705 * bin * double(i) / 48000));
  writeAudio(dir / "tones.wav", tones);
  runOk({"render", TESSARINE_PLUGIN_PATH, "tones.wav", "--bypass", "-o", "out.wav", "--plot",
         "tones.png"},
        dir.path);
  const Picture average = readPng(dir / "tones.png");
  const PlotRect defaultRect = plotRect(800, 500);
  REQUIRE(average.width == 800);
  CHECK(std::none_of(average.rgb.begin(), average.rgb.end(),
                     [](uint32_t pixel) { return near(pixel, kMarkColour); }));
  for (const auto& [hz, db] : {std::pair{341 * bin, -6.0206}, {1705 * bin, -30.0}}) {
    const int x = int(xPixel(defaultRect, frequencies, hz));
    int top = 0;
    while (top < average.height && !near(average.at(x, top), kSpectrumLine)) ++top;
    INFO(hz, " Hz");
    CHECK(std::fabs(top + 0.5 - yPixel(defaultRect, levels, db)) <= 1.5);
  }
  CHECK(dir.entries() == std::vector<std::string>{"out.wav", "spectrum.png", "tessarine-out.wav",
                                                  "tones.png", "tones.wav"});
}
#endif
