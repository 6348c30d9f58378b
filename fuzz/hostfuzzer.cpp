// The whole host surface under a coverage-guided fuzzer, of the described plug-in
// (hostfuzzer) or of "+tessarine HQ" (hqhostfuzzer, the same harness linked with the HQ
// entry; it tells the two apart by the record's unique ID). Each input is a session of
// a host that may misbehave: VSTPluginMain, then a sequence of dispatcher calls over
// every opcode from -5 to 100 with any index, value and opt, parameter sets and gets
// with any float, processing blocks of 0 to 4096 frames (and a few negative
// lengths) with any samples, and effClose at the end. A session may close its
// instance early and make another.
//
// Every buffer the plug-in gets is allocated with exactly the size the opcode's
// text limit or record allows, so AddressSanitizer catches any access past it; the
// records this plug-in never reads (declared opaque in aeffectx.h) and the ptr of
// opcodes that carry none are buffers of zero bytes: any access at all is caught.
// Besides the sanitizers, a few answers are checked (texts terminated within their
// limit, the program number in range, no NaN parameter, bounded output for bounded
// input, for HQ where that holds: with the limit on after bounded input only, or as the
// plain curve at 1x without the filter; HQ's initialDelay always the latency of the
// factor its Oversampling parameter names). With HOSTFUZZER_DISPLAY=1 and an X server
// on DISPLAY (scripts/fuzz.sh runs one in Xvfb) the editor opens for real: in a window
// of the harness's own, in the root window or in whatever id the input names, and
// idles, draws, takes keys and closes between parameter changes and blocks. Otherwise
// DISPLAY is unset: the editor cannot show a window, and every editor opcode must
// still be harmless.
//
// Input format (read front to back; past the end every read gives 0):
//   instance: version answer (byte; 0 = the host answers 0), then actions
//   action:   kind byte % 8: 0-2 dispatcher, 3 setParameter, 4 getParameter,
//             5 processReplacing, 6 process, 7 processDoubleReplacing
//   dispatcher: opcode byte (% 106 - 5), index, value (integers), opt (number), ptr
//             byte (bit 0 clear: null), then what the opcode's buffer needs
//   integer:  byte b; b < 64: b; b < 128: -(b - 63); b < 192: 4 more bytes (int32);
//             else 8 more bytes (int64), little-endian
//   number:   byte b; b < 16: a special value (NaN, infinities, extremes, ...);
//             b < 128: (b - 16) / 111, in 0..1; else 4 more bytes, raw float bits
//   block:    frames (integer, folded into -4..4096), sample kind byte (% 3: 0 in
//             -1..1, 1 raw bits, 2 special values), 4-byte seed, layout byte
// The host's answers to the plug-in's requests are integers read from the input.

#include <unistd.h>

#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "aeffectx.h"
#include "aeffeditor.h"
#include "oversampler.h"
#include "tessarinehq.h"

// After the plug-in's headers: Xlib defines macros with common names.
#include <X11/Xlib.h>

extern "C" AEffect* VSTPluginMain(audioMasterCallback audioMaster);

namespace {

constexpr int kMaxActions = 400;
constexpr int kMaxInstances = 4;
constexpr int kMaxFrames = 4096;

void require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "hostfuzzer: %s\n", what);
  std::abort();
}

