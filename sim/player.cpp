// The player simulator's window, its answers to the player's requests, and plug-in loading.
#include "player.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

namespace sim {

namespace {

constexpr char kWindowClass[] = "Winamp v1.x";  // the class name the player's window has
// Two classes of one name cannot live side by side in one module.
constexpr wchar_t kWideWindowClass[] = L"Winamp v1.x (wide)";
constexpr char kTitleSuffix[] = " - Winamp";

void CopyAnswer(const std::string& text, char* buffer, int size, bool terminate) {
  if (!buffer || size <= 0) return;
  std::size_t room = static_cast<std::size_t>(size);
  if (!terminate) {
    // A badly behaved player: fills the whole buffer and leaves no terminating zero.
    std::string filled = text;
    while (filled.size() < room) filled += text.empty() ? std::string("x") : text;
    std::memcpy(buffer, filled.data(), room);
    return;
  }
  std::size_t n = std::min(text.size(), room - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

void CopyAnswerWide(const std::wstring& text, wchar_t* buffer, std::size_t size, bool terminate) {
  if (!buffer || size == 0) return;
  if (!terminate) {
    std::wstring filled = text;
    while (filled.size() < size) filled += text.empty() ? std::wstring(L"x") : text;
    std::wmemcpy(buffer, filled.data(), size);
    return;
  }
  std::size_t n = std::min(text.size(), size - 1);
  std::wmemcpy(buffer, text.data(), n);
  buffer[n] = L'\0';
}

// A player with a common off-by-one: as many characters as it was told there is room for, and
// its terminator one past them.
template <class Char>
void CopyTerminatedPastSize(const std::basic_string<Char>& text, Char* buffer, int size) {
  if (!buffer || size < 0) return;
  std::size_t n = std::min(text.size(), static_cast<std::size_t>(size));
  std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n), buffer);
  buffer[n] = Char();
}

bool IsUtf8(const std::string& text) {
  return text.empty() || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                             static_cast<int>(text.size()), nullptr, 0) > 0;
}

std::wstring ToWide(UINT codePage, const std::string& text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

std::string FromWide(UINT codePage, std::wstring_view wide) {
  if (wide.empty()) return {};
  int n = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string text(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n,
                      nullptr, nullptr);
  return text;
}

}  // namespace

std::wstring Wide(const std::string& text) {
  return ToWide(IsUtf8(text) ? CP_UTF8 : CP_ACP, text);
}

std::string Ansi(const std::string& text) {
  return IsUtf8(text) ? FromWide(CP_ACP, ToWide(CP_UTF8, text)) : text;
}

std::string Utf8(std::wstring_view text) { return FromWide(CP_UTF8, text); }

Player::Player(unsigned version_, WindowKind kind)
    : version(version_), wide_(kind == WindowKind::Unicode) {
  if (wide_) {
    static ATOM atom = [] {
      WNDCLASSW wc = {};
      wc.lpfnWndProc = WideProcedure;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = kWideWindowClass;
      wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
      wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
      return RegisterClassW(&wc);
    }();
    (void)atom;
    window_ = CreateWindowExW(0, kWideWindowClass, L"Winamp 5.66", WS_OVERLAPPEDWINDOW, 0, 0, 275,
                              116, nullptr, nullptr, GetModuleHandleW(nullptr), this);
  } else {
    static ATOM atom = [] {
      WNDCLASSA wc = {};
      wc.lpfnWndProc = Procedure;
      wc.hInstance = GetModuleHandleA(nullptr);
      wc.lpszClassName = kWindowClass;
      wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
      wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
      return RegisterClassA(&wc);
    }();
    (void)atom;
    window_ = CreateWindowExA(0, kWindowClass, "Winamp 5.66", WS_OVERLAPPEDWINDOW, 0, 0, 275, 116,
                              nullptr, nullptr, GetModuleHandleA(nullptr), this);
  }
  playlist.push_back(Track());
}

Player::~Player() {
  if (module_) Unload();
  if (window_) DestroyWindow(window_);
}

WNDPROC Player::OwnProcedure() { return Procedure; }

std::string Player::TitleFor(int index, const Track& track) {
  return std::to_string(index + 1) + ". " + track.artist + " - " + track.title + kTitleSuffix;
}

void Player::Play(int index) {
  position = index;
  playState = kPlaying;
  elapsedMs = 0;
  const Track* track = Current();
  if (track) SetTitle(TitleFor(index, *track));
  // The notification carries the file's path in the code page, valid while it is sent.
  const std::string file = track ? Ansi(track->file) : std::string();
  if (version >= 0x5000)
    SendMessageA(window_, WM_USER, track ? reinterpret_cast<WPARAM>(file.c_str()) : 0,
                 IPC_PLAYING_FILE);
}

void Player::Stop() {
  playState = kStopped;
  if (const Track* track = Current()) SetTitle(TitleFor(position, *track) + " [Stopped]");
}

void Player::Pause() {
  playState = kPaused;
  if (const Track* track = Current()) SetTitle(TitleFor(position, *track) + " [Paused]");
}

void Player::SetTitle(const std::string& title) {
  if (wide_)
    SetWindowTextW(window_, Wide(title).c_str());
  else
    SetWindowTextA(window_, Ansi(title).c_str());
}

std::string Player::Title() const {
  if (wide_) {
    wchar_t title[4096] = {};
    int n = GetWindowTextW(window_, title, 4096);
    return Utf8(std::wstring_view(title, n > 0 ? n : 0));
  }
  char title[4096] = {};
  int n = GetWindowTextA(window_, title, sizeof title);
  return std::string(title, n > 0 ? n : 0);
}

void Player::ClearLog() {
  log.clear();
  infoRequests.clear();
  formatRequests.clear();
  fieldAnswers.clear();
  answersChangedEarly = 0;
}

int Player::CountRequests(LPARAM code) const {
  return static_cast<int>(std::count_if(log.begin(), log.end(), [&](const Message& m) {
    return m.message == WM_USER && m.lParam == code;
  }));
}

int Player::CountCommands(WPARAM command) const {
  return static_cast<int>(std::count_if(log.begin(), log.end(), [&](const Message& m) {
    return m.message == WM_COMMAND && m.wParam == command;
  }));
}

int Player::CountMessages(UINT message) const {
  return static_cast<int>(std::count_if(log.begin(), log.end(),
                                        [&](const Message& m) { return m.message == message; }));
}

std::vector<LPARAM> Player::Requests() const {
  std::vector<LPARAM> codes;
  for (const Message& m : log)
    if (m.message == WM_USER) codes.push_back(m.lParam);
  return codes;
}

// The wide requests came with 5.0; answersWide off plays a 5.x release from before them.
bool Player::KnowsWide() const { return answersWide && version >= 0x5000; }

const Track* Player::Current() const {
  if (position < 0 || position >= static_cast<int>(playlist.size())) return nullptr;
  return &playlist[position];
}

LRESULT CALLBACK Player::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return Dispatch(false, window, message, wParam, lParam);
}

