#pragma once
// Views, controls, containers and a frame that log every call they receive, for the
// tests of the view framework and the controls (which draw them on a Canvas).

#include <doctest/doctest.h>

#include <string>
#include <vector>

#include "control.h"
#include "drawcontext.h"
#include "frame.h"
#include "pixels.h"
#include "viewcontainer.h"

typedef std::vector<std::string> Log;

inline std::string pointText(const CPoint& p) {
  return std::to_string(p.h) + "," + std::to_string(p.v);
}

inline std::string rectText(const CRect& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
         "," + std::to_string(r.bottom);
}

// A view that logs its calls and, when it has a colour, fills its rectangle with it.
class RecordingView : public CView {
 public:
  RecordingView(const char* name, const CRect& size, Log* log, CColor color = {0, 0, 0, 0})
      : CView(size), name(name), log(log), color(color) {}
  ~RecordingView() override {
    if (destroyed) *destroyed = true;
  }

  void draw(CDrawContext* pContext) override {
    CRect clip;
    pContext->getClipRect(clip);
    add("draw offset " + pointText(pContext->offset) + " clip " + rectText(clip));
    if (color.alpha) {
      pContext->setFillColor(color);
      pContext->fillRect(size);
    }
    setDirty(false);
  }
  void mouse(CDrawContext*, CPoint& where, long buttons) override {
    add("mouse " + pointText(where) + " buttons " + std::to_string(buttons));
  }
  long onKeyDown(VstKeyCode& keyCode) override {
    add("keyDown " + std::to_string(keyCode.virt));
    return keyResult;
  }
  long onKeyUp(VstKeyCode&) override {
    add("keyUp");
    return keyResult;
  }
  bool onWheel(CDrawContext* pContext, const CPoint& where, float distance) override {
    add("wheel " + pointText(where) + " " + std::to_string((int)distance) + " offset " +
        pointText(pContext ? pContext->offset : CPoint(-1, -1)));
    return true;
  }
  bool onDrop(CDrawContext*, CDragContainer*, const CPoint& p) override {
    add("drop " + pointText(p));
    return dropResult;
  }
  void onDragEnter(CDrawContext*, CDragContainer*, const CPoint& p) override {
    add("dragEnter " + pointText(p));
  }
  void onDragLeave(CDrawContext*, CDragContainer*, const CPoint& p) override {
    add("dragLeave " + pointText(p));
  }
  void onDragMove(CDrawContext*, CDragContainer*, const CPoint& p) override {
    add("dragMove " + pointText(p));
  }
  void looseFocus(CDrawContext*) override { add("looseFocus"); }
  void takeFocus(CDrawContext*) override { add("takeFocus"); }
  bool attached(CView* view) override {
    add(std::string("attached ") + (view ? "yes" : "null"));
    return true;
  }
  bool removed(CView* parent) override {
    add(std::string("removed ") + (parent ? "yes" : "null"));
    return true;
  }

  void add(const std::string& text) {
    if (log) log->push_back(name + " " + text);
  }

  std::string name;
  Log* log;
  CColor color;
  long keyResult = -1;
  bool dropResult = false;
  bool* destroyed = nullptr;
};

// A control that logs its draws and records the value it drew.
class RecordingControl : public CControl {
 public:
  RecordingControl(const CRect& size, CControlListener* listener = nullptr, long tag = 0,
                   Log* log = nullptr)
      : CControl(size, listener, tag), log(log) {}
  void draw(CDrawContext*) override {
    if (log) log->push_back("control " + std::to_string(tag) + " draw");
    setDirty(false);
  }
  Log* log;
};

class RecordingListener : public CControlListener {
 public:
  explicit RecordingListener(Log* log) : log(log) {}
  void valueChanged(CDrawContext*, CControl* control) override {
    log->push_back("valueChanged " + std::to_string(control->getTag()) + " " +
                   std::to_string(control->getValue()));
  }
  Log* log;
};

class TestContainer : public CViewContainer {
 public:
  TestContainer(const CRect& size, CFrame* frame = nullptr) : CViewContainer(size, frame) {}
  using CViewContainer::hitTestSubViews;
  using CViewContainer::update;
};

// A frame without a window that logs the edit bracket and answers the test's clock.
class TestFrame : public CFrame {
 public:
  TestFrame(const CRect& size, Log* log)
      : CFrame(size, static_cast<void*>(nullptr), nullptr), log(log) {}
  long getTicks() const override { return ticks; }
  void beginEdit(long index) override { log->push_back("beginEdit " + std::to_string(index)); }
  void endEdit(long index) override { log->push_back("endEdit " + std::to_string(index)); }
  using CFrame::update;
  Log* log;
  long ticks = 0;
};

namespace doctest {
template <>
struct StringMaker<Log> {
  static String convert(const Log& log) {
    std::string text = "{";
    for (const std::string& line : log) text += "\n  \"" + line + "\"";
    return (text + "}").c_str();
  }
};
}  // namespace doctest
