#include "x11window.h"

#include <X11/XKBlib.h>
#include <X11/Xcursor/Xcursor.h>
#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <cairo.h>
#include <poll.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <new>
#include <vector>

#include "platformclock.h"
#include "x11errortrap.h"
#include "x11keytable.h"
#include "xdnd.h"

namespace {
// The windows whose connections are open, for the error handlers. Windows of
// several instances come and go on different threads, and a handler may search the
// list on any of them: every access holds liveWindowsMutex.
std::vector<X11Window*>& liveWindows() {
  static std::vector<X11Window*> windows;
  return windows;
}
std::mutex liveWindowsMutex;

Display* openDisplay() {
  std::unique_lock<std::recursive_mutex> lock = X11ErrorTrap::lockProcessState();
  return XOpenDisplay(nullptr);
}

void closeDisplay(Display* display) {
  std::unique_lock<std::recursive_mutex> lock = X11ErrorTrap::lockProcessState();
  XCloseDisplay(display);
}

Cursor loadCursor(Display* display, const char* name) {
  std::unique_lock<std::recursive_mutex> lock = X11ErrorTrap::lockProcessState();
  return XcursorLibraryLoadCursor(display, name);
}

// Key releases are not asked for: the frame acts on key presses (and the repeats
// that X sends as further presses) only. Property changes carry the pieces of large
// drag data (see xdnd.cpp).
const long kEventMask = ExposureMask | ButtonPressMask | ButtonReleaseMask | ButtonMotionMask |
                        KeyPressMask | FocusChangeMask | StructureNotifyMask | PropertyChangeMask;

// Xcursor theme names by CCursorType; XcursorLibraryLoadCursor falls back to the
// core cursor font for the names that have a core glyph.
const char* const kCursorNames[10] = {"left_ptr",
                                      "watch",
                                      "sb_h_double_arrow",
                                      "sb_v_double_arrow",
                                      "fleur",
                                      "bottom_left_corner",
                                      "bottom_right_corner",
                                      "copy",
                                      "not-allowed",
                                      "hand2"};

// Pixels of a cairo ARGB32 surface are native-endian 32-bit words.
int nativeByteOrder() {
  const uint32_t probe = 1;
  return *reinterpret_cast<const unsigned char*>(&probe) == 1 ? LSBFirst : MSBFirst;
}

int lowestBit(unsigned long mask) {
  int shift = 0;
  while (mask && !(mask & 1)) mask >>= 1, shift++;
  return shift;
}
}  // namespace

X11Window::X11Window(_XDisplay* display, unsigned long parent, EventHandler handler, void* userData)
    : display(display), parent(parent), handler(handler), userData(userData) {
  std::lock_guard<std::mutex> lock(liveWindowsMutex);
  liveWindows().push_back(this);
}

X11Window* X11Window::findByDisplay(_XDisplay* display) {
  std::lock_guard<std::mutex> lock(liveWindowsMutex);
  for (X11Window* window : liveWindows())
    if (window->display == display) return window;
  return nullptr;
}

X11Window* X11Window::create(unsigned long parent, int x, int y, int width, int height,
                             EventHandler handler, void* userData, int* error, double scale) {
  int failure = 0;
  X11Window* window = nullptr;
  Display* display = nullptr;
  if (!parent || width <= 0 || height <= 0)
    failure = 2;
  else if (!(display = openDisplay()))
    failure = 1;
  if (!failure) {
    X11ErrorTrap::adopt(display);
    window = new (std::nothrow) X11Window(display, parent, handler, userData);
    if (window) window->scale = scale > 0 ? scale : 1.0;
    if (!window) {
      X11ErrorTrap trap;
      closeDisplay(display);
      failure = 2;
    } else if (!window->createWindow(x, y, width, height)) {
      failure = 2;
    } else if (!window->createBackBuffer(width, height)) {
      failure = 3;
    }
    if (failure && window) {
      delete window;
      window = nullptr;
    }
  }
  if (error) *error = failure;
  return window;
}

