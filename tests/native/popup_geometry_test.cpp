// The popup's path for each taskbar edge: home just outside the screen, 5-pixel ticks, where
// the slide in stops and that the slide out returns exactly home; and the close box.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "notify/geometry.h"

namespace {

using notify::Box;
using notify::SlidePath;
using Point = std::pair<int, int>;

constexpr Box kScreen = {0, 0, 1024, 768};
constexpr int kWidth = 300;
constexpr int kHeight = 85;

struct Journey {
  Point home;
  std::vector<Point> in;    // positions after each moving tick of the slide in
  std::vector<Point> out;   // the same for the slide out from the resting place
};

Journey Slide(unsigned edge, const Box& taskbar, const Box& screen = kScreen) {
  SlidePath path = notify::PlanSlide(edge, screen, taskbar, kWidth, kHeight);
  Journey run;
  run.home = {path.homeX, path.homeY};
  int x = path.homeX, y = path.homeY;
  for (int tick = 0; tick < 1000 && notify::SlideInStep(path, x, y); ++tick)
    run.in.push_back({x, y});
  for (int tick = 0; tick < 1000 && notify::SlideOutStep(path, x, y); ++tick)
    run.out.push_back({x, y});
  return run;
}

::testing::AssertionResult EveryTickMovesFive(const Point& from, const std::vector<Point>& path) {
  Point at = from;
  for (std::size_t i = 0; i < path.size(); ++i) {
    int dx = path[i].first - at.first, dy = path[i].second - at.second;
    if ((dx == 0) == (dy == 0) || (dx != 5 && dx != -5 && dy != 5 && dy != -5))
      return ::testing::AssertionFailure() << "tick " << i << " moved from (" << at.first << ", "
                                           << at.second << ") to (" << path[i].first << ", "
                                           << path[i].second << ")";
    at = path[i];
  }
  return ::testing::AssertionSuccess();
}

TEST(PopupSlide, RisesFromBelowTheScreenOverABottomTaskbar) {
  Journey run = Slide(notify::kEdgeBottom, {0, 738, 1024, 768});
  EXPECT_EQ(run.home, Point(709, 768));
  ASSERT_EQ(run.in.size(), 23u);
  EXPECT_EQ(run.in.back(), Point(709, 653));
  EXPECT_TRUE(EveryTickMovesFive(run.home, run.in));
  ASSERT_EQ(run.out.size(), 23u);
  EXPECT_EQ(run.out.back(), run.home);
  EXPECT_TRUE(EveryTickMovesFive(run.in.back(), run.out));
}

TEST(PopupSlide, ComesOutOfALeftTaskbar) {
  Journey run = Slide(notify::kEdgeLeft, {0, 0, 60, 768});
  EXPECT_EQ(run.home, Point(-300, 668));
  ASSERT_FALSE(run.in.empty());
  EXPECT_EQ(run.in.back(), Point(60, 668));
  EXPECT_EQ(run.in.size(), 72u);
  EXPECT_TRUE(EveryTickMovesFive(run.home, run.in));
  ASSERT_FALSE(run.out.empty());
  EXPECT_EQ(run.out.back(), run.home);
}

TEST(PopupSlide, StopsOnTheFiveGridPastATopTaskbar) {
  Journey run = Slide(notify::kEdgeTop, {0, 0, 1024, 28});
  EXPECT_EQ(run.home, Point(709, -85));
  ASSERT_FALSE(run.in.empty());
  EXPECT_EQ(run.in.back(), Point(709, 30)) << "the limit is 28: the first grid point past it";
  EXPECT_TRUE(EveryTickMovesFive(run.home, run.in));
  ASSERT_FALSE(run.out.empty());
  EXPECT_EQ(run.out.back(), run.home);
}

TEST(PopupSlide, StopsOnTheFiveGridPastARightTaskbar) {
  Journey run = Slide(notify::kEdgeRight, {962, 0, 1024, 768});
  EXPECT_EQ(run.home, Point(1024, 668));
  ASSERT_FALSE(run.in.empty());
  EXPECT_EQ(run.in.back(), Point(659, 668)) << "the limit is 662";
  EXPECT_TRUE(EveryTickMovesFive(run.home, run.in));
  ASSERT_FALSE(run.out.empty());
  EXPECT_EQ(run.out.back(), run.home);
}

TEST(PopupSlide, FollowsTheDesktopRectangleNotTheOrigin) {
  Box screen = {-1280, 100, 0, 1124};  // a screen left of and below the primary one's origin
  Journey run = Slide(notify::kEdgeBottom, {-1280, 1084, 0, 1124}, screen);
  EXPECT_EQ(run.home, Point(-315, 1124));
  ASSERT_FALSE(run.in.empty());
  EXPECT_EQ(run.in.back(), Point(-315, 999));
}

TEST(PopupSlide, AnEmptyTaskbarRecordSlidesInFromTheLeftUntilFullyOnScreen) {
  Journey run = Slide(0, {});
  EXPECT_EQ(run.home, Point(-300, 668));
  ASSERT_FALSE(run.in.empty());
  EXPECT_EQ(run.in.back(), Point(0, 668));
}

TEST(PopupSlide, AnUnknownEdgeIsTakenAsTheBottomSoTheSlidesEnd) {
  for (unsigned edge : {4u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(edge);
    Journey run = Slide(edge, {0, 738, 1024, 768});
    EXPECT_EQ(run.home, Point(709, 768));
    ASSERT_EQ(run.in.size(), 23u);
    EXPECT_EQ(run.out.size(), 23u);
  }
}

TEST(PopupSlide, SlidingOutFromMidwayReturnsExactlyHome) {
  for (unsigned edge = notify::kEdgeLeft; edge <= notify::kEdgeBottom; ++edge) {
    SCOPED_TRACE(edge);
    SlidePath path = notify::PlanSlide(edge, kScreen, {0, 0, 40, 40}, kWidth, kHeight);
    int x = path.homeX, y = path.homeY;
    for (int i = 0; i < 7; ++i) ASSERT_TRUE(notify::SlideInStep(path, x, y));
    int ticks = 0;
    while (notify::SlideOutStep(path, x, y)) ASSERT_LT(++ticks, 1000);
    EXPECT_EQ(ticks, 7);
    EXPECT_EQ(Point(x, y), Point(path.homeX, path.homeY));
    EXPECT_FALSE(notify::SlideOutStep(path, x, y)) << "home is the end of the slide out";
  }
}

TEST(PopupSlide, AHugeTaskbarRectangleDoesNotOverflowTheEndTests) {
  SlidePath path = notify::PlanSlide(notify::kEdgeRight, kScreen, {-2147483647, 0, 2147483647, 1},
                                     kWidth, kHeight);
  int x = path.homeX, y = path.homeY;
  EXPECT_TRUE(notify::SlideInStep(path, x, y));
  path = notify::PlanSlide(notify::kEdgeLeft, kScreen, {2147483647, 0, -2147483647, 1}, kWidth,
                           kHeight);
  x = path.homeX;
  EXPECT_FALSE(notify::SlideInStep(path, x, y));
}

TEST(PopupCloseBox, FifteenByThirteenEightPixelsFromTheRightEdge) {
  Box box = notify::CloseBox(300);
  EXPECT_EQ(box.left, 277);
  EXPECT_EQ(box.top, 7);
  EXPECT_EQ(box.right, 292);
  EXPECT_EQ(box.bottom, 20);
  const struct {
    int x, y;
    bool inside;
  } points[] = {{277, 7, true},   {291, 19, true},  {276, 10, false}, {292, 10, false},
                {280, 6, false},  {280, 20, false}, {285, 13, true},  {-1, -1, false}};
  for (const auto& p : points)
    EXPECT_EQ(notify::InCloseBox(300, p.x, p.y), p.inside) << "(" << p.x << ", " << p.y << ")";
}

}  // namespace
