// Speaking the announcement: the player paused or turned down around the speech and put back
// afterwards where the user left it so, the text and the calls as the engine receives them, an
// engine that fails or is missing, one announcement ending another, and quit while it speaks.
//
// The engine is the test voice (tests/fake_voice), registered for "SAPI.SpVoice" for each case
// and the old registration put back afterwards; some cases run with Wine's own engine, whose
// voice cannot speak, or with no engine at all. What the player sees is its message log: the
// worker's requests and commands, in order, each stamped with the time it arrived.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "fake_voice.h"
#include "harness.h"

namespace {

using harness::Eventually;
using harness::FileHolds;
using harness::Keys;

constexpr wchar_t kVoiceProgId[] = L"SAPI.SpVoice";
constexpr wchar_t kSavedRegistration[] = L"TunecrierTests.SavedVoice";  // under HKCR
constexpr wchar_t kSavedProgId[] = L"ProgId";
constexpr IID kVoiceInterface = {
    0x6C44DF74, 0x72B9, 0x4992, {0xA1, 0xEC, 0xEF, 0x99, 0x6E, 0x04, 0x22, 0xD4}};
constexpr DWORD kSpeakFlags = 0x13;  // asynchronous, plain text, this voice's queue dropped
constexpr DWORD kAllContexts = 0x17;
constexpr DWORD kWorkerLimitMs = 30000;  // speech workers start Wine's COM: slow under emulation

enum class Engine { Test, Wine, None };

std::wstring GuidText(const GUID& guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

std::wstring FakeVoicePath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(GetModuleHandleW(L"fake_voice.dll"), path, MAX_PATH);
  return path;
}

LONG SetDefaultValue(HKEY parent, const std::wstring& subKey, const std::wstring& name,
                     const std::wstring& value) {
  HKEY key = nullptr;
  LONG result = RegCreateKeyExW(parent, subKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                                nullptr);
  if (result != ERROR_SUCCESS) return result;
  result = RegSetValueExW(key, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return result;
}

bool KeyExists(HKEY parent, const std::wstring& subKey) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(parent, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// Copies parent\from, with everything under it, to parent\to.
LONG CopyKey(HKEY parent, const std::wstring& from, const std::wstring& to) {
  HKEY target = nullptr;
  LONG result = RegCreateKeyExW(parent, to.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                &target, nullptr);
  if (result != ERROR_SUCCESS) return result;
  result = RegCopyTreeW(parent, from.c_str(), target);
  RegCloseKey(target);
  return result;
}

// Puts one engine behind "SAPI.SpVoice" (in HKEY_CLASSES_ROOT, where COM looks) for as long as
// it lives, then the registration that was there before. The old registration waits under
// kSavedRegistration meanwhile, so that a run that died half-way is mended by the next one.
class EngineRegistration {
 public:
  explicit EngineRegistration(Engine engine) {
    Mend();
    std::wstring saved = std::wstring(kSavedRegistration) + L"\\" + kSavedProgId;
    if (KeyExists(HKEY_CLASSES_ROOT, kVoiceProgId)) Note(CopyKey(HKEY_CLASSES_ROOT, kVoiceProgId, saved));
    else Note(SetDefaultValue(HKEY_CLASSES_ROOT, kSavedRegistration, L"", L"no engine"));
    if (engine == Engine::Wine) return;
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kVoiceProgId);
    if (engine == Engine::None) return;
    std::wstring classKey = L"CLSID\\" + GuidText(kFakeVoiceClass);
    Note(SetDefaultValue(HKEY_CLASSES_ROOT, classKey + L"\\InprocServer32", L"", FakeVoicePath()));
    Note(SetDefaultValue(HKEY_CLASSES_ROOT, classKey + L"\\InprocServer32", L"ThreadingModel",
                         L"Both"));  // as the engine's own voice
    Note(SetDefaultValue(HKEY_CLASSES_ROOT, std::wstring(kVoiceProgId) + L"\\CLSID", L"",
                         GuidText(kFakeVoiceClass)));
  }
  ~EngineRegistration() { Mend(); }
  EngineRegistration(const EngineRegistration&) = delete;
  EngineRegistration& operator=(const EngineRegistration&) = delete;

  LONG failure() const { return failure_; }

 private:
  void Note(LONG result) {
    if (result != ERROR_SUCCESS && failure_ == ERROR_SUCCESS) failure_ = result;
  }

  // Puts a saved registration back and takes the test voice's class away.
  static void Mend() {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + GuidText(kFakeVoiceClass)).c_str());
    if (!KeyExists(HKEY_CLASSES_ROOT, kSavedRegistration)) return;
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kVoiceProgId);
    std::wstring saved = std::wstring(kSavedRegistration) + L"\\" + kSavedProgId;
    if (KeyExists(HKEY_CLASSES_ROOT, saved)) CopyKey(HKEY_CLASSES_ROOT, saved, kVoiceProgId);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kSavedRegistration);
  }

  LONG failure_ = ERROR_SUCCESS;
};

