// Where the popup starts, how it moves on each slide tick and where each slide ends, for the
// four screen edges the taskbar can sit on; and the close box in its top right corner.
//
// Free of <windows.h>, so that it is tested natively. All numbers are pixels in screen
// coordinates, except the close box, which is in the popup's client coordinates.
#pragma once

namespace notify {

struct Box {
  int left = 0;
  int top = 0;
  int right = 0;    // exclusive
  int bottom = 0;   // exclusive
};

// Edges as the taskbar-position query answers them.
enum TaskbarEdge : unsigned { kEdgeLeft = 0, kEdgeTop = 1, kEdgeRight = 2, kEdgeBottom = 3 };

constexpr int kSlideStep = 5;     // pixels per tick
constexpr int kScreenMargin = 15; // between the resting popup and the screen edge beside it

// One popup's path: fixed when it is shown, followed by every slide tick.
struct SlidePath {
  unsigned edge = kEdgeBottom;
  int homeX = 0;        // just outside the screen; the slide starts and ends here
  int homeY = 0;
  long long taskbarWidth = 0;   // wide: the rectangle comes from the system as it is
  long long taskbarHeight = 0;
  int width = 0;        // the popup's size
  int height = 0;
};

// The path of a width x height popup on `desktop` with the taskbar at `taskbar` on `edge`.
// An edge the query should never answer is taken as the bottom, where a taskbar usually is.
SlidePath PlanSlide(unsigned edge, const Box& desktop, const Box& taskbar, int width, int height);

// One slide-in tick at (x, y): false when the popup has arrived (nothing moves), otherwise
// moves it one step out of the taskbar's edge and returns true.
bool SlideInStep(const SlidePath& path, int& x, int& y);
// One slide-out tick: false when the popup is back home, otherwise one step towards home.
bool SlideOutStep(const SlidePath& path, int& x, int& y);

// The close box of a popup `width` pixels wide, and whether a client point lies inside it.
Box CloseBox(int width);
bool InCloseBox(int width, int x, int y);

}  // namespace notify
