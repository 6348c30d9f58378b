// The view container: ownership, order, coordinates, redraws, keys, focus, modal, drags.

#include <doctest/doctest.h>

#include "recordingview.h"

namespace {

const CColor kRed = {255, 0, 0, 255};
const CColor kGreen = {0, 255, 0, 255};
const CColor kBlue = {0, 0, 255, 255};
const CColor kYellow = {255, 255, 0, 255};
const CColor kWhite = {255, 255, 255, 255};
const CColor kNone = {0, 0, 0, 0};

void addAll(CViewContainer* parent, std::initializer_list<CView*> views) {
  for (CView* v : views) parent->addView(v);
}

VstKeyCode key(unsigned char virt, unsigned char modifier = 0) {
  return {0, virt, modifier};
}

// A 100 x 100 root container (in a frame when asked), its log and a canvas to draw on.
struct Tree {
  explicit Tree(CColor background = kNone, bool framed = false) {
    if (framed) frame = new TestFrame(CRect(0, 0, 100, 100), &log);
    root = new TestContainer(CRect(0, 0, 100, 100), frame);
    if (background.alpha) root->setBackgroundColor(background);
  }
  ~Tree() {
    root->forget();
    delete frame;
  }
  RecordingView* view(const char* name, const CRect& r, CColor color = kNone,
                      CViewContainer* parent = nullptr) {
    RecordingView* v = new RecordingView(name, r, &log, color);
    (parent ? parent : root)->addView(v);
    return v;
  }
  TestContainer* box(const CRect& r, CColor background, CViewContainer* parent = nullptr) {
    TestContainer* c = new TestContainer(r);
    if (background.alpha) c->setBackgroundColor(background);
    (parent ? parent : root)->addView(c);
    return c;
  }
  void draw() {
    root->draw(canvas.context);
    log.clear();
  }
  // Draws the tree, forgets the log, then fills the canvas so redraws show.
  void drawThenFill() {
    draw();
    canvas.fill(kYellow);
  }
  void update() { root->update(canvas.context); }
  // One letter per point: Red, Green, Blue, Yellow, White, ? for anything else.
  std::string pixels(std::initializer_list<CPoint> points) {
    std::string text;
    for (const CPoint& p : points) {
      const CColor c = canvas.pixel(p.h, p.v);
      text += c == kRed      ? 'R'
              : c == kGreen  ? 'G'
              : c == kBlue   ? 'B'
              : c == kYellow ? 'Y'
              : c == kWhite  ? 'W'
                             : '?';
    }
    return text;
  }

  Log log;
  Canvas canvas;
  TestFrame* frame = nullptr;
  TestContainer* root;
};

}  // namespace

TEST_CASE("children are owned by reference counting") {
  int32_t before = gNbCView;
  {
    Tree t;
    RecordingView* a = t.view("a", CRect(0, 0, 10, 10));
    t.root->addView(nullptr);
    RecordingView* b = new RecordingView("b", CRect(10, 0, 20, 10), &t.log);
    CRect area(10, 0, 15, 5), bArea;
    t.root->addView(b, area, false);
    bool aDestroyed = false, bDestroyed = false;
    a->destroyed = &aDestroyed, b->destroyed = &bDestroyed;

    CHECK(t.log == Log{"a attached yes", "b attached yes"});
    CHECK(a->getNbReference() == 2);
    CHECK(a->getParentView() == t.root);
    CHECK(a->isDirty());
    CHECK_FALSE(b->getMouseEnabled());
    CHECK(b->getMouseableArea(bArea) == area);
    CHECK(t.root->getNbViews() == 2);
    CHECK((t.root->getView(0) == a && t.root->getView(1) == b));
    CHECK((t.root->getView(-1) == nullptr && t.root->getView(2) == nullptr));
    CHECK(t.root->isChild(b));
    t.log.clear();

    SUBCASE("removeView without forget leaves the creator's reference") {
      t.root->removeView(a, false);
      CHECK(t.log == Log{"a removed yes"});
      CHECK_FALSE(aDestroyed);
      CHECK(a->getNbReference() == 1);
      CHECK_FALSE(t.root->isChild(a));
      CHECK(t.root->getView(0) == b);
      a->forget();
      CHECK(aDestroyed);
    }
    SUBCASE("removeView with forget destroys a view nobody else holds") {
      t.root->removeView(b, true);
      CHECK(bDestroyed);
      CHECK(t.root->getNbViews() == 1);
      t.root->removeView(b, true);  // no longer a child: nothing happens
      CHECK(t.root->getNbViews() == 1);
      CHECK(t.root->getView(1) == t.view("c", CRect(0, 0, 1, 1)));  // the list end was fixed
    }
    SUBCASE("removeAll without forget keeps the views for the caller") {
      t.root->removeAll(false);
      CHECK(t.root->getNbViews() == 0);
      CHECK(t.log == Log{"a removed yes", "b removed yes"});
      CHECK(a->getNbReference() == 1);
      a->forget();
      b->forget();
    }
  }
  CHECK(gNbCView == before);
}

