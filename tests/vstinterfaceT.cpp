// The host interface on a bare effect: record, dispatcher, host requests, text helpers.

#include <doctest/doctest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "aeffeditor.h"
#include "audioeffectx.h"
#include "hostedeffect.h"
#include "hostrecorder.h"

namespace {

struct BareEffect : AudioEffectX {
  static int destroyed;
  std::vector<std::string> log;
  char lastProgramName[64] = {};

  explicit BareEffect(audioMasterCallback master) : AudioEffectX(master, 3, 2) {}
  ~BareEffect() override { destroyed++; }
  void processReplacing(float**, float**, VstInt32) override {}
  void suspend() override { log.push_back("suspend"); }
  void resume() override { log.push_back("resume"); }
  void open() override { log.push_back("open"); }
  void close() override { log.push_back("close"); }
  void setProgramName(char* name) override { vst_strncpy(lastProgramName, name, 63); }
  void callResumeOfBase() { AudioEffectX::resume(); }
  using AudioEffect::dispatcher;
};
int BareEffect::destroyed = 0;

struct RecordingEditor : AEffEditor {
  std::vector<std::string> log;
  VstKeyCode lastKey{};
  explicit RecordingEditor(AudioEffect* effect) : AEffEditor(effect) {}
  bool onKeyDown(VstKeyCode& key) override {
    lastKey = key;
    log.push_back("down");
    return true;
  }
  bool onKeyUp(VstKeyCode& key) override {
    lastKey = key;
    log.push_back("up");
    return false;
  }
  VstInt32 mouse(VstInt32 x, VstInt32 y) override { return x * 1000 + y; }
  bool setKnobMode(VstInt32 mode) override { return mode == 2; }
};

struct Fixture : HostedEffect {
  Fixture() { e = effect.getAeffect(); }
  HostRecorder host;
  BareEffect effect{HostRecorder::callback};
  RecordingEditor* addEditor() {
    RecordingEditor* editor = new RecordingEditor(&effect);
    effect.setEditor(editor);
    return editor;
  }
  std::string f2s(float value, VstInt32 maxLen = kVstMaxParamStrLen) {
    char text[64];
    std::memset(text, 'x', sizeof(text));
    effect.float2string(value, text, maxLen);
    return text;
  }
};

}  // namespace

TEST_CASE("bounded copy and append never pass the limit") {
  char buffer[16];
  std::memset(buffer, '#', sizeof(buffer));
  vst_strncpy(buffer, "abcdef", 3);
  CHECK(std::string(buffer) == "abc");
  CHECK(buffer[3] == 0);
  CHECK(buffer[4] == '#');

  std::memset(buffer, '#', sizeof(buffer));
  vst_strncpy(buffer, "abcde", 8);
  vst_strncat(buffer, "123456789", 8);
  CHECK(std::string(buffer) == "abcde123");
  CHECK(buffer[9] == '#');  // nothing written past position maxLen

  std::memset(buffer, '#', sizeof(buffer));
  vst_strncpy(buffer, "ab", 8);
  vst_strncat(buffer, "cd", 8);
  CHECK(std::string(buffer) == "abcd");
}

TEST_CASE_FIXTURE(Fixture, "numbers become text exactly as hosts show them") {
  CHECK(f2s(0.0f) == "0.000000");
  CHECK(f2s(-60.0f) == "-60.0000");
  CHECK(f2s(-6.0f) == "-6.00000");
  CHECK(f2s(-0.5f) == "-0.50000");
  CHECK(f2s(12.25f) == "12.25000");
  CHECK(f2s(1e9f) == "Huge!");
  CHECK(f2s(-1e8f) == "Huge!");
  // Integer parts too wide for eight characters are not shown with digits missing.
  CHECK(f2s(12345678.0f) == "Huge!");
  CHECK(f2s(-1234567.0f) == "Huge!");
  CHECK(f2s(9999999.0f) == "9999999.");
  CHECK(f2s(-999999.0f) == "-999999.");
  CHECK(f2s(NAN) == "Huge!");
  CHECK(f2s(-60.0f, 3) == "-60");

  char text[32];
  // What one of the effect's converters writes for value, at most eight characters.
  auto shown = [&](auto convert, auto value) {
    (effect.*convert)(value, text, 8);
    return std::string(text);
  };
  CHECK(shown(&AudioEffect::int2string, 0) == "0");
  CHECK(shown(&AudioEffect::int2string, 1205) == "1205");
  CHECK(shown(&AudioEffect::int2string, -37) == "-37");
  CHECK(shown(&AudioEffect::int2string, 99999999) == "99999999");
  CHECK(shown(&AudioEffect::int2string, 100000000) == "Huge!");
  CHECK(shown(&AudioEffect::int2string, INT32_MIN) == "Huge!");

  CHECK(shown(&AudioEffect::dB2string, 0.0f) == "-oo");
  CHECK(shown(&AudioEffect::dB2string, 1.0f) == "0.000000");
  CHECK(shown(&AudioEffect::dB2string, 0.5f) == "-6.02059");

  effect.setSampleRate(48000.0f);
  CHECK(shown(&AudioEffect::Hz2string, 480.0f) == "100.0000");
  CHECK(shown(&AudioEffect::Hz2string, 0.0f) == "0.000000");
  CHECK(shown(&AudioEffect::ms2string, 4800.0f) == "100.0000");
}

