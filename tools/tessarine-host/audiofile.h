#pragma once
// Audio in and out through libsndfile, kept as one sample vector per channel.

#include <string>
#include <vector>

struct AudioBuffer {
  int sampleRate = 48000;
  std::vector<std::vector<float>> channels;

  size_t frames() const { return channels.empty() ? 0 : channels.front().size(); }
};

// Reads a mono or stereo file in any format libsndfile knows, as floats in
// -1..1. Throws HostError for a missing, unreadable, non-audio or empty file,
// and for more than two channels.
AudioBuffer readAudioFile(const std::string& path);

// The input used when none is given: a 1 kHz sine of amplitude 1, 2 s long,
// 48 kHz, the same on both channels.
AudioBuffer makeTestSine();

// Writes a 32-bit float WAV file so that the path never holds a partial file:
// the samples go to a temporary file beside it, renamed over it by commit().
// Without commit() the temporary file is removed.
class OutputFile {
 public:
  // Creates the temporary file at once, so an unwritable path fails early.
  explicit OutputFile(std::string path);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void commit(const AudioBuffer& audio);
  // For writers of other formats: the open temporary file, which the caller then
  // owns and closes, and the rename that puts what was written in place.
  int releaseDescriptor();
  void commitWritten();

 private:
  void writeSamples(const AudioBuffer& audio);

  std::string path_;
  std::string tempPath_;
  int fd_ = -1;
};
