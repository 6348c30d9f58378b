// The view container: ownership, order, coordinates, redraws, keys, focus, modal, drags.

#include <doctest/doctest.h>

#include "recordingview.h"

namespace {

const CColor kRed = {255, 0, 0, 255};
const CColor kGreen = {0, 255, 0, 255};
const CColor kBlue = {0, 0, 255, 255};
const CColor kYellow = {255, 255, 0, 255};
const CColor kWhite = {255, 255, 255, 255};

void addAll(CViewContainer* parent, std::initializer_list<CView*> views) {
  for (CView* v : views) parent->addView(v);
}

// Draws the tree, forgets the log, then fills the canvas so redraws show.
void drawThenFill(CViewContainer* root, Canvas& canvas, Log& log) {
  root->draw(canvas.context);
  log.clear();
  canvas.fill(kYellow);
}

VstKeyCode key(unsigned char virt, unsigned char modifier = 0) {
  return {0, virt, modifier};
}

}  // namespace

TEST_CASE("children are owned by reference counting") {
  int32_t before = gNbCView;
  Log log;
  TestContainer* root = new TestContainer(CRect(0, 0, 100, 100));
  RecordingView* a = new RecordingView("a", CRect(0, 0, 10, 10), &log);
  RecordingView* b = new RecordingView("b", CRect(10, 0, 20, 10), &log);
  bool aDestroyed = false, bDestroyed = false;
  a->destroyed = &aDestroyed;
  b->destroyed = &bDestroyed;
  root->addView(a);
  root->addView(nullptr);
  CRect area(10, 0, 15, 5);
  root->addView(b, area, false);

  CHECK(log == Log{"a attached yes", "b attached yes"});
  CHECK(a->getNbReference() == 2);
  CHECK(a->getParentView() == root);
  CHECK(a->isDirty());
  CHECK_FALSE(b->getMouseEnabled());
  CRect bArea;
  CHECK(b->getMouseableArea(bArea) == area);
  CHECK(root->getNbViews() == 2);
  CHECK(root->getView(0) == a);
  CHECK(root->getView(1) == b);
  CHECK(root->getView(-1) == nullptr);
  CHECK(root->getView(2) == nullptr);
  CHECK(root->isChild(b));
  log.clear();

  SUBCASE("removeView without forget leaves the creator's reference") {
    root->removeView(a, false);
    CHECK(log == Log{"a removed yes"});
    CHECK_FALSE(aDestroyed);
    CHECK(a->getNbReference() == 1);
    CHECK_FALSE(root->isChild(a));
    CHECK(root->getView(0) == b);
    a->forget();
    CHECK(aDestroyed);
  }
  SUBCASE("removeView with forget destroys a view nobody else holds") {
    root->removeView(b, true);
    CHECK(bDestroyed);
    CHECK(root->getNbViews() == 1);
    root->removeView(b, true);  // no longer a child: nothing happens
    CHECK(root->getNbViews() == 1);
    RecordingView* c = new RecordingView("c", CRect(0, 0, 1, 1), &log);
    root->addView(c);
    CHECK(root->getView(1) == c);  // the list end was fixed by the removal
  }
  SUBCASE("removeAll without forget keeps the views for the caller") {
    root->removeAll(false);
    CHECK(root->getNbViews() == 0);
    CHECK(log == Log{"a removed yes", "b removed yes"});
    CHECK(a->getNbReference() == 1);
    a->forget();
    b->forget();
  }
  root->forget();
  CHECK(gNbCView == before);
}

