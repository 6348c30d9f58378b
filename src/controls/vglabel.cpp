#include "vglabel.h"

// ---------------------------------------------------------------------------
// VGSimpleLabel

VGSimpleLabel::VGSimpleLabel(const CRect& size, CControlListener* listener, long tag,
                             CColor* pPluginColors)
    : VGControl(size, listener, tag, pPluginColors) {}

VGSimpleLabel::~VGSimpleLabel() = default;

// The name centred on white, two points smaller than the size that fills the
// rectangle, so that it keeps a margin. Labels set neither a line width nor a draw
// mode: the fills stay aliased, and text is always anti-aliased.
void VGSimpleLabel::draw(CDrawContext* pContext) {
  RUVDrawContext* oc = beginOffscreen(pContext);
  CRect offRect = getOffRect();
  oc->setFillColor(kWhiteCColor);
  oc->fillRect(offRect);
  oc->setFrameColor(kWhiteCColor);
  oc->drawRect(offRect);
  adjustFontSize(oc, name, offRect.width(), offRect.height());
  // A size of 0 would select the font's default size: the smallest size is 1.
  currentFontSize = currentFontSize > 3 ? currentFontSize - 2 : 1;
  oc->setFont(currentFontID, currentFontSize, currentFontStyle);
  oc->setFontColor(textColor());
  oc->drawString(name, offRect, 0, kCenterText);
  endOffscreen(pContext, oc);
}

void VGSimpleLabel::mouse(CDrawContext* pContext, CPoint&, long button) {
  toggleClick(pContext, button);
}

// ---------------------------------------------------------------------------
// VGBottomLabel

VGBottomLabel::VGBottomLabel(const CRect& size, CControlListener* listener, long tag,
                             CColor* pPluginColors)
    : VGControl(size, listener, tag, pPluginColors), labelBackColor{239, 232, 229, 255} {}

VGBottomLabel::~VGBottomLabel() = default;

// The name centred on the light background, in the size that fills the rectangle.
void VGBottomLabel::draw(CDrawContext* pContext) {
  RUVDrawContext* oc = beginOffscreen(pContext);
  CRect offRect = getOffRect();
  oc->setFillColor(labelBackColor);
  oc->fillRect(offRect);
  oc->setFrameColor(labelBackColor);
  oc->drawRect(offRect);
  adjustFontSize(oc, name, offRect.width(), offRect.height());
  oc->setFontColor(textColor());
  oc->drawString(name, offRect, 0, kCenterText);
  endOffscreen(pContext, oc);
}

void VGBottomLabel::mouse(CDrawContext* pContext, CPoint&, long button) {
  toggleClick(pContext, button);
}
