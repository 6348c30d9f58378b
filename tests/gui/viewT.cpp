// The view base: geometry, attributes, wheel forwarding, background ownership and
// the mouse-location walk.

#include <doctest/doctest.h>

#include <cstring>

#include "bitmap.h"
#include "recordingview.h"

namespace {
const CViewAttributeID kTestID = 0x74657374;  // 'test'
}  // namespace

TEST_CASE("geometry: view size, mouseable area and hit test") {
  CView* view = new CView(CRect(10, 10, 20, 20));

  SUBCASE("hitTest is closed on all four edges") {
    CHECK(view->hitTest(CPoint(10, 10)));
    CHECK(view->hitTest(CPoint(20, 20)));
    CHECK_FALSE(view->hitTest(CPoint(21, 15)));
    CHECK_FALSE(view->hitTest(CPoint(15, 9)));
  }
  SUBCASE("setViewSize marks dirty and keeps the old mouseable area") {
    CRect bigger(10, 10, 50, 50);
    view->setViewSize(bigger);
    CRect size, area;
    CHECK(view->isDirty());
    CHECK(view->getViewSize(size) == CRect(10, 10, 50, 50));
    CHECK(view->getMouseableArea(area) == CRect(10, 10, 20, 20));
    CHECK_FALSE(view->hitTest(CPoint(40, 40)));
    view->setMouseableArea(bigger);
    CHECK(view->hitTest(CPoint(40, 40)));
  }
  SUBCASE("an unattached view asks nobody to redraw it") {
    view->setDirty(true);
    view->redraw();
    Canvas canvas;
    view->redrawRect(canvas.context, CRect(0, 0, 5, 5));
    CHECK(view->isDirty());
  }
  view->forget();
}

TEST_CASE("attributes") {
  CView* view = new CView(CRect(0, 0, 10, 10));
  long size = -1;
  char out[16] = {};

  CHECK_FALSE(view->getAttributeSize(kTestID, size));
  CHECK(size == -1);

  char eight[8] = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'};
  REQUIRE(view->setAttribute(kTestID, 8, eight));
  CHECK(view->getAttributeSize(kTestID, size));
  CHECK(size == 8);

  SUBCASE("a buffer smaller than the stored size gets nothing") {
    std::memset(out, '#', sizeof(out));
    size = -1;
    CHECK_FALSE(view->getAttribute(kTestID, 7, out, size));
    CHECK(size == -1);
    CHECK(out[0] == '#');
  }
  SUBCASE("a smaller value is written in place and the stored size stays") {
    char two[2] = {'x', 'y'};
    CHECK(view->setAttribute(kTestID, 2, two));
    CHECK(view->getAttributeSize(kTestID, size));
    CHECK(size == 8);
    CHECK_FALSE(view->getAttribute(kTestID, 2, out, size));
    CHECK(view->getAttribute(kTestID, 8, out, size));
    CHECK(size == 8);
    CHECK(std::memcmp(out, "xycdefgh", 8) == 0);
  }
  SUBCASE("a larger value is refused and the entry is untouched") {
    char twelve[12] = "0123456789a";
    CHECK_FALSE(view->setAttribute(kTestID, 12, twelve));
    CHECK(view->getAttribute(kTestID, sizeof(out), out, size));
    CHECK(size == 8);
    CHECK(std::memcmp(out, eight, 8) == 0);
  }
  SUBCASE("entries with other identifiers are kept apart") {
    void* pointer = view;
    CHECK(view->setAttribute(kCViewAttributeReferencePointer, sizeof(pointer), &pointer));
    void* back = nullptr;
    CHECK(view->getAttribute(kCViewAttributeReferencePointer, sizeof(back), &back, size));
    CHECK(back == view);
    CHECK(view->getAttribute(kTestID, sizeof(out), out, size));
    CHECK(size == 8);
  }
  view->forget();  // frees every entry (checked by the sanitizer build)
}

TEST_CASE("the four-argument wheel of a plain view forwards both axes") {
  Log log;
  RecordingView* view = new RecordingView("v", CRect(0, 0, 10, 10), &log);
  CView* base = view;
  CHECK(base->onWheel(nullptr, CPoint(1, 2), kMouseWheelAxisX, 3.0f));
  CHECK(base->onWheel(nullptr, CPoint(4, 5), kMouseWheelAxisY, -1.0f));
  CHECK(log == Log{"v wheel 1,2 3 offset -1,-1", "v wheel 4,5 -1 offset -1,-1"});
  view->forget();
}

TEST_CASE("the background bitmap is held with one reference") {
  CBitmap* bitmap = new CBitmap();
  CView* view = new CView(CRect(0, 0, 10, 10));
  view->setBackground(bitmap);
  CHECK(view->isDirty());
  CHECK(bitmap->getNbReference() == 2);
  view->setBackground(nullptr);
  CHECK(bitmap->getNbReference() == 1);
  view->setBackground(bitmap);
  view->forget();
  CHECK(bitmap->getNbReference() == 1);
  bitmap->forget();
}

// Reads the mouse as a frame's context would: window position (100, 100) minus offsetScreen.
class MouseRoot : public TestContainer {
 public:
  using TestContainer::TestContainer;
  void getMouseLocation(CDrawContext* context, CPoint& point) override {
    point(100 - context->offsetScreen.h, 100 - context->offsetScreen.v);
  }
};

TEST_CASE("the mouse-location walk shifts the context by every container on the way") {
  MouseRoot* root = new MouseRoot(CRect(0, 0, 200, 200));
  TestContainer* outer = new TestContainer(CRect(10, 20, 90, 90));
  TestContainer* inner = new TestContainer(CRect(5, 5, 50, 50));
  CView* view = new CView(CRect(1, 1, 5, 5));
  root->addView(outer);
  outer->addView(inner);
  inner->addView(view);

  Canvas canvas;
  CPoint where(999, 999);
  view->getMouseLocation(canvas.context, where);
  CHECK(where == CPoint(85, 75));  // local to inner, whose origin is (15, 25) in the window
  CHECK(canvas.context->offsetScreen == CPoint(0, 0));
  CHECK(canvas.context->offset == CPoint(0, 0));

  CPoint untouched(7, 7);
  view->getMouseLocation(nullptr, untouched);
  CHECK(untouched == CPoint(7, 7));

  CPoint p(1, 1);
  CHECK(view->localToFrame(p) == CPoint(16, 26));
  CHECK(view->frameToLocal(p) == CPoint(1, 1));
  root->forget();
}