// --- what the player saw ---------------------------------------------------------------------

// The messages by which a speech job drives the player: its commands and its volume requests.
bool DrivesPlayer(const sim::Message& m) {
  return m.message == WM_COMMAND || (m.message == WM_USER && m.lParam == sim::IPC_SETVOLUME);
}

std::string Shown(const sim::Message& m) {
  std::string shown;
  if (m.message == WM_COMMAND) {
    shown = m.wParam == sim::WINAMP_BUTTON3   ? "pause"
            : m.wParam == sim::WINAMP_BUTTON2 ? "play"
                                              : "command " + std::to_string(m.wParam);
  } else if (m.wParam == sim::kQueryVolume) {
    shown = "volume?";
  } else {
    shown = "volume=" + std::to_string(m.wParam);
  }
  if (!m.fromOtherThread) shown += " (from the player's own thread)";
  return shown;
}

std::vector<std::string> Driving(const sim::Player& player) {
  std::vector<std::string> seen;
  for (const sim::Message& m : player.log)
    if (DrivesPlayer(m)) seen.push_back(Shown(m));
  return seen;
}

std::string Listed(const std::vector<std::string>& items) {
  std::string text = "{";
  for (const std::string& item : items) text += (text.size() > 1 ? ", " : "") + item;
  return text + "}";
}

