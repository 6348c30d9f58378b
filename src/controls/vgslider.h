#pragma once
// VGSlider: the horizontal vector control. A thin track along the bottom, broken by a
// round handle of the control's full height; the name left-aligned and the display
// value with its unit right-aligned across the top. A click or drag puts the handle's
// centre under the pointer; with Shift the drag is ten times finer.

#include <cstddef>

#include "vgcontrol.h"

class VGSlider : public VGControl {
 public:
  // Starts at value 0; the handle's centre runs from limitLeft (3/4 of the height from
  // the left edge) to limitRight (as far from the right edge).
  VGSlider(const CRect& size, CControlListener* listener, long tag, CColor* pPluginColors);
  ~VGSlider() override;

  // Kept for the owner; nothing in the drawing or the drag reads it.
  void setInvertValue(bool pInvertValue) { invertValue = pInvertValue; }
  // Show the display value cut to a whole number.
  void setInteger(bool pIntegerIncrement) { integerIncrement = pIntegerIncrement; }
  // Show 2 raised to the display value.
  void setLog(bool pLog) { log = pLog; }

  long getLimitLeft() const { return limitLeft; }
  long getLimitRight() const { return limitRight; }

  // The value text with its unit ("%4.2f %s"); the control's value is not changed.
  void makeValueString(char* valueString, size_t size) const;

  void draw(CDrawContext* pContext) override;
  void mouse(CDrawContext* pContext, CPoint& where, long button = -1) override;

 protected:
  void drawTrack(RUVDrawContext* oc, const CRect& offRect, CCoord buttonX);
  void drawTexts(RUVDrawContext* oc, const CRect& offRect);

  int32_t limitLeft;
  int32_t limitRight;
  bool invertValue;
  bool log;
  bool integerIncrement;
};
