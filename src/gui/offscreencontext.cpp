#include "offscreencontext.h"

#include <cairo.h>

#include <cmath>
#include <cstdlib>

#include "bitmap.h"
#include "frame.h"

std::atomic<int32_t> gNbCOffscreenContext{0};
std::atomic<int64_t> gBitmapAllocation{0};

COffscreenContext::COffscreenContext(CFrame* pFrame, long width, long height,
                                     const CColor backgroundColor)
    : CDrawContext(pFrame, nullptr, nullptr),
      pBitmap(nullptr),
      pBitmapBg(nullptr),
      height(static_cast<int32_t>(height)),
      width(static_cast<int32_t>(width)),
      bDestroyPixmap(true),
      backgroundColor(backgroundColor),
      offscreenBitmap(nullptr) {
  clipRect(0, 0, this->width, this->height);
  gNbCOffscreenContext++;
  gBitmapAllocation += static_cast<int64_t>(this->width) * this->height;
  createOwnSurface();

  CRect all(0, 0, this->width, this->height);
  setFillColor(backgroundColor);
  setFrameColor(backgroundColor);
  fillRect(all);
  drawRect(all, kDrawStroked);
}

COffscreenContext::COffscreenContext(CDrawContext* pContext, CBitmap* pBitmapBg, bool drawInBitmap)
    : CDrawContext(pContext ? pContext->getFrame() : nullptr, nullptr, nullptr),
      pBitmap(nullptr),
      pBitmapBg(pBitmapBg),
      height(pBitmapBg ? static_cast<int32_t>(pBitmapBg->getHeight()) : 20),
      width(pBitmapBg ? static_cast<int32_t>(pBitmapBg->getWidth()) : 20),
      bDestroyPixmap(false),
      backgroundColor(kTransparentCColor),
      offscreenBitmap(nullptr) {
  clipRect(0, 0, width, height);
  gNbCOffscreenContext++;
  gBitmapAllocation += static_cast<int64_t>(width) * height;
  if (drawInBitmap && pBitmapBg && pBitmapBg->isLoaded())
    attachSurface(pBitmapBg->getHandle());
  else
    createOwnSurface();
}

void COffscreenContext::createOwnSurface() {
  // An empty area has nothing to draw into or copy.
  if (width <= 0 || height <= 0) return;
  // At the frame's scale factor: the pass is drawn in points at the window's
  // resolution, and copyFrom puts its pixels on the window's pixels one to one.
  const double scale = pFrame ? pFrame->getScaleFactor() : 1.0;
  const int pixelWidth = static_cast<int>(std::ceil(width * scale));
  const int pixelHeight = static_cast<int>(std::ceil(height * scale));
  int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, pixelWidth);
  // Zeroed memory is fully transparent premultiplied ARGB.
  offscreenBitmap =
      static_cast<unsigned char*>(std::calloc(static_cast<size_t>(stride), pixelHeight));
  if (!offscreenBitmap) return;
  cairo_surface_t* surface = cairo_image_surface_create_for_data(
      offscreenBitmap, CAIRO_FORMAT_ARGB32, pixelWidth, pixelHeight, stride);
  cairo_surface_set_device_scale(surface, scale, scale);
  attachSurface(surface);
  cairo_surface_destroy(surface);  // the context holds it now
  if (!gCGContext) {
    std::free(offscreenBitmap);
    offscreenBitmap = nullptr;
  }
}

void COffscreenContext::attachSurface(cairo_surface_t* surface) {
  cairo_t* cr = cairo_create(surface);
  if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) {
    cairo_destroy(cr);
    return;
  }
  cairo_save(cr);
  gCGContext = cr;
  // The constructor's setters ran without a surface; give this one the state that
  // the cache reports.
  applyCachedState();
}

COffscreenContext::~COffscreenContext() {
  gNbCOffscreenContext--;
  gBitmapAllocation -= static_cast<int64_t>(width) * height;
  if (pBitmap) pBitmap->forget();
  if (gCGContext) {
    cairo_restore(gCGContext);
    cairo_surface_flush(cairo_get_target(gCGContext));
    cairo_destroy(gCGContext);
    gCGContext = nullptr;  // the base destructor has nothing left to flush or restore
  }
  std::free(offscreenBitmap);
}

void COffscreenContext::copyFrom(CDrawContext* pContext, CRect destRect, CPoint srcOffset) {
  if (!gCGContext || !pContext) return;
  cairo_t* cr = pContext->beginCGContext(false);
  if (!cr) return;
  cairo_surface_t* image = cairo_get_target(gCGContext);
  cairo_surface_flush(image);
  destRect.offset(pContext->offset.x, pContext->offset.y);
  cairo_rectangle(cr, destRect.left, destRect.top, destRect.width(), destRect.height());
  cairo_clip(cr);
  // Source-over with the image's own (premultiplied) alpha.
  cairo_set_source_surface(cr, image, destRect.left - srcOffset.x, destRect.top - srcOffset.y);
  // At a fractional factor the image may start inside a window pixel: it is placed
  // on the nearest pixel rather than resampled (which would blur it).
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_paint(cr);
  pContext->releaseCGContext(cr);
}

void COffscreenContext::copyTo(CDrawContext* pContext, CRect& srcRect, CPoint destOffset) {
  if (!pBitmapBg || !gCGContext || !pContext) return;
  cairo_t* cr = pContext->beginCGContext(false);
  if (!cr) return;
  cairo_surface_t* image = cairo_get_target(gCGContext);
  cairo_surface_flush(image);
  double x = destOffset.x + pContext->offset.x, y = destOffset.y + pContext->offset.y;
  cairo_rectangle(cr, x, y, srcRect.width(), srcRect.height());
  cairo_clip(cr);
  cairo_set_source_surface(cr, image, x - srcRect.left, y - srcRect.top);
  cairo_paint(cr);
  pContext->releaseCGContext(cr);
}

cairo_surface_t* COffscreenContext::getCGImage() const {
  return gCGContext ? cairo_get_target(gCGContext) : nullptr;
}

cairo_surface_t* COffscreenContext::getBitmap() {
  return pBitmapBg ? pBitmapBg->getHandle() : nullptr;
}

void COffscreenContext::releaseBitmap() {}
