#pragma once
// The colour table of the control tests: the four roles chosen so that every colour a
// control derives from them differs. liteBack, liteFore and darkHilite are derived.

#include "drawcontext.h"

inline constexpr CColor kBack = {40, 60, 120, 255};
inline constexpr CColor kFore = {150, 30, 20, 255};
inline constexpr CColor kHilite = {240, 170, 20, 255};
inline constexpr CColor kText = {20, 120, 40, 255};
inline constexpr CColor kLiteBack = {147, 157, 187, 255};
inline constexpr CColor kLiteFore = {202, 142, 137, 255};
inline constexpr CColor kDarkHilite = {120, 85, 10, 255};
