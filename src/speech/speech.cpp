// The speech announcer: each announcement becomes a SpeechJob that a worker thread speaks
// through the system's speech engine ("SAPI.SpVoice"), with the player paused or turned down
// meanwhile.
//
// Lifetime: SpeakAsync makes a job on the player's thread and leaves it in a mailbox of one,
// where a newer job replaces one that has not started, and starts the worker when none runs.
// The worker speaks job after job until the mailbox is empty, then ends; it holds a reference on
// this module from before it starts until FreeLibraryAndExitThread, so the player may unload the
// plug-in while it speaks. It lives in the multithreaded apartment (the engine's voice is
// free-threaded), so it never has to pump messages, and makes a voice object for each job.
//
// At most one voice speaks: a new job, and the end of the plug-in's run, wake the worker, which
// cuts its voice short. What the jobs changed on the player is kept in one record: a job that
// follows another at once takes over what it wants to keep, and the last one puts the player
// back only where the user left it as we set it. EndSpeech (quit) puts it back on the player's
// own thread; from then on the run's jobs no longer touch the player.
#include "speech/speech.h"

#include <windows.h>
#include <objbase.h>

#include <memory>
#include <string>
#include <utility>

#include "base/com.h"
#include "base/guarded.h"
#include "base/handle.h"
#include "encoding/encoding.h"
#include "host/host.h"
#include "host/module.h"
#include "speech/volume.h"

// The engine's voice as far as SpeakCompleteEvent: after IUnknown come the notify-source
// methods, then the event-source methods, then the voice's own, in the order of the engine's
// table. Only Speak and SpeakCompleteEvent are ever called; the others hold their places.
// Declared outside the anonymous namespace on purpose: GCC takes a class there for one it knows
// every subclass of, finds none, and turns a call through the table into a call to nowhere.
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
  virtual HRESULT STDMETHODCALLTYPE SpeakStream(IUnknown* stream, DWORD flags,
                                                ULONG* streamNumber) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetStatus(void* status, wchar_t** bookmark) = 0;
  virtual HRESULT STDMETHODCALLTYPE Skip(const wchar_t* unit, long count, ULONG* skipped) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPriority(int priority) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPriority(int* priority) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetAlertBoundary(int boundary) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAlertBoundary(int* boundary) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetRate(long rate) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRate(long* rate) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetVolume(USHORT volume) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetVolume(USHORT* volume) = 0;
  virtual HRESULT STDMETHODCALLTYPE WaitUntilDone(ULONG milliseconds) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetSyncSpeakTimeout(ULONG milliseconds) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetSyncSpeakTimeout(ULONG* milliseconds) = 0;
  virtual HANDLE STDMETHODCALLTYPE SpeakCompleteEvent() = 0;
};

namespace {

constexpr wchar_t kVoiceProgId[] = L"SAPI.SpVoice";

// The voice interface of the speech engine, {6C44DF74-72B9-4992-A1EC-EF996E0422D4}.
constexpr IID kVoiceInterface = {
    0x6C44DF74, 0x72B9, 0x4992, {0xA1, 0xEC, 0xEF, 0x99, 0x6E, 0x04, 0x22, 0xD4}};

constexpr DWORD kSpeakAsync = 0x01;             // return at once; the voice speaks on its own
constexpr DWORD kSpeakPurgeBeforeSpeak = 0x02;  // drop what this voice still has queued
constexpr DWORD kSpeakIsNotXml = 0x10;          // plain text, not markup
constexpr DWORD kSpeakFlags = kSpeakAsync | kSpeakPurgeBeforeSpeak | kSpeakIsNotXml;

constexpr int kTopHostVolume = 255;
// EndSpeech waits no longer for a request under way: one the player is answering further up
// this very stack (it quits us while it answers) cannot end before EndSpeech returns.
constexpr DWORD kDriveWaitLimitMs = 1000;

// One announcement, with copies of what it needs: later changes of the settings do not reach
// a job already made.
struct SpeechJob {
  std::wstring Text;
  CLSID ClassId;
  BOOL PauseHost;
  BOOL ChangeVolume;
  unsigned VolumeLevel;
  LONG Run;  // the plug-in's run it was made in: one that has ended drives the player no more
};

// What the jobs changed on the player and have not put back.
struct PlayerChanges {
  bool paused = false;      // we paused a track that was playing
  bool turnedDown = false;  // we set the volume from keptVolume to setVolume
  int keptVolume = 0;
  int setVolume = 0;
};

// Shared by the player's thread and the worker, under `lock`.
struct SpeechState {
  CRITICAL_SECTION lock;
  HANDLE wake;        // auto-reset: a new job came, or the run ended: cut the voice short
  HANDLE driveEnded;  // auto-reset: the worker stopped driving the player
  std::unique_ptr<SpeechJob> waiting;
  bool workerRunning = false;
  bool driving = false;
  LONG run = 0;  // counted up by EndSpeech
  PlayerChanges changes;

