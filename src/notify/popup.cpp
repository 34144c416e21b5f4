// The popup: a borderless, always-on-top tool window made from dialog template IDD_POPUP that
// slides out from behind the screen edge where the taskbar is, shows its text on a bitmap
// background for a while and slides back.
//
// Lifetime: at most one popup at a time, all on the player's window thread. ShowPopup removes
// the previous popup at once, makes the window and composes its image in a memory DC
// (background bitmap, close box, text; the text's font lives only while it is drawn). The
// window's own DC, the memory DC and the bitmap live until WM_DESTROY frees them: when the
// slide out reaches home, or when ClosePopup destroys the window early (a new popup, quit).
// The PopupState record keeps the last handle, dead or alive; LastTaskbar keeps the last
// answer of the taskbar query for every later popup.
#include "notify/notify.h"

#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>

#include "base/guarded.h"
#include "encoding/encoding.h"
#include "host/module.h"
#include "notify/geometry.h"
#include "res/resource.h"

namespace {

// Timers on the popup window, all served by PopupTimerProc.
constexpr UINT_PTR kSlideInTimer = 1;
constexpr UINT_PTR kDisplayTimer = 2;
constexpr UINT_PTR kSlideOutTimer = 3;
constexpr UINT kSlideTickMs = 25;
constexpr long long kMsPerSecond = 1000;

constexpr UINT kPlaceFlags = SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW;
constexpr UINT kSizeFlags = SWP_NOMOVE | SWP_NOACTIVATE;

// Displays of fewer bits per pixel get the paletted background.
constexpr int kTrueColourDepth = 16;

// The text rectangle: the client rectangle with these sides moved inwards.
constexpr int kTextLeftInset = 10;
constexpr int kTextTopInset = 21;
constexpr int kTextRightInset = 10;
constexpr int kTextBottomInset = 4;

constexpr int kPointsPerInch = 72;
constexpr BYTE kTextPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
constexpr int kWholeText = -1;

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(APPBARDATA) == 36, "the taskbar query takes the 36-byte record");
static_assert(sizeof(TRACKMOUSEEVENT) == 16);
#endif

// The popup now made and what it draws with: one record that every popup reuses.
struct PopupState {
  HWND window = nullptr;  // the last popup made; never cleared, so test it with IsWindow
  HDC windowDc = nullptr;
  HDC memoryDc = nullptr;
  HBITMAP background = nullptr;
  int width = 0;
  int height = 0;
  notify::SlidePath path;
  int x = 0;
  int y = 0;
  int displaySeconds = 0;
  bool closePressed = false;
  // What the window shows of the close box right now; the memory image always holds it normal.
  bool closeShownPushed = false;
};

PopupState Popup;
// The last good answer of the taskbar query, for every later popup.
APPBARDATA LastTaskbar = {};

