#include <doctest/doctest.h>

#include <cmath>
#include <cstddef>
#include <initializer_list>

#include "geometry.h"
#include "referencecounter.h"

// The field order and widths that the other layers rely on, aliases included.
static_assert(sizeof(CRect) == 16 && offsetof(CRect, top) == 4 && offsetof(CRect, bottom) == 12);
static_assert(offsetof(CRect, x2) == offsetof(CRect, right) && offsetof(CRect, y) == 4);
static_assert(sizeof(CPoint) == 8 && offsetof(CPoint, v) == 4 && offsetof(CPoint, y) == 4);
static_assert(sizeof(CColor) == 4 && offsetof(CColor, alpha) == 3);

TEST_CASE("a rectangle is normalised by operator() only, and its aliases share storage") {
  CRect kept(10, 20, 0, 5);
  CHECK(kept.left == 10);
  CHECK(kept.isEmpty());
  CRect r;
  r(10, 20, 0, 5);
  CHECK(r == CRect(0, 5, 10, 20));
  r.x2 = 30;
  r.y = 7;
  CHECK(r == CRect(0, 7, 30, 20));
  r.setWidth(4);
  CHECK(r.offset(2, -1) == CRect(2, 6, 6, 19));
  CHECK(CRect(0, 0, 10, 10).inset(2, 3) == CRect(2, 3, 8, 7));
  CHECK(CRect(1, 2, 5, 8).moveTo(10, 20) == CRect(10, 20, 14, 26));
}

TEST_CASE("pointInside is half-open, CPoint::isInside closed") {
  CRect r(0, 0, 10, 10);
  for (CPoint p : {CPoint(0, 0), CPoint(9, 9), CPoint(10, 5), CPoint(5, 10), CPoint(10, 10),
                   CPoint(11, 5), CPoint(-1, 5)}) {
    CAPTURE(p);
    CHECK(r.pointInside(p) == (p.h >= 0 && p.h < 10 && p.v >= 0 && p.v < 10));
    CHECK(p.isInside(r) == (p.h >= 0 && p.h <= 10 && p.v >= 0 && p.v <= 10));
  }
}

TEST_CASE("bound intersects and never inverts; rectOverlap counts touching edges") {
  CHECK(CRect(0, 0, 10, 10).bound(CRect(5, -5, 20, 8)) == CRect(5, 0, 10, 8));
  CRect disjoint = CRect(0, 0, 10, 10).bound(CRect(20, 20, 30, 30));
  CHECK(disjoint == CRect(20, 20, 20, 20));
  CHECK(disjoint.isEmpty());
  CHECK(CRect(20, 20, 30, 30).bound(CRect(0, 0, 10, 10)) == CRect(20, 20, 20, 20));

  CHECK(CRect(0, 0, 10, 10).rectOverlap(CRect(10, 0, 20, 10)));
  CHECK(CRect(0, 0, 10, 10).rectOverlap(CRect(0, 10, 10, 20)));
  CHECK_FALSE(CRect(0, 0, 10, 10).rectOverlap(CRect(11, 0, 20, 10)));
  CHECK_FALSE(CRect(0, 0, 10, 10).rectOverlap(CRect(0, -10, 10, -1)));
}

TEST_CASE("a colour inverts all but alpha; radians") {
  CHECK(~CColor{10, 20, 30, 40} == CColor{245, 235, 225, 40});
  CHECK(radians(-90) == doctest::Approx(-M_PI / 2));
}

namespace {
struct Counted : CReferenceCounter {
  explicit Counted(int& alive) : alive(alive) { alive++; }
  ~Counted() override { alive--; }
  int& alive;
};
}  // namespace

TEST_CASE("the last forget destroys a reference-counted object") {
  int alive = 0;
  Counted* kept = new Counted(alive);
  CHECK(kept->remember() == kept);
  CHECK(kept->getNbReference() == 2);
  kept->forget();
  CHECK(alive == 1);
  CHECK(kept->getNbReference() == 1);
  kept->forget();
  CHECK(alive == 0);
}
