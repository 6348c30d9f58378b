#pragma once
// The commands of tessarine-host. Each throws HostError on failure.

#include "options.h"

void runInfo(const Options& options);
void runRender(const Options& options);
void runScreenshot(const Options& options);
void runCurve(const Options& options);
