#include "control.h"

#include <cstring>

#include "frame.h"

// The desktop's double-click interval. Linux desktops agree on no single source for
// it, so the control uses the usual 250 ms.
static long platformDoubleClickTime() {
  return 250;
}

// The shortest double-click window a control accepts, in milliseconds.
static const long kMinDoubleClickTime = 250;

CControl::CControl(const CRect& size, CControlListener* listener, long tag, CBitmap* pBackground)
    : CView(size),
      listener(listener),
      tag((int32_t)tag),
      oldValue(1.0f),
      defaultValue(0.5f),
      value(0.0f),
      vmin(0.0f),
      vmax(1.0f),
      wheelInc(0.1f),
      lastTicks(-1),
      delta(platformDoubleClickTime()),
      backOffset(0, 0) {
  if (delta < kMinDoubleClickTime) delta = kMinDoubleClickTime;
  setTransparency(false);
  setMouseEnabled(true);
  setBackground(pBackground);
}

bool CControl::isTypeOf(const char* s) const {
  return std::strcmp(s, "CControl") == 0 || CView::isTypeOf(s);
}

// ---------------------------------------------------------------------------
// Dirty rule: a control is dirty while its value differs from the value it last
// drew (a NaN on either side compares unequal, so it counts as a change).

bool CControl::isDirty() const {
  return oldValue != value || CView::isDirty();
}

void CControl::setDirty(bool val) {
  CView::setDirty(val);
  if (val)
    oldValue = (value == -1.0f) ? 0.0f : -1.0f;  // surely different from value
  else
    oldValue = value;  // records the value just drawn
}

// ---------------------------------------------------------------------------
// Frame services. A control must live in a frame before these are used; without one
// they do nothing rather than fault.

void CControl::doIdleStuff() {
  if (pParentFrame) pParentFrame->doIdleStuff();
}

void CControl::beginEdit() {
  if (!pParentFrame) return;
  pParentFrame->setFocusView(this);
  pParentFrame->beginEdit(tag);
}

void CControl::endEdit() {
  if (pParentFrame) pParentFrame->endEdit(tag);
}

bool CControl::isDoubleClick() {
  if (!pParentFrame) return false;
  long ticks = pParentFrame->getTicks();
  if (lastTicks <= 0) {
    lastTicks = ticks;
    return false;
  }
  if (lastTicks + delta > ticks) {
    lastTicks = 0;  // a third click starts a new pair
    return true;
  }
  lastTicks = ticks;
  return false;
}

// ---------------------------------------------------------------------------
// Value helpers

void CControl::copyBackOffset() {
  backOffset(size.left, size.top);
}

void CControl::bounceValue() {
  if (value > vmax)
    value = vmax;
  else if (value < vmin)
    value = vmin;
}

// Left click with Command and nothing else resets the control to its default value,
// as one edit gesture.
bool CControl::checkDefaultValue(CDrawContext* context, long button) {
  if (button != (kButtonLeft | kButtonCommand)) return false;
  beginEdit();
  value = getDefaultValue();
  if (isDirty() && listener) listener->valueChanged(context, this);
  endEdit();
  return true;
}
