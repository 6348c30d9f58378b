#include "inlinedisplay.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <thread>

#include "shaper.h"

namespace {

static_assert(std::atomic<float>::is_always_lock_free &&
                  std::atomic<std::uint32_t>::is_always_lock_free,
              "run hands the values over without a lock");

// Colours as 0xAARRGGBB, not premultiplied: a dark background, a faint grid with
// brighter zero lines, the identity line brighter still, and the curve opaque and bright.
constexpr std::uint32_t kBackground = 0xff16191d;
constexpr std::uint32_t kGrid = 0x18ffffff;
constexpr std::uint32_t kZeroLine = 0x26ffffff;
constexpr std::uint32_t kIdentity = 0x48ffffff;
constexpr std::uint32_t kCurve = 0xffff6a48;
constexpr float kThinLine = 1.0f;
constexpr float kCurveLine = 1.5f;
// Curve points per pixel of the plot's width: the straight pieces between them stay
// within a small fraction of a pixel of the 7th harmonic's steepest turns.
constexpr int kPointsPerPixel = 4;

struct Surface {
  std::uint32_t* pixels;
  int width, height, rowPixels;
};

// Premultiplied "over": `colour` at `coverage` of its own alpha onto the pixel.
void blendOver(std::uint32_t& pixel, std::uint32_t colour, float coverage) {
  const float alpha = (float)(colour >> 24) / 255.0f * coverage;
  const float keep = 1.0f - alpha;
  std::uint32_t result = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const float source = shift == 24 ? 255.0f : (float)((colour >> shift) & 0xff);
    const float under = (float)((pixel >> shift) & 0xff);
    const float value = std::min(255.0f, source * alpha + under * keep);
    result |= (std::uint32_t)(value + 0.5f) << shift;
  }
  pixel = result;
}

float distanceToSegment(float px, float py, float ax, float ay, float bx, float by) {
  const float dx = bx - ax, dy = by - ay;
  const float length2 = dx * dx + dy * dy;
  float t = length2 > 0.0f ? ((px - ax) * dx + (py - ay) * dy) / length2 : 0.0f;
  t = std::min(1.0f, std::max(0.0f, t));
  const float ex = px - (ax + t * dx), ey = py - (ay + t * dy);
  return std::sqrt(ex * ex + ey * ey);
}

// Strokes the polyline through (x[i], y[i]) in pixel coordinates (x never
// decreasing), `width` pixels wide. Each pixel's coverage comes from its centre's
// distance to the nearest segment, so the joins are not blended twice: full within
// width/2 - 1/2 of the line, falling to nothing at width/2 + 1/2.
void strokePolyline(Surface& surface, const float* x, const float* y, std::size_t count,
                    float width, std::uint32_t colour) {
  if (count < 2) return;
  const float reach = width * 0.5f + 0.5f;
  const int firstColumn = std::max(0, (int)std::floor(x[0] - reach));
  const int lastColumn = std::min(surface.width - 1, (int)std::floor(x[count - 1] + reach));
  std::size_t first = 0;  // the first segment that may reach the column
  for (int column = firstColumn; column <= lastColumn; column++) {
    const float cx = (float)column + 0.5f;
    while (first + 2 < count && x[first + 1] < cx - reach) first++;
    std::size_t end = first;  // one past the last segment that may reach it
    float top = y[first], bottom = y[first];
    while (end + 1 < count && x[end] <= cx + reach) {
      top = std::min(top, y[end + 1]);
      bottom = std::max(bottom, y[end + 1]);
      end++;
    }
    if (end == first) continue;
    const int firstRow = std::max(0, (int)std::floor(top - reach));
    const int lastRow = std::min(surface.height - 1, (int)std::floor(bottom + reach));
    for (int row = firstRow; row <= lastRow; row++) {
      const float cy = (float)row + 0.5f;
      float distance = reach;
      for (std::size_t k = first; k < end; k++)
        distance = std::min(distance, distanceToSegment(cx, cy, x[k], y[k], x[k + 1], y[k + 1]));
      const float coverage = std::min(1.0f, reach - distance);
      if (coverage > 0.0f)
        blendOver(
            surface.pixels[(std::size_t)row * (std::size_t)surface.rowPixels + (std::size_t)column],
            colour, coverage);
    }
  }
}

void strokeLine(Surface& surface, float x0, float y0, float x1, float y1, float width,
                std::uint32_t colour) {
  const float x[2] = {x0, x1}, y[2] = {y0, y1};
  strokePolyline(surface, x, y, 2, width, colour);
}

// The -1..1 square inside the picture: input across, output up.
struct Plot {
  float left, top, width, height;
  float column(float input) const { return left + (input + 1.0f) * 0.5f * width; }
  float row(float output) const { return top + (1.0f - output) * 0.5f * height; }
};

// The centre of the pixel a thin line at `position` falls in, so it stays crisp.
float crisp(float position) {
  return std::floor(position) + 0.5f;
}

}  // namespace

CurveValueMailbox::CurveValueMailbox() {
  std::memset(last_, 0, sizeof(last_));
  for (std::atomic<float>& value : values_) value.store(0.0f, std::memory_order_relaxed);
}

