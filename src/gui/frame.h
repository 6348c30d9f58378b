#pragma once
// CFrame: the top-level container of an editor. It lives in the window the host
// hands to the editor as a child window of its own (the platform window, see
// x11/x11window.h), turns that window's events into calls on the view tree (draw,
// click, wheel, keys, focus, drags from other programs), drives the idle redraw of
// dirty views, keeps the focus view and an optional modal view, forwards edit
// gestures and idle calls to the editor and asks the host to resize the window.
//
// No window-system type appears here: the frame talks to the window system only
// through X11Window, and to the drawing layer through a Cairo back buffer.

#include <cstdint>

#include "viewcontainer.h"

// Cairo's surface handle, declared the way cairo.h declares it.
typedef struct _cairo_surface cairo_surface_t;

class X11Window;
class CDragContainer;
struct CPlatformEvent;
struct VstWindow;

enum CCursorType {
  kCursorDefault = 0,
  kCursorWait,
  kCursorHSize,
  kCursorVSize,
  kCursorSizeAll,
  kCursorNESWSize,
  kCursorNWSESize,
  kCursorCopy,
  kCursorNotAllowed,
  kCursorHand
};

class CFrame : public CViewContainer {
 public:
  // In a host window (an X window id cast to a pointer); inEditor is the
  // AEffGUIEditor that owns the frame, or null.
  CFrame(const CRect& inSize, void* inSystemWindow, void* inEditor);
  // In a window that open() asks the host to create (audioMasterOpenWindow).
  CFrame(const CRect& inSize, const char* inTitle, void* inEditor, long inStyle = 0);
  ~CFrame() override;
  CFrame(const CFrame&) = delete;
  CFrame& operator=(const CFrame&) = delete;

  virtual bool open(CPoint* point = nullptr);
  virtual bool close();
  virtual bool isOpen() const { return bOpenFlag; }

  virtual void idle();
  virtual void doIdleStuff();
  virtual long getTicks() const;
  virtual long getKnobMode() const;

  virtual bool setPosition(long x, long y);
  virtual bool getPosition(long& x, long& y) const;
  virtual bool setSize(long width, long height);
  virtual bool getSize(CRect* pSize) const;
  virtual bool getSize(CRect& pSize) const;

  virtual bool setModalView(CView* pView);
  virtual CView* getModalView() const { return pModalView; }

  virtual void beginEdit(long index);
  virtual void endEdit(long index);

  virtual bool getCurrentLocation(CPoint& where);
  virtual void setCursor(CCursorType type);

  virtual void setFocusView(CView* pView);
  virtual CView* getFocusView() const { return pFocusView; }

  // Whether the window takes drags from other programs: on X11, whether it tells
  // drag sources so (see x11/xdnd.h). The frame turns it on when its window is made
  // and off when it goes.
  virtual bool setDropActive(bool val);
  virtual bool isDropActive() const { return bDropActive; }
  virtual void setOpenFlag(bool val) { bOpenFlag = val; }
  virtual bool getOpenFlag() const { return bOpenFlag; }

  // Marks every direct child overlapping rect dirty; nothing is drawn at once.
  virtual void invalidate(const CRect& rect);
  virtual bool updatesDisabled() const { return bUpdatesDisabled; }
  // Stores state; returns the previous value.
  virtual bool updatesDisabled(bool state);
  // Draws pView at once if it is a direct child, else the whole frame.
  virtual void draw(CView* pView);

  void draw(CDrawContext* pContext) override;
  void drawRect(CDrawContext* pContext, const CRect& updateRect) override;
  void mouse(CDrawContext* pContext, CPoint& where, long buttons = -1) override;
  bool onWheel(CDrawContext* pContext, const CPoint& where, float distance) override;
  bool onWheel(CDrawContext* pContext, const CPoint& where, CMouseWheelAxis axis,
               float distance) override;
  long onKeyDown(VstKeyCode& keyCode) override;
  long onKeyUp(VstKeyCode& keyCode) override;
  void setViewSize(CRect& rect) override;
  CView* getCurrentView() const override;
  void* getEditor() const override;
  void dumpHierarchy() override;
  bool isTypeOf(const char* s) const override;
  bool advanceNextFocusView(CView* oldFocus, bool reverse = false) override;

