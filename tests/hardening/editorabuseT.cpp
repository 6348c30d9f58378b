// A host that mistreats the editor, through the record only: the host process must survive,
// and no window, connection or other X resource may be left behind.

#include <doctest/doctest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "aeffguieditor.h"
#include "audioeffect.h"
#include "editorhost.h"
#include "xresources.h"

namespace {

// Every editor opcode a host may send, with harmless arguments.
void everyEditorOpcode(HostSession& s) {
  ERect* rect = nullptr;
  s.dispatch(effEditGetRect, 0, 0, &rect);
  ERect area = {0, 0, 145, 419};
  s.dispatch(effEditDraw, 0, 0, &area);
  s.dispatch(effEditDraw);
  s.dispatch(effEditMouse, 10, 10);
  s.dispatch(effEditKey, 0, 'a');
  s.dispatch(effEditIdle);
  s.dispatch(effEditTop);
  s.dispatch(effEditSleep);
  s.dispatch(effEditKeyDown, 'a', 0, nullptr, 1.0f);
  s.dispatch(effEditKeyUp, 'a', 0, nullptr, 1.0f);
  s.dispatch(effSetEditKnobMode, 0, 2);
}

long openDescriptors() {
  long count = 0;
  for (auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) count += entry.exists() ? 1 : 0;
  return count;
}

// Every descriptor the process may still open is taken while it lives.
struct NoFreeDescriptor {
  NoFreeDescriptor() {
    getrlimit(RLIMIT_NOFILE, &saved);
    rlimit tight = saved;
    tight.rlim_cur = (rlim_t)openDescriptors() + 4;
    setrlimit(RLIMIT_NOFILE, &tight);
    for (int fd; (fd = dup(0)) >= 0;) taken.push_back(fd);
  }
  ~NoFreeDescriptor() {
    for (int fd : taken) close(fd);
    setrlimit(RLIMIT_NOFILE, &saved);
  }
  rlimit saved;
  std::vector<int> taken;
};

// DISPLAY names a server that does not exist while it lives.
struct UnreachableDisplay {
  UnreachableDisplay() : saved(std::getenv("DISPLAY")) { setenv("DISPLAY", ":4095", 1); }
  ~UnreachableDisplay() { setenv("DISPLAY", saved.c_str(), 1); }
  std::string saved;
};

}  // namespace

TEST_CASE("an editor that cannot make its window says so and leaves nothing behind") {
  XTestHost window;
  const int clients = window.clientCount();
  const long descriptors = openDescriptors();
  EditorHost session;
  const Window root = DefaultRootWindow(window.display);
  const Pixmap pixmap = XCreatePixmap(window.display, root, 8, 8, 24);
  const Window inputOnly = XCreateWindow(window.display, root, 0, 0, 50, 50, 0, 0,
                                         InputOnly, CopyFromParent, 0, nullptr);
  XSync(window.display, False);
  const auto failsCleanly = [&](Window parent) {
    CHECK(session.open(parent) == 0);
    AEffEditor* editor = static_cast<AudioEffect*>(session.effect->object)->getEditor();
    CHECK(static_cast<AEffGUIEditor*>(editor)->getFrame() == nullptr);
  };

  SUBCASE("no X server") {
    UnreachableDisplay unreachable;
    failsCleanly(window.window);
  }
  SUBCASE("no free file descriptor") {
    NoFreeDescriptor exhausted;
    failsCleanly(window.window);
  }
  SUBCASE("a parent that is no window") { failsCleanly(0x12345); }
  SUBCASE("a pixmap as parent") { failsCleanly(pixmap); }
  SUBCASE("an input-only parent") { failsCleanly(inputOnly); }

  // Nothing is left: no connection, descriptor or window; later opcodes are harmless
  // and the editor opens once a window can be made.
  CHECK(clientsReturnTo(window, clients));
  CHECK(openDescriptors() == descriptors);
  CHECK(window.children().empty());
  everyEditorOpcode(session);
  session.dispatch(effEditClose);
  CHECK(session.openAndDraw(window));
  session.dispatch(effEditClose);
  XFreePixmap(window.display, pixmap);
  XDestroyWindow(window.display, inputOnly);
}

TEST_CASE("editor opcodes without an open editor do nothing") {
  XTestHost window;
  const int clients = window.clientCount();
  EditorHost session;
  everyEditorOpcode(session);
  session.dispatch(effEditClose);
  session.dispatch(effEditClose);
  CHECK(window.clientCount() == clients);

  // And again after an editor was opened and closed.
  REQUIRE(session.openAndDraw(window));
  session.dispatch(effEditClose);
  everyEditorOpcode(session);
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
    REQUIRE(session.openAndDraw(first));
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
    REQUIRE(session.openAndDraw(window));
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
  REQUIRE(session.openAndDraw(window));

  XDestroyWindow(window.display, window.window);
  XSync(window.display, False);
  // Everything a host may still do before it gets to effEditClose.
  for (VstInt32 i = 0; i < 6; i++) session.setParameter(i, 0.3f);
  session.dispatch(effSetProgram, 0, 4);
  everyEditorOpcode(session);
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
  REQUIRE(session.openAndDraw(window));

  server.kill();
  window.abandon();  // the host's own connection is as dead as the editor's
  // Xlib's default handler would end the process at the first call on the broken
  // connection; every opcode must find the editor's connection dead and go on.
  for (VstInt32 i = 0; i < 6; i++) session.setParameter(i, 0.8f);
  everyEditorOpcode(session);
  for (int i = 0; i < 10; i++) session.idle();
  session.dispatch(effEditClose);
  // Without a server the editor cannot open, and says so or shows nothing; either
  // way the process goes on.
  session.open(window.window);
  everyEditorOpcode(session);
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
