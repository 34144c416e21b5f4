// The export and the plug-in record it hands out, as the player finds them.
#include <gtest/gtest.h>

#include <cstring>

#include "harness.h"

namespace {

using harness::PluginTest;

class PluginHeaderTest : public PluginTest {};

std::vector<std::string> ExportedNames(HMODULE module) {
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  std::vector<std::string> names;
  if (!dir.VirtualAddress) return names;
  auto* exports = reinterpret_cast<IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
  auto* nameRvas = reinterpret_cast<DWORD*>(base + exports->AddressOfNames);
  for (DWORD i = 0; i < exports->NumberOfNames; ++i)
    names.push_back(reinterpret_cast<const char*>(base + nameRvas[i]));
  if (exports->NumberOfFunctions != exports->NumberOfNames) names.push_back("(unnamed)");
  return names;
}

TEST_F(PluginHeaderTest, TheOnlyExportHandsOutOneRecordThatThePlayerFillsIn) {
  HMODULE module = LoadLibraryA(DllPath().c_str());
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(ExportedNames(module), std::vector<std::string>{"winampGetGeneralPurposePlugin"});

  using GetHeader = sim::winampGeneralPurposePlugin*(__cdecl*)();
  auto get = reinterpret_cast<GetHeader>(
      reinterpret_cast<void*>(GetProcAddress(module, "winampGetGeneralPurposePlugin")));
  ASSERT_NE(get, nullptr);
  sim::winampGeneralPurposePlugin* header = get();
  EXPECT_EQ(get(), header) << "every call returns the same record";
  EXPECT_EQ(get(), header);
  EXPECT_EQ(header->version, 0x10);
  ASSERT_NE(header->description, nullptr);
  EXPECT_STREQ(header->description, "Tunecrier v2.2 [gen_tunecrier.dll]");
  EXPECT_NE(header->init, nullptr);
  EXPECT_NE(header->config, nullptr);
  EXPECT_NE(header->quit, nullptr);
  EXPECT_EQ(header->hwndParent, nullptr) << "the player fills it, not the plug-in";
  EXPECT_EQ(header->hDllInstance, nullptr);
  FreeLibrary(module);
}

TEST_F(PluginHeaderTest, InitReturnsZeroWhetherEnabledOrNot) {
  Start();
  EXPECT_EQ(player.initResult, 0);
  EXPECT_EQ(player.header()->hwndParent, player.window());
  Stop();

  WriteEnabledIni("%FullTitle%", "stopped");
  Start();
  EXPECT_EQ(player.initResult, 0);
}

}  // namespace
