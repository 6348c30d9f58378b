#pragma once
// The display-only vector controls for levels and stereo image, fed by their owner
// through setters and redrawn when the owner marks them dirty.
//
// VGMagicEye: a tuning-eye tube. A dark disc whose two halves fill with the highlight
// colour from 6 o'clock upwards as the left and right levels rise (full at 0 dB,
// empty at -90.3 dB), with the louder level in decibels in its centre.
// VGPhaseScope: a goniometer. A block of left/right samples plotted turned by 45
// degrees (mid vertical, side horizontal) in a dark disc, and a dot on the rim at the
// smoothed dominant direction.
// VGVUBitMeter: a column of 24 round LEDs showing a level against a fixed decibel
// scale, or 24 separate "bit" activity levels.
//
// A click on the eye or the scope flips the value between 0 and 1 for the listener;
// a click on the LED meter turns its numbers on or off.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "vgcontrol.h"

class VGMagicEye : public VGControl {
 public:
  VGMagicEye(const CRect& size, CControlListener* listener, long tag, CColor* pPluginColors);
  ~VGMagicEye() override;

  // Levels as linear amplitudes (1.0 = full scale). Neither marks the control dirty.
  void setLeft(float pLeft) { left = pLeft; }
  void setRight(float pRight) { right = pRight; }
  // Draw the unlit sectors (hanging from 12 o'clock) instead of the lit ones.
  void setInverse(bool pInverse) { inverse = pInverse ? 1 : 0; }

  // The table's decibels for a level; levels of 1.0 and more read 0 dB, levels below
  // 1/32768 (and levels that are not numbers) -90.3 dB.
  float levelToDb(float level) const;
  // The louder level in decibels with the unit ("%3.1f %s").
  void makeValueString(char* valueString, size_t size) const;

  void draw(CDrawContext* pContext) override;
  void mouse(CDrawContext* pContext, CPoint& where, long button = -1) override;

  static constexpr int kDbTableSize = 32768;

 protected:
  void drawSectors(RUVDrawContext* oc, float dbleft, float dbright);

  CRect magicRect;
  CRect textRect;
  int16_t channels;
  int32_t inverse;
  float left;
  float right;
  std::unique_ptr<float[]> dbTable;  // null when it could not be allocated
  float angleAdjust;                 // degrees per decibel: 180 / entry 0
};

class VGPhaseScope : public VGControl {
 public:
  // pLeftBlock and pRightBlock belong to the owner and must hold pBlockSize samples
  // each, and stay valid as long as the scope.
  VGPhaseScope(const CRect& size, CControlListener* listener, long tag, CColor* pPluginColors,
               float* pLeftBlock, float* pRightBlock, long pBlockSize);
  ~VGPhaseScope() override;

  // Sample pairs to plot at the next draw; never more than the block size are read.
  void setSamples(float pSamples);
  // The smoothed direction of the last draw, in radians (y down: -pi/2 is straight up).
  float getLastAngle() const { return lastAngle; }

  void draw(CDrawContext* pContext) override;
  void mouse(CDrawContext* pContext, CPoint& where, long button = -1) override;

 protected:
  void drawCross(RUVDrawContext* oc);
  // Plots the trace and returns the summed direction of the samples.
  void drawTrace(RUVDrawContext* oc, float& xSum, float& ySum);
  void drawDirection(RUVDrawContext* oc, float xSum, float ySum);

  CRect magicRect;
  CRect textRect;
  int16_t channels;
  int32_t samples;
  float* leftBlock;
  std::unique_ptr<float[]> drawLeft;
  float* rightBlock;
  std::unique_ptr<float[]> drawRight;
  int32_t blockSize;
  float lastAngle;
};

class VGVUBitMeter : public VGControl {
 public:
  static constexpr int kLeds = 24;

  VGVUBitMeter(const CRect& size, CControlListener* listener, long tag, CColor* pPluginColors);
  ~VGVUBitMeter() override;

  // Copies kLeds levels (0 to 1; entry 23 is the top LED) for the bit mode.
  void setBitLevels(float* pBitLevels);
  // true: the value is a level against the decibel scale; false: the bit mode.
  void setDecibelsOn(bool pDecibelsOn) { decibelsOn = pDecibelsOn; }
  bool getNumbersOn() const { return numbersOn; }

  // The colour of LED i (0 at the top) as the next draw paints it.
  CColor ledColor(int i) const;

  void draw(CDrawContext* pContext) override;
  void mouse(CDrawContext* pContext, CPoint& where, long button = -1) override;

 protected:
  void drawNumber(RUVDrawContext* oc, int i, const CRect& ledRect);

  CRect meterRect;
  CRect textRect;
  int32_t samples;
  int32_t blockSize;
  float valueIncrements[kLeds + 1];  // linear thresholds of dbIncrements
  float dbIncrements[kLeds + 1];
  float bitLevels[kLeds];
  float meterVertDivision;
  int16_t meterFontSize;
  bool numbersOn;
  bool decibelsOn;
};
