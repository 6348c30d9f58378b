#pragma once
// AEffGUIEditor: the editor interface implemented on top of a CFrame. It holds the
// editor's rectangle and frame, turns the host's draw, mouse, key and wheel calls
// into calls on the frame, pumps the frame's window events and idle redraw from the
// host's idle, paces the idle calls a dragging control makes (doIdleStuff), and
// forwards edit gestures to the effect. Derived editors build the frame in open()
// and delete it in close().

#include <atomic>
#include <cstdint>

#include "aeffeditor.h"

class AudioEffect;
class CFrame;

// The directory holding the plug-in's shared object (no trailing slash), where
// resources such as bitmaps are looked up; null when it could not be found. Set
// while at least one AEffGUIEditor exists.
extern char* gBundleRef;

class AEffGUIEditor : public AEffEditor {
 public:
  explicit AEffGUIEditor(AudioEffect* effect);
  ~AEffGUIEditor() override;
  AEffGUIEditor(const AEffGUIEditor&) = delete;
  AEffGUIEditor& operator=(const AEffGUIEditor&) = delete;

  // The editor's rectangle in window pixels: rect times the scale factor, rounded.
  bool getRect(ERect** ppRect) override;
  void idle() override;
  void draw(ERect* pRect) override;
  VstInt32 mouse(VstInt32 x, VstInt32 y) override;
  bool onKeyDown(VstKeyCode& keyCode) override;
  bool onKeyUp(VstKeyCode& keyCode) override;
  bool onWheel(float distance) override;
  bool setKnobMode(VstInt32 val) override;

  virtual void setParameter(VstInt32 index, float value);
  virtual void beginEdit(VstInt32 index);
  virtual void endEdit(VstInt32 index);
  // Lets the host run and the window update while a control tracks the mouse;
  // does the work at most once per 100 ms (see aeffguieditor.cpp).
  virtual void doIdleStuff();

  // The host's content scale: VST's effVendorSpecific 'PreS' request, LV2's
  // ui:scaleFactor. A valid factor (finite, 1 to 4) is kept and true returned; while
  // the editor is open, a change of the resulting factor resizes the window through
  // the host and redraws it. Anything else is ignored (false).
  bool setHostScaleFactor(float factor);
  // The factor the editor draws at, from the first valid source of TESSARINE_SCALE,
  // the host's factor, GDK_SCALE and the desktop's Xft.dpi (see scalefactor.h).
  float getScaleFactor();

  CFrame* getFrame() const { return frame; }
  // Sleeps ms milliseconds.
  void wait(uint32_t ms);
  // Milliseconds of a monotonic clock (wraps after 49 days; compare as differences).
  uint32_t getTicks() const;
  static VstInt32 getKnobMode() { return knobMode; }

 protected:
  ERect rect;  // in points
  uint32_t lLastTicks;
  bool inIdleStuff;
  CFrame* frame;

 private:
  ERect scaledRect;             // what getRect reports
  float hostScaleFactor = 0.f;  // 0: the host gave none

 protected:
  // Process-wide, and set by whichever instance the host tells: read and written whole.
  static std::atomic<VstInt32> knobMode;
};
