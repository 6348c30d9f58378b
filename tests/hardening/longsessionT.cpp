// Long sessions leave memory and X resources flat: 200 editor openings (TESSARINE_LONG_CYCLES)
// and ten minutes of automated processing (TESSARINE_LONG_SECONDS); scripts/longsession.sh.

#include <doctest/doctest.h>
#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <thread>
#include <vector>

#include "editorhost.h"
#include "platformclock.h"
#include "xresources.h"

#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer run-time's allocator interface.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

// Bytes of heap in use by the whole process (the plug-in, Xlib, Cairo included).
size_t heapInUse() {
#if defined(__SANITIZE_ADDRESS__)
  return __sanitizer_get_current_allocated_bytes();
#else
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
#endif
}

// Resident set size in kB, from /proc.
long residentKb() {
  FILE* status = std::fopen("/proc/self/statm", "r");
  if (!status) return -1;
  long pages = 0, resident = 0;
  if (std::fscanf(status, "%ld %ld", &pages, &resident) != 2) resident = -1;
  std::fclose(status);
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

long fromEnvironment(const char* name, long fallback) {
  const char* text = std::getenv(name);
  return text ? std::atol(text) : fallback;
}

}  // namespace

TEST_CASE("opening and closing the editor 200 times leaves memory and X resources flat") {
  XTestHost window;
  EditorHost session;
  // The first rounds fill the process-lifetime caches of Xlib, Xcursor, Cairo and
  // fontconfig for good.
  XResourceCounts whileOpenFirst;
  for (int i = 0; i < 3; i++) {
    REQUIRE(session.openAndDraw(window));
    whileOpenFirst = countXResourcesOfOwner(window.display, window.children()[0]);
    session.dispatch(effEditClose);
  }
  REQUIRE(clientsReturnTo(window, window.clientCount()));
  const int clients = window.clientCount();
  const XResourceCounts serverBefore = countXResources(window.display);
  const size_t heapBefore = heapInUse();
  const long rssBefore = residentKb();

  const long cycles = fromEnvironment("TESSARINE_LONG_CYCLES", 200);
  XResourceCounts whileOpenLast;
  for (long i = 0; i < cycles; i++) {
    REQUIRE(session.openAndDraw(window));
    session.setParameter(i % 6, (float)(i % 11) / 10.0f);
    session.dispatch(effEditIdle);
    if (i == cycles - 1)
      whileOpenLast = countXResourcesOfOwner(window.display, window.children()[0]);
    session.dispatch(effEditClose);
  }
  CHECK(clientsReturnTo(window, clients));
  const XResourceCounts serverAfter = countXResources(window.display);
  const size_t heapAfter = heapInUse();
  const long rssAfter = residentKb();

  MESSAGE("editor's own X resources while open, 3rd and last of "
          << cycles + 3 << " openings: " << whileOpenFirst << " / " << whileOpenLast);
  MESSAGE("X server, before and after " << cycles << " more: " << serverBefore << " / "
                                        << serverAfter);
  MESSAGE("heap in use: " << heapBefore << " -> " << heapAfter << " bytes; resident: " << rssBefore
                          << " -> " << rssAfter << " kB");
  CHECK(whileOpenLast == whileOpenFirst);
  CHECK(serverAfter == serverBefore);
  // One frame, back buffer or connection lost per round would be megabytes.
  CHECK(heapAfter < heapBefore + 64 * 1024);
}

TEST_CASE("processing with automation while the editor is open stays flat over a long run") {
  const long seconds = fromEnvironment("TESSARINE_LONG_SECONDS", 600);
  XTestHost window;
  EditorHost session;
  session.dispatch(effMainsChanged, 0, 1);
  REQUIRE(session.openAndDraw(window));
  const Window child = window.children()[0];
  AEffect* effect = session.effect;

  std::atomic<bool> stop{false};
  std::atomic<long> blocks{0}, changes{0};
  // The audio thread, paced like a host's: 512 frames every 11.6 ms.
  std::thread audio([&] {
    StereoBuffer in(512), out(512);
    long phase = 0;
    while (!stop) {
      for (int i = 0; i < 512; i++, phase++)
        in.left[i] = in.right[i] = (float)std::sin(0.03 * (double)phase);
      effect->processReplacing(effect, in.get(), out.get(), 512);
      effect->process(effect, in.get(), out.get(), 512);
      blocks++;
      platformSleep(11);
    }
  });
  // Automation: every parameter swept, programs and bypass switched now and then.
  std::thread automation([&] {
    long step = 0;
    while (!stop) {
      const float value = 0.5f + 0.5f * (float)std::sin(0.01 * (double)step);
      effect->setParameter(effect, (VstInt32)(step % 6), value);
      if (step % 1000 == 999) effect->dispatcher(effect, effSetProgram, 0, step % 10, nullptr, 0);
      if (step % 700 == 699) effect->dispatcher(effect, effSetBypass, 0, step % 2, nullptr, 0);
      step++;
      changes++;
      platformSleep(5);
    }
  });

  // The user-interface thread: idle every 10 ms; measure once the caches are warm
  // (after 10 s, or half of a short run) and then every minute.
  const uint32_t start = platformTicks();
  const uint32_t warm = start + (seconds > 20 ? 10000u : (uint32_t)seconds * 500u);
  size_t heapWarm = 0;
  long rssWarm = 0;
  XResourceCounts editorWarm, serverWarm;
  bool measured = false;
  uint32_t nextReport = start + 60000;
  while ((long)(platformTicks() - start) < seconds * 1000) {
    session.dispatch(effEditIdle);
    platformSleep(10);
    const uint32_t now = platformTicks();
    if (!measured && (int32_t)(now - warm) >= 0) {
      heapWarm = heapInUse();
      rssWarm = residentKb();
      editorWarm = countXResourcesOfOwner(window.display, child);
      serverWarm = countXResources(window.display);
      measured = true;
    }
    if ((int32_t)(now - nextReport) >= 0) {
      const uint32_t elapsed = (now - start) / 1000;
      MESSAGE(elapsed << " s: heap " << heapInUse() << " bytes, resident " << residentKb()
                      << " kB, editor " << countXResourcesOfOwner(window.display, child));
      nextReport += 60000;
    }
  }
  stop = true;
  audio.join();
  automation.join();
  const size_t heapEnd = heapInUse();
  const long rssEnd = residentKb();
  const XResourceCounts editorEnd = countXResourcesOfOwner(window.display, child);
  const XResourceCounts serverEnd = countXResources(window.display);

  MESSAGE(seconds << " s: " << blocks.load() << " block pairs, " << changes.load()
                  << " parameter changes");
  MESSAGE("heap in use: " << heapWarm << " -> " << heapEnd << " bytes; resident: " << rssWarm
                          << " -> " << rssEnd << " kB");
  MESSAGE("editor's X resources: " << editorWarm << " -> " << editorEnd);
  MESSAGE("X server: " << serverWarm << " -> " << serverEnd);
  REQUIRE(measured);
  CHECK(blocks.load() > 0);
  CHECK(editorEnd == editorWarm);
  CHECK(serverEnd == serverWarm);
  CHECK(heapEnd < heapWarm + 64 * 1024);
  session.dispatch(effEditClose);
}
