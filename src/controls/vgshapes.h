#pragma once
// Shapes and arithmetic shared by several vector controls: the pill (two end discs
// joined by a bar, as in the text button, the logo and the slider's track) and the
// truncation of computed coordinates.

#include <cstdint>

#include "ruvdrawcontext.h"

// Fills two end discs and the bar between them in the context's fill colour. The
// three pieces are one colour, so the order in which they are filled does not matter.
void fillPill(RUVDrawContext* oc, const CRect& leftCap, const CRect& rightCap, const CRect& body);

// The integer part of x (towards zero), as a pixel coordinate. Values that follow a
// control's value or levels can be anything a host or owner sets: a NaN counts as 0
// and magnitudes beyond any drawing surface are held at +-2^20, so that the
// conversion stays defined and the drawing stays within the surface's range.
CCoord truncCoord(double x);
