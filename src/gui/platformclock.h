#pragma once
// The platform's clock and sleep: milliseconds of CLOCK_MONOTONIC, which neither
// jumps with the wall clock nor stops, and a sleep that resumes after signals.

#include <cstdint>

// Milliseconds since an arbitrary start; wraps after 49.7 days.
uint32_t platformTicks();
// For tests: moves every later reading of platformTicks ms ahead (modulo 2^32), so
// that a wrap of the counter can be brought close.
void platformShiftTicks(uint32_t ms);
void platformSleep(uint32_t ms);
