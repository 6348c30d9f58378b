// The draw context on a real frame window: the back buffer and the input queries.

#include <doctest/doctest.h>
// After doctest: Xlib defines None, Status and Bool as macros.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <cairo.h>

#include <cstdint>

#include "drawcontext.h"
#include "frame.h"

namespace {

// A top-level host window with the frame's child window in it.
struct HostWindow {
  HostWindow() {
    display = XOpenDisplay(nullptr);
    REQUIRE(display);
    window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 200, 100, 0, 0, 0);
    XMapWindow(display, window);
    XSync(display, False);
    frame = new CFrame(CRect(0, 0, 120, 60), reinterpret_cast<void*>(window), nullptr);
  }
  ~HostWindow() {
    delete frame;
    XDestroyWindow(display, window);
    XCloseDisplay(display);
  }
  uint32_t backPixel(int x, int y) {
    cairo_surface_t* buffer = frame->getBackBuffer();
    cairo_surface_flush(buffer);
    return reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(buffer) +
                                       y * cairo_image_surface_get_stride(buffer))[x];
  }
  Display* display;
  Window window;
  CFrame* frame;
};

}  // namespace

TEST_CASE("a window context draws into the frame's back buffer") {
  HostWindow host;
  REQUIRE(host.frame->getBackBuffer());
  CDrawContext* context = new CDrawContext(host.frame, nullptr, host.frame->getSystemWindow());
  REQUIRE(context->getCGContext());
  CRect clip;
  CHECK(context->getClipRect(clip) == CRect(0, 0, 120, 60));
  context->setFillColor(kRedCColor);
  context->fillRect(CRect(10, 10, 20, 20));
  context->forget();
  CHECK(host.backPixel(10, 10) == 0xFFFF0000u);
  CHECK(host.backPixel(19, 19) == 0xFFFF0000u);
  CHECK(host.backPixel(20, 20) != 0xFFFF0000u);
}

TEST_CASE("a click with Super (the Control bit) held reads as a right click") {
  HostWindow host;
  CDrawContext* context = new CDrawContext(host.frame, nullptr, host.frame->getSystemWindow());
  Display* d = host.display;
  XWarpPointer(d, None, host.window, 0, 0, 0, 0, 30, 20);
  XSync(d, False);
  CPoint where;
  context->getMouseLocation(where);
  CHECK(where == CPoint(30, 20));

  // The buttons read while button 1 is held with a modifier key.
  auto buttonsWith = [&](KeySym modifier) {
    XTestFakeKeyEvent(d, XKeysymToKeycode(d, modifier), True, 0);
    XTestFakeButtonEvent(d, 1, True, 0);
    XSync(d, False);
    long buttons = context->getMouseButtons();
    XTestFakeButtonEvent(d, 1, False, 0);
    XTestFakeKeyEvent(d, XKeysymToKeycode(d, modifier), False, 0);
    XSync(d, False);
    return buttons;
  };
  CHECK(buttonsWith(XK_Super_L) == kButtonRight);
  CHECK(buttonsWith(XK_Shift_L) == (kButtonLeft | kButtonShift));
  context->forget();
}

TEST_CASE("double clicks and drags are read from the frame's events") {
  HostWindow host;
  CDrawContext* context = new CDrawContext(host.frame, nullptr, host.frame->getSystemWindow());
  Display* d = host.display;
  auto send = [&](unsigned int button, bool press) {
    XTestFakeButtonEvent(d, button, press, 0);
    XSync(d, False);
  };
  XWarpPointer(d, None, host.window, 0, 0, 0, 0, 30, 20);
  XSync(d, False);
  CHECK_FALSE(context->waitDrag());  // no button down

  // The first click has been handled; its release is passed over and the second
  // press makes a double click.
  send(1, true);
  host.frame->dispatchEvents();
  send(1, false);
  send(1, true);
  CHECK(context->waitDoubleClick());
  send(1, false);
  host.frame->dispatchEvents();
  CHECK_FALSE(context->waitDoubleClick());

  // With the button held, a motion is a drag and a release is not.
  send(1, true);
  host.frame->dispatchEvents();
  XTestFakeMotionEvent(d, -1, 40, 25, 0);
  XSync(d, False);
  CHECK(context->waitDrag());
  XTestFakeButtonEvent(d, 1, False, 50);  // the server releases after 50 ms
  XFlush(d);
  CHECK_FALSE(context->waitDrag());
  host.frame->dispatchEvents();
  context->forget();
}
