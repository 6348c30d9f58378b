#pragma once
// lv2uieffect: the effect as the editor sees it on the interface side of the LV2
// bundle, where the processor lives in another binary and is reached only through
// ports. It holds the six harmonic values the host last reported and owns the
// described tessarineeditor; the editor's automation becomes port writes in dB,
// bracketed by touch gestures where the host offers them, and the host's port
// events become parameter changes that move the knobs.

#include <lv2/ui/ui.h>

#include "audioeffectx.h"
#include "lv2ports.h"

class tessarineeditor;

class lv2uieffect : public AudioEffectX {
 public:
  // What the interface may call on the host; touch may be null.
  struct HostLink {
    LV2UI_Write_Function write = nullptr;
    LV2UI_Controller controller = nullptr;
    const LV2UI_Touch* touch = nullptr;
    const LV2UI_Resize* resize = nullptr;
  };

  explicit lv2uieffect(const HostLink& host);

  // The editor this stand-in owns (deleted with it); null when memory ran out.
  tessarineeditor* getTessarineEditor() const;

  // No audio passes on the interface side.
  void processReplacing(float**, float**, VstInt32) override {}
  // Non-finite values are ignored, as in the effect; the editor hears of the rest.
  void setParameter(VstInt32 index, float value) override;
  float getParameter(VstInt32 index) override;
  // A knob moved by the user: the harmonic's port is written in dB.
  void setParameterAutomated(VstInt32 index, float value) override;
  bool beginEdit(VstInt32 index) override;
  bool endEdit(VstInt32 index) override;
  // The editor's size changes (a new scale factor) reach the host through ui:resize.
  VstInt32 canHostDo(char* text) override;
  bool sizeWindow(VstInt32 width, VstInt32 height) override;

  // A value the host reports for a port (in dB for the harmonics; others ignored).
  void portEvent(uint32_t port, float value);

 private:
  static bool isHarmonic(VstInt32 index) { return (uint32_t)index < kPortHarmonicCount; }
  bool touch(VstInt32 index, bool grabbed);

  HostLink host;
  // Normalised, as the VST effect keeps them: the first program's values until the
  // host reports the ports.
  float values[kPortHarmonicCount] = {1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
};
