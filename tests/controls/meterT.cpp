// The meters drawn into memory: the eye, the scope and the LED meter.

#include <doctest/doctest.h>

#include <cmath>
#include <string>

#include "controlcolours.h"
#include "recordingview.h"
#include "vgmeter.h"

namespace {

CColor gColors[4] = {kBack, kFore, kHilite, kText};

// The pixel at `radius` from (cx, cy) at `degrees` clockwise from 12 o'clock.
CColor at(const Canvas& canvas, float cx, float cy, float radius, float degrees) {
  const float a = degrees * float(M_PI) / 180.f;
  return canvas.pixel(int(cx + radius * std::sin(a)), int(cy - radius * std::cos(a)));
}

template <typename T>
std::string valueText(const T& control) {
  char text[256];
  control.makeValueString(text, sizeof text);
  return text;
}

// A 200 x 200 eye: magicRect (3, 3, 197, 197) around (100, 100); the centre disc
// (61, 61, 138, 138).
struct Eye {
  Eye() { eye->setLabel("dB"); }
  ~Eye() { eye->forget(); }
  void draw() { eye->draw(canvas.context); }
  bool lit(float degrees) { return at(canvas, 100, 100, 75, degrees) == kHilite; }
  bool dark(float degrees) { return at(canvas, 100, 100, 75, degrees) == kDarkHilite; }

  Canvas canvas{200, 200};
  VGMagicEye* eye = new VGMagicEye(CRect(0, 0, 200, 200), nullptr, 0, gColors);
};

}  // namespace

TEST_CASE("eye at 0.5 / 0.5: -6.0 dB, each half lit 168 degrees up from 6 o'clock") {
  Eye e;
  CHECK(e.eye->getValue() == 0.f);
  e.eye->setLeft(0.5f);
  e.eye->setRight(0.5f);
  CHECK(valueText(*e.eye) == "-6.0 dB");
  e.draw();
  for (float degrees : {16.f, 45.f, 90.f, 135.f, 178.f, 182.f, 225.f, 270.f, 315.f, 344.f})
    CHECK_MESSAGE(e.lit(degrees), degrees);
  for (float degrees : {0.f, 8.f, 352.f}) CHECK_MESSAGE(e.dark(degrees), degrees);
  CHECK(e.canvas.pixel(100, 1) != kWhiteCColor);  // the black outline
  CHECK(e.canvas.pixel(0, 0) == kWhiteCColor);
  // The read-out in the back colour on the centre disc in the fore colour.
  float amount = 0;
  CHECK(onlyInkOver(e.canvas, CRect(75, 90, 125, 110), kFore, kBack, amount));
  CHECK(amount > 0.7f);

  // One channel follows the left level only when the eye is mono; the louder level
  // is shown.
  e.eye->setRight(1.f);
  CHECK(valueText(*e.eye) == "0.0 dB");
  e.draw();
  CHECK(e.lit(8.f));    // the right half is full
  CHECK(e.dark(352.f)); // the left one is not
}

TEST_CASE("eye at 0: only the seam at 6 o'clock, and -90.3 dB") {
  Eye e;
  CHECK(valueText(*e.eye) == "-90.3 dB");
  e.draw();
  const CRect lit = boundsNear(e.canvas, CRect(0, 0, 200, 200), kHilite, 40);
  CHECK(lit.left >= 97);
  CHECK(lit.right <= 103);
  CHECK(lit.top >= 138);
  CHECK(lit.bottom <= 197);
  CHECK(e.canvas.pixel(100, 180) == kHilite);
  for (float degrees : {0.f, 90.f, 175.f, 185.f, 270.f}) CHECK_MESSAGE(e.dark(degrees), degrees);

  // Levels below 1/32768, not numbers or beyond full scale read the table's ends.
  e.eye->setLeft(std::nanf(""));
  e.eye->setRight(1e-9f);
  CHECK(valueText(*e.eye) == "-90.3 dB");
  e.eye->setLeft(40.f);
  CHECK(valueText(*e.eye) == "0.0 dB");
  CHECK(e.eye->levelToDb(0.5f) == doctest::Approx(-6.0203f).epsilon(1e-4));
}

TEST_CASE("eye in the inverse mode: the unlit parts hang from 12 o'clock") {
  Eye e;
  e.eye->setInverse(true);
  e.eye->setLeft(0.5f);
  e.eye->setRight(0.5f);
  e.draw();
  for (float degrees : {0.f, 6.f, 354.f}) CHECK_MESSAGE(e.lit(degrees), degrees);
  for (float degrees : {16.f, 90.f, 180.f, 270.f, 344.f}) CHECK_MESSAGE(e.dark(degrees), degrees);
}

