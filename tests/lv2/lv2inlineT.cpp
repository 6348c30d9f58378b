// The inline display of both LV2 plug-ins through their descriptors, as Ardour uses it:
// the picture against the curve's own arithmetic, its size and memory, run's requests
// for a new one, and the values' way from run to render.

#include <doctest/doctest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "inlinedisplay.h"
#include "lv2ports.h"
#include "tessarinelv2.h"

namespace {

struct Setting {
  const char* name;
  float db[kPortHarmonicCount];
};
const Setting kFirst = {"1st only", {0, -60, -60, -60, -60, -60}};
const Setting kSecond = {"2nd only", {-60, 0, -60, -60, -60, -60}};
const Setting kSeventh = {"7th only", {-60, -60, -60, -60, -60, 0}};
const Setting kMixed = {"mixed", {-3, -12, -6, -20, -9, -14}};

// The curve by its definition: Chebyshev polynomials weighted by the harmonics' linear
// levels (10^(dB/20), which is 10^(3v - 3)), divided by the sum of the weights.
double curveAt(const Setting& setting, double x) {
  const int orders[kPortHarmonicCount] = {1, 2, 3, 4, 5, 7};
  double sum = 0.0, weights = 0.0;
  for (uint32_t i = 0; i < kPortHarmonicCount; i++) {
    const double weight = std::pow(10.0, setting.db[i] / 20.0);
    sum += weight * std::cos(orders[i] * std::acos(std::clamp(x, -1.0, 1.0)));
    weights += weight;
  }
  return sum / weights;
}

// A copy of a rendered picture, and where the -1..1 square lies in it.
struct Picture {
  explicit Picture(const InlineDisplayImage& image) : width(image.width), height(image.height) {
    for (int row = 0; row < height; row++) {
      const auto* line =
          reinterpret_cast<const uint32_t*>(image.data + (size_t)row * (size_t)image.stride);
      pixels.insert(pixels.end(), line, line + width);
    }
  }
  // The colour channels' sum, as stored (premultiplied: as seen over black).
  int brightness(int column, int row) const {
    const uint32_t p = pixels[(size_t)row * (size_t)width + (size_t)column];
    return (int)((p >> 16) & 0xff) + (int)((p >> 8) & 0xff) + (int)(p & 0xff);
  }
  int brightestRow(int column) const {
    int best = 0;
    for (int row = 1; row < height; row++)
      if (brightness(column, row) > brightness(column, best)) best = row;
    return best;
  }
  int brightest() const {
    int best = 0;
    for (int column = 0; column < width; column++)
      best = std::max(best, brightness(column, brightestRow(column)));
    return best;
  }
  double column(double input) const {
    return kInlineCurveInset + (input + 1.0) / 2.0 * (width - 2.0 * kInlineCurveInset);
  }
  double input(double column) const {
    return (column - kInlineCurveInset) / (width - 2.0 * kInlineCurveInset) * 2.0 - 1.0;
  }
  double row(double output) const {
    return kInlineCurveInset + (1.0 - output) / 2.0 * (height - 2.0 * kInlineCurveInset);
  }

  int width, height;
  std::vector<uint32_t> pixels;
};

// One instance of plug-in `index`, every port connected, offered queue_draw (or only an
// unrelated feature), counting the draws it asks for.
struct InlinePlugin {
  InlinePlugin(uint32_t index, bool offerQueue)
      : descriptor(lv2_descriptor(index)), hq(index == 1) {
    REQUIRE(descriptor);
    const LV2_Feature queueFeature{TESSARINE_INLINE_DISPLAY_QUEUE_DRAW, &queue};
    const LV2_Feature otherFeature{"http://lv2plug.in/ns/ext/urid#map", nullptr};
    const LV2_Feature* features[] = {&otherFeature, offerQueue ? &queueFeature : nullptr, nullptr};
    handle = descriptor->instantiate(descriptor, 48000.0, "", features);
    REQUIRE(handle);
    display = static_cast<const InlineDisplayInterface*>(
        descriptor->extension_data(TESSARINE_INLINE_DISPLAY_INTERFACE));
    REQUIRE(display);
    const uint32_t controlCount = hq ? (uint32_t)kHqPortInput1 : (uint32_t)kPortInput1;
    for (uint32_t port = 0; port < controlCount; port++)
      descriptor->connect_port(handle, port, &controls[port]);
    for (uint32_t i = 0; i < 4; i++) descriptor->connect_port(handle, controlCount + i, audio[i]);
    descriptor->activate(handle);
  }
  ~InlinePlugin() { descriptor->cleanup(handle); }

