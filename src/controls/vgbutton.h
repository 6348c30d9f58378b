#pragma once
// The buttons of the vector family. The two on/off ones are toggles (a left click
// flips the value between 0 and 1) and show their state as a round lamp, lit in the
// highlight colour when the value is above 0.5. VGTargetButton is only the lamp,
// drawn as a target of concentric discs (the editor's colour-scheme switch);
// VGTextButton is a pill with a caption on the left and the lamp at its right end,
// and shows a second caption while it is on. VGStepButton is the same pill without a
// lamp: a left click steps its value through a few evenly spaced steps, round
// again after the last, and the caption names the step.

#include "vgcontrol.h"

class VGTargetButton : public VGControl {
 public:
  // Starts off (value 0).
  VGTargetButton(const CRect& size, CControlListener* listener, long tag, CColor* pPluginColors);
  ~VGTargetButton() override;

  void draw(CDrawContext* pContext) override;
  void mouse(CDrawContext* pContext, CPoint& where, long button = -1) override;
};

class VGTextButton : public VGControl {
 public:
  // Starts on (value 1), as every vector control, with an empty on caption.
  VGTextButton(const CRect& size, CControlListener* listener, long tag, CColor* pPluginColors);
  ~VGTextButton() override;

  // The caption shown while the value is above 0.5 (at most 255 characters); the
  // caption shown while off is the name.
  void setOnName(const char* name);
  const char* getOnName() const { return onName; }

  void draw(CDrawContext* pContext) override;
  void mouse(CDrawContext* pContext, CPoint& where, long button = -1) override;

 protected:
  void drawPill(RUVDrawContext* oc, const CRect& offRect);
  void drawCaption(RUVDrawContext* oc, long fontHeight);

  char onName[kVGTextSize];
  CRect buttonRect;  // the lamp, recomputed on every draw
};

class VGStepButton : public VGTextButton {
 public:
  static constexpr int kMaxSteps = 8;

  // Starts at the first of two steps, both without a caption.
  VGStepButton(const CRect& size, CControlListener* listener, long tag, CColor* pPluginColors);
  ~VGStepButton() override;

  // count steps (2 to kMaxSteps): the values 0, 1 / (count - 1), ..., 1.
  void setStepCount(int count);
  int getStepCount() const { return stepCount; }
  // The caption of step index (at most 31 characters).
  void setStepName(int index, const char* name);
  // The step the value is nearest to.
  int getStep() const;

  void draw(CDrawContext* pContext) override;
  void mouse(CDrawContext* pContext, CPoint& where, long button = -1) override;

 private:
  int stepCount;
  char stepNames[kMaxSteps][32];
};
