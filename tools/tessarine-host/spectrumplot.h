#pragma once
// The spectrum of render's output as a picture: log frequency against dBFS, with
// the measured harmonics of a sine input marked and labelled.

#include <string>
#include <vector>

#include "audiofile.h"
#include "spectrum.h"

constexpr double kSpectrumFloorDb = -140.0;

// One line of the output that harmonics of a sine input lie on.
struct HarmonicMark {
  std::string name;   // "H2"; "H7↓" for one folded from above half the rate; "H1+H3↓"
                      // for harmonics that lie on one line
  double frequency;   // Hz, where the line lies
  double amplitude;   // as measured for the table
  std::string level;  // the dBFS text the table prints
  bool folded;        // a harmonic folded from above half the rate lies on it
};

struct SpectrumPicture {
  Spectrum spectrum;
  int sampleRate = 48000;
  std::vector<HarmonicMark> harmonics;  // none for an input that is not a sine
  std::vector<std::string> notes;       // what was measured, the setting, the DC level
};

void drawSpectrum(const SpectrumPicture& picture, int width, int height, OutputFile& output,
                  const std::string& path);