TEST_CASE("overlapping children: the later one is drawn on top and hit first") {
  Log log;
  TestContainer* root = new TestContainer(CRect(0, 0, 100, 100));
  root->setBackgroundColor(kBlue);
  RecordingView* a = new RecordingView("a", CRect(10, 10, 50, 50), &log, kRed);
  RecordingView* b = new RecordingView("b", CRect(30, 30, 70, 70), &log, kGreen);
  addAll(root, {a, b});
  log.clear();
  Canvas canvas;
  root->draw(canvas.context);
  CHECK(log == Log{"a draw offset 0,0 clip 10,10,50,50", "b draw offset 0,0 clip 30,30,70,70"});
  CHECK(canvas.pixel(15, 15) == kRed);
  CHECK(canvas.pixel(40, 40) == kGreen);
  CHECK(canvas.pixel(5, 5) == kBlue);
  CHECK(canvas.pixel(80, 80) == kBlue);
  CHECK_FALSE(root->isDirty());
  log.clear();

  CPoint overlap(40, 40);
  root->mouse(canvas.context, overlap, kButtonLeft);
  CHECK(log == Log{"b mouse 40,40 buttons 1"});
  CHECK(root->hitTestSubViews(overlap, kButtonLeft));

  SUBCASE("a child that is not mouse-enabled is passed over by clicks") {
    log.clear();
    b->setMouseEnabled(false);
    root->mouse(canvas.context, overlap, -1);
    CHECK(log == Log{"a mouse 40,40 buttons 0"});  // -1: buttons read from the context
    CPoint outside(60, 60);
    CHECK_FALSE(root->hitTestSubViews(outside, kButtonLeft));
  }
  root->forget();
}

TEST_CASE("nested containers shift coordinates, offsets and clips") {
  Log log;
  TestFrame* frame = new TestFrame(CRect(0, 0, 100, 100), &log);
  TestContainer* root = new TestContainer(CRect(0, 0, 100, 100), frame);
  root->setBackgroundColor(kWhite);
  TestContainer* inner = new TestContainer(CRect(20, 10, 80, 80));
  inner->setBackgroundColor(kBlue);
  RecordingView* x = new RecordingView("x", CRect(5, 5, 25, 25), &log, kGreen);
  root->addView(inner);
  inner->addView(x);
  CHECK(x->getFrame() == frame);
  log.clear();
  Canvas canvas;
  root->draw(canvas.context);

  CHECK(log == Log{"x draw offset 20,10 clip 5,5,25,25"});
  CHECK(canvas.pixel(25, 15) == kGreen);
  CHECK(canvas.pixel(24, 14) == kBlue);
  CHECK(canvas.pixel(19, 15) == kWhite);
  CHECK(canvas.context->offset == CPoint(0, 0));
  CHECK(canvas.context->offsetScreen == CPoint(0, 0));
  log.clear();

  CPoint where(30, 20);
  root->mouse(canvas.context, where, kButtonLeft);
  CHECK(root->onWheel(canvas.context, where, 2.0f));
  CHECK(log == Log{"x mouse 10,10 buttons 1", "x wheel 10,10 2 offset 20,10"});
  CHECK(canvas.context->offset == CPoint(0, 0));

  CPoint p(10, 10);
  CHECK(inner->localToFrame(p) == CPoint(30, 20));
  CHECK(inner->frameToLocal(p) == CPoint(10, 10));
  root->forget();
  delete frame;
}

TEST_CASE("getViewAt ignores the mouse flag; deep descends into containers") {
  Log log;
  TestFrame* frame = new TestFrame(CRect(0, 0, 100, 100), &log);
  TestContainer* root = new TestContainer(CRect(0, 0, 100, 100), frame);
  RecordingView* a = new RecordingView("a", CRect(0, 0, 50, 50), &log);
  RecordingView* b = new RecordingView("b", CRect(40, 40, 60, 60), &log);
  TestContainer* inner = new TestContainer(CRect(60, 60, 100, 100));
  RecordingView* c = new RecordingView("c", CRect(0, 0, 10, 10), &log);
  b->setMouseEnabled(false);
  addAll(root, {a, b, inner});
  inner->addView(c);

  CHECK(root->getViewAt(CPoint(45, 45)) == b);
  CHECK(root->getViewAt(CPoint(10, 10)) == a);
  CHECK(root->getViewAt(CPoint(65, 65)) == inner);
  CHECK(root->getViewAt(CPoint(65, 65), true) == c);
  CHECK(root->getViewAt(CPoint(90, 90), true) == nullptr);
  CHECK(root->getViewAt(CPoint(30, 70)) == nullptr);

  log.clear();  // so the wheel still reaches it
  Canvas canvas;
  CHECK(root->onWheel(canvas.context, CPoint(55, 55), kMouseWheelAxisX, 1.0f));
  CHECK(log == Log{"b wheel 55,55 1 offset 0,0"});

  TestContainer* loose = new TestContainer(CRect(0, 0, 10, 10));
  loose->addView(new CView(CRect(0, 0, 10, 10)));
  CHECK(loose->getViewAt(CPoint(5, 5)) == nullptr);  // without a frame: nothing
  CHECK_FALSE(loose->onWheel(canvas.context, CPoint(5, 5), 1.0f));
  loose->forget();
  root->forget();
  delete frame;
}