  void* getSystemWindow() const { return pSystemWindow; }
  X11Window* getPlatformControl() const { return controlRef; }
  // A context supplied from outside, used instead of creating contexts; not owned.
  void setDrawContext(CDrawContext* context) { pFrameContext = context; }
  // The caller forgets the result.
  CDrawContext* createDrawContext();
  bool initFrame(void* systemWin);

  // Window pixels per view point (see scalefactor.h). The frame's size and every
  // view stay in points; the window, its back buffer and its events are in pixels.
  float getScaleFactor() const { return scaleFactor; }
  // A new valid factor: the host is asked to resize its window (sizeWindow), the
  // frame's window and back buffer follow, and the whole frame redraws at the next
  // idle. False when the factor is invalid or unchanged.
  bool setScaleFactor(float factor);
  // Marks rect (frame points) as changed in the back buffer: the next flush copies it.
  void markDamaged(const CRect& rect);
  // Pixels copied from the back buffer to the window so far (0 without a window).
  int64_t getPixelsSent() const;
  // Window pixels to frame points: positions rounded down, rectangles grown outwards.
  CPoint pixelsToPoints(const CPoint& pixel) const;
  CRect pixelsToPoints(const CRect& pixels) const;
  // The X id of the frame's own child window; 0 while it has none.
  unsigned long getWindowId() const;

  // What the window's draw context needs.
  const CPoint& getScrollOffset() const { return hiScrollOffset; }
  // The window's back buffer: an ARGB32 image surface of the window's pixel size,
  // its device scale the scale factor (so it is drawn in points); null when the frame
  // has no window.
  cairo_surface_t* getBackBuffer();
  // Copies the damaged parts of the back buffer to the window.
  void flushBackBuffer();
  // Pointer position in frame coordinates and the button word (kButtonLeft ..
  // kButtonControl) from the window system's current state. False without a window.
  bool queryPointer(CPoint& where, long& buttons);
  // Waits up to timeoutMs (negative: no limit) for a button press (kind 1), a motion
  // with a button held (kind 2) or a button release (kind 3) in the frame's window.
  bool waitMouseEvent(long timeoutMs, int& kind);

  // The event pump, run by the editor bridge on the user-interface thread.
  // Dispatches every pending event of the frame's window.
  void dispatchEvents();
  // Waits for events for ms milliseconds, dispatching what arrives.
  void runEventLoop(long ms);
  // Dispatches at most one pending redraw event; true if there was one.
  bool dispatchUpdateEvent();

  // Turns one window event into calls on the view tree; userData is the frame.
  // True when the event was handled.
  static bool platformEventHandler(const CPlatformEvent& event, void* userData);

 protected:
  void update(CDrawContext* pContext) override;

  void initFields(void* inEditor);
  bool isCollapsed() const;
  bool handleDrawEvent(const CRect& bounds);
  bool handleMouseEvent(const CPoint& where, long buttons);
  bool handleWheelEvent(const CPoint& where, bool horizontal, long modifiers, float distance);
  bool handleKeyEvent(VstKeyCode& keyCode);
  bool handleFocusEvent(bool focusIn);
  // Enter, move, leave and drop of a drag from another program: routed through the
  // view tree at the pointer, with the not-allowed cursor while the drag is over
  // the frame. The result is the drop's (true for the others).
  bool handleDragEvent(const CPlatformEvent& event);
  void endDrag(CDragContainer* drag);
  // width x height points, in the window's pixels.
  void setWindowSize(long width, long height);

  void* pEditor;
  void* pSystemWindow;
  CView* pModalView;
  CView* pFocusView;
  bool bFirstDraw;
  bool bOpenFlag;
  bool bDropActive;
  bool bUpdatesDisabled;
  X11Window* controlRef;  // the frame's child window, owned
  bool hasFocus;          // the child window holds the keyboard focus
  CPoint hiScrollOffset;
  CDrawContext* pFrameContext;
  bool bAddedWindow;
  VstWindow* pVstWindow;
  // The drag over the frame, from its enter to its leave or drop (one reference).
  // Kept by each frame: every frame's window gets its drag messages on its own
  // connection, so a drag leaving one frame for another may reach the second first.
  CDragContainer* pDragContainer;
  float scaleFactor;
};