// The player received exactly these commands and volume requests, in this order, each from
// another thread than its own.
::testing::AssertionResult DrovePlayer(const sim::Player& player,
                                       const std::vector<std::string>& expected) {
  std::vector<std::string> seen = Driving(player);
  if (seen == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the player received " << Listed(seen)
                                       << ", expected " << Listed(expected);
}

// When the first driving message shown as `shown` arrived; 0 when none did.
LONGLONG Arrival(const sim::Player& player, const std::string& shown) {
  for (const sim::Message& m : player.log)
    if (DrivesPlayer(m) && Shown(m) == shown) return m.when;
  return 0;
}

FakeUtterance Utterance(int index) {
  FakeUtterance utterance = {};
  FakeVoiceUtterance(index, &utterance);
  return utterance;
}

std::wstring TextOf(const FakeUtterance& utterance) {
  std::size_t room = sizeof utterance.text / sizeof utterance.text[0] - 1;
  return std::wstring(utterance.text, std::min(utterance.length, room));
}

std::vector<sim::Track> TwoTracks() {
  sim::Track first;
  first.file = "C:\\Music\\Nina Simone - Feeling Good.mp3";
  first.artist = "Nina Simone";
  first.title = "Feeling Good";
  first.meta = {{"artist", "Nina Simone"}, {"title", "Feeling Good"},
                {"album", "I Put a Spell on You"}, {"year", "1965"}};
  sim::Track second;
  second.file = "C:\\Music\\Miles Davis - So What.mp3";
  second.artist = "Miles Davis";
  second.title = "So What";
  second.meta = {{"artist", "Miles Davis"}, {"title", "So What"}, {"year", "1959"}};
  return {first, second};
}

const Keys kPauseMode = {{"WhenSpeaking", "0"}};
const Keys kVolumeMode = {{"WhenSpeaking", "1"}, {"Volume", "14"}};

// A way to make room for the speech, and how the player is driven around it.
struct ModeCase {
  Keys mode;
  std::vector<std::string> driving;
};

class SpeechTest : public harness::PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    if (HasFatalFailure()) return;
    Behave({S_OK, S_OK, FALSE});
    UseEngine(Engine::Test);
    player.playlist = TwoTracks();
  }

  void TearDown() override {
    for (int i = 0; i < FakeVoiceUtteranceCount(); ++i) FakeVoiceFinish(i);
    EXPECT_TRUE(WorkersEnd(Calls.threads.size()));
    if (started) Stop();
    if (unloads) {
      EXPECT_EQ(GetModuleHandleA(DllPath().c_str()), nullptr)
          << "the plug-in is still loaded: a reference on it was left behind";
    }
    engine.reset();
    FakeVoiceReset(nullptr);
    PluginTest::TearDown();
  }

  void UseEngine(Engine kind) {
    engine.reset();  // the registration before goes back first
    engine.emplace(kind);
    ASSERT_EQ(engine->failure(), ERROR_SUCCESS) << "cannot register the speech engine";
  }

  void Behave(const FakeVoiceBehaviour& behaviour) { FakeVoiceReset(&behaviour); }

  // Enabled, speech on with these keys, and out.txt appended with one "+" per announcement.
  void WriteSpeechIni(const Keys& speech) {
    Keys keys = {{"WriteMode", "1"}, {"SpeechEnabled", "1"}};
    keys.insert(keys.end(), speech.begin(), speech.end());
    DeleteFileA(Path("out.txt").c_str());
    WriteEnabledIni("+", "", keys);
  }

  // The update has announced `count` tracks since the plug-in started; the speech job of each
  // was started before its output was written.
  ::testing::AssertionResult Announced(int count) {
    std::string expected(static_cast<std::size_t>(count), '+');
    if (sim::PumpUntil([&] { return sim::ReadAll(Path("out.txt")) == expected; },
                       kWorkerLimitMs))
      return ::testing::AssertionSuccess();
    return FileHolds(Path("out.txt"), expected) << " (one + per announcement)";
  }

  // `count` speech workers were started, and all of them have ended.
  ::testing::AssertionResult WorkersEnd(std::size_t count) {
    if (sim::PumpUntil([&] { return Calls.threads.size() == count && Calls.ThreadsEnded(); },
                       kWorkerLimitMs))
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "expected " << count << " speech worker(s) to start and end; " << Calls.threads.size()
           << " started, " << (Calls.ThreadsEnded() ? "all" : "not all") << " ended";
  }

  ::testing::AssertionResult Speaking(LONG count) {
    return Eventually([=] { return FakeVoiceSpeaking() == count; },
                      "the voice speaking " + std::to_string(count) + " sentence(s) at once",
                      kWorkerLimitMs);
  }

  // Starts the plug-in with speech in `mode` and the voice held, plays track 0 and waits until
  // the voice speaks it.
  ::testing::AssertionResult StartSpeaking(const Keys& mode) {
    WriteSpeechIni(mode);
    Behave({S_OK, S_OK, TRUE});
    Start();
    player.ClearLog();
    player.Play(0);
    return Speaking(1);
  }

  // Starts the plug-in, plays `track` and waits until its speech job is over.
  void AnnounceAndWait(int track = 0) {
    Start();
    player.ClearLog();
    player.Play(track);
    EXPECT_TRUE(Announced(1));
    EXPECT_TRUE(WorkersEnd(1));
  }

  std::optional<EngineRegistration> engine;
  bool unloads = true;  // the plug-in is gone once the player has unloaded it
};

// --- pausing and turning down ----------------------------------------------------------------

class SpeechPausesThePlayer : public SpeechTest {};