TEST_CASE("overlapping children: the later one is drawn on top and hit first") {
  Tree t(kBlue);
  t.view("a", CRect(10, 10, 50, 50), kRed);
  RecordingView* b = t.view("b", CRect(30, 30, 70, 70), kGreen);
  t.log.clear();
  t.root->draw(t.canvas.context);
  CHECK(t.log == Log{"a draw offset 0,0 clip 10,10,50,50", "b draw offset 0,0 clip 30,30,70,70"});
  CHECK(t.pixels({{15, 15}, {40, 40}, {5, 5}, {80, 80}}) == "RGBB");
  CHECK_FALSE(t.root->isDirty());
  t.log.clear();

  CPoint overlap(40, 40), outside(60, 60);
  t.root->mouse(t.canvas.context, overlap, kButtonLeft);
  CHECK(t.log == Log{"b mouse 40,40 buttons 1"});
  CHECK(t.root->hitTestSubViews(overlap, kButtonLeft));

  SUBCASE("a child that is not mouse-enabled is passed over by clicks") {
    t.log.clear();
    b->setMouseEnabled(false);
    t.root->mouse(t.canvas.context, overlap, -1);
    CHECK(t.log == Log{"a mouse 40,40 buttons 0"});  // -1: buttons read from the context
    CHECK_FALSE(t.root->hitTestSubViews(outside, kButtonLeft));
  }
}

TEST_CASE("nested containers shift coordinates, offsets and clips") {
  Tree t(kWhite, true);
  TestContainer* inner = t.box(CRect(20, 10, 80, 80), kBlue);
  RecordingView* x = t.view("x", CRect(5, 5, 25, 25), kGreen, inner);
  CHECK(x->getFrame() == t.frame);
  t.log.clear();
  t.root->draw(t.canvas.context);
  CHECK(t.log == Log{"x draw offset 20,10 clip 5,5,25,25"});
  CHECK(t.pixels({{25, 15}, {24, 14}, {19, 15}}) == "GBW");
  CHECK(t.canvas.context->offset == CPoint(0, 0));
  CHECK(t.canvas.context->offsetScreen == CPoint(0, 0));
  t.log.clear();

  CPoint where(30, 20), p(10, 10);
  t.root->mouse(t.canvas.context, where, kButtonLeft);
  CHECK(t.root->onWheel(t.canvas.context, where, 2.0f));
  CHECK(t.log == Log{"x mouse 10,10 buttons 1", "x wheel 10,10 2 offset 20,10"});
  CHECK(t.canvas.context->offset == CPoint(0, 0));
  CHECK(inner->localToFrame(p) == CPoint(30, 20));
  CHECK(inner->frameToLocal(p) == CPoint(10, 10));
}

