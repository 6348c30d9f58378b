// The frame's window over its life: opened and closed many times, outlived by the
// host's window, or by the X server itself.

#include <doctest/doctest.h>
#include <malloc.h>

#include "platformclock.h"
#include "x11window.h"
#include "xtesthost.h"

namespace {
// The X server forgets a client once it notices the closed connection.
bool clientsReturnTo(XTestHost& host, int count) {
  for (int i = 0; i < 1000 && host.clientCount() != count; i++) platformSleep(2);
  return host.clientCount() == count;
}

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

TEST_CASE("a host that destroys its window before closing the editor survives") {
  HostRecorder recorder;
  XTestHost host;
  EditorSession session;
  REQUIRE(session.openAndShow(host.window));

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

TEST_CASE("an X server that goes away takes neither the host nor the editor down") {
  HostRecorder recorder;
  PrivateXServer server;
  REQUIRE(server.running());
  XTestHost host;
  REQUIRE(host.display);
  EditorSession session;
  REQUIRE(session.openAndShow(host.window));

  server.kill();
  host.abandon();  // the host's own connection is as dead as the editor's
  session.editor->under->setDirty(true);
  for (int i = 0; i < 5; i++) session.idle();
  session.dispatch(effEditDraw);
  session.dispatch(effEditMouse, 10, 10);
  session.editor->doIdleStuff();
  CHECK(session.editor->getFrame()->getPlatformControl()->isConnectionDead());
  session.dispatch(effEditClose);
  CHECK(session.editor->getFrame() == nullptr);
}