TEST_CASE("scope: cross, trace and a direction dot that turns up by 0.8 per draw") {
  float left[4] = {-0.5f, -0.25f, -0.4f, -0.3f}, right[4] = {0.5f, 0.25f, 0.4f, 0.3f};
  Canvas canvas(100, 100);
  VGPhaseScope* scope = new VGPhaseScope(CRect(0, 0, 100, 100), nullptr, 0, gColors, left, right, 4);
  // magicRect (3, 3, 97, 97), the cross in (31, 31, 68, 68), the dot at the top at
  // x 49, y 7 to 13.
  scope->draw(canvas.context);
  CHECK(canvas.pixel(20, 20) == kDarkHilite);
  CHECK(canvas.pixel(49, 50) == kFore);  // the vertical line
  CHECK(canvas.pixel(35, 36) != kDarkHilite);  // a diagonal
  CHECK(canvas.pixel(49, 10) != kFore);  // first draw: the dot is on its way
  CHECK(scope->getLastAngle() == doctest::Approx(-0.2f * M_PI / 2));
  for (int i = 0; i < 30; i++) scope->draw(canvas.context);
  CHECK(scope->getLastAngle() == doctest::Approx(-M_PI / 2).epsilon(1e-3));
  CHECK(canvas.pixel(49, 10) == kFore);
  CHECK(canvas.pixel(49, 16) == kDarkHilite);

  // An antiphase signal draws a horizontal line (x 15 to 32) across the middle in the
  // half-transparent back colour; a one-pixel line on y 50 covers half of rows 49 and 50.
  scope->setSamples(4);
  scope->draw(canvas.context);
  CColor trace = canvas.pixel(18, 50);  // under the first segment only
  CHECK(blendAmount(trace, kDarkHilite, kBack) == doctest::Approx(0.25f).epsilon(0.2));
  CHECK(canvas.pixel(25, 45) == kDarkHilite);
  CHECK(canvas.pixel(40, 50) == kDarkHilite);
  // Its direction is to the left, so the dot moves off the top.
  for (int i = 0; i < 30; i++) scope->draw(canvas.context);
  CHECK(std::fabs(scope->getLastAngle()) > 2.f);

  // More samples than the block holds read no further than the block (ASan checks).
  scope->setSamples(1e6f);
  scope->draw(canvas.context);
  scope->forget();
}

TEST_CASE("LED meter in level mode: off, partly and fully lit, overload") {
  VGVUBitMeter* meter = new VGVUBitMeter(CRect(0, 0, 12, 290), nullptr, 0, gColors);
  Canvas canvas(12, 290);
  const CColor over = {255, 21, 2, 255};  // red exceeds blue: red up, the others / 8
  // LED i: (1, 1 + 12 i, 11, 11 + 12 i), its own colour inside (3, 3 + 12 i, 9, 9 + 12 i).
  const auto led = [&](int i) { return canvas.pixel(5, 1 + 12 * i + 5); };

  meter->setValue(1.f);
  meter->draw(canvas.context);
  CHECK(led(0) == kLiteBack);  // the +1 dB LED, mix 0
  for (int i = 1; i < 24; i++) CHECK_MESSAGE(led(i) == kHilite, i);
  CHECK(near(canvas.pixel(1, 6), kFore, 12));  // the LED's rim

  meter->setValue(0.5f);  // -6.02 dB
  meter->draw(canvas.context);
  for (int i = 0; i < 6; i++) CHECK_MESSAGE(led(i) == kLiteBack, i);
  for (int i = 7; i < 24; i++) CHECK_MESSAGE(led(i) == kHilite, i);
  // LED 6 (-6 dB) with a mix of 0.9885: int(240 x 0.9885) + int(147 x 0.0115) = 237 + 1.
  CHECK(led(6) == CColor{238, 169, 21, 255});

  meter->setValue(1.2f);
  meter->draw(canvas.context);
  for (int i = 0; i < 24; i++) CHECK_MESSAGE(led(i) == over, i);

  // Just above 1.0 the top LED is part lit, its overload channel alone at 255.
  meter->setValue(1.05f);
  CHECK(meter->ledColor(0) == CColor{255, 0, 0, 255});
  CHECK(meter->ledColor(1) == over);
  meter->forget();
}

TEST_CASE("LED meter in bit mode: levels limited to 0 ... 1, entry 23 at the top") {
  VGVUBitMeter* meter = new VGVUBitMeter(CRect(0, 0, 12, 290), nullptr, 0, gColors);
  meter->setDecibelsOn(false);
  float levels[24] = {};
  levels[23] = 1.f;
  levels[22] = 7.f;
  levels[21] = -3.f;
  levels[20] = 0.5f;
  levels[0] = std::nanf("");
  meter->setBitLevels(levels);
  CHECK(meter->ledColor(0) == kHilite);
  CHECK(meter->ledColor(1) == kHilite);
  CHECK(meter->ledColor(2) == kLiteBack);
  CHECK(meter->ledColor(3) == CColor{193, 163, 103, 255});  // 120 + 73, 85 + 78, 10 + 93
  CHECK(meter->ledColor(23) == kLiteBack);
  meter->setValue(5.f);  // the level is not read in bit mode
  CHECK(meter->ledColor(4) == kLiteBack);
  meter->forget();
}

TEST_CASE("clicking the LED meter turns its numbers on and off; the value stays") {
  Log log;
  RecordingListener listener(&log);
  VGVUBitMeter* meter = new VGVUBitMeter(CRect(0, 0, 24, 530), &listener, 5, gColors);
  Canvas canvas(24, 530);
  meter->setValue(0.5f);
  meter->draw(canvas.context);
  const std::vector<CColor> plain = snapshot(canvas);
  CPoint where(5, 5);
  meter->mouse(canvas.context, where, kButtonLeft);
  CHECK(meter->getNumbersOn());
  CHECK(meter->getValue() == 0.5f);
  CHECK(log == Log{"valueChanged 5 0.500000"});
  CHECK(meter->isDirty());
  meter->draw(canvas.context);
  CHECK(snapshot(canvas) != plain);
  // Numbers in the text colour over the LEDs' own colours.
  CHECK(countNear(canvas, CRect(0, 0, 24, 530), kText, 60) > 0);

  meter->setDecibelsOn(false);
  meter->draw(canvas.context);
  meter->mouse(canvas.context, where, kButtonLeft);
  meter->setDecibelsOn(true);
  meter->draw(canvas.context);
  CHECK(snapshot(canvas) == plain);
  meter->forget();
}
