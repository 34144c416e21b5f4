// The speech announcer: each announcement becomes a SpeechJob that a worker thread of its own
// speaks through the system's speech engine ("SAPI.SpVoice"), with the player paused or set to
// the speech volume meanwhile.
//
// Lifetime: SpeakAsync makes a job on the player's thread and hands it to a new, detached
// worker, which owns it from then on and frees it when it ends (SpeakAsync frees it when no
// worker could be started). Each worker has its own COM apartment and its own voice object, and
// holds a reference on this module from before it starts until FreeLibraryAndExitThread, so the
// player may unload the plug-in while a worker still speaks.
//
// Jobs that speak at the same time share one hold on the player for pausing and one for the
// volume: the first job into a hold changes the player and keeps what it found, the last one
// out puts it back, so the player ends as it was before the first job began. The holds are
// touched by workers only, through interlocked operations; the player's thread never waits.
#include "speech/speech.h"

#include <windows.h>
#include <objbase.h>

#include <memory>
#include <string>
#include <utility>

#include "base/guarded.h"
#include "base/handle.h"
#include "encoding/encoding.h"
#include "host/host.h"
#include "host/module.h"
#include "speech/volume.h"

// The engine's voice as far as Speak: after IUnknown come the notify-source methods, then the
// event-source methods, then the voice's own, in the order of the engine's table. Only Speak
// is ever called; the others hold their places. Declared outside the anonymous namespace on
// purpose: GCC takes a class there for one it knows every subclass of, finds none, and turns a
// call through the table into a call to nowhere.
struct VoiceInterface : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE SetNotifySink(IUnknown* sink) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetNotifyWindowMessage(HWND window, UINT message,
                                                           WPARAM wParam, LPARAM lParam) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetNotifyCallbackFunction(void* callback, WPARAM wParam,
                                                              LPARAM lParam) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetNotifyCallbackInterface(void* callback, WPARAM wParam,
                                                               LPARAM lParam) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetNotifyWin32Event() = 0;
  virtual HRESULT STDMETHODCALLTYPE WaitForNotifyEvent(DWORD milliseconds) = 0;
  virtual HANDLE STDMETHODCALLTYPE GetNotifyEventHandle() = 0;
  virtual HRESULT STDMETHODCALLTYPE SetInterest(ULONGLONG events, ULONGLONG queued) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetEvents(ULONG count, void* events, ULONG* fetched) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetInfo(void* info) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetOutput(IUnknown* output, BOOL allowFormatChanges) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetOutputObjectToken(void** token) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetOutputStream(void** stream) = 0;
  virtual HRESULT STDMETHODCALLTYPE Pause() = 0;
  virtual HRESULT STDMETHODCALLTYPE Resume() = 0;
  virtual HRESULT STDMETHODCALLTYPE SetVoice(void* token) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetVoice(void** token) = 0;
  virtual HRESULT STDMETHODCALLTYPE Speak(const wchar_t* text, DWORD flags,
                                          ULONG* streamNumber) = 0;
};

