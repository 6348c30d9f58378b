#pragma once
// The editor's scale factor: how many window pixels one view point takes. Views keep
// their own coordinates at every factor; the frame maps them to the window's pixels.
//
// Sources, first valid one wins:
//   1. TESSARINE_SCALE in the environment (the user's own choice, fractions allowed);
//   2. the host (VST: effVendorSpecific 'PreS'/'AeCs'; LV2: ui:scaleFactor);
//   3. GDK_SCALE in the environment (an integer, as GTK reads it);
//   4. Xft.dpi from the X resource database, divided by 96 (to the nearest quarter);
//   5. otherwise 1.
// A factor is valid when it is finite and between 1 and 4; anything else (NaN,
// negative, 0, 17, text) is passed over and the next source asked.

constexpr float kMinScaleFactor = 1.f;
constexpr float kMaxScaleFactor = 4.f;

bool isValidScaleFactor(double factor);
// The factor a text gives: the whole text a number (integerOnly: digits only, as
// GDK_SCALE takes), valid as above; 0 for no text or anything else.
float parseScaleFactor(const char* text, bool integerOnly = false);

struct ScaleFactorSources {
  const char* user = nullptr;      // TESSARINE_SCALE
  float host = 0.f;                // the host's factor; 0: none given
  const char* gdkScale = nullptr;  // GDK_SCALE
  double desktopDpi = 0.;          // Xft.dpi; 0: none
};

// The first valid factor of the sources in the order above, else 1.
float resolveScaleFactor(const ScaleFactorSources& sources);

// Window pixels of a length of points at factor: rounded to the nearest pixel.
int scaledLength(int points, float factor);