X11Window::~X11Window() {
  // Takes our drop-target properties off the host's top-level window.
  delete xdnd;
  xdnd = nullptr;
  {
    X11ErrorTrap trap;
    Display* d = display;
    if (!connectionDead) {
      for (unsigned long& cursor : cursors)
        if (cursor) XFreeCursor(d, cursor);
      // BadWindow when the host destroyed its window first: trapped and ignored.
      if (window && !windowDestroyed) XDestroyWindow(d, window);
      XSync(d, True);
    }
    // On a dead connection Xlib only releases its own memory here: it sends nothing
    // more once it has seen the connection break.
    if (gc) XFreeGC(d, gc);
    destroyBackBuffer();
    closeDisplay(d);
  }
  std::lock_guard<std::mutex> lock(liveWindowsMutex);
  auto& windows = liveWindows();
  windows.erase(std::remove(windows.begin(), windows.end(), this), windows.end());
}

bool X11Window::createWindow(int x, int y, int w, int h) {
  X11ErrorTrap trap;
  Display* d = display;
  const long errorsBefore = errorCount;
  XWindowAttributes parentAttributes;
  if (!XGetWindowAttributes(d, parent, &parentAttributes) || connectionDead) return false;
  visual = parentAttributes.visual;
  depth = parentAttributes.depth;
  XSetWindowAttributes attributes = {};
  attributes.event_mask = kEventMask;
  // No background: the back buffer covers the window, so the server need not clear
  // it before every Expose (no flicker).
  attributes.background_pixmap = None;
  attributes.bit_gravity = NorthWestGravity;
  window = XCreateWindow(d, parent, x, y, (unsigned)w, (unsigned)h, 0, CopyFromParent, InputOutput,
                         CopyFromParent, CWEventMask | CWBackPixmap | CWBitGravity, &attributes);
  gc = XCreateGC(d, window, 0, nullptr);
  XMapWindow(d, window);
  readModifierMasks();
  XSync(d, False);
  return window && errorCount == errorsBefore && !connectionDead;
}

bool X11Window::createBackBuffer(int w, int h) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return false;
  }
  Visual* v = static_cast<Visual*>(visual);
  XImage* ximage = XCreateImage(display, v, (unsigned)depth, ZPixmap, 0, nullptr, (unsigned)w,
                                (unsigned)h, 32, 0);
  if (!ximage) {
    cairo_surface_destroy(surface);
    return false;
  }
  const bool sameLayout = ximage->bits_per_pixel == 32 && v->red_mask == 0xff0000 &&
                          v->green_mask == 0xff00 && v->blue_mask == 0xff;
  if (sameLayout) {
    // The usual 24- and 32-bit TrueColor visuals store pixels exactly as Cairo does:
    // the back buffer is sent as it is.
    ximage->byte_order = nativeByteOrder();
    ximage->bytes_per_line = cairo_image_surface_get_stride(surface);
    ximage->data = reinterpret_cast<char*>(cairo_image_surface_get_data(surface));
  } else {
    ximage->data = static_cast<char*>(std::malloc((size_t)ximage->bytes_per_line * h));
    if (!ximage->data) {
      XDestroyImage(ximage);
      cairo_surface_destroy(surface);
      return false;
    }
  }
  if (backBuffer) {
    // Pixel for pixel: the old buffer's device scale would enlarge or shrink it.
    cairo_surface_set_device_scale(backBuffer, 1, 1);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_surface(cr, backBuffer, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
  }
  destroyBackBuffer();
  // Drawing into the buffer is in points; Cairo renders them at full resolution.
  cairo_surface_set_device_scale(surface, scale, scale);
  backBuffer = surface;
  image = ximage;
  imageSharesBuffer = sameLayout;
  width = w;
  height = h;
  damage.clear();
  return true;
}

