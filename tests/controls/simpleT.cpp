// The labels, buttons and logo drawn into memory and clicked without a window.

#include <doctest/doctest.h>

#include "controlcolours.h"
#include "recordingview.h"
#include "vgbutton.h"
#include "vglabel.h"
#include "vglogo.h"

namespace {

// A control of type T on a canvas of `background`, with a logging listener.
template <typename T>
struct Drawn {
  Drawn(const CRect& size, long width, long height, CColor background = kGreyCColor)
      : canvas(width, height, background), control(new T(size, &listener, 7, colors)) {}
  ~Drawn() { control->forget(); }
  void draw() { control->draw(canvas.context); }
  void click(long button = kButtonLeft) {
    CPoint where(0, 0);
    control->mouse(canvas.context, where, button);
  }

  CColor colors[4] = {kBack, kFore, kHilite, kText};
  Log log;
  RecordingListener listener{&log};
  Canvas canvas;
  T* control;
};

// A toggle click flips the value and tells the listener, and the drawing stays.
template <typename T>
void checkToggleLeavesDrawing(Drawn<T>& d) {
  d.draw();
  const std::vector<CColor> before = snapshot(d.canvas);
  const float value = d.control->getValue();
  d.click();
  CHECK(d.control->getValue() == (value >= 1.f ? 0.f : 1.f));
  CHECK(d.log == Log{std::string("valueChanged 7 ") + (value >= 1.f ? "0.000000" : "1.000000")});
  d.draw();
  CHECK(snapshot(d.canvas) == before);
}

}  // namespace

TEST_CASE("simple label: its name centred on white with a margin, in the text colour") {
  Drawn<VGSimpleLabel> d(CRect(10, 10, 74, 25), 90, 40);
  d.control->setName("Third");
  d.draw();
  // 13 points fill 15 pixels; two less leave the margin.
  CHECK(d.control->getFontSize() <= 11);
  CHECK(d.control->getFontSize() >= 8);
  checkPixels(d.canvas, {{10, 10, kWhiteCColor},
                         {73, 24, kWhiteCColor},
                         {9, 10, kGreyCColor},
                         {74, 24, kGreyCColor},
                         {10, 25, kGreyCColor}});
  const CRect r(10, 10, 74, 25);
  const CRect ink = boundsNot(d.canvas, r, kWhiteCColor);
  CHECK(ink.width() > 20);
  CHECK(std::abs((ink.left - 10) - (74 - ink.right)) <= 2);
  float amount = 0;
  CHECK(onlyInkOver(d.canvas, r, kWhiteCColor, kText, amount));
  CHECK(amount > 0.7f);

  // The colour comes from the table at every draw.
  d.colors[3] = kRedCColor;
  d.draw();
  CHECK(onlyInkOver(d.canvas, r, kWhiteCColor, kRedCColor, amount));
  CHECK(amount > 0.7f);
  // The 2-point reduction does not accumulate from draw to draw.
  const long size = d.control->getFontSize();
  d.draw();
  CHECK(d.control->getFontSize() == size);

  checkToggleLeavesDrawing(d);
}

TEST_CASE("bottom label: the whole strip in (239, 232, 229), the text filling its height") {
  const CColor strip = {239, 232, 229, 255};
  Drawn<VGBottomLabel> d(CRect(0, 135, 419, 145), 419, 145);
  d.control->setName("Quorvalin +tessarine vst - v. fire");
  d.draw();
  CHECK(d.control->getFontSize() <= 9);  // 10 / 140 x 128
  const CRect r(0, 135, 419, 145);
  // The strip, edges included, with the text anti-aliased over it.
  float amount = 0;
  CHECK(onlyInkOver(d.canvas, r, strip, kText, amount));
  CHECK(amount > 0.5f);
  CHECK(boundsNot(d.canvas, r, strip).width() > 100);
  checkPixels(d.canvas, {{0, 135, strip}, {418, 144, strip}, {0, 134, kGreyCColor}});
  checkToggleLeavesDrawing(d);
}

TEST_CASE("the editor's 17 x 17 target button: ring, white disc and a lamp lit above 0.5") {
  Drawn<VGTargetButton> d(CRect(393, 120, 410, 137), 419, 145);
  CHECK(d.control->getValue() == 0.f);
  d.draw();
  // Local (1, 1, 16, 16) in fore, white (3, 3, 14, 14), the lamp (5, 5, 12, 12).
  CHECK(d.canvas.pixel(401, 128) == kLiteBack);
  CHECK(near(d.canvas.pixel(408, 128), kFore, 10));
  CHECK(near(d.canvas.pixel(396, 128), kWhiteCColor, 10));
  CHECK(d.canvas.pixel(393, 120) == kWhiteCColor);
  CHECK(d.canvas.pixel(392, 128) == kGreyCColor);

  d.click(kButtonRight);  // also a Control-click, which the context reports as right
  CHECK(d.log.empty());
  d.click();  // the first click lights it
  CHECK(d.log == Log{"valueChanged 7 1.000000"});
  d.draw();
  CHECK(d.canvas.pixel(401, 128) == kHilite);

  // Recolouring the table changes the next draw.
  d.colors[2] = kCyanCColor;
  d.colors[1] = kMagentaCColor;
  d.draw();
  CHECK(d.canvas.pixel(401, 128) == kCyanCColor);
  CHECK(near(d.canvas.pixel(408, 128), kMagentaCColor, 10));

  d.control->setValue(0.5f);
  d.draw();
  CHECK(d.canvas.pixel(401, 128) == kLiteBack);
}

