// Audio, automation (programs, bypass) and the editor's life with XTest gestures at once:
// ThreadSanitizer (tsan preset) finds races; every build checks no knob misses a change.

#include <doctest/doctest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "control.h"
#include "frame.h"
#include "tessarine.h"
#include "xtesthost.h"

namespace {

// A host callback without state, safe to call from any thread.
VstIntPtr quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? kVstVersion : 0;
}

constexpr auto kRunTime = std::chrono::seconds(2);
constexpr int kBlock = 64;

void processUntil(AEffect* e, const std::atomic<bool>& stop) {
  std::vector<float> in(kBlock, 0.5f), out1(kBlock), out2(kBlock);
  float* inputs[2] = {in.data(), in.data()};
  float* outputs[2] = {out1.data(), out2.data()};
  while (!stop.load()) e->processReplacing(e, inputs, outputs, kBlock);
}

void automateUntil(AEffect* e, const std::atomic<bool>& stop) {
  for (unsigned n = 0; !stop.load(); n++) {
    if (n % 97 == 0) e->dispatcher(e, effSetProgram, 0, VstIntPtr(n % 10), nullptr, 0.0f);
    e->setParameter(e, VstInt32(n % 6), float(n % 1000) / 1000.0f);
    if (n % 61 == 0) e->dispatcher(e, effSetBypass, 0, VstIntPtr(n % 2), nullptr, 0.0f);
    if (n % 16 == 0) std::this_thread::yield();
  }
}

// What a user does with the open editor: drag the first knob up, click the colour
// button. XTest acts on the host's own connection, used by this thread alone.
void userGesture(XTestHost& host) {
  host.moveTo(38, 69);
  host.button(1, true);
  for (int step = 1; step <= 10; step++) {
    host.moveTo(38, 69 - 3 * step);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  host.button(1, false);
  host.click(1, 407, 123);
}

CControl* knob(tessarine& effect, int parameter) {
  CFrame* frame = static_cast<AEffGUIEditor*>(effect.getEditor())->getFrame();
  return frame ? dynamic_cast<CControl*>(frame->getView(1 + 2 * parameter)) : nullptr;
}

}  // namespace

TEST_CASE("processing, automation from another thread and the editor's life, all at once") {
  XTestHost host;
  REQUIRE(host.display);
  tessarine effect(quietHost);
  const HostedEffect plugin(effect.getAeffect());
  AEffect* e = plugin.e;
  plugin.dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
  plugin.dispatch(effMainsChanged, 0, 1);

  std::atomic<bool> stop{false};
  std::thread audio(processUntil, e, std::cref(stop));
  std::thread automation(automateUntil, e, std::cref(stop));

  int opens = 0;
  const auto end = std::chrono::steady_clock::now() + kRunTime;
  while (std::chrono::steady_clock::now() < end) {
    REQUIRE(plugin.openEditor(host.window) == 1);
    opens++;
    std::thread user(userGesture, std::ref(host));
    for (int i = 0; i < 40; i++) {
      plugin.idle();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    user.join();
    plugin.idle();
    plugin.dispatch(effEditClose);
  }
  REQUIRE(plugin.openEditor(host.window) == 1);
  plugin.idle();
  stop = true;
  automation.join();
  audio.join();

  // Whatever arrived while the editor was open, the next idle shows the last values.
  plugin.idle();
  for (int i = 0; i < 6; i++) {
    CControl* k = knob(effect, i);
    REQUIRE(k);
    CHECK(k->getValue() == effect.getParameter(i));
  }
  plugin.dispatch(effEditClose);
  plugin.dispatch(effMainsChanged, 0, 0);
  CHECK(opens > 5);
}