namespace {

constexpr wchar_t kVoiceProgId[] = L"SAPI.SpVoice";

// The voice interface of the speech engine, {6C44DF74-72B9-4992-A1EC-EF996E0422D4}.
constexpr IID kVoiceInterface = {
    0x6C44DF74, 0x72B9, 0x4992, {0xA1, 0xEC, 0xEF, 0x99, 0x6E, 0x04, 0x22, 0xD4}};

constexpr DWORD kSpeakPurgeBeforeSpeak = 0x02;  // drop what this voice still has queued
constexpr DWORD kSpeakIsNotXml = 0x10;          // plain text, not markup
constexpr DWORD kSpeakFlags = kSpeakPurgeBeforeSpeak | kSpeakIsNotXml;

// One announcement, with copies of what it needs: later changes of the settings do not reach
// a job already made.
struct SpeechJob {
  std::wstring Text;
  CLSID ClassId;
  BOOL PauseHost;
  BOOL ChangeVolume;
  unsigned VolumeLevel;
};

// What the jobs that speak at the same time hold on the player.
struct HostHold {
  volatile LONG holders;  // jobs inside the hold
  volatile LONG kept;     // the volume the first of them found (the volume hold only)
};

HostHold PauseHold = {0, 0};
HostHold VolumeHold = {0, 0};

// True for the job that takes the hold first: it alone changes the player. Jobs that join
// later leave the player as the first one set it.
bool EnterHold(HostHold& hold) { return InterlockedIncrement(&hold.holders) == 1; }

// The last job out puts the player back before it lets go, so that a job arriving afterwards
// finds the player as it was. A job that joins while the player is being put back speaks with
// the player as it was and puts it back once more when it leaves.
template <class Restore>
void LeaveHold(HostHold& hold, Restore restore) {
  for (;;) {
    LONG holders = hold.holders;
    if (holders == 1) {
      restore();
      if (InterlockedCompareExchange(&hold.holders, 0, 1) == 1) return;
    } else if (InterlockedCompareExchange(&hold.holders, holders - 1, holders) == holders) {
      return;
    }
  }
}

// The text as far as its first zero byte, in UTF-16: the engine speaks up to there.
std::wstring SpokenText(const std::string& text, Encoding encoding) {
  return WideText(std::string_view(text.c_str()), encoding);
}

// A single-threaded COM apartment for the worker, for as long as the owner lives.
class ComApartment {
 public:
  ComApartment() : joined_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  // A failed initialisation must not be balanced by an uninitialisation.
  ~ComApartment() {
    if (joined_) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  bool joined() const { return joined_; }

 private:
  bool joined_;
};

// One reference on a voice object, released at the end of the scope or earlier by Release.
class VoiceRef {
 public:
  VoiceRef() = default;
  ~VoiceRef() { Release(); }
  VoiceRef(const VoiceRef&) = delete;
  VoiceRef& operator=(const VoiceRef&) = delete;
  void** Out() { return reinterpret_cast<void**>(&voice_); }
  VoiceInterface* operator->() const { return voice_; }
  void Release() {
    if (voice_) voice_->Release();
    voice_ = nullptr;
  }

 private:
  VoiceInterface* voice_ = nullptr;
};

void TurnPlayerDown(unsigned level) {
  if (EnterHold(VolumeHold)) {
    InterlockedExchange(&VolumeHold.kept, host::Volume());
    host::SetVolume(static_cast<int>(HostVolumeFromLevel(level)));
  }
}

void PutVolumeBack() {
  LeaveHold(VolumeHold, [] { host::SetVolume(VolumeHold.kept); });
}

void PausePlayer() {
  if (EnterHold(PauseHold)) host::Pause();
}

void ResumePlayer() {
  LeaveHold(PauseHold, [] { host::Play(); });
}

void RunSpeechJob(SpeechJob* job) {
  std::unique_ptr<SpeechJob> owned(job);
  ComApartment apartment;
  if (!apartment.joined()) return;
  VoiceRef voice;
  if (FAILED(CoCreateInstance(owned->ClassId, nullptr, CLSCTX_ALL, kVoiceInterface,
                              voice.Out())))
    return;
  if (owned->ChangeVolume) TurnPlayerDown(owned->VolumeLevel);
  if (owned->PauseHost) PausePlayer();
  // Returns once the sentence has been spoken; whether that worked, the player is put back.
  voice->Speak(owned->Text.c_str(), kSpeakFlags, nullptr);
  voice.Release();  // before the player goes on
  if (owned->PauseHost) ResumePlayer();
  if (owned->ChangeVolume) PutVolumeBack();
}

DWORD WINAPI SpeechWorker(void* job) {
  Guarded([job] { RunSpeechJob(static_cast<SpeechJob*>(job)); });
  // Drops the reference SpeakAsync took for this worker; the module may go with it, so this
  // call never returns into it.
  FreeLibraryAndExitThread(HoldModule(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT), 0);
}

}  // namespace

bool IsSpeechAvailable() {
  CLSID classId;
  return SUCCEEDED(CLSIDFromProgID(kVoiceProgId, &classId));
}

void SpeakAsync(const std::string& text, bool pauseHost, bool changeVolume, unsigned level,
                Encoding encoding) {
  // A failure here leaves out the speech alone; the update goes on with its output file.
  Guarded([&] {
    // Nothing to say (a format that gives nothing, a player that formats nothing): the player
    // is not paused or turned down around silence.
    std::wstring wide = SpokenText(text, encoding);
    if (wide.empty()) return;
    CLSID classId;
    if (FAILED(CLSIDFromProgID(kVoiceProgId, &classId))) return;
    auto job = std::make_unique<SpeechJob>(
        SpeechJob{std::move(wide), classId, pauseHost, changeVolume, level});
    HMODULE module = HoldModule(0);  // the worker's reference
    if (!module) return;
    ScopedHandle worker(CreateThread(nullptr, 0, SpeechWorker, job.get(), 0, nullptr));
    if (!worker.ok()) {
      FreeLibrary(module);
      return;
    }
    job.release();  // the worker's now
  });
}
