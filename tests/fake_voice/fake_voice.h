// A speech engine for the plug-in tests: an in-process COM server whose voice notes what it is
// asked to speak instead of speaking it. The tests register it for "SAPI.SpVoice" and link to
// it, so that the engine COM loads and the one they steer are the same module.
//
// Times are QueryPerformanceCounter readings, comparable with those the player simulator keeps.
#pragma once

#include <windows.h>

#ifdef FAKE_VOICE_BUILD
#define FAKE_VOICE_API extern "C"
#else
#define FAKE_VOICE_API extern "C" __declspec(dllimport)
#endif

// The class the tests register behind the ProgID.
constexpr CLSID kFakeVoiceClass = {
    0x7E3C1A52, 0x9B04, 0x4D6F, {0x8A, 0x21, 0x5C, 0x0D, 0x3B, 0x6E, 0x9F, 0x14}};

struct FakeVoiceBehaviour {
  HRESULT createResult;  // what making a voice answers; S_OK makes one
  HRESULT speakResult;   // what Speak answers (an asynchronous Speak at once)
  BOOL holdSpeech;       // asynchronous speech lasts until FakeVoiceFinish, else no time
};

// One call of Speak with a text. Speak with the asynchronous flag returns at once and the voice
// goes on speaking; its completion event is set when it ends. The purge flag, or releasing the
// voice, cuts short what it still speaks.
struct FakeUtterance {
  wchar_t text[256];        // the text, cut to fit; zero-terminated
  size_t length;            // its whole length in UTF-16 units
  BOOL textNull;
  DWORD flags;
  BOOL streamNumberAsked;   // a place for the stream number was passed
  DWORD thread;             // the thread that called Speak
  LONGLONG start, end;      // end is 0 while it speaks
  LONGLONG voiceReleased;   // when the voice that spoke it was released; 0 until then
  BOOL cutShort;            // ended by a purge or by the voice's release
};

// Forgets every utterance and voice count, ends speech still held, and behaves as told.
FAKE_VOICE_API void __cdecl FakeVoiceReset(const FakeVoiceBehaviour* behaviour);
FAKE_VOICE_API int __cdecl FakeVoiceUtteranceCount();
// Copies utterance `index` (in the order Speak was called); FALSE when there is none.
FAKE_VOICE_API BOOL __cdecl FakeVoiceUtterance(int index, FakeUtterance* utterance);
// Lets a held Speak return.
FAKE_VOICE_API void __cdecl FakeVoiceFinish(int index);
FAKE_VOICE_API LONG __cdecl FakeVoiceCreations();  // voices asked for, made or not
FAKE_VOICE_API LONG __cdecl FakeVoiceLive();       // voices made and not yet released
FAKE_VOICE_API LONG __cdecl FakeVoiceSpeaking();   // utterances that have not ended
FAKE_VOICE_API LONG __cdecl FakeVoiceMostSpeaking();  // the most that spoke at once
