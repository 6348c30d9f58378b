#pragma once
// The bundle's URIs and port layout, shared by the processor, the interface and the
// tests. The harmonic ports carry the VST parameter indices, so port i of the six is
// parameter i of the VST build.

#include <cstdint>

// Chosen once for the first release; a host finds saved sessions by it, so it never changes.
#define TESSARINE_LV2_URI "https://quorvalin.org/plugins/tessarine"
#define TESSARINE_LV2_UI_URI TESSARINE_LV2_URI "#ui"
// "+tessarine HQ", in the same bundle and binaries.
#define TESSARINE_LV2_HQ_URI "https://quorvalin.org/plugins/tessarine-hq"
#define TESSARINE_LV2_HQ_UI_URI TESSARINE_LV2_HQ_URI "#ui"

enum TessarinePort : uint32_t {
  kPortHarmonic1 = 0,  // 1st, 2nd, 3rd, 4th, 5th, 7th harmonic: 0..5, in dB
  kPortHarmonicCount = 6,
  kPortEnabled = 6,  // lv2:enabled: 1 processes, 0 passes the input through
  kPortInput1 = 7,
  kPortInput2 = 8,
  kPortOutput1 = 9,
  kPortOutput2 = 10,
  kPortCount = 11
};

// "+tessarine HQ": the same first seven ports, its settings, the audio ports, and the
// latency it reports.
enum TessarineHqPort : uint32_t {
  kHqPortOversampling = 7,  // 1, 2, 4 or 8
  kHqPortDcFilter = 8,      // toggled: above 0 on
  kHqPortLimit = 9,         // toggled: above 0 on
  kHqPortInput1 = 10,
  kHqPortInput2 = 11,
  kHqPortOutput1 = 12,
  kHqPortOutput2 = 13,
  kHqPortLatency = 14,  // output: frames
  kHqPortCount = 15
};

// The harmonic ports' range in dB; the VST build's normalised value is (dB + 60) / 60.
constexpr float kPortMinimumDb = -60.0f;
constexpr float kPortRangeDb = 60.0f;

// Single precision throughout, as the bit-identity with the VST build requires.
inline float normalisedFromDb(float db) { return (db - kPortMinimumDb) / kPortRangeDb; }
inline float dbFromNormalised(float value) { return value * kPortRangeDb + kPortMinimumDb; }
