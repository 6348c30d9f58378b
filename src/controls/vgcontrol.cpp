#include "vgcontrol.h"

#include <cstdint>
#include <cmath>
#include <cstring>

namespace {

// A colour channel from a value in [0, 1] scaled to 255, truncated; values outside
// the range (or not numbers) are held at its ends so the conversion stays defined.
unsigned char channel(float scaled) {
  if (!(scaled > 0.f)) return 0;
  if (scaled >= 255.f) return 255;
  return static_cast<unsigned char>(scaled);
}

void copyText(char* field, const char* text) {
  if (!text) text = "";
  std::strncpy(field, text, kVGTextSize - 1);
  field[kVGTextSize - 1] = 0;
}

// A font size from a fit computed in floating point: truncated, at least 1 (a size
// of 0 would select the font's default size, which may not fit) and within int range.
int32_t fontSizeFrom(float fit) {
  if (!(fit >= 1.f)) return 1;
  if (fit >= static_cast<float>(INT32_MAX / 2)) return INT32_MAX / 2;
  return static_cast<int32_t>(fit);
}

}  // namespace

VGControl::VGControl(const CRect& size, CControlListener* listener, long tag, CColor* pPluginColors)
    : CControl(size, listener, tag, nullptr),
      width(size.right - size.left),
      height(size.bottom - size.top),
      nameRect(0, 0, 0, 0),
      pluginColors(pPluginColors),
      label{},
      name{},
      widgetRect(size),
      // The display range is the owner's to set; these defaults keep it defined.
      maxValue(1.f),
      minValue(0.f),
      currentFontID(kNormalFont),
      currentFontStyle(0),
      currentFontSize(12) {
  CControl::setValue(1.0f);
}

VGControl::~VGControl() = default;

void VGControl::setLabel(const char* pLabel) {
  copyText(label, pLabel);
}

void VGControl::setName(const char* pName) {
  copyText(name, pName);
}

CColor VGControl::lighten(const CColor& c) {
  return {static_cast<unsigned char>((c.red + 255) / 2), static_cast<unsigned char>((c.green + 255) / 2),
          static_cast<unsigned char>((c.blue + 255) / 2), 255};
}

CColor VGControl::darken(const CColor& c) {
  return {static_cast<unsigned char>(c.red / 2), static_cast<unsigned char>(c.green / 2),
          static_cast<unsigned char>(c.blue / 2), 255};
}

// Measures at 128 points and scales: the width fit from the measured width, the
// height fit from a line height of 1.1 x the size; the smaller one wins.
void VGControl::adjustFontSize(CDrawContext* pContext, const char* testString, long rectWidth,
                               long rectHeight) {
  const long testSize = 128;
  pContext->setFont(currentFontID, testSize, currentFontStyle);
  long testWidth = pContext->getStringWidth(testString);
  currentFontSize = testWidth > 0 ? fontSizeFrom(static_cast<float>(rectWidth) / testWidth * testSize)
                                  : INT32_MAX / 2;
  const long testHeight = testSize * 11 / 10;
  int32_t vertical = fontSizeFrom(static_cast<float>(rectHeight) / testHeight * testSize);
  if (vertical < currentFontSize) currentFontSize = vertical;
  pContext->setFont(currentFontID, currentFontSize, currentFontStyle);
}

// ---------------------------------------------------------------------------
// The offscreen pass

RUVDrawContext* VGControl::beginOffscreen(CDrawContext* pContext) const {
  return new RUVDrawContext(pContext->getFrame(), width, height, kBlackCColor);
}

void VGControl::paintWhiteBackground(RUVDrawContext* oc, const CRect& offRect) {
  oc->setLineWidth(1);
  oc->setDrawMode(kAntialias);
  oc->setFillColor(kWhiteCColor);
  oc->fillRect(offRect);
  oc->setFrameColor(kWhiteCColor);
  oc->drawRect(offRect);
}

void VGControl::endOffscreen(CDrawContext* pContext, COffscreenContext* oc) {
  oc->copyFrom(pContext, widgetRect, CPoint(0, 0));
  oc->forget();
  setDirty(false);
}

