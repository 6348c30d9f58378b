// The interface's descriptor as an LV2 host uses it, in a real X window: the host's
// ui:scaleFactor sizes the editor, and a new factor while it is open resizes it
// through ui:resize.

#include <doctest/doctest.h>
#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "lv2ports.h"

// After the other headers: Xlib defines macros with common names.
#include <X11/Xlib.h>

extern "C" const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index);

namespace {

// What the host gives: URIDs and the sizes the interface asks for.
struct Host {
  std::map<std::string, LV2_URID> urids;
  std::vector<std::pair<int, int>> sizes;

  static LV2_URID map(LV2_URID_Map_Handle handle, const char* uri) {
    auto& urids = static_cast<Host*>(handle)->urids;
    return urids.emplace(uri, LV2_URID(urids.size() + 1)).first->second;
  }
  static int resize(LV2UI_Feature_Handle handle, int width, int height) {
    static_cast<Host*>(handle)->sizes.emplace_back(width, height);
    return 0;
  }
};

void ignoreWrite(LV2UI_Controller, uint32_t, uint32_t, uint32_t, const void*) {}

// The host's window, on a connection of the test's own.
struct HostWindow {
  HostWindow() : display(XOpenDisplay(nullptr)) {
    REQUIRE(display);
    parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1000, 400, 0, 0, 0);
    XMapWindow(display, parent);
    XSync(display, False);
  }
  ~HostWindow() {
    XDestroyWindow(display, parent);
    XCloseDisplay(display);
  }
  Display* display;
  Window parent = 0;
};

}  // namespace

TEST_CASE("the host's ui:scaleFactor sizes the editor, and a new one resizes it") {
  HostWindow window;
  Display* display = window.display;
  const Window parent = window.parent;

  Host host;
  LV2_URID_Map map{&host, Host::map};
  LV2UI_Resize resize{&host, Host::resize};
  float factor = 1.5f;
  LV2_Options_Option options[] = {{LV2_OPTIONS_INSTANCE, 0, Host::map(&host, LV2_UI__scaleFactor),
                                   sizeof(float), Host::map(&host, LV2_ATOM__Float), &factor},
                                  {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
  LV2_Feature parentFeature{LV2_UI__parent, reinterpret_cast<void*>(parent)};
  LV2_Feature mapFeature{LV2_URID__map, &map};
  LV2_Feature resizeFeature{LV2_UI__resize, &resize};
  LV2_Feature optionsFeature{LV2_OPTIONS__options, options};
  const LV2_Feature* features[] = {&parentFeature, &mapFeature, &resizeFeature, &optionsFeature,
                                   nullptr};

  const LV2UI_Descriptor* descriptor = lv2ui_descriptor(0);
  LV2UI_Widget widget = nullptr;
  LV2UI_Handle ui = descriptor->instantiate(descriptor, TESSARINE_LV2_URI, "", ignoreWrite, nullptr,
                                            &widget, features);
  REQUIRE(ui);
  REQUIRE(widget);
  const Window child = Window(reinterpret_cast<uintptr_t>(widget));
  // The child's size as this connection sees it, once the editor's own connection's
  // requests have reached the server (waits up to 2 s for the size asked).
  const auto childSize = [&](std::pair<int, int> asked) {
    std::pair<int, int> size;
    for (int i = 0; i < 1000 && size != asked; i++) {
      XWindowAttributes attributes{};
      XGetWindowAttributes(display, child, &attributes);
      size = {attributes.width, attributes.height};
      if (size != asked) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return size;
  };
  CHECK(host.sizes == std::vector<std::pair<int, int>>{{629, 218}});
  CHECK(childSize({629, 218}) == std::make_pair(629, 218));

  const auto* interface =
      static_cast<const LV2_Options_Interface*>(descriptor->extension_data(LV2_OPTIONS__interface));
  REQUIRE(interface);
  factor = 2.0f;
  CHECK(interface->set(ui, options) == LV2_OPTIONS_SUCCESS);
  CHECK(host.sizes.back() == std::make_pair(838, 290));
  CHECK(childSize({838, 290}) == std::make_pair(838, 290));
  factor = 17.0f;  // out of range: nothing changes
  CHECK(interface->set(ui, options) == LV2_OPTIONS_ERR_BAD_VALUE);
  CHECK(host.sizes.size() == 2);

  descriptor->cleanup(ui);
}

TEST_CASE("the HQ interface is its plug-in's: the panel with its strip, for that URI only") {
  HostWindow window;
  const Window parent = window.parent;
  Host host;
  LV2UI_Resize resize{&host, Host::resize};
  LV2_Feature parentFeature{LV2_UI__parent, reinterpret_cast<void*>(parent)};
  LV2_Feature resizeFeature{LV2_UI__resize, &resize};
  const LV2_Feature* features[] = {&parentFeature, &resizeFeature, nullptr};

  const LV2UI_Descriptor* descriptor = lv2ui_descriptor(1);
  REQUIRE(descriptor);
  CHECK(std::string(descriptor->URI) == TESSARINE_LV2_HQ_UI_URI);
  CHECK(lv2ui_descriptor(2) == nullptr);
  LV2UI_Widget widget = nullptr;
  CHECK(descriptor->instantiate(descriptor, TESSARINE_LV2_URI, "", ignoreWrite, nullptr, &widget,
                                features) == nullptr);
  CHECK(lv2ui_descriptor(0)->instantiate(lv2ui_descriptor(0), TESSARINE_LV2_HQ_URI, "", ignoreWrite,
                                         nullptr, &widget, features) == nullptr);
  LV2UI_Handle ui = descriptor->instantiate(descriptor, TESSARINE_LV2_HQ_URI, "", ignoreWrite,
                                            nullptr, &widget, features);
  REQUIRE(ui);
  CHECK(widget);
  CHECK(host.sizes == std::vector<std::pair<int, int>>{{419, 171}});
  descriptor->cleanup(ui);
}
