#include "referencecounter.h"

void CReferenceCounter::forget() {
  nbReference--;
  if (nbReference == 0) delete this;
}
