#pragma once
// Reading drawn pixels back, for the drawing and control tests: a memory canvas to
// draw into, and questions about the pixels of any offscreen context (colours,
// counts, bounding boxes, blends of anti-aliased ink). Pixels read as stored: the
// channels of premultiplied ARGB, which for opaque colours are the colours themselves.

#include <cairo.h>
#include <doctest/doctest.h>

#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "offscreencontext.h"

inline CColor pixelAt(COffscreenContext& oc, int x, int y) {
  cairo_surface_t* image = oc.getCGImage();
  cairo_surface_flush(image);
  const unsigned char* row =
      cairo_image_surface_get_data(image) + y * cairo_image_surface_get_stride(image);
  const uint32_t argb = reinterpret_cast<const uint32_t*>(row)[x];
  return {(unsigned char)(argb >> 16), (unsigned char)(argb >> 8), (unsigned char)argb,
          (unsigned char)(argb >> 24)};
}

// How a colour is stored: its channels multiplied by its alpha.
constexpr CColor premultiplied(const CColor& c) {
  return {(unsigned char)(c.red * c.alpha / 255), (unsigned char)(c.green * c.alpha / 255),
          (unsigned char)(c.blue * c.alpha / 255), c.alpha};
}

inline CRect wholeOf(COffscreenContext& oc) {
  return CRect(0, 0, oc.getWidth(), oc.getHeight());
}

// A memory surface to draw into; it stands for its context wherever one is asked for.
struct Canvas {
  explicit Canvas(long width = 100, long height = 100, CColor background = kWhiteCColor)
      : context(new COffscreenContext(nullptr, width, height, background)) {}
  ~Canvas() { context->forget(); }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  operator COffscreenContext&() const { return *context; }
  COffscreenContext* operator->() const { return context; }
  CColor pixel(int x, int y) const { return pixelAt(*context, x, y); }
  void fill(CColor color) {
    context->setFillColor(color);
    context->fillRect(wholeOf(*context));
  }

  COffscreenContext* context;
};

struct PixelIs {
  int x, y;
  CColor colour;
};

// Checks each listed pixel, naming the ones that differ.
inline void checkPixels(COffscreenContext& oc, std::initializer_list<PixelIs> expected) {
  for (const PixelIs& p : expected)
    CHECK_MESSAGE(pixelAt(oc, p.x, p.y) == p.colour, "pixel (" << p.x << ", " << p.y << ")");
}

// Each channel within tolerance.
inline bool near(const CColor& a, const CColor& b, int tolerance = 2) {
  return std::abs(a.red - b.red) <= tolerance && std::abs(a.green - b.green) <= tolerance &&
         std::abs(a.blue - b.blue) <= tolerance && std::abs(a.alpha - b.alpha) <= tolerance;
}

// How many pixels of r are within tolerance of c.
inline int countNear(COffscreenContext& oc, const CRect& r, const CColor& c, int tolerance = 0) {
  int n = 0;
  for (int y = r.top; y < r.bottom; y++)
    for (int x = r.left; x < r.right; x++) n += near(pixelAt(oc, x, y), c, tolerance);
  return n;
}

// How many pixels of the whole context are exactly c.
inline int countPixels(COffscreenContext& oc, const CColor& c) {
  return countNear(oc, wholeOf(oc), c);
}

// The bounding box of the pixels of r for which match(pixel) holds (empty when none).
template <typename Match>
CRect boundsWhere(COffscreenContext& oc, const CRect& r, Match match) {
  CRect box(r.right, r.bottom, r.left - 1, r.top - 1);
  for (int y = r.top; y < r.bottom; y++)
    for (int x = r.left; x < r.right; x++)
      if (match(pixelAt(oc, x, y))) {
        if (x < box.left) box.left = x;
        if (y < box.top) box.top = y;
        if (x + 1 > box.right) box.right = x + 1;
        if (y + 1 > box.bottom) box.bottom = y + 1;
      }
  return box.right < box.left ? CRect() : box;
}

inline CRect boundsNear(COffscreenContext& oc, const CRect& r, const CColor& c, int tolerance = 0) {
  return boundsWhere(oc, r, [&](const CColor& p) { return near(p, c, tolerance); });
}