// ---------------------------------------------------------------------------
// The input.

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data(data), size(size) {}

  bool empty() const { return position >= size; }
  uint8_t byte() { return position < size ? data[position++] : 0; }
  uint64_t raw(int count) {
    uint64_t value = 0;
    for (int i = 0; i < count; i++) value |= (uint64_t)byte() << (8 * i);
    return value;
  }
  int64_t integer() {
    const uint8_t b = byte();
    if (b < 64) return b;
    if (b < 128) return -(int64_t)(b - 63);
    if (b < 192) return (int32_t)(uint32_t)raw(4);
    return (int64_t)raw(8);
  }
  float number() {
    static const float kSpecial[16] = {std::numeric_limits<float>::quiet_NaN(),
                                       std::numeric_limits<float>::infinity(),
                                       -std::numeric_limits<float>::infinity(),
                                       -0.0f,
                                       std::numeric_limits<float>::denorm_min(),
                                       std::numeric_limits<float>::max(),
                                       -std::numeric_limits<float>::max(),
                                       std::numeric_limits<float>::min(),
                                       1e30f,
                                       -1e30f,
                                       2147483648.0f,
                                       -2147483904.0f,
                                       1.0f + std::numeric_limits<float>::epsilon(),
                                       -1.0f,
                                       14.0f,
                                       -std::numeric_limits<float>::signaling_NaN()};
    const uint8_t b = byte();
    if (b < 16) return kSpecial[b];
    if (b < 128) return (float)(b - 16) / 111.0f;
    const uint32_t bits = (uint32_t)raw(4);
    float value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
  }

 private:
  const uint8_t* data;
  size_t size;
  size_t position = 0;
};

FuzzInput* gInput = nullptr;
VstIntPtr gVersionAnswer = kVstVersion;
// The instance is "+tessarine HQ"; every float block it has had so far held samples in
// -1..1 only (its filters remember the blocks before).
bool gHq = false;
bool gBoundedSoFar = true;
// Set (HOSTFUZZER_TRACE in the environment) to print each action of a session, for
// turning a finding into a regression test.
bool gTrace = false;

void trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
void trace(const char* format, ...) {
  if (!gTrace) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
}

// ---------------------------------------------------------------------------
// Guarded memory: every allocation has exactly the size asked for (zero bytes
// included), so the sanitizer sees any access past it. Freed with the session.

class Arena {
 public:
  ~Arena() {
    for (void* block : blocks) std::free(block);
  }
  void* bytes(size_t count, uint8_t fill) {
    void* block = std::malloc(count);
    require(block != nullptr || count == 0, "out of memory");
    if (count) std::memset(block, fill, count);
    blocks.push_back(block);
    return block;
  }
  template <typename T>
  T* take(size_t count, uint8_t fill = 0) {
    return static_cast<T*>(bytes(count * sizeof(T), fill));
  }

 private:
  std::vector<void*> blocks;
};

// ---------------------------------------------------------------------------
// The host's callback.

VstIntPtr hostCallback(AEffect* effect, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float) {
  switch (opcode) {
    case audioMasterVersion:
      return gVersionAnswer;
    // Requests answered with a pointer: a host hands out only records it owns, or null.
    case audioMasterGetTime:
    case audioMasterGetPreviousPlug:
    case audioMasterGetNextPlug:
    case audioMasterGetOutputSpeakerArrangement:
    case audioMasterGetInputSpeakerArrangement:
    case audioMasterOpenWindow:
    case audioMasterGetDirectory:
      return 0;
    case audioMasterGetVendorString:
    case audioMasterGetProductString:
      if (ptr) std::strcpy(static_cast<char*>(ptr), "fuzz host");
      return 1;
    case audioMasterIdle:
      // Some hosts answer their idle request by idling the editor at once.
      if (effect && gInput && (gInput->byte() & 1))
        effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
      return 0;
    default:
      return gInput ? (VstIntPtr)gInput->integer() : 0;
  }
}

// ---------------------------------------------------------------------------
// Dispatcher calls.

// Room for the texts the plug-in writes, terminator included; 0 for opcodes that
// write no text.
size_t textOutSize(VstInt32 opcode) {
  switch (opcode) {
    case effGetProgramName:
    case effGetProgramNameIndexed:
      return kVstMaxProgNameLen + 1;
    case effGetParamLabel:
    case effGetParamDisplay:
    case effGetParamName:
      return kVstMaxParamStrLen + 1;
    case effGetEffectName:
      return kVstMaxEffectNameLen + 1;
    case effGetVendorString:
      return kVstMaxVendorStrLen + 1;
    case effGetProductString:
      return kVstMaxProductStrLen + 1;
    case effGetErrorText:
    case effShellGetNextPlugin:
      // No limit is fixed for these texts: a one-byte buffer holds only the empty one.
      return 1;
    default:
      return 0;
  }
}

