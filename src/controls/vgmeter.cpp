#include "vgmeter.h"

#include <cstdint>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <new>

#include "vgshapes.h"

namespace {

// drawArc counts degrees from 3 o'clock; the eye's angles count from 12 o'clock.
constexpr float kArcOffset = -90.f;
constexpr float kHalfSqrt2 = 0.7071067812f;

// The layout of the eye and the scope: their disc 3 pixels inside the control, the
// centre square 30 percent of the disc's size inside that, and a black outline one
// pixel inside the control (drawn over the white background).
void layoutDisc(RUVDrawContext* oc, CRect offRect, CRect& magicRect, CRect& textRect) {
  magicRect = offRect;
  magicRect.inset(3, 3);
  const float w = magicRect.width(), h = magicRect.height();
  textRect = CRect(static_cast<CCoord>(magicRect.left + 0.3f * w),
                   static_cast<CCoord>(magicRect.top + 0.3f * h),
                   static_cast<CCoord>(magicRect.right - 0.3f * w),
                   static_cast<CCoord>(magicRect.bottom - 0.3f * h));
  offRect.inset(1, 1);
  oc->setFrameColor(kBlackCColor);
  oc->drawEllipse(offRect);
}

// A pie slice of `length` degrees clockwise from `start` (from 12 o'clock). A slice
// of no length is nothing: the drawing library would read an end angle before the
// start as one more turn, and rounding can put an empty sector's end a hair before
// its start.
void fillSector(RUVDrawContext* oc, const CRect& rect, float start, float length) {
  if (!(length > 0.f)) return;
  if (length > 360.f) length = 360.f;
  oc->drawArc(rect, kArcOffset + start, kArcOffset + start + length, kDrawFilled);
}

// A font size made smaller by `less` points, at least 1 (0 selects the default size).
int32_t reducedSize(int32_t size, int32_t less) {
  return size - less >= 1 ? size - less : 1;
}

// Entry i of the eye's decibel table: 20 log10((i + 1) / 32768), computed in double
// precision from the single-precision ratio; -90.309 dB for entry 0, 0 dB for the last.
float dbTableEntry(int i) {
  const float ratio = (i + 1) / float(VGMagicEye::kDbTableSize);
  return static_cast<float>(20.0 * std::log10(static_cast<double>(ratio)));
}

}  // namespace

// ---------------------------------------------------------------------------
// VGMagicEye

VGMagicEye::VGMagicEye(const CRect& size, CControlListener* listener, long tag,
                       CColor* pPluginColors)
    : VGControl(size, listener, tag, pPluginColors),
      magicRect(0, 0, 0, 0),
      textRect(0, 0, 0, 0),
      channels(2),
      inverse(0),
      left(0.f),
      right(0.f),
      dbTable(new (std::nothrow) float[kDbTableSize]),
      angleAdjust(0.f) {
  if (dbTable)
    for (int i = 0; i < kDbTableSize; i++) dbTable[i] = dbTableEntry(i);
  angleAdjust = 180.f / dbTableEntry(0);
  value = 0.f;
}

VGMagicEye::~VGMagicEye() = default;

// Without a table (its allocation failed) the entry is computed on the spot.
float VGMagicEye::levelToDb(float level) const {
  const float scaled = level * kDbTableSize;
  int i = 0;
  if (scaled >= kDbTableSize - 1)
    i = kDbTableSize - 1;
  else if (scaled > 0.f)
    i = static_cast<int>(scaled);
  return dbTable ? dbTable[i] : dbTableEntry(i);
}

void VGMagicEye::makeValueString(char* valueString, size_t size) const {
  const float dbleft = levelToDb(left);
  const float dbright = channels == 1 ? dbleft : levelToDb(right);
  std::snprintf(valueString, size, "%3.1f %s", dbleft > dbright ? dbleft : dbright, label);
}

