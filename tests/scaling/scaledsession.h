#pragma once
// The plug-in's editor in a DAW-like host window under Xvfb at a scale factor given
// by the host ('PreS' request): host requests recorded, the window's pixels read in
// one piece, the real pointer through XTest.

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "aeffguieditor.h"
#include "frame.h"
#include "hostrecorder.h"
#include "platformclock.h"
#include "tessarine.h"
#include "xtesthost.h"

// The editor's pixels as 0xRRGGBB.
struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> rgb;
  uint32_t at(int x, int y) const { return rgb[size_t(y) * size_t(width) + size_t(x)]; }
};

inline uint32_t rgbOf(const CColor& c) {
  return uint32_t(c.red) << 16 | uint32_t(c.green) << 8 | uint32_t(c.blue);
}

struct ScaledSession {
  ScaledSession() {
    // Room for the editor at factor 2 (838 x 290) inside the host's window.
    XResizeWindow(host.display, host.window, 1000, 400);
    XSync(host.display, False);
    recorder.answers[audioMasterCanDo] = 1;
    recorder.answers[audioMasterSizeWindow] = 1;
  }
  ~ScaledSession() {
    recorder.onCall = nullptr;
    if (frame()) dispatch(effEditClose);
  }
  VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                     void* ptr = nullptr, float opt = 0.f) {
    return e->dispatcher(e, opcode, index, value, ptr, opt);
  }
  // The host's content scale request; 1 when the plug-in took the factor.
  VstIntPtr sendScale(float factor) {
    return dispatch(effVendorSpecific, 0x50726553, 0x41654373, nullptr, factor);
  }
  ERect editorRect() {
    ERect* rect = nullptr;
    dispatch(effEditGetRect, 0, 0, &rect);
    return rect ? *rect : ERect{0, 0, 0, 0};
  }
  void idle() { dispatch(effEditIdle); }
  // Idles as a host's timer would, every 2 ms, until done() or about 3 s passed.
  bool idleUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 1500; i++) {
      idle();
      if (done()) return true;
      platformSleep(2);
    }
    return false;
  }
  Window child() {
    std::vector<Window> children = host.children();
    return children.empty() ? 0 : children.front();
  }
  // Opens the editor and idles until the whole panel is drawn and settled.
  bool openAndShow() {
    if (dispatch(effEditOpen, 0, 0, (void*)host.window) != 1) return false;
    return settle();
  }
  // Idles until the bottom strip's corner shows and nothing is left to draw.
  bool settle() {
    const ERect r = editorRect();
    return idleUntil([&] {
      return frame() && !frame()->isDirty() && child() &&
             host.pixel(child(), r.right - 1, r.bottom - 1) == 0xefe8e5;
    });
  }
  Picture picture() {
    Picture shot;
    const ERect r = editorRect();
    XImage* image = XGetImage(host.display, child(), 0, 0, unsigned(r.right), unsigned(r.bottom),
                              AllPlanes, ZPixmap);
    if (!image) return shot;
    shot.width = r.right;
    shot.height = r.bottom;
    for (int y = 0; y < shot.height; y++)
      for (int x = 0; x < shot.width; x++)
        shot.rgb.push_back(uint32_t(XGetPixel(image, x, y)) & 0xffffffu);
    XDestroyImage(image);
    return shot;
  }
  CFrame* frame() { return static_cast<AEffGUIEditor*>(effect.getEditor())->getFrame(); }
  // The knob of parameter i (the views alternate knob and caption after the logo).
  CControl* knob(int i) {
    return frame() ? dynamic_cast<CControl*>(frame()->getView(1 + 2 * i)) : nullptr;
  }
  void allKnobsAt(float value) {
    for (VstInt32 i = 0; i < 6; i++) e->setParameter(e, i, value);
  }
  // Presses the left button at (x, y) with the modifiers held and runs one step per
  // host idle request of the knob's tracking loop (the last releases); true once the
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
  tessarine effect{HostRecorder::callback};
  AEffect* e = effect.getAeffect();
};
