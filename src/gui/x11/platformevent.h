#pragma once
// CPlatformEvent: one event of the frame's window, translated from the window
// system into the framework's own terms, for CFrame::platformEventHandler.

#include "geometry.h"
#include "view.h"

enum CPlatformEventKind {
  kPlatformDraw,      // rect: the bounds of the exposed region
  kPlatformTrack,     // primary button pressed: where, buttons (kButtonLeft + modifiers)
  kPlatformClick,     // another button pressed: where, buttons
  kPlatformWheel,     // where, horizontal, modifiers, distance (+1 / -1 per notch)
  kPlatformKeyDown,   // keyCode
  kPlatformFocusIn,   // the window got the keyboard focus
  kPlatformFocusOut,  // the window lost it
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
};