void VGMagicEye::draw(CDrawContext* pContext) {
  RUVDrawContext* oc = beginOffscreen(pContext);
  const CRect offRect = getOffRect();
  paintWhiteBackground(oc, offRect);
  layoutDisc(oc, offRect, magicRect, textRect);
  const float dbleft = levelToDb(left);
  drawSectors(oc, dbleft, channels == 1 ? dbleft : levelToDb(right));

  oc->setFillColor(foreColor());
  oc->fillEllipse(textRect);
  char valueString[kVGTextSize - 1];
  makeValueString(valueString, sizeof valueString);
  adjustFontSize(oc, "0.00", textRect.width(), textRect.height());
  currentFontSize = reducedSize(currentFontSize, 2);
  oc->setFont(currentFontID, currentFontSize, currentFontStyle);
  oc->setFontColor(backColor());
  oc->drawString(valueString, textRect, 0, kCenterText);
  endOffscreen(pContext, oc);
}

// The right half (12 to 6 o'clock) follows the right level and the left half (6 to
// 12 o'clock) the left one, each filled from 6 o'clock upwards; in the inverse mode
// the unlit parts hang from 12 o'clock instead. A 2-degree seam marks where the lit
// parts meet.
void VGMagicEye::drawSectors(RUVDrawContext* oc, float dbleft, float dbright) {
  float leftStart, leftLength, rightStart, rightLength;
  if (inverse == 1) {
    leftStart = 0.f;
    leftLength = angleAdjust * dbright;
    rightStart = 360.f - angleAdjust * dbleft;
    rightLength = angleAdjust * dbleft;
  } else {
    leftStart = angleAdjust * dbright;
    leftLength = 180.f - leftStart;
    rightStart = -180.f;
    rightLength = 180.f - angleAdjust * dbleft;
  }
  oc->setFillColor(darkHilite());
  oc->fillEllipse(magicRect);
  oc->setFillColor(hiliteColor());
  fillSector(oc, magicRect, leftStart, leftLength);
  fillSector(oc, magicRect, rightStart, rightLength);
  fillSector(oc, magicRect, inverse != 0 ? 359.f : 179.f, 2.f);
}

void VGMagicEye::mouse(CDrawContext* pContext, CPoint&, long button) {
  toggleClick(pContext, button);
}

// ---------------------------------------------------------------------------
// VGPhaseScope

VGPhaseScope::VGPhaseScope(const CRect& size, CControlListener* listener, long tag,
                           CColor* pPluginColors, float* pLeftBlock, float* pRightBlock,
                           long pBlockSize)
    : VGControl(size, listener, tag, pPluginColors),
      magicRect(0, 0, 0, 0),
      textRect(0, 0, 0, 0),
      channels(2),
      samples(0),
      leftBlock(pLeftBlock),
      rightBlock(pRightBlock),
      blockSize(pBlockSize < 0 ? 0 : pBlockSize > INT32_MAX ? INT32_MAX : int32_t(pBlockSize)),
      lastAngle(0.f) {
  drawLeft.reset(new (std::nothrow) float[blockSize]());
  drawRight.reset(new (std::nothrow) float[blockSize]());
}

VGPhaseScope::~VGPhaseScope() = default;

void VGPhaseScope::setSamples(float pSamples) {
  if (!(pSamples > 0.f))
    samples = 0;
  else if (pSamples >= float(INT32_MAX))
    samples = INT32_MAX;
  else
    samples = static_cast<int32_t>(pSamples);
}

void VGPhaseScope::draw(CDrawContext* pContext) {
  RUVDrawContext* oc = beginOffscreen(pContext);
  const CRect offRect = getOffRect();
  paintWhiteBackground(oc, offRect);
  layoutDisc(oc, offRect, magicRect, textRect);
  oc->setFillColor(darkHilite());
  oc->fillEllipse(magicRect);
  drawCross(oc);
  float xSum = 0.f, ySum = 0.f;
  drawTrace(oc, xSum, ySum);
  drawDirection(oc, xSum, ySum);
  endOffscreen(pContext, oc);
}

// A vertical line and the two diagonals of the centre square, two pixels wide.
void VGPhaseScope::drawCross(RUVDrawContext* oc) {
  oc->setFrameColor(foreColor());
  oc->setLineWidth(2);
  const CCoord horizCenter = (magicRect.left + magicRect.right) / 2;
  CPoint from(horizCenter - 1, textRect.top), to(horizCenter - 1, textRect.bottom);
  oc->moveTo(from);
  oc->lineTo(to);
  from(textRect.left, textRect.top);
  to(textRect.right, textRect.bottom);
  oc->moveTo(from);
  oc->lineTo(to);
  from(textRect.right, textRect.top);
  to(textRect.left, textRect.bottom);
  oc->moveTo(from);
  oc->lineTo(to);
}

