// The popup's slide geometry and its close box. Pure arithmetic, no state.
#include "notify/geometry.h"

namespace notify {

namespace {

constexpr int kCloseBoxRightInset = 8;   // from the popup's right edge to the box's right edge
constexpr int kCloseBoxWidth = 15;
constexpr int kCloseBoxTop = 7;
constexpr int kCloseBoxHeight = 13;

// The end tests add and subtract sizes taken from the system's answers: done in 64 bits so
// that an absurd taskbar rectangle cannot overflow.
using Wide = long long;

}  // namespace

SlidePath PlanSlide(unsigned edge, const Box& desktop, const Box& taskbar, int width, int height) {
  SlidePath path;
  path.edge = edge <= kEdgeBottom ? edge : kEdgeBottom;
  path.taskbarWidth = Wide(taskbar.right) - taskbar.left;
  path.taskbarHeight = Wide(taskbar.bottom) - taskbar.top;
  path.width = width;
  path.height = height;
  switch (path.edge) {
    case kEdgeLeft:
      path.homeX = desktop.left - width;
      path.homeY = desktop.bottom - height - kScreenMargin;
      break;
    case kEdgeTop:
      path.homeX = desktop.right - width - kScreenMargin;
      path.homeY = desktop.top - height;
      break;
    case kEdgeRight:
      path.homeX = desktop.right;
      path.homeY = desktop.bottom - height - kScreenMargin;
      break;
    default:
      path.homeX = desktop.right - width - kScreenMargin;
      path.homeY = desktop.bottom;
      break;
  }
  return path;
}

bool SlideInStep(const SlidePath& p, int& x, int& y) {
  switch (p.edge) {
    case kEdgeLeft:
      if (Wide(x) - p.homeX - p.taskbarWidth >= p.width) return false;
      x += kSlideStep;
      return true;
    case kEdgeTop:
      if (Wide(y) - p.homeY - p.taskbarHeight >= p.height) return false;
      y += kSlideStep;
      return true;
    case kEdgeRight:
      if (Wide(x) <= Wide(p.homeX) - p.width - p.taskbarWidth) return false;
      x -= kSlideStep;
      return true;
    default:
      if (Wide(y) <= Wide(p.homeY) - p.height - p.taskbarHeight) return false;
      y -= kSlideStep;
      return true;
  }
}

bool SlideOutStep(const SlidePath& p, int& x, int& y) {
  switch (p.edge) {
    case kEdgeLeft:
      if (x <= p.homeX) return false;
      x -= kSlideStep;
      return true;
    case kEdgeTop:
      if (y <= p.homeY) return false;
      y -= kSlideStep;
      return true;
    case kEdgeRight:
      if (x >= p.homeX) return false;
      x += kSlideStep;
      return true;
    default:
      if (y >= p.homeY) return false;
      y += kSlideStep;
      return true;
  }
}

Box CloseBox(int width) {
  Box box;
  box.right = width - kCloseBoxRightInset;
  box.left = box.right - kCloseBoxWidth;
  box.top = kCloseBoxTop;
  box.bottom = kCloseBoxTop + kCloseBoxHeight;
  return box;
}

bool InCloseBox(int width, int x, int y) {
  Box box = CloseBox(width);
  return x >= box.left && x < box.right && y >= box.top && y < box.bottom;
}

}  // namespace notify
