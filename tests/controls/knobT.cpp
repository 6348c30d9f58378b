// The knobs: the grommet's pixels, read-out texts, angles, drag arithmetic, reset click.

#include <doctest/doctest.h>

#include <cmath>
#include <string>
#include <utility>

#include "recordingview.h"
#include "vgknob.h"

namespace {

// The editor's default table: back, fore, highlight, text colour.
CColor gColors[4] = {{13, 0, 39, 255}, {144, 8, 0, 255}, {80, 189, 216, 255}, {0, 0, 0, 255}};
const CColor kLiteBack = {134, 127, 147, 255};

// A knob as the editor configures it: 66 x 66, -60..0 dB.
VGGrommetKnob* editorKnob(const CRect& size, float value) {
  VGGrommetKnob* knob = new VGGrommetKnob(size, nullptr, 0, gColors);
  knob->setLabel("dB");
  knob->setValue(value);
  knob->setMaxValue(0);
  knob->setMinValue(-60);
  return knob;
}

std::string valueString(VGGrommetKnob* knob) {
  char text[kVGTextSize];
  knob->makeValueString(text, sizeof text);
  return text;
}

// The bounding box of the text's pure black pixels in rows 17 to 46: neither the
// back-coloured disc outline (blue 39) nor anything anti-aliased counts.
CRect textInk(const Canvas& canvas, const CRect& area) {
  CRect ink(1000, 1000, -1, -1);
  for (int y = area.top; y < area.bottom; y++)
    for (int x = area.left; x < area.right; x++) {
      CColor c = canvas.pixel(x, y);
      if (c.red > 10 || c.green > 10 || c.blue > 10) continue;
      ink(std::min<CCoord>(ink.left, x), std::min<CCoord>(ink.top, y),
          std::max<CCoord>(ink.right, x + 1), std::max<CCoord>(ink.bottom, y + 1));
    }
  return ink;
}

}  // namespace

TEST_CASE("a 66 x 66 grommet at 0.5: ring, round ends, pointer dot, discs and read-out") {
  VGGrommetKnob* knob = editorKnob(CRect(0, 0, 66, 66), 0.5f);
  Canvas canvas(66, 66, kBlackCColor);
  knob->draw(canvas.context);
  const CColor fore = gColors[1], hilite = gColors[2];

  CHECK(canvas.pixel(0, 0) == kWhiteCColor);
  CHECK(canvas.pixel(47, 9) == fore);          // end cap (43, 5, 51, 13)
  CHECK(canvas.pixel(19, 9) == fore);          // end cap (15, 5, 23, 13)
  CHECK(canvas.pixel(33, 5) == hilite);        // pointer dot (29, 1, 37, 9)
  CHECK(canvas.pixel(40, 6) == kWhiteCColor);  // the gap between dot and cap
  CHECK(canvas.pixel(26, 6) == kWhiteCColor);
  CHECK(canvas.pixel(33, 60) == fore);  // the ring at 6 and 3 o'clock
  CHECK(canvas.pixel(60, 33) == fore);
  CHECK(canvas.pixel(48, 16) == kWhiteCColor);  // the white disc (9, 9, 57, 57)
  CHECK(canvas.pixel(33, 21) == kLiteBack);     // the centre disc (17, 17, 49, 49)
  CHECK_FALSE(knob->isDirty());

  // "-30.0 dB", centred in (1, 17, 65, 47) in the text colour, in a font fitted to
  // "0123" in 32 x 32.
  CHECK(valueString(knob) == "-30.0 dB");
  CRect ink = textInk(canvas, CRect(0, 17, 66, 47));
  REQUIRE(ink.right > ink.left);
  CHECK(std::abs((ink.left + ink.right) - 66) <= 3);
  canvas.context->setFont(kNormalFont, knob->getFontSize(), 0);
  CHECK(std::abs(ink.width() - canvas.context->getStringWidth("-30.0 dB")) <= 3);
  CHECK(ink.top > 17);
  CHECK(ink.bottom < 47);
  knob->forget();
}

