#include "vgknob.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr float kTwoPi = 6.2831853f;
constexpr float kDegreesToRadians = 0.017453292f;

// Brings an angle into [0, 2pi] with one turn at most, as the dead-sector test needs.
float oneTurn(float angle) {
  if (angle < 0)
    angle += kTwoPi;
  else if (angle > kTwoPi)
    angle -= kTwoPi;
  return angle;
}

// A square of side `side` on the circle of width w and height h inside `outer`, at
// `degrees` clockwise from 12 o'clock, measured from outer's top-left corner: the
// ring's round ends and its pointer dot.
CRect dotOnRing(const CRect& outer, int w, int h, float degrees, float side) {
  float a = degrees * kDegreesToRadians;
  CRect dot;
  dot.left = outer.left + static_cast<CCoord>(0.5f + (std::sin(a) + 1) * 0.5f * w);
  dot.top = outer.top + static_cast<CCoord>(0.5f + (1 - std::cos(a)) * 0.5f * h);
  dot.right = static_cast<CCoord>(dot.left + side);
  dot.bottom = static_cast<CCoord>(dot.top + side);
  return dot;
}

}  // namespace

// ---------------------------------------------------------------------------
// VGKnobDrag

VGKnobDrag::VGKnobDrag(float entryValue, float vmin, float vmax, float height, float zoomFactor,
                       const CPoint& firstPoint, long button)
    : fEntryState(entryValue),
      span(vmax - vmin),
      height(height),
      zoomFactor(zoomFactor),
      coef(0),
      firstPoint(firstPoint),
      oldWhere(-1, -1),
      oldButton(button),
      lastDiff(0) {
  coef = coefFor(button);
}

// One height (zoomFactor heights with Shift) covers the range; a control without
// height does not move.
float VGKnobDrag::coefFor(long button) const {
  float range = height;
  if (button & kButtonShift) range *= zoomFactor;
  return range > 0 ? span / range : 0.f;
}

bool VGKnobDrag::track(const CPoint& where, long button, float& value) {
  if (button != oldButton) {
    // New rate from the last position followed on; the value there stays the same.
    float coef2 = coefFor(button);
    fEntryState += lastDiff * (coef - coef2);
    coef = coef2;
    oldButton = button;
  }
  if (where == oldWhere) return false;
  oldWhere = where;
  lastDiff = (firstPoint.v - where.v) + (where.h - firstPoint.h);
  value = fEntryState + lastDiff * coef;
  return true;
}

// ---------------------------------------------------------------------------
// VGKnobBase

VGKnobBase::VGKnobBase(const CRect& size, CControlListener* listener, long tag,
                       CColor* pPluginColors)
    : VGControl(size, listener, tag, pPluginColors),
      zoomFactor(5.f),
      startAngle(0.f),
      rangeAngle(1.f),  // non-zero before the first compute
      halfAngle(0.f),
      aCoef(0.f),
      bCoef(0.f),
      radius((size.right - size.left) / 2.0f),
      integerIncrement(false) {
  maxValue = 1.f;
  minValue = 0.f;
  setStartAngle(3.9269907f);
  setRangeAngle(-4.712389f);
  setWantsFocus(true);
}

VGKnobBase::~VGKnobBase() = default;

void VGKnobBase::setStartAngle(float val) {
  startAngle = val;
  compute();
}

// A range of 0 would make the value per radian infinite: it is refused, the range
// stays what it was.
void VGKnobBase::setRangeAngle(float val) {
  if (val == 0.f) return;
  rangeAngle = val;
  compute();
}

void VGKnobBase::compute() {
  aCoef = (vmax - vmin) / rangeAngle;
  bCoef = vmin - aCoef * startAngle;
  halfAngle = (kTwoPi - std::fabs(rangeAngle)) / 2;
  setDirty(true);
}

void VGKnobBase::valueToPoint(CPoint& point) const {
  // With an empty value range every value sits at the start angle; values past
  // the ends of the range sit at the ends.
  const float clamped = std::isnan(value) ? vmin
                                          : std::clamp(value, std::min(vmin, vmax),
                                                       std::max(vmin, vmax));
  float alpha = aCoef != 0.f ? (clamped - bCoef) / aCoef : startAngle;
  if (!std::isfinite(alpha)) alpha = startAngle;
  point.h = static_cast<CCoord>(radius + std::cos(alpha) * radius + 0.5f);
  point.v = static_cast<CCoord>(radius - std::sin(alpha) * radius + 0.5f);
}

float VGKnobBase::valueFromPoint(CPoint& point) const {
  float alpha = std::atan2(radius - point.v, point.h - radius);
  if (alpha < 0) alpha += kTwoPi;
  float alpha2 = alpha - startAngle;
  if (rangeAngle < 0) {
    alpha2 -= rangeAngle;
    float alpha3 = oneTurn(alpha2);
    if (alpha3 > halfAngle - rangeAngle) return vmax;
    if (alpha3 > -rangeAngle) return vmin;
    if (alpha2 > halfAngle - rangeAngle)
      alpha2 -= kTwoPi;
    else if (alpha2 < -halfAngle)
      alpha2 += kTwoPi;
    return aCoef * alpha2 + vmax;
  }
  float alpha3 = oneTurn(alpha2);
  if (alpha3 > rangeAngle + halfAngle) return vmin;
  if (alpha3 > rangeAngle) return vmax;
  if (alpha2 > rangeAngle + halfAngle)
    alpha2 -= kTwoPi;
  else if (alpha2 < -halfAngle)
    alpha2 += kTwoPi;
  return aCoef * alpha2 + vmin;
}

