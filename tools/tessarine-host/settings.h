#pragma once
// The settings a command line asks for before a command runs: a program, then
// parameter values in command-line order, then bypass.

#include "options.h"
#include "pluginhost.h"

// Checks every program number and parameter index against the plug-in first and
// throws HostError (changing nothing) when one is out of range; then applies them.
// Settings go in while the plug-in is still suspended, so that it starts processing
// with them in place rather than moving towards them.
void applySettings(PluginHost& host, const Options& options);