inline CRect boundsNot(COffscreenContext& oc, const CRect& r, const CColor& c) {
  return boundsWhere(oc, r, [&](const CColor& p) { return p != c; });
}

// The bounding box of everything drawn over a plain background.
inline CRect inkBounds(COffscreenContext& oc, const CColor& background) {
  return boundsNot(oc, wholeOf(oc), background);
}

// How much of `ink` composited over `background` the pixel p shows (0 to 1), or -1
// when p is no such blend (within tolerance per channel): text is anti-aliased, so its
// pixels are blends of its colour over what lies under it.
inline float blendAmount(const CColor& p, const CColor& background, const CColor& ink,
                         float tolerance = 4.f) {
  const int d[3] = {ink.red - background.red, ink.green - background.green,
                    ink.blue - background.blue};
  const int o[3] = {p.red - background.red, p.green - background.green, p.blue - background.blue};
  int k = 0;
  for (int c = 1; c < 3; c++)
    if (std::abs(d[c]) > std::abs(d[k])) k = c;
  const float amount = d[k] ? float(o[k]) / float(d[k]) : 0.f;
  if (amount < -0.02f || amount > 1.02f) return -1.f;
  for (int c = 0; c < 3; c++)
    if (std::abs(o[c] - amount * d[c]) > tolerance) return -1.f;
  return amount;
}

// True when every pixel of r is `background` or a blend of `ink` over it; the
// largest amount of ink found goes to maxAmount.
inline bool onlyInkOver(COffscreenContext& oc, const CRect& r, const CColor& background,
                        const CColor& ink, float& maxAmount) {
  maxAmount = 0.f;
  for (int y = r.top; y < r.bottom; y++)
    for (int x = r.left; x < r.right; x++) {
      const float amount = blendAmount(pixelAt(oc, x, y), background, ink);
      if (amount < 0.f) return false;
      if (amount > maxAmount) maxAmount = amount;
    }
  return true;
}

// Every pixel, for comparing two drawings.
inline std::vector<CColor> snapshot(COffscreenContext& oc) {
  std::vector<CColor> pixels;
  for (int y = 0; y < oc.getHeight(); y++)
    for (int x = 0; x < oc.getWidth(); x++) pixels.push_back(pixelAt(oc, x, y));
  return pixels;
}

// An image as 0xRRGGBB values: a PNG file read back, or a window's pixels read from the
// screen (XTestHost::snapshot).
struct RgbImage {
  // The PNG's pixels; empty when it cannot be read.
  static RgbImage fromPng(const std::string& file) {
    RgbImage image;
    cairo_surface_t* surface = cairo_image_surface_create_from_png(file.c_str());
    if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
      image.width = cairo_image_surface_get_width(surface);
      image.height = cairo_image_surface_get_height(surface);
      const unsigned char* data = cairo_image_surface_get_data(surface);
      const int stride = cairo_image_surface_get_stride(surface);
      for (int y = 0; y < image.height; y++)
        for (int x = 0; x < image.width; x++)
          image.rgb.push_back(reinterpret_cast<const uint32_t*>(data + y * stride)[x] & 0xffffffu);
    }
    cairo_surface_destroy(surface);
    return image;
  }

  uint32_t at(int x, int y) const { return rgb[size_t(y) * size_t(width) + size_t(x)]; }
  // How many pixels of rect (right and bottom exclusive) are value.
  int count(const CRect& rect, uint32_t value) const {
    int n = 0;
    for (int y = rect.top; y < rect.bottom; y++)
      for (int x = rect.left; x < rect.right; x++) n += at(x, y) == value;
    return n;
  }

  int width = 0;
  int height = 0;
  std::vector<uint32_t> rgb;
};

namespace doctest {
template <>
struct StringMaker<CColor> {
  static String convert(const CColor& c) {
    return (std::to_string(c.red) + "," + std::to_string(c.green) + "," + std::to_string(c.blue) +
            "," + std::to_string(c.alpha))
        .c_str();
  }
};
template <>
struct StringMaker<CRect> {
  static String convert(const CRect& r) {
    return (std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
            "," + std::to_string(r.bottom))
        .c_str();
  }
};
template <>
struct StringMaker<CPoint> {
  static String convert(const CPoint& p) {
    return (std::to_string(p.h) + "," + std::to_string(p.v)).c_str();
  }
};
}  // namespace doctest
