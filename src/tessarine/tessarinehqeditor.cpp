#include "tessarinehqeditor.h"

#include <cstdio>
#include <new>

#include "audioeffectx.h"
#include "frame.h"
#include "oversampler.h"
#include "tessarinehq.h"
#include "vgbutton.h"
#include "vglabel.h"

namespace {

constexpr int kPanelWidth = 419;
constexpr int kPanelHeight = 145;  // the described panel above the strip
constexpr int kStripTop = kPanelHeight + 3;
constexpr int kStripBottom = kPanelHeight + tessarinehqeditor::kStripHeight - 3;
constexpr long kLabelTag = -99;

// Left to right: the factor, the two toggles, the latency.
const CRect kFactorRect(5, kStripTop, 135, kStripBottom);
const CRect kDcFilterRect(145, kStripTop, 225, kStripBottom);
const CRect kLimitRect(235, kStripTop, 315, kStripBottom);
const CRect kLatencyRect(320, kStripTop, 414, kStripBottom);
const CRect kStrip(0, kPanelHeight, kPanelWidth, kPanelHeight + tessarinehqeditor::kStripHeight);

const char* const kFactorNames[] = {"1x", "2x", "4x", "8x"};

}  // namespace

tessarinehqeditor::tessarinehqeditor(AudioEffect* effect)
    : tessarineeditor(effect, tessarinehq::kNumHqParams, kPanelWidth, kPanelHeight + kStripHeight),
      factorButton(nullptr),
      dcFilterButton(nullptr),
      limitButton(nullptr),
      latencyLabel(nullptr) {}

bool tessarinehqeditor::addControls() {
  if (!tessarineeditor::addControls()) return false;
  factorButton = new (std::nothrow)
      VGStepButton(kFactorRect, this, tessarinehq::kParamOversampling, getColors());
  if (!factorButton) return false;
  factorButton->setName("oversampling");
  factorButton->setStepCount(4);
  for (int step = 0; step < 4; step++) factorButton->setStepName(step, kFactorNames[step]);
  frame->addView(factorButton);

  VGTextButton** const toggles[2] = {&dcFilterButton, &limitButton};
  const CRect* const places[2] = {&kDcFilterRect, &kLimitRect};
  const char* const names[2] = {"DC", "Limit"};
  for (int i = 0; i < 2; i++) {
    VGTextButton* toggle = new (std::nothrow)
        VGTextButton(*places[i], this, tessarinehq::kParamDcFilter + i, getColors());
    *toggles[i] = toggle;
    if (!toggle) return false;
    toggle->setName(names[i]);
    toggle->setOnName(names[i]);
    frame->addView(toggle);
  }

  latencyLabel = new (std::nothrow) VGSimpleLabel(kLatencyRect, this, kLabelTag, getColors());
  if (!latencyLabel) return false;
  frame->addView(latencyLabel);
  for (long index = tessarinehq::kParamOversampling; index <= tessarinehq::kParamLimit; index++)
    moveControl(index);
  return true;
}

void tessarinehqeditor::moveControl(long index) {
  CControl* const settings[3] = {factorButton, dcFilterButton, limitButton};
  if (index < tessarinehq::kParamOversampling || index > tessarinehq::kParamLimit) {
    tessarineeditor::moveControl(index);
    return;
  }
  CControl* setting = settings[index - tessarinehq::kParamOversampling];
  if (!frame || !setting) return;
  setting->setValue(effect->getParameter((VstInt32)index));
  if (index == tessarinehq::kParamOversampling) showLatency();
}

void tessarinehqeditor::showLatency() {
  if (!latencyLabel) return;
  const int factor = tessarinehq::factorOf(effect->getParameter(tessarinehq::kParamOversampling));
  char text[40];
  std::snprintf(text, sizeof(text), "latency %ld smp", tessarineoversampler::latencyOf(factor));
  latencyLabel->setName(text);
  latencyLabel->setDirty(true);
}

void tessarinehqeditor::invalidateRecoloured() {
  tessarineeditor::invalidateRecoloured();
  if (frame) frame->invalidate(kStrip);
}

// Ctrl-click on a setting: its default, as one automation gesture.
long tessarinehqeditor::controlModifierClicked(CDrawContext* context, CControl* control,
                                               long button) {
  const long tag = control->getTag();
  if (button != (kButtonLeft | kButtonCommand) || tag < tessarinehq::kParamOversampling ||
      tag > tessarinehq::kParamLimit)
    return 0;
  control->beginEdit();
  control->setValue(tessarinehq::defaultOf((VstInt32)tag));
  valueChanged(context, control);
  control->endEdit();
  return 1;
}
