#pragma once
// VGLogo: the editor's title bar. From left to right, a pill-shaped badge with the
// maker's word and a long bar with the control's name (the product), all in the
// colours of the colour table, so that the title follows the editor's scheme. The
// badge is always six control heights wide; the bar takes the rest. A left click
// flips the value between 0 and 1 for the listener.

#include "vgcontrol.h"

class VGLogo : public VGControl {
 public:
  VGLogo(const CRect& size, CControlListener* listener, long tag, CColor* pPluginColors);
  ~VGLogo() override;

  void draw(CDrawContext* pContext) override;
  void mouse(CDrawContext* pContext, CPoint& where, long button = -1) override;

  // The maker's word on the badge.
  static constexpr const char* kMakerWord = "quorvalin";

 protected:
  void drawNameBar(RUVDrawContext* oc);
  void drawBadge(RUVDrawContext* oc, const CRect& logoRect, int barHeight);
  void drawTexts(RUVDrawContext* oc, const CRect& logoRect);
};
