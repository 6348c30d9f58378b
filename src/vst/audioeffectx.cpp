#include "audioeffectx.h"

#include <cstdlib>
#include <cstring>

#include "aeffeditor.h"

// Opcodes whose operation reads or writes through ptr: a null ptr is answered 0
// and nothing is called.
static bool extendedPtrRequired(VstInt32 opcode) {
  switch (opcode) {
    case effProcessEvents:
    case effString2Parameter:
    case effGetProgramNameIndexed:
    case effGetInputProperties:
    case effGetOutputProperties:
    case effOfflineNotify:
    case effOfflinePrepare:
    case effOfflineRun:
    case effProcessVarIo:
    case effSetSpeakerArrangement:
    case effGetEffectName:
    case effGetErrorText:
    case effGetVendorString:
    case effGetProductString:
    case effCanDo:
    case effGetParameterProperties:
    case effGetMidiProgramName:
    case effGetCurrentMidiProgram:
    case effGetMidiProgramCategory:
    case effGetMidiKeyName:
    case effGetSpeakerArrangement:
    case effShellGetNextPlugin:
    case effBeginLoadBank:
    case effBeginLoadProgram:
      return true;
    default:
      return false;
  }
}

VstIntPtr AudioEffectX::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                   float opt) {
  if (opcode < effProcessEvents || opcode > effGetNumMidiOutputChannels)
    return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
  if (!ptr && extendedPtrRequired(opcode)) return 0;

  char* text = static_cast<char*>(ptr);
  switch (opcode) {
    case effProcessEvents:
      return processEvents(static_cast<VstEvents*>(ptr));
    case effCanBeAutomated:
      return canParameterBeAutomated(index) ? 1 : 0;
    case effString2Parameter:
      return string2parameter(index, text) ? 1 : 0;
    case effGetNumProgramCategories:
      return getNumCategories();
    case effGetProgramNameIndexed:
      return getProgramNameIndexed((VstInt32)value, index, text) ? 1 : 0;
    case effCopyProgram:
      return copyProgram(index) ? 1 : 0;
    case effConnectInput:
      inputConnected(index, value != 0);
      return 1;
    case effConnectOutput:
      outputConnected(index, value != 0);
      return 1;
    case effGetInputProperties:
      return getInputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetOutputProperties:
      return getOutputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetPlugCategory:
      return getPlugCategory();
    case effGetCurrentPosition:
      return reportCurrentPosition();
    case effGetDestinationBuffer:
      return reinterpret_cast<VstIntPtr>(reportDestinationBuffer());
    case effOfflineNotify:
      return offlineNotify(static_cast<VstAudioFile*>(ptr), (VstInt32)value, index != 0) ? 1 : 0;
    case effOfflinePrepare:
      return offlinePrepare(static_cast<VstOfflineTask*>(ptr), (VstInt32)value) ? 1 : 0;
    case effOfflineRun:
      return offlineRun(static_cast<VstOfflineTask*>(ptr), (VstInt32)value) ? 1 : 0;
    case effProcessVarIo:
      return processVariableIo(static_cast<VstVariableIo*>(ptr)) ? 1 : 0;
    case effSetSpeakerArrangement:
      if (!value) return 0;
      return setSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement*>(value),
                                   static_cast<VstSpeakerArrangement*>(ptr))
                 ? 1
                 : 0;
    case effSetBlockSizeAndSampleRate:
      setBlockSizeAndSampleRate((VstInt32)value, opt);
      return 1;
    case effSetBypass:
      return setBypass(value != 0) ? 1 : 0;
    case effGetEffectName:
      return getEffectName(text) ? 1 : 0;
    case effGetErrorText:
      return getErrorText(text) ? 1 : 0;
    case effGetVendorString:
      return getVendorString(text) ? 1 : 0;
    case effGetProductString:
      return getProductString(text) ? 1 : 0;
    case effGetVendorVersion:
      return getVendorVersion();
    case effVendorSpecific:
      return vendorSpecific(index, value, ptr, opt);
    case effCanDo:
      return canDo(text);
    case effGetTailSize:
      return getGetTailSize();
    case effIdle:
      return fxIdle();
    case effGetIcon:
      return reinterpret_cast<VstIntPtr>(getIcon());
    case effSetViewPosition:
      return setViewPosition(index, (VstInt32)value) ? 1 : 0;
    case effGetParameterProperties:
      return getParameterProperties(index, static_cast<VstParameterProperties*>(ptr)) ? 1 : 0;
    case effKeysRequired:
      return keysRequired() ? 0 : 1;
    case effGetVstVersion:
      return getVstVersion();
    case effEditKeyDown:
    case effEditKeyUp:
    case effSetEditKnobMode:
      return dispatchEditorKeys(opcode, index, value, opt);
    case effGetMidiProgramName:
      return getMidiProgramName(index, static_cast<MidiProgramName*>(ptr));
    case effGetCurrentMidiProgram:
      return getCurrentMidiProgram(index, static_cast<MidiProgramName*>(ptr));
    case effGetMidiProgramCategory:
      return getMidiProgramCategory(index, static_cast<MidiProgramCategory*>(ptr));
    case effHasMidiProgramsChanged:
      return hasMidiProgramsChanged(index) ? 1 : 0;
    case effGetMidiKeyName:
      return getMidiKeyName(index, static_cast<MidiKeyName*>(ptr)) ? 1 : 0;
    case effBeginSetProgram:
      return beginSetProgram() ? 1 : 0;
    case effEndSetProgram:
      return endSetProgram() ? 1 : 0;
    case effGetSpeakerArrangement:
      if (!value) return 0;
      return getSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement**>(value),
                                   static_cast<VstSpeakerArrangement**>(ptr))
                 ? 1
                 : 0;
    case effShellGetNextPlugin:
      return getNextShellPlugin(text);
    case effStartProcess:
      return startProcess();
    case effStopProcess:
      return stopProcess();
    case effSetTotalSampleToProcess:
      return setTotalSampleToProcess((VstInt32)value);
    case effSetPanLaw:
      return setPanLaw((VstInt32)value, opt) ? 1 : 0;
    case effBeginLoadBank:
      return beginLoadBank(static_cast<VstPatchChunkInfo*>(ptr));
    case effBeginLoadProgram:
      return beginLoadProgram(static_cast<VstPatchChunkInfo*>(ptr));
    case effSetProcessPrecision:
      return setProcessPrecision((VstInt32)value) ? 1 : 0;
    case effGetNumMidiInputChannels:
      return getNumMidiInputChannels();
    case effGetNumMidiOutputChannels:
      return getNumMidiOutputChannels();
    default:
      return 0;
  }
}