// Each pair (l, r) at side (l - r) / sqrt 2 across and mid (l + r) / sqrt 2 down, the
// disc's radius being full scale, joined by half-transparent lines in the back
// colour. A mono signal is a vertical line, an antiphase one a horizontal line.
void VGPhaseScope::drawTrace(RUVDrawContext* oc, float& xSum, float& ySum) {
  int32_t limit = samples < blockSize ? samples : blockSize;
  if (!leftBlock || !rightBlock) limit = 0;
  CColor backTrans = backColor();
  backTrans.alpha = 128;
  oc->setFrameColor(backTrans);
  oc->setFillColor(backTrans);
  oc->setLineWidth(1);
  const double w = magicRect.width(), h = magicRect.height();
  for (int32_t j = 0; j < limit; j++) {
    const float side = (leftBlock[j] - rightBlock[j]) * kHalfSqrt2;
    const float mid = (leftBlock[j] + rightBlock[j]) * kHalfSqrt2;
    CPoint p(magicRect.left + truncCoord(w * (side + 1) * 0.5) - 1,
             magicRect.top + truncCoord(h * (mid + 1) * 0.5));
    xSum += side;
    ySum += mid;
    if (j == 0)
      oc->moveTo(p);
    else
      oc->lineTo(p);
  }
}

// The summed direction folded into the upper half (straight up when there is none),
// smoothed from draw to draw with a one-pole factor of 0.8, marks a 6 x 6 dot on the
// rim. A direction that is not a number (from samples that are not) leaves the
// smoothed one where it was.
void VGPhaseScope::drawDirection(RUVDrawContext* oc, float xSum, float ySum) {
  if (ySum > 0.f) {
    xSum = -xSum;
    ySum = -ySum;
  }
  if (ySum > -0.00001f && xSum > -0.00001f) {
    ySum = -1.f;
    xSum = 0.f;
  }
  const float angle = std::atan2(ySum, xSum);
  const float a = 0.2f * angle + 0.8f * lastAngle;
  if (std::isfinite(a)) lastAngle = a;
  const double w = magicRect.width(), h = magicRect.height();
  const CCoord x = magicRect.left + truncCoord(w * (1 + std::cos(lastAngle)) * 0.5) - 1;
  const CCoord y = magicRect.top + truncCoord(h * (1 + std::sin(lastAngle)) * 0.5);
  oc->setFillColor(foreColor());
  oc->fillEllipse(CRect(x - 3, y + 10, x + 3, y + 4));
}

void VGPhaseScope::mouse(CDrawContext* pContext, CPoint&, long button) {
  toggleClick(pContext, button);
}

// ---------------------------------------------------------------------------
// VGVUBitMeter

namespace {

// The scale, from the top LED's +1 dB down; entry i + 1 is where LED i starts to light.
constexpr float kDbIncrements[VGVUBitMeter::kLeds + 1] = {
    1,   0,   -1,  -2,  -3,  -4,  -6,  -8,  -10,  -12,  -14,  -16, -20,
    -24, -28, -32, -40, -48, -56, -64, -80, -96, -116, -128, -144};

// Channel by channel: the integer part of hilite x mix plus that of back x (1 - mix),
// with mix limited to 0 ... 1 (a mix that is not a number counts as 0).
CColor mixColors(const CColor& hilite, const CColor& back, float mix) {
  if (!(mix > 0.f)) mix = 0.f;
  if (mix > 1.f) mix = 1.f;
  auto channel = [mix](unsigned char h, unsigned char b) {
    return static_cast<unsigned char>(static_cast<int>(h * mix) + static_cast<int>(b * (1 - mix)));
  };
  return {channel(hilite.red, back.red), channel(hilite.green, back.green),
          channel(hilite.blue, back.blue), 255};
}

// An overload shows in one channel at 255: red if red exceeds blue, otherwise blue if
// blue exceeds green, otherwise green. The two others are divided by 8 (or cleared).
CColor overloadColor(CColor c, bool clearOthers) {
  unsigned char* chosen = c.red > c.blue ? &c.red : c.blue > c.green ? &c.blue : &c.green;
  for (unsigned char* channel : {&c.red, &c.green, &c.blue})
    if (channel != chosen) *channel = clearOthers ? 0 : *channel / 8;
  *chosen = 255;
  return c;
}

}  // namespace