// A zero-terminated text of 0 to 63 characters from the input: one of the
// capability strings or any bytes.
char* textIn(FuzzInput& in, Arena& arena) {
  static const char* const kKnown[] = {PlugCanDos::canDoBypass,
                                       PlugCanDos::canDoReceiveVstMidiEvent,
                                       PlugCanDos::canDoReceiveVstEvents,
                                       PlugCanDos::canDoReceiveVstTimeInfo,
                                       PlugCanDos::canDoOffline,
                                       PlugCanDos::canDoMidiProgramNames,
                                       "",
                                       "-60",
                                       "0.5",
                                       "1e40",
                                       "nan"};
  const uint8_t choice = in.byte();
  if (choice < sizeof(kKnown) / sizeof(kKnown[0])) {
    const size_t length = std::strlen(kKnown[choice]);
    char* text = arena.take<char>(length + 1);
    std::memcpy(text, kKnown[choice], length + 1);
    return text;
  }
  const size_t length = in.byte() % 64;
  char* text = arena.take<char>(length + 1);
  for (size_t i = 0; i < length; i++) text[i] = (char)(in.byte() | 1);
  text[length] = 0;
  return text;
}

VstSpeakerArrangement* arrangement(FuzzInput& in, Arena& arena) {
  const VstInt32 channels = in.byte() % 9;
  const size_t size =
      offsetof(VstSpeakerArrangement, speakers) + sizeof(VstSpeakerProperties) * (size_t)channels;
  auto* result = static_cast<VstSpeakerArrangement*>(arena.bytes(size, in.byte()));
  result->numChannels = channels;
  return result;
}

VstEvents* events(FuzzInput& in, Arena& arena) {
  const VstInt32 count = in.byte() % 5;
  const size_t size = offsetof(VstEvents, events) + sizeof(VstEvent*) * (size_t)count;
  auto* result = static_cast<VstEvents*>(arena.bytes(size, 0));
  result->numEvents = count;
  // The events themselves are never read by this plug-in.
  VstEvent** list =
      reinterpret_cast<VstEvent**>(reinterpret_cast<char*>(result) + offsetof(VstEvents, events));
  for (VstInt32 i = 0; i < count; i++) list[i] = static_cast<VstEvent*>(arena.bytes(0, 0));
  return result;
}

// The harness's X connection and its top-level window, when fuzzing with a display.
Display* gDisplay = nullptr;
Window gHostWindow = 0;

void openHostWindow() {
  if (!(gDisplay = XOpenDisplay(nullptr))) return;
  const int screen = DefaultScreen(gDisplay);
  gHostWindow = XCreateSimpleWindow(gDisplay, RootWindow(gDisplay, screen), 0, 0, 600, 300, 0, 0,
                                    WhitePixel(gDisplay, screen));
  XMapWindow(gDisplay, gHostWindow);
  XSync(gDisplay, False);
}

// The window id that effEditOpen gets for the input's four bytes: without a display
// the bytes themselves; with one, the host window (half of the ids), the root
// window (a quarter) or the bytes (a junk id, or 0).
uintptr_t hostWindow(uintptr_t bytes) {
  if (!gDisplay) return bytes;
  if (bytes % 4 < 2) return gHostWindow;
  if (bytes % 4 == 2) return DefaultRootWindow(gDisplay);
  return bytes >> 2;
}

struct Call {
  VstInt32 opcode;
  VstInt32 index;
  VstIntPtr value;
  void* ptr = nullptr;
  float opt;
  size_t textSize = 0;  // bytes of a text the plug-in writes into ptr
};