void X11Window::destroyBackBuffer() {
  if (image) {
    // XDestroyImage frees the pixel memory, which is Cairo's when it is shared.
    if (imageSharesBuffer) image->data = nullptr;
    XDestroyImage(image);
    image = nullptr;
  }
  if (backBuffer) cairo_surface_destroy(backBuffer);
  backBuffer = nullptr;
}

void X11Window::readModifierMasks() {
  Display* d = display;
  altMask = superMask = 0;
  if (XModifierKeymap* map = XGetModifierMapping(d)) {
    for (int mod = Mod1MapIndex; mod <= Mod5MapIndex; mod++) {
      for (int k = 0; k < map->max_keypermod; k++) {
        KeyCode code = map->modifiermap[mod * map->max_keypermod + k];
        if (!code) continue;
        KeySym sym = XkbKeycodeToKeysym(d, code, 0, 0);
        if (sym == XK_Alt_L || sym == XK_Alt_R || sym == XK_Meta_L || sym == XK_Meta_R)
          altMask |= 1u << mod;
        if (sym == XK_Super_L || sym == XK_Super_R) superMask |= 1u << mod;
      }
    }
    XFreeModifiermap(map);
  }
  if (!altMask) altMask = Mod1Mask;
  if (!superMask) superMask = Mod4Mask;
  superMask &= ~altMask;
}

void X11Window::convertBackBuffer(const CRect& rect) {
  // Any other TrueColor layout: every pixel is rescaled to the visual's masks.
  Visual* v = static_cast<Visual*>(visual);
  const unsigned long masks[3] = {v->red_mask, v->green_mask, v->blue_mask};
  int shifts[3];
  unsigned long ranges[3];
  for (int c = 0; c < 3; c++) {
    shifts[c] = lowestBit(masks[c]);
    ranges[c] = masks[c] >> shifts[c];
  }
  const unsigned char* data = cairo_image_surface_get_data(backBuffer);
  const int stride = cairo_image_surface_get_stride(backBuffer);
  for (int y = rect.top; y < rect.bottom; y++) {
    const uint32_t* row = reinterpret_cast<const uint32_t*>(data + (size_t)y * stride);
    for (int x = rect.left; x < rect.right; x++) {
      const uint32_t argb = row[x];
      const unsigned long channels[3] = {(argb >> 16) & 0xff, (argb >> 8) & 0xff, argb & 0xff};
      unsigned long pixel = 0;
      for (int c = 0; c < 3; c++) pixel |= (channels[c] * ranges[c] / 255) << shifts[c];
      XPutPixel(image, x, y, pixel);
    }
  }
}

void X11Window::addDamage(int x, int y, int w, int h) {
  CRect area(x, y, x + w, y + h);
  area.bound(CRect(0, 0, width, height));
  if (area.isEmpty()) return;
  // Overlapping rectangles merge, so no pixel is sent twice; past a handful the
  // bounds of all of them are sent, as many small requests cost more than a few
  // extra pixels.
  constexpr size_t kMaxDamageRects = 8;
  for (size_t i = 0; i < damage.size();) {
    if (damage[i].rectOverlap(area) || damage.size() >= kMaxDamageRects) {
      const CRect& other = damage[i];
      area = CRect(std::min(area.left, other.left), std::min(area.top, other.top),
                   std::max(area.right, other.right), std::max(area.bottom, other.bottom));
      damage.erase(damage.begin() + (long)i);
      i = 0;
    } else {
      i++;
    }
  }
  damage.push_back(area);
}

void X11Window::putRect(const CRect& rect) {
  if (!imageSharesBuffer) convertBackBuffer(rect);
  XPutImage(display, window, gc, image, rect.left, rect.top, rect.left, rect.top,
            (unsigned)rect.width(), (unsigned)rect.height());
  pixelsSent += (int64_t)rect.width() * rect.height();
}

void X11Window::flush() {
  if (!isAlive() || !backBuffer) return;
  cairo_surface_flush(backBuffer);
  if (damage.empty()) damage.push_back(CRect(0, 0, width, height));
  X11ErrorTrap trap;
  for (const CRect& rect : damage) putRect(rect);
  damage.clear();
  XFlush(display);
}

