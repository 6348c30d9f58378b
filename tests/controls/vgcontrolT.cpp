// The vector control base (placeholder, colours, fonts, clicks) and RUVDrawContext.

#include <doctest/doctest.h>

#include <string>
#include <tuple>

#include "recordingview.h"
#include "ruvdrawcontext.h"
#include "vgcontrol.h"

namespace {

CColor gColors[4] = {{13, 0, 39, 255}, {144, 8, 0, 255}, {80, 189, 216, 255}, {0, 0, 0, 255}};

// A member whose mouse is the toggle click, as the labels, buttons and logo have it.
class ToggleControl : public VGControl {
 public:
  using VGControl::VGControl;
  void mouse(CDrawContext* pContext, CPoint&, long button) override {
    toggleClick(pContext, button);
  }
};

// Answers every modifier click with `answer`, logging it.
class ModifierListener : public RecordingListener {
 public:
  using RecordingListener::RecordingListener;
  long controlModifierClicked(CDrawContext*, CControl*, long button) override {
    log->push_back("modifierClicked " + std::to_string(button));
    return answer;
  }
  long answer = 1;
};

// A windowless frame holding one control with tag 3 and a logging listener.
template <typename Control>
struct Fixture {
  Log log;
  ModifierListener listener{&log};
  TestFrame* frame = new TestFrame(CRect(0, 0, 100, 100), &log);
  Control* control = new Control(CRect(10, 10, 30, 30), &listener, 3, gColors);
  Canvas canvas;
  CPoint where{20, 20};

  Fixture() { frame->addView(control); }
  ~Fixture() { delete frame; }
  void click(long button) {
    log.clear();
    control->mouse(canvas.context, where, button);
  }
};

}  // namespace

TEST_CASE("a new VGControl and its placeholder ring") {
  VGControl* control = new VGControl(CRect(5, 5, 71, 71), nullptr, 0, gColors);
  CHECK(control->getValue() == 1.0f);
  CHECK(control->getFontSize() == 12);
  CHECK(std::string(control->getName()).empty());
  CHECK(std::string(control->getLabel()).empty());
  Canvas canvas(80, 80);

  // At 1 the white inner ellipse has shrunk to nothing; at 0 it covers the green one.
  const CColor pink = {255, 0, 127, 255}, olive = {127, 127, 63, 255}, white = kWhiteCColor;
  for (auto [value, centre, side] :
       {std::tuple{1.f, pink, pink}, {0.5f, white, olive}, {0.f, white, white}}) {
    control->setValue(value);
    control->draw(canvas.context);
    CHECK(canvas.pixel(38, 38) == centre);
    CHECK(canvas.pixel(12, 38) == side);
    CHECK(canvas.pixel(6, 6) == kWhiteCColor);  // corner: white, and inside widgetRect only
    CHECK(canvas.pixel(4, 4) == kWhiteCColor);
    CHECK_FALSE(control->isDirty());
  }
  control->forget();
}

TEST_CASE("derived colours: halfway to white and half, alpha always 255") {
  CHECK(VGControl::lighten({13, 0, 39, 255}) == CColor{134, 127, 147, 255});
  CHECK(VGControl::lighten({255, 254, 1, 0}) == CColor{255, 254, 128, 255});
  CHECK(VGControl::darken({80, 189, 216, 255}) == CColor{40, 94, 108, 255});
  CHECK(VGControl::darken({255, 1, 0, 7}) == CColor{127, 0, 0, 255});
}

TEST_CASE("adjustFontSize picks the smaller of the width fit and the height fit") {
  VGControl* control = new VGControl(CRect(0, 0, 66, 66), nullptr, 0, gColors);
  Canvas canvas;
  auto widthAt = [&](long size) {
    canvas.context->setFont(kNormalFont, size, 0);
    return canvas.context->getStringWidth("0123");
  };

  SUBCASE("a wide box: the height decides, a line being 1.1 x the size") {
    control->adjustFontSize(canvas.context, "0123", 1000, 35);
    CHECK(control->getFontSize() == 32);
  }
  SUBCASE("a tall box: the width decides, and the text fits it") {
    control->adjustFontSize(canvas.context, "0123", 66, 1000);
    long size = control->getFontSize();
    CHECK(size > 20);
    CHECK(size < 66);
    CHECK(widthAt(size) <= 67);
    CHECK(widthAt(size + 2) > 66);
  }
  SUBCASE("the chosen font is left selected on the context") {
    control->adjustFontSize(canvas.context, "0123", 32, 32);
    CHECK(canvas.context->getFontSize() == control->getFontSize());
    CHECK(canvas.context->getFont() == kNormalFont);
  }
  SUBCASE("an empty text is limited by the height only; an empty box still gives a size") {
    control->adjustFontSize(canvas.context, "", 10, 35);
    CHECK(control->getFontSize() == 32);
    control->adjustFontSize(canvas.context, "0123", 0, 0);
    CHECK(control->getFontSize() == 1);
  }
  control->forget();
}

TEST_CASE("name and label keep at most 255 characters") {
  VGControl* control = new VGControl(CRect(0, 0, 10, 10), nullptr, 0, gColors);
  control->setName("1st c. p.");
  control->setLabel("dB");
  CHECK(std::string(control->getName()) == "1st c. p.");
  CHECK(std::string(control->getLabel()) == "dB");
  std::string longText(300, 'x');
  control->setName(longText.c_str());
  CHECK(std::string(control->getName()) == longText.substr(0, 255));
  control->setLabel(nullptr);
  CHECK(std::string(control->getLabel()).empty());
  control->forget();
}

