#include "editorsession.h"

#include <X11/Xutil.h>

#include "frame.h"
#include "platformclock.h"
#include "vgcontrol.h"
#include "x11window.h"

namespace {
constexpr int kWidth = 419;
constexpr int kHeight = 145;
// A pixel of the bottom strip, painted when the editor has drawn.
constexpr int kStripX = 1, kStripY = 140;
constexpr uint32_t kStripColor = 0xefe8e5;
}  // namespace

int Snapshot::count(const CRect& rect, uint32_t value) const {
  int n = 0;
  for (int y = rect.top; y < rect.bottom; y++)
    for (int x = rect.left; x < rect.right; x++) n += at(x, y) == value;
  return n;
}

TessarineSession::TessarineSession() {}

TessarineSession::~TessarineSession() {
  recorder.onCall = nullptr;
  if (frame()) dispatch(effEditClose);
}

VstIntPtr TessarineSession::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                     void* ptr) {
  return e->dispatcher(e, opcode, index, value, ptr, 0.0f);
}

bool TessarineSession::idleUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 1500; i++) {
    idle();
    if (done()) return true;
    platformSleep(2);
  }
  return false;
}

bool TessarineSession::openAndShow() {
  if (dispatch(effEditOpen, 0, 0, (void*)host.window) != 1) return false;
  return idleUntilPixel(kStripX, kStripY, kStripColor);
}

bool TessarineSession::idleUntilPixel(int x, int y, uint32_t rgb) {
  const Window window = child();
  return window && idleUntil([&] { return host.pixel(window, x, y) == rgb; });
}

Snapshot TessarineSession::snapshot() {
  Snapshot shot;
  const Window window = child();
  XImage* image =
      window ? XGetImage(host.display, window, 0, 0, kWidth, kHeight, AllPlanes, ZPixmap) : nullptr;
  if (!image) return shot;
  shot.width = kWidth;
  shot.height = kHeight;
  shot.rgb.resize(size_t(kWidth) * kHeight);
  for (int y = 0; y < kHeight; y++)
    for (int x = 0; x < kWidth; x++)
      shot.rgb[size_t(y) * kWidth + size_t(x)] = uint32_t(XGetPixel(image, x, y)) & 0xffffffu;
  XDestroyImage(image);
  return shot;
}

CFrame* TessarineSession::frame() {
  return static_cast<AEffGUIEditor*>(effect.getEditor())->getFrame();
}

Window TessarineSession::child() {
  CFrame* open = frame();
  return open && open->getPlatformControl() ? open->getPlatformControl()->getWindowId() : 0;
}

CControl* TessarineSession::control(long index) {
  return frame() ? dynamic_cast<CControl*>(frame()->getView(index)) : nullptr;
}

const CColor* TessarineSession::colors() {
  VGControl* logo = dynamic_cast<VGControl*>(control(0));
  return logo ? logo->getPluginColors() : nullptr;
}

bool TessarineSession::drag(int x, int y, std::vector<KeySym> modifiers,
                            std::vector<std::function<void()>> steps) {
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