LRESULT CALLBACK Player::WideProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return Dispatch(true, window, message, wParam, lParam);
}

LRESULT Player::Dispatch(bool wide, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    // lpCreateParams lies at the same place in CREATESTRUCTA and CREATESTRUCTW.
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* player = reinterpret_cast<Player*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!player || player->window_ != window)
    return wide ? DefWindowProcW(window, message, wParam, lParam)
                : DefWindowProcA(window, message, wParam, lParam);
  return player->Handle(message, wParam, lParam);
}

LRESULT Player::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  bool otherThread = (InSendMessageEx(nullptr) & ISMEX_SEND) != 0;
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  log.push_back({message, wParam, lParam, otherThread, now.QuadPart});
  if (onMessage) onMessage(log.back());
  switch (message) {
    case WM_USER:
      return Request(wParam, lParam);
    case WM_COMMAND:
      // Pause toggles; play restarts the current track, also a paused one; stop stops.
      if (wParam == WINAMP_BUTTON3 && playState == kPlaying) {
        Pause();
      } else if (wParam == WINAMP_BUTTON3 && playState == kPaused) {
        playState = kPlaying;
        if (const Track* track = Current()) SetTitle(TitleFor(position, *track));
      } else if (wParam == WINAMP_BUTTON2) {
        Play(position);
      } else if (wParam == WINAMP_BUTTON4) {
        Stop();
      }
      return 0;
    case WM_DESTROY:
      window_ = nullptr;
      return 0;
    default:
      return wide_ ? DefWindowProcW(window_, message, wParam, lParam)
                   : DefWindowProcA(window_, message, wParam, lParam);
  }
}

