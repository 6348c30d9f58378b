// tessarine-host screenshot: opens the plug-in's editor in a top-level window as a
// DAW does, lets it draw and writes the window's pixels to a PNG file.

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>
#include <time.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

#include "audiofile.h"
#include "commands.h"
#include "errors.h"
#include "pluginhost.h"
#include "pngfile.h"
#include "settings.h"
#include "xdisplay.h"

namespace {

// The host window's own background, which no editor is expected to paint: while any
// of it shows, the editor has not drawn its whole area yet.
constexpr uint32_t kUnpainted = 0x01fe03;
// How long the editor may take to draw, and how often a host idles it.
constexpr long kDrawTimeoutMs = 5000;
constexpr long kIdlePeriodMs = 10;
constexpr int kIdlesPerLook = 5;

void sleepMs(long ms) {
  timespec delay{ms / 1000, (ms % 1000) * 1000000L};
  nanosleep(&delay, nullptr);
}

// A window's pixels as 0xRRGGBB, row by row.
struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> rgb;

  bool operator==(const Pixels& other) const {
    return width == other.width && height == other.height && rgb == other.rgb;
  }
  bool contains(uint32_t value) const {
    for (uint32_t pixel : rgb)
      if (pixel == value) return true;
    return false;
  }
};

// One channel of a TrueColor pixel, scaled to 8 bits.
uint32_t channel(unsigned long pixel, unsigned long mask) {
  if (!mask) return 0;
  int shift = 0;
  while (!((mask >> shift) & 1)) shift++;
  const unsigned long bits = mask >> shift;
  return uint32_t(((pixel & mask) >> shift) * 255 / bits);
}

// The top-level window a DAW gives a plug-in's editor.
class HostWindow {
 public:
  HostWindow(Display* display, int width, int height, const std::string& title)
      : display_(display), width_(width), height_(height) {
    const int screen = DefaultScreen(display);
    XVisualInfo wanted{};
    wanted.visualid = XVisualIDFromVisual(DefaultVisual(display, screen));
    int count = 0;
    XVisualInfo* info = XGetVisualInfo(display, VisualIDMask, &wanted, &count);
    if (!info || info[0].c_class != TrueColor) {
      if (info) XFree(info);
      throw HostError("the X display's default visual is not TrueColor");
    }
    masks_ = {info[0].red_mask, info[0].green_mask, info[0].blue_mask};
    XFree(info);
    window_ = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, unsigned(width),
                                  unsigned(height), 0, 0, pixelOf(kUnpainted));
    XStoreName(display, window_, title.c_str());
    XSelectInput(display, window_, StructureNotifyMask);
    XMapWindow(display, window_);
    if (!waitForMap()) {
      XDestroyWindow(display, window_);
      throw HostError("the editor window was never mapped on the X display");
    }
  }
  ~HostWindow() {
    XDestroyWindow(display_, window_);
    XSync(display_, False);
  }
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  Window id() const { return window_; }

  void resize(int width, int height) {
    width_ = width;
    height_ = height;
    XResizeWindow(display_, window_, unsigned(width), unsigned(height));
    XSync(display_, False);
  }

  // Reads the window back, the editor's child window included.
  Pixels capture() const {
    XImage* image = XGetImage(display_, window_, 0, 0, unsigned(width_), unsigned(height_),
                              AllPlanes, ZPixmap);
    if (!image) throw HostError("cannot read the editor window's pixels");
    Pixels pixels{width_, height_, std::vector<uint32_t>(size_t(width_) * size_t(height_))};
    for (int y = 0; y < height_; y++)
      for (int x = 0; x < width_; x++) {
        const unsigned long pixel = XGetPixel(image, x, y);
        pixels.rgb[size_t(y) * size_t(width_) + size_t(x)] =
            channel(pixel, masks_.red) << 16 | channel(pixel, masks_.green) << 8 |
            channel(pixel, masks_.blue);
      }
    XDestroyImage(image);
    return pixels;
  }

  // Drops the events of the host's own connection, as a host's event loop would.
  void drainEvents() {
    XEvent event;
    while (XPending(display_)) XNextEvent(display_, &event);
  }

 private:
  struct Masks {
    unsigned long red, green, blue;
  };

  unsigned long pixelOf(uint32_t rgb) const {
    auto place = [](uint32_t value, unsigned long mask) {
      unsigned long bits = mask, shift = 0;
      while (bits && !(bits & 1)) bits >>= 1, shift++;
      return ((value * bits / 255) << shift) & mask;
    };
    return place(rgb >> 16 & 0xff, masks_.red) | place(rgb >> 8 & 0xff, masks_.green) |
           place(rgb & 0xff, masks_.blue);
  }

  // A window manager may take a moment; without one the map is immediate.
  bool waitForMap() {
    XEvent event;
    for (int i = 0; i < 300; i++) {
      if (XCheckTypedWindowEvent(display_, window_, MapNotify, &event)) return true;
      sleepMs(kIdlePeriodMs);
    }
    return false;
  }

  Display* display_;
  Window window_ = 0;
  int width_;
  int height_;
  Masks masks_{};
};