TEST_F(SpeechPausesThePlayer, PausesBeforeSpeakingAndPlaysAfter) {
  WriteSpeechIni(kPauseMode);
  AnnounceAndWait();
  EXPECT_TRUE(DrovePlayer(player, {"pause", "play"}));
  ASSERT_EQ(FakeVoiceUtteranceCount(), 1);
  FakeUtterance spoken = Utterance(0);
  EXPECT_LE(Arrival(player, "pause"), spoken.start) << "paused before the speech";
  ASSERT_NE(spoken.voiceReleased, 0) << "the voice is released";
  EXPECT_LE(spoken.end, spoken.voiceReleased);
  EXPECT_LE(spoken.voiceReleased, Arrival(player, "play"))
      << "the voice is released before the player goes on";
  EXPECT_EQ(player.playState, sim::kPlaying);
  EXPECT_EQ(player.volume, 200) << "pausing leaves the volume alone";
}

class SpeechTurnsThePlayerDown : public SpeechTest {};

TEST_F(SpeechTurnsThePlayerDown, SetsTheSpeechVolumeThenPutsTheOldOneBack) {
  struct Case {
    const char* level;
    int before, during;
  };
  const Case cases[] = {{"14", 200, 56}, {"0", 31, 0}, {"64", 7, 255}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("Volume=") + c.level);
    WriteSpeechIni({{"WhenSpeaking", "1"}, {"Volume", c.level}});
    Behave({S_OK, S_OK, FALSE});
    player.volume = c.before;
    AnnounceAndWait();
    std::string during = "volume=" + std::to_string(c.during);
    std::string after = "volume=" + std::to_string(c.before);
    EXPECT_TRUE(DrovePlayer(player, {"volume?", during, "volume?", after}));
    ASSERT_EQ(FakeVoiceUtteranceCount(), 1);
    FakeUtterance spoken = Utterance(0);
    EXPECT_LE(Arrival(player, during), spoken.start) << "turned down before the speech";
    ASSERT_NE(spoken.voiceReleased, 0) << "the voice is released";
    EXPECT_LE(spoken.voiceReleased, Arrival(player, after))
        << "the voice is released before the volume goes back";
    EXPECT_EQ(player.volume, c.before);
    EXPECT_EQ(player.playState, sim::kPlaying) << "turning down does not pause";
    Stop();
  }
}

// --- the job as the engine sees it -----------------------------------------------------------

class SpeechJob : public SpeechTest {};

TEST_F(SpeechJob, ReachesTheVoiceOnAWorkerThreadAsPlainText) {
  WriteSpeechIni(kPauseMode);
  AnnounceAndWait();

  ASSERT_EQ(Calls.progIdLookups.size(), 1u);
  EXPECT_EQ(Narrow(Calls.progIdLookups[0].progId), "SAPI.SpVoice");
  ASSERT_EQ(Calls.threads.size(), 1u);
  EXPECT_EQ(Calls.threads[0].stackSize, 0u) << "default stack";
  EXPECT_EQ(Calls.threads[0].flags, 0u) << "running at once";

  ASSERT_EQ(FakeVoiceUtteranceCount(), 1);
  FakeUtterance spoken = Utterance(0);
  EXPECT_EQ(spoken.flags, kSpeakFlags);
  EXPECT_FALSE(spoken.streamNumberAsked);
  EXPECT_FALSE(spoken.textNull);
  EXPECT_NE(spoken.thread, GetCurrentThreadId()) << "the player's thread does not speak";

  ASSERT_EQ(Calls.comInits.size(), 1u);
  EXPECT_EQ(Calls.comInits[0].thread, spoken.thread);
  EXPECT_EQ(Calls.comInits[0].model, static_cast<DWORD>(COINIT_MULTITHREADED))
      << "a thread in a single-threaded apartment must pump its messages";
  ASSERT_EQ(Calls.comCreates.size(), 1u);
  const ComCreate& create = Calls.comCreates[0];
  EXPECT_TRUE(IsEqualCLSID(create.classId, kFakeVoiceClass)) << Narrow(GuidText(create.classId));
  EXPECT_TRUE(create.outerNull);
  EXPECT_EQ(create.context, kAllContexts);
  EXPECT_TRUE(IsEqualIID(create.iid, kVoiceInterface)) << Narrow(GuidText(create.iid));
  EXPECT_EQ(create.thread, spoken.thread);
  EXPECT_EQ(Calls.comUninits, std::vector<DWORD>{spoken.thread});
  EXPECT_EQ(FakeVoiceLive(), 0) << "every voice made is released";
}

