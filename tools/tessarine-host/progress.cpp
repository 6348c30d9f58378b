#include "progress.h"

#include <unistd.h>

#include <cstdio>

namespace {

// Shorter renders finish before a display would help; refreshing more often
// than this only costs terminal output.
constexpr std::chrono::milliseconds kShowAfter{1000};
constexpr std::chrono::milliseconds kRefresh{100};

}  // namespace

RenderProgress::RenderProgress(size_t totalFrames, int sampleRate)
    : total_(totalFrames),
      sampleRate_(sampleRate),
      terminal_(isatty(STDERR_FILENO) == 1),
      start_(Clock::now()) {}

RenderProgress::~RenderProgress() {
  // A render that failed part-way must not leave the prompt on the progress line.
  if (shown_) std::fputc('\n', stderr);
}

void RenderProgress::update(size_t doneFrames) {
  if (!terminal_) return;
  const Clock::time_point now = Clock::now();
  if (now - start_ < kShowAfter || (shown_ && now - lastShown_ < kRefresh)) return;
  show(doneFrames, now);
}

void RenderProgress::finish() {
  if (!shown_) return;
  show(total_, Clock::now());
  std::fputc('\n', stderr);
  shown_ = false;
}

void RenderProgress::show(size_t doneFrames, Clock::time_point now) {
  const double seconds = std::chrono::duration<double>(now - start_).count();
  const double percent = total_ > 0 ? 100.0 * double(doneFrames) / double(total_) : 100.0;
  const double speed = double(doneFrames) / double(sampleRate_) / seconds;
  // Trailing spaces cover a longer previous line.
  std::fprintf(stderr, "\rtessarine-host: rendering %3.0f %%  (%.1f x real time)   ", percent,
               speed);
  std::fflush(stderr);
  shown_ = true;
  lastShown_ = now;
}
