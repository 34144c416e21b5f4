// The popup as the player's user sees it: a topmost tool window that slides out of the
// taskbar's edge (the taskbar answered through the import hook, so every edge is tried),
// stays for PopupTimeout seconds and slides back; its close box; its text and background; and
// the drawing objects it leaves behind (none).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "harness.h"
#include "picture.h"

namespace {

using harness::Eventually;
using harness::Keys;
using Point = std::pair<int, int>;

constexpr LPARAM kInsideCloseBox = MAKELPARAM(285, 13);
constexpr LPARAM kElsewhere = MAKELPARAM(100, 50);
constexpr UINT kPlaceFlags = SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW;
constexpr UINT kSizeFlags = SWP_NOMOVE | SWP_NOACTIVATE;
constexpr UINT kCloseNormal = DFCS_CAPTIONCLOSE;
constexpr UINT kClosePushed = DFCS_CAPTIONCLOSE | DFCS_PUSHED;
constexpr RECT kCloseBox = {277, 7, 292, 20};
constexpr RECT kTextRect = {10, 21, 290, 81};

bool operator==(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Shown(const RECT& r) {
  return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ")-(" +
         std::to_string(r.right) + ", " + std::to_string(r.bottom) + ")";
}

// The points the window was placed at by the slide (moves with the placing flags).
std::vector<Point> Placements(HWND window) {
  std::vector<Point> points;
  for (const WindowMove& move : Calls.MovesOf(window))
    if (move.flags == kPlaceFlags) points.push_back({move.x, move.y});
  return points;
}

// `ticks` points on from `from`, each (dx, dy) further.
void AddSlide(std::vector<Point>& points, Point from, int dx, int dy, int ticks) {
  for (int i = 1; i <= ticks; ++i) points.push_back({from.first + i * dx, from.second + i * dy});
}

bool TimerSet(HWND window, UINT_PTR id) {
  for (const TimerCall& call : Calls.TimersOn(window))
    if (call.set && call.id == id) return true;
  return false;
}

const TimerCall* FindTimer(HWND window, UINT_PTR id, bool set) {
  for (const TimerCall& call : Calls.timers)
    if (call.window == window && call.id == id && call.set == set) return &call;
  return nullptr;
}

// The close box states drawn straight onto the window, in order.
std::vector<UINT> WindowFrameStates() {
  std::vector<UINT> states;
  for (const FrameDraw& frame : Calls.frames)
    if (!frame.memoryDc) states.push_back(frame.state);
  return states;
}

// 24-bit pixels of one of the plug-in's bitmaps, as the test loads it itself.
sim::Picture BitmapPixels(HMODULE module, int id) {
  sim::Picture picture;
  HBITMAP bitmap = static_cast<HBITMAP>(
      LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (!bitmap) return picture;
  BITMAP header = {};
  GetObjectA(bitmap, sizeof header, &header);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = header.bmWidth;
  info.bmiHeader.biHeight = -header.bmHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  std::vector<BYTE> bgra(static_cast<std::size_t>(header.bmWidth) * header.bmHeight * 4);
  HDC screen = GetDC(nullptr);
  GetDIBits(screen, bitmap, 0, header.bmHeight, bgra.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  DeleteObject(bitmap);
  picture.width = header.bmWidth;
  picture.height = header.bmHeight;
  for (std::size_t i = 0; i < bgra.size(); i += 4)
    picture.rgb.insert(picture.rgb.end(), {bgra[i + 2], bgra[i + 1], bgra[i]});
  return picture;
}

// Pixels inside [left, right) x [top, bottom) where the two pictures differ clearly.
int Differences(const sim::Picture& a, const sim::Picture& b, const RECT& area) {
  int count = 0;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x) {
      std::size_t i = (static_cast<std::size_t>(y) * a.width + x) * 3;
      std::size_t j = (static_cast<std::size_t>(y) * b.width + x) * 3;
      int d = 0;
      for (int k = 0; k < 3; ++k) d = std::max(d, std::abs(a.rgb[i + k] - b.rgb[j + k]));
      if (d > 24) ++count;
    }
  return count;
}

class PopupTest : public harness::PluginTest {
 protected:
  PopupTest() {
    sim::Track second;
    second.artist = "Other Artist";
    second.title = "Other Song";
    player.playlist.push_back(second);
  }

  // The plug-in with the popup on, showing for one second unless `more` says otherwise; the
  // taskbar query answered from `taskbar` (or failing while `taskbarAnswers` is off).
  void StartPopups(const Keys& more = {}, unsigned version = 0x5000) {
    Keys keys = {{"PopupEnabled", "1"}, {"PopupTimeout", "1"}, {"PollingInterval", "2"}};
    for (const auto& [key, value] : more) {
      auto same = std::find_if(keys.begin(), keys.end(), [&](auto& k) { return k.first == key; });
      if (same != keys.end()) same->second = value;
      else keys.push_back({key, value});
    }
    WriteEnabledIni("", "", keys);
    player.version = version;
    Start([this](HMODULE) {
      Calls.realTray = false;
      Calls.appBar = [this](UINT message, PAPPBARDATA data) -> UINT_PTR {
        if (message != ABM_GETTASKBARPOS || !taskbarAnswers) return FALSE;
        data->uEdge = taskbarEdge;
        data->rc = taskbarRect;
        return TRUE;
      };
    });
  }

  ::testing::AssertionResult PopupsMade(std::size_t count) {
    return Eventually([&] { return Calls.dialogsMade.size() >= count; },
                      "popup " + std::to_string(count) + " is made", 20000);
  }
  HWND Popup(std::size_t index) const { return Calls.dialogsMade.at(index).made; }

  ::testing::AssertionResult Resting(HWND popup) {
    return Eventually([&] { return TimerSet(popup, 2); }, "the popup comes to rest", 30000);
  }
  ::testing::AssertionResult Gone(HWND popup) {
    return Eventually([&] { return !IsWindow(popup); }, "the popup is destroyed", 30000);
  }

  void ScreenIs1024By768() {
    RECT desktop = {};
    GetWindowRect(GetDesktopWindow(), &desktop);
    ASSERT_TRUE(desktop == (RECT{0, 0, 1024, 768})) << "these cases expect a 1024x768 screen, "
                                                    << "not " << Shown(desktop);
  }

  UINT taskbarEdge = ABE_BOTTOM;
  RECT taskbarRect = {0, 738, 1024, 768};
  bool taskbarAnswers = true;
};

class PopupWindow : public PopupTest {};

TEST_F(PopupWindow, IsATopmostToolWindowOfTheBackgroundsSizeShownWithoutActivation) {
  ASSERT_NO_FATAL_FAILURE(ScreenIs1024By768());
  StartPopups({{"PopupTimeout", "30"}});
  player.Play(0);
  ASSERT_TRUE(PopupsMade(1));
  const DialogMade& made = Calls.dialogsMade[0];
  EXPECT_EQ(made.templateId, 107);
  EXPECT_EQ(made.owner, nullptr);
  EXPECT_EQ(made.param, 0);
  HWND popup = made.made;
  ASSERT_TRUE(IsWindow(popup));
  ASSERT_TRUE(Resting(popup));

  LONG style = GetWindowLongA(popup, GWL_STYLE);
  LONG exStyle = GetWindowLongA(popup, GWL_EXSTYLE);
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_TRUE(style & WS_VISIBLE);
  EXPECT_FALSE(style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME)) << std::hex << style;
  EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW) << "no taskbar button";
  EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
  EXPECT_NE(GetForegroundWindow(), popup);
  EXPECT_NE(GetActiveWindow(), popup);
  RECT r = {};
  GetWindowRect(popup, &r);
  EXPECT_TRUE(r == (RECT{709, 653, 1009, 738})) << Shown(r);

  std::vector<WindowMove> moves = Calls.MovesOf(popup);
  ASSERT_GE(moves.size(), 2u);
  EXPECT_EQ(moves[0].after, HWND_TOPMOST);
  EXPECT_EQ(moves[0].flags, kSizeFlags) << "sized first, without moving";
  EXPECT_EQ(Point(moves[0].cx, moves[0].cy), Point(300, 85));
  for (std::size_t i = 1; i < moves.size(); ++i) {
    EXPECT_EQ(moves[i].after, HWND_TOPMOST) << "move " << i;
    EXPECT_EQ(moves[i].flags, kPlaceFlags) << "move " << i;
  }
  ASSERT_FALSE(Calls.imageLoads.empty());
  EXPECT_EQ(Calls.imageLoads.back().id, 108) << "a 24-bit screen gets the shaded background";
  EXPECT_EQ(Calls.imageLoads.back().type, static_cast<UINT>(IMAGE_BITMAP));
}

class PopupSlide : public PopupTest {};

TEST_F(PopupSlide, RisesFiveAPixelsATickOverABottomTaskbarStaysAndSinksBack) {
  ASSERT_NO_FATAL_FAILURE(ScreenIs1024By768());
  StartPopups();
  player.Play(0);
  ASSERT_TRUE(PopupsMade(1));
  HWND popup = Popup(0);
  ASSERT_TRUE(Gone(popup));

  std::vector<Point> expected = {{709, 768}};
  AddSlide(expected, {709, 768}, 0, -5, 23);
  expected.push_back({709, 653});  // the tick that finds it arrived places it once more
  AddSlide(expected, {709, 653}, 0, 5, 23);
  EXPECT_EQ(Placements(popup), expected);

  std::vector<std::pair<bool, UINT_PTR>> timers;
  for (const TimerCall& call : Calls.TimersOn(popup)) timers.push_back({call.set, call.id});
  std::vector<std::pair<bool, UINT_PTR>> expectedTimers = {
      {true, 1}, {false, 1}, {true, 2}, {false, 2}, {true, 3}, {false, 3}};
  EXPECT_EQ(timers, expectedTimers);
  const TimerCall* shown = FindTimer(popup, 2, true);
  const TimerCall* back = FindTimer(popup, 3, true);
  ASSERT_TRUE(shown && back);
  EXPECT_EQ(shown->period, 1000u) << "PopupTimeout seconds";
  EXPECT_EQ(FindTimer(popup, 1, true)->period, 25u);
  EXPECT_EQ(back->period, 25u);
  EXPECT_GE(back->tick - shown->tick, 950u) << "it stays out for its display time";
  EXPECT_EQ(std::count(Calls.destroyed.begin(), Calls.destroyed.end(), popup), 1);

  EXPECT_EQ(Calls.windowDcsHeld, 0) << "the window DC is released with the window";
  ASSERT_FALSE(Calls.tray.empty());
  for (HGDIOBJ live : Calls.liveObjects)
    EXPECT_EQ(live, Calls.tray[0].record.hIcon) << "only the tray icon is still alive";
}

TEST_F(PopupSlide, EveryEdgeRestsBesideItsTaskbar) {
  ASSERT_NO_FATAL_FAILURE(ScreenIs1024By768());
  struct Case {
    const char* name;
    UINT edge;
    RECT taskbar;
    Point home, step;
    int ticks;
    Point rest;
  };
  const Case cases[] = {
      {"left, 60 pixels", ABE_LEFT, {0, 0, 60, 768}, {-300, 668}, {5, 0}, 72, {60, 668}},
      {"top, 28 pixels", ABE_TOP, {0, 0, 1024, 28}, {709, -85}, {0, 5}, 23, {709, 30}},
      {"right, 62 pixels", ABE_RIGHT, {962, 0, 1024, 768}, {1024, 668}, {-5, 0}, 73, {659, 668}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    taskbarEdge = c.edge;
    taskbarRect = c.taskbar;
    StartPopups({{"PopupTimeout", "30"}});
    player.Play(0);
    ASSERT_TRUE(PopupsMade(1));
    HWND popup = Popup(0);
    ASSERT_TRUE(Resting(popup));
    std::vector<Point> expected = {c.home};
    AddSlide(expected, c.home, c.step.first, c.step.second, c.ticks);
    expected.push_back(c.rest);
    EXPECT_EQ(Placements(popup), expected);
    RECT r = {};
    GetWindowRect(popup, &r);
    EXPECT_EQ(Point(r.left, r.top), c.rest);
    Stop();
    EXPECT_FALSE(IsWindow(popup)) << "quit closes a popup that is out";
    EXPECT_EQ(Placements(popup).size(), expected.size()) << "at once, without sliding";
  }
}

TEST_F(PopupSlide, AFailedTaskbarQueryKeepsTheLastAnswer) {
  ASSERT_NO_FATAL_FAILURE(ScreenIs1024By768());
  taskbarEdge = ABE_TOP;
  taskbarRect = {0, 0, 1024, 28};
  StartPopups();
  player.Play(0);
  ASSERT_TRUE(PopupsMade(1));
  ASSERT_FALSE(Placements(Popup(0)).empty());
  EXPECT_EQ(Placements(Popup(0))[0], Point(709, -85));

  taskbarAnswers = false;
  player.Play(1);
  ASSERT_TRUE(PopupsMade(2));
  ASSERT_TRUE(Resting(Popup(1)));
  EXPECT_EQ(Placements(Popup(1)).front(), Point(709, -85));
  EXPECT_EQ(Placements(Popup(1)).back(), Point(709, 30));
  Stop();

  // Without any answer yet: the left edge and no taskbar, so it comes fully onto the screen.
  StartPopups();
  player.Play(0);
  ASSERT_TRUE(PopupsMade(1));
  ASSERT_TRUE(Resting(Popup(0)));
  EXPECT_EQ(Placements(Popup(0)).front(), Point(-300, 668));
  EXPECT_EQ(Placements(Popup(0)).back(), Point(0, 668));
}

TEST_F(PopupSlide, NoDisplayTimeSendsItBackAsSoonAsItArrives) {
  ASSERT_NO_FATAL_FAILURE(ScreenIs1024By768());
  // A negative time must not turn into an endless one.
  for (const char* timeout : {"0", "-5"}) {
    SCOPED_TRACE(timeout);
    StartPopups({{"PopupTimeout", timeout}});
    player.Play(0);
    ASSERT_TRUE(PopupsMade(1));
    HWND popup = Popup(0);
    ASSERT_TRUE(Gone(popup));
    const TimerCall* shown = FindTimer(popup, 2, true);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->period, 0u);
    std::vector<Point> placements = Placements(popup);
    ASSERT_EQ(placements.size(), 48u);
    EXPECT_EQ(placements[24], Point(709, 653));
    EXPECT_EQ(placements.back(), Point(709, 768));
    Stop();
  }
}

TEST_F(PopupSlide, ANewPopupRemovesTheOldOneAtOnceAndStartsFromHome) {
  ASSERT_NO_FATAL_FAILURE(ScreenIs1024By768());
  StartPopups({{"PopupTimeout", "30"}});
  player.Play(0);
  ASSERT_TRUE(PopupsMade(1));
  HWND first = Popup(0);
  ASSERT_TRUE(Eventually([&] { return Placements(first).size() >= 6; }, "the first slides in"));

  player.Play(1);
  ASSERT_TRUE(PopupsMade(2));
  EXPECT_EQ(Calls.dialogsMade[1].earlierAlive, 0) << "the old popup was gone before the new";
  EXPECT_FALSE(IsWindow(first));
  for (UINT_PTR id : {1, 2, 3}) EXPECT_NE(FindTimer(first, id, false), nullptr) << "timer " << id;
  EXPECT_EQ(FindTimer(first, 3, true), nullptr) << "the old one did not slide back";
  std::vector<Point> old = Placements(first);
  EXPECT_TRUE(std::is_sorted(old.begin(), old.end(), [](auto& a, auto& b) {
    return a.second > b.second;
  })) << "it only ever rose";

  HWND second = Popup(1);
  ASSERT_TRUE(Resting(second));
  EXPECT_EQ(Placements(second).front(), Point(709, 768));
  EXPECT_EQ(Placements(second).back(), Point(709, 653));
}

class PopupCloseBox : public PopupTest {};

TEST_F(PopupCloseBox, PressAndReleaseInsideSendsItBackFromWhereverItIs) {
  ASSERT_NO_FATAL_FAILURE(ScreenIs1024By768());
  for (bool resting : {false, true}) {
    SCOPED_TRACE(resting ? "while it is out" : "while it slides in");
    StartPopups({{"PopupTimeout", "30"}});
    player.Play(0);
    ASSERT_TRUE(PopupsMade(1));
    HWND popup = Popup(0);
    if (resting)
      ASSERT_TRUE(Resting(popup));
    else
      ASSERT_TRUE(Eventually([&] { return Placements(popup).size() >= 6; }, "it slides in"));

    SendMessageA(popup, WM_LBUTTONDOWN, MK_LBUTTON, kInsideCloseBox);
    SendMessageA(popup, WM_LBUTTONUP, 0, kInsideCloseBox);
    std::size_t before = Placements(popup).size();
    Point at = Placements(popup).back();
    ASSERT_TRUE(Gone(popup));

    std::vector<Point> all = Placements(popup);
    std::vector<Point> back(all.begin() + static_cast<long>(before), all.end());
    std::vector<Point> expected;
    AddSlide(expected, at, 0, 5, (768 - at.second) / 5);
    EXPECT_EQ(back, expected) << "slides back from (" << at.first << ", " << at.second << ")";
    EXPECT_EQ(FindTimer(popup, 2, true) != nullptr, resting);
    EXPECT_NE(FindTimer(popup, 3, true), nullptr);

    ASSERT_EQ(Calls.mouseTracks.size(), 1u);
    EXPECT_EQ(Calls.mouseTracks[0].cbSize, 16u);
    EXPECT_EQ(Calls.mouseTracks[0].dwFlags, static_cast<DWORD>(TME_LEAVE));
    EXPECT_EQ(Calls.mouseTracks[0].hwndTrack, popup);
    EXPECT_EQ(WindowFrameStates(), (std::vector<UINT>{kClosePushed, kCloseNormal}));
    for (const FrameDraw& frame : Calls.frames) {
      EXPECT_TRUE(frame.rect == kCloseBox) << Shown(frame.rect);
      EXPECT_EQ(frame.type, static_cast<UINT>(DFC_CAPTION));
    }
    Stop();
  }
}

TEST_F(PopupCloseBox, ReleasingElsewhereInTheWindowLeavesItOut) {
  StartPopups({{"PopupTimeout", "30"}});
  player.Play(0);
  ASSERT_TRUE(PopupsMade(1));
  HWND popup = Popup(0);
  ASSERT_TRUE(Eventually([&] { return Placements(popup).size() >= 3; }, "it slides in"));

  SendMessageA(popup, WM_LBUTTONDOWN, MK_LBUTTON, kInsideCloseBox);
  SendMessageA(popup, WM_MOUSEMOVE, MK_LBUTTON, kElsewhere);
  SendMessageA(popup, WM_MOUSEMOVE, MK_LBUTTON, kInsideCloseBox);
  SendMessageA(popup, WM_MOUSEMOVE, MK_LBUTTON, kElsewhere);
  SendMessageA(popup, WM_LBUTTONUP, 0, kElsewhere);
  // A release inside after that is not a press any more.
  SendMessageA(popup, WM_LBUTTONUP, 0, kInsideCloseBox);
  ASSERT_TRUE(Resting(popup));
  EXPECT_TRUE(IsWindow(popup));
  EXPECT_EQ(FindTimer(popup, 3, true), nullptr) << "it did not start back";
  EXPECT_EQ(WindowFrameStates(),
            (std::vector<UINT>{kClosePushed, kCloseNormal, kClosePushed, kCloseNormal}));
}

TEST_F(PopupCloseBox, LeavingTheWindowEndsThePress) {
  StartPopups({{"PopupTimeout", "30"}});
  player.Play(0);
  ASSERT_TRUE(PopupsMade(1));
  HWND popup = Popup(0);
  ASSERT_TRUE(Eventually([&] { return Placements(popup).size() >= 3; }, "it slides in"));

  SendMessageA(popup, WM_LBUTTONDOWN, MK_LBUTTON, kInsideCloseBox);
  SendMessageA(popup, WM_MOUSELEAVE, 0, 0);
  SendMessageA(popup, WM_MOUSEMOVE, MK_LBUTTON, kInsideCloseBox);
  SendMessageA(popup, WM_LBUTTONUP, 0, kInsideCloseBox);
  ASSERT_TRUE(Resting(popup));
  EXPECT_EQ(FindTimer(popup, 3, true), nullptr) << "it did not start back";
  EXPECT_EQ(WindowFrameStates(), (std::vector<UINT>{kClosePushed, kCloseNormal}))
      << "the box does not stay pushed once the press has ended";
}

class PopupText : public PopupTest {};

// The rightmost column inside `area` where the pictures differ, or area.left - 1.
int LastInkColumn(const sim::Picture& a, const sim::Picture& b, const RECT& area) {
  for (int x = area.right - 1; x >= area.left; --x)
    if (Differences(a, b, RECT{x, area.top, x + 1, area.bottom}) > 0) return x;
  return area.left - 1;
}

// Taken as a prefix, "&&" would show as a single ampersand: the line would be half as long.
constexpr char kAmpersands[] = "&&&&&&&&";

TEST_F(PopupText, IsDrawnOverTheBackgroundAmpersandAndAll) {
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  ASSERT_EQ(dpi, 96) << "the font height below is the one for 96 dots per inch";
  ASSERT_NO_FATAL_FAILURE(ScreenIs1024By768());
  // A polled player: the plug-in expands the popup text itself.
  StartPopups({{"PopupTimeout", "30"}, {"PopupFormat", kAmpersands}}, 0x2900);
  player.Play(0);
  ASSERT_TRUE(PopupsMade(1));
  HWND popup = Popup(0);

  ASSERT_EQ(Calls.textDraws.size(), 1u);
  const TextDraw& draw = Calls.textDraws[0];
  EXPECT_EQ(draw.text, kAmpersands);
  EXPECT_EQ(draw.length, -1);
  EXPECT_TRUE(draw.rect == kTextRect) << Shown(draw.rect);
  EXPECT_EQ(draw.format, 0x48900u);
  EXPECT_TRUE(draw.memoryDc) << "drawn into the popup's image, not onto the screen";
  ASSERT_EQ(Calls.fonts.size(), 1u);
  const LOGFONTA& font = Calls.fonts[0];
  EXPECT_EQ(font.lfHeight, -11);
  EXPECT_EQ(font.lfWidth, 0);
  EXPECT_EQ(font.lfWeight, 700);
  EXPECT_EQ(font.lfItalic | font.lfUnderline | font.lfStrikeOut, 0);
  EXPECT_EQ(font.lfCharSet, ANSI_CHARSET);
  EXPECT_EQ(font.lfQuality, DRAFT_QUALITY);
  EXPECT_EQ(font.lfPitchAndFamily, VARIABLE_PITCH | FF_SWISS);
  EXPECT_STREQ(font.lfFaceName, "Arial");

  ASSERT_TRUE(Resting(popup));
  sim::Picture seen = sim::CaptureWindow(popup);
  sim::Picture bare = BitmapPixels(player.module(), 108);
  ASSERT_EQ(Point(seen.width, seen.height), Point(300, 85));
  ASSERT_EQ(Point(bare.width, bare.height), Point(300, 85));
  HDC dc = GetDC(nullptr);
  HFONT same = CreateFontIndirectA(&font);
  HGDIOBJ old = SelectObject(dc, same);
  SIZE line = {};
  GetTextExtentPoint32A(dc, kAmpersands, 8, &line);
  SelectObject(dc, old);
  DeleteObject(same);
  ReleaseDC(nullptr, dc);
  int inked = LastInkColumn(seen, bare, kTextRect) - kTextRect.left + 1;
  EXPECT_GE(Differences(seen, bare, kTextRect), 40) << "the text shows";
  EXPECT_GE(inked, line.cx * 3 / 4) << "all eight ampersands show, " << line.cx << " pixels wide";
  EXPECT_LE(inked, line.cx + 2);
  EXPECT_GE(Differences(seen, bare, kCloseBox), 20) << "the close box shows";
  EXPECT_EQ(Differences(seen, bare, RECT{0, 0, 270, 21}), 0) << "the frame and name as drawn";
}

class PopupBackground : public PopupTest {};

TEST_F(PopupBackground, DisplaysOfFewerThanSixteenBitsGetThePalettedBitmap) {
  struct Case {
    int bits, planes, bitmap;
  };
  for (const Case& c : {Case{8, 1, 109}, Case{4, 1, 109}, Case{15, 1, 109}, Case{16, 1, 108},
                        Case{32, 1, 108}, Case{8, 2, 108}}) {
    SCOPED_TRACE(std::to_string(c.planes) + " x " + std::to_string(c.bits) + " bits");
    StartPopups();
    Calls.bitsPerPixel = c.bits;
    Calls.colourPlanes = c.planes;
    player.Play(0);
    ASSERT_TRUE(PopupsMade(1));
    std::vector<int> bitmaps;
    for (const ImageLoad& load : Calls.imageLoads)
      if (load.type == IMAGE_BITMAP) bitmaps.push_back(load.id);
    EXPECT_EQ(bitmaps, std::vector<int>{c.bitmap});
    RECT r = {};
    GetWindowRect(Popup(0), &r);
    EXPECT_EQ(Point(r.right - r.left, r.bottom - r.top), Point(300, 85));
    Stop();
  }
}

class PopupResources : public PopupTest {};

TEST_F(PopupResources, TwoHundredPopupsLeaveNoDrawingObjectBehind) {
  StartPopups({{"PopupFormat", "Two hundred times"}}, 0x2900);
  player.Play(0);
  ASSERT_TRUE(PopupsMade(1));
  // The tray icon's left double-click shows the last popup again, each removing the one before.
  for (int i = 0; i < 200; ++i) {
    SendMessageA(player.window(), WM_APP + 1, 0, WM_LBUTTONDBLCLK);
    if (i % 50 == 0) sim::PumpFor(100);  // let the slide timers run now and then
  }
  ASSERT_EQ(Calls.dialogsMade.size(), 201u);
  for (std::size_t i = 0; i < Calls.dialogsMade.size(); ++i)
    ASSERT_EQ(Calls.dialogsMade[i].earlierAlive, 0) << "popup " << i;
  EXPECT_GE(Calls.objectsMade, 3 * 201) << "a memory DC, a bitmap and a font per popup";
  EXPECT_EQ(Calls.liveObjects.size(), 3u)
      << "the showing popup's memory DC and background, and the tray icon";
  EXPECT_EQ(Calls.windowDcsHeld, 1) << "the showing popup's window DC";

  Stop();
  EXPECT_TRUE(Calls.liveObjects.empty()) << Calls.liveObjects.size() << " objects left alive";
  EXPECT_EQ(Calls.windowDcsHeld, 0);
  EXPECT_EQ(Calls.objectsFreed, Calls.objectsMade);
}

TEST_F(PopupResources, MemoryRunningOutWhileTheTextIsDrawnLeavesNoFontBehind) {
  StartPopups({{"TextEncoding", "1"}});
  Calls.failAllocationAfter = "CreateFontIndirectA";
  player.Play(0);
  ASSERT_TRUE(PopupsMade(1));
  ASSERT_EQ(Calls.allocationsFailed, 1);
  Stop();
  EXPECT_TRUE(Calls.liveObjects.empty()) << Calls.liveObjects.size() << " objects left alive";
}

}  // namespace
