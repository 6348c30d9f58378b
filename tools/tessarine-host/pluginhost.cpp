#include "pluginhost.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "aeffeditor.h"
#include "errors.h"
#include "textformat.h"

namespace {

// The plug-in's callback carries no user pointer, and while VSTPluginMain runs
// there is no record yet to hang one on, so the one live host is kept here.
PluginHost* activeHost = nullptr;

constexpr const char* kHostName = "tessarine-host";
constexpr size_t kTextBufferSize = 256;  // far above every limit of the interface

typedef AEffect* (*PluginEntry)(audioMasterCallback);

// dlopen() searches the library path for a bare name; a user means the file here.
std::string loadablePath(const std::string& path) {
  return path.find('/') == std::string::npos ? "./" + path : path;
}

// dlerror() text without the file name it starts with, which the message names already.
std::string loadFailure(const std::string& loadedPath) {
  const char* reason = dlerror();
  std::string text = reason ? reason : "unknown error";
  const std::string prefix = loadedPath + ": ";
  return text.rfind(prefix, 0) == 0 ? text.substr(prefix.size()) : text;
}

void copyBounded(void* destination, const char* text, size_t maxLength) {
  char* out = static_cast<char*>(destination);
  const size_t length = std::min(std::strlen(text), maxLength);
  std::memcpy(out, text, length);
  out[length] = '\0';
}

}  // namespace

void PluginHost::LibraryCloser::operator()(void* handle) const {
  dlclose(handle);
}

PluginHost::PluginHost(const std::string& path, const HostSettings& settings)
    : settings_(settings) {
  activeHost = this;
  try {
    load(path);
  } catch (...) {
    activeHost = nullptr;
    throw;
  }
  dispatch(effOpen);
  dispatch(effSetSampleRate, 0, 0, nullptr, float(settings_.sampleRate));
  dispatch(effSetBlockSize, 0, settings_.blockSize);
}

PluginHost::~PluginHost() {
  if (resumed_) suspend();
  dispatch(effClose);  // the plug-in frees its record here
  effect_ = nullptr;
  activeHost = nullptr;
}

void PluginHost::load(const std::string& path) {
  const std::string loadedPath = loadablePath(path);
  dlerror();
  library_.reset(dlopen(loadedPath.c_str(), RTLD_NOW | RTLD_LOCAL));
  if (!library_) throw HostError("cannot load plug-in '" + path + "': " + loadFailure(loadedPath));
  effect_ = createEffect(path);
}

AEffect* PluginHost::createEffect(const std::string& path) {
  void* symbol = dlsym(library_.get(), "VSTPluginMain");
  if (!symbol) throw HostError("'" + path + "' is not a VST plug-in: it exports no VSTPluginMain");
  PluginEntry entry = reinterpret_cast<PluginEntry>(symbol);
  AEffect* effect = entry(&PluginHost::hostCallback);
  if (!effect)
    throw HostError("'" + path + "' is not a VST plug-in: VSTPluginMain returned no effect");
  if (effect->magic != kEffectMagic)
    throw HostError(
        strprintf("'%s' is not a VST plug-in: its effect record has magic 0x%08X, "
                  "not 0x%08X",
                  path.c_str(), unsigned(effect->magic), unsigned(kEffectMagic)));
  if (!effect->dispatcher)
    throw HostError("'" + path + "' is not a VST plug-in: its effect record has no dispatcher");
  return effect;
}

VstIntPtr PluginHost::hostCallback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                   void* ptr, float) {
  if (opcode == audioMasterVersion) return kVstVersion;
  return activeHost ? activeHost->answer(opcode, index, value, ptr) : 0;
}

VstIntPtr PluginHost::answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr) {
  switch (opcode) {
    case audioMasterPinConnected:
      return pinConnected(index, value != 0);
    case audioMasterGetSampleRate:
      return settings_.sampleRate;
    case audioMasterGetBlockSize:
      return settings_.blockSize;
    case audioMasterGetVendorString:
    case audioMasterGetProductString:
      if (!ptr) return 0;
      copyBounded(ptr, kHostName, kVstMaxVendorStrLen);
      return 1;
    default:
      return 0;
  }
}

