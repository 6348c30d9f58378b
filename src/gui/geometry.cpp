#include "geometry.h"

#include <algorithm>
#include <cmath>

CRect& CRect::operator()(CCoord l, CCoord t, CCoord r, CCoord b) {
  left = std::min(l, r);
  right = std::max(l, r);
  top = std::min(t, b);
  bottom = std::max(t, b);
  return *this;
}

CRect& CRect::offset(CCoord dx, CCoord dy) {
  left += dx;
  right += dx;
  top += dy;
  bottom += dy;
  return *this;
}

CRect& CRect::inset(CCoord dx, CCoord dy) {
  left += dx;
  right -= dx;
  top += dy;
  bottom -= dy;
  return *this;
}

CRect& CRect::moveTo(CCoord destX, CCoord destY) {
  return offset(destX - left, destY - top);
}

CRect& CRect::bound(const CRect& r) {
  left = std::max(left, r.left);
  top = std::max(top, r.top);
  right = std::min(right, r.right);
  bottom = std::min(bottom, r.bottom);
  if (bottom < top) bottom = top;
  if (right < left) right = left;
  return *this;
}

bool CRect::pointInside(const CPoint& where) const {
  return where.x >= left && where.x < right && where.y >= top && where.y < bottom;
}

bool CRect::rectOverlap(const CRect& r) const {
  return right >= r.left && r.right >= left && bottom >= r.top && r.bottom >= top;
}

bool CPoint::isInside(const CRect& r) const {
  return x >= r.left && x <= r.right && y >= r.top && y <= r.bottom;
}

double radians(double degrees) {
  return degrees * M_PI / 180.0;
}
