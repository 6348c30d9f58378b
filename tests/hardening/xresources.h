#pragma once
// What the X server holds for its clients, by kind (XRes).

#include <X11/Xlib.h>

#include <ostream>

struct XResourceCounts {
  long clients = 0;
  long windows = 0;
  long pixmaps = 0;
  long gcs = 0;
  long fonts = 0;
  long cursors = 0;
  long other = 0;

  bool operator==(const XResourceCounts& o) const {
    return clients == o.clients && windows == o.windows && pixmaps == o.pixmaps && gcs == o.gcs &&
           fonts == o.fonts && cursors == o.cursors && other == o.other;
  }
};

std::ostream& operator<<(std::ostream& out, const XResourceCounts& c);

// Sums the resources of every client of the display's server; all -1 when the
// server has no XRes extension.
XResourceCounts countXResources(Display* display);
// The resources of the one client that created `window` (all -1 if none).
XResourceCounts countXResourcesOfOwner(Display* display, Window window);
