#include "pngfile.h"

#include <unistd.h>

#include "errors.h"

namespace {

cairo_status_t writeToDescriptor(void* closure, const unsigned char* data, unsigned int length) {
  const int fd = *static_cast<int*>(closure);
  while (length > 0) {
    const ssize_t written = write(fd, data, length);
    if (written <= 0) return CAIRO_STATUS_WRITE_ERROR;
    data += written;
    length -= unsigned(written);
  }
  return CAIRO_STATUS_SUCCESS;
}

}  // namespace

void writePng(cairo_surface_t* surface, OutputFile& output, const std::string& path) {
  int fd = output.releaseDescriptor();
  const cairo_status_t status = cairo_surface_write_to_png_stream(surface, writeToDescriptor, &fd);
  const bool closed = close(fd) == 0;
  if (status != CAIRO_STATUS_SUCCESS)
    throw HostError("cannot write output '" + path + "': " + cairo_status_to_string(status));
  if (!closed) throw HostError("cannot write output '" + path + "': closing failed");
  output.commitWritten();
}
