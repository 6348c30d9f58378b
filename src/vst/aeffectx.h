#pragma once
// The extended half of the host interface: opcodes 25 to 79, the extended host
// requests, capability strings and the shared records that go with them.

#include "aeffect.h"

constexpr VstInt32 kVstVersion = 2400;

// Opcodes 25 to 79 of the dispatcher.
enum AEffectXOpcodes : VstInt32 {
  effProcessEvents = effNumOpcodes,  // 25
  effCanBeAutomated,
  effString2Parameter,
  effGetNumProgramCategories,
  effGetProgramNameIndexed,
  effCopyProgram,  // 30
  effConnectInput,
  effConnectOutput,
  effGetInputProperties,
  effGetOutputProperties,
  effGetPlugCategory,  // 35
  effGetCurrentPosition,
  effGetDestinationBuffer,
  effOfflineNotify,
  effOfflinePrepare,
  effOfflineRun,  // 40
  effProcessVarIo,
  effSetSpeakerArrangement,
  effSetBlockSizeAndSampleRate,
  effSetBypass,
  effGetEffectName,  // 45
  effGetErrorText,
  effGetVendorString,
  effGetProductString,
  effGetVendorVersion,
  effVendorSpecific,  // 50
  effCanDo,
  effGetTailSize,
  effIdle,
  effGetIcon,
  effSetViewPosition,  // 55
  effGetParameterProperties,
  effKeysRequired,
  effGetVstVersion,
  effEditKeyDown,
  effEditKeyUp,  // 60
  effSetEditKnobMode,
  effGetMidiProgramName,
  effGetCurrentMidiProgram,
  effGetMidiProgramCategory,
  effHasMidiProgramsChanged,  // 65
  effGetMidiKeyName,
  effBeginSetProgram,
  effEndSetProgram,
  effGetSpeakerArrangement,
  effShellGetNextPlugin,  // 70
  effStartProcess,
  effStopProcess,
  effSetTotalSampleToProcess,
  effSetPanLaw,
  effBeginLoadBank,  // 75
  effBeginLoadProgram,
  effSetProcessPrecision,
  effGetNumMidiInputChannels,
  effGetNumMidiOutputChannels,  // 79
};
static_assert(effGetNumMidiOutputChannels == 79);

// effVendorSpecific with this index ('PreS') and value ('AeCs') carries the host's
// content scale factor for the editor in opt.
constexpr VstInt32 kVstScaleRequestIndex = 0x50726553;
constexpr VstIntPtr kVstScaleRequestValue = 0x41654373;

// Extended requests the plug-in sends to the host.
enum AudioMasterOpcodesX : VstInt32 {
  audioMasterWantMidi = 6,
  audioMasterGetTime = 7,
  audioMasterProcessEvents = 8,
  audioMasterTempoAt = 10,
  audioMasterGetNumAutomatableParameters = 11,
  audioMasterGetParameterQuantization = 12,
  audioMasterIOChanged = 13,
  audioMasterNeedIdle = 14,
  audioMasterSizeWindow = 15,
  audioMasterGetSampleRate = 16,
  audioMasterGetBlockSize = 17,
  audioMasterGetInputLatency = 18,
  audioMasterGetOutputLatency = 19,
  audioMasterGetPreviousPlug = 20,
  audioMasterGetNextPlug = 21,
  audioMasterWillReplaceOrAccumulate = 22,
  audioMasterGetCurrentProcessLevel = 23,
  audioMasterGetAutomationState = 24,
  audioMasterOfflineStart = 25,
  audioMasterOfflineRead = 26,
  audioMasterOfflineWrite = 27,
  audioMasterOfflineGetCurrentPass = 28,
  audioMasterOfflineGetCurrentMetaPass = 29,
  audioMasterSetOutputSampleRate = 30,
  audioMasterGetOutputSpeakerArrangement = 31,
  audioMasterGetVendorString = 32,
  audioMasterGetProductString = 33,
  audioMasterGetVendorVersion = 34,
  audioMasterVendorSpecific = 35,
  audioMasterCanDo = 37,
  audioMasterGetLanguage = 38,
  audioMasterOpenWindow = 39,
  audioMasterCloseWindow = 40,
  audioMasterGetDirectory = 41,
  audioMasterUpdateDisplay = 42,
  audioMasterBeginEdit = 43,
  audioMasterEndEdit = 44,
  audioMasterOpenFileSelector = 45,
  audioMasterCloseFileSelector = 46,
  audioMasterGetChunkFile = 48,
  audioMasterGetInputSpeakerArrangement = 49,
};

