#include "testeditor.h"

void CountingView::draw(CDrawContext* context) {
  context->setFillColor(color);
  context->fillRect(size);
  draws++;
  setDirty(false);
}

void CountingView::mouse(CDrawContext*, CPoint& where, long buttons) {
  clicks++;
  lastWhere = where;
  lastButtons = buttons;
}

bool CountingView::onWheel(CDrawContext*, const CPoint&, CMouseWheelAxis axis, float distance) {
  wheels++;
  lastAxis = axis;
  lastDistance = distance;
  return true;
}

long CountingView::onKeyDown(VstKeyCode& keyCode) {
  keys.push_back(keyCode);
  return keyCode.virt == 2 ? -1 : 1;  // leaves Tab to the frame
}

void DragControl::draw(CDrawContext* context) {
  const unsigned char level = (unsigned char)(value * 255.f);
  context->setFillColor({0, level, 0, 255});
  context->fillRect(size);
  draws++;
  if (tracking) drawsWhileTracking++;
  setDirty(false);
}

void DragControl::mouse(CDrawContext* context, CPoint& where, long buttons) {
  if (!(buttons & kButtonLeft)) return;
  tracking = true;
  beginEdit();
  const CPoint start = where;
  const float startValue = value;
  CPoint now;
  while (context->getMouseButtons() & kButtonLeft) {
    passes++;
    getMouseLocation(context, now);
    value = startValue + (float)(start.v - now.v) / (float)size.height();
    bounceValue();
    if (isDirty() && listener) listener->valueChanged(context, this);
    doIdleStuff();
  }
  endEdit();
  tracking = false;
}

TestEditor::TestEditor(AudioEffect* effect) : AEffGUIEditor(effect) {
  rect = {0, 0, (int16_t)kHeight, (int16_t)kWidth};
}

bool TestEditor::open(void* ptr) {
  AEffGUIEditor::open(ptr);
  frame = new CFrame(CRect(0, 0, kWidth, kHeight), ptr, this);
  frame->setBackgroundColor(kBackColor);
  under = new CountingView(CRect(10, 10, 110, 60), kRedCColor);
  over = new CountingView(CRect(60, 30, 160, 80), kBlueCColor);
  under->setWantsFocus(true);
  over->setWantsFocus(true);
  fader = new DragControl(CRect(200, 10, 240, 110), this, 1);
  frame->addView(under);
  frame->addView(over);
  frame->addView(fader);
  return true;
}

void TestEditor::close() {
  delete frame;
  frame = nullptr;
  under = over = nullptr;
  fader = nullptr;
  AEffGUIEditor::close();
}

void TestEditor::valueChanged(CDrawContext*, CControl* control) {
  effect->setParameterAutomated(control->getTag(), control->getValue());
}

void TestEditor::setParameter(VstInt32 index, float value) {
  if (fader && index == fader->getTag()) fader->setValue(value);
}
