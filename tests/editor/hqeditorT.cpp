// The HQ editor in a real window under Xvfb: the described panel pixel for pixel above
// its strip, the settings as automation gestures of the real pointer, Ctrl-click back
// to the defaults, the host's changes shown, the latency text.

#include <doctest/doctest.h>
// X headers after doctest: Xlib defines None.
#include <X11/keysym.h>

#include <cstring>
#include <thread>
#include <vector>

#include "oversampler.h"
#include "tessarinehq.h"
#include "tessarinesession.h"
#include "vgcontrol.h"

namespace {

constexpr int kWidth = 419, kPanelHeight = 145, kHeight = 171;
constexpr uint32_t kStripColor = 0xefe8e5;  // the described bottom strip
constexpr uint32_t kLit = 0x50bdd8;         // the default highlight colour: a lamp on

// The strip's controls, in the frame's drawing order after the described fifteen.
constexpr long kFactorView = 15, kDcView = 16, kLimitView = 17, kLatencyView = 18;
const CPoint kFactorCentre(70, 158), kDcCentre(185, 158), kLimitCentre(275, 158);
const CPoint kDcLamp(215, 158), kLimitLamp(305, 158);

template <class Effect>
struct WindowSession : EffectSession<Effect> {
  using EffectSession<Effect>::host;
  Window child() { return this->frame() ? editorWindowIn(host.window) : 0; }
  bool idleUntilPixel(int x, int y, uint32_t rgb) {
    const Window window = child();
    return window && this->idleUntil([&] { return host.pixel(window, x, y) == rgb; });
  }
  bool openAndShow() {
    return this->openEditor(host.window) == 1 && idleUntilPixel(1, 140, kStripColor);
  }
  const char* text(long view) {
    VGControl* control = dynamic_cast<VGControl*>(this->control(view));
    return control ? control->getName() : "";
  }
};

using HqSession = WindowSession<tessarinehq>;

// The begin-edit, automate and end-edit requests the host saw, as (opcode, index).
std::vector<std::pair<VstInt32, VstInt32>> gestures(const HostRecorder& recorder) {
  std::vector<std::pair<VstInt32, VstInt32>> found;
  for (const HostCall& call : recorder.calls)
    if (call.opcode == audioMasterBeginEdit || call.opcode == audioMasterAutomate ||
        call.opcode == audioMasterEndEdit)
      found.emplace_back(call.opcode, call.index);
  return found;
}

}  // namespace

TEST_CASE("the HQ editor is the described panel, pixel for pixel, over the settings strip") {
  RgbImage described, hq;
  {
    WindowSession<tessarine> session;
    REQUIRE(session.openAndShow());
    described = session.host.snapshot(session.child(), kWidth, kPanelHeight);
  }
  HqSession session;
  ERect* rect = nullptr;
  session.dispatch(effEditGetRect, 0, 0, &rect);
  REQUIRE(rect);
  CHECK((rect->right == kWidth && rect->bottom == kHeight));
  REQUIRE(session.openAndShow());
  REQUIRE(session.idleUntilPixel(kDcLamp.h, kDcLamp.v, kLit));
  hq = session.host.snapshot(session.child(), kWidth, kHeight);
  REQUIRE(hq.height == kHeight);
  CHECK(std::memcmp(hq.rgb.data(), described.rgb.data(), described.rgb.size() * sizeof(uint32_t)) == 0);
  CHECK(hq.at(kLimitLamp.h, kLimitLamp.v) == kLit);
  CHECK(std::string(session.text(kLatencyView)) ==
        "latency " + std::to_string(tessarineoversampler::latencyOf(4)) + " smp");

  // At the host's factor 2 the whole editor, strip and all, is twice the size.
  session.dispatch(effEditClose);
  session.dispatch(effVendorSpecific, kVstScaleRequestIndex, kVstScaleRequestValue, nullptr, 2.0f);
  REQUIRE(session.openEditor(session.host.window) == 1);
  CHECK(session.idleUntilPixel(1, 2 * 140, kStripColor));
  session.dispatch(effEditGetRect, 0, 0, &rect);
  CHECK((rect->right == 2 * kWidth && rect->bottom == 2 * kHeight));
}

