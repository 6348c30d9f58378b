#include "xtesthost.h"

#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <cstdlib>

#include "platformclock.h"
#include "xerrortrap.h"

namespace {
// An X server resets when its last client leaves and refuses connections meanwhile; a
// host keeps its connection, and so do the tests, for good. The tests' own queries go
// through it.
Display* testConnection() {
  static Display* keeper = XOpenDisplay(nullptr);
  return keeper;
}

// Waits for an event of `type` on `window`, at most about 3 s.
bool waitForEvent(Display* display, Window window, int type) {
  XEvent event;
  for (int i = 0; i < 1500; i++) {
    if (XCheckTypedWindowEvent(display, window, type, &event)) return true;
    platformSleep(2);
  }
  return false;
}
}  // namespace

XTestHost::XTestHost(bool mapped, int x, int y) {
  testConnection();
  display = XOpenDisplay(nullptr);
  if (!display) return;
  const int screen = DefaultScreen(display);
  window = XCreateSimpleWindow(display, RootWindow(display, screen), x, y, 600, 400, 0,
                               BlackPixel(display, screen), WhitePixel(display, screen));
  XSelectInput(display, window, StructureNotifyMask);
  XSync(display, False);
  if (mapped) map();
}

XTestHost::~XTestHost() {
  if (!display) return;
  // Let go of the buttons a failed test may have left pressed.
  if (!abandoned) {
    for (unsigned int b = 1; b <= 3; b++) XTestFakeButtonEvent(display, b, False, CurrentTime);
    XCloseDisplay(display);
    return;
  }
  XIOErrorHandler previous = XSetIOErrorHandler([](Display*) { return 0; });
  XCloseDisplay(display);
  XSetIOErrorHandler(previous);
}

void XTestHost::abandon() {
  abandoned = true;
  XSetIOErrorExitHandler(
      display, [](Display*, void*) {}, nullptr);
}

void XTestHost::map() {
  XMapWindow(display, window);
  XSync(display, False);
  waitForEvent(display, window, MapNotify);
}

std::vector<Window> XTestHost::children() {
  Window root, parent, *list = nullptr;
  unsigned int count = 0;
  std::vector<Window> result;
  XErrorTrap trap(display);
  if (XQueryTree(display, window, &root, &parent, &list, &count)) {
    result.assign(list, list + count);
    if (list) XFree(list);
  }
  return result;
}

void XTestHost::moveTo(int x, int y) {
  int rootX, rootY;
  Window child;
  XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &rootX, &rootY, &child);
  XTestFakeMotionEvent(display, DefaultScreen(display), rootX, rootY, CurrentTime);
  XSync(display, False);
}

void XTestHost::button(unsigned int button, bool down) {
  XTestFakeButtonEvent(display, button, down, CurrentTime);
  XSync(display, False);
}

void XTestHost::key(KeySym keysym, bool down) {
  XTestFakeKeyEvent(display, XKeysymToKeycode(display, keysym), down, CurrentTime);
  XSync(display, False);
}

void XTestHost::click(unsigned int b, int x, int y, std::initializer_list<KeySym> modifiers) {
  moveTo(x, y);
  for (KeySym modifier : modifiers) key(modifier, true);
  button(b, true);
  button(b, false);
  for (KeySym modifier : modifiers) key(modifier, false);
}

void XTestHost::type(KeySym keysym, std::initializer_list<KeySym> modifiers) {
  for (KeySym modifier : modifiers) key(modifier, true);
  key(keysym, true);
  key(keysym, false);
  for (KeySym modifier : modifiers) key(modifier, false);
}

// The editor's windows belong to its own connection and may be gone by now.
uint32_t XTestHost::pixel(Window w, int x, int y) {
  XErrorTrap trap(display);
  XImage* image = XGetImage(display, w, x, y, 1, 1, AllPlanes, ZPixmap);
  if (!image) return 0xffffffffu;
  const uint32_t value = (uint32_t)XGetPixel(image, 0, 0) & 0xffffffu;
  XDestroyImage(image);
  return value;
}

RgbImage XTestHost::snapshot(Window w, int width, int height) {
  RgbImage shot;
  XErrorTrap trap(display);
  XImage* image = w ? XGetImage(display, w, 0, 0, width, height, AllPlanes, ZPixmap) : nullptr;
  if (!image) return shot;
  shot.width = width;
  shot.height = height;
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++)
      shot.rgb.push_back(uint32_t(XGetPixel(image, x, y)) & 0xffffffu);
  XDestroyImage(image);
  return shot;
}

int XTestHost::clientCount() {
  int count = 0;
  XResClient* clients = nullptr;
  if (!XResQueryClients(display, &count, &clients)) return -1;
  XFree(clients);
  return count;
}

Window editorWindowIn(Window parent) {
  Display* display = testConnection();
  if (!display) return 0;
  Window root, up, *list = nullptr, last = 0;
  unsigned int count = 0;
  XErrorTrap trap(display);
  if (XQueryTree(display, parent, &root, &up, &list, &count) && count) last = list[count - 1];
  if (list) XFree(list);
  return last;
}

bool clientsReturnTo(XTestHost& host, int count) {
  for (int i = 0; i < 1000 && host.clientCount() != count; i++) platformSleep(2);
  return host.clientCount() == count;
}

bool EditorSession::openAndShow(Window parent) {
  return open(parent) && idleUntil([this] { return editor->under && editor->under->draws > 0; });
}
