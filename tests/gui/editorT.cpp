// The editor bridge without a window: its answers to the host, the pacing of
// doIdleStuff, the re-entry guard of idle and the plug-in directory.

#include <doctest/doctest.h>
#include <libgen.h>
#include <limits.h>
#include <unistd.h>

#include <string>

#include "hostedeffect.h"
#include "hostrecorder.h"
#include "platformclock.h"
#include "testeditor.h"

namespace {
struct Bridge : HostedEffect {
  Bridge() { e = effect.getAeffect(); }
  HostRecorder host;
  TestEffect effect{HostRecorder::callback};
  TestEditor* editor = new TestEditor(&effect);  // owned by the effect

  size_t hostIdles() const { return host.callsOf(audioMasterIdle).size(); }
};
}  // namespace

TEST_CASE("the bridge answers the host before and without a window") {
  Bridge bridge;
  ERect* rect = nullptr;
  CHECK(bridge.dispatch(effEditGetRect, 0, 0, &rect) == 1);
  REQUIRE(rect);
  CHECK((rect->top == 0 && rect->left == 0 && rect->bottom == 145 && rect->right == 419));
  CHECK(bridge.dispatch(effEditMouse, 10, 10) == 1);
  VstKeyCode key = {'a', 0, 0};
  CHECK_FALSE(bridge.editor->onKeyDown(key));
  CHECK_FALSE(bridge.editor->onWheel(1.f));

  CHECK(bridge.dispatch(effSetEditKnobMode, 0, 2) == 1);
  TestEffect other(nullptr);
  CHECK(static_cast<AEffGUIEditor*>(new TestEditor(&other))->getKnobMode() == 2);
  REQUIRE(bridge.editor->open(nullptr));  // a frame without a window
  CHECK(bridge.editor->getFrame()->getKnobMode() == 2);
  bridge.editor->setKnobMode(0);
  bridge.editor->beginEdit(3);
  bridge.editor->endEdit(3);
  REQUIRE(bridge.host.callsOf(audioMasterBeginEdit).size() == 1);
  CHECK(bridge.host.callsOf(audioMasterEndEdit)[0].index == 3);
  bridge.editor->close();
}

TEST_CASE("doIdleStuff does its work at most once per 50 to 100 ms") {
  Bridge bridge;
  bridge.editor->doIdleStuff();
  bridge.editor->doIdleStuff();
  CHECK(bridge.hostIdles() == 1);  // the second call only ran the events for 4 ms

  const uint32_t start = platformTicks();
  int calls = 0;
  while (platformTicks() - start < 300) {
    bridge.editor->doIdleStuff();
    calls++;
  }
  const uint32_t elapsed = platformTicks() - start;
  const size_t work = bridge.hostIdles() - 1;
  CHECK(work >= 2);
  CHECK(work <= elapsed / 46 + 1);
  CHECK((size_t)calls > work);
}

// The clock shifted so that 32-bit milliseconds wrap during the test. A drag over
// the wrap keeps the pacing; a drag that ended just before the wrap and one after
// it still redraw and idle the host.
TEST_CASE("doIdleStuff keeps its pacing across a wrap of the tick counter") {
  const auto drag = [](Bridge& bridge, uint32_t ms) {
    const size_t before = bridge.hostIdles();
    const uint32_t start = platformTicks();
    while (platformTicks() - start < ms) bridge.editor->doIdleStuff();
    const size_t work = bridge.hostIdles() - before;
    CHECK(work >= ms / 100);
    CHECK(work <= ms / 46 + 1);
  };
  uint32_t shifted = 0;
  const auto shift = [&](uint32_t ms) {
    platformShiftTicks(ms);
    shifted += ms;
  };
  shift(0u - platformTicks() - 150u);  // now reads 2^32 - 150
  {
    Bridge bridge;
    drag(bridge, 300);
  }
  shift(0u - platformTicks() - 110u);
  {
    Bridge bridge;
    bridge.editor->doIdleStuff();  // due again 100 ms on, 10 ms before the wrap
    shift(200);                    // the next drag starts 90 ms after the wrap
    drag(bridge, 300);
  }
  platformShiftTicks(0u - shifted);
}

TEST_CASE("idle does nothing while doIdleStuff is inside the host's idle") {
  Bridge bridge;
  REQUIRE(bridge.editor->open(nullptr));  // a frame without a window
  TestEditor& editor = *bridge.editor;
  editor.getFrame()->draw(static_cast<CView*>(nullptr));  // the first draw
  int nestedDraws = -1;
  bridge.host.onCall = [&](AEffect*, const HostCall& call) {
    if (call.opcode != audioMasterIdle) return;
    editor.under->setDirty(true);
    const int draws = editor.under->draws;
    bridge.dispatch(effEditIdle);
    nestedDraws = editor.under->draws - draws;
  };
  editor.doIdleStuff();
  bridge.host.onCall = nullptr;
  CHECK(nestedDraws == 0);
  const int draws = editor.under->draws;
  bridge.dispatch(effEditIdle);
  CHECK(editor.under->draws == draws + 1);
  editor.close();
}

TEST_CASE("gBundleRef is the directory of the code while an editor exists") {
  {
    Bridge bridge;
    char exe[PATH_MAX] = {};
    REQUIRE(readlink("/proc/self/exe", exe, sizeof exe - 1) > 0);
    REQUIRE(gBundleRef);
    CHECK(std::string(gBundleRef) == dirname(exe));
  }
  CHECK(gBundleRef == nullptr);
}