TEST_CASE("the gap turns with the value; the knob draws at its own place; recolouring shows") {
  VGGrommetKnob* knob = editorKnob(CRect(5, 36, 71, 102), 0.f);
  Canvas canvas(80, 110);
  knob->draw(canvas.context);
  // At 0 the pointer dot sits at about 7 o'clock, (15, 53, 23, 61) in the knob.
  CHECK(canvas.pixel(5 + 19, 36 + 57) == gColors[2]);
  CHECK(canvas.pixel(5 + 47, 36 + 57) == gColors[1]);
  CHECK(canvas.pixel(5 + 33, 36 + 5) == gColors[1]);
  CHECK(canvas.pixel(4, 40) == kWhiteCColor);  // the canvas outside is untouched
  CHECK(canvas.pixel(72, 40) == kWhiteCColor);

  // At 1, at about 5 o'clock.
  knob->setValue(1.f);
  knob->draw(canvas.context);
  CHECK(canvas.pixel(5 + 47, 36 + 57) == gColors[2]);
  CHECK(canvas.pixel(5 + 19, 36 + 57) == gColors[1]);

  // The table is read at every draw.
  const CColor saved = gColors[1];
  gColors[1] = {0, 200, 0, 255};
  knob->draw(canvas.context);
  CHECK(canvas.pixel(5 + 33, 36 + 5) == CColor{0, 200, 0, 255});
  gColors[1] = saved;
  knob->forget();
}

TEST_CASE("read-out texts: decimals by range, ratios, whole units") {
  VGGrommetKnob* knob = editorKnob(CRect(0, 0, 66, 66), 0.f);
  CHECK(valueString(knob) == "-60.0 dB");
  knob->setValue(1.f);
  CHECK(valueString(knob) == "0.0 dB");

  SUBCASE("a range of 15 or less has two decimals") {
    knob->setMinValue(0);
    knob->setMaxValue(1);
    knob->setValue(0.25f);
    CHECK(valueString(knob) == "0.25 dB");
  }
  SUBCASE("ratios: 1:x above 0, x:1 otherwise") {
    knob->setRatio(1);
    knob->setMinValue(-10);
    knob->setMaxValue(10);
    knob->setValue(0.6f);  // 2
    CHECK(valueString(knob) == "1:3.0 dB");
    knob->setValue(0.4f);  // -2
    CHECK(valueString(knob) == "3.0:1 dB");
    knob->setValue(0.5f);  // 0
    CHECK(valueString(knob) == "1.0:1 dB");
  }
  SUBCASE("whole units snap the text and the value, drawing included") {
    knob->setInteger(true);
    knob->setMinValue(0);
    knob->setMaxValue(10);
    knob->setValue(0.57f);
    Canvas canvas(66, 66);
    knob->draw(canvas.context);
    CHECK(knob->getValue() == doctest::Approx(0.5f));
    CHECK(valueString(knob) == "5.00 dB");
  }
  knob->forget();
}

