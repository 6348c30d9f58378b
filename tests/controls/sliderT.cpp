// The slider drawn into memory and clicked without a window (real pointer: sliderpointerT).

#include <doctest/doctest.h>

#include <cmath>
#include <string>

#include "controlcolours.h"
#include "recordingview.h"
#include "vgslider.h"

namespace {

struct SliderFixture {
  explicit SliderFixture(const CRect& size = CRect(0, 0, 200, 20))
      : canvas(size.right, size.bottom), slider(new VGSlider(size, &listener, 4, colors)) {
    frame->addView(slider);
  }
  ~SliderFixture() { delete frame; }
  void draw() { slider->draw(canvas.context); }
  void click(CCoord x, long button = kButtonLeft) {
    CPoint where(x, slider->getViewSize(size).top + 5);
    log.clear();
    slider->mouse(canvas.context, where, button);
  }
  std::string valueText() {
    char text[256];
    slider->makeValueString(text, sizeof text);
    return text;
  }

  CColor colors[4] = {kBack, kFore, kHilite, kText};
  Log log;
  RecordingListener listener{&log};
  TestFrame* frame = new TestFrame(CRect(0, 0, 400, 100), &log);
  Canvas canvas;
  VGSlider* slider;
  CRect size;
};

}  // namespace

TEST_CASE("a 200 x 20 slider: limits 15 and 185, handle from 91 to 109 at 0.5") {
  SliderFixture f;
  CHECK(f.slider->getValue() == 0.f);
  CHECK(f.slider->getLimitLeft() == 15);
  CHECK(f.slider->getLimitRight() == 185);
  f.slider->setValue(0.5f);
  f.draw();
  // The handle's fill covers 91 to 108; its one-pixel outline runs on the edge, half
  // over the fill's outer pixels and half over the white beside them.
  CHECK(boundsNot(f.canvas, CRect(60, 10, 140, 11), kWhiteCColor) == CRect(90, 10, 110, 11));
  for (int x = 92; x < 108; x++) CHECK(f.canvas.pixel(x, 10) == kHilite);
  for (int x : {91, 108})  // (a little white shows through too)
    CHECK(blendAmount(f.canvas.pixel(x, 10), kHilite, kDarkHilite, 8) ==
          doctest::Approx(0.5).epsilon(0.2));
  for (int x : {90, 109})
    CHECK(blendAmount(f.canvas.pixel(x, 10), kWhiteCColor, kDarkHilite) == doctest::Approx(0.5).epsilon(0.2));
  // The track: y 15 to 20, broken around the handle.
  CHECK(boundsNear(f.canvas, CRect(0, 0, 200, 20), kBack).top == 15);
  CHECK(f.canvas.pixel(50, 17) == kBack);
  CHECK(f.canvas.pixel(150, 17) == kBack);
  CHECK(f.canvas.pixel(50, 14) == kWhiteCColor);

  f.slider->setValue(0.f);
  f.draw();
  CHECK(f.canvas.pixel(15, 10) == kHilite);
  CHECK(f.canvas.pixel(100, 17) == kBack);
}

TEST_CASE("slider texts: name left, display value and unit right; log and integer display") {
  SliderFixture f;
  f.slider->setLabel("dB");
  f.slider->setMinValue(-2.f);
  f.slider->setMaxValue(2.f);
  f.slider->setValue(0.75f);
  CHECK(f.valueText() == "1.00 dB");
  f.slider->setLog(true);
  CHECK(f.valueText() == "2.00 dB");
  f.slider->setLog(false);
  f.slider->setMaxValue(3.4f);
  f.slider->setMinValue(0.f);
  f.slider->setValue(0.794f);  // display value 2.7
  f.slider->setInteger(true);
  CHECK(f.valueText() == "2.00 dB");
  CHECK(f.slider->getValue() == 0.794f);  // the value itself stays

  f.slider->setName("Drive");
  f.slider->setValue(0.5f);
  f.draw();
  const auto text = [](const CColor& p) { return near(p, kText, 60); };
  const CRect left = boundsWhere(f.canvas, CRect(0, 0, 88, 15), text);
  const CRect right = boundsWhere(f.canvas, CRect(112, 0, 200, 15), text);
  CHECK(left.left >= 9);
  CHECK(left.left <= 12);
  CHECK(right.right <= 191);
  CHECK(right.right >= 186);
}

TEST_CASE("slider clicks put the handle's centre under the pointer") {
  SliderFixture f(CRect(20, 10, 220, 30));
  f.slider->setValue(0.5f);
  f.click(20);  // the left edge
  CHECK(f.slider->getValue() == 0.f);
  CHECK(f.log == Log{"beginEdit 4", "valueChanged 4 0.000000", "endEdit 4"});
  f.click(20 + 185);  // limitRight
  CHECK(f.slider->getValue() == 1.f);
  f.click(20 + 100);
  CHECK(f.slider->getValue() == 0.5f);
  f.click(400);
  CHECK(f.slider->getValue() == 1.f);

  // Shift: a tenth of the way from where the value stood, so 17 pixels are 0.01.
  f.slider->setValue(0.5f);
  f.click(20 + 117, kButtonLeft | kButtonShift);
  CHECK(f.slider->getValue() == doctest::Approx(0.51f).epsilon(1e-5));

  // Ctrl-click (Command) resets to the default; without the left button, nothing.
  f.click(20 + 30, kButtonLeft | kButtonCommand);
  CHECK(f.slider->getValue() == 0.5f);
  f.click(20 + 30, kButtonRight);
  CHECK(f.slider->getValue() == 0.5f);
  CHECK(f.log.empty());
}

TEST_CASE("a slider with no travel or a value that is not a number stays defined") {
  SliderFixture f(CRect(0, 0, 24, 16));  // limits 12 and 12
  f.click(5);
  CHECK(f.slider->getValue() == 0.f);
  f.click(20);
  CHECK(f.slider->getValue() == 1.f);
  f.slider->setValue(std::nanf(""));
  f.draw();
  f.slider->setValue(1e30f);
  f.draw();
  CHECK_FALSE(f.slider->isDirty());
}
