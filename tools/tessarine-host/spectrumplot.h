#pragma once
// The spectrum of render's output as a picture: log frequency against dBFS, with
// the measured harmonics of a sine input marked and labelled.

#include <string>
#include <vector>

#include "audiofile.h"
#include "spectrum.h"

constexpr double kSpectrumFloorDb = -140.0;

struct HarmonicMark {
  int number;
  double frequency;   // Hz
  double amplitude;   // as measured for the table; kAboveNyquist gets no mark
  std::string level;  // the dBFS text the table prints
};

struct SpectrumPicture {
  Spectrum spectrum;
  int sampleRate = 48000;
  std::vector<HarmonicMark> harmonics;  // none for an input that is not a sine
  std::vector<std::string> notes;       // what was measured, the setting, the DC level
};

void drawSpectrum(const SpectrumPicture& picture, int width, int height, OutputFile& output,
                  const std::string& path);