  void run(int blocks = 1) {
    for (int i = 0; i < blocks; i++) descriptor->run(handle, 64);
  }
  const InlineDisplayImage* render(uint32_t w, uint32_t h) { return display->render(handle, w, h); }
  Picture picture(const Setting& setting, uint32_t w, uint32_t h = 10000) {
    std::copy_n(setting.db, kPortHarmonicCount, controls);
    run();
    const InlineDisplayImage* image = render(w, h);
    REQUIRE(image);
    return Picture(*image);
  }
  static void request(void* handle) { ++*static_cast<int*>(handle); }

  const LV2_Descriptor* descriptor;
  bool hq;
  LV2_Handle handle = nullptr;
  const InlineDisplayInterface* display = nullptr;
  int requests = 0;
  InlineDisplayQueue queue{&requests, request};
  // The harmonics, enabled, and the HQ plug-in's oversampling, DC filter and limit.
  float controls[kHqPortInput1] = {0, -60, -60, -60, -60, -60, 1, 4, 1, 1};
  float audio[4][64] = {};
};

// In every column of the square the brightest pixel lies on the curve, within a pixel
// and a half of the rows the curve passes through there, and is bright: no gaps, however
// steep the curve.
void checkCurve(const Picture& picture, const Setting& setting) {
  const int curve = picture.brightest();
  for (int column = 0; column < picture.width; column++) {
    if (column + 0.5 < kInlineCurveInset || column + 0.5 > picture.width - kInlineCurveInset)
      continue;
    double top = picture.height, bottom = 0.0;
    for (int step = 0; step <= 16; step++) {
      const double row =
          picture.row(curveAt(setting, std::clamp(picture.input(column + step / 16.0), -1.0, 1.0)));
      top = std::min(top, row);
      bottom = std::max(bottom, row);
    }
    const int found = picture.brightestRow(column);
    CAPTURE(column);
    CHECK(found + 0.5 >= top - 1.5);
    CHECK(found + 0.5 <= bottom + 1.5);
    CHECK(picture.brightness(column, found) >= curve * 3 / 4);
  }
}

}  // namespace

TEST_CASE("both plug-ins draw the transfer curve where its arithmetic puts it, at every width") {
  for (uint32_t index : {0u, 1u}) {
    InlinePlugin plugin(index, true);
    for (const Setting& setting : {kFirst, kSecond, kSeventh, kMixed}) {
      for (uint32_t width : {60u, 120u, 300u}) {
        CAPTURE(index);
        CAPTURE(setting.name);
        CAPTURE(width);
        const Picture picture = plugin.picture(setting, width);
        REQUIRE(picture.width == (int)width);
        checkCurve(picture, setting);
        // Opaque, so the host reads the same colours premultiplied or not.
        CHECK(std::all_of(picture.pixels.begin(), picture.pixels.end(),
                          [](uint32_t p) { return p >> 24 == 0xff; }));
      }
    }
  }
  // At input 0.75 the identity line is at 0.75, the 2nd harmonic's curve at 0.125, and
  // output -0.75 is empty: the line shows, fainter than the curve.
  InlinePlugin plugin(0, false);
  const Picture picture = plugin.picture(kSecond, 120);
  const int column = (int)picture.column(0.75), line = (int)picture.row(0.75);
  int identity = 0;
  for (int row = line - 1; row <= line + 1; row++)
    identity = std::max(identity, picture.brightness(column, row));
  CHECK(identity > picture.brightness(column, (int)picture.row(-0.75)) + 60);
  CHECK(identity < picture.brightest() * 3 / 4);
}

TEST_CASE("the picture is 0.6 of the width high, at most the height offered; its memory stays") {
  InlinePlugin plugin(1, true);
  const InlineDisplayImage* image =
      plugin.render(100, 1000);  // before any run: the first program's
  REQUIRE(image);
  checkCurve(Picture(*image), kFirst);
  const uint32_t sizes[][3] = {{60, 1000, 36}, {120, 1000, 72}, {300, 1000, 180}, {120, 50, 50},
                               {61, 37, 37},   {1, 1, 1},       {5, 100, 3},      {300, 2, 2}};
  for (const auto& size : sizes) {
    CAPTURE(size[0]);
    CAPTURE(size[1]);
    REQUIRE((image = plugin.render(size[0], size[1])));
    CHECK(image->width == (int)size[0]);
    CHECK(image->height == (int)size[2]);
    CHECK(image->stride >= 4 * image->width);
  }
  CHECK_FALSE(plugin.render(0, 100));
  CHECK_FALSE(plugin.render(100, 0));
  REQUIRE((image = plugin.render(100000, 100000)));  // a width drawn, no more than offered
  CHECK(image->width <= 100000);
  CHECK(image->height == (image->width * 3 + 2) / 5);

  // The same size again: the same memory and picture; new values redraw it in place.
  REQUIRE((image = plugin.render(120, 1000)));
  unsigned char* const data = image->data;
  const Picture before(*image);
  plugin.run(10);
  REQUIRE((image = plugin.render(120, 1000)));
  CHECK(image->data == data);
  CHECK(Picture(*image).pixels == before.pixels);
  const Picture seventh = plugin.picture(kSeventh, 120, 1000);
  CHECK(plugin.render(120, 1000)->data == data);
  CHECK(seventh.pixels != before.pixels);
  checkCurve(seventh, kSeventh);
}