// A DC of the window for one drawing, released when the drawing is done.
class ScopedWindowDc {
 public:
  explicit ScopedWindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~ScopedWindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  ScopedWindowDc(const ScopedWindowDc&) = delete;
  ScopedWindowDc& operator=(const ScopedWindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// A font made for one drawing and selected into its DC: the DC's earlier font goes back and
// this one is deleted when the drawing ends, however it ends.
class ScopedFont {
 public:
  ScopedFont(HDC dc, const LOGFONTA& font)
      : dc_(dc), font_(CreateFontIndirectA(&font)),
        replaced_(font_ ? SelectObject(dc, font_) : nullptr) {}
  ~ScopedFont() {
    if (!font_) return;
    SelectObject(dc_, replaced_);
    DeleteObject(font_);
  }
  ScopedFont(const ScopedFont&) = delete;
  ScopedFont& operator=(const ScopedFont&) = delete;

 private:
  HDC dc_;
  HFONT font_;
  HGDIOBJ replaced_;
};

notify::Box BoxOf(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

void DrawCloseBox(HDC dc, bool pushed) {
  notify::Box box = notify::CloseBox(Popup.width);
  RECT r = {box.left, box.top, box.right, box.bottom};
  DrawFrameControl(dc, &r, DFC_CAPTION, DFCS_CAPTIONCLOSE | (pushed ? DFCS_PUSHED : 0));
}

// Draws the close box straight onto the window, leaving the memory image alone.
void ShowCloseBox(HWND window, bool pushed) {
  if (pushed == Popup.closeShownPushed) return;
  ScopedWindowDc dc(window);
  if (!dc.get()) return;
  DrawCloseBox(dc.get(), pushed);
  Popup.closeShownPushed = pushed;
}

void Place(HWND window) {
  SetWindowPos(window, HWND_TOPMOST, Popup.x, Popup.y, 0, 0, kPlaceFlags);
}

UINT DisplayPeriodMs() {
  // A negative or huge PopupTimeout must not wrap into some other period.
  long long ms =
      std::clamp<long long>(Popup.displaySeconds * kMsPerSecond, 0, USER_TIMER_MAXIMUM);
  return static_cast<UINT>(ms);
}

void CALLBACK PopupTimerProc(HWND window, UINT, UINT_PTR timer, DWORD);

// The window DC, the memory DC with the background and the close box, and the window's size.
void DrawPopupBackground(HWND window) {
  Popup.windowDc = GetDC(window);
  Popup.memoryDc = CreateCompatibleDC(nullptr);
  Popup.background = nullptr;
  int depth =
      GetDeviceCaps(Popup.windowDc, PLANES) * GetDeviceCaps(Popup.windowDc, BITSPIXEL);
  int id = depth < kTrueColourDepth ? IDB_POPUP_8BIT : IDB_POPUP;
  Popup.background = static_cast<HBITMAP>(
      LoadImageA(PluginModule(), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
  if (!Popup.background) return;
  BITMAP header = {};
  GetObjectA(Popup.background, sizeof header, &header);
  Popup.width = header.bmWidth;
  Popup.height = header.bmHeight;
  SelectObject(Popup.memoryDc, Popup.background);
  DrawCloseBox(Popup.memoryDc, false);
  SetWindowPos(window, HWND_TOPMOST, 0, 0, Popup.width, Popup.height, kSizeFlags);
}

void DrawPopupText(const std::string& text, UINT format, const char* face, int points, int weight,
                   RECT rect, HDC dc, Encoding encoding) {
  LOGFONTA font = {};
  font.lfHeight = -MulDiv(points, GetDeviceCaps(dc, LOGPIXELSY), kPointsPerInch);
  font.lfWeight = weight;
  // Wide text may hold any script: the font is not held to the code page's.
  font.lfCharSet = IsUnicode(encoding) ? DEFAULT_CHARSET : ANSI_CHARSET;
  font.lfOutPrecision = OUT_DEFAULT_PRECIS;
  font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  font.lfQuality = DRAFT_QUALITY;
  font.lfPitchAndFamily = kTextPitchAndFamily;
  lstrcpynA(font.lfFaceName, face ? face : "", sizeof font.lfFaceName);
  ScopedFont selected(dc, font);
  SetBkMode(dc, TRANSPARENT);
  if (IsUnicode(encoding))
    DrawTextW(dc, WideText(text, encoding).c_str(), kWholeText, &rect, format);
  else
    DrawTextA(dc, text.c_str(), kWholeText, &rect, format);
}

void OnPaint(HWND window) {
  BitBlt(Popup.windowDc, 0, 0, Popup.width, Popup.height, Popup.memoryDc, 0, 0, SRCCOPY);
  ValidateRect(window, nullptr);
  Popup.closeShownPushed = false;
}

void OnClose(HWND window) {
  KillTimer(window, kSlideInTimer);
  KillTimer(window, kDisplayTimer);
  KillTimer(window, kSlideOutTimer);
  SetTimer(window, kSlideOutTimer, kSlideTickMs, PopupTimerProc);
}

void OnDestroy(HWND window) {
  Popup.closePressed = false;
  Popup.closeShownPushed = false;
  if (Popup.memoryDc) DeleteDC(Popup.memoryDc);
  // Only now that the memory DC is gone does nothing hold the bitmap.
  if (Popup.background) DeleteObject(Popup.background);
  if (Popup.windowDc) ReleaseDC(window, Popup.windowDc);
  Popup.memoryDc = nullptr;
  Popup.background = nullptr;
  Popup.windowDc = nullptr;
}

void OnMouseMove(HWND window, int x, int y) {
  if (!notify::InCloseBox(Popup.width, x, y))
    ShowCloseBox(window, false);
  else if (Popup.closePressed)
    ShowCloseBox(window, true);
}

void OnLButtonDown(HWND window, int x, int y) {
  if (!notify::InCloseBox(Popup.width, x, y)) return;
  Popup.closePressed = true;
  ShowCloseBox(window, true);
  // The mouse is not captured: a release outside the window is never seen, so the leave
  // notification has to end the press instead.
  TRACKMOUSEEVENT leave = {sizeof leave, TME_LEAVE, window, 0};
  TrackMouseEvent(&leave);
}

void OnLButtonUp(HWND window, int x, int y) {
  if (Popup.closePressed) {
    ShowCloseBox(window, false);
    if (notify::InCloseBox(Popup.width, x, y)) SendMessageA(window, WM_CLOSE, 0, 0);
  }
  Popup.closePressed = false;
}

void OnMouseLeave(HWND window) {
  Popup.closePressed = false;
  // A press that ended this way must not leave the box looking pushed.
  ShowCloseBox(window, false);
}

INT_PTR Dispatch(HWND window, UINT message, LPARAM lParam) {
  int x = GET_X_LPARAM(lParam);
  int y = GET_Y_LPARAM(lParam);
  switch (message) {
    case WM_PAINT:
      OnPaint(window);
      return TRUE;
    case WM_CLOSE:
      OnClose(window);
      return TRUE;
    case WM_DESTROY:
      OnDestroy(window);
      return TRUE;
    case WM_MOUSEMOVE:
      OnMouseMove(window, x, y);
      return FALSE;
    case WM_LBUTTONDOWN:
      OnLButtonDown(window, x, y);
      return FALSE;
    case WM_LBUTTONUP:
      OnLButtonUp(window, x, y);
      return FALSE;
    case WM_MOUSELEAVE:
      OnMouseLeave(window);
      return FALSE;
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK PopupDialogProc(HWND window, UINT message, WPARAM, LPARAM lParam) {
  return Guarded([=] { return Dispatch(window, message, lParam); }, INT_PTR{FALSE});
}

void OnTimer(HWND window, UINT_PTR timer) {
  switch (timer) {
    case kSlideInTimer:
      if (!notify::SlideInStep(Popup.path, Popup.x, Popup.y)) {
        KillTimer(window, kSlideInTimer);
        SetTimer(window, kDisplayTimer, DisplayPeriodMs(), PopupTimerProc);
      }
      Place(window);
      break;
    case kDisplayTimer:
      KillTimer(window, kDisplayTimer);
      SetTimer(window, kSlideOutTimer, kSlideTickMs, PopupTimerProc);
      break;
    case kSlideOutTimer:
      if (!notify::SlideOutStep(Popup.path, Popup.x, Popup.y)) {
        KillTimer(window, kSlideOutTimer);
        DestroyWindow(window);
      } else {
        Place(window);
      }
      break;
    default:
      break;
  }
}

void CALLBACK PopupTimerProc(HWND window, UINT, UINT_PTR timer, DWORD) {
  Guarded([=] { OnTimer(window, timer); });
}

// Takes the popup away at once, its timers first.
void DestroyPopup(HWND popup) {
  KillTimer(popup, kSlideInTimer);
  KillTimer(popup, kDisplayTimer);
  KillTimer(popup, kSlideOutTimer);
  DestroyWindow(popup);
}

// Keeps the last good answer: a failed query (no shell) leaves the record as it was.
void QueryTaskbar() {
  APPBARDATA query = {};
  query.cbSize = sizeof query;
  if (SHAppBarMessage(ABM_GETTASKBARPOS, &query)) LastTaskbar = query;
}

}  // namespace

void ShowPopup(std::string text, int seconds, const char* face, int points, int weight,
               UINT format, Encoding encoding) {
  ClosePopup();
  HWND window = CreateDialogParamA(PluginModule(), MAKEINTRESOURCEA(IDD_POPUP), nullptr,
                                   PopupDialogProc, 0);
  if (!window) return;
  Popup.window = window;
  DrawPopupBackground(window);

  RECT rect = {};
  GetClientRect(window, &rect);
  rect.left += kTextLeftInset;
  rect.top += kTextTopInset;
  rect.right -= kTextRightInset;
  rect.bottom -= kTextBottomInset;
  DrawPopupText(text, format, face, points, weight, rect, Popup.memoryDc, encoding);

  RECT desktop = {};
  if (!GetWindowRect(GetDesktopWindow(), &desktop)) return;
  QueryTaskbar();
  Popup.path = notify::PlanSlide(LastTaskbar.uEdge, BoxOf(desktop), BoxOf(LastTaskbar.rc),
                                 Popup.width, Popup.height);
  Popup.x = Popup.path.homeX;
  Popup.y = Popup.path.homeY;
  Place(window);
  UpdateWindow(window);
  Popup.displaySeconds = seconds;
  SetTimer(window, kSlideInTimer, kSlideTickMs, PopupTimerProc);
}

void ClosePopup() {
  if (IsWindow(Popup.window)) DestroyPopup(Popup.window);
}
