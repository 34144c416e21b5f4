// The test engine: a class factory and a voice whose Speak notes the text, its flags, its
// thread and its times, then takes as long as it is told and answers what it is told.
//
// The voice's table is laid out from the toolchain's own declaration of the engine's voice
// interface (the C form, a struct of slots), so that a plug-in that calls Speak through the
// wrong slot reaches an empty one and fails its test. Only IUnknown's slots and Speak are
// filled.
//
// Lifetime: the module stays loaded for the whole test run (the test program links to it);
// voices live from the factory's CreateInstance to their last Release. All records are kept
// under one lock, since every speech worker calls in on a thread of its own.
#define CINTERFACE
#include <windows.h>
#include <sapi.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "fake_voice.h"

namespace {

constexpr IID kVoiceInterface = {
    0x6C44DF74, 0x72B9, 0x4992, {0xA1, 0xEC, 0xEF, 0x99, 0x6E, 0x04, 0x22, 0xD4}};
constexpr DWORD kHoldLimitMs = 60000;  // a held Speak gives up then, so no run hangs for good

static_assert(offsetof(ISpVoiceVtbl, Speak) == 20 * sizeof(void*),
              "Speak is the 21st slot of the voice's table");

struct Record {
  std::wstring text;
  bool textNull;
  DWORD flags;
  bool streamNumberAsked;
  DWORD thread;
  LONGLONG start, end, voiceReleased;
  HANDLE finish;  // set while a held Speak waits
};

CRITICAL_SECTION* Lock() {
  static CRITICAL_SECTION section;
  static bool ready = [] {
    InitializeCriticalSection(&section);
    return true;
  }();
  (void)ready;
  return &section;
}

class Locked {
 public:
  Locked() { EnterCriticalSection(Lock()); }
  ~Locked() { LeaveCriticalSection(Lock()); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
};

FakeVoiceBehaviour Behaviour = {S_OK, S_OK, 0, FALSE};
std::vector<Record> Records;
LONG Generation = 0;  // bumped by each reset, so that a Speak from before notes nothing
LONG Creations = 0;
LONG Live = 0;
LONG Speaking = 0;

LONGLONG Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

struct FakeVoice {
  ISpVoice face;  // first, so that the interface pointer is the object's address
  LONG references;
  LONG generation;
  std::vector<std::size_t> spoken;  // indices into Records
};

FakeVoice* Self(ISpVoice* voice) { return reinterpret_cast<FakeVoice*>(voice); }

HRESULT STDMETHODCALLTYPE VoiceQueryInterface(ISpVoice* voice, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, kVoiceInterface)) {
    InterlockedIncrement(&Self(voice)->references);
    *out = voice;
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE VoiceAddRef(ISpVoice* voice) {
  return static_cast<ULONG>(InterlockedIncrement(&Self(voice)->references));
}

ULONG STDMETHODCALLTYPE VoiceRelease(ISpVoice* voice) {
  FakeVoice* self = Self(voice);
  LONG left = InterlockedDecrement(&self->references);
  if (left == 0) {
    {
      Locked locked;
      if (self->generation == Generation) {
        for (std::size_t index : self->spoken) Records[index].voiceReleased = Now();
        --Live;
      }
    }
    delete self;
  }
  return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE VoiceSpeak(ISpVoice* voice, LPCWSTR text, DWORD flags,
                                     ULONG* streamNumber) {
  FakeVoice* self = Self(voice);
  std::size_t index = 0;
  LONG generation = 0;
  FakeVoiceBehaviour behaviour;
  HANDLE finish = nullptr;
  {
    Locked locked;
    behaviour = Behaviour;
    generation = Generation;
    if (behaviour.holdSpeech) finish = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    index = Records.size();
    Records.push_back({text ? text : L"", text == nullptr, flags, streamNumber != nullptr,
                       GetCurrentThreadId(), Now(), 0, 0, finish});
    if (self->generation == generation) self->spoken.push_back(index);
    ++Speaking;
  }
  if (finish) {
    WaitForSingleObject(finish, kHoldLimitMs);
  } else if (behaviour.speakMs) {
    Sleep(behaviour.speakMs);  // the engine's speaking time, not a wait for anything
  }
  {
    Locked locked;
    if (Generation == generation) {
      Records[index].end = Now();
      Records[index].finish = nullptr;
      --Speaking;
    }
  }
  if (finish) CloseHandle(finish);
  if (streamNumber) *streamNumber = static_cast<ULONG>(index + 1);
  return behaviour.speakResult;
}

ISpVoiceVtbl MakeVoiceTable() {
  ISpVoiceVtbl table;
  std::memset(&table, 0, sizeof table);  // every other slot is empty: calling one crashes
  table.QueryInterface = VoiceQueryInterface;
  table.AddRef = VoiceAddRef;
  table.Release = VoiceRelease;
  table.Speak = VoiceSpeak;
  return table;
}

ISpVoiceVtbl VoiceTable = MakeVoiceTable();

// --- the class factory: one static object ------------------------------------------------

HRESULT STDMETHODCALLTYPE FactoryQueryInterface(IClassFactory* factory, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
    *out = factory;
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE FactoryAddRef(IClassFactory*) { return 2; }
ULONG STDMETHODCALLTYPE FactoryRelease(IClassFactory*) { return 1; }

HRESULT STDMETHODCALLTYPE FactoryCreateInstance(IClassFactory*, IUnknown* outer, REFIID iid,
                                                void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  LONG generation = 0;
  {
    Locked locked;
    ++Creations;
    if (FAILED(Behaviour.createResult)) return Behaviour.createResult;
    generation = Generation;
  }
  if (outer) return CLASS_E_NOAGGREGATION;
  auto* voice = new FakeVoice{{&VoiceTable}, 1, generation, {}};
  {
    Locked locked;
    if (voice->generation == Generation) ++Live;
  }
  HRESULT result = VoiceQueryInterface(&voice->face, iid, out);
  VoiceRelease(&voice->face);
  return result;
}

HRESULT STDMETHODCALLTYPE FactoryLockServer(IClassFactory*, BOOL) { return S_OK; }

IClassFactoryVtbl FactoryTable = {FactoryQueryInterface, FactoryAddRef, FactoryRelease,
                                  FactoryCreateInstance, FactoryLockServer};
IClassFactory Factory = {&FactoryTable};

}  // namespace

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID classId, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsEqualCLSID(classId, kFakeVoiceClass)) return CLASS_E_CLASSNOTAVAILABLE;
  return FactoryQueryInterface(&Factory, iid, out);
}

// The test program holds the module for the whole run.
extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return S_FALSE; }