// The modifier bits arrive in opt, a float. One that no int can hold (NaN, the
// infinities, anything beyond +-2^31) carries no modifier: converting it would be
// undefined behaviour.
static unsigned char modifierOf(float opt) {
  if (!(opt > -2147483648.0f && opt < 2147483648.0f)) return 0;
  return (unsigned char)(int)opt;
}

// Key and knob-mode opcodes: they reach the editor only when there is one.
VstIntPtr AudioEffectX::dispatchEditorKeys(VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                           float opt) {
  if (!editor) return 0;
  if (opcode == effSetEditKnobMode) return editor->setKnobMode((VstInt32)value) ? 1 : 0;
  VstKeyCode keyCode;
  keyCode.character = index;
  keyCode.virt = (unsigned char)value;
  keyCode.modifier = modifierOf(opt);
  bool taken = opcode == effEditKeyDown ? editor->onKeyDown(keyCode) : editor->onKeyUp(keyCode);
  return taken ? 1 : 0;
}

void AudioEffectX::resume() {
  if ((cEffect.flags & effFlagsIsSynth) ||
      canDo(const_cast<char*>(PlugCanDos::canDoReceiveVstMidiEvent)) == 1)
    wantEvents(1);
}

// ---------------------------------------------------------------------------
// Requests to the host.

bool AudioEffectX::beginEdit(VstInt32 index) { return callHost(audioMasterBeginEdit, index) != 0; }
bool AudioEffectX::endEdit(VstInt32 index) { return callHost(audioMasterEndEdit, index) != 0; }
bool AudioEffectX::ioChanged() { return callHost(audioMasterIOChanged) != 0; }

float AudioEffectX::updateSampleRate() {
  VstIntPtr answer = callHost(audioMasterGetSampleRate);
  if (answer > 0) sampleRate = (float)answer;
  return sampleRate;
}