TEST_CASE_FIXTURE(Fixture, "a bare effect's record and flag setters") {
  CHECK(e->magic == 0x56737450);
  CHECK(e->object == &effect);
  CHECK(e->numPrograms == 3);
  CHECK(e->numParams == 2);
  CHECK(e->numInputs == 1);
  CHECK(e->numOutputs == 2);
  CHECK(e->flags == effFlagsCanReplacing);
  CHECK(e->uniqueID == 0x4E6F4566);
  CHECK(e->version == 1);
  CHECK(e->ioRatio == 1.0f);
  CHECK((e->processReplacing == &AudioEffect::processClassReplacing));
  CHECK((e->processDoubleReplacing == &AudioEffect::processClassDoubleReplacing));
  for (char byte : e->future) CHECK(byte == 0);

  effect.canMono(true);
  effect.hasVu(true);
  effect.canMono(false);
  CHECK(e->flags == (effFlagsCanReplacing | effFlagsHasVu));
  effect.canDoubleReplacing(true);
  CHECK(e->flags == (effFlagsCanReplacing | effFlagsHasVu | effFlagsCanDoubleReplacing));
  effect.isSynth(true);
  CHECK(dispatch(effGetPlugCategory) == kPlugCategSynth);
  effect.isSynth(false);
  CHECK(dispatch(effGetPlugCategory) == kPlugCategUnknown);

  addEditor();
  CHECK((e->flags & effFlagsHasEditor) != 0);
}

TEST_CASE("effClose runs close, destroys the effect and its editor, and answers 1") {
  HostRecorder host;
  BareEffect::destroyed = 0;
  BareEffect* effect = new BareEffect(HostRecorder::callback);
  effect->setEditor(new AEffEditor(effect));
  const HostedEffect plugin(effect->getAeffect());
  CHECK(plugin.dispatch(effOpen) == 0);
  CHECK(effect->log == std::vector<std::string>{"open"});
  CHECK(plugin.dispatch(effClose) == 1);
  CHECK(BareEffect::destroyed == 1);
}

TEST_CASE_FIXTURE(Fixture, "core opcodes") {
  CHECK(dispatch(effIdentify) == 0x4E764566);
  CHECK(dispatch(effGetVu) == 0);

  dispatch(effSetProgram, 0, 2);
  CHECK(dispatch(effGetProgram) == 2);
  dispatch(effSetProgram, 0, 3);
  dispatch(effSetProgram, 0, -1);
  CHECK(dispatch(effGetProgram) == 2);

  dispatch(effMainsChanged, 0, 1);
  dispatch(effMainsChanged, 0, 0);
  CHECK(effect.log == std::vector<std::string>{"resume", "suspend"});

  dispatch(effSetSampleRate, 0, 0, nullptr, 96000.0f);
  dispatch(effSetBlockSize, 0, 256);
  CHECK(effect.getSampleRate() == 96000.0f);
  CHECK(effect.getBlockSize() == 256);

  // No editor: every editor opcode answers 0.
  ERect* rect = reinterpret_cast<ERect*>(1);
  CHECK(dispatch(effEditGetRect, 0, 0, &rect) == 0);
  CHECK(dispatch(effEditOpen, 0, 0, &rect) == 0);
  CHECK(dispatch(effEditMouse, 1, 2) == 0);
  CHECK(dispatch(effEditKeyDown, 'a', 0) == 0);
  CHECK(dispatch(effSetEditKnobMode, 0, 2) == 0);
  for (VstInt32 op : {effEditClose, effEditDraw, effEditIdle, effEditTop, effEditSleep})
    CHECK(dispatch(op) == 0);

  void* chunk = reinterpret_cast<void*>(1);
  CHECK(dispatch(effGetChunk, 0, 0, &chunk) == 0);
  CHECK(dispatch(effSetChunk, 0, 16, &chunk) == 0);
  for (VstInt32 op : {-5, -1, 80, 100, 1000}) CHECK(dispatch(op, 1, 1, &chunk, 1.0f) == 0);
}

