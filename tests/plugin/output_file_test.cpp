// The output file: every write mode with its exact bytes, files of 2 GB and more, readers that
// must never catch a write half done, the files read at init, and what happens when the system
// refuses a step. The "Not Playing" write at quit carries the text.
#include <gtest/gtest.h>
#include <windows.h>
#include <winioctl.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <set>
#include <thread>

#include "harness.h"

namespace {

using namespace std::string_literals;
using harness::Eventually;
using harness::FileHolds;
using harness::FileMissing;
using harness::Keys;
using harness::PluginTest;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

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
  const std::set<std::string> kOwnFiles = {"gen_tunecrier.dll", "gen_tunecrier.ini",
                                           "notplaying.txt", "out.txt", "template.txt"};
};

OVERLAPPED At(std::uint64_t offset) {
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return at;
}

// Makes a file of `size` bytes that takes no disk space, with "head" at its start and "tail"
// at its end. Marked sparse for NTFS; Wine answers the request and ignores it, but on the Unix
// file system beneath, a file written past its end is sparse by nature.
bool MakeSparseFile(const std::string& path, std::uint64_t size) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD done = 0;
  DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &done, nullptr);
  OVERLAPPED head = At(0), tail = At(size - 4);
  bool made = WriteFile(file, "head", 4, &done, &head) && WriteFile(file, "tail", 4, &done, &tail);
  CloseHandle(file);
  return made;
}

// Up to `count` bytes of the file from `offset` on.
std::string BytesAt(const std::string& path, std::uint64_t offset, DWORD count) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
  std::string bytes(count, '\0');
  OVERLAPPED at = At(offset);
  DWORD read = 0;
  if (!ReadFile(file, bytes.data(), count, &read, &at)) read = 0;
  CloseHandle(file);
  bytes.resize(read);
  return bytes;
}

// A reader as a stream overlay's text source is: on a thread of its own, with its own handles,
// it opens the file (read and write sharing, no delete sharing), reads it all and closes it, a
// thousand times a second (an overlay reads about once a second), and keeps the start of every
// read that is not one of the texts it expects. A reader that held the file through all of the
// writer's tries to move over it (the thread descheduled on a busy machine) gets the text in
// place, and may see it half written: a read that overlaps such a write is counted apart.
class Reader {
 public:
  Reader(const std::string& path, std::set<std::string> texts)
      : path_(path), texts_(std::move(texts)), thread_([this] { Run(); }) {}
  ~Reader() { Finish(); }
  void Finish() {
    done_ = true;
    if (thread_.joinable()) thread_.join();
  }
  int reads = 0;
  int duringInPlace = 0;
  std::vector<std::string> wrong;  // the first few

 private:
  void Run() {
    while (!done_) {
      const unsigned phase = InPlacePhase;
      HANDLE file = CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
      if (file == INVALID_HANDLE_VALUE) continue;
      std::string text(8192, '\0');
      DWORD read = 0;
      bool ok = ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
      CloseHandle(file);
      if (!ok) continue;
      text.resize(read);
      ++reads;
      if ((phase & 1) || InPlacePhase != phase)
        ++duringInPlace;
      else if (!texts_.count(text) && wrong.size() < 5)
        wrong.push_back(harness::Shown(text.substr(0, 24)) + " (" + std::to_string(read) + ")");
      Sleep(1);
    }
  }
  std::string path_;
  std::set<std::string> texts_;
  std::atomic<bool> done_{false};
  std::thread thread_;
};