// Fills in ptr (and, where it carries a pointer, value) for the opcode.
void prepareBuffers(Call& call, FuzzInput& in, Arena& arena) {
  if (call.opcode == effEditOpen) {
    // The host's window: an X window id, not a buffer. With a display, most ids
    // name a real window.
    call.ptr = reinterpret_cast<void*>(hostWindow((uintptr_t)in.raw(4)));
    return;
  }
  if (!(in.byte() & 1)) return;  // ptr stays null
  if ((call.textSize = textOutSize(call.opcode))) {
    // Junk, not zeros: a missing terminator shows.
    call.ptr = arena.bytes(call.textSize, 'x');
    return;
  }
  switch (call.opcode) {
    case effSetProgramName: {
      // Any bytes, terminated or not: the plug-in reads no more than the limit.
      char* name = arena.take<char>(kVstMaxProgNameLen + 1);
      for (int i = 0; i <= kVstMaxProgNameLen; i++) name[i] = (char)in.byte();
      call.ptr = name;
      break;
    }
    case effString2Parameter:
    case effCanDo:
      call.ptr = textIn(in, arena);
      break;
    case effEditGetRect:
    case effGetChunk:
      call.ptr = arena.take<void*>(1, 0xbe);
      break;
    case effEditDraw:
      call.ptr = arena.bytes(sizeof(ERect), in.byte());
      break;
    case effSetChunk:
      call.value = in.byte() * 4;
      call.ptr = arena.bytes((size_t)call.value, in.byte());
      break;
    case effProcessEvents:
      call.ptr = events(in, arena);
      break;
    case effSetSpeakerArrangement:
      call.value = reinterpret_cast<VstIntPtr>(arrangement(in, arena));
      call.ptr = arrangement(in, arena);
      break;
    case effGetSpeakerArrangement:
      call.value = reinterpret_cast<VstIntPtr>(arena.take<VstSpeakerArrangement*>(1, 0xbe));
      call.ptr = arena.take<VstSpeakerArrangement*>(1, 0xbe);
      break;
    case effVendorSpecific:
      call.ptr = arena.bytes(in.byte() % 65, in.byte());
      break;
    default:
      // Opaque records this plug-in never reads, and opcodes that carry no ptr.
      call.ptr = arena.bytes(0, 0);
      break;
  }
}

bool terminatedWithin(const void* text, size_t size) {
  return strnlen(static_cast<const char*>(text), size) < size;
}

void checkAnswer(const Call& call, VstIntPtr result) {
  switch (call.opcode) {
    case effGetProgram:
      require(result >= 0 && result < 10, "effGetProgram: program number out of range");
      break;
    case effIdentify:
      require(result == CCONST('N', 'v', 'E', 'f'), "effIdentify: wrong answer");
      break;
    case effGetVendorString:
      if (call.ptr) require(result == 1 && !std::strcmp((char*)call.ptr, "Quorvalin"), "vendor");
      break;
    case effGetProductString:
      if (call.ptr)
        require(result == 1 && !std::strcmp((char*)call.ptr, gHq ? "+tessarine HQ" : "+tessarine"),
                "product");
      break;
    case effEditGetRect:
      // The described panel; HQ's has it on top, with what its settings need below.
      if (call.ptr && result) {
        const ERect* rect = *static_cast<ERect**>(call.ptr);
        require(rect && rect->top == 0 && rect->left == 0 && rect->right == 419 &&
                    (gHq ? rect->bottom >= 145 : rect->bottom == 145),
                "effEditGetRect: not the 419 x 145 panel");
      }
      break;
    default:
      break;
  }
  if (!call.textSize || !call.ptr) return;
  // The core text opcodes always write; the extended ones write when they answer 1.
  const bool wrote = call.opcode <= effGetParamName || result != 0;
  if (wrote) require(terminatedWithin(call.ptr, call.textSize), "text not terminated in its limit");
}

// Returns false when the call closed the instance.
bool dispatch(AEffect* effect, FuzzInput& in, Arena& arena) {
  Call call;
  call.opcode = (VstInt32)(in.byte() % 106) - 5;
  call.index = (VstInt32)in.integer();
  call.value = (VstIntPtr)in.integer();
  call.opt = in.number();
  prepareBuffers(call, in, arena);
  trace("dispatcher(%d, %d, %lld, %p, %g)", call.opcode, call.index, (long long)call.value,
        call.ptr, (double)call.opt);
  const VstIntPtr result =
      effect->dispatcher(effect, call.opcode, call.index, call.value, call.ptr, call.opt);
  trace(" = %lld\n", (long long)result);
  if (call.opcode == effClose) {
    require(result == 1, "effClose answered other than 1");
    return false;
  }
  checkAnswer(call, result);
  return true;
}

