// Real-time safety of the built plug-ins: inside processReplacing, process, setParameter and
// getParameter the audio thread allocates, frees, locks and calls the system never, in the
// described plug-in and in "+tessarine HQ" at every factor. This executable defines the
// allocators and lock operations (exported, so the plug-in's calls land here) and a seccomp
// filter traps the audio thread's system calls; only that thread counts. Not built under the
// sanitizers, whose run-times replace the allocator themselves.

#include <dlfcn.h>
#include <doctest/doctest.h>
#include <errno.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <pthread.h>
#include <semaphore.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <functional>
#include <limits>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "aeffectx.h"
#include "hostedeffect.h"
#include "loadedplugin.h"
#ifdef TESSARINE_WITH_XTESTHOST
#include "xtesthost.h"
#endif

namespace {

enum Event { kAllocation, kRelease, kLock, kSystemCall, kEventCount };
const char* const kEventNames[kEventCount] = {"allocation", "free", "lock", "system call"};

// Only the watched thread, and only inside the entries under test, counts.
thread_local bool tWatched = false;
std::atomic<int> gEvents[kEventCount];
std::atomic<long> gLastSystemCall{-1};

inline void note(Event event) {
  if (tWatched) gEvents[event].fetch_add(1, std::memory_order_relaxed);
}

void resetEvents() {
  for (auto& count : gEvents) count.store(0);
  gLastSystemCall.store(-1);
}

}  // namespace

extern "C" {
void* __libc_malloc(size_t size);
void __libc_free(void* block);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);

void* malloc(size_t size) noexcept {
  note(kAllocation);
  return __libc_malloc(size);
}
void free(void* block) noexcept {
  if (block) note(kRelease);
  __libc_free(block);
}
void* calloc(size_t count, size_t size) noexcept {
  note(kAllocation);
  return __libc_calloc(count, size);
}
void* realloc(void* block, size_t size) noexcept {
  note(kAllocation);
  return __libc_realloc(block, size);
}
void* memalign(size_t alignment, size_t size) noexcept {
  note(kAllocation);
  return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) noexcept {
  note(kAllocation);
  return __libc_memalign(alignment, size);
}
int posix_memalign(void** result, size_t alignment, size_t size) noexcept {
  note(kAllocation);
  void* block = __libc_memalign(alignment, size);
  if (!block) return ENOMEM;
  *result = block;
  return 0;
}
}  // extern "C"

