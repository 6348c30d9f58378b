#pragma once
// Reading the pixels of an offscreen context back, for the drawing tests.

#include <cairo.h>

#include <cstdint>

#include "offscreencontext.h"

// A premultiplied ARGB pixel as stored: alpha in the top byte.
constexpr uint32_t argb(const CColor& c) {
  return (uint32_t(c.alpha) << 24) | (uint32_t(c.red * c.alpha / 255) << 16) |
         (uint32_t(c.green * c.alpha / 255) << 8) | uint32_t(c.blue * c.alpha / 255);
}

inline uint32_t pixel(COffscreenContext& oc, int x, int y) {
  cairo_surface_t* image = oc.getCGImage();
  cairo_surface_flush(image);
  const unsigned char* row =
      cairo_image_surface_get_data(image) + y * cairo_image_surface_get_stride(image);
  return reinterpret_cast<const uint32_t*>(row)[x];
}

// The bounding box of the pixels that differ from `background` (empty when none).
inline CRect inkBounds(COffscreenContext& oc, uint32_t background) {
  CRect ink(oc.getWidth(), oc.getHeight(), -1, -1);
  for (int y = 0; y < oc.getHeight(); y++)
    for (int x = 0; x < oc.getWidth(); x++)
      if (pixel(oc, x, y) != background) {
        if (x < ink.left) ink.left = x;
        if (y < ink.top) ink.top = y;
        if (x + 1 > ink.right) ink.right = x + 1;
        if (y + 1 > ink.bottom) ink.bottom = y + 1;
      }
  if (ink.right < 0) ink = CRect();
  return ink;
}

// How many pixels of the whole context equal `value`.
inline int countPixels(COffscreenContext& oc, uint32_t value) {
  int n = 0;
  for (int y = 0; y < oc.getHeight(); y++)
    for (int x = 0; x < oc.getWidth(); x++) n += pixel(oc, x, y) == value;
  return n;
}
