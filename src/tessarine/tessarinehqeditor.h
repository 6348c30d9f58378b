#pragma once
// The editor of "+tessarine HQ": the described panel, pixel for pixel, with one strip
// below it for the three HQ settings in the same control family and colours: the
// oversampling factor (a click steps 1x, 2x, 4x, 8x and round again), the DC filter
// and the limit as toggles, and the latency the factor adds. A click on a setting is
// an automation gesture like a knob's; Ctrl-click sets it back to its default.

#include "tessarineeditor.h"

class VGSimpleLabel;
class VGStepButton;
class VGTextButton;

class tessarinehqeditor : public tessarineeditor {
 public:
  static constexpr int kStripHeight = 26;

  explicit tessarinehqeditor(AudioEffect* effect);

  long controlModifierClicked(CDrawContext* context, CControl* control, long button) override;

 protected:
  bool addControls() override;
  void moveControl(long index) override;
  void invalidateRecoloured() override;

 private:
  // The latency text for the effect's present factor.
  void showLatency();

  VGStepButton* factorButton;
  VGTextButton* dcFilterButton;
  VGTextButton* limitButton;
  VGSimpleLabel* latencyLabel;
};
