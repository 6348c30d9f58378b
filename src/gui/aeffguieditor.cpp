#include "aeffguieditor.h"

#include <dlfcn.h>
#include <libgen.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

#include "audioeffectx.h"
#include "drawcontext.h"
#include "frame.h"
#include "platformclock.h"
#include "scalefactor.h"
#include "x11window.h"

char* gBundleRef = nullptr;
std::atomic<VstInt32> AEffGUIEditor::knobMode{0};

namespace {
// Editors alive in the process; gBundleRef lives while there is at least one.
// Hosts create and close instances on several threads at once (scanners, session
// loads), so both change only under gBundleMutex. Editors are never created on the
// audio path, so the lock costs the audio thread nothing.
int gBundleUsers = 0;
std::mutex gBundleMutex;

// The directory of the shared object that holds this code: the plug-in, found with
// dladdr on one of its own functions (in a test program, the program itself).
char* findPluginDirectory() {
  Dl_info info;
  if (!dladdr(reinterpret_cast<void*>(&findPluginDirectory), &info) || !info.dli_fname)
    return nullptr;
  char path[PATH_MAX];
  if (!realpath(info.dli_fname, path)) return nullptr;
  return strdup(dirname(path));
}

void initBundleRef() {
  std::lock_guard<std::mutex> lock(gBundleMutex);
  if (gBundleUsers++ == 0 && !gBundleRef) gBundleRef = findPluginDirectory();
}

void exitBundleRef() {
  std::lock_guard<std::mutex> lock(gBundleMutex);
  if (--gBundleUsers == 0) {
    std::free(gBundleRef);
    gBundleRef = nullptr;
  }
}
}  // namespace

AEffGUIEditor::AEffGUIEditor(AudioEffect* effect)
    : AEffEditor(effect),
      rect{0, 0, 0, 0},
      lLastTicks(0),
      inIdleStuff(false),
      frame(nullptr),
      scaledRect{0, 0, 0, 0} {
  lLastTicks = getTicks();
  if (effect) effect->setEditor(this);
  initBundleRef();
}

AEffGUIEditor::~AEffGUIEditor() {
  exitBundleRef();
}

bool AEffGUIEditor::getRect(ERect** ppRect) {
  const float f = frame ? frame->getScaleFactor() : getScaleFactor();
  scaledRect = {(int16_t)scaledLength(rect.top, f), (int16_t)scaledLength(rect.left, f),
                (int16_t)scaledLength(rect.bottom, f), (int16_t)scaledLength(rect.right, f)};
  *ppRect = &scaledRect;
  return true;
}

bool AEffGUIEditor::setHostScaleFactor(float factor) {
  if (!isValidScaleFactor(factor)) return false;
  hostScaleFactor = factor;
  if (frame) frame->setScaleFactor(getScaleFactor());
  return true;
}

float AEffGUIEditor::getScaleFactor() {
  ScaleFactorSources sources;
  sources.user = std::getenv("TESSARINE_SCALE");
  sources.host = hostScaleFactor;
  sources.gdkScale = std::getenv("GDK_SCALE");
  // The X server is asked only when no earlier source has a factor (and once for the
  // process).
  if (!parseScaleFactor(sources.user) && !isValidScaleFactor(sources.host) &&
      !parseScaleFactor(sources.gdkScale, true))
    sources.desktopDpi = X11Window::readDesktopDpi();
  return resolveScaleFactor(sources);
}

void AEffGUIEditor::setParameter(VstInt32, float) {}

void AEffGUIEditor::beginEdit(VstInt32 index) {
  if (AudioEffectX* fx = dynamic_cast<AudioEffectX*>(effect)) fx->beginEdit(index);
}

void AEffGUIEditor::endEdit(VstInt32 index) {
  if (AudioEffectX* fx = dynamic_cast<AudioEffectX*>(effect)) fx->endEdit(index);
}

bool AEffGUIEditor::onKeyDown(VstKeyCode& keyCode) {
  return frame && frame->onKeyDown(keyCode) == 1;
}

bool AEffGUIEditor::onKeyUp(VstKeyCode& keyCode) {
  return frame && frame->onKeyUp(keyCode) == 1;
}

bool AEffGUIEditor::setKnobMode(VstInt32 val) {
  knobMode = val;
  return true;
}

bool AEffGUIEditor::onWheel(float distance) {
  if (!frame) return false;
  CDrawContext* context = new (std::nothrow) CDrawContext(frame, nullptr, systemWindow);
  if (!context) return false;
  CPoint where;
  context->getMouseLocation(where);
  const bool result = frame->onWheel(context, where, distance);
  context->forget();
  return result;
}

void AEffGUIEditor::draw(ERect* pRect) {
  if (!frame) return;
  if (!pRect) {
    frame->draw(static_cast<CView*>(nullptr));
    return;
  }
  // The host's rectangle is in window pixels; views draw in points.
  CRect r = frame->pixelsToPoints(CRect(pRect->left, pRect->top, pRect->right, pRect->bottom));
  if (CDrawContext* context = new (std::nothrow) CDrawContext(frame, nullptr, systemWindow)) {
    frame->drawRect(context, r);
    context->forget();
  }
}

VstInt32 AEffGUIEditor::mouse(VstInt32 x, VstInt32 y) {
  if (!frame) return 1;
  if (CDrawContext* context = new (std::nothrow) CDrawContext(frame, nullptr, systemWindow)) {
    CPoint where = frame->pixelsToPoints(CPoint(x, y));
    frame->mouse(context, where, -1);
    context->forget();
  }
  return 1;
}

void AEffGUIEditor::idle() {
  // The host may answer masterIdle (inside doIdleStuff) with effEditIdle.
  if (inIdleStuff) return;
  AEffEditor::idle();
  if (!frame) return;
  // The window's own events first, then the redraw of what they made dirty.
  frame->dispatchEvents();
  if (frame) frame->idle();
}

// Called over and over while a control tracks the mouse. The real work (an idle pass
// with its redraw, one pending window redraw, and the host's idle) runs at most once
// per 100 ms; a call inside that period only runs the window's events for 4 ms,
// unless it falls into the last 50 ms of the period. The ticks wrap every 2^32 ms
// (49.7 days), so "before" and "after" are the signs of 32-bit differences, which
// hold across a wrap for any two times less than 24 days apart.
void AEffGUIEditor::doIdleStuff() {
  uint32_t now = getTicks();
  if ((int32_t)(lLastTicks - now) > 0) {
    if (frame)
      frame->runEventLoop(4);
    else
      wait(4);
    now += 4;
    if ((int32_t)(lLastTicks - 50 - now) > 0) return;
  }
  idle();
  if (frame) frame->dispatchUpdateEvent();
  lLastTicks = now + 100;
  inIdleStuff = true;
  if (effect) effect->masterIdle();
  inIdleStuff = false;
}

uint32_t AEffGUIEditor::getTicks() const {
  return platformTicks();
}

void AEffGUIEditor::wait(uint32_t ms) {
  platformSleep(ms);
}