VstInt32 AudioEffectX::updateBlockSize() {
  VstIntPtr answer = callHost(audioMasterGetBlockSize);
  if (answer > 0) blockSize = (VstInt32)answer;
  return blockSize;
}

VstInt32 AudioEffectX::getInputLatency() { return (VstInt32)callHost(audioMasterGetInputLatency); }
VstInt32 AudioEffectX::getOutputLatency() {
  return (VstInt32)callHost(audioMasterGetOutputLatency);
}

VstTimeInfo* AudioEffectX::getTimeInfo(VstInt32 filter) {
  return reinterpret_cast<VstTimeInfo*>(callHost(audioMasterGetTime, 0, filter));
}

VstInt32 AudioEffectX::getCurrentProcessLevel() {
  return (VstInt32)callHost(audioMasterGetCurrentProcessLevel);
}
VstInt32 AudioEffectX::getAutomationState() {
  return (VstInt32)callHost(audioMasterGetAutomationState);
}

bool AudioEffectX::getHostVendorString(char* text) {
  return callHost(audioMasterGetVendorString, 0, 0, text) != 0;
}
bool AudioEffectX::getHostProductString(char* text) {
  return callHost(audioMasterGetProductString, 0, 0, text) != 0;
}
VstInt32 AudioEffectX::getHostVendorVersion() {
  return (VstInt32)callHost(audioMasterGetVendorVersion);
}
VstIntPtr AudioEffectX::hostVendorSpecific(VstInt32 lArg1, VstIntPtr lArg2, void* ptrArg,
                                           float floatArg) {
  return callHost(audioMasterVendorSpecific, lArg1, lArg2, ptrArg, floatArg);
}
VstInt32 AudioEffectX::canHostDo(char* text) {
  return callHost(audioMasterCanDo, 0, 0, text) != 0 ? 1 : 0;
}
VstInt32 AudioEffectX::getHostLanguage() { return (VstInt32)callHost(audioMasterGetLanguage); }
void* AudioEffectX::getDirectory() {
  return reinterpret_cast<void*>(callHost(audioMasterGetDirectory));
}
bool AudioEffectX::updateDisplay() { return callHost(audioMasterUpdateDisplay) != 0; }
bool AudioEffectX::sizeWindow(VstInt32 width, VstInt32 height) {
  return callHost(audioMasterSizeWindow, width, height) != 0;
}
bool AudioEffectX::openFileSelector(VstFileSelect* ptr) {
  return ptr && callHost(audioMasterOpenFileSelector, 0, 0, ptr) != 0;
}
bool AudioEffectX::closeFileSelector(VstFileSelect* ptr) {
  return ptr && callHost(audioMasterCloseFileSelector, 0, 0, ptr) != 0;
}
bool AudioEffectX::getChunkFile(void* nativePath) {
  return nativePath && callHost(audioMasterGetChunkFile, 0, 0, nativePath) != 0;
}

bool AudioEffectX::offlineRead(VstOfflineTask* offline, VstOfflineOption option,
                               bool readSource) {
  return callHost(audioMasterOfflineRead, readSource ? 1 : 0, option, offline) != 0;
}
bool AudioEffectX::offlineWrite(VstOfflineTask* offline, VstOfflineOption option) {
  return callHost(audioMasterOfflineWrite, 0, option, offline) != 0;
}
bool AudioEffectX::offlineStart(VstAudioFile* audioFiles, VstInt32 numAudioFiles,
                                VstInt32 numNewAudioFiles) {
  return callHost(audioMasterOfflineStart, numNewAudioFiles, numAudioFiles, audioFiles) != 0;
}
VstInt32 AudioEffectX::offlineGetCurrentPass() {
  return callHost(audioMasterOfflineGetCurrentPass) != 0 ? 1 : 0;
}
VstInt32 AudioEffectX::offlineGetCurrentMetaPass() {
  return callHost(audioMasterOfflineGetCurrentMetaPass) != 0 ? 1 : 0;
}