// Nothing to say: the player is neither paused nor turned down, and the announcement goes on.
TEST_F(SpeechJob, AnEmptyTextMakesNoJob) {
  WriteSpeechIni({{"WhenSpeaking", "0"}, {"SpeechFormat", "%comment%"}});  // no comment here
  Start();
  player.Play(0);
  ASSERT_TRUE(Announced(1));
  EXPECT_TRUE(Calls.threads.empty()) << "a job is started before the output is written";
  EXPECT_TRUE(DrovePlayer(player, {}));
}

// These need the player's formatter to answer for the plug-in's tags.
class SpeechText : public SpeechTest {};

TEST_F(SpeechText, DefaultFormatNamesTheAlbumOnlyWhenThereIsOne) {
  WriteSpeechIni(kPauseMode);  // no SpeechFormat: the default, with its $if on the album
  Start();
  player.Play(0);
  ASSERT_TRUE(Announced(1));
  ASSERT_TRUE(WorkersEnd(1));
  player.Play(1);
  ASSERT_TRUE(Announced(2));
  ASSERT_TRUE(WorkersEnd(2));
  ASSERT_EQ(FakeVoiceUtteranceCount(), 2);
  EXPECT_EQ(TextOf(Utterance(0)),
            L"Now playing, Nina Simone, Feeling Good. From the 1965 album I Put a Spell on You");
  EXPECT_EQ(TextOf(Utterance(1)), L"Now playing, Miles Davis, So What. ");
}

TEST_F(SpeechText, AnsiBytesReachTheVoiceAsTheirUtf16Characters) {
  if (GetACP() != 1252) GTEST_SKIP() << "the expected characters are those of code page 1252";
  player.playlist[0].meta["title"] = "D\xE9j\xE0 Vu";
  WriteSpeechIni({{"WhenSpeaking", "0"}, {"SpeechFormat", "Caf\xE9 \x80 \x95 %title%"}});
  AnnounceAndWait();
  ASSERT_EQ(FakeVoiceUtteranceCount(), 1);
  EXPECT_EQ(TextOf(Utterance(0)), L"Caf\u00E9 \u20AC \u2022 D\u00E9j\u00E0 Vu");
}

TEST_F(SpeechText, UnicodeTagsReachTheVoiceAsThePlayerHasThem) {
  player.playlist[0].meta["artist"] = "Beyoncé & 坂本龍一";
  player.playlist[0].meta["title"] = "Мумий Тролль 🎵";
  WriteSpeechIni(
      {{"WhenSpeaking", "0"}, {"TextEncoding", "1"}, {"SpeechFormat", "%artist%: %title%"}});
  AnnounceAndWait();
  ASSERT_EQ(FakeVoiceUtteranceCount(), 1);
  EXPECT_EQ(TextOf(Utterance(0)), sim::Wide("Beyoncé & 坂本龍一: Мумий Тролль 🎵"))
      << "through the player's wide formatter, without the code page";
}

// --- the player's thread never waits ---------------------------------------------------------

class SpeechLeavesThePlayerResponsive : public SpeechTest {};

