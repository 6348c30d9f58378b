#include "blockrender.h"

#include <algorithm>
#include <vector>

#include "errors.h"

namespace {

// Per-channel scratch buffers of one block and the pointer array handed to the
// plug-in, which always has room for a stereo pair.
class ChannelBlock {
 public:
  ChannelBlock(int channels, int frames)
      : data_(size_t(std::max(channels, 2)), std::vector<float>(size_t(frames))) {
    for (auto& channel : data_) pointers_.push_back(channel.data());
  }

  size_t channels() const { return data_.size(); }
  float** pointers() { return pointers_.data(); }
  std::vector<float>& operator[](size_t channel) { return data_[channel]; }

  void clear() {
    for (auto& channel : data_) std::fill(channel.begin(), channel.end(), 0.0f);
  }

 private:
  std::vector<std::vector<float>> data_;
  std::vector<float*> pointers_;
};

void fillInputs(ChannelBlock& block, const AudioBuffer& input, size_t start, size_t frames) {
  block.clear();
  const size_t fileChannels = input.channels.size();
  for (size_t c = 0; c < std::min<size_t>(block.channels(), 2); ++c) {
    const float* source = input.channels[std::min(c, fileChannels - 1)].data() + start;
    std::copy(source, source + frames, block[c].begin());
  }
}

// A plug-in with a single output feeds every channel of the result.
void collectOutputs(ChannelBlock& block, int pluginOutputs, AudioBuffer& output, size_t start,
                    size_t frames) {
  for (size_t c = 0; c < output.channels.size(); ++c) {
    const std::vector<float>& source = block[std::min(c, size_t(pluginOutputs) - 1)];
    std::copy(source.begin(), source.begin() + long(frames),
              output.channels[c].begin() + long(start));
  }
}

}  // namespace

void checkCanProcess(const PluginHost& host, const std::string& path) {
  if (!host.record().processReplacing)
    throw HostError("plug-in '" + path + "' has no processReplacing function");
  if (host.record().numOutputs < 1) throw HostError("plug-in '" + path + "' has no audio outputs");
}

AudioBuffer renderInBlocks(PluginHost& host, const AudioBuffer& input, int blockSize,
                           const std::function<void(size_t)>& afterBlock) {
  const AEffect& effect = host.record();
  ChannelBlock inputs(effect.numInputs, blockSize), outputs(effect.numOutputs, blockSize);
  AudioBuffer output;
  output.sampleRate = input.sampleRate;
  output.channels.assign(input.channels.size(), std::vector<float>(input.frames()));
  for (size_t start = 0; start < input.frames(); start += size_t(blockSize)) {
    const size_t frames = std::min(size_t(blockSize), input.frames() - start);
    fillInputs(inputs, input, start, frames);
    outputs.clear();
    host.processReplacing(inputs.pointers(), outputs.pointers(), int(frames));
    collectOutputs(outputs, effect.numOutputs, output, start, frames);
    if (afterBlock) afterBlock(start + frames);
  }
  return output;
}