void* operator new(size_t size) {
  if (void* block = malloc(size ? size : 1)) return block;
  throw std::bad_alloc();
}
void* operator new[](size_t size) {
  return operator new(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  return malloc(size ? size : 1);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
  return malloc(size ? size : 1);
}
void operator delete(void* block) noexcept {
  free(block);
}
void operator delete[](void* block) noexcept {
  free(block);
}
void operator delete(void* block, size_t) noexcept {
  free(block);
}
void operator delete[](void* block, size_t) noexcept {
  free(block);
}

// The lock operations: counted, then passed to the C library's own.
#define TESSARINE_COUNTED_LOCK(name, type)                                       \
  extern "C" int name(type* lock) noexcept {                                     \
    note(kLock);                                                                 \
    static int (*real)(type*) = nullptr;                                         \
    if (!real) real = reinterpret_cast<int (*)(type*)>(dlsym(RTLD_NEXT, #name)); \
    return real(lock);                                                           \
  }
TESSARINE_COUNTED_LOCK(pthread_mutex_lock, pthread_mutex_t)
TESSARINE_COUNTED_LOCK(pthread_mutex_trylock, pthread_mutex_t)
TESSARINE_COUNTED_LOCK(pthread_rwlock_rdlock, pthread_rwlock_t)
TESSARINE_COUNTED_LOCK(pthread_rwlock_wrlock, pthread_rwlock_t)
TESSARINE_COUNTED_LOCK(pthread_spin_lock, pthread_spinlock_t)
TESSARINE_COUNTED_LOCK(sem_wait, sem_t)
#undef TESSARINE_COUNTED_LOCK

namespace {

void onSystemCall(int, siginfo_t* info, void* context) {
  if (tWatched) {
    gEvents[kSystemCall].fetch_add(1, std::memory_order_relaxed);
    gLastSystemCall.store(info->si_syscall, std::memory_order_relaxed);
  }
  static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_RAX] = -ENOSYS;
}

// From here on every system call of this thread but rt_sigreturn and exit traps.
bool trapSystemCalls() {
  sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_TRAP),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_rt_sigreturn, 2, 0),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_exit, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_TRAP),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  sock_fprog program = {(unsigned short)(sizeof(filter) / sizeof(filter[0])), filter};
  return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
         prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// Runs work on a thread with system calls trapped; false when the trap could not be set up.
bool runAudioThread(const std::function<void(const std::function<void(bool)>&)>& work) {
  struct sigaction action = {};
  action.sa_sigaction = onSystemCall;
  action.sa_flags = SA_SIGINFO;
  sigaction(SIGSYS, &action, nullptr);
  resetEvents();
  bool trapped = false;
  std::thread audio([&] {
    // A host's audio thread has long had its own allocation arena.
    free(malloc(64));
    trapped = trapSystemCalls();
    if (trapped) work([](bool on) { tWatched = on; });
    tWatched = false;
  });
  audio.join();
  return trapped;
}

void reportEvents() {
  for (int e = 0; e < kEventCount; e++) {
    INFO("event: " << std::string(kEventNames[e]));
    CHECK(gEvents[e].load() == 0);
  }
  if (gEvents[kSystemCall].load()) MESSAGE("last system call: " << gLastSystemCall.load());
}

// The host of the watched effects. A new oversampling factor makes the HQ effect call
// audioMasterIOChanged from the thread that set it, which for automation is the audio
// thread: the callback runs inside the watched region and counts like the plug-in's own
// code, so it does what a host's callback on that thread must do and no more (it reads the
// new latency and counts the call); anything the watch sees is then the plug-in's.
struct RealtimeHost {
  static std::atomic<int>& ioChanges() {
    static std::atomic<int> count{0};
    return count;
  }
  static std::atomic<VstInt32>& lastDelay() {
    static std::atomic<VstInt32> delay{-1};
    return delay;
  }
  static VstIntPtr callback(AEffect* effect, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    if (opcode == audioMasterVersion) return kVstVersion;
    if (opcode == audioMasterIOChanged && effect) {
      lastDelay().store(effect->initialDelay, std::memory_order_relaxed);
      ioChanges().fetch_add(1, std::memory_order_relaxed);
      return 1;
    }
    return 0;
  }
};

// The settings after the six harmonics ("+tessarine HQ": oversampling, DC filter, limit)
// for a round: the four factors, each with the filter and the limit on and off (16 rounds
// give every combination).
void setQuality(AEffect* e, int round) {
  if (e->numParams <= 6) return;
  static const float kFactors[] = {0.0f, 1.0f / 3.0f, 2.0f / 3.0f, 1.0f};  // 1x, 2x, 4x, 8x
  e->setParameter(e, 6, kFactors[round % 4]);
  e->setParameter(e, 7, (round / 4) % 2 ? 1.0f : 0.0f);
  e->setParameter(e, 8, (round / 8) % 2 ? 1.0f : 0.0f);
}

// Blocks of every kind a host sends, with every buffer made beforehand.
struct AudioWork {
  static constexpr long kLongest = 4096;
  std::vector<float> in1 = std::vector<float>(kLongest), in2 = std::vector<float>(kLongest);
  std::vector<float> out1 = std::vector<float>(kLongest), out2 = std::vector<float>(kLongest);

  AudioWork() {
    for (long i = 0; i < kLongest; i++) {
      in1[(size_t)i] = (float)std::sin(0.01 * (double)i);
      in2[(size_t)i] = (float)std::sin(0.02 * (double)i);
    }
  }

  // Parameter changes and reads (every index and one past each end, with hostile values),
  // the round's HQ settings, blocks of several lengths (up to many times the processor's
  // chunk) in both modes, all watched.
  void round(AEffect* e, int round, const std::function<void(bool)>& watch) {
    static const float kValues[] = {0.0f, 0.25f, 1.0f, -3.0f, 40.0f, 1e30f, NAN, INFINITY};
    float* inputs[2] = {in1.data(), in2.data()};
    float* outputs[2] = {out1.data(), out2.data()};
    const float value = kValues[(size_t)round % (sizeof(kValues) / sizeof(kValues[0]))];
    watch(true);
    for (VstInt32 index = -1; index <= e->numParams; index++) e->setParameter(e, index, value);
    for (VstInt32 index = -1; index <= e->numParams; index++) (void)e->getParameter(e, index);
    setQuality(e, round);
    for (VstInt32 frames : {0, 1, 7, 64, 1000, 4096}) {
      e->processReplacing(e, inputs, outputs, frames);
      e->process(e, inputs, outputs, frames);
      e->processReplacing(e, outputs, outputs, frames);
    }
    e->setParameter(e, round % 6, 0.5f);
    watch(false);
  }
};

bool runRounds(AEffect* e, int rounds) {
  AudioWork work;
  return runAudioThread([&](const std::function<void(bool)>& watch) {
    for (int r = 0; r < rounds; r++) {
      // Bypass and program switches between the watched calls are not under test.
      e->dispatcher(e, effSetBypass, 0, r % 3 == 2, nullptr, 0.0f);
      if (r % 5 == 4) e->dispatcher(e, effSetProgram, 0, r % 10, nullptr, 0.0f);
      work.round(e, r, watch);
    }
  });
}

constexpr const char* kNoSeccomp = "seccomp filters are not available to this process";

// A built plug-in loaded from its path, resumed at 48 kHz and watched over its rounds. The
// very first blocks after resume are watched too: nothing may be set up lazily.
void watchPlugin(LoadedPlugin& plugin, int rounds) {
  REQUIRE_MESSAGE(static_cast<bool>(plugin.main), dlerror());
  const HostedEffect effect(plugin.main(RealtimeHost::callback));
  REQUIRE(effect.e);
  effect.dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
  effect.dispatch(effSetBlockSize, 0, 4096);
  effect.dispatch(effMainsChanged, 0, 1);
  RealtimeHost::ioChanges() = 0;
  REQUIRE_MESSAGE(runRounds(effect.e, rounds), kNoSeccomp);
  reportEvents();
  // The latency the host read on the last announcement is the one the record shows.
  if (RealtimeHost::ioChanges().load())
    CHECK(RealtimeHost::lastDelay().load() == effect.e->initialDelay);
  effect.dispatch(effClose);
}

}  // namespace

