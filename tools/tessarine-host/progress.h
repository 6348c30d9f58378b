#pragma once
// A one-line progress display for renders long enough to wait for.

#include <chrono>
#include <cstddef>

// Shows "rendering  42 %  (35.1 x real time)" on standard error, rewritten in
// place, once a render has run for a second; finish() leaves the final line.
// Nothing is shown when standard error is not a terminal, so logs and pipes stay clean.
class RenderProgress {
 public:
  RenderProgress(size_t totalFrames, int sampleRate);
  ~RenderProgress();
  RenderProgress(const RenderProgress&) = delete;
  RenderProgress& operator=(const RenderProgress&) = delete;

  void update(size_t doneFrames);
  void finish();

 private:
  using Clock = std::chrono::steady_clock;
  void show(size_t doneFrames, Clock::time_point now);

  size_t total_;
  int sampleRate_;
  bool terminal_;
  bool shown_ = false;
  Clock::time_point start_;
  Clock::time_point lastShown_;
};
