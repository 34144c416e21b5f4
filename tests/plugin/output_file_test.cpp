// The output file: every write mode with its exact bytes, the files read at init, and what
// happens when the system refuses a step. The "Not Playing" write at quit carries the text.
#include <gtest/gtest.h>

#include "harness.h"

namespace {

using harness::FileHolds;
using harness::FileMissing;
using harness::Keys;
using harness::PluginTest;

class OutputFileTest : public PluginTest {
 protected:
  // Loads and unloads the plug-in once: quit writes `text` in `mode`.
  void QuitWrites(const std::string& text, const char* mode, const Keys& more = {}) {
    Keys keys = {{"WriteMode", mode}};
    keys.insert(keys.end(), more.begin(), more.end());
    WriteEnabledIni("unused", text, keys);
    Start();
    Stop();
  }
};

TEST_F(OutputFileTest, OverwriteLeavesTheNewTextAlone) {
  harness::WriteBytes(Path("out.txt"), std::string(100, 'o'));
  QuitWrites("0123456789", "0");
  EXPECT_TRUE(FileHolds(Path("out.txt"), "0123456789"));
}

TEST_F(OutputFileTest, AppendAddsNothingBetweenEntries) {
  QuitWrites("first", "1");
  EXPECT_TRUE(FileHolds(Path("out.txt"), "first")) << "a missing file is created";
  QuitWrites("second", "1");
  EXPECT_TRUE(FileHolds(Path("out.txt"), "firstsecond"));
}

TEST_F(OutputFileTest, PrependPutsTheNewTextBeforeTheOld) {
  harness::WriteBytes(Path("out.txt"), "B-old");
  QuitWrites("A-new", "2");
  EXPECT_TRUE(FileHolds(Path("out.txt"), "A-newB-old"));
}

TEST_F(OutputFileTest, PrependMovesALargeOldContentIntact) {
  std::string old;
  for (int i = 0; i < 200000; ++i) old += static_cast<char>('a' + i % 26);
  harness::WriteBytes(Path("out.txt"), old);
  QuitWrites("head\n", "2");
  EXPECT_TRUE(FileHolds(Path("out.txt"), "head\n" + old));
}

TEST_F(OutputFileTest, OtherModesAppend) {
  harness::WriteBytes(Path("out.txt"), "B");
  QuitWrites("A", "3");
  EXPECT_TRUE(FileHolds(Path("out.txt"), "BA"));
  // 65538 keeps its low 16 bits: prepend.
  QuitWrites("C", "65538");
  EXPECT_TRUE(FileHolds(Path("out.txt"), "CBA"));
}

TEST_F(OutputFileTest, FilesAreCopiedByteForByte) {
  std::string text = "\xEF\xBB\xBFtitle\r\n";
  text += std::string("zero\0inside\0", 12);
  text += "\xFF end";
  QuitWrites(text, "0");
  EXPECT_TRUE(FileHolds(Path("out.txt"), text)) << "byte-order mark and zero bytes kept";
}

TEST_F(OutputFileTest, AnEmptyOrMissingNotPlayingFileWritesNothing) {
  QuitWrites("", "0");
  EXPECT_TRUE(FileMissing(Path("out.txt")));

  WriteIni({{"Enabled", "1"},
            {"NotPlayingFile", Path("missing.txt")},
            {"OutputFile", Path("out.txt")}});
  Start();
  Stop();
  EXPECT_TRUE(FileMissing(Path("out.txt")));
}

TEST_F(OutputFileTest, AViewThatCannotBeMappedLeavesTheOldLength) {
  harness::WriteBytes(Path("out.txt"), "old content");
  WriteEnabledIni("unused", "new text", {{"WriteMode", "1"}});
  Start();
  Calls.failMapView = true;
  Stop();
  EXPECT_GE(Calls.Count("MapViewOfFile"), 1);
  EXPECT_TRUE(FileHolds(Path("out.txt"), "old content")) << "no stretch of zero bytes";
}

TEST_F(OutputFileTest, FlushFollowsEveryWriteOnlyWhenAskedFor) {
  QuitWrites("text", "0");
  EXPECT_EQ(Calls.Count("FlushFileBuffers"), 0);
  QuitWrites("text", "0", {{"FlushFileBuffers", "1"}});
  EXPECT_EQ(Calls.Count("FlushFileBuffers"), 1);
}

TEST_F(OutputFileTest, TheWriterOpensTheFileSharedForReading) {
  QuitWrites("text", "1");
  ASSERT_FALSE(Calls.fileOpens.empty());
  const FileOpen& open = Calls.fileOpens.back();
  EXPECT_EQ(open.path, Path("out.txt"));
  EXPECT_EQ(open.access, static_cast<DWORD>(GENERIC_READ | GENERIC_WRITE));
  EXPECT_EQ(open.share, static_cast<DWORD>(FILE_SHARE_READ));
  EXPECT_EQ(open.disposition, static_cast<DWORD>(OPEN_ALWAYS));
}

TEST_F(OutputFileTest, AFileHeldOpenForWritingIsLeftAlone) {
  harness::WriteBytes(Path("out.txt"), "held");
  HANDLE held = CreateFileA(Path("out.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  QuitWrites("new", "0");
  CloseHandle(held);
  EXPECT_TRUE(FileHolds(Path("out.txt"), "held"));
}

TEST_F(OutputFileTest, ValuesAreCutTo255Characters) {
  // A 300-character path whose first 255 characters name the real "Not Playing" file.
  std::string name = Path("");
  name += std::string(255 - name.size() - 4, 'n') + ".txt";
  ASSERT_EQ(name.size(), 255u);
  harness::WriteBytes(name, "found by its first 255 characters");
  WriteIni({{"Enabled", "1"},
            {"NotPlayingFile", name + std::string(45, 'x')},
            {"OutputFile", Path("out.txt")}});
  Start();
  Stop();
  EXPECT_TRUE(FileHolds(Path("out.txt"), "found by its first 255 characters"));
}

// A file too large to hold in memory is treated as unreadable, and everything else goes on.
TEST_F(OutputFileTest, ATemplateTooLargeToReadIsDroppedSilently) {
  std::string huge = Path("huge.txt");
  HANDLE file = CreateFileA(huge.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  LARGE_INTEGER size;
  size.QuadPart = 3LL * 1024 * 1024 * 1024;
  ASSERT_TRUE(SetFilePointerEx(file, size, nullptr, FILE_BEGIN));
  ASSERT_TRUE(SetEndOfFile(file));  // sparse: no disk space is used
  CloseHandle(file);

  harness::WriteBytes(Path("notplaying.txt"), "still here");
  WriteIni({{"Enabled", "1"},
            {"TemplateFile", huge},
            {"NotPlayingFile", Path("notplaying.txt")},
            {"OutputFile", Path("out.txt")}});
  Start();
  Stop();
  EXPECT_TRUE(FileHolds(Path("out.txt"), "still here"));

  WriteIni({{"Enabled", "1"}, {"NotPlayingFile", huge}, {"OutputFile", Path("out.txt")}});
  Start();
  Stop();
  EXPECT_TRUE(FileHolds(Path("out.txt"), "still here"));
}

}  // namespace
