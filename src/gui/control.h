#pragma once
// CControl: a view that holds one value within a range, identifies itself by a tag
// and reports the user's changes to a CControlListener. It supplies the dirty rule
// (value against last drawn value), the edit bracket the host sees as one automation
// gesture, the reset-to-default click and the double-click test.

#include "view.h"

class CControl;

// Receives the value changes of controls. Listeners are never deleted through this
// interface, so it has no virtual destructor.
class CControlListener {
 public:
  virtual void valueChanged(CDrawContext* context, CControl* control) = 0;
  virtual long controlModifierClicked(CDrawContext* context, CControl* control, long button) {
    (void)context, (void)control, (void)button;
    return 0;
  }

 protected:
  ~CControlListener() = default;
};

class CControl : public CView {
 public:
  CControl(const CRect& size, CControlListener* listener = nullptr, long tag = 0,
           CBitmap* pBackground = nullptr);

  void draw(CDrawContext* pContext) override = 0;
  bool isDirty() const override;
  void setDirty(bool val = true) override;
  bool isTypeOf(const char* s) const override;

  virtual void doIdleStuff();

  virtual void setValue(float val) { value = val; }
  virtual float getValue() const { return value; }
  virtual void setMin(float val) { vmin = val; }
  virtual float getMin() const { return vmin; }
  virtual void setMax(float val) { vmax = val; }
  virtual float getMax() const { return vmax; }
  virtual void setOldValue(float val) { oldValue = val; }
  virtual float getOldValue() const { return oldValue; }
  virtual void setDefaultValue(float val) { defaultValue = val; }
  virtual float getDefaultValue() const { return defaultValue; }
  virtual void setTag(long val) { tag = (int32_t)val; }
  virtual long getTag() const { return tag; }

  virtual void beginEdit();
  virtual void endEdit();

  virtual void setBackOffset(CPoint& offset) { backOffset = offset; }
  virtual void copyBackOffset();
  virtual void setWheelInc(float val) { wheelInc = val; }
  virtual float getWheelInc() const { return wheelInc; }
  virtual void bounceValue();
  virtual bool checkDefaultValue(CDrawContext* context, long button);

  CControlListener* getListener() const { return listener; }
  void setListener(CControlListener* l) { listener = l; }
  bool isDoubleClick();

 protected:
  CControlListener* listener;
  int32_t tag;
  float oldValue;
  float defaultValue;
  float value;
  float vmin;
  float vmax;
  float wheelInc;
  // Milliseconds of the last click (0 or less: none). Kept as long because the
  // millisecond clock passes 2^31 after 25 days of uptime.
  long lastTicks;
  long delta;
  CPoint backOffset;
};
