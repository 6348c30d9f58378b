#include "vgslider.h"

#include <cmath>
#include <cstdio>

#include "vgshapes.h"

VGSlider::VGSlider(const CRect& size, CControlListener* listener, long tag, CColor* pPluginColors)
    : VGControl(size, listener, tag, pPluginColors),
      limitLeft((3 * widgetRect.height()) >> 2),
      limitRight(widgetRect.width() - limitLeft),
      invertValue(false),
      log(false),
      integerIncrement(false) {
  value = 0.f;
}

VGSlider::~VGSlider() = default;

// ---------------------------------------------------------------------------
// Mouse

// Absolute: the value is where the pointer stands between limitLeft and limitRight.
// With Shift the value moves a tenth of the way from where it stood when Shift was
// pressed.
//
// The press itself makes the first pass, with the button word it came with: a click
// released before its event is handled (quicker than one idle period of the host)
// still moves the handle. The passes after it poll the pointer until the left button
// is up.
void VGSlider::mouse(CDrawContext* pContext, CPoint& where, long button) {
  if (!getMouseEnabled() || !pContext) return;
  if (button == -1) button = pContext->getMouseButtons();
  if (listener && hasModifier(button) && listener->controlModifierClicked(pContext, this, button))
    return;
  if (checkDefaultValue(pContext, button)) return;
  if (!(button & kButtonLeft)) return;

  const long delta = size.left + limitLeft;
  // A slider too short for any travel jumps between its ends.
  const float travel = limitRight > limitLeft ? static_cast<float>(limitRight - limitLeft) : 1.f;
  float oldVal = value;
  long oldButton = button;
  beginEdit();
  do {
    if (button != oldButton && (button & kButtonShift)) {
      oldVal = value;
      oldButton = button;
    } else if (!(button & kButtonShift)) {
      oldVal = value;
    }
    value = static_cast<float>(where.h - delta) / travel;
    if (button & kButtonShift) value = oldVal + (value - oldVal) / 10;
    bounceValue();
    if (isDirty() && listener) listener->valueChanged(pContext, this);
    getMouseLocation(pContext, where);
    doIdleStuff();
    button = pContext->getMouseButtons();
  } while (button & kButtonLeft);
  endEdit();
}

// ---------------------------------------------------------------------------
// Drawing

// For a 200 x 20 slider at value 0.5: the handle (91, 0, 109, 20) around x 100, the
// track between y 15 and 20.
void VGSlider::draw(CDrawContext* pContext) {
  RUVDrawContext* oc = beginOffscreen(pContext);
  const CRect offRect = getOffRect();
  paintWhiteBackground(oc, offRect);
  const CCoord buttonX = limitLeft + truncCoord((limitRight - limitLeft) * getValue());
  drawTrack(oc, offRect, buttonX);
  const CCoord r = static_cast<CCoord>(height * 0.5f - 1);
  drawLamp(oc, CRect(buttonX - r, offRect.top, buttonX + r, offRect.bottom), true);
  drawTexts(oc, offRect);
  endOffscreen(pContext, oc);
}

// Two pills in the back colour, a quarter of the height thick, on either side of the
// handle with a gap around it.
void VGSlider::drawTrack(RUVDrawContext* oc, const CRect& offRect, CCoord buttonX) {
  auto q = [this](float f) { return static_cast<CCoord>(height * f + 0.5f); };
  const CCoord top = offRect.bottom - q(0.25f), bottom = offRect.bottom;
  const CCoord l = offRect.left, r = offRect.right;
  oc->setFillColor(backColor());
  const CCoord leftEnd = buttonX - q(0.5f);
  fillPill(oc, CRect(l, top, l + q(0.25f), bottom), CRect(leftEnd - q(0.25f), top, leftEnd, bottom),
           CRect(l + q(0.125f), top, buttonX - q(0.625f), bottom));
  const CCoord rightStart = buttonX + q(0.5f);
  fillPill(oc, CRect(rightStart, top, rightStart + q(0.25f), bottom),
           CRect(static_cast<CCoord>(r - (height * 0.25f + 0.5f)), top, r, bottom),
           CRect(rightStart + q(0.125f), top, r - q(0.125f), bottom));
}

// The name on the left and the value on the right, both in a font fitted to the name.
void VGSlider::drawTexts(RUVDrawContext* oc, const CRect& offRect) {
  const float o = height * 0.125f + 0.5f;
  nameRect = CRect(offRect.left + static_cast<CCoord>(3 * o), offRect.top,
                   offRect.right - static_cast<CCoord>(3 * o), offRect.bottom - static_cast<CCoord>(o));
  adjustFontSize(oc, name, nameRect.width(), nameRect.height());
  nameRect.bottom -= 2;
  oc->setFontColor(textColor());
  oc->drawString(name, nameRect, 0, kLeftText);
  char valueString[kVGTextSize];
  makeValueString(valueString, sizeof valueString);
  oc->drawString(valueString, nameRect, 0, kRightText);
}

void VGSlider::makeValueString(char* valueString, size_t size) const {
  float tmpFloat = minValue + value * (maxValue - minValue);
  if (integerIncrement) tmpFloat = std::trunc(tmpFloat);
  if (log) tmpFloat = std::pow(2.f, tmpFloat);
  std::snprintf(valueString, size, "%4.2f %s", tmpFloat, label);
}