TEST_CASE_FIXTURE(Fixture, "a host's program name is read no further than its limit") {
  char unterminated[40];
  std::memset(unterminated, 'n', sizeof(unterminated));
  dispatch(effSetProgramName, 0, 0, unterminated);
  CHECK(std::strlen(effect.lastProgramName) == kVstMaxProgNameLen);
}

TEST_CASE_FIXTURE(Fixture, "opcodes that use ptr answer 0 for a null ptr") {
  RecordingEditor* editor = addEditor();
  for (VstInt32 op = -5; op <= 100; op++) {
    if (op == effClose || op == effEditDraw) continue;
    VstIntPtr answer = dispatch(op, 0, 0, nullptr, 0.0f);
    bool neutralNonZero = op == effIdentify || op == effCanBeAutomated ||
                          op == effGetNumProgramCategories || op == effConnectInput ||
                          op == effConnectOutput || op == effSetBlockSizeAndSampleRate ||
                          op == effKeysRequired || op == effGetVstVersion || op == effEditKeyDown ||
                          op == effEditMouse;
    if (!neutralNonZero) CHECK_MESSAGE(answer == 0, "opcode " << op);
  }
  CHECK(editor->log == std::vector<std::string>{"down", "up"});
}

TEST_CASE_FIXTURE(Fixture, "neutral answers of the extended dispatcher") {
  char text[128];
  std::memset(text, '#', sizeof(text));

  CHECK(dispatch(effCanDo, 0, 0, const_cast<char*>("bypass")) == 0);
  CHECK(dispatch(effGetPlugCategory) == 0);
  CHECK(dispatch(effGetVstVersion) == 2400);
  CHECK(dispatch(effGetTailSize) == 0);
  CHECK(dispatch(effGetEffectName, 0, 0, text) == 0);
  CHECK(text[0] == '#');
  CHECK(dispatch(effKeysRequired) == 1);
  CHECK(dispatch(effGetNumProgramCategories) == 1);
  CHECK(dispatch(effCanBeAutomated, 12345) == 1);
  CHECK(dispatch(effGetCurrentMidiProgram, 0, 0, text) == -1);
  CHECK(dispatch(effConnectInput, 1, 0) == 1);
  CHECK(dispatch(effSetBypass, 0, 5) == 0);
  CHECK(dispatch(effSetTotalSampleToProcess, 0, 777) == 777);
  CHECK(dispatch(effGetVendorString, 0, 0, text) == 0);

  CHECK(dispatch(effSetBlockSizeAndSampleRate, 0, 333, nullptr, 22050.0f) == 1);
  CHECK(effect.getBlockSize() == 333);
  CHECK(effect.getSampleRate() == 22050.0f);

  VstSpeakerArrangement* in = reinterpret_cast<VstSpeakerArrangement*>(1);
  VstSpeakerArrangement* out = reinterpret_cast<VstSpeakerArrangement*>(1);
  CHECK(dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out) == 0);
  CHECK(in == nullptr);
  CHECK(out == nullptr);

  // The extended default resume asks for events only for synths.
  effect.callResumeOfBase();
  CHECK(host.callsOf(audioMasterWantMidi).empty());
  effect.isSynth(true);
  effect.callResumeOfBase();
  REQUIRE(host.callsOf(audioMasterWantMidi).size() == 1);
  CHECK(host.callsOf(audioMasterWantMidi)[0].value == 1);
}

TEST_CASE_FIXTURE(Fixture, "key opcodes reach the editor as a VstKeyCode") {
  RecordingEditor* editor = addEditor();
  CHECK(dispatch(effEditKeyDown, 'q', 0x10E, nullptr, 8.9f) == 1);
  CHECK(editor->lastKey.character == 'q');
  CHECK(editor->lastKey.virt == 0x0E);
  CHECK(editor->lastKey.modifier == 8);
  CHECK(dispatch(effEditKeyUp, 'r', 2, nullptr, 257.0f) == 0);
  CHECK(editor->lastKey.modifier == 1);
  CHECK(dispatch(effSetEditKnobMode, 0, 2) == 1);
  CHECK(dispatch(effEditMouse, 3, 4) == 3004);

  ERect* rect = reinterpret_cast<ERect*>(1);
  CHECK(dispatch(effEditGetRect, 0, 0, &rect) == 0);
  CHECK(rect == nullptr);
  int window = 0;
  CHECK(dispatch(effEditOpen, 0, 0, &window) == 0);
  CHECK(editor->isOpen());
  dispatch(effEditClose);
  CHECK(!editor->isOpen());
}