TEST_F(SpeechLeavesThePlayerResponsive, PlayerAnswersWhileTheVoiceSpeaks) {
  ASSERT_TRUE(StartSpeaking(kPauseMode));
  EXPECT_TRUE(Announced(1)) << "the update goes on to the output file while the voice speaks";

  // Another program asks the player something meanwhile, and gets its answer.
  LRESULT answer = 0;
  bool answered = false;
  std::thread asker([&] {
    DWORD_PTR result = 0;
    if (SendMessageTimeoutA(player.window(), WM_USER, 0, sim::IPC_GETVERSION, SMTO_NORMAL, 20000,
                            &result))
      answer = static_cast<LRESULT>(result);
    answered = true;
  });
  EXPECT_TRUE(Eventually([&] { return answered; }, "the other program's request answered"));
  asker.join();
  EXPECT_EQ(answer, 0x5000);
  EXPECT_EQ(FakeVoiceSpeaking(), 1) << "all of this happened while the voice spoke";

  FakeVoiceFinish(0);
  EXPECT_TRUE(WorkersEnd(1));
  EXPECT_TRUE(DrovePlayer(player, {"pause", "play"}));
}

// --- failures --------------------------------------------------------------------------------

class SpeechFailures : public SpeechTest {};

TEST_F(SpeechFailures, VoiceThatCannotBeMadeLeavesThePlayerAlone) {
  for (const Keys& mode : {kPauseMode, kVolumeMode}) {
    SCOPED_TRACE(mode == kPauseMode ? "pause" : "volume");
    WriteSpeechIni(mode);
    Behave({E_OUTOFMEMORY, S_OK, FALSE});
    AnnounceAndWait();
    EXPECT_EQ(FakeVoiceCreations(), 1) << "the voice was asked for";
    EXPECT_EQ(FakeVoiceUtteranceCount(), 0);
    EXPECT_TRUE(DrovePlayer(player, {}));
    EXPECT_EQ(player.volume, 200);
    EXPECT_EQ(player.playState, sim::kPlaying);
    ASSERT_EQ(Calls.comInits.size(), 1u);
    EXPECT_EQ(Calls.comUninits, std::vector<DWORD>{Calls.comInits[0].thread})
        << "the worker leaves its apartment on this path too";
    Stop();
  }
}

TEST_F(SpeechFailures, FailedSpeakingStillPutsThePlayerBack) {
  const ModeCase cases[] = {{kPauseMode, {"pause", "play"}},
                        {kVolumeMode, {"volume?", "volume=56", "volume?", "volume=200"}}};
  for (const ModeCase& c : cases) {
    SCOPED_TRACE(c.driving[0]);
    WriteSpeechIni(c.mode);
    Behave({S_OK, E_FAIL, FALSE});
    AnnounceAndWait();
    EXPECT_EQ(FakeVoiceUtteranceCount(), 1);
    EXPECT_TRUE(DrovePlayer(player, c.driving));
    EXPECT_EQ(player.volume, 200);
    EXPECT_EQ(player.playState, sim::kPlaying);
    EXPECT_EQ(FakeVoiceLive(), 0) << "the voice is released";
    Stop();
  }
}

TEST_F(SpeechFailures, NoEngineLeavesThePlayerAlone) {
  UseEngine(Engine::None);
  WriteSpeechIni(kVolumeMode);
  Start();
  player.ClearLog();
  player.Play(0);
  ASSERT_TRUE(Announced(1));
  ASSERT_EQ(Calls.progIdLookups.size(), 1u);
  EXPECT_TRUE(FAILED(Calls.progIdLookups[0].result));
  EXPECT_EQ(Calls.Count("CreateThread"), 0) << "no worker without an engine";
  EXPECT_EQ(FakeVoiceCreations(), 0);
  EXPECT_TRUE(DrovePlayer(player, {}));
  EXPECT_EQ(player.volume, 200);
}

TEST_F(SpeechFailures, WorkerThatCannotStartLeavesNothingBehind) {
  WriteSpeechIni(kPauseMode);
  Start();
  Calls.failThreads = true;
  player.ClearLog();
  player.Play(0);
  ASSERT_TRUE(Announced(1));
  EXPECT_EQ(Calls.Count("CreateThread"), 1);
  EXPECT_EQ(FakeVoiceCreations(), 0);
  EXPECT_TRUE(DrovePlayer(player, {}));
  Stop();
  EXPECT_EQ(GetModuleHandleA(DllPath().c_str()), nullptr)
      << "the reference taken for the worker is given back";
}

// --- Wine's own engine: its voice is made, but cannot speak ----------------------------------