FAKE_VOICE_API void __cdecl FakeVoiceReset(const FakeVoiceBehaviour* behaviour) {
  Locked locked;
  for (Record& record : Records)
    if (record.finish) SetEvent(record.finish);
  Records.clear();
  ++Generation;
  Creations = Live = Speaking = 0;
  Behaviour = behaviour ? *behaviour : FakeVoiceBehaviour{S_OK, S_OK, 0, FALSE};
}

FAKE_VOICE_API int __cdecl FakeVoiceUtteranceCount() {
  Locked locked;
  return static_cast<int>(Records.size());
}

FAKE_VOICE_API BOOL __cdecl FakeVoiceUtterance(int index, FakeUtterance* utterance) {
  Locked locked;
  if (!utterance || index < 0 || static_cast<std::size_t>(index) >= Records.size()) return FALSE;
  const Record& record = Records[static_cast<std::size_t>(index)];
  std::memset(utterance, 0, sizeof *utterance);
  std::size_t room = sizeof utterance->text / sizeof utterance->text[0] - 1;
  std::size_t copied = record.text.size() < room ? record.text.size() : room;
  std::memcpy(utterance->text, record.text.data(), copied * sizeof(wchar_t));
  utterance->length = record.text.size();
  utterance->textNull = record.textNull;
  utterance->flags = record.flags;
  utterance->streamNumberAsked = record.streamNumberAsked;
  utterance->thread = record.thread;
  utterance->start = record.start;
  utterance->end = record.end;
  utterance->voiceReleased = record.voiceReleased;
  return TRUE;
}

FAKE_VOICE_API void __cdecl FakeVoiceFinish(int index) {
  Locked locked;
  if (index >= 0 && static_cast<std::size_t>(index) < Records.size() &&
      Records[static_cast<std::size_t>(index)].finish)
    SetEvent(Records[static_cast<std::size_t>(index)].finish);
}

FAKE_VOICE_API LONG __cdecl FakeVoiceCreations() {
  Locked locked;
  return Creations;
}

FAKE_VOICE_API LONG __cdecl FakeVoiceLive() {
  Locked locked;
  return Live;
}

FAKE_VOICE_API LONG __cdecl FakeVoiceSpeaking() {
  Locked locked;
  return Speaking;
}