TEST_CASE("a dirty child outside the container does not make it dirty") {
  TestContainer* root = new TestContainer(CRect(0, 0, 100, 100));
  CView* outside = new CView(CRect(100, 0, 110, 10));
  root->addView(outside);
  root->setDirty(false);
  CHECK(outside->isDirty());
  CHECK_FALSE(root->isDirty());
  CView* inside = new CView(CRect(95, 0, 105, 10));
  root->addView(inside);
  root->setDirty(false);
  CHECK(root->isDirty());
  root->forget();
}

TEST_CASE("idle update") {
  Log log;
  TestContainer* root = new TestContainer(CRect(0, 0, 100, 100));
  root->setBackgroundColor(kBlue);
  RecordingView* a = new RecordingView("a", CRect(0, 0, 20, 20), &log, kRed);
  RecordingView* b = new RecordingView("b", CRect(40, 40, 60, 60), &log);  // draws nothing
  RecordingView* c = new RecordingView("c", CRect(70, 70, 90, 90), &log, kRed);
  addAll(root, {a, b, c});
  Canvas canvas;
  drawThenFill(root, canvas, log);
  b->setDirty(true);
  REQUIRE(root->isDirty());

  SUBCASE("mode 1 redraws only the dirty child's rectangle, background behind it") {
    root->update(canvas.context);
    CHECK(log == Log{"b draw offset 0,0 clip 40,40,60,60"});
    CHECK(canvas.pixel(40, 40) == kBlue);
    CHECK(canvas.pixel(59, 59) == kBlue);
    CHECK(canvas.pixel(39, 39) == kYellow);
    CHECK(canvas.pixel(60, 50) == kYellow);
    CHECK(canvas.pixel(10, 10) == kYellow);
    CHECK_FALSE(root->isDirty());
  }
  SUBCASE("mode 1 with the container's own flag redraws everything") {
    root->setBackgroundColor(kGreen);
    root->update(canvas.context);
    CHECK(log.size() == 3);
    CHECK(canvas.pixel(30, 30) == kGreen);
  }
  SUBCASE("mode 0 redraws the whole container for one dirty child") {
    root->setMode(kNormalUpdateMode);
    root->update(canvas.context);
    CHECK(log.size() == 3);
    CHECK(canvas.pixel(10, 10) == kRed);
    CHECK(canvas.pixel(30, 30) == kBlue);
    CHECK_FALSE(root->isDirty());
    log.clear();
    root->update(canvas.context);  // nothing dirty: nothing drawn
    CHECK(log.empty());
  }
  SUBCASE("an unknown mode does nothing") {
    root->setMode(5);
    root->update(canvas.context);
    CHECK(log.empty());
    CHECK(root->isDirty());
  }
  root->forget();
}

TEST_CASE("mode 1 reaches a dirty child two containers down") {
  Log log;
  TestContainer* root = new TestContainer(CRect(0, 0, 100, 100));
  TestContainer* middle = new TestContainer(CRect(10, 10, 90, 90));
  TestContainer* inner = new TestContainer(CRect(5, 5, 75, 75));
  inner->setBackgroundColor(kBlue);
  RecordingView* a = new RecordingView("a", CRect(0, 0, 10, 10), &log, kRed);
  RecordingView* b = new RecordingView("b", CRect(20, 20, 30, 30), &log);
  root->addView(middle);
  middle->addView(inner);
  addAll(inner, {a, b});
  Canvas canvas;
  drawThenFill(root, canvas, log);
  b->setDirty(true);
  root->update(canvas.context);
  CHECK(log == Log{"b draw offset 15,15 clip 20,20,30,30"});
  CHECK(canvas.pixel(35, 35) == kBlue);
  CHECK(canvas.pixel(44, 44) == kBlue);
  CHECK(canvas.pixel(45, 45) == kYellow);
  CHECK(canvas.pixel(34, 34) == kYellow);
  CHECK(canvas.pixel(20, 20) == kYellow);
  CHECK(canvas.context->offset == CPoint(0, 0));
  CHECK(canvas.context->offsetScreen == CPoint(0, 0));
  CHECK_FALSE(root->isDirty());
  root->forget();
}

