// The slider's drag with the real pointer (XTest), scripted by the drag loop's host idle calls;
// clicks at the ends and the Shift rate without a window: sliderT.

#include <X11/keysym.h>
#include <doctest/doctest.h>

#include <functional>

#include "controlcolours.h"
#include "frame.h"
#include "hostrecorder.h"
#include "vgslider.h"
#include "xtesthost.h"

namespace {

CColor gColors[4] = {kBack, kFore, kHilite, kText};
// 200 x 20 at (100, 40): the handle's centre runs from x 115 to x 285 of the window.
const CRect kSliderSize(100, 40, 300, 60);
constexpr int kY = 50;
constexpr long kTag = 2;

class SliderEditor : public AEffGUIEditor, public CControlListener {
 public:
  explicit SliderEditor(AudioEffect* effect) : AEffGUIEditor(effect) { rect = {0, 0, 145, 419}; }
  bool open(void* ptr) override {
    AEffGUIEditor::open(ptr);
    frame = new CFrame(CRect(0, 0, 419, 145), ptr, this);
    slider = new VGSlider(kSliderSize, this, kTag, gColors);
    frame->addView(slider);
    return true;
  }
  void close() override {
    delete frame;
    frame = nullptr;
    slider = nullptr;
    AEffGUIEditor::close();
  }
  void valueChanged(CDrawContext*, CControl* control) override {
    effect->setParameterAutomated(control->getTag(), control->getValue());
  }
  VGSlider* slider = nullptr;
};

struct Session : HostedEffect {
  Session() {
    e = effect.getAeffect();
    REQUIRE(host.display);
    REQUIRE(openEditor(host.window) == 1);
    REQUIRE(idleUntil([this] { return !editor->slider->isDirty(); }));
  }
  ~Session() { dispatch(effEditClose); }
  // Presses the button at x (Shift held when shift), runs `onIdle(n)` at the n-th
  // host idle of the drag loop, and returns once the loop has ended.
  void drag(int x, bool shift, const std::function<void(int)>& onIdle) {
    int idles = 0;
    bool released = false;
    recorder.onCall = [&](AEffect*, const HostCall& call) {
      if (call.opcode != audioMasterIdle || released) return;
      onIdle(++idles);
      released = !(host.display && buttonHeld());
    };
    host.moveTo(x, kY);
    if (shift) host.key(XK_Shift_L, true);
    host.button(1, true);
    held = true;
    CHECK(idleUntil([&] { return released; }));
    recorder.onCall = nullptr;
    if (shift) host.key(XK_Shift_L, false);
  }
  void release() {
    host.button(1, false);
    held = false;
  }
  bool buttonHeld() const { return held; }

  HostRecorder recorder;
  XTestHost host;
  TestEffect effect{HostRecorder::callback};
  SliderEditor* editor = new SliderEditor(&effect);  // owned by the effect
  bool held = false;
};

}  // namespace

TEST_CASE("a drag follows the pointer; with Shift, also pressed mid-drag, 17 pixels are 0.01") {
  Session s;
  s.editor->slider->setValue(0.5f);
  s.drag(200, false, [&](int idle) {
    if (idle == 1) s.host.moveTo(234, kY);
    if (idle == 2) s.host.moveTo(400, kY);  // beyond the end
    if (idle == 3) CHECK(s.editor->slider->getValue() == 1.f);
    if (idle == 3) s.host.moveTo(200 - 51, kY);
    if (idle == 4) s.release();
  });
  CHECK(s.editor->slider->getValue() == doctest::Approx(0.2f));

  s.editor->slider->setValue(0.5f);
  s.drag(200, true, [&](int idle) {
    if (idle == 1) s.host.moveTo(217, kY);
    if (idle == 3) s.release();
  });
  CHECK(s.editor->slider->getValue() == doctest::Approx(0.51f).epsilon(1e-4));
  CHECK(s.effect.values[kTag] == doctest::Approx(0.51f).epsilon(1e-4));
  CHECK(s.recorder.callsOf(audioMasterBeginEdit).at(0).index == kTag);

  s.editor->slider->setValue(0.5f);
  float atShift = -1.f;
  s.drag(200, false, [&](int idle) {
    if (idle == 1) s.host.moveTo(234, kY);  // 0.7
    if (idle == 2) s.host.key(XK_Shift_L, true);
    if (idle == 3) {
      atShift = s.editor->slider->getValue();
      s.host.moveTo(251, kY);  // 17 pixels more
    }
    if (idle == 4) s.release();
  });
  s.host.key(XK_Shift_L, false);
  CHECK(atShift == doctest::Approx(0.7f).epsilon(1e-4));
  CHECK(s.editor->slider->getValue() == doctest::Approx(0.71f).epsilon(1e-4));
}
