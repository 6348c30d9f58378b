#include "vgbutton.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "vgshapes.h"

namespace {

// r moved in on each side by fraction of its width and height, rounded.
CRect shrunkBy(const CRect& r, float fraction) {
  CRect result = r;
  result.inset(static_cast<CCoord>(r.width() * fraction + 0.5f),
               static_cast<CCoord>(r.height() * fraction + 0.5f));
  return result;
}

}  // namespace

// ---------------------------------------------------------------------------
// VGTargetButton

VGTargetButton::VGTargetButton(const CRect& size, CControlListener* listener, long tag,
                               CColor* pPluginColors)
    : VGControl(size, listener, tag, pPluginColors) {
  value = 0.f;
}

VGTargetButton::~VGTargetButton() = default;

// A ring in the fore colour, a white disc inside it and the lamp in the middle.
// For the editor's 17 x 17 button: ring (1, 1, 16, 16), white (3, 3, 14, 14) and
// lamp (5, 5, 12, 12).
void VGTargetButton::draw(CDrawContext* pContext) {
  RUVDrawContext* oc = beginOffscreen(pContext);
  CRect offRect = getOffRect();
  paintWhiteBackground(oc, offRect);
  offRect.inset(1, 1);
  oc->setFillColor(foreColor());
  oc->fillEllipse(offRect);
  oc->setFillColor(kWhiteCColor);
  oc->fillEllipse(shrunkBy(offRect, 0.125f));
  drawLamp(oc, shrunkBy(offRect, 0.25f), getValue() > 0.5f);
  endOffscreen(pContext, oc);
}

void VGTargetButton::mouse(CDrawContext* pContext, CPoint&, long button) {
  toggleClick(pContext, button);
}

// ---------------------------------------------------------------------------
// VGTextButton

VGTextButton::VGTextButton(const CRect& size, CControlListener* listener, long tag,
                           CColor* pPluginColors)
    : VGControl(size, listener, tag, pPluginColors), onName{}, buttonRect(0, 0, 0, 0) {
  setOnName("");
}

VGTextButton::~VGTextButton() = default;

void VGTextButton::setOnName(const char* pName) {
  std::strncpy(onName, pName ? pName : "", kVGTextSize - 1);
  onName[kVGTextSize - 1] = 0;
}

// For a 100 x 20 button: caption box (9, 3, 80, 17), lamp (85, 5, 95, 15).
void VGTextButton::draw(CDrawContext* pContext) {
  RUVDrawContext* oc = beginOffscreen(pContext);
  CRect offRect = getOffRect();
  paintWhiteBackground(oc, offRect);
  const CCoord nameInset = static_cast<CCoord>(height * 0.125f + 0.5f);
  nameRect = CRect(offRect.left + static_cast<CCoord>(3 * (height * 0.125f + 0.5f)),
                   offRect.top + nameInset, offRect.right - height, offRect.bottom - nameInset);
  const CCoord lampInset = static_cast<CCoord>(height * 0.25f + 0.5f);
  buttonRect.top = offRect.top + lampInset;
  buttonRect.bottom = offRect.bottom - lampInset;
  buttonRect.right = offRect.right - lampInset;
  buttonRect.left = buttonRect.right - (buttonRect.bottom - buttonRect.top);
  // The font is fitted to the off caption, whichever caption is shown.
  adjustFontSize(oc, name, nameRect.width(), nameRect.height());
  const long fontHeight = nameRect.height();
  drawPill(oc, offRect);
  drawLamp(oc, buttonRect, getValue() > 0.5f);
  drawCaption(oc, fontHeight);
  endOffscreen(pContext, oc);
}

// The pill in the fore colour, emptied by a white pill three sixteenths of the height
// inside it.
void VGTextButton::drawPill(RUVDrawContext* oc, const CRect& offRect) {
  const CCoord l = offRect.left, t = offRect.top, r = offRect.right, b = offRect.bottom;
  const CCoord h = height, q = height / 16;
  oc->setFillColor(foreColor());
  fillPill(oc, CRect(l, t, l + h, b), CRect(r - h, t, r, b), CRect(l + h / 2, t, r - h / 2, b));
  oc->setFillColor(kWhiteCColor);
  fillPill(oc, CRect(l + 3 * q, t + 3 * q, l + 13 * q, b - 3 * q),
           CRect(r - 13 * q, t + 3 * q, r - 3 * q, b - 3 * q),
           CRect(l + h / 2 - 1, t + 3 * q, r - h / 2 + 1, b - 3 * q));
}

// Left-aligned in the caption box raised by a quarter of its height.
void VGTextButton::drawCaption(RUVDrawContext* oc, long fontHeight) {
  oc->setFontColor(textColor());
  nameRect.bottom += -(fontHeight >> 2);
  oc->drawString(getValue() > 0.5f ? onName : name, nameRect, 0, kLeftText);
}

void VGTextButton::mouse(CDrawContext* pContext, CPoint&, long button) {
  toggleClick(pContext, button);
}

// ---------------------------------------------------------------------------
// VGStepButton

VGStepButton::VGStepButton(const CRect& size, CControlListener* listener, long tag,
                           CColor* pPluginColors)
    : VGTextButton(size, listener, tag, pPluginColors), stepCount(2), stepNames{} {
  value = 0.f;
}

VGStepButton::~VGStepButton() = default;

void VGStepButton::setStepCount(int count) {
  stepCount = count < 2 ? 2 : count > kMaxSteps ? kMaxSteps : count;
}

void VGStepButton::setStepName(int index, const char* stepName) {
  if (index < 0 || index >= kMaxSteps) return;
  std::strncpy(stepNames[index], stepName ? stepName : "", sizeof(stepNames[index]) - 1);
  stepNames[index][sizeof(stepNames[index]) - 1] = 0;
}

int VGStepButton::getStep() const {
  const float clamped = value < 0.f ? 0.f : value > 1.f ? 1.f : value;
  return (int)std::lround(clamped * (float)(stepCount - 1));
}

// The pill of VGTextButton; the name and the step's caption centred in it.
void VGStepButton::draw(CDrawContext* pContext) {
  RUVDrawContext* oc = beginOffscreen(pContext);
  CRect offRect = getOffRect();
  paintWhiteBackground(oc, offRect);
  const CCoord inset = static_cast<CCoord>(height * 0.125f + 0.5f);
  nameRect = CRect(offRect.left + height / 2, offRect.top + inset, offRect.right - height / 2,
                   offRect.bottom - inset);
  char caption[kVGTextSize + 40];
  std::snprintf(caption, sizeof(caption), "%s%s%s", name, name[0] ? " " : "", stepNames[getStep()]);
  adjustFontSize(oc, caption, nameRect.width(), nameRect.height());
  drawPill(oc, offRect);
  oc->setFontColor(textColor());
  nameRect.bottom += -(nameRect.height() >> 2);
  oc->drawString(caption, nameRect, 0, kCenterText);
  endOffscreen(pContext, oc);
}

void VGStepButton::mouse(CDrawContext* pContext, CPoint&, long button) {
  if (!acceptToggleClick(pContext, button)) return;
  value = (float)((getStep() + 1) % stepCount) / (float)(stepCount - 1);
  finishToggleClick(pContext);
}
