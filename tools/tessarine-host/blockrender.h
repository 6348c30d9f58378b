#pragma once
// Feeds audio through a resumed plug-in block by block, as a DAW's audio thread does.

#include <cstddef>
#include <functional>
#include <string>

#include "audiofile.h"
#include "pluginhost.h"

// Throws HostError unless the plug-in at path can be rendered through: it needs
// processReplacing and at least one output.
void checkCanProcess(const PluginHost& host, const std::string& path);

// Processes every frame of input through processReplacing in blocks of
// blockSize frames (the last one shorter). The result has the input's channel
// count and rate. A mono input feeds the same samples to the first two inputs.
// The plug-in must pass checkCanProcess. afterBlock, when given, learns how many
// frames are done after each block.
AudioBuffer renderInBlocks(PluginHost& host, const AudioBuffer& input, int blockSize,
                           const std::function<void(size_t)>& afterBlock = {});
