#pragma once
// lv2uieffect: the effect as the editor sees it on the interface side of the LV2
// bundle, where the processor lives in another binary and is reached only through
// ports. It holds the values the host last reported and owns the editor: the
// described tessarineeditor, or for "+tessarine HQ" the HQ editor with its three
// settings. The editor's automation becomes port writes (the harmonics in dB, the
// factor as 1, 2, 4 or 8, the toggles as 0 or 1), bracketed by touch gestures where
// the host offers them, and the host's port events become parameter changes that
// move the controls.

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

  // hq: the stand-in of "+tessarine HQ", with its nine parameters and editor.
  explicit lv2uieffect(const HostLink& host, bool hq = false);

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

  // A value the host reports for a port (in dB for the harmonics, the HQ settings in
  // their ports' units; others ignored).
  void portEvent(uint32_t port, float value);

 private:
  static constexpr int kMaxParameters = 9;
  bool isParameter(VstInt32 index) const { return index >= 0 && index < parameterCount; }
  // The port of parameter index, and the parameter of a port (-1: none).
  static uint32_t portOf(VstInt32 index);
  VstInt32 parameterOf(uint32_t port) const;
  bool touch(VstInt32 index, bool grabbed);

  HostLink host;
  VstInt32 parameterCount;
  // Normalised, as the VST effect keeps them: the first program's values and the HQ
  // defaults until the host reports the ports.
  float values[kMaxParameters] = {1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
};
