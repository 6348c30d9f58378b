#pragma once
// Feeds audio through a resumed plug-in block by block, as a DAW's audio thread does.

#include "audiofile.h"
#include "pluginhost.h"

// Processes every frame of input through processReplacing in blocks of
// blockSize frames (the last one shorter). The result has the input's channel
// count and rate. A mono input feeds the same samples to the first two inputs.
// The plug-in must have processReplacing and at least one output.
AudioBuffer renderInBlocks(PluginHost& host, const AudioBuffer& input, int blockSize);
