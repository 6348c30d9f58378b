#pragma once
// The plug-in's effect and its editor in a DAW-like host window under Xvfb: host
// requests recorded, the real pointer and keys through XTest, the editor's views, and
// a knob drag run step by step along the knob's own tracking loop.

#include <X11/Xlib.h>

#include <functional>
#include <vector>

#include "aeffguieditor.h"
#include "control.h"
#include "frame.h"
#include "hostedeffect.h"
#include "hostrecorder.h"
#include "tessarine.h"
#include "xtesthost.h"

template <class Effect>
struct EffectSession : HostedEffect {
  EffectSession() { e = effect.getAeffect(); }
  ~EffectSession() {
    recorder.onCall = nullptr;
    if (frame()) dispatch(effEditClose);
  }
  CFrame* frame() { return static_cast<AEffGUIEditor*>(effect.getEditor())->getFrame(); }
  // The views of the open editor in drawing order; knob(i) is parameter i's (the views
  // alternate knob and caption after the logo).
  CControl* control(long index) {
    return frame() ? dynamic_cast<CControl*>(frame()->getView(index)) : nullptr;
  }
  CControl* knob(int parameter) { return control(1 + 2 * parameter); }
  // Presses the left button at (x, y) with the modifiers held and runs one step per host
  // idle request of the knob's tracking loop (the last should release); true once the
  // edit gesture ended.
  bool drag(int x, int y, std::vector<KeySym> modifiers, std::vector<std::function<void()>> steps) {
    size_t next = 0;
    recorder.onCall = [&](AEffect*, const HostCall& call) {
      if (call.opcode == audioMasterIdle && next < steps.size()) steps[next++]();
    };
    const size_t endEdits = recorder.callsOf(audioMasterEndEdit).size();
    host.moveTo(x, y);
    for (KeySym modifier : modifiers) host.key(modifier, true);
    host.button(1, true);
    const bool ended =
        idleUntil([&] { return recorder.callsOf(audioMasterEndEdit).size() > endEdits; });
    recorder.onCall = nullptr;
    for (KeySym modifier : modifiers) host.key(modifier, false);
    if (!ended) host.button(1, false);
    return ended && next == steps.size();
  }

  HostRecorder recorder;
  XTestHost host;
  Effect effect{HostRecorder::callback};
};

using TessarineSession = EffectSession<tessarine>;
