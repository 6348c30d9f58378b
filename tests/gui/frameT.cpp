// The frame in a real X window, driven through XTest, and its window over its life.

#include <X11/keysym.h>
#include <doctest/doctest.h>
#include <malloc.h>

#include "platformclock.h"
#include "xtesthost.h"

namespace {
// Pixels of the test editor: `under` red at (10,10)-(110,60), `over` blue at
// (60,30)-(160,80) on top of it, the fader at (200,10)-(240,110).
const CPoint kInOverlap(100, 50);
const CPoint kUnderOnly(20, 20);
const CPoint kBackground(300, 120);

// Another connection reads the window: the frame's last copy may still be on its way.
bool pixelBecomes(XTestHost& host, Window window, CPoint at, uint32_t expected) {
  for (int i = 0; i < 500; i++) {
    if (host.pixel(window, at.h, at.v) == expected) return true;
    platformSleep(2);
  }
  return false;
}

// The editor opened and drawn in a mapped host window.
struct Shown {
  Shown() { REQUIRE(session.openAndShow(host.window)); }
  HostRecorder recorder;
  XTestHost host;
  EditorSession session;
  TestEditor& editor = *session.editor;
};
}  // namespace

TEST_CASE("the first Expose draws the editor; idle draws nothing before it") {
  HostRecorder recorder;
  XTestHost host(false);
  EditorSession session;
  REQUIRE(session.open(host.window));
  REQUIRE(host.children().size() == 1);
  TestEditor& editor = *session.editor;

  editor.over->setDirty(true);
  for (int i = 0; i < 20; i++) session.idle();
  CHECK(editor.under->draws == 0);
  CHECK(editor.over->draws == 0);

  host.map();
  REQUIRE(session.idleUntil([&] { return editor.over->draws > 0; }));
  const Window child = session.childWindow();
  CHECK(pixelBecomes(host, child, kInOverlap, 0x0000ff));
  CHECK(pixelBecomes(host, child, kUnderOnly, 0xff0000));
  CHECK(pixelBecomes(host, child, kBackground, 0x282828));

  SUBCASE("after it, idle redraws exactly the dirty views") {
    const int under = editor.under->draws, fader = editor.fader->draws;
    editor.under->color = kGreenCColor;
    editor.under->setDirty(true);
    session.idle();
    CHECK(editor.under->draws == under + 1);
    CHECK(editor.fader->draws == fader);
    CHECK(pixelBecomes(host, child, kUnderOnly, 0x00ff00));
  }
  SUBCASE("the host's draw call redraws the frame") {
    const int fader = editor.fader->draws;
    session.dispatch(effEditDraw);
    CHECK(editor.fader->draws == fader + 1);
    ERect area = {0, 0, 20, 20};  // top, left, bottom, right: meets only `under`
    session.dispatch(effEditDraw, 0, 0, &area);
    CHECK(editor.fader->draws == fader + 1);
  }
}

TEST_CASE_FIXTURE(Shown,
                  "a click reaches the topmost view under the pointer with its button word") {
  auto clickOver = [&](unsigned int button, std::initializer_list<KeySym> modifiers) {
    const int clicks = editor.over->clicks;
    host.click(button, kInOverlap.h, kInOverlap.v, modifiers);
    REQUIRE(session.idleUntil([&] { return editor.over->clicks > clicks; }));
    CHECK(editor.over->lastWhere == kInOverlap);
    return editor.over->lastButtons;
  };
  CHECK(clickOver(1, {}) == kButtonLeft);
  CHECK(clickOver(3, {}) == kButtonRight);
  CHECK(clickOver(2, {}) == kButtonMiddle);
  CHECK(clickOver(1, {XK_Shift_L}) == (kButtonLeft | kButtonShift));
  CHECK(clickOver(1, {XK_Control_L}) == (kButtonLeft | kButtonCommand));
  CHECK(editor.under->clicks == 0);

  host.click(1, kUnderOnly.h, kUnderOnly.v);
  REQUIRE(session.idleUntil([&] { return editor.under->clicks == 1; }));
  CHECK(editor.under->lastButtons == kButtonLeft);

  SUBCASE("the host's mouse call reads the buttons from the window system") {
    host.moveTo(300, 300);  // outside the editor: no view is under the pointer
    const int clicks = editor.over->clicks;
    CHECK(session.dispatch(effEditMouse, kInOverlap.h, kInOverlap.v) == 1);
    CHECK(editor.over->clicks == clicks + 1);
    CHECK(editor.over->lastButtons == 0);
  }
}

