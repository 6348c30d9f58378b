#pragma once
// The settings a command line asks for before a command runs: a program, then
// parameter values in command-line order, then bypass.

#include <string>
#include <vector>

#include "options.h"
#include "pluginhost.h"

// Checks every program number and parameter index against the plug-in first and
// throws HostError (changing nothing) when one is out of range; then applies them.
// Settings go in while the plug-in is still suspended, so that it starts processing
// with them in place rather than moving towards them.
void applySettings(PluginHost& host, const Options& options);

// What a picture says about the setting it shows: the plug-in (its product name, or
// path when it gives none), the current program and every parameter as the plug-in
// displays it (up to a dozen), one line each.
std::vector<std::string> describeSetting(PluginHost& host, const std::string& path);