// Only ever the old text or the new one: never an empty file or a part of one, whatever the
// lengths, and no temporary file stays behind.
TEST_F(OutputFileTest, AReaderNeverSeesAnOverwriteHalfDone) {
  constexpr int kTracks = 1000;
  player.playlist.resize(3);
  std::set<std::string> texts;
  for (int i = 0; i < 3; ++i) {
    player.playlist[i].title =
        std::string(std::size_t{1} << (4 * i + 1), static_cast<char>('a' + i));
    player.playlist[i].file = "C:\\Music\\" + std::to_string(i) + ".mp3";
    texts.insert("[Artist - " + player.playlist[i].title + "]");
  }
  WriteEnabledIni("[%FullTitle%]", "", {{"WriteMode", "0"}});
  harness::BroadcastListener listener;
  Start();
  Calls.inPlaceWatched = Path("out.txt");
  Reader reader(Path("out.txt"), texts);
  for (int i = 0; i < kTracks; ++i) {
    player.Play(i % 3);
    ASSERT_TRUE(Eventually([&] { return listener.count > i; }, "track " + std::to_string(i)));
  }
  reader.Finish();
  EXPECT_GT(reader.reads, 0);
  EXPECT_EQ(reader.wrong, std::vector<std::string>{}) << reader.reads << " reads";
  EXPECT_TRUE(FileHolds(Path("out.txt"),
                        "[Artist - " + player.playlist[(kTracks - 1) % 3].title + "]"));
  int inPlace = 0;
  for (const FileOpen& open : Calls.fileOpens) inPlace += open.disposition == OPEN_ALWAYS;
  std::printf("note: %d reads (%d during a write in place), %d moves, %d in place\n",
              reader.reads, reader.duringInPlace, Calls.Count("MoveFileExA"), inPlace);
  EXPECT_EQ(Files(), kOwnFiles);
}

// A reader that never lets go of the file (no delete sharing) gets the new text in place after
// a few tries to move it, and no temporary file stays behind.
TEST_F(OutputFileTest, AReaderThatHoldsTheFileGetsTheTextInPlace) {
  harness::WriteBytes(Path("out.txt"), std::string(100, 'o'));
  HANDLE reader = CreateFileA(Path("out.txt").c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  WriteEnabledIni("unused", "new", {{"WriteMode", "0"}});
  Start();
  Calls.inPlaceWatched = Path("out.txt");
  const unsigned phase = InPlacePhase;
  Stop();
  CloseHandle(reader);
  EXPECT_TRUE(FileHolds(Path("out.txt"), "new"));
  EXPECT_GT(Calls.Count("MoveFileExA"), 1) << "tried again";
  EXPECT_EQ(InPlacePhase, phase + 2) << "the write in place, as the reader test excuses it";
  EXPECT_EQ(Files(), kOwnFiles);
}

// A disk that fills up halfway through a write, in every mode; a prepend in UTF-16 whose file's
// first bytes, read to keep its mark in front, cannot be read (the entry is dropped rather than
// put before the mark): the file keeps its old content and length, and no temporary file stays.
TEST_F(OutputFileTest, AWriteOrReadThatFailsLeavesTheOldFile) {
  const struct {
    const char* mode;
    const char* encoding;
    std::string old;
    int SystemCalls::*failing;
  } cases[] = {{"0", "0", "old content", &SystemCalls::failWrites},
               {"1", "0", "old content", &SystemCalls::failWrites},
               {"2", "0", "old content", &SystemCalls::failWrites},
               {"2", "2", std::string("\xFF\xFEo\0l\0d\0", 8), &SystemCalls::failReads}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("mode ") + c.mode + ", encoding " + c.encoding);
    harness::WriteBytes(Path("out.txt"), c.old);
    WriteEnabledIni("unused", "a longer new text",
                    {{"WriteMode", c.mode}, {"TextEncoding", c.encoding}});
    Start();
    Calls.*c.failing = 1;
    Stop();
    EXPECT_EQ(Calls.*c.failing, 0) << "the failing call was made";
    EXPECT_TRUE(FileHolds(Path("out.txt"), c.old));
    EXPECT_EQ(Files(), kOwnFiles);
  }
}

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

