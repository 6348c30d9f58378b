#pragma once
// COffscreenContext: a draw context over a block of memory (32-bit premultiplied
// ARGB, transparent when allocated, then painted with a background colour). Controls
// draw into a fresh one and composite it onto the window's context with copyFrom.

#include <atomic>
#include <cstdint>

#include "drawcontext.h"

class CBitmap;

// Live offscreen contexts, and the sum of their width x height.
extern std::atomic<int32_t> gNbCOffscreenContext;
extern std::atomic<int64_t> gBitmapAllocation;

class COffscreenContext : public CDrawContext {
 public:
  COffscreenContext(CFrame* pFrame, long width, long height,
                    const CColor backgroundColor = kBlackCColor);
  // A context of the bitmap's size (20 x 20 without one) for pContext's frame; with
  // drawInBitmap and a loaded bitmap it draws straight into the bitmap's pixels.
  COffscreenContext(CDrawContext* pContext, CBitmap* pBitmapBg, bool drawInBitmap = false);
  ~COffscreenContext() override;

  // Composites the whole image onto pContext, its (0, 0) at destRect's top-left
  // moved back by srcOffset, clipped to destRect.
  void copyFrom(CDrawContext* pContext, CRect destRect, CPoint srcOffset = CPoint(0, 0));
  // Copies srcRect of a bitmap-backed context onto pContext at destOffset; does
  // nothing for a context with its own memory.
  void copyTo(CDrawContext* pContext, CRect& srcRect, CPoint destOffset = CPoint(0, 0));

  long getWidth() const { return width; }
  long getHeight() const { return height; }

  // The surface over the pixel memory (borrowed; lives as long as the context).
  cairo_surface_t* getCGImage() const override;
  // The pixel map of pBitmapBg, or null.
  cairo_surface_t* getBitmap() override;
  void releaseBitmap() override;

 protected:
  // Allocates zeroed memory and a Cairo context over it; leaves no surface on failure.
  void createOwnSurface();
  void attachSurface(cairo_surface_t* surface);

  CBitmap* pBitmap;
  CBitmap* pBitmapBg;
  int32_t height;
  int32_t width;
  bool bDestroyPixmap;
  CColor backgroundColor;
  unsigned char* offscreenBitmap;
};
