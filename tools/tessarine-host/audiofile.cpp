#include "audiofile.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

#include "errors.h"

namespace {

struct SndfileCloser {
  void operator()(SNDFILE* file) const { sf_close(file); }
};
using SndfileHandle = std::unique_ptr<SNDFILE, SndfileCloser>;

constexpr sf_count_t kChunkFrames = 65536;

// libsndfile reports a missing file and a text file alike as "not recognised";
// the file system says which it is.
void checkReadable(const std::string& path) {
  struct stat status;
  if (stat(path.c_str(), &status) != 0)
    throw HostError("cannot read input '" + path + "': " + std::strerror(errno));
  if (S_ISDIR(status.st_mode)) throw HostError("input '" + path + "' is a directory");
  if (access(path.c_str(), R_OK) != 0)
    throw HostError("cannot read input '" + path + "': " + std::strerror(errno));
}

void deinterleave(const std::vector<float>& interleaved, sf_count_t frames, AudioBuffer& audio) {
  const size_t channelCount = audio.channels.size();
  for (size_t c = 0; c < channelCount; ++c)
    for (sf_count_t i = 0; i < frames; ++i)
      audio.channels[c].push_back(interleaved[size_t(i) * channelCount + c]);
}

void readAllFrames(SNDFILE* file, const std::string& path, AudioBuffer& audio) {
  std::vector<float> chunk(size_t(kChunkFrames) * audio.channels.size());
  for (;;) {
    const sf_count_t got = sf_readf_float(file, chunk.data(), kChunkFrames);
    if (got <= 0) break;
    deinterleave(chunk, got, audio);
  }
  if (sf_error(file) != SF_ERR_NO_ERROR)
    throw HostError("cannot read input '" + path + "': " + sf_strerror(file));
}

std::string siblingTemplate(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return dir + "." + name + ".tmp-XXXXXX";
}

// mkstemp() creates files readable by the owner only; the finished file gets
// the permissions any new file would get.
void applyUmask(int fd) {
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
}

}  // namespace

AudioBuffer readAudioFile(const std::string& path) {
  checkReadable(path);
  SF_INFO info{};
  SndfileHandle file(sf_open(path.c_str(), SFM_READ, &info));
  if (!file)
    throw HostError("input '" + path + "' is not an audio file libsndfile can read (" +
                    sf_strerror(nullptr) + ")");
  if (info.channels < 1 || info.channels > 2)
    throw HostError("input '" + path + "' has " + std::to_string(info.channels) +
                    " channels; only mono and stereo are supported");
  AudioBuffer audio;
  audio.sampleRate = info.samplerate;
  audio.channels.resize(size_t(info.channels));
  readAllFrames(file.get(), path, audio);
  if (audio.frames() == 0) throw HostError("input '" + path + "' holds no audio frames");
  return audio;
}

AudioBuffer makeTestSine() {
  AudioBuffer audio;
  audio.sampleRate = 48000;
  const size_t frames = 2 * size_t(audio.sampleRate);
  std::vector<float> sine(frames);
  const double step = 2.0 * 3.14159265358979323846 * 1000.0 / audio.sampleRate;
  for (size_t i = 0; i < frames; ++i) sine[i] = float(std::sin(step * double(i)));
  audio.channels = {sine, sine};
  return audio;
}

OutputFile::OutputFile(std::string path) : path_(std::move(path)) {
  struct stat status;
  if (stat(path_.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
    throw HostError("cannot write output '" + path_ + "': it is a directory");
  std::string name = siblingTemplate(path_);
  fd_ = mkstemp(name.data());
  if (fd_ < 0) throw HostError("cannot write output '" + path_ + "': " + std::strerror(errno));
  tempPath_ = name;
  applyUmask(fd_);
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) close(fd_);
  if (!tempPath_.empty()) std::remove(tempPath_.c_str());
}

void OutputFile::commit(const AudioBuffer& audio) {
  writeSamples(audio);
  commitWritten();
}

int OutputFile::releaseDescriptor() {
  return std::exchange(fd_, -1);
}

void OutputFile::commitWritten() {
  if (std::rename(tempPath_.c_str(), path_.c_str()) != 0)
    throw HostError("cannot write output '" + path_ + "': " + std::strerror(errno));
  tempPath_.clear();
}

void OutputFile::writeSamples(const AudioBuffer& audio) {
  SF_INFO info{};
  info.samplerate = audio.sampleRate;
  info.channels = int(audio.channels.size());
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SndfileHandle file(sf_open_fd(std::exchange(fd_, -1), SFM_WRITE, &info, SF_TRUE));
  if (!file) throw HostError("cannot write output '" + path_ + "': " + sf_strerror(nullptr));
  std::vector<float> interleaved(audio.frames() * audio.channels.size());
  for (size_t i = 0; i < audio.frames(); ++i)
    for (size_t c = 0; c < audio.channels.size(); ++c)
      interleaved[i * audio.channels.size() + c] = audio.channels[c][i];
  const sf_count_t frames = sf_count_t(audio.frames());
  if (sf_writef_float(file.get(), interleaved.data(), frames) != frames)
    throw HostError("cannot write output '" + path_ + "': " + sf_strerror(file.get()));
  if (sf_close(file.release()) != 0)
    throw HostError("cannot write output '" + path_ + "': closing failed");
}
