#include <cairo.h>
#include <doctest/doctest.h>

#include <cstdlib>
#include <string>

#include "bitmap.h"
#include "offscreencontext.h"
#include "pixels.h"

namespace {

constexpr CColor kWhite = kWhiteCColor;
const CColor kNavy = {13, 0, 39, 255};

// A 10 x 10 offscreen of `background` composited onto a fresh white 30 x 30 canvas.
struct Copy {
  explicit Copy(CColor background) {
    screen = new COffscreenContext(nullptr, 30, 30, kWhiteCColor);
    source = new COffscreenContext(nullptr, 10, 10, background);
  }
  ~Copy() {
    source->forget();
    screen->forget();
  }
  COffscreenContext* screen;
  COffscreenContext* source;
};

}  // namespace

TEST_CASE("copyFrom lands at the destination rectangle, clipped, offsets honoured") {
  struct Case {
    CPoint destOffset;
    CRect clip, dest;
    CPoint srcOffset;
    CRect expected;
  };
  const CRect all(0, 0, 30, 30);
  // (0, 0) on the top-left; a smaller destination; the destination context's offset
  // moves the copy and srcOffset shifts the image; the destination's clip rectangle.
  for (const Case& k : {Case{{0, 0}, all, {5, 5, 15, 15}, {0, 0}, {5, 5, 15, 15}},
                        Case{{0, 0}, all, {5, 5, 10, 12}, {0, 0}, {5, 5, 10, 12}},
                        Case{{3, 2}, all, {5, 5, 15, 15}, {4, 6}, {8, 7, 14, 11}},
                        Case{{0, 0}, {0, 0, 8, 30}, {5, 5, 15, 15}, {0, 0}, {5, 5, 8, 15}}}) {
    Copy c(kNavy);
    c.screen->setClipRect(k.clip);
    c.screen->offset(k.destOffset.h, k.destOffset.v);
    c.source->copyFrom(c.screen, k.dest, k.srcOffset);
    CAPTURE(k.dest);
    CHECK(inkBounds(*c.screen, kWhite) == k.expected);
    CHECK(countPixels(*c.screen, kNavy) == k.expected.width() * k.expected.height());
  }
}

TEST_CASE("memory starts transparent; only what is drawn into it is composited") {
  Copy c(kTransparentCColor);
  CHECK(countPixels(*c.source, premultiplied(kTransparentCColor)) == 100);
  c.source->copyFrom(c.screen, CRect(5, 5, 15, 15), CPoint(0, 0));
  CHECK(inkBounds(*c.screen, kWhite).isEmpty());

  c.source->setFillColor(kRedCColor);
  c.source->fillRect(CRect(2, 3, 4, 4));
  c.source->copyFrom(c.screen, CRect(5, 5, 15, 15), CPoint(0, 0));
  CHECK(inkBounds(*c.screen, kWhite) == CRect(7, 8, 9, 9));
}

TEST_CASE("pixels are premultiplied and composited source-over") {
  Copy c(CColor{255, 0, 0, 128});
  CHECK(pixelAt(*c.source, 5, 5) == CColor{128, 0, 0, 128});
  c.source->copyFrom(c.screen, CRect(5, 5, 15, 15), CPoint(0, 0));
  const CColor blended = pixelAt(*c.screen, 10, 10);
  CHECK((blended.alpha == 255 && blended.red == 255));
  CHECK(blended.green == doctest::Approx(127).epsilon(0.02));
}

TEST_CASE("counters follow the offscreen contexts; an empty one is harmless") {
  int contexts = gNbCDrawContext, offscreens = gNbCOffscreenContext;
  int64_t allocated = gBitmapAllocation;
  COffscreenContext* screen = new COffscreenContext(nullptr, 20, 10, kWhiteCColor);
  COffscreenContext* empty = new COffscreenContext(nullptr, 0, 10, kRedCColor);
  CHECK(gNbCDrawContext == contexts + 2);
  CHECK(gNbCOffscreenContext == offscreens + 2);
  CHECK(gBitmapAllocation == allocated + 200);
  CHECK(empty->getCGContext() == nullptr);
  empty->fillRect(CRect(0, 0, 5, 5));
  empty->copyFrom(screen, CRect(0, 0, 20, 10), CPoint(0, 0));
  CHECK(countPixels(*screen, kWhite) == 200);
  empty->forget();
  screen->forget();
  CHECK(gNbCDrawContext == contexts);
  CHECK(gNbCOffscreenContext == offscreens);
  CHECK(gBitmapAllocation == allocated);
}

namespace {

// A directory with a 4 x 3 "bmp00128.png": left half red, right half green.
struct BundleDirectory {
  BundleDirectory() {
    char pattern[] = "/tmp/drawingT.XXXXXX";
    path = mkdtemp(pattern);
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 4, 3);
    cairo_t* cr = cairo_create(image);
    cairo_set_source_rgb(cr, 1, 0, 0);
    cairo_rectangle(cr, 0, 0, 2, 3);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0, 1, 0);
    cairo_rectangle(cr, 2, 0, 2, 3);
    cairo_fill(cr);
    cairo_destroy(cr);
    file = path + "/bmp00128.png";
    cairo_surface_write_to_png(image, file.c_str());
    cairo_surface_destroy(image);
  }
  ~BundleDirectory() {
    std::remove(file.c_str());
    std::remove(path.c_str());
  }
  std::string path, file;
};

}  // namespace

TEST_CASE("bitmaps load bmp%05d.png from the bundle directory and draw into contexts") {
  BundleDirectory bundle;
  int bitmaps = gNbCBitmap;

  gBundleRef = nullptr;
  CBitmap* missing = new CBitmap(128);
  CHECK_FALSE(missing->isLoaded());
  missing->forget();

  gBundleRef = &bundle.path[0];
  CBitmap* bitmap = new CBitmap(128);
  gBundleRef = nullptr;
  REQUIRE(bitmap->isLoaded());
  CHECK(bitmap->getWidth() == 4);
  CHECK(bitmap->getHeight() == 3);
  CHECK(gNbCBitmap == bitmaps + 1);

  // The part from offset (1, 0) into a 2 x 2 rectangle at (5, 5).
  COffscreenContext* screen = new COffscreenContext(nullptr, 20, 20, kWhiteCColor);
  CRect where(5, 5, 7, 7);
  bitmap->draw(screen, where, CPoint(1, 0));
  CHECK(inkBounds(*screen, kWhite) == CRect(5, 5, 7, 7));
  CHECK(pixelAt(*screen, 5, 5) == kRedCColor);
  CHECK(pixelAt(*screen, 6, 6) == kGreenCColor);

  // The transparent colour is left out.
  bitmap->setTransparentColor(kRedCColor);
  CRect second(10, 10, 14, 13);
  bitmap->drawTransparent(screen, second, CPoint(0, 0));
  CHECK(pixelAt(*screen, 10, 10) == kWhite);
  CHECK(pixelAt(*screen, 13, 12) == kGreenCColor);
  screen->forget();

  // A context drawing into the bitmap's own pixels.
  COffscreenContext* inBitmap = new COffscreenContext(nullptr, bitmap, true);
  CHECK(inBitmap->getWidth() == 4);
  inBitmap->setFillColor(kBlueCColor);
  inBitmap->fillRect(CRect(0, 0, 1, 1));
  inBitmap->forget();
  unsigned char* data = cairo_image_surface_get_data(bitmap->getHandle());
  CHECK(reinterpret_cast<uint32_t*>(data)[0] == 0xff0000ffu);  // opaque blue, as stored

  bitmap->forget();
  CHECK(gNbCBitmap == bitmaps);
}
