// The plug-in's editor without a window: controls, colour table, automation, thread rule.

#include <doctest/doctest.h>

#include <cstdlib>
#include <limits>
#include <string>
#include <thread>
#include <typeinfo>

#include "frame.h"
#include "hostedeffect.h"
#include "hostrecorder.h"
#include "tessarine.h"
#include "tessarineeditor.h"
#include "vgbutton.h"
#include "vgknob.h"
#include "vglabel.h"
#include "vglogo.h"

namespace {

const CColor kDefaults[4] = {
    {13, 0, 39, 255}, {144, 8, 0, 255}, {80, 189, 216, 255}, {0, 0, 0, 255}};

// The effect and its editor, opened without a host window (nothing is shown).
struct Fixture : HostedEffect {
  Fixture() { e = effect.getAeffect(); }
  HostRecorder host;
  tessarine effect{HostRecorder::callback};
  tessarineeditor* editor = static_cast<tessarineeditor*>(effect.getEditor());

  bool open() { return editor->open(nullptr); }
  VGControl* control(long index) const {
    return dynamic_cast<VGControl*>(editor->getFrame()->getView(index));
  }
  VGGrommetKnob* knob(int parameter) const {
    return dynamic_cast<VGGrommetKnob*>(control(1 + 2 * parameter));
  }
  VGControl* colorButton() const { return control(13); }
  const CColor* colors() const { return control(0)->getPluginColors(); }
  template <class F>
  void onOtherThread(F f) {  // as a host's automation thread would
    std::thread(f).join();
  }
};

}  // namespace

TEST_CASE("the effect carries its editor: 419 x 145 before and after open") {
  Fixture f;
  CHECK(f.e->flags == (effFlagsHasEditor | effFlagsCanMono | effFlagsCanReplacing));
  REQUIRE(f.editor);
  for (int pass = 0; pass < 2; pass++) {
    ERect* rect = nullptr;
    CHECK(f.dispatch(effEditGetRect, 0, 0, &rect) == 1);
    REQUIRE(rect);
    CHECK((rect->top == 0 && rect->left == 0 && rect->bottom == 145 && rect->right == 419));
    if (pass == 0) REQUIRE(f.open());
  }
}

TEST_CASE("open builds the fifteen controls in drawing order, all on one colour table") {
  Fixture f;
  f.e->setParameter(f.e, 3, 0.25f);
  REQUIRE(f.open());
  CFrame* frame = f.editor->getFrame();
  REQUIRE(frame);
  CHECK(frame->getBackgroundColor() == kWhiteCColor);
  REQUIRE(frame->getNbViews() == 15);

  struct Expected {
    const std::type_info& type;
    CRect rect;
    long tag;
    const char* name;
  };
  const Expected expected[15] = {
      {typeid(VGLogo), CRect(5, 5, 414, 31), -1, "+ t e s s a r i n e"},
      {typeid(VGGrommetKnob), CRect(5, 36, 71, 102), 0, ""},
      {typeid(VGSimpleLabel), CRect(5, 102, 69, 117), -99, "1st c. p."},
      {typeid(VGGrommetKnob), CRect(74, 36, 140, 102), 1, ""},
      {typeid(VGSimpleLabel), CRect(74, 102, 138, 117), -99, "2nd c. p."},
      {typeid(VGGrommetKnob), CRect(143, 36, 209, 102), 2, ""},
      {typeid(VGSimpleLabel), CRect(143, 102, 207, 117), -99, "3rd c. p."},
      {typeid(VGGrommetKnob), CRect(212, 36, 278, 102), 3, ""},
      {typeid(VGSimpleLabel), CRect(212, 102, 276, 117), -99, "4th c. p."},
      {typeid(VGGrommetKnob), CRect(281, 36, 347, 102), 4, ""},
      {typeid(VGSimpleLabel), CRect(281, 102, 345, 117), -99, "5th c. p."},
      {typeid(VGGrommetKnob), CRect(350, 36, 416, 102), 5, ""},
      {typeid(VGSimpleLabel), CRect(350, 102, 414, 117), -99, "7th c. p."},
      {typeid(VGTargetButton), CRect(399, 115, 416, 132), -8888, ""},
      {typeid(VGBottomLabel), CRect(0, 135, 419, 145), -99,
       "Quorvalin +tessarine vst - v. fire - 2026 Quorvalin"},
  };
  for (long i = 0; i < 15; i++) {
    INFO("view ", i);
    VGControl* control = f.control(i);
    REQUIRE(control);
    CHECK(typeid(*control) == expected[i].type);
    CRect rect;
    CHECK(control->getViewSize(rect) == expected[i].rect);
    CHECK(control->getTag() == expected[i].tag);
    CHECK(std::string(control->getName()) == expected[i].name);
    CHECK(control->getPluginColors() == f.colors());
  }
  for (int i = 0; i < 4; i++) CHECK(f.colors()[i] == kDefaults[i]);
  CHECK(f.colorButton()->getValue() == 0.0f);
  for (int p = 0; p < 6; p++) {
    INFO("knob ", p);
    VGGrommetKnob* knob = f.knob(p);
    CHECK(std::string(knob->getLabel()) == "dB");
    CHECK(knob->getMaxValue() == 0.0f);
    CHECK(knob->getMinValue() == -60.0f);
    CHECK(knob->getValue() == f.effect.getParameter(p));
  }
  CHECK(f.knob(3)->getValue() == 0.25f);

  // Opened again without a close: a fresh panel replaces the old one, which is gone.
  const int32_t views = gNbCView;
  REQUIRE(f.open());
  CHECK(gNbCView == views);
  CHECK(f.editor->getFrame()->getNbViews() == 15);
}

