#pragma once
// The two text-only vector controls. VGSimpleLabel shows its name centred on white in
// a font fitted to its rectangle with a small margin (the caption under each knob);
// VGBottomLabel shows it on a fixed light background in a font that fills the
// rectangle (the product line along the editor's bottom edge). Neither shows its
// value; a left click flips it between 0 and 1 for the listener.

#include "vgcontrol.h"

class VGSimpleLabel : public VGControl {
 public:
  VGSimpleLabel(const CRect& size, CControlListener* listener, long tag, CColor* pPluginColors);
  ~VGSimpleLabel() override;

  void draw(CDrawContext* pContext) override;
  void mouse(CDrawContext* pContext, CPoint& where, long button = -1) override;
};

class VGBottomLabel : public VGControl {
 public:
  VGBottomLabel(const CRect& size, CControlListener* listener, long tag, CColor* pPluginColors);
  ~VGBottomLabel() override;

  void draw(CDrawContext* pContext) override;
  void mouse(CDrawContext* pContext, CPoint& where, long button = -1) override;

 protected:
  CColor labelBackColor;  // (239, 232, 229), fixed
};