TEST_CASE("processing and parameter access neither allocate, lock nor call the system") {
  LoadedPlugin plugin;
  watchPlugin(plugin, 40);
  // The described plug-in has no latency to announce.
  CHECK(RealtimeHost::ioChanges().load() == 0);
}

#ifdef TESSARINE_HQ_PLUGIN_PATH
// "+tessarine HQ" at every factor, with the DC filter and the limit on and off, bypassed and
// not (48 rounds: every combination of the 16 settings with the bypass of runRounds), the
// factor set from the audio thread as automation sets it.
TEST_CASE("the HQ plug-in at every factor neither allocates, locks nor calls the system") {
  LoadedPlugin plugin{dlopen(TESSARINE_HQ_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL)};
  watchPlugin(plugin, 48);
  // The new factors were announced from the watched thread; the last one, 8x, has a latency.
  CHECK(RealtimeHost::ioChanges().load() > 0);
  CHECK(RealtimeHost::lastDelay().load() > 0);
}
#endif

TEST_CASE("the watch itself sees an allocation, a lock and a system call") {
  std::atomic<void*> sink{nullptr};
  const bool trapped = runAudioThread([&](const std::function<void(bool)>& watch) {
    pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
    watch(true);
    sink = malloc(16);
    free(sink.load());
    pthread_mutex_lock(&mutex);
    pthread_mutex_unlock(&mutex);
    (void)getppid();
    watch(false);
  });
  REQUIRE_MESSAGE(trapped, kNoSeccomp);
  CHECK(gEvents[kAllocation].load() == 1);
  CHECK(gEvents[kRelease].load() == 1);
  CHECK(gEvents[kLock].load() == 1);
  CHECK(gEvents[kSystemCall].load() == 1);
  CHECK(gLastSystemCall.load() == SYS_getppid);
}

#ifdef TESSARINE_WITH_XTESTHOST
namespace {

// The editor open and idling: the effect's setParameter reaches it from the audio thread.
void watchWithEditor(LoadedPlugin& plugin) {
  XTestHost window;
  REQUIRE(window.display);
  REQUIRE_MESSAGE(static_cast<bool>(plugin.main), dlerror());
  const HostedEffect effect(plugin.main(RealtimeHost::callback));
  REQUIRE(effect.e);
  effect.dispatch(effMainsChanged, 0, 1);
  REQUIRE(effect.openEditor(window.window) == 1);

  std::atomic<bool> done{false};
  bool trapped = false;
  std::thread audio([&] {
    trapped = runRounds(effect.e, 200);
    done = true;
  });
  while (!done) {
    effect.idle();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  audio.join();
  REQUIRE_MESSAGE(trapped, kNoSeccomp);
  reportEvents();
  effect.dispatch(effEditClose);
  effect.dispatch(effClose);
}

}  // namespace

TEST_CASE("with the editor open, the audio thread still neither allocates, locks nor calls") {
  LoadedPlugin plugin;
  watchWithEditor(plugin);
}

#ifdef TESSARINE_HQ_PLUGIN_PATH
// HQ's editor shows the settings and the latency the audio thread's automation sets.
TEST_CASE("with the HQ editor open, the audio thread still neither allocates, locks nor calls") {
  LoadedPlugin plugin{dlopen(TESSARINE_HQ_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL)};
  watchWithEditor(plugin);
}
#endif
#endif

#ifdef TESSARINE_LV2_PATH
// The LV2 processors' run under the same watch (tests/lv2 builds this file again with the
// bundle's binary and selects these cases).
#include <lv2/core/lv2.h>

#include "lv2ports.h"

namespace {

constexpr float kHostileValues[] = {0.0f, -60.0f, -12.5f, 40.0f, 1e30f, -1e30f, NAN, INFINITY};
constexpr size_t kHostileCount = sizeof(kHostileValues) / sizeof(kHostileValues[0]);

// One of the bundle's plug-ins, instantiated at 48 kHz with every port connected: the
// control ports to `controls` (as many as it has before its audio ports), the audio ports
// to the work's buffers, and, where there is one, the latency output.
struct Lv2Watch {
  void* library = dlopen(TESSARINE_LV2_PATH, RTLD_NOW | RTLD_LOCAL);
  const LV2_Descriptor* descriptor = nullptr;
  LV2_Handle handle = nullptr;
  AudioWork work;
  float controls[kHqPortInput1] = {};
  float latency = -1.0f;