class SpeechWithWinesEngine : public SpeechTest {};

TEST_F(SpeechWithWinesEngine, PlayerIsPutBackThoughTheVoiceCannotSpeak) {
  UseEngine(Engine::Wine);
  const ModeCase cases[] = {{kPauseMode, {"pause", "play"}},
                        {kVolumeMode, {"volume?", "volume=56", "volume?", "volume=200"}}};
  for (const ModeCase& c : cases) {
    SCOPED_TRACE(c.driving[0]);
    WriteSpeechIni(c.mode);
    AnnounceAndWait();
    ASSERT_EQ(Calls.comCreates.size(), 1u);
    ASSERT_TRUE(SUCCEEDED(Calls.comCreates[0].result))
        << "Wine's voice is made (" << std::hex << Calls.comCreates[0].result << ")";
    EXPECT_FALSE(IsEqualCLSID(Calls.comCreates[0].classId, kFakeVoiceClass));
    EXPECT_EQ(FakeVoiceCreations(), 0);
    EXPECT_TRUE(DrovePlayer(player, c.driving));
    EXPECT_EQ(player.volume, 200);
    EXPECT_EQ(player.playState, sim::kPlaying);
    Stop();
  }
}

// --- the player as the user leaves it ---------------------------------------------------------

class SpeechLeavesTheUsersChoice : public SpeechTest {};

