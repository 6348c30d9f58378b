#pragma once
// The extended effect base class: opcodes 25 to 79 with neutral defaults for every
// feature an effect may offer, the extended host requests and the speaker-
// arrangement helpers.

#include "aeffectx.h"
#include "audioeffect.h"

class AudioEffectX : public AudioEffect {
 public:
  AudioEffectX(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
      : AudioEffect(audioMaster, numPrograms, numParams) {}

  VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                       float opt) override;
  void resume() override;

  virtual bool canParameterBeAutomated(VstInt32 index) { return (void)index, true; }
  virtual bool string2parameter(VstInt32 index, char* text) { return (void)index, (void)text, false; }
  virtual bool getParameterProperties(VstInt32 index, VstParameterProperties* p) {
    return (void)index, (void)p, false;
  }
  virtual bool beginEdit(VstInt32 index);
  virtual bool endEdit(VstInt32 index);
  virtual bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) {
    return (void)category, (void)index, (void)text, false;
  }
  virtual bool beginSetProgram() { return false; }
  virtual bool endSetProgram() { return false; }
  virtual VstInt32 beginLoadBank(VstPatchChunkInfo* ptr) { return (void)ptr, 0; }
  virtual VstInt32 beginLoadProgram(VstPatchChunkInfo* ptr) { return (void)ptr, 0; }
  virtual bool ioChanged();
  virtual float updateSampleRate();
  virtual VstInt32 updateBlockSize();
  virtual VstInt32 getInputLatency();
  virtual VstInt32 getOutputLatency();
  virtual bool getInputProperties(VstInt32 index, VstPinProperties* properties) {
    return (void)index, (void)properties, false;
  }
  virtual bool getOutputProperties(VstInt32 index, VstPinProperties* properties) {
    return (void)index, (void)properties, false;
  }
  virtual bool setSpeakerArrangement(VstSpeakerArrangement* pluginInput,
                                     VstSpeakerArrangement* pluginOutput) {
    return (void)pluginInput, (void)pluginOutput, false;
  }
  virtual bool getSpeakerArrangement(VstSpeakerArrangement** pluginInput,
                                     VstSpeakerArrangement** pluginOutput) {
    *pluginInput = nullptr;
    *pluginOutput = nullptr;
    return false;
  }
  virtual bool setBypass(bool onOff) { return (void)onOff, false; }
  virtual bool setPanLaw(VstInt32 type, float val) { return (void)type, (void)val, false; }
  virtual bool setProcessPrecision(VstInt32 precision) { return (void)precision, false; }
  virtual VstInt32 getNumMidiInputChannels() { return 0; }
  virtual VstInt32 getNumMidiOutputChannels() { return 0; }
  virtual VstTimeInfo* getTimeInfo(VstInt32 filter);
  virtual VstInt32 getCurrentProcessLevel();
  virtual VstInt32 getAutomationState();
  virtual VstInt32 processEvents(VstEvents* events) { return (void)events, 0; }
  virtual VstInt32 startProcess() { return 0; }
  virtual VstInt32 stopProcess() { return 0; }
  virtual bool processVariableIo(VstVariableIo* varIo) { return (void)varIo, false; }
  virtual VstInt32 setTotalSampleToProcess(VstInt32 value) { return value; }
  virtual bool getHostVendorString(char* text);
  virtual bool getHostProductString(char* text);
  virtual VstInt32 getHostVendorVersion();
  virtual VstIntPtr hostVendorSpecific(VstInt32 lArg1, VstIntPtr lArg2, void* ptrArg,
                                       float floatArg);
  virtual VstInt32 canHostDo(char* text);
  virtual VstInt32 getHostLanguage();
  virtual void isSynth(bool state = true) { setFlag(effFlagsIsSynth, state); }
  virtual void noTail(bool state = true) { setFlag(effFlagsNoSoundInStop, state); }
  virtual VstInt32 getGetTailSize() { return 0; }
  virtual void* getDirectory();
  virtual bool getEffectName(char* name) { return (void)name, false; }
  virtual bool getVendorString(char* text) { return (void)text, false; }
  virtual bool getProductString(char* text) { return (void)text, false; }
  virtual VstInt32 getVendorVersion() { return 0; }
  virtual VstIntPtr vendorSpecific(VstInt32 lArg, VstIntPtr lArg2, void* ptrArg, float floatArg) {
    return (void)lArg, (void)lArg2, (void)ptrArg, (void)floatArg, 0;
  }
  virtual VstInt32 canDo(char* text) { return (void)text, 0; }
  virtual VstInt32 getVstVersion() { return kVstVersion; }
  virtual VstPlugCategory getPlugCategory() {
    return (cEffect.flags & effFlagsIsSynth) ? kPlugCategSynth : kPlugCategUnknown;
  }
  virtual VstInt32 getMidiProgramName(VstInt32 channel, MidiProgramName* name) {
    return (void)channel, (void)name, 0;
  }
  virtual VstInt32 getCurrentMidiProgram(VstInt32 channel, MidiProgramName* current) {
    return (void)channel, (void)current, -1;
  }
  virtual VstInt32 getMidiProgramCategory(VstInt32 channel, MidiProgramCategory* category) {
    return (void)channel, (void)category, 0;
  }
  virtual bool hasMidiProgramsChanged(VstInt32 channel) { return (void)channel, false; }
  virtual bool getMidiKeyName(VstInt32 channel, MidiKeyName* keyName) {
    return (void)channel, (void)keyName, false;
  }
  virtual bool updateDisplay();
  virtual bool sizeWindow(VstInt32 width, VstInt32 height);
  virtual bool openFileSelector(VstFileSelect* ptr);
  virtual bool closeFileSelector(VstFileSelect* ptr);
  virtual VstInt32 getNextShellPlugin(char* name) { return (void)name, 0; }
  virtual bool allocateArrangement(VstSpeakerArrangement** arrangement, VstInt32 nbChannels);
  virtual bool deallocateArrangement(VstSpeakerArrangement** arrangement);
  virtual bool copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from);
  virtual bool matchArrangement(VstSpeakerArrangement** to, VstSpeakerArrangement* from);
  virtual bool offlineRead(VstOfflineTask* offline, VstOfflineOption option,
                           bool readSource = true);
  virtual bool offlineWrite(VstOfflineTask* offline, VstOfflineOption option);
  virtual bool offlineStart(VstAudioFile* audioFiles, VstInt32 numAudioFiles,
                            VstInt32 numNewAudioFiles);
  virtual VstInt32 offlineGetCurrentPass();
  virtual VstInt32 offlineGetCurrentMetaPass();
  virtual bool offlineNotify(VstAudioFile* ptr, VstInt32 numAudioFiles, bool start) {
    return (void)ptr, (void)numAudioFiles, (void)start, false;
  }
  virtual bool offlinePrepare(VstOfflineTask* offline, VstInt32 count) {
    return (void)offline, (void)count, false;
  }
  virtual bool offlineRun(VstOfflineTask* offline, VstInt32 count) {
    return (void)offline, (void)count, false;
  }
  virtual VstInt32 offlineGetNumPasses() { return 0; }
  virtual VstInt32 offlineGetNumMetaPasses() { return 0; }
  virtual void wantEvents(VstInt32 filter = 1);
  virtual VstInt32 tempoAt(VstInt32 pos);
  virtual VstInt32 getNumAutomatableParameters();
  virtual VstInt32 getParameterQuantization();
  virtual VstInt32 getNumCategories() { return 1; }
  virtual bool copyProgram(VstInt32 destination) { return (void)destination, false; }
  virtual bool needIdle();
  virtual AEffect* getPreviousPlug(VstInt32 input);
  virtual AEffect* getNextPlug(VstInt32 output);
  virtual void inputConnected(VstInt32 index, bool state) { (void)index, (void)state; }
  virtual void outputConnected(VstInt32 index, bool state) { (void)index, (void)state; }
  virtual VstInt32 willProcessReplacing();
  virtual void wantAsyncOperation(bool state = true) { setFlag(effFlagsExtIsAsync, state); }
  virtual void hasExternalBuffer(bool state = true) { setFlag(effFlagsExtHasBuffer, state); }
  virtual VstInt32 reportCurrentPosition() { return 0; }
  virtual float* reportDestinationBuffer() { return nullptr; }
  virtual void setOutputSamplerate(float samplerate);
  virtual VstSpeakerArrangement* getInputSpeakerArrangement();
  virtual VstSpeakerArrangement* getOutputSpeakerArrangement();
  virtual void* openWindow(VstWindow* window);
  virtual bool closeWindow(VstWindow* window);
  virtual void setBlockSizeAndSampleRate(VstInt32 blockSize, float sampleRate) {
    this->blockSize = blockSize;
    this->sampleRate = sampleRate;
  }
  virtual bool getErrorText(char* text) { return (void)text, false; }
  virtual void* getIcon() { return nullptr; }
  virtual bool setViewPosition(VstInt32 x, VstInt32 y) { return (void)x, (void)y, false; }
  virtual VstInt32 fxIdle() { return 0; }
  virtual bool keysRequired() { return false; }
  virtual bool getChunkFile(void* nativePath);

  bool sendVstEventsToHost(VstEvents* events);

 private:
  VstIntPtr dispatchEditorKeys(VstInt32 opcode, VstInt32 index, VstIntPtr value, float opt);
};