void VGControl::drawLamp(RUVDrawContext* oc, const CRect& rect, bool lit) const {
  oc->setLineWidth(1);
  oc->setFillColor(lit ? hiliteColor() : liteBack());
  oc->fillEllipse(rect);
  oc->setFrameColor(lit ? darkHilite() : backColor());
  oc->drawEllipse(rect);
}

// A ring whose inner white ellipse shrinks as the value grows, in a colour that runs
// from green (0) to red (1).
void VGControl::draw(CDrawContext* pContext) {
  COffscreenContext* oc = new COffscreenContext(pContext->getFrame(), width, height, kBlackCColor);
  CRect offRect = getOffRect();
  oc->setDrawMode(kAntialias);
  oc->setLineWidth(1);
  float v = getValue();
  CColor colorRGB = {channel(255 * v), channel(255 * (1 - v)), channel(v * 0.5f * 255), 255};
  oc->setFillColor(kWhiteCColor);
  oc->fillRect(offRect);
  oc->setFrameColor(kWhiteCColor);
  oc->drawRect(offRect, kDrawStroked);
  oc->setFillColor(colorRGB);
  oc->fillEllipse(offRect);
  CRect innerRect = offRect;
  // Truncated towards zero like the integer conversion it stands for; a value that
  // is not a number leaves the ring full.
  float dx = std::trunc((width / 2) * v), dy = std::trunc((height / 2) * v);
  if (std::isfinite(dx) && std::isfinite(dy) && std::fabs(dx) <= width && std::fabs(dy) <= height)
    innerRect.inset(static_cast<CCoord>(dx), static_cast<CCoord>(dy));
  oc->setFillColor(kWhiteCColor);
  oc->fillEllipse(innerRect);
  endOffscreen(pContext, oc);
}

// ---------------------------------------------------------------------------
// Mouse

// The value follows the pointer's height: (y - (top + height / 2 - 1)) / height.
// With Shift the value moves a quarter of the way from where it stood when Shift
// was pressed.
void VGControl::mouse(CDrawContext* pContext, CPoint& where, long button) {
  if (!getMouseEnabled() || !pContext) return;
  if (button == -1) button = pContext->getMouseButtons();
  if (listener && hasModifier(button) && listener->controlModifierClicked(pContext, this, button))
    return;
  if (checkDefaultValue(pContext, button)) return;
  if (!(button & kButtonLeft) || height <= 0) return;

  const long dragOrigin = size.top + height / 2 - 1;
  float oldVal = value;
  long oldButton = button;
  beginEdit();
  for (;;) {
    button = pContext->getMouseButtons();
    if (!(button & kButtonLeft)) break;
    if (button != oldButton && (button & kButtonShift)) {
      oldVal = value;
      oldButton = button;
    } else if (!(button & kButtonShift)) {
      oldVal = value;
    }
    value = static_cast<float>(where.v - dragOrigin) / height;
    if (button & kButtonShift) value = oldVal + (value - oldVal) / 4;
    bounceValue();
    if (isDirty() && listener) listener->valueChanged(pContext, this);
    getMouseLocation(pContext, where);
    doIdleStuff();
  }
  endEdit();
}

bool VGControl::acceptToggleClick(CDrawContext* pContext, long& button) {
  if (!getMouseEnabled()) return false;
  if (button == -1) button = pContext ? pContext->getMouseButtons() : 0;
  if (!(button & kButtonLeft)) return false;
  if (listener && hasModifier(button) && listener->controlModifierClicked(pContext, this, button))
    return false;
  return true;
}

void VGControl::finishToggleClick(CDrawContext* pContext) {
  if (listener) {
    beginEdit();
    listener->valueChanged(pContext, this);
    endEdit();
  }
  doIdleStuff();
}

// Any value whose integer part is not zero becomes 0, any other 1; written directly,
// without clamping.
void VGControl::toggleClick(CDrawContext* pContext, long button) {
  if (!acceptToggleClick(pContext, button)) return;
  value = std::trunc(value) != 0.f ? 0.f : 1.f;
  finishToggleClick(pContext);
}
