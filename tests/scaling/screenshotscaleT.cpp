// tessarine-host screenshot --scale, run as a user runs it.

#include <doctest/doctest.h>

#include <cairo.h>

#include "processrunner.h"

TEST_CASE("screenshot --scale 2 writes the 838 x 290 editor; invalid factors are usage errors") {
  TempDir dir;
  const std::string file = (dir.path / "editor@2x.png").string();
  const ProcessRun run = runProcess(TESSARINE_HOST_PATH,
                                    {"screenshot", TESSARINE_PLUGIN_PATH, file, "--scale", "2"},
                                    dir.path, {{"TESSARINE_SCALE", nullptr}});
  REQUIRE_MESSAGE(run.status == 0, run.err);
  CHECK(run.out.find("Wrote the 838 x 290 editor") != std::string::npos);
  cairo_surface_t* png = cairo_image_surface_create_from_png(file.c_str());
  CHECK(cairo_image_surface_get_width(png) == 838);
  CHECK(cairo_image_surface_get_height(png) == 290);
  cairo_surface_destroy(png);

  for (const char* bad : {"17", "0", "-1", "nan", "two", ""}) {
    INFO(bad);
    const ProcessRun refused =
        runProcess(TESSARINE_HOST_PATH, {"screenshot", TESSARINE_PLUGIN_PATH, file, "--scale", bad},
                   dir.path);
    CHECK(refused.status == 2);
    CHECK(refused.err.find("tessarine-host: error: --scale expects a factor from 1 to 4") == 0);
  }
}
