#pragma once
// The plug-in's editor in a DAW-like host window under Xvfb at a scale factor given
// by the host ('PreS' request): host requests recorded, the window's pixels read in
// one piece, the real pointer through XTest.

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "tessarinesession.h"

// The editor's pixels as 0xRRGGBB.
struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> rgb;
  uint32_t at(int x, int y) const { return rgb[size_t(y) * size_t(width) + size_t(x)]; }
};

inline uint32_t rgbOf(const CColor& c) {
  return uint32_t(c.red) << 16 | uint32_t(c.green) << 8 | uint32_t(c.blue);
}

struct ScaledSession : TessarineSession {
  ScaledSession() {
    // Room for the editor at factor 2 (838 x 290) inside the host's window.
    XResizeWindow(host.display, host.window, 1000, 400);
    XSync(host.display, False);
    recorder.answers[audioMasterCanDo] = 1;
    recorder.answers[audioMasterSizeWindow] = 1;
  }
  // The host's content scale request; 1 when the plug-in took the factor.
  VstIntPtr sendScale(float factor) {
    return dispatch(effVendorSpecific, kVstScaleRequestIndex, kVstScaleRequestValue, nullptr,
                    factor);
  }
  ERect editorRect() {
    ERect* rect = nullptr;
    dispatch(effEditGetRect, 0, 0, &rect);
    return rect ? *rect : ERect{0, 0, 0, 0};
  }
  Window child() {
    std::vector<Window> children = host.children();
    return children.empty() ? 0 : children.front();
  }
  // Opens the editor and idles until the whole panel is drawn and settled.
  bool openAndShow() {
    if (openEditor(host.window) != 1) return false;
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
  void allKnobsAt(float value) {
    for (VstInt32 i = 0; i < 6; i++) e->setParameter(e, i, value);
  }
};
