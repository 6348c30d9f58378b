#include "ruvdrawcontext.h"

#include <cairo.h>

RUVDrawContext::RUVDrawContext(CFrame* pFrame, long width, long height, CColor backgroundColor)
    : COffscreenContext(pFrame, width, height, backgroundColor) {}

RUVDrawContext::RUVDrawContext(CDrawContext* pContext, CBitmap* pBitmapBg, bool drawInBitmap)
    : COffscreenContext(pContext, pBitmapBg, drawInBitmap) {}

RUVDrawContext::~RUVDrawContext() = default;

// Each corner is a cubic curve whose first control point lies on its start point and
// whose second lies on the rectangle's corner: a radius of 10 pixels.
void RUVDrawContext::drawRoundedRect(const CRect& rect) {
  cairo_t* cr = beginCGContext(true);
  if (!cr) return;
  const double l = rect.left, t = rect.top, r = rect.right, b = rect.bottom;
  cairo_new_path(cr);
  cairo_move_to(cr, l + 10, t + 1);
  cairo_curve_to(cr, l + 10, t + 1, l + 1, t + 1, l + 1, t + 10);
  cairo_line_to(cr, l + 1, b - 10);
  cairo_curve_to(cr, l + 1, b - 10, l + 1, b, l + 10, b);
  cairo_line_to(cr, r - 10, b);
  cairo_curve_to(cr, r - 10, b, r, b, r, b - 10);
  cairo_line_to(cr, r, t + 10);
  cairo_curve_to(cr, r, t + 10, r, t + 1, r - 10, t + 1);
  cairo_line_to(cr, l + 10, t + 1);
  paintPath(cr, kDrawStroked);
  releaseCGContext(cr);
}