bool CurveValueMailbox::publish(const float values[kShaperHarmonics]) {
  std::uint32_t bits[kShaperHarmonics];
  std::memcpy(bits, values, sizeof(bits));
  const std::uint32_t sequence = sequence_.load(std::memory_order_relaxed);
  if (sequence != 0 && std::memcmp(bits, last_, sizeof(bits)) == 0) return false;
  std::memcpy(last_, bits, sizeof(bits));
  sequence_.store(sequence + 1, std::memory_order_relaxed);
  // Release stores: a reader that sees a new value also sees the odd count before it.
  // (No fences: ThreadSanitizer cannot follow them.) Plain stores on x86.
  for (int i = 0; i < kShaperHarmonics; i++) values_[i].store(values[i], std::memory_order_release);
  sequence_.store(sequence + 2, std::memory_order_release);
  return true;
}

std::uint32_t CurveValueMailbox::read(float values[kShaperHarmonics]) const {
  for (;;) {
    const std::uint32_t before = sequence_.load(std::memory_order_acquire);
    // Acquire loads: the second look at the count cannot move before them.
    for (int i = 0; i < kShaperHarmonics; i++)
      values[i] = values_[i].load(std::memory_order_acquire);
    const std::uint32_t after = sequence_.load(std::memory_order_relaxed);
    if (before == after && (before & 1) == 0) return before / 2;
    std::this_thread::yield();  // run is writing them: a few nanoseconds
  }
}

int inlineCurveHeight(int width, std::uint32_t h) {
  // round(0.6 width): 3 width / 5 is never halfway between two integers.
  return (int)std::min<std::uint32_t>((std::uint32_t)(3 * width + 2) / 5, h);
}

void drawInlineCurve(const float values[kShaperHarmonics], std::uint32_t* pixels, int width,
                     int height, int rowPixels, std::vector<float>& curveX,
                     std::vector<float>& curveY) {
  Surface surface{pixels, width, height, rowPixels};
  for (int row = 0; row < height; row++)
    std::fill_n(pixels + (std::size_t)row * (std::size_t)rowPixels, width, kBackground);

  const float inset = std::min(kInlineCurveInset, (float)std::min(width, height) / 4.0f);
  const Plot plot{inset, inset, (float)width - 2.0f * inset, (float)height - 2.0f * inset};
  for (const float at : {-0.5f, 0.0f, 0.5f}) {
    const std::uint32_t colour = at == 0.0f ? kZeroLine : kGrid;
    const float column = crisp(plot.column(at)), row = crisp(plot.row(at));
    strokeLine(surface, column, 0.0f, column, (float)height, kThinLine, colour);
    strokeLine(surface, 0.0f, row, (float)width, row, kThinLine, colour);
  }
  strokeLine(surface, plot.column(-1.0f), plot.row(-1.0f), plot.column(1.0f), plot.row(1.0f),
             kThinLine, kIdentity);

  // The curve through the scalar shaping loop, as the processor computes it, at
  // evenly spaced inputs from -1 to 1.
  const std::size_t count = (std::size_t)std::max(1.0f, plot.width) * kPointsPerPixel + 1;
  curveX.resize(count);
  curveY.resize(count);
  for (std::size_t i = 0; i < count; i++) curveX[i] = -1.0f + 2.0f * (float)i / (float)(count - 1);
  ShaperWeights weights;
  shaperComputeWeights(values, weights);
  shaperVariants().begin()->shape(weights, curveX.data(), curveY.data(), (long)count, true);
  for (std::size_t i = 0; i < count; i++) {
    // Positive weights keep the curve within -1..1; anything else stays near the picture.
    const float output =
        std::isfinite(curveY[i]) ? std::min(1.5f, std::max(-1.5f, curveY[i])) : 0.0f;
    curveX[i] = plot.column(curveX[i]);
    curveY[i] = plot.row(output);
  }
  strokePolyline(surface, curveX.data(), curveY.data(), count, kCurveLine, kCurve);
}

InlineDisplayImage* InlineCurvePicture::render(const CurveValueMailbox& mailbox, std::uint32_t w,
                                               std::uint32_t h) {
  const int width = (int)std::min<std::uint32_t>(w, kInlineCurveMaxWidth);
  const int height = inlineCurveHeight(width, h);
  if (width <= 0 || height <= 0) return nullptr;
  float values[kShaperHarmonics];
  const std::uint32_t sequence = mailbox.read(values);
  const bool sameSize = image_.data && image_.width == width && image_.height == height;
  if (sameSize && drawn_ && sequence == drawnSequence_) return &image_;
  try {
    if (!sameSize) {
      image_ = {};
      pixels_.assign((std::size_t)width * (std::size_t)height, 0);
    }
    drawn_ = false;
    drawInlineCurve(values, pixels_.data(), width, height, width, curveX_, curveY_);
  } catch (const std::bad_alloc&) {
    pixels_ = {};
    image_ = {};
    return nullptr;
  }
  image_ = {reinterpret_cast<unsigned char*>(pixels_.data()), width, height,
            width * (int)sizeof(std::uint32_t)};
  drawnSequence_ = sequence;
  drawn_ = true;
  return &image_;
}
