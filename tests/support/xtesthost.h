#pragma once
// The host side of the window tests: a DAW-like host with its own X connection and a
// top-level window, an effect with the test editor driven through the dispatcher,
// and XTest helpers that move and click the real pointer and press real keys.

// doctest (through pixels.h) before Xlib, which defines None.
#include "pixels.h"
// Xlib's types for the host's side.
#include <X11/Xlib.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <vector>

#include "hostedeffect.h"
#include "hostrecorder.h"
#include "privatexserver.h"
#include "testeditor.h"

class XTestHost {
 public:
  explicit XTestHost(bool mapped = true, int x = 0, int y = 0);
  ~XTestHost();
  XTestHost(const XTestHost&) = delete;
  XTestHost& operator=(const XTestHost&) = delete;

  void map();
  // The host's window ids of the direct children of its window.
  std::vector<Window> children();
  // The X server is gone: the connection is only closed, and Xlib must not end the
  // process when it finds it broken.
  void abandon();

  // The real pointer and keyboard, in coordinates of the host window.
  void moveTo(int x, int y);
  void button(unsigned int button, bool down);
  void key(KeySym keysym, bool down);
  // Presses and releases a button at (x, y) with the given modifier keys held.
  void click(unsigned int button, int x, int y, std::initializer_list<KeySym> modifiers = {});
  void type(KeySym keysym, std::initializer_list<KeySym> modifiers = {});

  // 0xRRGGBB at (x, y) of a window, read from the screen.
  uint32_t pixel(Window window, int x, int y);
  // The top-left width x height pixels of a window in one piece (empty if unreadable).
  RgbImage snapshot(Window window, int width, int height);
  // Clients connected to the X server (XRes).
  int clientCount();

  Display* display = nullptr;
  Window window = 0;

 private:
  bool abandoned = false;
};

// The window the editor made in `parent` (its last child), or 0 when there is none;
// read through the tests' own connection, as another client sees it.
Window editorWindowIn(Window parent);

// The X server forgets a client once it notices the closed connection: waits up to
// about 2 s for the count of clients to come back to `count`.
bool clientsReturnTo(XTestHost& host, int count);

// One effect with the test editor, driven the way a host drives it.
class EditorSession : public HostedEffect {
 public:
  EditorSession() : editor(new TestEditor(&effect)) { e = effect.getAeffect(); }
  ~EditorSession() {
    if (editor->getFrame()) dispatch(effEditClose);
  }

  bool open(Window parent) {
    this->parent = parent;
    return openEditor(parent) != 0;
  }
  // Opens and idles until the first Expose drew the editor.
  bool openAndShow(Window parent);
  Window childWindow() const { return editor->getFrame() ? editorWindowIn(parent) : 0; }

  TestEffect effect{HostRecorder::callback};
  TestEditor* editor;  // owned by the effect
  Window parent = 0;
};