TEST_CASE("angles: valueToPoint and valueFromPoint agree; the dead sector splits") {
  VGGrommetKnob* knob = editorKnob(CRect(0, 0, 66, 66), 0.f);
  CPoint p;
  for (auto [value, point] : {std::pair{0.f, CPoint(10, 56)},
                              {0.5f, CPoint(33, 0)},
                              {1.f, CPoint(56, 56)}}) {  // from 225 degrees, lower left
    knob->setValue(value);
    knob->valueToPoint(p);
    CHECK(p == point);
  }

  SUBCASE("clockwise, as built") {}
  SUBCASE("anticlockwise from the lower right") {
    knob->setStartAngle(-0.7853982f);
    knob->setRangeAngle(4.712389f);
    knob->setValue(0.f);
    knob->valueToPoint(p);
    CHECK(p == CPoint(56, 56));
  }
  SUBCASE("a range of 0 is refused") {
    knob->setRangeAngle(0.f);
    knob->setValue(0.5f);
    knob->valueToPoint(p);
    CHECK(p == CPoint(33, 0));
  }
  for (float v = 0.f; v <= 1.f; v += 0.125f) {
    knob->setValue(v);
    knob->valueToPoint(p);
    CHECK(knob->valueFromPoint(p) == doctest::Approx(v).epsilon(0.03));
  }
  // Just right of 6 o'clock is the maximum's side of the gap, just left the minimum's
  // (the other way round for the anticlockwise knob).
  CPoint right(36, 66), left(30, 66);
  const bool clockwise = knob->valueFromPoint(left) == 0.f;
  CHECK(knob->valueFromPoint(right) == (clockwise ? 1.f : 0.f));
  CHECK(knob->valueFromPoint(left) == (clockwise ? 0.f : 1.f));
  knob->forget();
}

// 33 up, Shift, Shift mid-drag and 10 up 10 left with the real pointer: editorwindowT.
TEST_CASE("the linear drag: right raises too, runs on past the ends, rebases on Shift") {
  const CPoint start(30, 40);
  float value = -1.f;
  VGKnobDrag d(0.25f, 0.f, 1.f, 66.f, 5.f, start, kButtonLeft);
  CHECK(d.track(CPoint(63, 40), kButtonLeft, value));
  CHECK(value == doctest::Approx(0.75f));
  CHECK_FALSE(d.track(CPoint(63, 40), kButtonLeft, value));  // no movement, no new value
  CHECK_FALSE(d.track(CPoint(63, 40), kButtonLeft | kButtonShift, value));
  d.track(CPoint(63, 7), kButtonLeft | kButtonShift, value);
  CHECK(value == doctest::Approx(0.85f));
  // Released again: the full rate from the position reached, and on past the end.
  d.track(CPoint(63, 7), kButtonLeft, value);
  d.track(CPoint(63, -26), kButtonLeft, value);
  CHECK(value == doctest::Approx(1.35f));
  d.track(CPoint(63, -500), kButtonLeft, value);
  CHECK(value > 7.f);
}

TEST_CASE("Ctrl-click (Command) resets to the default without an edit bracket") {
  Log log;
  RecordingListener listener(&log);
  TestFrame* frame = new TestFrame(CRect(0, 0, 100, 100), &log);
  VGGrommetKnob* knob = new VGGrommetKnob(CRect(0, 0, 66, 66), &listener, 2, gColors);
  frame->addView(knob);
  Canvas canvas;
  CPoint where(30, 30);
  knob->setValue(0.25f);
  knob->setDirty(false);

  knob->mouse(canvas.context, where, kButtonLeft | kButtonCommand);
  CHECK(knob->getValue() == 0.5f);
  CHECK(log == Log{"valueChanged 2 0.500000"});

  SUBCASE("again at the default, with the knob drawn: no change, no call") {
    knob->setDirty(false);
    log.clear();
    knob->mouse(canvas.context, where, kButtonLeft | kButtonCommand);
    CHECK(log.empty());
  }
  SUBCASE("Command-Shift is an ordinary drag (the pointer has not moved)") {
    knob->setValue(0.25f);
    log.clear();
    knob->mouse(canvas.context, where, kButtonLeft | kButtonCommand | kButtonShift);
    CHECK(knob->getValue() == 0.25f);
    CHECK(log.front() == "beginEdit 2");
    CHECK(log.back() == "endEdit 2");
  }
  SUBCASE("a right click or a disabled knob does nothing") {
    knob->setValue(0.25f);
    log.clear();
    knob->mouse(canvas.context, where, kButtonRight | kButtonCommand);
    knob->setMouseEnabled(false);
    knob->mouse(canvas.context, where, kButtonLeft | kButtonCommand);
    CHECK(log.empty());
    CHECK(knob->getValue() == 0.25f);
  }
  delete frame;
}