double X11Window::readDesktopDpi() {
  // Read once for the process (every editor would otherwise open a connection of its
  // own for it); a server that could not be reached is asked again next time.
  static std::atomic<double> known{-1.};
  if (const double dpi = known.load(std::memory_order_relaxed); dpi >= 0) return dpi;
  Display* d = openDisplay();
  if (!d) return 0;
  X11ErrorTrap trap;
  X11ErrorTrap::adopt(d);
  double dpi = 0;
  {
    // The resource manager's quarks are process-wide.
    std::unique_lock<std::recursive_mutex> lock = X11ErrorTrap::lockProcessState();
    XrmInitialize();
    if (const char* resources = XResourceManagerString(d)) {
      XrmDatabase database = XrmGetStringDatabase(resources);
      char* type = nullptr;
      XrmValue value;
      if (database && XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) &&
          value.addr) {
        char* end = nullptr;
        dpi = std::strtod(value.addr, &end);
        if (end == value.addr) dpi = 0;
      }
      if (database) XrmDestroyDatabase(database);
    }
  }
  closeDisplay(d);
  known.store(dpi, std::memory_order_relaxed);
  return dpi;
}

long X11Window::modifierWord(unsigned int state) const {
  long word = 0;
  if (state & ShiftMask) word |= kButtonShift;
  // Ctrl is Linux's primary shortcut key, so it plays the Command key's part.
  if (state & ControlMask) word |= kButtonCommand;
  if (state & altMask) word |= kButtonAlt;
  if (state & superMask) word |= kButtonControl;
  return word;
}

long X11Window::buttonWord(unsigned int state) const {
  long word = modifierWord(state);
  if (state & Button1Mask) word |= kButtonLeft;
  if (state & Button2Mask) word |= kButtonMiddle;
  if (state & Button3Mask) word |= kButtonRight;
  return word;
}

bool X11Window::queryPointer(int& x, int& y, long& buttons) {
  if (!isAlive()) return false;
  X11ErrorTrap trap;
  Window root, child;
  int rootX, rootY, winX, winY;
  unsigned int mask;
  if (!XQueryPointer(display, window, &root, &child, &rootX, &rootY, &winX, &winY, &mask) ||
      connectionDead)
    return false;
  x = winX;
  y = winY;
  buttons = buttonWord(mask);
  return true;
}

bool X11Window::pollConnection(long timeoutMs) {
  int fd;
  {
    X11ErrorTrap trap;
    XFlush(display);
    fd = ConnectionNumber(display);
  }
  if (connectionDead) return false;
  pollfd pfd = {fd, POLLIN, 0};
  return poll(&pfd, 1, timeoutMs < 0 ? -1 : (int)timeoutMs) > 0;
}

bool X11Window::waitMouseEvent(long timeoutMs, int& kind) {
  const uint32_t start = platformTicks();
  while (isAlive()) {
    XEvent event;
    bool found;
    {
      X11ErrorTrap trap;
      found = XCheckWindowEvent(display, window,
                                ButtonPressMask | ButtonReleaseMask | ButtonMotionMask, &event);
    }
    if (found) {
      if (event.type == MotionNotify) {
        kind = 2;
        return true;
      }
      if (event.xbutton.button > Button3) continue;  // wheel notches are not clicks
      kind = event.type == ButtonPress ? 1 : 3;
      return true;
    }
    long remaining = -1;
    if (timeoutMs >= 0) {
      remaining = timeoutMs - (long)(platformTicks() - start);
      if (remaining <= 0) return false;
    }
    // XCheckWindowEvent has queued everything readable, so only new data can bring
    // a matching event.
    pollConnection(remaining);
  }
  return false;
}

void X11Window::dispatchEvents() {
  if (xdnd) xdnd->checkAbandoned();
  while (isAlive()) {
    XEvent event;
    {
      X11ErrorTrap trap;
      if (XPending(display) <= 0 || connectionDead) return;
      XNextEvent(display, &event);
    }
    dispatch(event);
  }
}

