// ANSI texts on systems of other code pages, the double-byte ones above all: the system's code
// page is answered through the DLL's import of GetACP (the machine's own conversions stay
// 1252). The popup's bullet as the code page spells it, and line breaks that never split a
// double-byte character.
#include <gtest/gtest.h>

#include "harness.h"

namespace {

using harness::Keys;

UINT StandInCodePage = 0;
UINT WINAPI StandInGetACP() { return StandInCodePage; }

class CodePageTest : public harness::PluginTest {
 protected:
  // Loads the plug-in on a system of code page `codePage` (0: the machine's own) with the popup
  // formatted through the player, plays the track and waits until the update has run to its
  // end (the output file is written last).
  void PlayOn(UINT codePage, const std::string& templateText, const Keys& keys) {
    if (codePage == 0 && GetACP() != 1252) GTEST_SKIP() << "the machine's code page is not 1252";
    Keys all = {{"PopupEnabled", "1"}, {"ReplaceHyphens", "1"}};
    all.insert(all.end(), keys.begin(), keys.end());
    DeleteFileA(Path("out.txt").c_str());
    WriteEnabledIni(templateText, "", all);
    StandInCodePage = codePage;
    Start([codePage](HMODULE module) {
      if (codePage == 0) return;
      ASSERT_TRUE(HookImport(module, "kernel32.dll", "GetACP",
                             reinterpret_cast<void*>(StandInGetACP)));
    });
    player.ClearLog();
    player.Play(0);
    EXPECT_TRUE(harness::Eventually([&] { return harness::FileExists(Path("out.txt")); },
                                    "the update"));
  }
};

TEST_F(CodePageTest, ThePopupsBulletIsTheCodePagesOwnElseTheHyphenStays) {
  struct Case {
    UINT codePage;
    const char* encoding;
    std::string shown;  // drawn in the code page, or drawn wide (shown here in UTF-8)
  };
  // 932 has no bullet (and 0x95 leads a character there); 950 only a best fit, another
  // character. UTF-8 has one always.
  for (const Case& c : {Case{0, "0", "Artist \x95 Song"}, Case{932, "0", "Artist - Song"},
                        Case{950, "0", "Artist - Song"}, Case{932, "1", "Artist \u2022 Song"}}) {
    SCOPED_TRACE(c.codePage);
    PlayOn(c.codePage, "", {{"PopupFormat", "%FullTitle%"}, {"TextEncoding", c.encoding}});
    ASSERT_FALSE(Calls.textDraws.empty());
    const TextDraw& drawn = Calls.textDraws.back();
    EXPECT_EQ(c.encoding[0] == '1' ? sim::Utf8(drawn.wideText) : drawn.text, c.shown);
    Stop();
  }
}

TEST_F(CodePageTest, LineBreaksNeverSplitADoubleByteCharacter) {
  // 0x95 0x5C is one character in code page 932; the backslash and n after it stand for a
  // line feed, the n after the character does not.
  const std::string text = "\x95\x5Cn\\n";
  PlayOn(932, text, {{"PopupFormat", text}});
  EXPECT_TRUE(harness::FileHolds(Path("out.txt"), "\x95\x5Cn\n"));
  EXPECT_EQ(player.formatRequests, std::vector<std::string>{"\x95\x5Cn\n"})
      << "the popup's format, as the player's formatter gets it";
}

}  // namespace
