#pragma once
// VGControl: the base of the plug-in's vector-drawn controls. Every member draws
// itself with vector operations into a fresh offscreen (the offscreen pass) in colours
// read at every draw from a four-entry colour table that the editor owns, so that the
// whole editor is recoloured by changing four colours and redrawing.
//
// The base holds what the family shares: its rectangle and size, a name and a label
// text, a display range (value x (maxValue - minValue) + minValue, used for text
// only), the current font and the colour table pointer. It supplies font fitting, a
// placeholder drawing, a vertical-drag mouse handler and the toggle click that most
// members use as their mouse handler.

#include <cstdint>

#include "control.h"
#include "ruvdrawcontext.h"

// Entries of the colour table, by role.
enum VGColorRole { kVGBackColor = 0, kVGForeColor = 1, kVGHiliteColor = 2, kVGTextColor = 3 };

// Size of the name and label texts, terminating zero included.
constexpr int kVGTextSize = 256;

class VGControl : public CControl {
 public:
  // pPluginColors: at least four entries (back, fore, highlight, text colour), owned
  // by the caller, which keeps them alive as long as the control.
  VGControl(const CRect& size, CControlListener* listener, long tag, CColor* pPluginColors);
  ~VGControl() override;

  // Copy at most 255 characters; a null text empties the field.
  void setLabel(const char* pLabel);
  void setName(const char* pName);
  const char* getLabel() const { return label; }
  const char* getName() const { return name; }
  // The display range; neither marks the control dirty.
  void setMaxValue(float pValue) { maxValue = pValue; }
  void setMinValue(float pValue) { minValue = pValue; }
  float getMaxValue() const { return maxValue; }
  float getMinValue() const { return minValue; }
  CColor* getPluginColors() const { return pluginColors; }
  long getFontSize() const { return currentFontSize; }

  // Chooses the largest size at which testString fits rectWidth x rectHeight (a line
  // being 1.1 x the size high), stores it in currentFontSize and selects the font
  // (currentFontID, currentFontSize, currentFontStyle) on pContext. An empty string
  // fits at any width: only the height limits it then.
  void adjustFontSize(CDrawContext* pContext, const char* testString, long rectWidth,
                      long rectHeight);

  // A coloured ring that thickens and turns from green to red as the value grows.
  void draw(CDrawContext* pContext) override;
  // Vertical drag: the pointer's height in the control sets the value; Shift makes
  // the drag four times finer from the value where it is pressed.
  void mouse(CDrawContext* pContext, CPoint& where, long button = -1) override;

  // Derived colours, channel by channel in integer arithmetic, alpha 255.
  static CColor lighten(const CColor& c);  // halfway to white: (c + 255) / 2
  static CColor darken(const CColor& c);   // half: c / 2

 protected:
  // The colour table's entries and the colours derived from them.
  CColor backColor() const { return pluginColors[kVGBackColor]; }
  CColor foreColor() const { return pluginColors[kVGForeColor]; }
  CColor hiliteColor() const { return pluginColors[kVGHiliteColor]; }
  CColor textColor() const { return pluginColors[kVGTextColor]; }
  CColor liteBack() const { return lighten(backColor()); }
  CColor liteFore() const { return lighten(foreColor()); }
  CColor darkHilite() const { return darken(hiliteColor()); }

  // A disc filled and outlined at line width 1: lit = highlight with a darkHilite
  // outline, unlit = liteBack with a back-colour outline. The knob's pointer dot and
  // centre disc, the buttons' lamps and the slider's handle are such discs.
  void drawLamp(RUVDrawContext* oc, const CRect& rect, bool lit) const;

  // The offscreen pass, shared by every member's draw:
  //   RUVDrawContext* oc = beginOffscreen(pContext);   // width x height, black
  //   CRect offRect = getOffRect();                     // (0, 0, width, height)
  //   paintWhiteBackground(oc, offRect);                // the usual first steps
  //   ... draw in local coordinates ...
  //   endOffscreen(pContext, oc);                       // copy, forget, clean
  RUVDrawContext* beginOffscreen(CDrawContext* pContext) const;
  CRect getOffRect() const { return CRect(0, 0, width, height); }
  // Line width 1, anti-aliasing on, offRect filled and framed in white.
  static void paintWhiteBackground(RUVDrawContext* oc, const CRect& offRect);
  // Copies oc onto pContext at widgetRect, releases oc and marks the control clean.
  void endOffscreen(CDrawContext* pContext, COffscreenContext* oc);

  // The toggle click, whole: flips the value between 0 and 1 and tells the listener
  // inside an edit bracket. Members whose mouse is the toggle click call it as is.
  void toggleClick(CDrawContext* pContext, long button);
  // Its parts, for a member that flips something other than the value: the first
  // answers whether the click goes on (mouse enabled, left button, no modifier click
  // taken by the listener), reading button from pContext when it is -1; the second
  // tells the listener and lets the host run.
  bool acceptToggleClick(CDrawContext* pContext, long& button);
  void finishToggleClick(CDrawContext* pContext);

  // True when button carries Shift, Command, Option or Control.
  static bool hasModifier(long button) {
    return (button & (kButtonShift | kButtonCommand | kButtonAlt | kButtonControl)) != 0;
  }

  int32_t width;
  int32_t height;
  CRect nameRect;
  CColor* pluginColors;
  char label[kVGTextSize];
  char name[kVGTextSize];
  CRect widgetRect;
  float maxValue;
  float minValue;
  CFont currentFontID;
  int32_t currentFontStyle;
  int32_t currentFontSize;
};
