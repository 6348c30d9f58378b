#pragma once
// The plug-in's editor opened in a DAW-like host window under Xvfb: the effect with
// its editor driven through the dispatcher, the host's requests recorded, the
// window's pixels read back and the real pointer driven through XTest.

#include <cstdint>
#include <functional>
#include <vector>

#include "control.h"
#include "hostrecorder.h"
#include "tessarine.h"
#include "xtesthost.h"

// The editor's pixels as 0xRRGGBB, read from the screen in one piece.
struct Snapshot {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> rgb;

  uint32_t at(int x, int y) const { return rgb[size_t(y) * size_t(width) + size_t(x)]; }
  // How many pixels of rect (right and bottom exclusive) are exactly value.
  int count(const CRect& rect, uint32_t value) const;
};

constexpr uint32_t rgbOf(const CColor& c) {
  return uint32_t(c.red) << 16 | uint32_t(c.green) << 8 | uint32_t(c.blue);
}

class TessarineSession {
 public:
  TessarineSession();
  ~TessarineSession();

  VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                     void* ptr = nullptr);
  void idle() { dispatch(effEditIdle); }
  // Idles (as a host's timer would, every 2 ms) until done() or about 3 s passed.
  bool idleUntil(const std::function<bool()>& done);
  // Opens the editor in the host window and idles until it is drawn.
  bool openAndShow();
  // Idles until the pixel at (x, y) of the editor is rgb.
  bool idleUntilPixel(int x, int y, uint32_t rgb);
  Snapshot snapshot();

  // The views of the open editor in drawing order; knob(i) is parameter i's.
  CControl* control(long index);
  CControl* knob(int parameter) { return control(1 + 2 * parameter); }
  const CColor* colors();
  // The editor's frame while it is open, and its window.
  CFrame* frame();
  Window child();

  // A drag with the real pointer: presses the left button at (x, y) with the
  // modifiers held, then runs one step per host idle request that the knob's
  // tracking loop makes (about every 100 ms); the last step should release the
  // button. Returns when the drag is over.
  bool drag(int x, int y, std::vector<KeySym> modifiers,
            std::vector<std::function<void()>> steps);

  HostRecorder recorder;
  XTestHost host;
  tessarine effect{HostRecorder::callback};
  AEffect* e = effect.getAeffect();
};