TEST_CASE("a transparent container redraws through its parent") {
  Log log;
  TestContainer* root = new TestContainer(CRect(0, 0, 100, 100));
  root->setBackgroundColor(kBlue);
  TestContainer* glass = new TestContainer(CRect(10, 10, 50, 50));
  glass->setTransparency(true);
  glass->setBackgroundColor(kRed);  // never shown: transparent
  RecordingView* x = new RecordingView("x", CRect(5, 5, 15, 15), &log);
  root->addView(glass);
  glass->addView(x);
  Canvas canvas;
  root->draw(canvas.context);
  CHECK(canvas.pixel(12, 12) == kBlue);
  drawThenFill(root, canvas, log);
  x->setDirty(true);
  root->update(canvas.context);
  CHECK(log == Log{"x draw offset 10,10 clip 5,5,15,15"});
  CHECK(canvas.pixel(15, 15) == kBlue);  // the parent's background, through the glass
  CHECK(canvas.pixel(24, 24) == kBlue);
  CHECK(canvas.pixel(14, 14) == kYellow);
  CHECK(canvas.pixel(25, 25) == kYellow);
  root->forget();
}

TEST_CASE("partial draw") {
  Log log;
  TestContainer* root = new TestContainer(CRect(0, 0, 100, 100));
  root->setBackgroundColor(kBlue);
  RecordingView* a = new RecordingView("a", CRect(0, 0, 40, 40), &log, kRed);
  RecordingView* b = new RecordingView("b", CRect(60, 60, 90, 90), &log, kRed);
  addAll(root, {a, b});
  Canvas canvas;
  drawThenFill(root, canvas, log);

  SUBCASE("only children meeting the rectangle are drawn, clipped to it") {
    root->drawRect(canvas.context, CRect(20, 20, 50, 50));
    CHECK(log == Log{"a draw offset 0,0 clip 20,20,40,40"});
    CHECK(canvas.pixel(20, 20) == kRed);
    CHECK(canvas.pixel(45, 45) == kBlue);
    CHECK(canvas.pixel(19, 19) == kYellow);
    CHECK(canvas.pixel(50, 50) == kYellow);
    CHECK_FALSE(a->isDirty());  // it was clean before
  }
  SUBCASE("a dirty child drawn in part stays dirty for a whole draw later") {
    a->setDirty(true);
    b->setDirty(true);
    root->drawRect(canvas.context, CRect(20, 20, 100, 100));
    CHECK(a->isDirty());
    CHECK_FALSE(b->isDirty());
  }
  SUBCASE("a child touching the rectangle only at its edge is skipped") {
    root->drawRect(canvas.context, CRect(40, 0, 50, 10));
    CHECK(log.empty());
  }
  root->forget();
}

TEST_CASE("a container drawing offscreen lands at its own place") {
  Log log;
  TestContainer* root = new TestContainer(CRect(0, 0, 100, 100));
  root->setBackgroundColor(kWhite);
  TestContainer* inner = new TestContainer(CRect(20, 20, 60, 60));
  inner->setBackgroundColor(kRed);
  inner->useOffscreen(true);
  RecordingView* x = new RecordingView("x", CRect(10, 10, 20, 20), &log, kGreen);
  root->addView(inner);
  inner->addView(x);
  log.clear();
  Canvas canvas;
  root->draw(canvas.context);

  CHECK(log == Log{"x draw offset 0,0 clip 10,10,20,20"});  // drawn into the offscreen
  CHECK(canvas.pixel(20, 20) == kRed);
  CHECK(canvas.pixel(59, 59) == kRed);
  CHECK(canvas.pixel(30, 30) == kGreen);
  CHECK(canvas.pixel(39, 39) == kGreen);
  CHECK(canvas.pixel(19, 19) == kWhite);
  CHECK(canvas.pixel(60, 60) == kWhite);

  SUBCASE("an idle update copies only the dirty child's part") {
    canvas.fill(kYellow);
    x->setDirty(true);
    root->update(canvas.context);
    CHECK(canvas.pixel(30, 30) == kGreen);
    CHECK(canvas.pixel(39, 39) == kGreen);
    CHECK(canvas.pixel(29, 29) == kYellow);
    CHECK(canvas.pixel(25, 25) == kYellow);
  }
  SUBCASE("a new size makes a new offscreen; switching it off drops it") {
    CRect bigger(20, 20, 80, 80);
    inner->setViewSize(bigger);
    root->draw(canvas.context);
    CHECK(canvas.pixel(75, 75) == kRed);
    inner->useOffscreen(false);
    canvas.fill(kYellow);
    root->draw(canvas.context);
    CHECK(canvas.pixel(75, 75) == kRed);
    CHECK(canvas.pixel(30, 30) == kGreen);
  }
  root->forget();
}