void X11Window::runEventLoop(long ms) {
  const uint32_t start = platformTicks();
  for (;;) {
    dispatchEvents();
    const long remaining = ms - (long)(platformTicks() - start);
    if (remaining <= 0) return;
    if (!isAlive()) {
      platformSleep((uint32_t)remaining);
      return;
    }
    // dispatchEvents emptied the queues: wait for new data.
    pollConnection(remaining);
  }
}

bool X11Window::dispatchExposeEvent() {
  while (isAlive()) {
    XEvent event;
    {
      X11ErrorTrap trap;
      if (!XCheckTypedWindowEvent(display, window, Expose, &event)) return false;
    }
    if (dispatchExpose(event)) return true;
  }
  return false;
}

void X11Window::dispatch(XEvent& event) {
  switch (event.type) {
    case Expose:
      if (event.xexpose.window == window) dispatchExpose(event);
      break;
    case ButtonPress:
      if (event.xbutton.window == window) dispatchButton(event);
      break;
    case KeyPress:
      if (event.xkey.window == window) dispatchKey(event);
      break;
    case FocusIn:
    case FocusOut:
      dispatchFocus(event);
      break;
    case UnmapNotify:
      if (event.xunmap.window == window) viewableKnown = viewable = false;
      break;
    case DestroyNotify:
      if (event.xdestroywindow.window == window)
        windowDestroyed = true;
      else if (xdnd)
        xdnd->handleDestroy(event.xdestroywindow.window);  // a drag's source
      break;
    case ClientMessage:
      // Through the proxy, the message names the host's top-level window: every
      // drag message that reaches this connection is meant for this window.
      if (xdnd) xdnd->handleClientMessage(event.xclient);
      break;
    default:
      break;
  }
}

bool X11Window::dispatchExpose(XEvent& event) {
  const XExposeEvent& expose = event.xexpose;
  CRect area(expose.x, expose.y, expose.x + expose.width, expose.y + expose.height);
  if (!exposePending) {
    exposeBounds = area;
    exposePending = true;
  } else {
    exposeBounds =
        CRect(std::min(exposeBounds.left, area.left), std::min(exposeBounds.top, area.top),
              std::max(exposeBounds.right, area.right), std::max(exposeBounds.bottom, area.bottom));
  }
  viewable = viewableKnown = true;
  viewableCheckedAt = platformTicks();
  if (expose.count > 0) return false;  // more rectangles of the same region follow
  exposePending = false;
  CPlatformEvent draw;
  draw.kind = kPlatformDraw;
  draw.rect = exposeBounds;
  deliver(draw);
  return true;
}

void X11Window::dispatchButton(XEvent& event) {
  const XButtonEvent& press = event.xbutton;
  CPlatformEvent mouse;
  mouse.where = CPoint(press.x, press.y);
  mouse.modifiers = modifierWord(press.state);
  switch (press.button) {
    case Button1:
      mouse.kind = kPlatformTrack;
      mouse.buttons = kButtonLeft | mouse.modifiers;
      break;
    case Button2:
      mouse.kind = kPlatformClick;
      mouse.buttons = kButtonMiddle | mouse.modifiers;
      break;
    case Button3:
      mouse.kind = kPlatformClick;
      mouse.buttons = kButtonRight | mouse.modifiers;
      break;
    case Button4:
    case Button5:
    case 6:
    case 7:
      // Wheel notches: 4 up, 5 down, 6 left, 7 right.
      mouse.kind = kPlatformWheel;
      mouse.horizontal = press.button >= 6;
      mouse.distance = (press.button == Button4 || press.button == 6) ? 1.f : -1.f;
      deliver(mouse);
      return;
    default:
      return;
  }
  if (inMouseEvent) return;
  inMouseEvent = true;
  deliver(mouse);
  inMouseEvent = false;
}