TEST_CASE("a turned knob is an automated change of its parameter; other views are not") {
  Fixture f;
  REQUIRE(f.open());
  VGGrommetKnob* knob = f.knob(3);
  knob->setValue(0.625f);
  knob->setDirty(false);
  f.editor->valueChanged(nullptr, knob);
  const auto automated = f.host.callsOf(audioMasterAutomate);
  REQUIRE(automated.size() == 1);
  CHECK(automated[0].index == 3);
  CHECK(automated[0].opt == 0.625f);
  CHECK(f.effect.getParameter(3) == 0.625f);
  CHECK(knob->isDirty());

  f.host.calls.clear();
  for (long view : {0L, 2L, 12L, 14L}) {  // logo, captions, bottom strip
    VGControl* control = f.control(view);
    control->setValue(0.0f);
    control->setDirty(false);
    f.editor->valueChanged(nullptr, control);
    CHECK(control->isDirty());
  }
  CHECK(f.host.callsOf(audioMasterAutomate).empty());
  CHECK(f.effect.getParameter(0) == 1.0f);
}

// Off again and close/open are tested on screen (editorwindowT).
TEST_CASE("the target button takes the generator's next nine values for entries 0 to 2") {
  Fixture f;
  REQUIRE(f.open());
  const CColor* colors = f.colors();
  // The entries take the generator's next nine values, red, green, blue for 0, 1, 2.
  std::srand(2026);
  unsigned char expected[9];
  for (unsigned char& channel : expected) channel = (unsigned char)(std::rand() % 255);
  std::srand(2026);

  for (long i = 0; i < 15; i++) f.control(i)->setDirty(false);
  VGControl* button = f.colorButton();
  button->setValue(1.0f);
  f.editor->valueChanged(nullptr, button);
  for (int i = 0; i < 3; i++) {
    CHECK(colors[i].red == expected[3 * i]);
    CHECK(colors[i].green == expected[3 * i + 1]);
    CHECK(colors[i].blue == expected[3 * i + 2]);
    CHECK(colors[i].alpha == 255);
  }
  CHECK(colors[3] == kDefaults[3]);
  // Everything left of x = 395 is redrawn at the next idle pass.
  for (long i = 0; i < 13; i++) CHECK(f.control(i)->isDirty());
  CHECK(f.control(14)->isDirty());
  CHECK(f.host.callsOf(audioMasterAutomate).empty());
}

TEST_CASE("parameter changes move the knobs: at once on the editor's thread, else at idle") {
  Fixture f;
  REQUIRE(f.open());
  f.dispatch(effEditIdle);  // this thread is the user-interface thread from now on

  f.e->setParameter(f.e, 1, 0.5f);
  CHECK(f.knob(1)->getValue() == 0.5f);

  f.onOtherThread([&] { f.e->setParameter(f.e, 2, 0.75f); });
  CHECK(f.knob(2)->getValue() == 0.0f);  // another thread touches no control
  f.dispatch(effEditIdle);
  CHECK(f.knob(2)->getValue() == 0.75f);

  for (VstInt32 i = 0; i < 6; i++) f.e->setParameter(f.e, i, 0.125f * float(i + 1));
  // Indices outside 0..5 and values the effect refuses change no knob.
  f.editor->setParameter(6L, 0.0f);
  f.editor->setParameter(-1L, 0.0f);
  f.e->setParameter(f.e, 0, std::numeric_limits<float>::quiet_NaN());
  f.onOtherThread([&] { f.editor->setParameter(-1L, 0.0f); });
  f.dispatch(effEditIdle);
  for (int i = 0; i < 6; i++) CHECK(f.knob(i)->getValue() == 0.125f * float(i + 1));

  SUBCASE("a closed editor touches nothing, on any thread") {
    f.dispatch(effEditClose);
    // The knobs are gone (under AddressSanitizer any touch would be reported).
    f.e->setParameter(f.e, 3, 0.5f);
    f.onOtherThread([&] { f.e->setParameter(f.e, 4, 0.5f); });
    f.dispatch(effEditIdle);
    f.dispatch(effSetProgram, 0, 1);
    REQUIRE(f.open());
    CHECK(f.knob(4)->getValue() == f.effect.getParameter(4));
    CHECK(f.knob(0)->getValue() == 1.0f);
  }
}
