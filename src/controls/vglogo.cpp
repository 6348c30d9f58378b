#include "vglogo.h"

#include "vgshapes.h"

namespace {

// Integer parts of edges computed in floating point from an integer edge.
CCoord part(double x) {
  return static_cast<CCoord>(x);
}

}  // namespace

VGLogo::VGLogo(const CRect& size, CControlListener* listener, long tag, CColor* pPluginColors)
    : VGControl(size, listener, tag, pPluginColors) {}

VGLogo::~VGLogo() = default;

// For the editor's 409 x 26 logo the badge is (1, 1, 157, 25) and the name bar
// (157, 1, 408, 25). The bar is drawn first: the badge covers its left end.
void VGLogo::draw(CDrawContext* pContext) {
  RUVDrawContext* oc = beginOffscreen(pContext);
  const CRect offRect = getOffRect();
  paintWhiteBackground(oc, offRect);
  const CRect logoRect(offRect.left + 1, offRect.top + 1, offRect.left + 1 + 6 * offRect.height(),
                       offRect.bottom - 1);
  nameRect = CRect(logoRect.right, offRect.top + 1, offRect.right - 1, offRect.bottom - 1);
  drawNameBar(oc);
  drawBadge(oc, logoRect, nameRect.height());
  drawTexts(oc, logoRect);
  endOffscreen(pContext, oc);
}

// A bar in the fore colour with a round right end and a one-pixel rim, filled with
// liteBack, carrying a dark strip in the back colour that also ends round.
void VGLogo::drawNameBar(RUVDrawContext* oc) {
  const int nh = nameRect.height();
  oc->setFillColor(foreColor());
  oc->setFrameColor(foreColor());
  CRect drawRect(nameRect.right - nh, nameRect.top, nameRect.right, nameRect.bottom);
  oc->fillEllipse(drawRect);
  drawRect.inset(1, 1);
  oc->setFillColor(liteBack());
  oc->setFrameColor(liteBack());
  oc->fillEllipse(drawRect);

  oc->setFillColor(foreColor());
  oc->setFrameColor(foreColor());
  drawRect = CRect(nameRect.left - part(0.5 * nh), nameRect.top, nameRect.right - part(0.5 * nh),
                   nameRect.bottom);
  oc->fillRect(drawRect);
  drawRect.top += 1;
  drawRect.bottom -= 1;
  oc->setFillColor(liteBack());
  oc->setFrameColor(liteBack());
  oc->fillRect(drawRect);

  drawRect.top = part(nameRect.top + 0.25 * nh);
  drawRect.bottom = part(nameRect.bottom - 0.125 * nh);
  const int d = drawRect.height();
  drawRect.right = part(nameRect.right - 0.5 * d);
  drawRect.left = drawRect.right - d;
  oc->setFillColor(backColor());
  oc->setFrameColor(backColor());
  oc->fillEllipse(drawRect);
  drawRect.right = nameRect.right - d;
  drawRect.left = part(nameRect.left - 0.5 * nh);
  oc->fillRect(drawRect);
}

// A pill in the fore colour with a two-pixel rim around liteFore, and a white pill
// inside that carries the maker's word. barHeight is the height of the name bar.
void VGLogo::drawBadge(RUVDrawContext* oc, const CRect& logoRect, int barHeight) {
  const CCoord l = logoRect.left, t = logoRect.top, r = logoRect.right, b = logoRect.bottom;
  CRect leftCap(l, t, l + barHeight, b), rightCap(r - barHeight, t, r, b);
  CRect body(part(l + 0.5 * barHeight), t, part(r - 0.5 * barHeight), b);
  oc->setLineWidth(1);
  oc->setFillColor(foreColor());
  fillPill(oc, leftCap, rightCap, body);
  leftCap.inset(2, 2);
  rightCap.inset(2, 2);
  body.top += 2;
  body.bottom -= 2;
  oc->setFillColor(liteFore());
  fillPill(oc, leftCap, rightCap, body);

  const CCoord top = part(t + 0.25 * barHeight), bottom = part(b - 0.125 * barHeight);
  const CCoord d = bottom - top;
  const CCoord leftEnd = part(l + 0.5 * d), rightEnd = part(r - 0.5 * d);
  oc->setFillColor(kWhiteCColor);
  fillPill(oc, CRect(leftEnd, top, leftEnd + d, bottom), CRect(rightEnd - d, top, rightEnd, bottom),
           CRect(l + d, top, r - d, bottom));
}

// The maker's word, condensed, in the back colour across the badge (its box raised
// by four pixels); the name, letter-spaced, in white across the bar.
void VGLogo::drawTexts(RUVDrawContext* oc, const CRect& logoRect) {
  CRect drawRect(logoRect.left, logoRect.top - 4, logoRect.right, logoRect.bottom);
  adjustFontSize(oc, kMakerWord, drawRect.width(), drawRect.height());
  oc->setFontColor(backColor());
  oc->setFont(currentFontID, currentFontSize, kCompactFace);
  oc->drawString(kMakerWord, drawRect, 0, kCenterText);

  const int nh = nameRect.height();
  drawRect = CRect(nameRect.left, part(nameRect.top + 0.15 * nh), nameRect.right,
                   part(nameRect.bottom - 0.15 * nh));
  adjustFontSize(oc, name, drawRect.width(), drawRect.height());
  oc->setFontColor(kWhiteCColor);
  oc->setFont(currentFontID, currentFontSize, kExpandFace);
  oc->drawString(name, drawRect, 0, kCenterText);
}

void VGLogo::mouse(CDrawContext* pContext, CPoint&, long button) {
  toggleClick(pContext, button);
}
