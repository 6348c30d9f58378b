#pragma once
// PNG files written the way the audio output is: through a temporary file that is
// renamed into place only once the whole picture is written.

#include <cairo.h>

#include <memory>
#include <string>

#include "audiofile.h"

struct SurfaceDestroyer {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
using SurfaceHandle = std::unique_ptr<cairo_surface_t, SurfaceDestroyer>;

// Writes the surface as PNG into output's temporary file and renames it to path.
// Throws HostError naming path when writing fails.
void writePng(cairo_surface_t* surface, OutputFile& output, const std::string& path);
