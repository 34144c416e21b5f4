// The test engine: a class factory and a voice whose Speak notes the text, its flags, its
// thread and its times, speaks for as long as it is told (asynchronously when asked) and answers
// what it is told.
//
// The voice's table is laid out from the toolchain's own declaration of the engine's voice
// interface (the C form, a struct of slots), so that a plug-in that calls through the wrong slot
// reaches an empty one and fails its test. Only IUnknown's slots, Speak and SpeakCompleteEvent
// are filled.
//
// Lifetime: the module stays loaded for the whole test run (the test program links to it);
// voices live from the factory's CreateInstance to their last Release. All records are kept
// under one lock, since speech workers call in on threads of their own.
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
constexpr DWORD kSpeakAsync = 0x01;
constexpr DWORD kSpeakPurge = 0x02;

static_assert(offsetof(ISpVoiceVtbl, Speak) == 20 * sizeof(void*),
              "Speak is the 21st slot of the voice's table");
static_assert(offsetof(ISpVoiceVtbl, SpeakCompleteEvent) == 35 * sizeof(void*),
              "SpeakCompleteEvent is the 36th slot of the voice's table");

struct FakeVoice;

struct Record {
  std::wstring text;
  bool textNull;
  DWORD flags;
  bool streamNumberAsked;
  DWORD thread;
  LONGLONG start, end, voiceReleased;
  bool cutShort;
  FakeVoice* voice;   // while the voice lives and this speaks
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

FakeVoiceBehaviour Behaviour = {S_OK, S_OK, FALSE};
std::vector<Record> Records;
LONG Generation = 0;  // bumped by each reset, so that a voice from before notes nothing
LONG Creations = 0;
LONG Live = 0;
LONG Speaking = 0;
LONG MostSpeaking = 0;

LONGLONG Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

struct FakeVoice {
  ISpVoice face;  // first, so that the interface pointer is the object's address
  LONG references;
  LONG generation;
  HANDLE done;    // the completion event: set while the voice speaks nothing
  std::vector<std::size_t> spoken;  // indices into Records
};

FakeVoice* Self(ISpVoice* voice) { return reinterpret_cast<FakeVoice*>(voice); }

// Ends utterance `index`, under the lock.
void End(std::size_t index, bool cutShort) {
  Record& record = Records[index];
  if (record.end != 0) return;
  record.end = Now();
  record.cutShort = cutShort;
  --Speaking;
  if (record.voice) SetEvent(record.voice->done);
  record.voice = nullptr;
}

// Cuts short what the voice still speaks, under the lock.
void EndAll(FakeVoice* self, LONG generation) {
  if (self->generation != generation) return;
  for (std::size_t index : self->spoken) End(index, true);
}

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
        EndAll(self, Generation);
        for (std::size_t index : self->spoken) Records[index].voiceReleased = Now();
        --Live;
      }
    }
    CloseHandle(self->done);
    delete self;
  }
  return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE VoiceSpeak(ISpVoice* voice, LPCWSTR text, DWORD flags,
                                     ULONG* streamNumber) {
  FakeVoice* self = Self(voice);
  std::size_t index = 0;
  HRESULT result = S_OK;
  {
    Locked locked;
    if (flags & kSpeakPurge) EndAll(self, Generation);
    if (!text && (flags & kSpeakPurge)) return S_OK;  // a purge alone
    // Only asynchronous speech is held: a synchronous Speak has spoken when it returns.
    bool hold = Behaviour.holdSpeech && (flags & kSpeakAsync);
    result = Behaviour.speakResult;
    index = Records.size();
    Records.push_back({text ? text : L"", text == nullptr, flags, streamNumber != nullptr,
                       GetCurrentThreadId(), Now(), 0, 0, false, nullptr});
    ++Speaking;
    if (Speaking > MostSpeaking) MostSpeaking = Speaking;
    if (self->generation == Generation) {
      self->spoken.push_back(index);
      Records[index].voice = self;
      ResetEvent(self->done);
    }
    if (!hold || FAILED(result)) End(index, false);
  }
  if (streamNumber) *streamNumber = static_cast<ULONG>(index + 1);
  return result;
}

HANDLE STDMETHODCALLTYPE VoiceSpeakCompleteEvent(ISpVoice* voice) { return Self(voice)->done; }

ISpVoiceVtbl MakeVoiceTable() {
  ISpVoiceVtbl table;
  std::memset(&table, 0, sizeof table);  // every other slot is empty: calling one crashes
  table.QueryInterface = VoiceQueryInterface;
  table.AddRef = VoiceAddRef;
  table.Release = VoiceRelease;
  table.Speak = VoiceSpeak;
  table.SpeakCompleteEvent = VoiceSpeakCompleteEvent;
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
  auto* voice =
      new FakeVoice{{&VoiceTable}, 1, generation, CreateEventW(nullptr, TRUE, TRUE, nullptr), {}};
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
  for (std::size_t index = 0; index < Records.size(); ++index) End(index, true);
  Records.clear();
  ++Generation;
  Creations = Live = Speaking = MostSpeaking = 0;
  Behaviour = behaviour ? *behaviour : FakeVoiceBehaviour{S_OK, S_OK, FALSE};
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
  utterance->cutShort = record.cutShort;
  return TRUE;
}

FAKE_VOICE_API void __cdecl FakeVoiceFinish(int index) {
  Locked locked;
  if (index >= 0 && static_cast<std::size_t>(index) < Records.size())
    End(static_cast<std::size_t>(index), false);
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

FAKE_VOICE_API LONG __cdecl FakeVoiceMostSpeaking() {
  Locked locked;
  return MostSpeaking;
}
