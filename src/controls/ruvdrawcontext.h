#pragma once
// RUVDrawContext: the offscreen surface every vector control draws into. It is an
// offscreen context of the control's own size with a few convenience operations whose
// signatures suit the controls (rectangles and ellipses without a style argument, an
// integer line width), plus one shape of its own, a rounded rectangle.
//
// The operations hide the draw context's operations of the same names; they forward
// to them and keep all state there. Other draw-context operations (setDrawMode,
// setLineStyle, getStringWidth, ...) are reached unchanged through the base.

#include "offscreencontext.h"

class RUVDrawContext : public COffscreenContext {
 public:
  // The constructor the controls use: a fresh surface of width x height.
  RUVDrawContext(CFrame* pFrame, long width, long height, CColor backgroundColor);
  // Bitmap-backed, as COffscreenContext's constructor of the same arguments.
  RUVDrawContext(CDrawContext* pContext, CBitmap* pBitmapBg, bool drawInBitmap);
  ~RUVDrawContext() override;

  void setLineWidth(int inWidth) { CDrawContext::setLineWidth(inWidth); }
  int getLineWidth() const { return static_cast<int>(CDrawContext::getLineWidth()); }
  void setFillColor(CColor inFillColor) { CDrawContext::setFillColor(inFillColor); }
  void setFrameColor(CColor inStrokeColor) { CDrawContext::setFrameColor(inStrokeColor); }
  void setFontColor(CColor inFontColor) { CDrawContext::setFontColor(inFontColor); }
  void setFont(CFont fontID, long size, long style) {
    CDrawContext::setFont(fontID, size, style);
  }
  void drawString(const char* pString, const CRect& rect, short opaque, CHoriTxtAlign hAlign) {
    CDrawContext::drawString(pString, rect, opaque, hAlign);
  }
  void moveTo(CPoint& point) { CDrawContext::moveTo(point); }
  void lineTo(CPoint& point) { CDrawContext::lineTo(point); }
  void drawArc(const CRect& rect, float startAngle, float endAngle, CDrawStyle style) {
    CDrawContext::drawArc(rect, startAngle, endAngle, style);
  }
  void drawRect(const CRect& rect) { CDrawContext::drawRect(rect, kDrawStroked); }
  void fillRect(const CRect& rect) { CDrawContext::fillRect(rect); }
  void drawEllipse(const CRect& rect) { CDrawContext::drawEllipse(rect, kDrawStroked); }
  void fillEllipse(const CRect& rect) { CDrawContext::fillEllipse(rect); }

  // Strokes rect with corners of radius 10; the top and left edges run one pixel
  // inside, the bottom and right edges on the rectangle's own bottom and right.
  // The context offset is not added. Below 20 pixels a side the edges cross.
  void drawRoundedRect(const CRect& rect);
};