LRESULT Player::Request(WPARAM argument, LPARAM code) {
  LRESULT first = 0;
  if (answersFirst && answersFirst(argument, code, &first)) return first;
  const Track* track = Current();
  switch (code) {
    case IPC_GETVERSION:
      return static_cast<LRESULT>(version);
    case IPC_ISPLAYING:
      return playState;
    case IPC_GETOUTPUTTIME:
      return OutputTime(argument);
    case IPC_SETVOLUME:
      if (argument == kQueryVolume) return volumeQueryAnswer ? *volumeQueryAnswer : volume;
      volume = static_cast<int>(argument);
      return 0;
    case IPC_GETLISTLENGTH:
      return static_cast<LRESULT>(playlist.size());
    case IPC_GETLISTPOS:
      return position;
    case IPC_GETINFO:
      if (!track) return 0;
      if (argument == kInfoSampleRateKhz) return track->sampleRateKhz;
      if (argument == kInfoBitrate) return track->bitrate;
      if (argument == kInfoChannels) return track->channels;
      return 0;
    case IPC_GETPLAYLISTFILE: {
      int index = static_cast<int>(argument);
      if (nullFileName || index < 0 || index >= static_cast<int>(playlist.size())) return 0;
      fileNameAnswer_ = Ansi(playlist[index].file);
      return reinterpret_cast<LRESULT>(fileNameAnswer_.c_str());
    }
    case IPC_GETPLAYLISTFILEW: {
      int index = static_cast<int>(argument);
      if (!KnowsWide()) return unknownAnswer;
      if (nullFileName || index < 0 || index >= static_cast<int>(playlist.size())) return 0;
      wideFileNameAnswer_ = Wide(playlist[index].file);
      return reinterpret_cast<LRESULT>(wideFileNameAnswer_.c_str());
    }
    case IPC_GET_EXTENDED_FILE_INFOW:
    case IPC_GET_EXTENDED_FILE_INFOW_HOOKABLE:
      if (!KnowsWide()) return unknownAnswer;
      return ExtendedInfoWide(code, reinterpret_cast<extendedFileInfoStructW*>(argument));
    case IPC_FORMAT_TITLE_EXTENDED:
      if (!KnowsWide()) return unknownAnswer;
      return FormatTitleWide(reinterpret_cast<waFormatTitleExtended*>(argument));
    case IPC_GET_EXTENDED_FILE_INFO:
    case IPC_GET_EXTENDED_FILE_INFO_HOOKABLE:
      return ExtendedInfo(code, reinterpret_cast<extendedFileInfoStruct*>(argument));
    case IPC_FORMAT_TITLE:
      return FormatTitle(reinterpret_cast<waFormatTitle*>(argument));
    case IPC_GET_API_SERVICE:
      return apiService ? reinterpret_cast<LRESULT>(apiService) : 1;
    case IPC_GETINIDIRECTORY:
      if (version < 0x2900) return unknownAnswer;
      if (iniDirectory.empty()) return 0;
      iniDirectoryAnswer_ = FromWide(CP_ACP, iniDirectory);  // '?' for what it cannot spell
      return reinterpret_cast<LRESULT>(iniDirectoryAnswer_.c_str());
    case IPC_GETINIDIRECTORYW:
      if (!KnowsWide() || version < 0x5058) return unknownAnswer;
      if (iniDirectory.empty()) return 0;
      return reinterpret_cast<LRESULT>(iniDirectory.c_str());
    default:
      return unknownAnswer;
  }
}

// The simulator has no clock: a track stays where it was started or put.
LRESULT Player::OutputTime(WPARAM mode) {
  if (mode == kOutputPositionMs) return elapsedMs;
  const Track* track = Current();
  if (unknownLengthQueries > 0) {
    --unknownLengthQueries;
    return kUnknownTime;
  }
  if (!track) return kUnknownTime;
  if (mode == kOutputLengthSeconds) return track->length;
  if (mode == kOutputLengthMs) return track->length * 1000;
  return 0;
}

LRESULT Player::ExtendedInfo(LPARAM code, extendedFileInfoStruct* request) {
  if (!request) return 0;
  std::string file = request->filename ? request->filename : "";
  std::string field = request->metadata ? request->metadata : "";
  infoRequests.push_back({code, file, field, request->filename == nullptr});
  for (const Track& track : playlist) {
    if (Ansi(track.file) != file) continue;
    auto it = track.meta.find(field);
    if (it == track.meta.end()) return 0;
    CopyAnswer(Ansi(it->second), request->ret, static_cast<int>(request->retlen),
               terminateAnswers);
    return 1;
  }
  return 0;
}

LRESULT Player::ExtendedInfoWide(LPARAM code, extendedFileInfoStructW* request) {
  if (!request) return 0;
  std::wstring file = request->filename ? request->filename : L"";
  std::string field = request->metadata ? Utf8(request->metadata) : "";
  infoRequests.push_back({code, Utf8(file), field, request->filename == nullptr});
  for (const Track& track : playlist) {
    if (Wide(track.file) != file) continue;
    auto it = track.meta.find(field);
    if (it == track.meta.end()) return 0;
    CopyAnswerWide(Wide(it->second), request->ret, request->retlen, terminateAnswers);
    return 1;
  }
  return 0;
}