// ---------------------------------------------------------------------------
// Processing.

float sampleOf(uint32_t& state, int kind) {
  // xorshift32: cheap, and the same seed gives the same block.
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  if (kind == 0) return (float)((double)state / 2147483647.5 - 1.0);
  if (kind == 1) {
    float value;
    std::memcpy(&value, &state, sizeof(value));
    return value;
  }
  static const float kSpecial[8] = {std::numeric_limits<float>::quiet_NaN(),
                                    std::numeric_limits<float>::infinity(),
                                    -std::numeric_limits<float>::infinity(),
                                    std::numeric_limits<float>::denorm_min(),
                                    std::numeric_limits<float>::max(),
                                    -0.0f,
                                    1.0f,
                                    -1.0f};
  return kSpecial[state % 8];
}

template <typename Sample>
Sample* channel(Arena& arena, long frames, uint32_t& state, int kind) {
  Sample* samples = arena.take<Sample>((size_t)frames);
  for (long i = 0; i < frames; i++) samples[i] = (Sample)sampleOf(state, kind);
  return samples;
}

struct Block {
  VstInt32 frames;
  int kind;
  uint32_t seed;
  uint8_t layout;  // bit 0 in place, bit 1 no second channel, bit 2 no second output
};

Block readBlock(FuzzInput& in) {
  Block block;
  const int64_t n = in.integer();
  block.frames =
      (VstInt32)(n >= -4 && n <= kMaxFrames ? n : (n < 0 ? -(n + 1) : n) % (kMaxFrames + 1));
  block.kind = in.byte() % 3;
  block.seed = (uint32_t)in.raw(4) | 1u;
  block.layout = in.byte();
  return block;
}

// For input in -1..1 every T_n stays in -1..1 and the weights are positive, so the
// normalised output of a replacing block stays in -1..1 too (bypassed or not). HQ's
// oversampling and DC filter can overshoot: there the bound holds with the limit on,
// when no earlier block left samples outside -1..1 in its filters and delay, or at 1x
// without the filter, where it is the plain curve.
bool boundedOutputExpected(AEffect* effect) {
  if (!gHq) return true;
  const bool limit = effect->getParameter(effect, tessarinehq::kParamLimit) >= 0.5f;
  const bool plain =
      tessarinehq::factorOf(effect->getParameter(effect, tessarinehq::kParamOversampling)) == 1 &&
      effect->getParameter(effect, tessarinehq::kParamDcFilter) < 0.5f && !limit;
  return plain || (limit && gBoundedSoFar);
}

void checkBounded(const float* out, long frames) {
  for (long i = 0; i < frames; i++)
    require(std::isfinite(out[i]) && std::fabs(out[i]) <= 1.0001f,
            "output outside -1..1 for input inside it");
}

void processFloat(AEffect* effect, FuzzInput& in, Arena& arena, int which) {
  const Block block = readBlock(in);
  const long frames = block.frames > 0 ? block.frames : 0;
  uint32_t state = block.seed;
  float* inputs[2] = {channel<float>(arena, frames, state, block.kind), nullptr};
  if (!(block.layout & 2)) inputs[1] = channel<float>(arena, frames, state, block.kind);
  float* outputs[2];
  const bool replacing = which == 5;
  for (int c = 0; c < 2; c++) {
    if (block.layout & 1)
      outputs[c] = inputs[c];
    else
      // Replacing blocks start from silence, so an untouched second output passes too.
      outputs[c] = channel<float>(arena, frames, state, replacing ? 0 : block.kind);
    if (!(block.layout & 1) && replacing)
      std::memset(outputs[c], 0, sizeof(float) * (size_t)frames);
  }
  if (block.layout & 4) outputs[1] = nullptr;
  trace("%s(%d frames, samples %d, layout %d)\n", replacing ? "processReplacing" : "process",
        block.frames, block.kind, block.layout);
  const bool bounded = block.kind == 0 && boundedOutputExpected(effect);
  if (block.kind != 0 && frames > 0) gBoundedSoFar = false;
  if (replacing)
    effect->processReplacing(effect, inputs, outputs, block.frames);
  else
    effect->process(effect, inputs, outputs, block.frames);
  if (replacing && bounded) {
    checkBounded(outputs[0], frames);
    if (outputs[1]) checkBounded(outputs[1], frames);
  }
}

