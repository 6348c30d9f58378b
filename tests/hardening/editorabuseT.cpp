// A host that mistreats the editor, through the record only: opening twice,
// closing and idling what is not open, closing the effect under an open editor,
// destroying its own window first, losing the X server, and sixteen editors at
// once. The host process must survive every one, and no window, connection or
// other X resource may be left behind.

#include <doctest/doctest.h>

#include <memory>
#include <vector>

#include "hostsession.h"
#include "platformclock.h"
#include "xresources.h"
#include "xtesthost.h"

namespace {

// A pixel of the editor's bottom strip, painted once the editor has drawn.
constexpr int kStripX = 1, kStripY = 140;
constexpr uint32_t kStripColor = 0xefe8e5;

struct EditorHost : HostSession {
  VstIntPtr open(Window parent) { return dispatch(effEditOpen, 0, 0, (void*)parent); }
  void idle() { dispatch(effEditIdle); }
  // Idles, as a host's timer does, until the editor in `parent` has drawn.
  bool idleUntilDrawn(XTestHost& window) {
    for (int i = 0; i < 1500; i++) {
      idle();
      std::vector<Window> children = window.children();
      if (children.size() == 1 && window.pixel(children[0], kStripX, kStripY) == kStripColor)
        return true;
      platformSleep(2);
    }
    return false;
  }
  // Every editor opcode a host may send, with harmless arguments.
  void everyEditorOpcode() {
    ERect* rect = nullptr;
    dispatch(effEditGetRect, 0, 0, &rect);
    ERect area = {0, 0, 145, 419};
    dispatch(effEditDraw, 0, 0, &area);
    dispatch(effEditDraw);
    dispatch(effEditMouse, 10, 10);
    dispatch(effEditKey, 0, 'a');
    dispatch(effEditIdle);
    dispatch(effEditTop);
    dispatch(effEditSleep);
    dispatch(effEditKeyDown, 'a', 0, nullptr, 1.0f);
    dispatch(effEditKeyUp, 'a', 0, nullptr, 1.0f);
    dispatch(effSetEditKnobMode, 0, 2);
  }
};

// The X server forgets a client once it notices the closed connection.
bool clientsReturnTo(XTestHost& host, int count) {
  for (int i = 0; i < 1000 && host.clientCount() != count; i++) platformSleep(2);
  return host.clientCount() == count;
}

}  // namespace

TEST_CASE("editor opcodes without an open editor do nothing") {
  XTestHost window;
  const int clients = window.clientCount();
  EditorHost session;
  session.everyEditorOpcode();
  session.dispatch(effEditClose);
  session.dispatch(effEditClose);
  CHECK(window.clientCount() == clients);

  // And again after an editor was opened and closed.
  REQUIRE(session.open(window.window) == 1);
  REQUIRE(session.idleUntilDrawn(window));
  session.dispatch(effEditClose);
  session.everyEditorOpcode();
  session.dispatch(effEditClose);
  CHECK(window.children().empty());
  CHECK(clientsReturnTo(window, clients));
}

TEST_CASE("opening again without closing leaves one editor and nothing behind") {
  XTestHost first, second(true, 640, 0);
  const int clients = first.clientCount();
  const XResourceCounts before = countXResources(first.display);
  {
    EditorHost session;
    REQUIRE(session.open(first.window) == 1);
    REQUIRE(session.idleUntilDrawn(first));
    SUBCASE("in the same window") {
      REQUIRE(session.open(first.window) == 1);
      CHECK(session.idleUntilDrawn(first));
      CHECK(first.children().size() == 1);
    }
    SUBCASE("in another window") {
      REQUIRE(session.open(second.window) == 1);
      CHECK(session.idleUntilDrawn(second));
      CHECK(first.children().empty());
    }
    session.dispatch(effEditClose);
    CHECK(first.children().empty());
    CHECK(second.children().empty());
  }
  CHECK(clientsReturnTo(first, clients));
  CHECK(countXResources(first.display) == before);
}