TEST_CASE_FIXTURE(Shown,
                  "a drag runs the control's loop with paced idle and the host's idle answered") {
  std::vector<uint32_t> hostIdles;
  bool reentered = false;
  int y = 100;
  recorder.onCall = [&](AEffect*, const HostCall& call) {
    if (call.opcode != audioMasterIdle) return;
    hostIdles.push_back(platformTicks());
    // A host answers its idle with its own idle work, the editor's included: that
    // nested call must not redraw anything.
    editor.under->setDirty(true);
    const int draws = editor.under->draws;
    session.idle();
    reentered |= editor.under->draws != draws || !editor.isInIdleStuff();
    // The user keeps dragging upwards, then lets go.
    y -= 10;
    host.moveTo(220, y);
    if (hostIdles.size() == 5) host.button(1, false);
  };
  host.moveTo(220, y);
  host.button(1, true);
  // The press arrives at some idle call; that call returns when the drag ends.
  REQUIRE(session.idleUntil([&] { return editor.fader->passes > 0 && !editor.fader->tracking; }));
  recorder.onCall = nullptr;

  CHECK_FALSE(reentered);
  CHECK(hostIdles.size() == 5);
  CHECK(editor.fader->passes > (int)hostIdles.size());  // most passes were absorbed
  for (size_t i = 1; i < hostIdles.size(); i++)
    CHECK(hostIdles[i] - hostIdles[i - 1] >= 40);  // at most one pass per 50-100 ms
  CHECK(editor.fader->drawsWhileTracking > 0);
  CHECK(session.effect.values[1] > 0.2f);
  REQUIRE(recorder.callsOf(audioMasterBeginEdit).size() == 1);
  REQUIRE(recorder.callsOf(audioMasterEndEdit).size() == 1);
  CHECK(recorder.callsOf(audioMasterBeginEdit)[0].index == 1);
  CHECK(!recorder.callsOf(audioMasterAutomate).empty());
}

TEST_CASE_FIXTURE(Shown,
                  "wheel notches: vertical with Ctrl and horizontal ones arrive on the X axis") {
  CountingView& over = *editor.over;

  auto notch = [&](unsigned int button, std::initializer_list<KeySym> modifiers) {
    const int wheels = over.wheels;
    host.click(button, kInOverlap.h, kInOverlap.v, modifiers);
    REQUIRE(session.idleUntil([&] { return over.wheels > wheels; }));
    return std::make_pair(over.lastAxis, over.lastDistance);
  };
  CHECK(notch(4, {}) == std::make_pair(kMouseWheelAxisY, 1.f));
  CHECK(notch(5, {}) == std::make_pair(kMouseWheelAxisY, -1.f));
  CHECK(notch(4, {XK_Control_L}) == std::make_pair(kMouseWheelAxisX, 1.f));
  CHECK(notch(6, {}) == std::make_pair(kMouseWheelAxisX, 1.f));
  CHECK(notch(7, {}) == std::make_pair(kMouseWheelAxisX, -1.f));

  // The host's wheel call finds the view under the real pointer.
  const int wheels = over.wheels;
  CHECK(editor.onWheel(2.f));
  CHECK(over.wheels == wheels + 1);
  CHECK(over.lastDistance == 2.f);
}

TEST_CASE_FIXTURE(Shown, "keys from the host and from the focused window; Tab moves the focus") {
  CFrame& frame = *editor.getFrame();

  // Host key calls: index is the character, value the virtual key, opt the modifiers.
  CHECK(session.dispatch(effEditKeyDown, 0, 2) == 1);  // Tab
  CHECK(frame.getFocusView() == editor.under);
  CHECK(session.dispatch(effEditKeyDown, 'a') == 1);
  REQUIRE(editor.under->keys.size() == 1);
  CHECK(editor.under->keys[0].character == 'a');
  CHECK(session.dispatch(effEditKeyDown, 0, 2) == 1);
  CHECK(frame.getFocusView() == editor.over);
  CHECK(session.dispatch(effEditKeyDown, 0, 2, nullptr, 1.f) == 1);  // Shift-Tab
  CHECK(frame.getFocusView() == editor.under);

  // Keys typed while the window holds the keyboard focus.
  XSetInputFocus(host.display, session.childWindow(), RevertToParent, CurrentTime);
  XSync(host.display, False);
  std::vector<VstKeyCode>& keys = editor.under->keys;
  auto typed = [&](KeySym keysym, std::initializer_list<KeySym> modifiers) {
    const size_t count = keys.size();
    host.type(keysym, modifiers);
    REQUIRE(session.idleUntil([&] { return keys.size() > count; }));
    return keys.back();
  };
  VstKeyCode key = typed(XK_a, {XK_Shift_L});
  CHECK((key.character == 'A' && key.virt == 0 && key.modifier == 1));
  key = typed(XK_a, {XK_Control_L});
  CHECK((key.character == 'a' && key.modifier == 8));
  key = typed(XK_KP_Enter, {});
  CHECK((key.character == 0 && key.virt == 19));
  key = typed(XK_Tab, {});  // offered to the focus view, which leaves Tab alone
  CHECK(key.virt == 2);
  CHECK(frame.getFocusView() == editor.over);
}

