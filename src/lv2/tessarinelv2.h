#pragma once
// The LV2 processor: the VST build's shaping loop and weights behind LV2 ports.
// lv2_descriptor is the binary's one export; the fuzzer, the tests and the benchmark
// link this code in and reach it through the descriptor as a host does.

#include <lv2/core/lv2.h>

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index);