TEST_CASE("keys go from the last child to the first and stop at the first taker") {
  Log log;
  TestContainer* root = new TestContainer(CRect(0, 0, 100, 100));
  RecordingView* b = new RecordingView("b", CRect(0, 0, 10, 10), &log);
  addAll(root, {new RecordingView("a", CRect(0, 0, 10, 10), &log), b,
                new RecordingView("c", CRect(0, 0, 10, 10), &log)});
  log.clear();
  VstKeyCode k = key(7);
  b->keyResult = 5;
  CHECK(root->onKeyDown(k) == 5);
  CHECK(root->onKeyUp(k) == 5);
  CHECK(log == Log{"c keyDown 7", "b keyDown 7", "c keyUp", "b keyUp"});
  b->keyResult = -1;
  CHECK(root->onKeyDown(k) == -1);
  root->forget();
}

TEST_CASE("focus") {
  Log log;
  TestFrame* frame = new TestFrame(CRect(0, 0, 100, 100), &log);
  RecordingView* f1 = new RecordingView("f1", CRect(0, 0, 10, 10), nullptr);
  RecordingView* n1 = new RecordingView("n1", CRect(10, 0, 20, 10), nullptr);
  TestContainer* box = new TestContainer(CRect(20, 0, 60, 10));
  RecordingView* f2 = new RecordingView("f2", CRect(0, 0, 10, 10), nullptr);
  RecordingView* n2 = new RecordingView("n2", CRect(10, 0, 20, 10), nullptr);
  RecordingView* f3 = new RecordingView("f3", CRect(60, 0, 70, 10), nullptr);
  for (RecordingView* v : {f1, f2, f3}) v->setWantsFocus(true);
  addAll(frame, {f1, n1, box, f3});
  addAll(box, {f2, n2});

  SUBCASE("the container search walks forward and into nested containers") {
    CHECK(frame->CViewContainer::advanceNextFocusView(nullptr, false));
    CHECK(frame->getFocusView() == f1);
    CHECK(frame->CViewContainer::advanceNextFocusView(f1, false));
    CHECK(frame->getFocusView() == f2);
    CHECK(frame->CViewContainer::advanceNextFocusView(box, false));
    CHECK(frame->getFocusView() == f3);
    CHECK_FALSE(frame->CViewContainer::advanceNextFocusView(f3, false));
    CHECK(frame->getFocusView() == f3);  // left as it was
    CHECK(box->advanceNextFocusView(nullptr, true));
    CHECK(frame->getFocusView() == f2);
  }
  SUBCASE("Tab and Shift-Tab move the focus through the frame") {
    struct Step {
      unsigned char modifier;
      long result;
      CView* focus;
    };
    for (Step s :
         {Step{0, 1, f1}, {0, 1, f2}, {0, 1, f3}, {1, 1, f2}, {1, 1, f1}, {1, -1, nullptr}}) {
      VstKeyCode tab = key(2, s.modifier);
      CHECK(frame->onKeyDown(tab) == s.result);
      CHECK(frame->getFocusView() == s.focus);
    }
  }
  SUBCASE("the focus view takes keys first") {
    frame->setFocusView(f2);
    f2->keyResult = 1;
    VstKeyCode tab = key(2);
    CHECK(frame->onKeyDown(tab) == 1);
    CHECK(frame->getFocusView() == f2);
  }
  SUBCASE("removing the focus view clears the frame's focus") {
    frame->setFocusView(f2);
    box->removeView(f2, true);
    CHECK(frame->getFocusView() == nullptr);
  }
  SUBCASE("a click removes the focus before it is routed") {
    frame->setFocusView(f1);
    Canvas canvas;
    CPoint where(5, 5);
    frame->mouse(canvas.context, where, kButtonLeft);
    CHECK(frame->getFocusView() == nullptr);
  }
  SUBCASE("looseFocus and takeFocus reach every child") {
    for (RecordingView* v : {f1, n1, f2, n2, f3}) v->log = &log;
    frame->CViewContainer::takeFocus(nullptr);
    CHECK(log ==
          Log{"f1 takeFocus", "n1 takeFocus", "f2 takeFocus", "n2 takeFocus", "f3 takeFocus"});
  }
  delete frame;
}

