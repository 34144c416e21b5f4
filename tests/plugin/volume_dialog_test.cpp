// The volume dialog, opened from the configuration dialog's "Change Volume" button and driven
// inside both modal loops: the slider, its live percentage, and how the chosen level reaches
// the INI file only through the configuration dialog's OK.
#include "harness.h"

#include <commctrl.h>

namespace {

using harness::Click;
using harness::CommandFrom;
using harness::DialogStep;
using harness::ItemText;
using harness::PluginTest;
using harness::WindowText;

constexpr char kConfigCaption[] = "Tunecrier";
constexpr char kVolumeCaption[] = "Change Volume";
constexpr int kOk = 1;
constexpr int kCancel = 2;
constexpr int kChangeVolume = 1020;
constexpr int kSlider = 1033;
constexpr int kPercent = 1035;

int SliderPosition(HWND volume) {
  return static_cast<int>(SendDlgItemMessageA(volume, kSlider, TBM_GETPOS, 0, 0));
}

void SetSlider(HWND volume, int level) {
  SendDlgItemMessageA(volume, kSlider, TBM_SETPOS, TRUE, level);
}

// A key pressed on the slider, which moves it and tells the dialog.
void PressKey(HWND volume, WPARAM key) {
  HWND slider = GetDlgItem(volume, kSlider);
  SendMessageA(slider, WM_KEYDOWN, key, 1);
  SendMessageA(slider, WM_KEYUP, key, 0xC0000001);
}

::testing::AssertionResult ShowsLevel(HWND volume, int level, const std::string& label) {
  int position = SliderPosition(volume);
  std::string shown = ItemText(volume, kPercent);
  if (position == level && shown == label) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "slider at " << position << " showing \"" << shown
                                       << "\", expected " << level << " showing \"" << label
                                       << "\"";
}

std::string VolumeWritten() {
  std::string value = "(not written)";
  for (const ProfileWrite& w : Calls.profileWrites)
    if (w.key == "Volume") value = w.value;
  return value;
}

class VolumeDialog : public PluginTest {
 protected:
  void StartWithVolume(const char* volume) {
    WriteIni({{"Enabled", "1"}, {"Volume", volume}});
    Start();
    Calls.profileWrites.clear();
  }
  ::testing::AssertionResult Configure(std::vector<DialogStep> steps) {
    return harness::RunDialogs([this] { player.Config(); }, std::move(steps));
  }
  static DialogStep AskForVolume() {
    return {kConfigCaption, [](HWND dialog) { CommandFrom(dialog, kChangeVolume); }};
  }
  static DialogStep ClickInConfig(int button) {
    return {kConfigCaption, [=](HWND dialog) { Click(dialog, button); }};
  }
};

TEST_F(VolumeDialog, OpensAtTheSavedLevelWithItsPercentage) {
  StartWithVolume("14");
  HWND config = nullptr;
  EXPECT_TRUE(Configure({
      {kConfigCaption,
       [&](HWND dialog) {
         config = dialog;
         CommandFrom(dialog, kChangeVolume);
       }},
      {kVolumeCaption,
       [&](HWND volume) {
         EXPECT_EQ(WindowText(volume), "Change Volume");
         EXPECT_EQ(GetWindow(volume, GW_OWNER), config) << "owned by the configuration dialog";
         EXPECT_FALSE(IsWindowEnabled(config)) << "which waits for it";
         EXPECT_TRUE(ShowsLevel(volume, 14, "21%"));
         EXPECT_EQ(SendDlgItemMessageA(volume, kSlider, TBM_GETRANGEMIN, 0, 0), 0);
         EXPECT_EQ(SendDlgItemMessageA(volume, kSlider, TBM_GETRANGEMAX, 0, 0), 64);
         EXPECT_EQ(SendDlgItemMessageA(volume, kSlider, TBM_GETNUMTICS, 0, 0), 9)
             << "ticks at 0, 8, ... 64";
         Click(volume, kCancel);
       }},
      ClickInConfig(kCancel),
  }));
}

TEST_F(VolumeDialog, MovingTheSliderUpdatesThePercentage) {
  StartWithVolume("14");
  EXPECT_TRUE(Configure({
      AskForVolume(),
      {kVolumeCaption,
       [](HWND volume) {
         PressKey(volume, VK_END);
         EXPECT_TRUE(ShowsLevel(volume, 64, "100%")) << "at the right end";
         PressKey(volume, VK_HOME);
         EXPECT_TRUE(ShowsLevel(volume, 0, "0%")) << "at the left end";
         SetSlider(volume, 31);
         PressKey(volume, VK_RIGHT);
         EXPECT_TRUE(ShowsLevel(volume, 32, "50%")) << "at the middle tick";
         PressKey(volume, VK_RIGHT);
         EXPECT_TRUE(ShowsLevel(volume, 33, "51%"));
         Click(volume, kCancel);
       }},
      ClickInConfig(kCancel),
  }));
}

TEST_F(VolumeDialog, OkHandsTheLevelOverAndOnlyTheConfigurationOkSavesIt) {
  StartWithVolume("14");
  EXPECT_TRUE(Configure({
      AskForVolume(),
      {kVolumeCaption,
       [](HWND volume) {
         SetSlider(volume, 48);
         Click(volume, kOk);
       }},
      AskForVolume(),
      {kVolumeCaption,
       [](HWND volume) {
         EXPECT_TRUE(ShowsLevel(volume, 14, "21%")) << "the saved level again, not 48";
         SetSlider(volume, 60);
         Click(volume, kCancel);
       }},
      ClickInConfig(kOk),
  }));
  EXPECT_EQ(VolumeWritten(), "48") << "the level of the last OK, not the cancelled 60";

  Calls.profileWrites.clear();
  EXPECT_TRUE(Configure({
      AskForVolume(),
      {kVolumeCaption,
       [](HWND volume) {
         EXPECT_TRUE(ShowsLevel(volume, 48, "75%")) << "as saved";
         Click(volume, kCancel);
       }},
      ClickInConfig(kOk),
  }));
  EXPECT_EQ(VolumeWritten(), "48");
}

TEST_F(VolumeDialog, ConfigurationCancelDropsTheLevel) {
  StartWithVolume("14");
  EXPECT_TRUE(Configure({
      AskForVolume(),
      {kVolumeCaption,
       [](HWND volume) {
         SetSlider(volume, 48);
         Click(volume, kOk);
       }},
      ClickInConfig(kCancel),
  }));
  EXPECT_TRUE(Calls.profileWrites.empty());

  EXPECT_TRUE(Configure({
      AskForVolume(),
      {kVolumeCaption,
       [](HWND volume) {
         EXPECT_TRUE(ShowsLevel(volume, 14, "21%"));
         Click(volume, kCancel);
       }},
      ClickInConfig(kOk),
  }));
  EXPECT_EQ(VolumeWritten(), "14") << "the next opening starts again from the saved level";
}

TEST_F(VolumeDialog, CloseEndsItLikeCancel) {
  StartWithVolume("20");
  EXPECT_TRUE(Configure({
      AskForVolume(),
      {kVolumeCaption,
       [](HWND volume) {
         SetSlider(volume, 5);
         SendMessageA(volume, WM_CLOSE, 0, 0);
       }},
      ClickInConfig(kOk),
  }));
  EXPECT_EQ(VolumeWritten(), "20");
}

}  // namespace