// Another program holds a view of the file while entries are appended and prepended, and the
// writer could map nothing itself (no room in its address space): the file grows by exactly
// the entries, with no stretch of zero bytes, and nothing is mapped.
TEST_F(OutputFileTest, AFileAnotherProgramMapsGrowsByTheEntriesAlone) {
  harness::WriteBytes(Path("out.txt"), "old content");
  HANDLE file = CreateFileA(Path("out.txt").c_str(), GENERIC_READ, kShareAll, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
  ASSERT_NE(view, nullptr);
  for (const char* mode : {"1", "2"}) {
    WriteEnabledIni("unused", mode, {{"WriteMode", mode}});
    Start();
    Calls.failMapView = true;
    Stop();
    EXPECT_EQ(Calls.Count("MapViewOfFile"), 0);
  }
  UnmapViewOfFile(view);
  CloseHandle(mapping);
  CloseHandle(file);
  EXPECT_TRUE(FileHolds(Path("out.txt"), "2old content1"));
}

// No 32-bit process can map 2.5 GB, nor anything past 4 GiB, in one view: append and overwrite
// write such files all the same. A prepend copies the whole file: it is shown on 64 MiB (a
// copy of 4 GiB of zeros per run would fill the disk of the machine that runs the tests for
// minutes), where the old content's place is no concern of address space either.
TEST_F(OutputFileTest, FilesOf2GBAndMore) {
  const std::string out = Path("out.txt");
  for (std::uint64_t size : {2560ull << 20, (4ull << 30) + 100}) {
    SCOPED_TRACE("a file of " + std::to_string(size) + " bytes");
    ASSERT_TRUE(MakeSparseFile(out, size));
    QuitWrites("new", "1");
    // Reading on past the end shows where the file ends.
    EXPECT_EQ(BytesAt(out, 0, 4) + BytesAt(out, size - 4, 16), "headtailnew") << "append";

    ASSERT_TRUE(MakeSparseFile(out, size));
    QuitWrites("new", "0");
    EXPECT_TRUE(FileHolds(out, "new")) << "overwrite";
  }
  constexpr std::uint64_t k64MiB = 64ull << 20;
  ASSERT_TRUE(MakeSparseFile(out, k64MiB));
  QuitWrites("new", "2");
  EXPECT_EQ(BytesAt(out, 0, 7) + BytesAt(out, k64MiB - 1, 16), "newheadtail") << "prepend";
}

// A hidden system file (hidden from a folder shown on stream, say) is written in every mode
// and emptied at init, and stays hidden and system.
TEST_F(OutputFileTest, AHiddenSystemFileIsWrittenInEveryMode) {
  constexpr DWORD kHiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  const std::string out = Path("out.txt");
  harness::WriteBytes(out, "old");
  ASSERT_TRUE(SetFileAttributesA(out.c_str(), kHiddenSystem));
  const struct {
    const char* mode;
    const char* initialize;
    const char* text;
    const char* holds;
  } steps[] = {{"0", "0", "A", "A"}, {"1", "0", "B", "AB"}, {"2", "0", "C", "CAB"},
               {"1", "1", "D", "D"}};
  for (const auto& step : steps) {
    SCOPED_TRACE(std::string("mode ") + step.mode + ", emptied at init: " + step.initialize);
    QuitWrites(step.text, step.mode, {{"InitializeOutput", step.initialize}});
    EXPECT_TRUE(FileHolds(out, step.holds));
    EXPECT_EQ(GetFileAttributesA(out.c_str()) & kHiddenSystem, kHiddenSystem);
  }
}

// Another program writing the template or the "Not Playing" file holds it open with read and
// write sharing: both are read all the same. A template that cannot be read at all when the
// dialog's OK reads it again (locked without sharing) leaves the one read before.
TEST_F(OutputFileTest, TemplatesOthersHoldOpenAreRead) {
  WriteEnabledIni("held %FullTitle%;", "np;", {{"WriteMode", "1"}});
  HANDLE writers[2];
  for (int i = 0; i < 2; ++i) {
    writers[i] = CreateFileA(Path(i ? "notplaying.txt" : "template.txt").c_str(), GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                             nullptr);
    ASSERT_NE(writers[i], INVALID_HANDLE_VALUE);
  }
  Start();
  for (HANDLE writer : writers) CloseHandle(writer);
  player.Play(0);
  ASSERT_TRUE(Eventually([&] { return sim::ReadAll(Path("out.txt")) == "held Artist - Song;"; },
                         "the announcement"));

  HANDLE locked = CreateFileA(Path("template.txt").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(harness::RunDialogs([this] { player.Config(); },
                                  {{"Tunecrier", [](HWND ok) { harness::Click(ok, IDOK); }}}));
  CloseHandle(locked);
  player.playlist[0].title = "Tune";
  player.Play(0);
  ASSERT_TRUE(Eventually([&] { return sim::ReadAll(Path("out.txt")).size() > 19; }, "another"));
  Stop();
  EXPECT_TRUE(FileHolds(Path("out.txt"), "held Artist - Song;held Artist - Tune;np;"));
}

// What was read last stands in for the same file only: files the dialog's OK names anew that
// cannot be read give no text, as missing ones would, never the old files' text.
TEST_F(OutputFileTest, AnotherFileThatCannotBeReadGivesNoText) {
  WriteEnabledIni("old %FullTitle%", "old np", {{"WriteMode", "0"}});
  Start();
  player.Play(0);
  ASSERT_TRUE(Eventually([&] { return sim::ReadAll(Path("out.txt")) == "old Artist - Song"; },
                         "the announcement"));

  HANDLE locked[2];
  for (int i = 0; i < 2; ++i) {
    const std::string path = Path(i ? "new-np.txt" : "new.txt");
    harness::WriteBytes(path, "new");
    locked[i] = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locked[i], INVALID_HANDLE_VALUE);
  }
  WriteIni({{"Enabled", "1"},
            {"WriteMode", "0"},
            {"TemplateFile", Path("new.txt")},
            {"NotPlayingFile", Path("new-np.txt")},
            {"OutputFile", Path("out.txt")}});
  ASSERT_TRUE(harness::RunDialogs([this] { player.Config(); },
                                  {{"Tunecrier", [](HWND ok) { harness::Click(ok, IDOK); }}}));
  player.playlist[0].title = "Tune";
  player.Play(0);
  ASSERT_TRUE(Eventually([&] { return sim::ReadAll(Path("out.txt")) != "old Artist - Song"; },
                         "the second announcement"));
  EXPECT_TRUE(FileHolds(Path("out.txt"), ""));
  Stop();
  for (HANDLE file : locked) CloseHandle(file);
  EXPECT_TRUE(FileHolds(Path("out.txt"), ""));
}

// The file is read-only: nothing is written, so no broadcast says it was. The next track,
// written, is.
TEST_F(OutputFileTest, TheBroadcastFollowsOnlyAWrite) {
  harness::BroadcastListener listener;
  harness::WriteBytes(Path("out.txt"), "read-only");
  ASSERT_TRUE(SetFileAttributesA(Path("out.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  WriteEnabledIni("%FullTitle%", "", {{"WriteMode", "0"}});
  Start();
  player.Play(0);
  ASSERT_TRUE(Eventually([&] { return player.CountRequests(sim::IPC_GETOUTPUTTIME) > 0; },
                         "the first announcement"));
  ASSERT_TRUE(SetFileAttributesA(Path("out.txt").c_str(), FILE_ATTRIBUTE_NORMAL));
  player.playlist[0].title = "Tune";
  player.Play(0);
  ASSERT_TRUE(Eventually([&] { return sim::ReadAll(Path("out.txt")) == "Artist - Tune"; },
                         "the second announcement"));
  EXPECT_EQ(listener.count, 1);
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
  EXPECT_EQ(Files(), kOwnFiles);
}

// A path the dialog saved longer than 255 characters: once cut, it named another file, which
// overwrite mode created. A value as long as the dialog can save may have been cut itself.
TEST_F(OutputFileTest, ALongPathIsNeverCut) {
  harness::WriteBytes(Path("notplaying.txt"), "np");
  for (std::size_t length : {300u, 511u}) {
    SCOPED_TRACE(length);
    std::string cut = Path("");
    cut += std::string(255 - cut.size() - 4, 'o') + ".txt";  // a file name it could be cut to
    std::string output = cut + std::string(length - cut.size(), 'x');
    WriteIni({{"Enabled", "1"},
              {"NotPlayingFile", Path("notplaying.txt")},
              {"OutputFile", output}});
    Start();
    Stop();
    EXPECT_TRUE(FileMissing(cut));
    for (const FileOpen& open : Calls.fileOpens)  // a value the dialog's room fills: not used
      EXPECT_TRUE(length < 511 || open.path.substr(0, cut.size()) != cut) << open.path;
  }
}

// A file too large to hold in memory, or to read in one call, is treated as unreadable, and
// everything else goes on.
TEST_F(OutputFileTest, ATemplateTooLargeToReadIsDroppedSilently) {
  std::string huge = Path("huge.txt");
  for (std::uint64_t size : {3ull << 30, (4ull << 30) + 100}) {
    SCOPED_TRACE("a file of " + std::to_string(size) + " bytes");
    ASSERT_TRUE(MakeSparseFile(huge, size));
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
}

}  // namespace