void processDouble(AEffect* effect, FuzzInput& in, Arena& arena) {
  const Block block = readBlock(in);
  const long frames = block.frames > 0 ? block.frames : 0;
  uint32_t state = block.seed;
  double* inputs[2] = {channel<double>(arena, frames, state, block.kind),
                       channel<double>(arena, frames, state, block.kind)};
  double* outputs[2] = {channel<double>(arena, frames, state, block.kind),
                        channel<double>(arena, frames, state, block.kind)};
  trace("processDoubleReplacing(%d frames)\n", block.frames);
  effect->processDoubleReplacing(effect, inputs, outputs, block.frames);
}

// ---------------------------------------------------------------------------
// A session.

void checkParameters(AEffect* effect) {
  for (VstInt32 i = -1; i <= effect->numParams; i++)
    require(std::isfinite(effect->getParameter(effect, i)), "getParameter answered non-finite");
  if (gHq) {
    const int factor =
        tessarinehq::factorOf(effect->getParameter(effect, tessarinehq::kParamOversampling));
    require(effect->initialDelay == (VstInt32)tessarineoversampler::latencyOf(factor),
            "initialDelay is not the latency of the factor");
  }
}

// Runs one instance until the input ends, the action budget is spent or the host
// closes it. Returns false when the session should stop.
bool runInstance(FuzzInput& in, int& actions) {
  gVersionAnswer = in.byte() == 0 && !in.empty() ? 0 : kVstVersion;
  trace("VSTPluginMain, version answer %lld\n", (long long)gVersionAnswer);
  AEffect* effect = VSTPluginMain(hostCallback);
  if (gVersionAnswer == 0) {
    require(effect == nullptr, "an instance was made for a host that answered version 0");
    gVersionAnswer = kVstVersion;
    effect = VSTPluginMain(hostCallback);
  }
  require(effect && effect->magic == kEffectMagic, "VSTPluginMain gave no record");
  gHq = effect->uniqueID == CCONST('+', 't', 's', 'h');
  gBoundedSoFar = true;
  Arena arena;
  bool open = true;
  while (open && !in.empty() && actions++ < kMaxActions) {
    const int kind = in.byte() % 8;
    if (kind <= 2) {
      open = dispatch(effect, in, arena);
    } else if (kind == 3) {
      const VstInt32 index = (VstInt32)in.integer();
      const float value = in.number();
      trace("setParameter(%d, %g)\n", index, (double)value);
      effect->setParameter(effect, index, value);
    } else if (kind == 4) {
      const VstInt32 index = (VstInt32)in.integer();
      trace("getParameter(%d) = %g\n", index, (double)effect->getParameter(effect, index));
    } else if (kind <= 6) {
      processFloat(effect, in, arena, kind);
    } else {
      processDouble(effect, in, arena);
    }
    if (open) checkParameters(effect);
  }
  if (open) require(effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f) == 1, "effClose");
  return !in.empty() && actions < kMaxActions;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Without HOSTFUZZER_DISPLAY no X display: the editor must refuse to open
  // without one, and fail cleanly.
  const char* withDisplay = getenv("HOSTFUZZER_DISPLAY");
  if (withDisplay && std::strcmp(withDisplay, "1") == 0)
    openHostWindow();
  else
    unsetenv("DISPLAY");
  gTrace = getenv("HOSTFUZZER_TRACE") != nullptr;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  gInput = &in;
  int actions = 0;
  for (int i = 0; i < kMaxInstances && runInstance(in, actions); i++) {
  }
  gInput = nullptr;
  return 0;
}