TEST_CASE("a click on a setting is an automation gesture; Ctrl-click goes back to the default") {
  HqSession session;
  REQUIRE(session.openAndShow());
  const Window window = session.child();

  // 4x -> 8x: the gesture, the new delay told to the host, the latency text.
  session.host.click(1, kFactorCentre.h, kFactorCentre.v);
  REQUIRE(session.idleUntil([&] { return session.effect.getParameter(6) == 1.0f; }));
  using Call = std::pair<VstInt32, VstInt32>;
  const std::vector<Call> factorGesture = {
      {audioMasterBeginEdit, 6}, {audioMasterAutomate, 6}, {audioMasterEndEdit, 6}};
  CHECK(gestures(session.recorder) == factorGesture);
  CHECK(session.e->initialDelay == tessarineoversampler::latencyOf(8));
  CHECK(session.recorder.callsOf(audioMasterIOChanged).size() == 1);
  CHECK(std::string(session.text(kLatencyView)) ==
        "latency " + std::to_string(tessarineoversampler::latencyOf(8)) + " smp");
  // 8x -> 1x, round again.
  session.host.click(1, kFactorCentre.h, kFactorCentre.v);
  REQUIRE(session.idleUntil([&] { return session.effect.getParameter(6) == 0.0f; }));
  CHECK(session.e->initialDelay == 0);

  // DC off with a click, on again with Ctrl-click, each one gesture.
  session.recorder.calls.clear();
  session.host.click(1, kDcCentre.h, kDcCentre.v);
  REQUIRE(session.idleUntil([&] { return session.effect.getParameter(7) == 0.0f; }));
  CHECK(session.idleUntil([&] { return session.host.pixel(window, kDcLamp.h, kDcLamp.v) != kLit; }));
  session.host.click(1, kDcCentre.h, kDcCentre.v, {XK_Control_L});
  REQUIRE(session.idleUntil([&] { return session.effect.getParameter(7) == 1.0f; }));
  CHECK(session.idleUntilPixel(kDcLamp.h, kDcLamp.v, kLit));
  session.host.click(1, kFactorCentre.h, kFactorCentre.v, {XK_Control_L});
  REQUIRE(session.idleUntil([&] { return session.effect.getParameter(6) == 2.0f / 3.0f; }));
  const std::vector<Call> twoGestures = {
      {audioMasterBeginEdit, 7}, {audioMasterAutomate, 7}, {audioMasterEndEdit, 7},
      {audioMasterBeginEdit, 7}, {audioMasterAutomate, 7}, {audioMasterEndEdit, 7},
      {audioMasterBeginEdit, 6}, {audioMasterAutomate, 6}, {audioMasterEndEdit, 6}};
  CHECK(gestures(session.recorder) == twoGestures);
}

TEST_CASE("host automation from another thread moves the settings") {
  HqSession session;
  REQUIRE(session.openAndShow());
  std::thread automation([&] {
    session.e->setParameter(session.e, 8, 0.0f);
    session.e->setParameter(session.e, 6, 1.0f / 3.0f);
  });
  automation.join();
  CHECK(session.idleUntil([&] {
    return session.host.pixel(session.child(), kLimitLamp.h, kLimitLamp.v) != kLit;
  }));
  CHECK(session.idleUntil([&] { return session.control(kFactorView)->getValue() == 1.0f / 3.0f; }));
  CHECK(std::string(session.text(kLatencyView)) ==
        "latency " + std::to_string(tessarineoversampler::latencyOf(2)) + " smp");
  CHECK(session.control(kLimitView)->getValue() == 0.0f);
  CHECK(session.control(kDcView)->getValue() == 1.0f);
}