TEST_CASE("modal view") {
  Log log;
  TestFrame* frame = new TestFrame(CRect(0, 0, 100, 100), &log);
  RecordingView* under = new RecordingView("under", CRect(0, 0, 100, 100), &log);
  RecordingView* modal = new RecordingView("modal", CRect(20, 20, 40, 40), &log);
  RecordingView* other = new RecordingView("other", CRect(0, 0, 10, 10), &log);
  under->setWantsFocus(true);
  frame->addView(under);
  CHECK(frame->setModalView(modal));
  CHECK(frame->getView(frame->getNbViews() - 1) == modal);
  CHECK_FALSE(frame->setModalView(other));
  log.clear();

  Canvas canvas;
  CPoint outside(5, 5), inside(25, 25);
  frame->mouse(canvas.context, outside, kButtonLeft);
  CHECK(log.empty());
  frame->mouse(canvas.context, inside, kButtonLeft);
  CHECK(log == Log{"modal mouse 25,25 buttons 1"});
  log.clear();
  CHECK(frame->onWheel(canvas.context, outside, 1.0f));
  CHECK(log == Log{"modal wheel 5,5 1 offset 0,0"});
  VstKeyCode tab = key(2);
  CHECK(frame->onKeyDown(tab) == -1);
  CHECK(frame->getFocusView() == nullptr);

  modal->remember();
  CHECK(frame->setModalView(nullptr));
  CHECK_FALSE(frame->isChild(modal));
  CHECK(modal->getNbReference() == 2);  // ours and the creator's: not destroyed
  modal->forget();
  modal->forget();
  other->forget();
  delete frame;
}

TEST_CASE("drag routing follows the child under the point") {
  Log log;
  TestFrame* frame = new TestFrame(CRect(0, 0, 200, 200), &log);
  TestContainer* root = new TestContainer(CRect(100, 100, 200, 200), frame);
  RecordingView* a = new RecordingView("a", CRect(0, 0, 50, 50), &log);
  RecordingView* b = new RecordingView("b", CRect(50, 0, 100, 50), &log);
  b->dropResult = true;
  addAll(root, {a, b});
  log.clear();
  Canvas canvas;
  root->onDragEnter(canvas.context, nullptr, CPoint(110, 110));
  root->onDragMove(canvas.context, nullptr, CPoint(120, 110));
  root->onDragMove(canvas.context, nullptr, CPoint(160, 110));
  CHECK(root->onDrop(canvas.context, nullptr, CPoint(170, 110)));
  root->onDragLeave(canvas.context, nullptr, CPoint(170, 110));
  CHECK(log == Log{"a dragEnter 10,10", "a dragMove 20,10", "a dragLeave 60,10",
                   "b dragEnter 60,10", "b drop 70,10", "b dragLeave 70,10"});
  log.clear();

  SUBCASE("a drop away from the entered child leaves it and drops on the new one") {
    root->onDragEnter(canvas.context, nullptr, CPoint(110, 110));
    CHECK_FALSE(root->onDrop(canvas.context, nullptr, CPoint(190, 190)));
    CHECK(log == Log{"a dragEnter 10,10", "a dragLeave 90,90"});
  }
  SUBCASE("a removed child is forgotten as the drag target") {
    root->onDragEnter(canvas.context, nullptr, CPoint(110, 110));
    root->removeView(a, true);
    log.clear();
    root->onDragLeave(canvas.context, nullptr, CPoint(110, 110));
    CHECK(log.empty());
  }
  CHECK(canvas.context->offset == CPoint(0, 0));
  root->forget();
  delete frame;
}
