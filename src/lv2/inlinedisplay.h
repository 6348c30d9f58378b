#pragma once
// The small picture Ardour draws of a plug-in in its mixer strip (its "inline
// display"): the host offers a queue_draw feature, which the plug-in calls from run
// when the picture should change, and later, off the audio thread, asks the plug-in's
// render function for a picture. Ours is the transfer curve: input -1..1 across,
// output -1..1 up, the identity line faint behind it. The drawing is our own (a
// small anti-aliased line drawer into the host's ARGB layout), so the processor
// still links neither X11 nor Cairo.

#include <lv2/core/lv2.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "shaperweights.h"

#define TESSARINE_INLINE_DISPLAY_PREFIX "http://harrisonconsoles.com/lv2/inlinedisplay#"
// extension_data answers this URI with an InlineDisplayInterface.
#define TESSARINE_INLINE_DISPLAY_INTERFACE TESSARINE_INLINE_DISPLAY_PREFIX "interface"
// The host's feature; its data is an InlineDisplayQueue.
#define TESSARINE_INLINE_DISPLAY_QUEUE_DRAW TESSARINE_INLINE_DISPLAY_PREFIX "queue_draw"

// The layouts the host expects, field for field.
struct InlineDisplayQueue {
  void* handle;
  void (*queueDraw)(void* handle);  // asks for a render soon; callable from run
};

// Native-endian 32-bit pixels 0xAARRGGBB with premultiplied alpha (Cairo's ARGB32),
// `stride` bytes from one row to the next.
struct InlineDisplayImage {
  unsigned char* data;
  int width;
  int height;
  int stride;
};

struct InlineDisplayInterface {
  // A picture at most w wide and h high; the plug-in keeps its memory until cleanup.
  InlineDisplayImage* (*render)(LV2_Handle instance, uint32_t w, uint32_t h);
};

// The six normalised harmonic values on their way from run to render without a
// lock: run writes them only when they change, between two steps of a sequence
// number (odd while writing); render reads them again if the number moved meanwhile.
class CurveValueMailbox {
 public:
  CurveValueMailbox();
  // Audio thread: publishes `values` if they differ, bit for bit, from the last
  // published ones, and says whether they did. Wait-free, no allocation.
  bool publish(const float values[kShaperHarmonics]);
  // Any other thread: one consistent set of values and the number of changes so far
  // (the same number means the same values).
  std::uint32_t read(float values[kShaperHarmonics]) const;

 private:
  std::uint32_t last_[kShaperHarmonics];  // the audio thread's copy, as bits
  std::atomic<float> values_[kShaperHarmonics];
  std::atomic<std::uint32_t> sequence_{0};
};

// The picture's height for the width the host offers: 0.6 of the width, at most h.
int inlineCurveHeight(int width, std::uint32_t h);
// The widest picture drawn; a host offering more gets this width.
constexpr int kInlineCurveMaxWidth = 1024;
// Pixels between the picture's edge and the -1..1 square, so a curve touching +-1
// is drawn whole.
constexpr float kInlineCurveInset = 2.0f;

// The picture's pixels, owned from the first render until the instance ends. The
// same size keeps the same memory; a new size takes new memory.
class InlineCurvePicture {
 public:
  // Draws the curve of the mailbox's values (again only if they or the size
  // changed). Null for a zero size or when memory runs out. Not for the audio thread.
  InlineDisplayImage* render(const CurveValueMailbox& mailbox, std::uint32_t w, std::uint32_t h);

 private:
  std::vector<std::uint32_t> pixels_;
  std::vector<float> curveX_, curveY_;  // the sampled curve, reused between renders
  InlineDisplayImage image_ = {};
  std::uint32_t drawnSequence_ = 0;
  bool drawn_ = false;
};

// Draws the transfer curve of `values` into `pixels` (width x height, `rowPixels`
// apart): the background, a faint grid, the identity line, then the curve. The
// scratch vectors hold the sampled curve.
void drawInlineCurve(const float values[kShaperHarmonics], std::uint32_t* pixels, int width,
                     int height, int rowPixels, std::vector<float>& curveX,
                     std::vector<float>& curveY);