  SpeechState()
      : wake(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
        driveEnded(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    InitializeCriticalSection(&lock);
  }
  // At unload: no worker runs then, each holds the module.
  ~SpeechState() {
    if (wake) CloseHandle(wake);
    if (driveEnded) CloseHandle(driveEnded);
    DeleteCriticalSection(&lock);
  }
  SpeechState(const SpeechState&) = delete;
  SpeechState& operator=(const SpeechState&) = delete;
};

SpeechState Speech;

class Locked {
 public:
  Locked() { EnterCriticalSection(&Speech.lock); }
  ~Locked() { LeaveCriticalSection(&Speech.lock); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
};

// The text as far as its first zero byte, in UTF-16: the engine speaks up to there.
std::wstring SpokenText(const std::string& text, Encoding encoding) {
  return WideText(std::string_view(text.c_str()), encoding);
}

// Whether the plug-in's run `run` goes on: once it has ended, nothing more is sent the player.
bool Ours(LONG run) {
  Locked locked;
  return run == Speech.run;
}

// Runs drive, which sends the player requests and notes what it changed, unless the run `job`
// belongs to has ended. EndSpeech waits for a drive under way.
template <class Drive>
bool DrivePlayer(const SpeechJob& job, Drive drive) {
  PlayerChanges changes;
  {
    Locked locked;
    if (job.Run != Speech.run) return false;
    Speech.driving = true;
    changes = Speech.changes;
  }
  drive(changes);
  {
    Locked locked;
    Speech.changes = changes;
    Speech.driving = false;
  }
  SetEvent(Speech.driveEnded);
  return true;
}

// Turns the player down and pauses it for the job, as far as an earlier job has not already.
// The run may end while the player answers a question (the player may quit us meanwhile).
void TakePlayer(const SpeechJob& job, PlayerChanges& changes) {
  if (job.ChangeVolume) {
    const int level = static_cast<int>(HostVolumeFromLevel(job.VolumeLevel));
    if (!changes.turnedDown) {
      // An answer off the player's scale is no volume: it cannot be put back, so it is not
      // changed.
      const int volume = host::Volume();
      if (volume >= 0 && volume <= kTopHostVolume && Ours(job.Run)) {
        changes = {changes.paused, true, volume, level};
        host::SetVolume(level);
      }
    } else if (changes.setVolume != level && host::Volume() == changes.setVolume &&
               Ours(job.Run)) {
      changes.setVolume = level;
      host::SetVolume(level);
    }
  }
  if (job.PauseHost) {
    // Only a playing track: the command toggles, and would resume one the user paused.
    const int state = host::PlayState();
    if (state == host::kPlaying && Ours(job.Run)) {
      host::Pause();
      changes.paused = true;
    } else if (state != host::kPaused) {
      changes.paused = false;
    }
  }
}

// Puts back what the jobs of run `run` changed where the player is still as they left it: a
// track the user resumed, stopped or changed meanwhile, and a volume the user set, stay.
void GiveBack(PlayerChanges& changes, bool pause, bool volume, LONG run) {
  if (pause && changes.paused) {
    changes.paused = false;
    if (host::PlayState() == host::kPaused && Ours(run)) host::Play();
  }
  if (volume && changes.turnedDown) {
    changes.turnedDown = false;
    if (host::Volume() == changes.setVolume && Ours(run)) host::SetVolume(changes.keptVolume);
  }
}

// Speaks the job until its voice is done, or cut short by a newer job or the end of the run.
void Speak(const SpeechJob& job) {
  ComRef<VoiceInterface> voice;  // released when this returns, before the player goes on
  if (FAILED(CoCreateInstance(job.ClassId, nullptr, CLSCTX_ALL, kVoiceInterface, voice.putVoid())))
    return;
  if (!DrivePlayer(job, [&](PlayerChanges& changes) { TakePlayer(job, changes); })) return;
  // Whether speaking works or not, the player is put back afterwards.
  if (SUCCEEDED(voice->Speak(job.Text.c_str(), kSpeakFlags, nullptr))) {
    HANDLE waits[] = {voice->SpeakCompleteEvent(), Speech.wake};
    if (waits[0] && WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1)
      voice->Speak(nullptr, kSpeakPurgeBeforeSpeak, nullptr);
  }
}

// The next job, taken out of the mailbox; none when it is empty, and the worker then ends.
std::unique_ptr<SpeechJob> TakeJob() {
  Locked locked;
  std::unique_ptr<SpeechJob> job = std::move(Speech.waiting);
  if (job)
    ResetEvent(Speech.wake);  // set for this job
  else
    Speech.workerRunning = false;
  return job;
}

void RunWorker() {
  ComApartment apartment(COINIT_MULTITHREADED);
  while (std::unique_ptr<SpeechJob> job = TakeJob()) {
    if (apartment.joined()) Speak(*job);
    // A job waiting already goes on with the player as this one leaves it, as far as it wants.
    bool pause = true, volume = true;
    {
      Locked locked;
      if (const SpeechJob* next = Speech.waiting.get()) {
        pause = !next->PauseHost;
        volume = !next->ChangeVolume;
      }
    }
    const LONG run = job->Run;
    DrivePlayer(*job, [=](PlayerChanges& changes) { GiveBack(changes, pause, volume, run); });
  }
}

DWORD WINAPI SpeechWorker(void*) {
  Guarded(RunWorker);
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
    if (wide.empty() || !Speech.wake || !Speech.driveEnded) return;
    CLSID classId;
    if (FAILED(CLSIDFromProgID(kVoiceProgId, &classId))) return;
    auto job = std::make_unique<SpeechJob>(
        SpeechJob{std::move(wide), classId, pauseHost, changeVolume, level, 0});
    bool start = false;
    {
      Locked locked;
      job->Run = Speech.run;
      Speech.waiting = std::move(job);  // an older job that has not started is dropped
      SetEvent(Speech.wake);            // one speaking is cut short
      start = !Speech.workerRunning;
      Speech.workerRunning = true;
    }
    if (!start) return;
    HMODULE module = HoldModule(0);  // the worker's reference
    ScopedHandle worker(module ? CreateThread(nullptr, 0, SpeechWorker, nullptr, 0, nullptr)
                               : nullptr);
    if (worker.ok()) return;
    if (module) FreeLibrary(module);
    Locked locked;
    Speech.waiting.reset();
    Speech.workerRunning = false;
  });
}

void EndSpeech() {
  Guarded([] {
    {
      Locked locked;
      ++Speech.run;
      Speech.waiting.reset();
      SetEvent(Speech.wake);
    }
    // A worker that is sending the player requests waits for this thread: they are answered
    // here (sent messages only) until it is done.
    const DWORD start = GetTickCount();
    for (;;) {
      {
        Locked locked;
        if (!Speech.driving) break;
      }
      const DWORD waited = GetTickCount() - start;
      if (waited >= kDriveWaitLimitMs) break;
      MSG message;
      PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
      MsgWaitForMultipleObjects(1, &Speech.driveEnded, FALSE, kDriveWaitLimitMs - waited,
                                QS_SENDMESSAGE);
    }
    PlayerChanges changes;
    LONG run = 0;
    {
      Locked locked;
      changes = Speech.changes;
      Speech.changes = {};
      run = Speech.run;
    }
    GiveBack(changes, true, true, run);
  });
}