TEST_CASE("two frames live side by side; close destroys the child window") {
  HostRecorder recorder;
  XTestHost host1(true, 0, 0), host2(true, 0, 500);
  EditorSession first, second;
  REQUIRE(first.openAndShow(host1.window));
  REQUIRE(second.openAndShow(host2.window));
  CHECK(first.childWindow() != second.childWindow());

  host2.click(1, kInOverlap.h, kInOverlap.v);
  REQUIRE(second.idleUntil([&] { return second.editor->over->clicks == 1; }));
  first.idle();
  CHECK(first.editor->over->clicks == 0);

  first.dispatch(effEditClose);
  CHECK(host1.children().empty());
  CHECK(host2.children().size() == 1);
  host2.click(1, kUnderOnly.h, kUnderOnly.v);
  CHECK(second.idleUntil([&] { return second.editor->under->clicks == 1; }));
}

TEST_CASE("size and position: the child window follows the frame") {
  HostRecorder recorder;
  XTestHost host(true, 30, 40);
  EditorSession session;
  REQUIRE(session.openAndShow(host.window));
  CFrame& frame = *session.editor->getFrame();
  auto geometry = [&] {
    Window root;
    int x, y;
    unsigned int width, height, border, depth;
    XGetGeometry(host.display, session.childWindow(), &root, &x, &y, &width, &height, &border,
                 &depth);
    return CRect(x, y, x + (int)width, y + (int)height);
  };

  CRect size;
  CHECK(frame.getSize(size));
  CHECK(size == CRect(0, 0, TestEditor::kWidth, TestEditor::kHeight));
  CHECK(frame.setPosition(10, 20));
  CHECK(geometry() == CRect(10, 20, 10 + TestEditor::kWidth, 20 + TestEditor::kHeight));
  long x = 0, y = 0;
  CHECK(frame.getPosition(x, y));
  CHECK((x == 30 + 10 && y == 40 + 20));

  SUBCASE("when the host grants sizeWindow, the frame's window follows") {
    recorder.answers[audioMasterCanDo] = 1;
    recorder.answers[audioMasterSizeWindow] = 1;
    CHECK(frame.setSize(300, 100));
    REQUIRE(recorder.callsOf(audioMasterSizeWindow).size() == 1);
    CHECK(recorder.callsOf(audioMasterSizeWindow)[0].index == 300);
  }
  SUBCASE("without the host, the frame resizes its own window") {
    CHECK(frame.setSize(300, 100));
    CHECK(recorder.callsOf(audioMasterSizeWindow).empty());
  }
  CHECK(geometry() == CRect(10, 20, 310, 120));
  CRect view;
  frame.getViewSize(view);
  CHECK((view.width() == 300 && view.height() == 100));
  // What the window showed is kept, and later drawing lands in the new buffer.
  session.editor->under->color = kGreenCColor;
  session.editor->under->setDirty(true);
  session.idle();
  CHECK(pixelBecomes(host, session.childWindow(), kUnderOnly, 0x00ff00));
}

namespace {
// Opens, shows, clicks, drags the fader and closes, as a user would in passing.
void useOnce(XTestHost& host, EditorSession& session) {
  REQUIRE(session.openAndShow(host.window));
  session.editor->fader->setValue(0.25f);
  session.idle();
  session.dispatch(effEditClose);
}
}  // namespace

TEST_CASE("opening and closing a hundred times leaves no X resources or memory behind") {
  HostRecorder recorder;
  XTestHost host;
  EditorSession session;
  // The first rounds fill the caches of Xlib, Xcursor and Cairo for good.
  for (int i = 0; i < 3; i++) useOnce(host, session);
  const int clients = host.clientCount();
  const int views = gNbCView, contexts = gNbCDrawContext;
  const size_t heap = mallinfo2().uordblks;

  for (int i = 0; i < 100; i++) useOnce(host, session);

  CHECK(host.children().empty());
  CHECK(clientsReturnTo(host, clients));
  CHECK(gNbCView == views);
  CHECK(gNbCDrawContext == contexts);
  // One lost connection or back buffer per round would be megabytes.
  CHECK(mallinfo2().uordblks < heap + 64 * 1024);
}

TEST_CASE_FIXTURE(Shown, "a host that destroys its window before closing the editor survives") {
  XDestroyWindow(host.display, host.window);
  XSync(host.display, False);
  // Everything a host may still do before it gets to effEditClose.
  session.editor->under->setDirty(true);
  for (int i = 0; i < 5; i++) session.idle();
  session.dispatch(effEditDraw);
  session.dispatch(effEditMouse, 10, 10);
  session.editor->onWheel(1.f);
  session.editor->getFrame()->setCursor(kCursorHand);
  session.dispatch(effEditClose);
  CHECK(session.editor->getFrame() == nullptr);

  // The process and the host's connection carry on.
  XTestHost another;
  CHECK(session.openAndShow(another.window));
}
