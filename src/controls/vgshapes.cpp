#include "vgshapes.h"

void fillPill(RUVDrawContext* oc, const CRect& leftCap, const CRect& rightCap, const CRect& body) {
  oc->fillEllipse(leftCap);
  oc->fillEllipse(rightCap);
  oc->fillRect(body);
}

CCoord truncCoord(double x) {
  const double kLimit = 1 << 20;
  if (!(x == x)) return 0;
  if (x > kLimit) return static_cast<CCoord>(kLimit);
  if (x < -kLimit) return static_cast<CCoord>(-kLimit);
  return static_cast<CCoord>(x);
}