enum VstPlugCategory : VstInt32 {
  kPlugCategUnknown = 0,
  kPlugCategEffect = 1,
  kPlugCategSynth = 2,
};

// Capability strings the plug-in may answer for (effCanDo).
namespace PlugCanDos {
constexpr const char* canDoSendVstEvents = "sendVstEvents";
constexpr const char* canDoSendVstMidiEvent = "sendVstMidiEvent";
constexpr const char* canDoReceiveVstEvents = "receiveVstEvents";
constexpr const char* canDoReceiveVstMidiEvent = "receiveVstMidiEvent";
constexpr const char* canDoReceiveVstTimeInfo = "receiveVstTimeInfo";
constexpr const char* canDoOffline = "offline";
constexpr const char* canDoMidiProgramNames = "midiProgramNames";
constexpr const char* canDoBypass = "bypass";
}  // namespace PlugCanDos

// Capability strings the plug-in may ask the host about (audioMasterCanDo).
namespace HostCanDos {
constexpr const char* canDoSendVstEvents = "sendVstEvents";
constexpr const char* canDoSendVstMidiEvent = "sendVstMidiEvent";
constexpr const char* canDoSendVstTimeInfo = "sendVstTimeInfo";
constexpr const char* canDoReceiveVstEvents = "receiveVstEvents";
constexpr const char* canDoReceiveVstMidiEvent = "receiveVstMidiEvent";
constexpr const char* canDoReportConnectionChanges = "reportConnectionChanges";
constexpr const char* canDoAcceptIOChanges = "acceptIOChanges";
constexpr const char* canDoSizeWindow = "sizeWindow";
constexpr const char* canDoOffline = "offline";
constexpr const char* canDoOpenFileSelector = "openFileSelector";
constexpr const char* canDoCloseFileSelector = "closeFileSelector";
constexpr const char* canDoStartStopProcess = "startStopProcess";
constexpr const char* canDoShellCategory = "shellCategory";
constexpr const char* canDoSendVstMidiEventFlagIsRealtime = "sendVstMidiEventFlagIsRealtime";
}  // namespace HostCanDos

struct VstSpeakerProperties {
  float azimuth;
  float elevation;
  float radius;
  float reserved;
  char name[64];
  VstInt32 type;
  char future[28];
};
static_assert(offsetof(VstSpeakerProperties, name) == 16);
static_assert(offsetof(VstSpeakerProperties, type) == 80);
static_assert(offsetof(VstSpeakerProperties, future) == 84);
static_assert(sizeof(VstSpeakerProperties) == 112);

// The declared record holds 8 speakers; an allocated one holds exactly numChannels.
struct VstSpeakerArrangement {
  VstInt32 type;
  VstInt32 numChannels;
  VstSpeakerProperties speakers[8];
};
static_assert(offsetof(VstSpeakerArrangement, speakers) == 8);
static_assert(sizeof(VstSpeakerArrangement) == 904);

struct VstTimeInfo {
  double samplePos;
  double sampleRate;
  double nanoSeconds;
  double ppqPos;
  double tempo;
  double barStartPos;
  double cycleStartPos;
  double cycleEndPos;
  VstInt32 timeSigNumerator;
  VstInt32 timeSigDenominator;
  VstInt32 smpteOffset;
  VstInt32 smpteFrameRate;
  VstInt32 samplesToNextClock;
  VstInt32 flags;
};
static_assert(offsetof(VstTimeInfo, timeSigNumerator) == 64);
static_assert(offsetof(VstTimeInfo, flags) == 84);
static_assert(sizeof(VstTimeInfo) == 88);

struct VstEvent;  // events are passed through, never read here

struct VstEvents {
  VstInt32 numEvents;
  VstIntPtr reserved;
  VstEvent* events[2];  // numEvents entries in the host's allocation
};
static_assert(offsetof(VstEvents, events) == 16);

// Records that this plug-in only passes through; their contents are never read.
struct VstParameterProperties;
struct VstPinProperties;
struct VstPatchChunkInfo;
struct VstVariableIo;
struct VstAudioFile;
struct VstOfflineTask;
struct VstFileSelect;
struct VstWindow;
struct MidiProgramName;
struct MidiProgramCategory;
struct MidiKeyName;

typedef VstInt32 VstOfflineOption;
