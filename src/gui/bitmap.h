#pragma once
// CBitmap: the framework's image, loaded from a PNG file "bmp%05d.png" in the
// plug-in's directory, or made empty of a given size, and drawn into contexts.

#include <atomic>
#include <cstdint>

#include "drawcontext.h"

class CFrame;

// Live bitmaps in the process.
extern std::atomic<int32_t> gNbCBitmap;

// The absolute directory of the plug-in's code, where bitmap resources live; set by
// the editor bridge (AEffGUIEditor), null while unknown (then no resource is found).
extern char* gBundleRef;

class CBitmap : public CReferenceCounter {
 public:
  explicit CBitmap(long resourceID);
  // An empty (transparent) bitmap of that size.
  CBitmap(CFrame& frame, long width, long height);
  CBitmap();
  ~CBitmap() override;
  CBitmap(const CBitmap&) = delete;
  CBitmap& operator=(const CBitmap&) = delete;

  // Draws the part of the image that starts at offset into rect (context coordinates).
  virtual void draw(CDrawContext* pContext, CRect& rect, const CPoint& offset = CPoint(0, 0));
  // As draw, with pixels of the transparent colour left out.
  virtual void drawTransparent(CDrawContext* pContext, CRect& rect,
                               const CPoint& offset = CPoint(0, 0));
  // As draw, with the whole image weighted by alpha / 255.
  virtual void drawAlphaBlend(CDrawContext* pContext, CRect& rect,
                              const CPoint& offset = CPoint(0, 0), unsigned char alpha = 128);
  // The image to draw: the pixels themselves, or (transparent) a copy in which the
  // transparent colour has alpha 0. Owned by the bitmap.
  virtual cairo_surface_t* createCGImage(bool transparent = false);
  virtual void dispose();
  virtual bool loadFromResource(long resourceID);
  // path: a zero-terminated file name of a PNG image.
  virtual bool loadFromPath(const void* path);

  long getWidth() const { return width; }
  long getHeight() const { return height; }
  bool isLoaded() const { return pHandle != nullptr; }
  cairo_surface_t* getHandle() const { return pHandle; }
  void setTransparentColor(const CColor color);
  CColor getTransparentColor() const { return transparentCColor; }
  // The alpha of pContext's pixels from offset on becomes the mask of drawTransparent
  // (instead of the transparent colour).
  void setTransparencyMask(CDrawContext* pContext, const CPoint& offset = CPoint(0, 0));
  void setNoAlpha(bool state) { noAlpha = state; }
  bool getNoAlpha() const { return noAlpha; }

 protected:
  void drawImage(CDrawContext* pContext, const CRect& rect, const CPoint& offset,
                 cairo_surface_t* image, double alpha);

  int32_t resourceID;
  int32_t width;
  int32_t height;
  CColor transparentCColor;
  bool noAlpha;
  cairo_surface_t* pHandle;  // ARGB32 image surface
  cairo_surface_t* pMask;    // alpha mask of drawTransparent, or null
  cairo_surface_t* cgImage;  // the colour-keyed copy made by createCGImage(true)
};