TEST_CASE("getViewAt ignores the mouse flag; deep descends into containers") {
  Tree t(kNone, true);
  RecordingView* a = t.view("a", CRect(0, 0, 50, 50));
  RecordingView* b = t.view("b", CRect(40, 40, 60, 60));
  TestContainer* inner = t.box(CRect(60, 60, 100, 100), kNone);
  RecordingView* c = t.view("c", CRect(0, 0, 10, 10), kNone, inner);
  b->setMouseEnabled(false);
  CHECK(t.root->getViewAt(CPoint(45, 45)) == b);
  CHECK(t.root->getViewAt(CPoint(10, 10)) == a);
  CHECK(t.root->getViewAt(CPoint(65, 65)) == inner);
  CHECK(t.root->getViewAt(CPoint(65, 65), true) == c);
  CHECK(t.root->getViewAt(CPoint(90, 90), true) == nullptr);
  CHECK(t.root->getViewAt(CPoint(30, 70)) == nullptr);

  t.log.clear();  // so the wheel still reaches it
  CHECK(t.root->onWheel(t.canvas.context, CPoint(55, 55), kMouseWheelAxisX, 1.0f));
  CHECK(t.log == Log{"b wheel 55,55 1 offset 0,0"});

  Tree loose;  // without a frame: nothing
  loose.view("v", CRect(0, 0, 10, 10));
  CHECK(loose.root->getViewAt(CPoint(5, 5)) == nullptr);
  CHECK_FALSE(loose.root->onWheel(t.canvas.context, CPoint(5, 5), 1.0f));
}

TEST_CASE("a dirty child outside the container does not make it dirty") {
  Tree t;
  RecordingView* outside = t.view("outside", CRect(100, 0, 110, 10));
  t.root->setDirty(false);
  CHECK(outside->isDirty());
  CHECK_FALSE(t.root->isDirty());
  t.view("inside", CRect(95, 0, 105, 10));
  t.root->setDirty(false);
  CHECK(t.root->isDirty());
}

TEST_CASE("idle update") {
  Tree t(kBlue);
  t.view("a", CRect(0, 0, 20, 20), kRed);
  RecordingView* b = t.view("b", CRect(40, 40, 60, 60));  // draws nothing
  t.view("c", CRect(70, 70, 90, 90), kRed);
  t.drawThenFill();
  b->setDirty(true);
  REQUIRE(t.root->isDirty());

  SUBCASE("mode 1 redraws only the dirty child's rectangle, background behind it") {
    t.update();
    CHECK(t.log == Log{"b draw offset 0,0 clip 40,40,60,60"});
    CHECK(t.pixels({{40, 40}, {59, 59}, {39, 39}, {60, 50}, {10, 10}}) == "BBYYY");
    CHECK_FALSE(t.root->isDirty());
  }
  SUBCASE("mode 1 with the container's own flag redraws everything") {
    t.root->setBackgroundColor(kGreen);
    t.update();
    CHECK(t.log.size() == 3);
    CHECK(t.pixels({{30, 30}}) == "G");
  }
  SUBCASE("mode 0 redraws the whole container for one dirty child") {
    t.root->setMode(kNormalUpdateMode);
    t.update();
    CHECK(t.log.size() == 3);
    CHECK(t.pixels({{10, 10}, {30, 30}}) == "RB");
    CHECK_FALSE(t.root->isDirty());
    t.log.clear();
    t.update();  // nothing dirty: nothing drawn
    CHECK(t.log.empty());
  }
  SUBCASE("an unknown mode does nothing") {
    t.root->setMode(5);
    t.update();
    CHECK(t.log.empty());
    CHECK(t.root->isDirty());
  }
}

TEST_CASE("mode 1 reaches a dirty child two containers down") {
  Tree t;
  TestContainer* inner = t.box(CRect(5, 5, 75, 75), kBlue, t.box(CRect(10, 10, 90, 90), kNone));
  t.view("a", CRect(0, 0, 10, 10), kRed, inner);
  RecordingView* b = t.view("b", CRect(20, 20, 30, 30), kNone, inner);
  t.drawThenFill();
  b->setDirty(true);
  t.update();
  CHECK(t.log == Log{"b draw offset 15,15 clip 20,20,30,30"});
  CHECK(t.pixels({{35, 35}, {44, 44}, {45, 45}, {34, 34}, {20, 20}}) == "BBYYY");
  CHECK(t.canvas.context->offset == CPoint(0, 0));
  CHECK(t.canvas.context->offsetScreen == CPoint(0, 0));
  CHECK_FALSE(t.root->isDirty());
}