  Lv2Watch(uint32_t index, uint32_t controlCount, int latencyPort) {
    REQUIRE_MESSAGE(library, dlerror());
    using Entry = const LV2_Descriptor* (*)(uint32_t);
    const Entry entry = reinterpret_cast<Entry>(dlsym(library, "lv2_descriptor"));
    descriptor = entry ? entry(index) : nullptr;
    REQUIRE(descriptor);
    handle = descriptor->instantiate(descriptor, 48000.0, "", nullptr);
    REQUIRE(handle);
    for (uint32_t port = 0; port < controlCount; port++)
      descriptor->connect_port(handle, port, &controls[port]);
    float* audio[4] = {work.in1.data(), work.in2.data(), work.out1.data(), work.out2.data()};
    for (uint32_t i = 0; i < 4; i++) descriptor->connect_port(handle, controlCount + i, audio[i]);
    if (latencyPort >= 0) descriptor->connect_port(handle, (uint32_t)latencyPort, &latency);
  }
  ~Lv2Watch() {
    if (handle) descriptor->cleanup(handle);
  }

  // Rounds of runs of every length, each round's control values set by `set` before the
  // watched runs. The very first run is watched too: nothing may be set up lazily.
  void watch(int rounds, const std::function<void(int)>& set) {
    const bool trapped = runAudioThread([&](const std::function<void(bool)>& watched) {
      for (int round = 0; round < rounds; round++) {
        for (uint32_t port = 0; port < kPortHarmonicCount; port++)
          controls[port] = kHostileValues[((size_t)round + port) % kHostileCount];
        controls[kPortEnabled] = round % 3 == 2 ? 0.0f : 1.0f;
        set(round);
        watched(true);
        for (uint32_t frames : {0u, 1u, 7u, 64u, 1000u, 4096u}) descriptor->run(handle, frames);
        watched(false);
      }
    });
    REQUIRE_MESSAGE(trapped, kNoSeccomp);
    reportEvents();
  }
};

}  // namespace

TEST_CASE("the LV2 processor's run neither allocates, locks nor calls the system") {
  Lv2Watch plugin(0, kPortInput1, -1);
  plugin.watch(40, [](int) {});
}

// Every factor the port may name, well or badly (the nearest of 1, 2, 4, 8 is taken), the
// DC filter and the limit on, off and non-finite, enabled, bypassed and non-finite: the
// 12 x 4 x 4 x 3 combinations of the values over the rounds.
TEST_CASE("the LV2 HQ processor's run at every factor neither allocates, locks nor calls") {
  static const float kFactors[] = {1.0f,   2.0f,  4.0f, 8.0f,     0.0f,  3.0f,
                                   100.0f, -5.0f, NAN,  INFINITY, 1e30f, -1e30f};
  static const float kToggles[] = {0.0f, 1.0f, NAN, -1e30f};
  static const float kEnabled[] = {1.0f, 0.0f, NAN};
  Lv2Watch plugin(1, kHqPortInput1, kHqPortLatency);
  plugin.watch(12 * 4 * 4 * 3, [&](int round) {
    plugin.controls[kHqPortOversampling] = kFactors[round % 12];
    plugin.controls[kHqPortDcFilter] = kToggles[(round / 12) % 4];
    plugin.controls[kHqPortLimit] = kToggles[(round / 48) % 4];
    plugin.controls[kPortEnabled] = kEnabled[round / 192];
  });
  // The latency output was written: a whole number of frames.
  CHECK(plugin.latency >= 0.0f);
  CHECK(plugin.latency == std::floor(plugin.latency));
}
#endif
