#include "platformclock.h"

#include <atomic>
#include <cerrno>
#include <ctime>

namespace {
std::atomic<uint32_t> tickOffset{0};
}

uint32_t platformTicks() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t ms = (uint64_t)now.tv_sec * 1000u + (uint64_t)now.tv_nsec / 1000000u;
  return (uint32_t)ms + tickOffset.load(std::memory_order_relaxed);
}

void platformShiftTicks(uint32_t ms) {
  tickOffset.fetch_add(ms, std::memory_order_relaxed);
}

void platformSleep(uint32_t ms) {
  timespec rest = {(time_t)(ms / 1000u), (long)(ms % 1000u) * 1000000L};
  while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
  }
}