// Pause mode, the voice held; what the user does, when, and how the player must end.
TEST_F(SpeechLeavesTheUsersChoice, ResumesOnlyATrackItPausedThatIsStillPaused) {
  struct Case {
    const char* what;
    std::function<void()> before;  // when the worker first asks the player something
    std::function<void()> during;  // while the voice speaks
    std::vector<std::string> driving;
    int state, elapsedMs;  // the track is not started again
  };
  const std::string ownPause = "pause (from the player's own thread)";
  const Case cases[] = {
      {"the user stops", nullptr, [&] { player.Stop(); }, {"pause"}, sim::kStopped, 0},
      {"the user resumes and seeks",
       nullptr,
       [&] {
         SendMessageA(player.window(), WM_COMMAND, sim::WINAMP_BUTTON3, 0);
         player.elapsedMs = 60000;
       },
       {"pause", ownPause},
       sim::kPlaying,
       60000},
      {"the user paused first", [&] { player.Pause(); }, nullptr, {}, sim::kPaused, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    bool first = true;
    player.onMessage = [&](const sim::Message& m) {
      if (m.fromOtherThread && first && c.before) c.before();
      if (m.fromOtherThread) first = false;
    };
    ASSERT_TRUE(StartSpeaking(kPauseMode));
    if (c.during) c.during();
    FakeVoiceFinish(0);
    ASSERT_TRUE(WorkersEnd(Calls.threads.size()));
    player.onMessage = nullptr;
    EXPECT_TRUE(DrovePlayer(player, c.driving));
    EXPECT_EQ(player.playState, c.state);
    EXPECT_EQ(player.elapsedMs, c.elapsedMs);
    Stop();
  }
}

// The volume goes back only from the level we set, and is not touched when the player's answer
// is off its scale.
TEST_F(SpeechLeavesTheUsersChoice, PutsTheVolumeBackOnlyFromOurLevel) {
  ASSERT_TRUE(StartSpeaking(kVolumeMode));
  player.volume = 100;  // the user's
  FakeVoiceFinish(0);
  ASSERT_TRUE(WorkersEnd(1));
  EXPECT_TRUE(DrovePlayer(player, {"volume?", "volume=56", "volume?"}));
  EXPECT_EQ(player.volume, 100);
  Stop();

  for (LRESULT answer : {LRESULT{-1}, LRESULT{256}}) {
    SCOPED_TRACE(answer);
    WriteSpeechIni(kVolumeMode);
    Behave({S_OK, S_OK, FALSE});
    player.volumeQueryAnswer = answer;
    AnnounceAndWait();
    EXPECT_TRUE(DrovePlayer(player, {"volume?"}));
    EXPECT_EQ(player.volume, 100);
    Stop();
  }
}

// --- one voice at a time ----------------------------------------------------------------------

class OneVoiceAtATime : public SpeechTest {};

// Track 0 speaks; the user starts track 1 meanwhile, and its announcement cuts the first short.
TEST_F(OneVoiceAtATime, ANewAnnouncementEndsTheOneSpeaking) {
  const ModeCase cases[] = {{kVolumeMode, {"volume?", "volume=56", "volume?", "volume=200"}},
                        {kPauseMode, {"pause", "pause", "play"}}};
  for (const ModeCase& c : cases) {
    SCOPED_TRACE(c.driving[0]);
    ASSERT_TRUE(StartSpeaking(c.mode));
    player.Play(1);
    ASSERT_TRUE(Eventually([] { return FakeVoiceUtteranceCount() == 2 && Utterance(0).cutShort; },
                           "the first voice cut short, the second speaking", kWorkerLimitMs));
    EXPECT_LE(Utterance(0).end, Utterance(1).start);
    EXPECT_EQ(FakeVoiceSpeaking(), 1);
    FakeVoiceFinish(1);
    ASSERT_TRUE(WorkersEnd(Calls.threads.size()));
    EXPECT_EQ(FakeVoiceMostSpeaking(), 1);
    EXPECT_EQ(TextOf(Utterance(1)), L"Now playing, Miles Davis, So What. ");
    EXPECT_TRUE(DrovePlayer(player, c.driving));
    EXPECT_EQ(player.volume, 200);
    EXPECT_EQ(player.playState, sim::kPlaying);
    Stop();
  }
}

// --- quit while speaking -----------------------------------------------------------------------

class SpeechDuringUnload : public SpeechTest {};

// The player may save its state as it exits: quit puts it back itself, and no worker touches
// it afterwards.
TEST_F(SpeechDuringUnload, QuitPutsThePlayerBackBeforeItReturns) {
  const ModeCase cases[] = {
      {kVolumeMode,
       {"volume?", "volume=56", "volume? (from the player's own thread)",
        "volume=200 (from the player's own thread)"}},
      {kPauseMode, {"pause", "play (from the player's own thread)"}}};
  for (const ModeCase& c : cases) {
    SCOPED_TRACE(c.driving[0]);
    ASSERT_TRUE(StartSpeaking(c.mode));
    Stop();  // quit, then FreeLibrary
    EXPECT_EQ(player.volume, 200);
    EXPECT_EQ(player.playState, sim::kPlaying);
    const std::size_t atQuit = player.log.size();
    FakeVoiceFinish(0);
    ASSERT_TRUE(WorkersEnd(Calls.threads.size()));
    for (std::size_t i = atQuit; i < player.log.size(); ++i)
      EXPECT_FALSE(player.log[i].fromOtherThread) << "a worker sent " << player.log[i].message;
    EXPECT_TRUE(DrovePlayer(player, c.driving));
    EXPECT_EQ(GetModuleHandleA(DllPath().c_str()), nullptr) << "gone once the worker has ended";
  }
}

// The player quits the plug-in while it answers the worker's first request: quit cannot wait
// for that request to end, and the worker sends nothing more.
TEST_F(SpeechDuringUnload, QuitInsideTheWorkersRequestReturnsAndEndsTheJob) {
  WriteSpeechIni(kVolumeMode);
  Behave({S_OK, S_OK, TRUE});
  Start();
  player.ClearLog();
  player.onMessage = [&](const sim::Message& m) {
    if (m.fromOtherThread && started) Stop();
  };
  player.Play(0);
  ASSERT_TRUE(Eventually([&] { return !started; }, "quit", kWorkerLimitMs));
  player.onMessage = nullptr;
  ASSERT_TRUE(WorkersEnd(Calls.threads.size()));
  EXPECT_TRUE(DrovePlayer(player, {"volume?"}));
  EXPECT_EQ(player.volume, 200);
  unloads = false;  // quit came inside a message through the hook, which keeps the module
}

}  // namespace