TEST_CASE_FIXTURE(Fixture, "host requests carry their arguments and read the answers") {
  host.answers[audioMasterVersion] = 0;
  CHECK(effect.getMasterVersion() == 1);
  host.answers[audioMasterVersion] = 2400;
  CHECK(effect.getMasterVersion() == 2400);

  CHECK(effect.isInputConnected(1));
  REQUIRE(!host.calls.empty());
  CHECK(host.calls.back().opcode == audioMasterPinConnected);
  CHECK(host.calls.back().index == 1);
  CHECK(host.calls.back().value == 0);
  host.answers[audioMasterPinConnected] = 1;
  CHECK(!effect.isInputConnected(1));
  CHECK(!effect.isOutputConnected(0));
  CHECK(host.calls.back().value == 1);

  effect.setSampleRate(44100.0f);
  host.answers[audioMasterGetSampleRate] = 0;
  CHECK(effect.updateSampleRate() == 44100.0f);
  host.answers[audioMasterGetSampleRate] = -5;
  CHECK(effect.updateSampleRate() == 44100.0f);
  host.answers[audioMasterGetSampleRate] = 48000;
  CHECK(effect.updateSampleRate() == 48000.0f);
  host.answers[audioMasterGetBlockSize] = 64;
  CHECK(effect.updateBlockSize() == 64);

  host.answers[audioMasterProcessEvents] = 2;
  CHECK(!effect.sendVstEventsToHost(nullptr));
  host.answers[audioMasterProcessEvents] = 1;
  CHECK(effect.sendVstEventsToHost(nullptr));

  size_t before = host.calls.size();
  CHECK(!effect.openFileSelector(nullptr));
  CHECK(!effect.closeFileSelector(nullptr));
  CHECK(!effect.getChunkFile(nullptr));
  CHECK(host.calls.size() == before);

  host.answers[audioMasterSizeWindow] = 1;
  CHECK(effect.sizeWindow(419, 145));
  CHECK(host.calls.back().index == 419);
  CHECK(host.calls.back().value == 145);
  host.answers[audioMasterCanDo] = 7;
  CHECK(effect.canHostDo(const_cast<char*>("sizeWindow")) == 1);
  CHECK(effect.beginEdit(3) == false);
  CHECK(host.calls.back().opcode == audioMasterBeginEdit);
  CHECK(host.calls.back().index == 3);

  for (const HostCall& call : host.calls) CHECK(call.opcode != audioMasterGetNextPlug);
  effect.getNextPlug(5);
  CHECK(host.calls.back().index == 0);  // the pin number is not sent

  effect.offlineRead(nullptr, 9, true);
  CHECK(host.calls.back().index == 1);
  CHECK(host.calls.back().value == 9);
}

TEST_CASE("without a host callback every request gives its neutral answer") {
  BareEffect effect(nullptr);
  CHECK(effect.getMasterVersion() == 1);
  CHECK(effect.isInputConnected(1));
  CHECK(effect.isOutputConnected(1));
  CHECK(effect.getTimeInfo(0) == nullptr);
  CHECK(!effect.sizeWindow(10, 10));
  CHECK(effect.canHostDo(const_cast<char*>("sizeWindow")) == 0);
  effect.setParameterAutomated(0, 0.5f);
}

TEST_CASE_FIXTURE(Fixture, "speaker arrangements") {
  VstSpeakerArrangement* source = nullptr;
  REQUIRE(effect.allocateArrangement(&source, 12));
  CHECK(source->numChannels == 12);
  source->type = 7;
  VstSpeakerProperties* speakers = source->speakers;
  for (int i = 0; i < 12; i++) {
    speakers[i].azimuth = (float)i;
    std::memset(speakers[i].name, 'a' + i, sizeof(speakers[i].name));  // unterminated
    speakers[i].type = 100 + i;
    speakers[i].future[27] = (char)i;
  }

  VstSpeakerArrangement* target = nullptr;
  CHECK(!effect.matchArrangement(&target, nullptr));
  CHECK(target == nullptr);
  REQUIRE(effect.matchArrangement(&target, source));
  CHECK(target->type == 7);
  CHECK(target->numChannels == 12);
  VstSpeakerProperties* copied = target->speakers;
  CHECK(copied[11].azimuth == 11.0f);
  CHECK(copied[11].type == 111);
  CHECK(copied[11].future[27] == 11);
  CHECK(std::strlen(copied[11].name) == 63);

  CHECK(!effect.copySpeaker(nullptr, copied));
  CHECK(effect.deallocateArrangement(&target));
  CHECK(target == nullptr);
  CHECK(effect.deallocateArrangement(&target));
  effect.deallocateArrangement(&source);
}