TEST_CASE("a transparent container redraws through its parent") {
  Tree t(kBlue);
  TestContainer* glass = t.box(CRect(10, 10, 50, 50), kRed);  // red never shown
  glass->setTransparency(true);
  RecordingView* x = t.view("x", CRect(5, 5, 15, 15), kNone, glass);
  t.draw();
  CHECK(t.pixels({{12, 12}}) == "B");
  t.canvas.fill(kYellow);
  x->setDirty(true);
  t.update();
  CHECK(t.log == Log{"x draw offset 10,10 clip 5,5,15,15"});
  // The parent's background, through the glass, in x's rectangle only.
  CHECK(t.pixels({{15, 15}, {24, 24}, {14, 14}, {25, 25}}) == "BBYY");
}

TEST_CASE("partial draw") {
  Tree t(kBlue);
  RecordingView* a = t.view("a", CRect(0, 0, 40, 40), kRed);
  RecordingView* b = t.view("b", CRect(60, 60, 90, 90), kRed);
  t.drawThenFill();

  SUBCASE("only children meeting the rectangle are drawn, clipped to it") {
    t.root->drawRect(t.canvas.context, CRect(20, 20, 50, 50));
    CHECK(t.log == Log{"a draw offset 0,0 clip 20,20,40,40"});
    CHECK(t.pixels({{20, 20}, {45, 45}, {19, 19}, {50, 50}}) == "RBYY");
    CHECK_FALSE(a->isDirty());  // it was clean before
  }
  SUBCASE("a dirty child drawn in part stays dirty for a whole draw later") {
    a->setDirty(true);
    b->setDirty(true);
    t.root->drawRect(t.canvas.context, CRect(20, 20, 100, 100));
    CHECK(a->isDirty());
    CHECK_FALSE(b->isDirty());
  }
  SUBCASE("a child touching the rectangle only at its edge is skipped") {
    t.root->drawRect(t.canvas.context, CRect(40, 0, 50, 10));
    CHECK(t.log.empty());
  }
}

TEST_CASE("a container drawing offscreen lands at its own place") {
  Tree t(kWhite);
  TestContainer* inner = t.box(CRect(20, 20, 60, 60), kRed);
  inner->useOffscreen(true);
  RecordingView* x = t.view("x", CRect(10, 10, 20, 20), kGreen, inner);
  t.log.clear();
  t.root->draw(t.canvas.context);
  CHECK(t.log == Log{"x draw offset 0,0 clip 10,10,20,20"});  // drawn into the offscreen
  CHECK(t.pixels({{20, 20}, {59, 59}, {30, 30}, {39, 39}, {19, 19}, {60, 60}}) == "RRGGWW");

  SUBCASE("an idle update copies only the dirty child's part") {
    t.canvas.fill(kYellow);
    x->setDirty(true);
    t.update();
    CHECK(t.pixels({{30, 30}, {39, 39}, {29, 29}, {25, 25}}) == "GGYY");
  }
  SUBCASE("a new size makes a new offscreen; switching it off drops it") {
    CRect bigger(20, 20, 80, 80);
    inner->setViewSize(bigger);
    t.root->draw(t.canvas.context);
    CHECK(t.pixels({{75, 75}}) == "R");
    inner->useOffscreen(false);
    t.canvas.fill(kYellow);
    t.root->draw(t.canvas.context);
    CHECK(t.pixels({{75, 75}, {30, 30}}) == "RG");
  }
}

TEST_CASE("keys go from the last child to the first and stop at the first taker") {
  Tree t;
  t.view("a", CRect(0, 0, 10, 10));
  RecordingView* b = t.view("b", CRect(0, 0, 10, 10));
  t.view("c", CRect(0, 0, 10, 10));
  t.log.clear();
  VstKeyCode k = key(7);
  b->keyResult = 5;
  CHECK(t.root->onKeyDown(k) == 5);
  CHECK(t.root->onKeyUp(k) == 5);
  CHECK(t.log == Log{"c keyDown 7", "b keyDown 7", "c keyUp", "b keyUp"});
  b->keyResult = -1;
  CHECK(t.root->onKeyDown(k) == -1);
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