void AudioEffectX::wantEvents(VstInt32 filter) { callHost(audioMasterWantMidi, 0, filter); }
VstInt32 AudioEffectX::tempoAt(VstInt32 pos) {
  return (VstInt32)callHost(audioMasterTempoAt, 0, pos);
}
VstInt32 AudioEffectX::getNumAutomatableParameters() {
  return (VstInt32)callHost(audioMasterGetNumAutomatableParameters);
}
VstInt32 AudioEffectX::getParameterQuantization() {
  return (VstInt32)callHost(audioMasterGetParameterQuantization);
}
bool AudioEffectX::needIdle() { return callHost(audioMasterNeedIdle) != 0; }

// The pin number is not part of these requests.
AEffect* AudioEffectX::getPreviousPlug(VstInt32 input) {
  (void)input;
  return reinterpret_cast<AEffect*>(callHost(audioMasterGetPreviousPlug));
}
AEffect* AudioEffectX::getNextPlug(VstInt32 output) {
  (void)output;
  return reinterpret_cast<AEffect*>(callHost(audioMasterGetNextPlug));
}

VstInt32 AudioEffectX::willProcessReplacing() {
  return (VstInt32)callHost(audioMasterWillReplaceOrAccumulate);
}
void AudioEffectX::setOutputSamplerate(float samplerate) {
  callHost(audioMasterSetOutputSampleRate, 0, 0, nullptr, samplerate);
}
VstSpeakerArrangement* AudioEffectX::getInputSpeakerArrangement() {
  return reinterpret_cast<VstSpeakerArrangement*>(callHost(audioMasterGetInputSpeakerArrangement));
}
VstSpeakerArrangement* AudioEffectX::getOutputSpeakerArrangement() {
  return reinterpret_cast<VstSpeakerArrangement*>(
      callHost(audioMasterGetOutputSpeakerArrangement));
}
void* AudioEffectX::openWindow(VstWindow* window) {
  return reinterpret_cast<void*>(callHost(audioMasterOpenWindow, 0, 0, window));
}
bool AudioEffectX::closeWindow(VstWindow* window) {
  return callHost(audioMasterCloseWindow, 0, 0, window) != 0;
}

bool AudioEffectX::sendVstEventsToHost(VstEvents* events) {
  return callHost(audioMasterProcessEvents, 0, 0, events) == 1;
}

// ---------------------------------------------------------------------------
// Speaker arrangements: an allocated arrangement holds exactly numChannels speakers.

static size_t arrangementBytes(VstInt32 nbChannels) {
  return offsetof(VstSpeakerArrangement, speakers) +
         sizeof(VstSpeakerProperties) * (size_t)nbChannels;
}

bool AudioEffectX::allocateArrangement(VstSpeakerArrangement** arrangement, VstInt32 nbChannels) {
  if (!arrangement || nbChannels < 0) return false;
  deallocateArrangement(arrangement);
  size_t size = arrangementBytes(nbChannels);
  void* memory = std::malloc(size);
  if (!memory) return false;
  std::memset(memory, 0, size);
  *arrangement = static_cast<VstSpeakerArrangement*>(memory);
  (*arrangement)->numChannels = nbChannels;
  return true;
}

bool AudioEffectX::deallocateArrangement(VstSpeakerArrangement** arrangement) {
  if (arrangement && *arrangement) {
    std::free(*arrangement);
    *arrangement = nullptr;
  }
  return true;
}

bool AudioEffectX::copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from) {
  if (!to || !from) return false;
  vst_strncpy(to->name, from->name, 63);
  to->type = from->type;
  to->azimuth = from->azimuth;
  to->elevation = from->elevation;
  to->radius = from->radius;
  to->reserved = from->reserved;
  std::memcpy(to->future, from->future, sizeof(to->future));
  return true;
}

bool AudioEffectX::matchArrangement(VstSpeakerArrangement** to, VstSpeakerArrangement* from) {
  if (!from || !to) return false;
  if (!deallocateArrangement(to) || !allocateArrangement(to, from->numChannels)) return false;
  (*to)->type = from->type;
  // Allocated arrangements may hold more speakers than the declared eight: walk
  // them through pointers rather than the declared array.
  VstSpeakerProperties* target = (*to)->speakers;
  VstSpeakerProperties* source = from->speakers;
  for (VstInt32 i = 0; i < from->numChannels; i++)
    if (!copySpeaker(target + i, source + i)) return false;
  return true;
}
