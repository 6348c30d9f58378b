#pragma once
// X11Window: the frame's child window inside the host's window. It holds a
// connection of its own to the X server (so two frames, and the host, never share
// event queues), a back buffer the size of the window that the draw contexts paint
// into and whose damaged rectangles flush() copies to the window, and the
// translation of the window's X events into CPlatformEvent records for the frame.
// Sizes and event positions here are window pixels; the back buffer carries the
// frame's scale factor as its Cairo device scale, so drawing into it is in points.
//
// Every Xlib call runs under an X11ErrorTrap: protocol errors on this connection
// (the host destroyed its window, say) are counted instead of ending the process,
// and a connection that breaks (the X server went away) is marked dead, after which
// the window makes no further call on it. This header needs no X11 header.

#include <cstdint>
#include <vector>

#include "platformevent.h"

typedef struct _cairo_surface cairo_surface_t;
struct _XDisplay;
struct _XImage;
struct _XGC;
union _XEvent;
class XdndTarget;

class X11Window {
 public:
  typedef bool (*EventHandler)(const CPlatformEvent& event, void* userData);

  // Opens a connection to the display named by $DISPLAY, creates a mapped child
  // window of width x height at (x, y) inside parent (an X window id) and a back
  // buffer of that size. Null when the display cannot be opened, the parent does not
  // exist, or anything else fails; nothing is left behind then, and *error (if
  // given) says what failed: 1 no display, 2 no window, 3 no back buffer. scale is
  // the back buffer's device scale (points to pixels).
  static X11Window* create(unsigned long parent, int x, int y, int width, int height,
                           EventHandler handler, void* userData, int* error = nullptr,
                           double scale = 1.0);
  ~X11Window();
  X11Window(const X11Window&) = delete;
  X11Window& operator=(const X11Window&) = delete;

  unsigned long getWindowId() const { return window; }
  unsigned long getParentId() const { return parent; }
  // False once the connection broke or the window was destroyed from outside.
  bool isAlive() const { return !connectionDead && !windowDestroyed; }
  bool isConnectionDead() const { return connectionDead; }
  // Protocol errors trapped on this connection so far.
  long getErrorCount() const { return errorCount; }

  cairo_surface_t* getBackBuffer() const { return backBuffer; }
  // Marks a rectangle of the back buffer (pixels) as changed since the last flush.
  void addDamage(int x, int y, int width, int height);
  // Copies the damaged rectangles of the back buffer to the window (all of it when
  // none was marked) and flushes the connection.
  void flush();
  // Pixels sent to the window by flush() since the window was made.
  int64_t getPixelsSent() const { return pixelsSent; }

  // The desktop's Xft.dpi from the X resource database of $DISPLAY; 0 when the
  // display cannot be opened or the resource is not set.
  static double readDesktopDpi();

  // Pointer position in window coordinates and the button word from the current
  // button and modifier state.
  bool queryPointer(int& x, int& y, long& buttons);
  // See CFrame::waitMouseEvent.
  bool waitMouseEvent(long timeoutMs, int& kind);

  // Dispatches every event already queued or readable without waiting.
  void dispatchEvents();
  // Waits for events for ms milliseconds, dispatching them as they arrive.
  void runEventLoop(long ms);
  // Dispatches at most one pending Expose sequence of this window; true if one
  // was drawn.
  bool dispatchExposeEvent();

  // type is a CCursorType.
  void setCursor(int type);
  // Makes the window a drop target for other programs' drags (XDND), or no longer.
  void setDropTarget(bool active);
  // Resizes the window and its back buffer (the new buffer starts transparent where
  // the old one did not reach); a scale above 0 becomes the new buffer's device scale.
  bool resize(int width, int height, double newScale = 0.0);
  bool move(int x, int y);
  // Position within the parent and size.
  bool getFrame(int& x, int& y, int& width, int& height);
  // Position of the window's top-left corner on the screen.
  bool getScreenPosition(int& x, int& y);
  // The window and all its ancestors are mapped (as of at most half a second ago:
  // the window learns of an ancestor being unmapped only by asking).
  bool isViewable();

  // Marks the connection dead (called by the error trap's I/O error handlers).
  void markConnectionDead() { connectionDead = true; }
  // Counts a trapped protocol error.
  void countError() { errorCount++; }
  // The window of a live connection, for the error handlers; null if not ours.
  static X11Window* findByDisplay(_XDisplay* display);

 private:
  // The drop target reads the window's geometry, waits on its connection and hands
  // the frame its drag events.
  friend class XdndTarget;

  X11Window(_XDisplay* display, unsigned long parent, EventHandler handler, void* userData);
  bool createWindow(int x, int y, int width, int height);
  // Replaces the back buffer, keeping what the old one showed.
  bool createBackBuffer(int width, int height);
  void destroyBackBuffer();
  void readModifierMasks();
  long buttonWord(unsigned int state) const;
  long modifierWord(unsigned int state) const;
  void dispatch(_XEvent& event);
  void dispatchButton(_XEvent& event);
  void dispatchKey(_XEvent& event);
  // True when the event ended a sequence and the region was drawn.
  bool dispatchExpose(_XEvent& event);
  void dispatchFocus(_XEvent& event);
  bool deliver(const CPlatformEvent& event);
  // Flushes, then waits up to timeoutMs (negative: no limit) for data from the server.
  bool pollConnection(long timeoutMs);
  // Converts the pixels of rect for a visual whose layout differs from Cairo's.
  void convertBackBuffer(const CRect& rect);
  void putRect(const CRect& rect);

  _XDisplay* display;
  unsigned long parent;
  unsigned long window = 0;
  _XGC* gc = nullptr;
  void* visual = nullptr;
  int depth = 0;
  EventHandler handler;
  void* userData;

  cairo_surface_t* backBuffer = nullptr;
  _XImage* image = nullptr;        // describes the pixels flush() sends
  bool imageSharesBuffer = false;  // image->data is the back buffer's own memory
  int width = 0;
  int height = 0;
  double scale = 1.0;
  // Rectangles changed since the last flush, in pixels, none overlapping another.
  std::vector<CRect> damage;
  int64_t pixelsSent = 0;

  unsigned long cursors[10] = {};
  int currentCursor = -1;
  unsigned int altMask = 0;
  unsigned int superMask = 0;

  // Expose rectangles gathered until the last of a sequence (count == 0).
  bool exposePending = false;
  CRect exposeBounds;
  // A button press is being handled: presses arriving meanwhile (from nested event
  // loops of a tracking control) are dropped, as the platform's tracking owns the mouse.
  bool inMouseEvent = false;

  static constexpr uint32_t kViewableRecheckMs = 500;
  bool viewable = false;
  bool viewableKnown = false;
  uint32_t viewableCheckedAt = 0;

  bool connectionDead = false;
  bool windowDestroyed = false;
  long errorCount = 0;

  XdndTarget* xdnd = nullptr;  // owned; made by the first setDropTarget(true)
};