TEST_CASE("run asks for a new picture once per change of the harmonics, never per block") {
  for (uint32_t index : {0u, 1u}) {
    CAPTURE(index);
    InlinePlugin plugin(index, true);
    plugin.run();
    const int start = plugin.requests;
    CHECK(start <= 1);
    plugin.run(100);
    CHECK(plugin.requests == start);
    plugin.controls[1] = -12.0f;  // one harmonic, then two at once: one request each
    plugin.run(50);
    CHECK(plugin.requests == start + 1);
    plugin.controls[2] = -6.0f;
    plugin.controls[5] = -30.0f;
    plugin.run(50);
    CHECK(plugin.requests == start + 2);
    // What leaves the curve alone asks for nothing: the switch, the HQ settings, a
    // non-finite value (ignored), -0 dB for 0 dB (the same normalised value).
    std::fill(plugin.controls + kPortEnabled, plugin.controls + kHqPortInput1, 0.0f);
    plugin.controls[3] = NAN;
    plugin.controls[0] = -0.0f;
    plugin.run(50);
    CHECK(plugin.requests == start + 2);
    plugin.controls[1] = -60.0f;  // back to a value seen before is a change too
    plugin.run(3);
    CHECK(plugin.requests == start + 3);
  }
  // A host without queue_draw: nothing asked, and render still draws what run read.
  InlinePlugin plugin(0, false);
  checkCurve(plugin.picture(kSeventh, 60), kSeventh);
  checkCurve(plugin.picture(kSecond, 120), kSecond);
  CHECK(plugin.requests == 0);
}

TEST_CASE("both descriptors answer extension_data with the inline display, and only for it") {
  const InlineDisplayInterface* interfaces[2] = {};
  for (uint32_t index : {0u, 1u}) {
    const LV2_Descriptor* descriptor = lv2_descriptor(index);
    REQUIRE(descriptor);
    interfaces[index] = static_cast<const InlineDisplayInterface*>(
        descriptor->extension_data(TESSARINE_INLINE_DISPLAY_INTERFACE));
    REQUIRE(interfaces[index]);
    CHECK(bool(interfaces[index]->render));
    for (const char* other :
         {"http://lv2plug.in/ns/ext/state#interface", TESSARINE_INLINE_DISPLAY_PREFIX,
          TESSARINE_INLINE_DISPLAY_QUEUE_DRAW, "", (const char*)nullptr})
      CHECK_FALSE(descriptor->extension_data(other));
  }
  CHECK((interfaces[0]->render == interfaces[1]->render));
}

// One thread publishes two sets of values by turns while another reads: every read is
// one whole set, the one the number of changes it reports belongs to.
TEST_CASE("the values reach render whole while run changes them") {
  const float sets[2][kShaperHarmonics] = {{1, 0, 0.5f, 0, 0, 0.25f}, {0, 1, 0.75f, 0.125f, 1, 0}};
  CurveValueMailbox mailbox;
  mailbox.publish(sets[0]);  // change 1: the first set; change 2 the second, and so on
  std::atomic<bool> done{false};
  std::thread audio([&] {
    for (int i = 1; !done; i++) mailbox.publish(sets[i % 2]);
  });
  int mixed = 0, misnumbered = 0;
  float values[kShaperHarmonics];
  for (int i = 0; i < 200000; i++) {
    const uint32_t changes = mailbox.read(values);
    const bool first = std::memcmp(values, sets[0], sizeof(values)) == 0;
    mixed += !first && std::memcmp(values, sets[1], sizeof(values)) != 0;
    misnumbered += first != (changes % 2 == 1);
  }
  done = true;
  audio.join();
  CHECK(mixed == 0);
  CHECK(misnumbered == 0);
  const uint32_t changes = mailbox.read(values);  // the same values again are no change
  CHECK_FALSE(mailbox.publish(values));
  CHECK(mailbox.read(values) == changes);
}