TEST_CASE("closing the effect with its editor open closes the editor too") {
  XTestHost window;
  const int clients = window.clientCount();
  const XResourceCounts before = countXResources(window.display);
  {
    EditorHost session;
    REQUIRE(session.open(window.window) == 1);
    REQUIRE(session.idleUntilDrawn(window));
    session.setParameter(3, 0.5f);
    session.idle();
  }  // effClose, no effEditClose
  CHECK(window.children().empty());
  CHECK(clientsReturnTo(window, clients));
  CHECK(countXResources(window.display) == before);
}

TEST_CASE("a host that destroys its window before effEditClose survives") {
  XTestHost window;
  const int clients = window.clientCount();
  EditorHost session;
  REQUIRE(session.open(window.window) == 1);
  REQUIRE(session.idleUntilDrawn(window));

  XDestroyWindow(window.display, window.window);
  XSync(window.display, False);
  // Everything a host may still do before it gets to effEditClose.
  for (VstInt32 i = 0; i < 6; i++) session.setParameter(i, 0.3f);
  session.dispatch(effSetProgram, 0, 4);
  session.everyEditorOpcode();
  for (int i = 0; i < 10; i++) session.idle();
  session.dispatch(effEditClose);
  CHECK(clientsReturnTo(window, clients));

  // The process and the host's own connection carry on: the editor opens again.
  XTestHost another;
  CHECK(session.open(another.window) == 1);
  CHECK(session.idleUntilDrawn(another));
}

TEST_CASE("an X server that goes away while the editor is open takes nobody down") {
  PrivateXServer server;
  REQUIRE(server.running());
  XTestHost window;
  REQUIRE(window.display);
  EditorHost session;
  REQUIRE(session.open(window.window) == 1);
  REQUIRE(session.idleUntilDrawn(window));

  server.kill();
  window.abandon();  // the host's own connection is as dead as the editor's
  // Xlib's default handler would end the process at the first call on the broken
  // connection; every opcode must find the editor's connection dead and go on.
  for (VstInt32 i = 0; i < 6; i++) session.setParameter(i, 0.8f);
  session.everyEditorOpcode();
  for (int i = 0; i < 10; i++) session.idle();
  session.dispatch(effEditClose);
  // Without a server the editor cannot open, and says so or shows nothing; either
  // way the process goes on.
  session.open(window.window);
  session.everyEditorOpcode();
  session.dispatch(effEditClose);
  CHECK(session.getParameter(0) == 0.8f);
}

TEST_CASE("sixteen instances with their editors open in one process") {
  constexpr int kInstances = 16;
  XTestHost root;
  const int clients = root.clientCount();
  const XResourceCounts before = countXResources(root.display);
  {
    std::vector<std::unique_ptr<XTestHost>> windows;
    std::vector<std::unique_ptr<EditorHost>> sessions;
    for (int i = 0; i < kInstances; i++) {
      windows.push_back(std::make_unique<XTestHost>(true, (i % 4) * 300, (i / 4) * 200));
      sessions.push_back(std::make_unique<EditorHost>());
      REQUIRE(sessions[i]->open(windows[i]->window) == 1);
    }
    for (int i = 0; i < kInstances; i++) {
      CAPTURE(i);
      CHECK(sessions[i]->idleUntilDrawn(*windows[i]));
    }
    // Each instance keeps its own parameters while all idle and process together.
    StereoBuffer in(256), out(256);
    for (int i = 0; i < 256; i++) in.left[i] = in.right[i] = 0.5f;
    for (int round = 0; round < 20; round++) {
      for (int i = 0; i < kInstances; i++) {
        sessions[i]->setParameter(i % 6, (float)i / kInstances);
        sessions[i]->processReplacing(in.get(), out.get(), 256);
        sessions[i]->idle();
      }
    }
    for (int i = 0; i < kInstances; i++) {
      CAPTURE(i);
      CHECK(sessions[i]->getParameter(i % 6) == (float)i / kInstances);
      CHECK(windows[i]->children().size() == 1);
    }
    // Half are closed through effEditClose, half by effClose alone.
    for (int i = 0; i < kInstances; i += 2) sessions[i]->dispatch(effEditClose);
  }
  CHECK(clientsReturnTo(root, clients));
  CHECK(countXResources(root.display) == before);
}
