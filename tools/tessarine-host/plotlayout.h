#pragma once
// Where the plot area of a picture lies and how values map into it. The drawing code
// and the tests that read the pictures back share this, so that a test knows which
// pixel a value must land on.

#include <algorithm>
#include <cmath>
#include <cstdint>

// Colours used for nothing else in a picture, so that what was plotted can be found
// among its pixels: the transfer curve, the spectrum, the marks on its harmonics
// and those on lines that harmonics above half the rate fold to. That last one is
// also far from every grey, which the edges of antialiased text are.
constexpr uint32_t kCurveColour = 0xc8102e;
constexpr uint32_t kSpectrumLine = 0x2b5c8a;
constexpr uint32_t kMarkColour = 0xe87800;
constexpr uint32_t kFoldedMarkColour = 0x9000e0;

constexpr int kDefaultPictureWidth = 800, kDefaultPictureHeight = 500;

// Text, lines and margins grow with pictures larger than the default and shrink a
// little for smaller ones, so that every size looks like the default one.
inline double pictureScale(int width, int height) {
  return std::clamp(
      std::min(double(width) / kDefaultPictureWidth, double(height) / kDefaultPictureHeight), 0.6,
      10.0);
}

// In Cairo's device coordinates: pixel column c spans c..c+1.
struct PlotRect {
  double left, top, right, bottom;
};

// Room on the left for the value labels and the vertical axis title, below for the
// frequency or input labels and the horizontal title.
inline PlotRect plotRect(int width, int height) {
  const double s = pictureScale(width, height);
  return {72.0 * s, 16.0 * s, double(width) - 20.0 * s, double(height) - 48.0 * s};
}

// The values along one side of the plot area, linear or logarithmic (frequencies).
struct Axis {
  double lo = 0.0;
  double hi = 1.0;
  bool logarithmic = false;

  // 0 at lo, 1 at hi.
  double fraction(double value) const {
    return logarithmic ? std::log(value / lo) / std::log(hi / lo) : (value - lo) / (hi - lo);
  }
};

inline double xPixel(const PlotRect& rect, const Axis& axis, double value) {
  return rect.left + axis.fraction(value) * (rect.right - rect.left);
}

// Larger values higher up.
inline double yPixel(const PlotRect& rect, const Axis& axis, double value) {
  return rect.bottom - axis.fraction(value) * (rect.bottom - rect.top);
}