LRESULT Player::FormatTitleWide(waFormatTitleExtended* request) {
  if (!request) return 0;
  formatRequests.push_back(request->spec ? Utf8(request->spec) : "");
  if (!formatsTitles || !request->spec) return 0;
  std::vector<std::pair<wchar_t*, std::wstring>> held;
  auto field = [&](const std::string& name, bool* found) {
    std::wstring tag = Wide(name);
    std::size_t from = log.size();
    wchar_t* value = request->TAGFUNC ? request->TAGFUNC(tag.c_str(), request->p) : nullptr;
    *found = value != nullptr;
    std::wstring text = value ? value : L"";
    fieldAnswers.push_back({name, value != nullptr, Utf8(text), from, log.size()});
    if (value) held.push_back({value, text});
    return Utf8(text);
  };
  std::string formatted = sim::FormatTitle(Utf8(request->spec), field);
  for (const auto& [value, text] : held) {
    if (text != value) ++answersChangedEarly;
    if (request->TAGFREEFUNC) request->TAGFREEFUNC(value, request->p);
  }
  if (terminatorPastSize)
    CopyTerminatedPastSize(Wide(formatted), request->out, request->out_len);
  else
    CopyAnswerWide(Wide(formatted), request->out,
                   static_cast<std::size_t>(request->out_len > 0 ? request->out_len : 0),
                   terminateAnswers);
  return 1;
}

LRESULT Player::FormatTitle(waFormatTitle* request) {
  if (!request) return 0;
  formatRequests.push_back(request->spec ? request->spec : "");
  if (!formatsTitles || !request->spec) return 0;
  // Like the player, hold on to every answer until the whole text is formatted, then check
  // that none has changed meanwhile and release them.
  std::vector<std::pair<char*, std::string>> held;
  auto field = [&](const std::string& name, bool* found) {
    std::string tag = name;
    std::size_t from = log.size();
    char* value = request->TAGFUNC ? request->TAGFUNC(tag.c_str(), request->p) : nullptr;
    *found = value != nullptr;
    std::string text = value ? value : "";
    fieldAnswers.push_back({name, value != nullptr, text, from, log.size()});
    if (value) held.push_back({value, text});
    return text;
  };
  std::string formatted = sim::FormatTitle(request->spec, field);
  for (const auto& [value, text] : held) {
    if (text != value) ++answersChangedEarly;
    if (request->TAGFREEFUNC) request->TAGFREEFUNC(value, request->p);
  }
  if (terminatorPastSize)
    CopyTerminatedPastSize(formatted, request->out, request->out_len);
  else
    CopyAnswer(formatted, request->out, request->out_len, terminateAnswers);
  return 1;
}

bool Player::Load(const std::string& dllPath, const std::function<void(HMODULE)>& beforeInit) {
  module_ = LoadLibraryA(dllPath.c_str());
  return Start(beforeInit);
}

bool Player::Load(const std::wstring& dllPath, const std::function<void(HMODULE)>& beforeInit) {
  module_ = LoadLibraryW(dllPath.c_str());
  return Start(beforeInit);
}

bool Player::Start(const std::function<void(HMODULE)>& beforeInit) {
  if (!module_) return false;
  using GetHeader = winampGeneralPurposePlugin*(__cdecl*)();
  auto get = reinterpret_cast<GetHeader>(
      reinterpret_cast<void*>(GetProcAddress(module_, "winampGetGeneralPurposePlugin")));
  if (!get) {
    FreeLibrary(module_);
    module_ = nullptr;
    return false;
  }
  header_ = get();
  header_->hwndParent = window_;
  header_->hDllInstance = module_;
  if (beforeInit) beforeInit(module_);
  initResult = header_->init();
  return true;
}

void Player::Unload(bool keepLoaded) {
  if (!module_) return;
  header_->quit();
  if (!keepLoaded) FreeLibrary(module_);
  module_ = nullptr;
  header_ = nullptr;
}

void Player::Config() {
  if (header_) header_->config();
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start >= timeoutMs) return done();
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
      if (done()) return true;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
  return true;
}

void PumpFor(DWORD ms) {
  DWORD start = GetTickCount();
  PumpUntil([&] { return GetTickCount() - start >= ms; }, ms + 1000);
}

}  // namespace sim