TEST_CASE("the toggle click flips the value by its integer part inside an edit bracket") {
  Fixture<ToggleControl> f;
  f.control->setValue(0.7f);
  f.click(kButtonLeft);
  CHECK(f.control->getValue() == 1.0f);
  CHECK(f.log == Log{"beginEdit 3", "valueChanged 3 1.000000", "endEdit 3"});
  f.click(kButtonLeft);
  CHECK(f.control->getValue() == 0.0f);
  f.control->setValue(2.5f);
  f.click(kButtonLeft);
  CHECK(f.control->getValue() == 0.0f);

  SUBCASE("a modifier click taken by the listener changes nothing") {
    f.click(kButtonLeft | kButtonShift);
    CHECK(f.log == Log{"modifierClicked 9"});
    CHECK(f.control->getValue() == 0.0f);
  }
  SUBCASE("one the listener declines toggles as usual") {
    f.listener.answer = 0;
    f.click(kButtonLeft | kButtonAlt);
    CHECK(f.control->getValue() == 1.0f);
  }
  SUBCASE("a right click, a click without buttons, or a disabled control do nothing") {
    f.click(kButtonRight);
    f.click(0);
    f.control->setMouseEnabled(false);
    f.click(kButtonLeft);
    CHECK(f.log.empty());
    CHECK(f.control->getValue() == 0.0f);
  }
}

TEST_CASE("the base drag: modifier clicks, the reset click and clicks it ignores") {
  Fixture<VGControl> f;
  f.control->setValue(0.25f);
  f.control->setDirty(false);

  SUBCASE("Command-click, declined by the listener, resets to the default as one edit") {
    f.listener.answer = 0;
    f.click(kButtonLeft | kButtonCommand);
    CHECK(f.control->getValue() == 0.5f);
    CHECK(f.log ==
          Log{"modifierClicked 17", "beginEdit 3", "valueChanged 3 0.500000", "endEdit 3"});
  }
  SUBCASE("a modifier click the listener takes changes nothing") {
    f.click(kButtonLeft | kButtonCommand);
    CHECK(f.log == Log{"modifierClicked 17"});
    CHECK(f.control->getValue() == 0.25f);
  }
  SUBCASE("no left button: nothing") {
    f.click(kButtonRight);
    CHECK(f.log.empty());
    CHECK(f.control->getValue() == 0.25f);
  }
}

TEST_CASE("RUVDrawContext: drawRect is the stroked drawRect, dashes included") {
  for (CLineStyle style : {kLineSolid, kLineOnOffDash}) {
    RUVDrawContext* ruv = new RUVDrawContext(nullptr, 40, 40, kWhiteCColor);
    COffscreenContext* plain = new COffscreenContext(nullptr, 40, 40, kWhiteCColor);
    ruv->setLineWidth(2);
    plain->setLineWidth(2);
    for (CDrawContext* c : {static_cast<CDrawContext*>(ruv), static_cast<CDrawContext*>(plain)}) {
      c->setLineStyle(style);
      c->setFrameColor(kRedCColor);
      c->setFillColor(kBlueCColor);  // must not be used
    }
    ruv->drawRect(CRect(3, 4, 37, 30));
    plain->drawRect(CRect(3, 4, 37, 30), kDrawStroked);
    CHECK(ruv->getLineWidth() == 2);
    int differing = 0;
    for (int y = 0; y < 40; y++)
      for (int x = 0; x < 40; x++) differing += pixelAt(*ruv, x, y) != pixelAt(*plain, x, y);
    CHECK(differing == 0);
    ruv->forget();
    plain->forget();
  }
}

TEST_CASE("drawRoundedRect: radius-10 corners, top and left one pixel in, offset ignored") {
  const CColor white = kWhiteCColor;
  for (CPoint offset : {CPoint(0, 0), CPoint(3, 2)}) {
    RUVDrawContext* oc = new RUVDrawContext(nullptr, 60, 50, kWhiteCColor);
    oc->offset = offset;
    oc->setFrameColor(kBlackCColor);
    oc->setLineWidth(1);
    oc->drawRoundedRect(CRect(5, 5, 45, 35));
    // Pen centred on y = 6, x = 6, y = 35 and x = 45: without anti-aliasing each
    // edge falls on the pixel before, so the ink fills the rectangle's own pixels.
    CHECK(inkBounds(*oc, white) == CRect(5, 5, 45, 35));
    CHECK(pixelAt(*oc, 25, 5) == kBlackCColor);
    CHECK(pixelAt(*oc, 25, 34) == kBlackCColor);
    CHECK(pixelAt(*oc, 5, 20) == kBlackCColor);
    CHECK(pixelAt(*oc, 44, 20) == kBlackCColor);
    CHECK(pixelAt(*oc, 25, 6) == white);
    // The corners are cut.
    CHECK(pixelAt(*oc, 5, 5) == white);
    CHECK(pixelAt(*oc, 44, 34) == white);
    // Anti-aliased, each edge shares itself between the two pixels it straddles.
    oc->setDrawMode(kAntialias);
    oc->setFillColor(kWhiteCColor);
    oc->fillRect(CRect(0, 0, 60, 50));
    oc->drawRoundedRect(CRect(5, 5, 45, 35));
    CHECK(inkBounds(*oc, white) == CRect(5, 5, 46, 36));
    oc->forget();
  }
}
