#pragma once
// CPlatformEvent: one event of the frame's window, translated from the window
// system into the framework's own terms, for CFrame::platformEventHandler.

#include "geometry.h"
#include "view.h"

class CPlatformDrag;

enum CPlatformEventKind {
  kPlatformDraw,      // rect: the bounds of the exposed region
  kPlatformTrack,     // primary button pressed: where, buttons (kButtonLeft + modifiers)
  kPlatformClick,     // another button pressed: where, buttons
  kPlatformWheel,     // where, horizontal, modifiers, distance (+1 / -1 per notch)
  kPlatformKeyDown,   // keyCode
  kPlatformFocusIn,   // the window got the keyboard focus
  kPlatformFocusOut,  // the window lost it
  // A drag from another program (see x11/xdnd.h); where is the pointer in window
  // coordinates. Enter carries the drag's items; the handler's answer to a drop says
  // whether the drop was taken.
  kPlatformDragEnter,
  kPlatformDragMove,
  kPlatformDragLeave,
  kPlatformDragDrop,
};

struct CPlatformEvent {
  CPlatformEventKind kind = kPlatformDraw;
  CRect rect;
  CPoint where;
  long buttons = 0;
  long modifiers = 0;  // kButtonShift, kButtonCommand, kButtonAlt, kButtonControl
  bool horizontal = false;
  float distance = 0.f;
  VstKeyCode keyCode = {0, 0, 0};
  CPlatformDrag* drag = nullptr;  // not owned: the handler remembers it to keep it
};
