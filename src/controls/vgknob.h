#pragma once
// The knobs. VGKnobBase holds what a rotary control needs: the angle geometry and its
// mapping to values, and the linear drag (up or right raises the value, one control
// height covers the range, Shift makes it zoomFactor times finer, Command-click - Ctrl
// on Linux - resets to the default). VGGrommetKnob draws it as a "grommet": a thick
// 300-degree ring with round ends whose gap, marked by a dot, turns with the value,
// around a light centre disc that shows the value as text with its unit.

#include <cstddef>

#include "vgcontrol.h"

// The arithmetic of the linear drag, apart from the pointer that feeds it. The value
// is the entry value plus (pixels up + pixels right) x coef, coef being the value
// range over the control's height (over zoomFactor heights while Shift is held). When
// the button word changes (Shift pressed or released) the drag is rebased at the last
// position it followed: the value stays where it is and the new rate runs from there.
class VGKnobDrag {
 public:
  VGKnobDrag(float entryValue, float vmin, float vmax, float height, float zoomFactor,
             const CPoint& firstPoint, long button);

  // Follows the pointer at where with the button word button. True, with the new
  // value (not yet clamped) in value, when the pointer moved since the last call.
  bool track(const CPoint& where, long button, float& value);

 private:
  float coefFor(long button) const;

  float fEntryState;
  float span;  // vmax - vmin
  float height;
  float zoomFactor;
  float coef;
  CPoint firstPoint;
  CPoint oldWhere;
  long oldButton;
  long lastDiff;  // up + right, in pixels, of the last position followed
};

class VGKnobBase : public VGControl {
 public:
  VGKnobBase(const CRect& size, CControlListener* listener, long tag, CColor* pPluginColors);
  ~VGKnobBase() override;

  // Angles in radians, anticlockwise from 3 o'clock. rangeAngle must not be 0.
  void setStartAngle(float val);
  void setRangeAngle(float val);
  // Recomputes the value/angle mapping from vmin and vmax as they are now.
  void compute();
  void setInteger(bool value) { integerIncrement = value; }
  bool getInteger() const { return integerIncrement; }

  // The point of the knob's circle for the current value, from the top-left corner.
  void valueToPoint(CPoint& point) const;
  // The value for a point from the top-left corner; the dead sector between the two
  // ends is split between them.
  float valueFromPoint(CPoint& point) const;

  void mouse(CDrawContext* pContext, CPoint& where, long button = -1) override;

 protected:
  float zoomFactor;
  float startAngle;
  float rangeAngle;
  float halfAngle;
  float aCoef;
  float bCoef;
  float radius;
  bool integerIncrement;
};

class VGGrommetKnob : public VGKnobBase {
 public:
  VGGrommetKnob(const CRect& size, CControlListener* listener, long tag, CColor* pPluginColors);
  ~VGGrommetKnob() override;

  // 1: the read-out is a ratio (1:x or x:1); anything else: a number.
  void setRatio(long value) { useRatio = static_cast<int32_t>(value); }
  long getRatio() const { return useRatio; }

  void draw(CDrawContext* pContext) override;

  // The read-out text for the current value, with the unit; with integerIncrement set
  // this snaps the value to a whole display unit, as drawing does.
  void makeValueString(char* valueString, size_t size);

 protected:
  int32_t useRatio;

 private:
  // The ring, its ends, the pointer dot and the centre disc inside offRect (the
  // control less one pixel each side); answers the centre disc's rectangle.
  CRect drawGrommet(RUVDrawContext* oc, const CRect& offRect);
  void drawReadout(RUVDrawContext* oc, const CRect& offRect, const CRect& circleRect);
};