// The editor open in a host window, closed again however the command ends.
class OpenEditor {
 public:
  OpenEditor(PluginHost& host, HostWindow& window, const std::string& path) : host_(host) {
    if (!host.openEditor(window.id()))
      throw HostError("plug-in '" + path + "' could not open its editor");
  }
  ~OpenEditor() { host_.closeEditor(); }
  OpenEditor(const OpenEditor&) = delete;
  OpenEditor& operator=(const OpenEditor&) = delete;

 private:
  PluginHost& host_;
};

// Idles the editor as a host's timer does until the window is fully painted and
// looks the same twice in a row, or the time is up (then what is there is kept).
Pixels idleUntilDrawn(PluginHost& host, HostWindow& window) {
  std::optional<Pixels> previous;
  for (long waited = 0; waited < kDrawTimeoutMs; waited += kIdlePeriodMs * kIdlesPerLook) {
    for (int i = 0; i < kIdlesPerLook; i++) {
      host.idleEditor();
      window.drainEvents();
      sleepMs(kIdlePeriodMs);
    }
    Pixels now = window.capture();
    if (previous && now == *previous && !now.contains(kUnpainted)) return now;
    previous = std::move(now);
  }
  std::fprintf(stderr,
               "tessarine-host: warning: the editor did not finish drawing within %ld ms\n",
               kDrawTimeoutMs);
  return *previous;
}

void writePixels(const Pixels& pixels, OutputFile& output, const std::string& path) {
  const SurfaceHandle surface(
      cairo_image_surface_create(CAIRO_FORMAT_RGB24, pixels.width, pixels.height));
  cairo_surface_flush(surface.get());
  unsigned char* data = cairo_image_surface_get_data(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  for (int y = 0; y < pixels.height; y++)
    for (int x = 0; x < pixels.width; x++)
      reinterpret_cast<uint32_t*>(data + y * stride)[x] =
          pixels.rgb[size_t(y) * size_t(pixels.width) + size_t(x)];
  cairo_surface_mark_dirty(surface.get());
  writePng(surface.get(), output, path);
}

}  // namespace

void runScreenshot(const Options& options) {
  // Declared first, so that it goes last: the X server outlives the plug-in.
  std::optional<XDisplay> display;
  PluginHost host(options.pluginPath, HostSettings{});
  if (!host.hasEditor()) throw HostError("plug-in '" + options.pluginPath + "' has no editor");
  applySettings(host, options);
  // Before the size is asked: the editor reports its size at the factor.
  if (options.scale && !host.setEditorScale(*options.scale))
    std::fprintf(stderr, "tessarine-host: warning: the plug-in did not take the scale factor\n");
  int width = 0, height = 0;
  if (!host.editorSize(width, height))
    throw HostError("plug-in '" + options.pluginPath + "' gives no editor size");
  OutputFile output(options.imagePath);  // an unwritable path fails here, early
  display.emplace();

  const std::string product = host.productString();
  const std::string name = product.empty() ? options.pluginPath : product;
  HostWindow window(display->get(), width, height, name + " - tessarine-host");
  Pixels pixels;
  {
    OpenEditor editor(host, window, options.pluginPath);
    // An editor may settle on its size only once open.
    int openWidth = 0, openHeight = 0;
    if (host.editorSize(openWidth, openHeight) && (openWidth != width || openHeight != height))
      window.resize(openWidth, openHeight);
    pixels = idleUntilDrawn(host, window);
  }
  writePixels(pixels, output, options.imagePath);
  std::printf("Wrote the %d x %d editor of %s to %s\n", pixels.width, pixels.height, name.c_str(),
              options.imagePath.c_str());
}
