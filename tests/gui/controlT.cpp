// The control base: the dirty rule, the edit bracket, the reset click and double clicks.

#include <doctest/doctest.h>

#include <limits>
#include <utility>

#include "recordingview.h"

namespace {

// A frame without a window holding one control with tag 7 and a recording listener.
struct Fixture {
  Log log;
  RecordingListener listener{&log};
  TestFrame* frame = new TestFrame(CRect(0, 0, 100, 100), &log);
  RecordingControl* control = new RecordingControl(CRect(10, 10, 30, 30), &listener, 7, &log);

  Fixture() { frame->addView(control); }
  ~Fixture() { delete frame; }
};

}  // namespace

TEST_CASE("dirty rule: value against the last drawn value") {
  RecordingControl* control = new RecordingControl(CRect(0, 0, 10, 10));
  CHECK(control->isDirty());
  control->setDirty(false);
  CHECK_FALSE(control->isDirty());
  CHECK(control->getOldValue() == control->getValue());

  SUBCASE("setValue with the same value leaves it clean, another value makes it dirty") {
    control->setValue(0.0f);
    CHECK_FALSE(control->isDirty());
    control->setValue(0.25f);
    CHECK(control->isDirty());
    Canvas canvas;
    control->draw(canvas.context);
    CHECK_FALSE(control->isDirty());
    CHECK(control->getOldValue() == 0.25f);
  }
  SUBCASE("setDirty(true) moves oldValue away from the value, also from -1") {
    control->setDirty(true);
    CHECK(control->getOldValue() == -1.0f);
    control->setValue(-1.0f);
    control->setDirty(true);
    CHECK(control->getOldValue() == 0.0f);
    CHECK(control->isDirty());
  }
  SUBCASE("the view flag alone also makes it dirty") {
    control->CView::setDirty(true);
    CHECK(control->isDirty());
  }
  SUBCASE("a NaN value is always dirty") {
    control->setValue(std::numeric_limits<float>::quiet_NaN());
    control->setDirty(false);
    CHECK(control->isDirty());
  }
  SUBCASE("setValue does not clamp; bounceValue does") {
    control->setValue(1.5f);
    CHECK(control->getValue() == 1.5f);
    control->bounceValue();
    CHECK(control->getValue() == 1.0f);
    control->setValue(-0.5f);
    control->bounceValue();
    CHECK(control->getValue() == 0.0f);
  }
  control->forget();
}

TEST_CASE("edit bracket and reset click") {
  Fixture f;
  f.control->setDefaultValue(0.75f);
  f.control->setDirty(false);

  SUBCASE("beginEdit makes the control the focus view and reaches the frame") {
    f.control->beginEdit();
    f.control->endEdit();
    CHECK(f.frame->getFocusView() == f.control);
    CHECK(f.log == Log{"beginEdit 7", "endEdit 7"});
  }
  SUBCASE("left click with Command resets and reports the change") {
    CHECK(f.control->checkDefaultValue(nullptr, kButtonLeft | kButtonCommand));
    CHECK(f.control->getValue() == 0.75f);
    CHECK(f.log == Log{"beginEdit 7", "valueChanged 7 0.750000", "endEdit 7"});
  }
  SUBCASE("at the default value already, only the bracket is sent") {
    f.control->setValue(0.75f);
    f.control->setDirty(false);
    CHECK(f.control->checkDefaultValue(nullptr, 17));
    CHECK(f.log == Log{"beginEdit 7", "endEdit 7"});
  }
  SUBCASE("any other button word does not reset") {
    for (long buttons : {25L, 16L, 1L, 5L + 16L, 17L | kButtonAlt}) {
      CHECK_FALSE(f.control->checkDefaultValue(nullptr, buttons));
    }
    CHECK(f.control->getValue() == 0.0f);
    CHECK(f.log.empty());
  }
}

TEST_CASE("double click within the window") {
  Fixture f;
  // A third click starts a new pair; 350 ms is too late; a clock beyond 2^31 still works.
  const std::pair<long, bool> clicks[] = {{1000, false},      {1100, true}, {1150, false},
                                          {1500, false},      {1749, true}, {3000000000L, false},
                                          {3000000100L, true}};
  for (auto [ticks, isDouble] : clicks) {
    f.frame->ticks = ticks;
    CAPTURE(ticks);
    CHECK(f.control->isDoubleClick() == isDouble);
  }
}
