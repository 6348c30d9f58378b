#pragma once
// Pixel questions about a canvas: colours within a tolerance, counts, bounds, snapshots.

#include <doctest/doctest.h>

#include <cstdlib>
#include <initializer_list>
#include <vector>

#include "recordingview.h"

// The four roles of the colour table, chosen so that every derived colour differs.
// liteBack (147, 157, 187), liteFore (202, 142, 137), darkHilite (120, 85, 10).
inline constexpr CColor kBack = {40, 60, 120, 255};
inline constexpr CColor kFore = {150, 30, 20, 255};
inline constexpr CColor kHilite = {240, 170, 20, 255};
inline constexpr CColor kText = {20, 120, 40, 255};
inline constexpr CColor kLiteBack = {147, 157, 187, 255};
inline constexpr CColor kLiteFore = {202, 142, 137, 255};
inline constexpr CColor kDarkHilite = {120, 85, 10, 255};

struct PixelIs {
  int x, y;
  CColor colour;
};

// Checks each listed pixel, naming the ones that differ.
inline void checkPixels(const Canvas& canvas, std::initializer_list<PixelIs> expected) {
  for (const PixelIs& p : expected)
    CHECK_MESSAGE(canvas.pixel(p.x, p.y) == p.colour, "pixel (" << p.x << ", " << p.y << ")");
}

// Each channel within tolerance.
inline bool near(const CColor& a, const CColor& b, int tolerance = 2) {
  return std::abs(a.red - b.red) <= tolerance && std::abs(a.green - b.green) <= tolerance &&
         std::abs(a.blue - b.blue) <= tolerance && std::abs(a.alpha - b.alpha) <= tolerance;
}

// How many pixels of r are within tolerance of c.
inline int countNear(const Canvas& canvas, const CRect& r, const CColor& c, int tolerance = 0) {
  int n = 0;
  for (int y = r.top; y < r.bottom; y++)
    for (int x = r.left; x < r.right; x++) n += near(canvas.pixel(x, y), c, tolerance);
  return n;
}

// The bounding box of the pixels of r for which match(pixel) holds (empty when none).
template <typename Match>
CRect boundsWhere(const Canvas& canvas, const CRect& r, Match match) {
  CRect box(r.right, r.bottom, r.left - 1, r.top - 1);
  for (int y = r.top; y < r.bottom; y++)
    for (int x = r.left; x < r.right; x++)
      if (match(canvas.pixel(x, y))) {
        if (x < box.left) box.left = x;
        if (y < box.top) box.top = y;
        if (x + 1 > box.right) box.right = x + 1;
        if (y + 1 > box.bottom) box.bottom = y + 1;
      }
  return box.right < box.left ? CRect() : box;
}

inline CRect boundsNear(const Canvas& canvas, const CRect& r, const CColor& c, int tolerance = 0) {
  return boundsWhere(canvas, r, [&](const CColor& p) { return near(p, c, tolerance); });
}

inline CRect boundsNot(const Canvas& canvas, const CRect& r, const CColor& c) {
  return boundsWhere(canvas, r, [&](const CColor& p) { return p != c; });
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
inline bool onlyInkOver(const Canvas& canvas, const CRect& r, const CColor& background,
                        const CColor& ink, float& maxAmount) {
  maxAmount = 0.f;
  for (int y = r.top; y < r.bottom; y++)
    for (int x = r.left; x < r.right; x++) {
      const float amount = blendAmount(canvas.pixel(x, y), background, ink);
      if (amount < 0.f) return false;
      if (amount > maxAmount) maxAmount = amount;
    }
  return true;
}

// Every pixel of the canvas, for comparing two drawings.
inline std::vector<CColor> snapshot(const Canvas& canvas) {
  std::vector<CColor> pixels;
  for (int y = 0; y < canvas.context->getHeight(); y++)
    for (int x = 0; x < canvas.context->getWidth(); x++) pixels.push_back(canvas.pixel(x, y));
  return pixels;
}