TEST_CASE("text button: pill, lamp at (85, 5, 95, 15) and the caption for its state") {
  Drawn<VGTextButton> d(CRect(0, 0, 100, 20), 100, 20);
  d.control->setName("ab");
  d.control->setOnName("abababab");
  d.draw();  // new: on
  // (75, 10): the white inside, 3 to 17
  checkPixels(d.canvas,
              {{50, 1, kFore}, {75, 10, kWhiteCColor}, {50, 17, kFore}, {90, 10, kHilite}});
  const auto textInk = [&] {
    return boundsWhere(d.canvas, CRect(0, 0, 84, 20),
                       [](const CColor& p) { return near(p, kText, 60); });
  };
  const CRect onInk = textInk();
  CHECK(onInk.left >= 9);
  CHECK(onInk.bottom <= 17);

  d.click();  // off
  d.draw();
  CHECK(d.canvas.pixel(90, 10) == kLiteBack);
  const CRect offInk = textInk();
  CHECK(offInk.left == onInk.left);
  CHECK(offInk.right < onInk.right - 10);  // "ab", not "abababab"
}

TEST_CASE("step button: each click the next step, round again; the caption names it") {
  Drawn<VGStepButton> d(CRect(0, 0, 130, 20), 130, 20);
  d.control->setName("x");
  d.control->setStepCount(4);
  const char* const names[] = {"1", "22", "4444", "88888888"};
  for (int step = 0; step < 4; step++) d.control->setStepName(step, names[step]);
  CHECK(d.control->getStep() == 0);
  d.draw();
  checkPixels(d.canvas, {{65, 1, kFore}, {65, 18, kFore}, {1, 10, kFore}, {20, 10, kWhiteCColor}});
  const auto inkWidth = [&] {
    d.draw();
    return boundsWhere(d.canvas, CRect(0, 0, 130, 20), [](const CColor& p) { return near(p, kText, 60); })
        .width();
  };
  int width = inkWidth();
  const float expected[] = {1.f / 3.f, 2.f / 3.f, 1.f, 0.f};
  for (int i = 0; i < 4; i++) {
    d.click();
    CHECK(d.control->getValue() == expected[i]);
    const int now = inkWidth();
    CHECK((i < 3 ? now > width : now < width));  // the caption grows with the step
    width = now;
  }
  CHECK(d.log.size() == 4);
  // A value between steps goes on from the nearest one.
  d.control->setValue(0.3f);
  d.click();
  CHECK(d.control->getValue() == 2.f / 3.f);
}

TEST_CASE("logo: badge and bar in the fore and back colours, the name in white") {
  Drawn<VGLogo> d(CRect(0, 0, 409, 26), 409, 26);
  d.control->setName("+ t e s s a r i n e");
  d.draw();
  // Badge: rim (13, 1, 145, 25) in fore around (13, 3, 145, 23) in liteFore, and the
  // white pill (16, 7, 142, 22) with the maker's word in the back colour.
  checkPixels(d.canvas,
              {{60, 1, kFore}, {60, 24, kFore}, {60, 4, kLiteFore}, {10, 14, kWhiteCColor}});
  CHECK(countNear(d.canvas, CRect(16, 7, 142, 22), kBack) > 20);
  // Bar: rim (145, 1, 396, 25) in fore around liteBack; the end disc (384, 1, 408, 25);
  // the dark strip (145, 7, 393, 22) and its end disc (385, 7, 400, 22) in back.
  checkPixels(d.canvas,
              {{300, 1, kFore}, {300, 24, kFore}, {300, 4, kLiteBack}, {300, 23, kLiteBack}});
  CHECK(near(d.canvas.pixel(396, 1), kFore, 10));
  checkPixels(d.canvas, {{403, 12, kLiteBack}, {160, 8, kBack}, {395, 14, kBack}});
  const CRect strip(157, 7, 393, 22);
  const int white = countNear(d.canvas, strip, kWhiteCColor);
  CHECK(white > 30);

  // New fore and back colours recolour badge, bar, strip and maker's word; the name
  // stays white, pixel for pixel.
  d.colors[0] = kBlueCColor;
  d.colors[1] = kGreenCColor;
  d.draw();
  CHECK(d.canvas.pixel(60, 1) == kGreenCColor);
  CHECK(d.canvas.pixel(60, 4) == VGControl::lighten(kGreenCColor));
  CHECK(d.canvas.pixel(300, 4) == VGControl::lighten(kBlueCColor));
  CHECK(d.canvas.pixel(160, 8) == kBlueCColor);
  CHECK(countNear(d.canvas, CRect(16, 7, 142, 22), kBack) == 0);
  CHECK(countNear(d.canvas, CRect(16, 7, 142, 22), kBlueCColor) > 20);
  CHECK(countNear(d.canvas, strip, kWhiteCColor) == white);

  checkToggleLeavesDrawing(d);
}

TEST_CASE("logo: the badge is six heights wide whatever the width") {
  Drawn<VGLogo> narrow(CRect(0, 0, 300, 26), 300, 26);
  Drawn<VGLogo> wide(CRect(0, 0, 409, 26), 409, 26);
  narrow.draw();
  wide.draw();
  for (int y = 0; y < 26; y++)
    for (int x = 0; x < 145; x++) REQUIRE(narrow.canvas.pixel(x, y) == wide.canvas.pixel(x, y));
  CHECK(narrow.canvas.pixel(283, 14) == kBack);  // the bar takes the rest
}