VGVUBitMeter::VGVUBitMeter(const CRect& size, CControlListener* listener, long tag,
                           CColor* pPluginColors)
    : VGControl(size, listener, tag, pPluginColors),
      meterRect(0, 0, 0, 0),
      textRect(0, 0, 0, 0),
      samples(0),
      blockSize(0),
      valueIncrements{},
      dbIncrements{},
      bitLevels{},
      meterVertDivision(0.f),
      meterFontSize(0),
      numbersOn(false),
      decibelsOn(true) {
  for (int i = 0; i <= kLeds; i++) {
    dbIncrements[i] = kDbIncrements[i];
    valueIncrements[i] = powf(10.f, 0.05f * dbIncrements[i]);
  }
}

VGVUBitMeter::~VGVUBitMeter() = default;

void VGVUBitMeter::setBitLevels(float* pBitLevels) {
  if (!pBitLevels) return;
  for (int i = 0; i < kLeds; i++) bitLevels[i] = pBitLevels[i];
}

// Level mode: off below the LED's lower threshold, fully lit above its upper one,
// mixed in between; above 1.0 (overload) lit LEDs take the overload colour. Bit mode:
// mixed by the LED's own level.
CColor VGVUBitMeter::ledColor(int i) const {
  const CColor hilite = hiliteColor(), back = liteBack();
  if (!decibelsOn) return mixColors(hilite, back, bitLevels[kLeds - 1 - i]);
  const float v = getValue();
  if (valueIncrements[i + 1] > v) return back;
  if (v > valueIncrements[i]) return v > 1.f ? overloadColor(hilite, false) : hilite;
  const float mix = (v - valueIncrements[i + 1]) / (valueIncrements[i] - valueIncrements[i + 1]);
  const CColor led = mixColors(hilite, back, mix);
  return v > 1.f && i == 0 ? overloadColor(led, true) : led;
}

// 24 LEDs a 24th of the height apart, each a disc in the fore colour around a disc in
// its own colour, squares of the meter's width.
void VGVUBitMeter::draw(CDrawContext* pContext) {
  RUVDrawContext* oc = beginOffscreen(pContext);
  CRect offRect = getOffRect();
  paintWhiteBackground(oc, offRect);
  offRect.inset(1, 1);
  meterRect = offRect;
  meterVertDivision = meterRect.height() / 72.f;
  for (int i = 0; i < kLeds; i++) {
    CRect ledRect(meterRect.left, static_cast<CCoord>(meterRect.top + i * 3 * meterVertDivision),
                  meterRect.right, 0);
    ledRect.bottom = ledRect.top + (ledRect.right - ledRect.left);
    oc->setFillColor(foreColor());
    oc->fillEllipse(ledRect);
    ledRect.inset(2, 2);
    oc->setFillColor(ledColor(i));
    oc->fillEllipse(ledRect);
    if (numbersOn) drawNumber(oc, i, ledRect);
  }
  endOffscreen(pContext, oc);
}

// The LED's decibels (level mode) or its bit number, 24 at the top (bit mode).
void VGVUBitMeter::drawNumber(RUVDrawContext* oc, int i, const CRect& ledRect) {
  char text[16];
  if (decibelsOn)
    std::snprintf(text, sizeof text, "%3.0f", dbIncrements[i]);
  else
    std::snprintf(text, sizeof text, "%2d", kLeds - i);
  adjustFontSize(oc, "0123", ledRect.width(), ledRect.height());
  currentFontSize += 3;
  oc->setFont(currentFontID, currentFontSize, currentFontStyle);
  oc->setFontColor(textColor());
  oc->drawString(text, ledRect, 0, kCenterText);
}

// The click turns the numbers on or off; the value stays. The drawing changes, so the
// meter marks itself dirty.
void VGVUBitMeter::mouse(CDrawContext* pContext, CPoint&, long button) {
  if (!acceptToggleClick(pContext, button)) return;
  numbersOn = !numbersOn;
  setDirty(true);
  finishToggleClick(pContext);
}