// Command-click (Ctrl on Linux) alone resets to the default; any other left click
// starts a linear drag that lasts until the button is released.
void VGKnobBase::mouse(CDrawContext* pContext, CPoint& where, long button) {
  if (!getMouseEnabled() || !pContext) return;
  if (button == -1) button = pContext->getMouseButtons();
  if (!(button & kButtonLeft)) return;
  if (button == (kButtonLeft | kButtonCommand)) {
    value = getDefaultValue();
    if (isDirty() && listener) listener->valueChanged(pContext, this);
    return;
  }

  VGKnobDrag drag(value, vmin, vmax, static_cast<float>(size.bottom - size.top), zoomFactor, where,
                  button);
  beginEdit();
  do {
    button = pContext->getMouseButtons();
    float newValue = value;
    if (drag.track(where, button, newValue)) {
      value = newValue;
      bounceValue();
      if (isDirty() && listener) listener->valueChanged(pContext, this);
    }
    getMouseLocation(pContext, where);
    doIdleStuff();
  } while (button & kButtonLeft);
  endEdit();
}

// ---------------------------------------------------------------------------
// VGGrommetKnob

VGGrommetKnob::VGGrommetKnob(const CRect& size, CControlListener* listener, long tag,
                             CColor* pPluginColors)
    : VGKnobBase(size, listener, tag, pPluginColors), useRatio(0) {
  integerIncrement = false;
}

VGGrommetKnob::~VGGrommetKnob() = default;

void VGGrommetKnob::makeValueString(char* valueString, size_t size) {
  const float span = maxValue - minValue;
  float tmpValue = getValue() * span + minValue;
  if (useRatio == 1) {
    if (tmpValue > 0)
      std::snprintf(valueString, size, "1:%3.1f %s", tmpValue + 1, label);
    else
      std::snprintf(valueString, size, "%3.1f:1 %s", 1 - tmpValue, label);
    return;
  }
  if (integerIncrement) {
    tmpValue = std::trunc(tmpValue);
    if (span != 0.f) value = (tmpValue - minValue) / span;
  }
  std::snprintf(valueString, size, span > 15.0f ? "%3.1f %s" : "%3.2f %s", tmpValue, label);
}

// The ring is a pie slice of 300 degrees in the fore colour emptied by a white disc,
// with round ends; the 60-degree gap, marked by the pointer dot, turns with the value.
void VGGrommetKnob::draw(CDrawContext* pContext) {
  RUVDrawContext* oc = beginOffscreen(pContext);
  CRect offRect = getOffRect();
  paintWhiteBackground(oc, offRect);
  offRect.inset(1, 1);
  CRect centreDisc = drawGrommet(oc, offRect);
  drawReadout(oc, offRect, centreDisc);
  endOffscreen(pContext, oc);
}

// Angles here are degrees clockwise from 12 o'clock; drawArc counts from 3 o'clock,
// hence the arc angles 90 degrees behind.
CRect VGGrommetKnob::drawGrommet(RUVDrawContext* oc, const CRect& offRect) {
  const float arcWidth = offRect.width() * 0.125f;
  // A knob cannot point past its ends: the geometry follows the value clamped to
  // 0..1 (a host may store any finite value, and a huge one would turn the angles
  // into infinities); a value that is not a number draws as 0.
  const float v = std::isnan(getValue()) ? 0.f : std::clamp(getValue(), 0.f, 1.f);
  float angleStart = v * 300 - 120;
  float arcStart = angleStart - 90;
  float angleEnd = angleStart + 300;
  float arcEnd = arcStart + 300;
  float anglePoint = angleEnd + 30;
  if (angleStart < 0) angleStart += 360;
  if (arcStart < 0) arcStart += 360;
  if (angleEnd >= 360) angleEnd -= 360;
  if (arcEnd >= 360) arcEnd -= 360;
  if (anglePoint >= 360) anglePoint -= 360;

  oc->setFillColor(foreColor());
  oc->drawArc(offRect, arcStart, arcEnd, kDrawFilled);
  // The round ends sit on the circle through the middle of the ring.
  CRect insetRect = offRect;
  const CCoord halfArc = static_cast<CCoord>(arcWidth * 0.5f);
  insetRect.inset(halfArc, halfArc);
  const int w = insetRect.width(), h = insetRect.height();
  oc->fillEllipse(dotOnRing(offRect, w, h, angleStart, arcWidth));
  oc->fillEllipse(dotOnRing(offRect, w, h, angleEnd, arcWidth));

  CRect circleRect = offRect;
  const CCoord arc = static_cast<CCoord>(arcWidth);
  circleRect.inset(arc, arc);
  oc->setFillColor(kWhiteCColor);
  oc->fillEllipse(circleRect);

  // The pointer dot is a lit lamp, the centre disc an unlit one.
  drawLamp(oc, dotOnRing(offRect, w, h, anglePoint, arcWidth), true);
  circleRect.inset(arc, arc);
  drawLamp(oc, circleRect, false);
  return circleRect;
}

// The value with its unit, centred across the whole knob at the height of the centre
// disc, in a font fitted to "0123" in the disc.
void VGGrommetKnob::drawReadout(RUVDrawContext* oc, const CRect& offRect, const CRect& circleRect) {
  char valueString[kVGTextSize];
  makeValueString(valueString, sizeof valueString);
  adjustFontSize(oc, "0123", circleRect.width(), circleRect.height());
  oc->setFont(currentFontID, currentFontSize, currentFontStyle);
  oc->setFontColor(textColor());
  CRect textRect(offRect.left, circleRect.top, offRect.right, circleRect.bottom - 2);
  oc->drawString(valueString, textRect, 0, kCenterText);
}
