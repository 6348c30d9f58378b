#include "bitmap.h"

#include <cairo.h>

#include <cstdint>
#include <cstdio>

std::atomic<int32_t> gNbCBitmap{0};

namespace {

// A transparent ARGB32 image of that size; null when it cannot be made.
cairo_surface_t* createImage(long width, long height) {
  if (width <= 0 || height <= 0) return nullptr;
  cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(width),
                                                      static_cast<int>(height));
  if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(image);
    return nullptr;
  }
  return image;
}

// Paints source at (x, y) into a new image of the given size.
cairo_surface_t* copyImage(cairo_surface_t* source, long width, long height, double x = 0,
                           double y = 0) {
  cairo_surface_t* image = createImage(width, height);
  if (!image) return nullptr;
  cairo_t* cr = cairo_create(image);
  cairo_set_source_surface(cr, source, x, y);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_flush(image);
  return image;
}

void destroyImage(cairo_surface_t*& image) {
  if (image) cairo_surface_destroy(image);
  image = nullptr;
}

}  // namespace

CBitmap::CBitmap()
    : resourceID(0),
      width(0),
      height(0),
      transparentCColor(kTransparentCColor),
      noAlpha(true),
      pHandle(nullptr),
      pMask(nullptr),
      cgImage(nullptr) {
  gNbCBitmap++;
}

CBitmap::CBitmap(long resourceID) : CBitmap() {
  loadFromResource(resourceID);
}

CBitmap::CBitmap(CFrame& frame, long width, long height) : CBitmap() {
  (void)frame;
  pHandle = createImage(width, height);
  if (pHandle) {
    this->width = static_cast<int32_t>(width);
    this->height = static_cast<int32_t>(height);
  }
}

CBitmap::~CBitmap() {
  dispose();
  gNbCBitmap--;
}

void CBitmap::dispose() {
  destroyImage(pHandle);
  destroyImage(pMask);
  destroyImage(cgImage);
  width = height = 0;
}

bool CBitmap::loadFromResource(long resourceID) {
  this->resourceID = static_cast<int32_t>(resourceID);
  if (!gBundleRef) return false;
  char path[4096];
  std::snprintf(path, sizeof(path), "%s/bmp%05ld.png", gBundleRef, resourceID);
  return loadFromPath(path);
}

bool CBitmap::loadFromPath(const void* path) {
  if (!path) return false;
  cairo_surface_t* png = cairo_image_surface_create_from_png(static_cast<const char*>(path));
  if (cairo_surface_status(png) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(png);
    return false;
  }
  // Images without alpha load as RGB24; keep every pixel map in one layout.
  long w = cairo_image_surface_get_width(png), h = cairo_image_surface_get_height(png);
  cairo_surface_t* image = copyImage(png, w, h);
  cairo_surface_destroy(png);
  if (!image) return false;
  dispose();
  pHandle = image;
  width = static_cast<int32_t>(w);
  height = static_cast<int32_t>(h);
  return true;
}

void CBitmap::setTransparentColor(const CColor color) {
  transparentCColor = color;
  destroyImage(cgImage);
}

void CBitmap::setTransparencyMask(CDrawContext* pContext, const CPoint& offset) {
  cairo_surface_t* source = pContext ? pContext->getCGImage() : nullptr;
  if (!source) return;
  destroyImage(pMask);
  destroyImage(cgImage);
  pMask = copyImage(source, width, height, -offset.x, -offset.y);
}

cairo_surface_t* CBitmap::createCGImage(bool transparent) {
  if (!pHandle || !transparent) return pHandle;
  if (cgImage) return cgImage;
  if (pMask) {
    cgImage = createImage(width, height);
    if (!cgImage) return nullptr;
    cairo_t* cr = cairo_create(cgImage);
    cairo_set_source_surface(cr, pHandle, 0, 0);
    cairo_mask_surface(cr, pMask, 0, 0);
    cairo_destroy(cr);
    return cgImage;
  }
  cgImage = copyImage(pHandle, width, height);
  if (!cgImage) return nullptr;
  // Opaque pixels of the transparent colour become fully transparent.
  const uint32_t key = 0xFF000000u | (uint32_t(transparentCColor.red) << 16) |
                       (uint32_t(transparentCColor.green) << 8) | transparentCColor.blue;
  unsigned char* data = cairo_image_surface_get_data(cgImage);
  int stride = cairo_image_surface_get_stride(cgImage);
  for (int y = 0; y < height; y++) {
    uint32_t* row = reinterpret_cast<uint32_t*>(data + y * stride);
    for (int x = 0; x < width; x++)
      if (row[x] == key) row[x] = 0;
  }
  cairo_surface_mark_dirty(cgImage);
  return cgImage;
}

void CBitmap::drawImage(CDrawContext* pContext, const CRect& rect, const CPoint& offset,
                        cairo_surface_t* image, double alpha) {
  if (!image || !pContext) return;
  cairo_t* cr = pContext->beginCGContext(false);
  if (!cr) return;
  CRect r(rect);
  r.offset(pContext->offset.x, pContext->offset.y);
  cairo_rectangle(cr, r.left, r.top, r.width(), r.height());
  cairo_clip(cr);
  cairo_set_source_surface(cr, image, r.left - offset.x, r.top - offset.y);
  cairo_paint_with_alpha(cr, alpha);
  pContext->releaseCGContext(cr);
}

void CBitmap::draw(CDrawContext* pContext, CRect& rect, const CPoint& offset) {
  drawImage(pContext, rect, offset, pHandle, 1.0);
}

void CBitmap::drawTransparent(CDrawContext* pContext, CRect& rect, const CPoint& offset) {
  drawImage(pContext, rect, offset, createCGImage(true), 1.0);
}

void CBitmap::drawAlphaBlend(CDrawContext* pContext, CRect& rect, const CPoint& offset,
                             unsigned char alpha) {
  drawImage(pContext, rect, offset, pHandle, alpha / 255.0);
}
