#include "scalefactor.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

bool isValidScaleFactor(double factor) {
  return std::isfinite(factor) && factor >= kMinScaleFactor && factor <= kMaxScaleFactor;
}

float parseScaleFactor(const char* text, bool integerOnly) {
  if (!text || !*text || std::isspace(static_cast<unsigned char>(*text))) return 0.f;
  if (integerOnly)
    for (const char* c = text; *c; c++)
      if (!std::isdigit(static_cast<unsigned char>(*c))) return 0.f;
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  if (*end != '\0' || errno == ERANGE || !isValidScaleFactor(value)) return 0.f;
  return static_cast<float>(value);
}

float resolveScaleFactor(const ScaleFactorSources& sources) {
  if (float user = parseScaleFactor(sources.user)) return user;
  if (isValidScaleFactor(sources.host)) return sources.host;
  if (float gdk = parseScaleFactor(sources.gdkScale, true)) return gdk;
  // A dpi of 96 is the X server's plain default: factor 1. Desktops set odd dpi
  // values (97, 120, a text scale of 1.1): the factor is taken in quarter steps, so
  // the editor keeps whole-pixel lines at the usual 1.25, 1.5, 1.75 and 2.
  const double desktop = std::round(sources.desktopDpi / 96. * 4.) / 4.;
  if (isValidScaleFactor(desktop)) return static_cast<float>(desktop);
  return 1.f;
}

int scaledLength(int points, float factor) {
  return static_cast<int>(std::lround(static_cast<double>(points) * factor));
}