void X11Window::dispatchKey(XEvent& event) {
  CPlatformEvent key;
  key.kind = kPlatformKeyDown;
  {
    X11ErrorTrap trap;  // the first lookup fetches the keyboard mapping
    key.keyCode = x11KeyCode(&event.xkey, altMask, superMask);
  }
  deliver(key);
}

void X11Window::dispatchFocus(XEvent& event) {
  const XFocusChangeEvent& focus = event.xfocus;
  if (focus.window != window || focus.detail == NotifyPointer) return;
  // Focus moving between the window and a window inside it changes nothing.
  if (focus.detail == NotifyInferior) return;
  CPlatformEvent change;
  change.kind = event.type == FocusIn ? kPlatformFocusIn : kPlatformFocusOut;
  deliver(change);
}

bool X11Window::deliver(const CPlatformEvent& event) {
  return handler ? handler(event, userData) : false;
}

void X11Window::setDropTarget(bool active) {
  if (active && !xdnd && isAlive())
    xdnd = new (std::nothrow) XdndTarget(*this, display, window, parent);
  if (!xdnd) return;
  if (active)
    xdnd->announce();
  else
    xdnd->withdraw();
}

void X11Window::setCursor(int type) {
  if (type < 0 || type > 9) type = 0;
  if (!isAlive() || type == currentCursor) return;
  // A window that never had a cursor of its own already shows the default one.
  if (type == 0 && currentCursor < 0) return;
  X11ErrorTrap trap;
  Display* d = display;
  if (!cursors[type]) {
    cursors[type] = loadCursor(d, kCursorNames[type]);
    // Themes name it in two ways; without a theme, the core font's circle stands in.
    if (!cursors[type] && type == 8) cursors[type] = loadCursor(d, "crossed_circle");
    if (!cursors[type] && type == 8) cursors[type] = loadCursor(d, "circle");
    if (!cursors[type] && type != 0) {
      setCursor(0);
      return;
    }
  }
  XDefineCursor(d, window, cursors[type]);
  XFlush(d);
  currentCursor = type;
}

bool X11Window::resize(int w, int h, double newScale) {
  if (!isAlive() || w <= 0 || h <= 0) return false;
  if (newScale > 0) scale = newScale;
  {
    X11ErrorTrap trap;
    XResizeWindow(display, window, (unsigned)w, (unsigned)h);
    XFlush(display);
  }
  return createBackBuffer(w, h);
}

bool X11Window::move(int x, int y) {
  if (!isAlive()) return false;
  X11ErrorTrap trap;
  XMoveWindow(display, window, x, y);
  XFlush(display);
  return true;
}

bool X11Window::getFrame(int& x, int& y, int& w, int& h) {
  if (!isAlive()) return false;
  X11ErrorTrap trap;
  Window root;
  unsigned int uw, uh, border, windowDepth;
  if (!XGetGeometry(display, window, &root, &x, &y, &uw, &uh, &border, &windowDepth) ||
      connectionDead)
    return false;
  w = (int)uw;
  h = (int)uh;
  return true;
}

bool X11Window::getScreenPosition(int& x, int& y) {
  if (!isAlive()) return false;
  X11ErrorTrap trap;
  Display* d = display;
  XWindowAttributes attributes;
  Window child;
  if (!XGetWindowAttributes(d, window, &attributes) || connectionDead) return false;
  return XTranslateCoordinates(d, window, attributes.root, 0, 0, &x, &y, &child) && !connectionDead;
}

bool X11Window::isViewable() {
  if (!isAlive()) return false;
  // Asking is a round trip; the answer is kept for a while. An Expose proves the
  // window visible in between.
  const uint32_t now = platformTicks();
  if (viewableKnown && now - viewableCheckedAt < kViewableRecheckMs) return viewable;
  X11ErrorTrap trap;
  XWindowAttributes attributes;
  viewable = XGetWindowAttributes(display, window, &attributes) && !connectionDead &&
             attributes.map_state == IsViewable;
  viewableKnown = true;
  viewableCheckedAt = now;
  return viewable;
}
