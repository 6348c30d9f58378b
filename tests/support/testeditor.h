#pragma once
// A small editor for the frame tests: a minimal effect, recording views and a fader
// that tracks the mouse as the real knobs do; the frame is built in open().

#include <vector>

#include "aeffguieditor.h"
#include "audioeffectx.h"
#include "control.h"
#include "drawcontext.h"
#include "frame.h"

class TestEffect : public AudioEffectX {
 public:
  explicit TestEffect(audioMasterCallback master) : AudioEffectX(master, 1, 4) {}
  void processReplacing(float**, float**, VstInt32) override {}
  void setParameter(VstInt32 index, float value) override { values[index & 3] = value; }
  float getParameter(VstInt32 index) override { return values[index & 3]; }
  float values[4] = {};
};

// Fills its rectangle with its colour and counts what reaches it (recordingview.h
// has the views that log every call).
class CountingView : public CView {
 public:
  CountingView(const CRect& size, CColor color) : CView(size), color(color) {}
  void draw(CDrawContext* context) override;
  void mouse(CDrawContext* context, CPoint& where, long buttons) override;
  bool onWheel(CDrawContext* context, const CPoint& where, CMouseWheelAxis axis,
               float distance) override;
  long onKeyDown(VstKeyCode& keyCode) override;

  CColor color;
  int draws = 0;
  int clicks = 0;
  CPoint lastWhere;
  long lastButtons = 0;
  int wheels = 0;
  CMouseWheelAxis lastAxis = kMouseWheelAxisY;
  float lastDistance = 0.f;
  std::vector<VstKeyCode> keys;
};

// A vertical fader: a left click runs a tracking loop that follows the pointer
// until the button is released, calling doIdleStuff on every pass.
class DragControl : public CControl {
 public:
  DragControl(const CRect& size, CControlListener* listener, long tag)
      : CControl(size, listener, tag) {}
  void draw(CDrawContext* context) override;
  void mouse(CDrawContext* context, CPoint& where, long buttons) override;

  int draws = 0;
  int drawsWhileTracking = 0;
  int passes = 0;
  bool tracking = false;
};

class TestEditor : public AEffGUIEditor, public CControlListener {
 public:
  static constexpr int kWidth = 419;
  static constexpr int kHeight = 145;
  static constexpr CColor kBackColor = {40, 40, 40, 255};

  explicit TestEditor(AudioEffect* effect);
  bool open(void* ptr) override;
  void close() override;
  void valueChanged(CDrawContext* context, CControl* control) override;
  void setParameter(VstInt32 index, float value) override;

  bool isInIdleStuff() const { return inIdleStuff; }

  // The views of the open editor (null while closed).
  CountingView* under = nullptr;  // added first
  CountingView* over = nullptr;   // added second, overlapping `under`
  DragControl* fader = nullptr;
};