// 0 means connected. Before the record exists the pin counts are unknown, and
// the stereo pair every effect of interest has is taken to exist.
VstIntPtr PluginHost::pinConnected(VstInt32 index, bool isInput) const {
  const VstInt32 pins = effect_ ? (isInput ? effect_->numInputs : effect_->numOutputs) : 2;
  if (index < 0 || index >= pins) return 1;
  if (isInput && index == 1 && settings_.monoInput) return 1;
  return 0;
}

VstIntPtr PluginHost::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                               float opt) {
  return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::string PluginHost::queryText(VstInt32 opcode, VstInt32 index, VstIntPtr value) {
  std::vector<char> buffer(kTextBufferSize, '\0');
  dispatch(opcode, index, value, buffer.data());
  buffer.back() = '\0';
  return printable(buffer.data());
}

void PluginHost::resume() {
  dispatch(effMainsChanged, 0, 1);
  resumed_ = true;
}

void PluginHost::suspend() {
  dispatch(effMainsChanged, 0, 0);
  resumed_ = false;
}

std::string PluginHost::productString() {
  return queryText(effGetProductString);
}
std::string PluginHost::vendorString() {
  return queryText(effGetVendorString);
}
VstIntPtr PluginHost::vendorVersion() {
  return dispatch(effGetVendorVersion);
}

std::string PluginHost::paramName(int index) {
  return queryText(effGetParamName, index);
}
std::string PluginHost::paramLabel(int index) {
  return queryText(effGetParamLabel, index);
}
std::string PluginHost::paramDisplay(int index) {
  return queryText(effGetParamDisplay, index);
}

float PluginHost::paramValue(int index) {
  return effect_->getParameter ? effect_->getParameter(effect_, index) : 0.0f;
}

void PluginHost::setParam(int index, float value) {
  if (!effect_->setParameter) throw HostError("the plug-in has no setParameter function");
  effect_->setParameter(effect_, index, value);
}

int PluginHost::program() {
  return int(dispatch(effGetProgram));
}
void PluginHost::setProgram(int program) {
  dispatch(effSetProgram, 0, program);
}

std::string PluginHost::programName(int program) {
  std::vector<char> buffer(kTextBufferSize, '\0');
  if (dispatch(effGetProgramNameIndexed, program, -1, buffer.data()) == 0)
    return programNameBySwitching(program);
  buffer.back() = '\0';
  return printable(buffer.data());
}

std::string PluginHost::currentProgramName() {
  return queryText(effGetProgramName);
}

// For plug-ins that cannot name a program without making it current.
std::string PluginHost::programNameBySwitching(int program) {
  const int current = this->program();
  setProgram(program);
  std::string name = queryText(effGetProgramName);
  setProgram(current);
  return name;
}

void PluginHost::setBypass(bool bypass) {
  dispatch(effSetBypass, 0, bypass ? 1 : 0);
}

bool PluginHost::editorSize(int& width, int& height) {
  ERect* rect = nullptr;
  if (dispatch(effEditGetRect, 0, 0, &rect) == 0 || !rect) return false;
  width = rect->right - rect->left;
  height = rect->bottom - rect->top;
  return width > 0 && height > 0;
}

bool PluginHost::openEditor(unsigned long window) {
  return dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(window)) != 0;
}

bool PluginHost::setEditorScale(float factor) {
  return dispatch(effVendorSpecific, kVstScaleRequestIndex, kVstScaleRequestValue, nullptr,
                  factor) == 1;
}

void PluginHost::idleEditor() {
  dispatch(effEditIdle);
}

void PluginHost::closeEditor() {
  dispatch(effEditClose);
}

void PluginHost::processReplacing(float** inputs, float** outputs, int frames) {
  effect_->processReplacing(effect_, inputs, outputs, frames);
}
