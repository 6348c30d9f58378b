#pragma once
// The built plug-in, loaded the way a host loads it: dlopen and VSTPluginMain.
// Needs TESSARINE_PLUGIN_PATH defined to the plug-in's path.

#include <dlfcn.h>

#include "aeffect.h"

typedef AEffect* (*PluginMain)(audioMasterCallback);

struct LoadedPlugin {
  void* library = dlopen(TESSARINE_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
  PluginMain main = library ? (PluginMain)dlsym(library, "VSTPluginMain") : nullptr;
  ~LoadedPlugin() {
    if (library) dlclose(library);
  }
};
