// Every module binary exports its two records and nothing else (on Linux also
// the table its bitmaps are carried in).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "tests/support.h"

namespace {

std::vector<std::filesystem::path> Binaries(const std::string& folder, const std::string& ext) {
  std::vector<std::filesystem::path> out;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const auto name = entry.path().filename().string();
    if (entry.path().extension() == ext && name.rfind("lib", 0) != 0 &&
        name.rfind("GaugeSound", 0) != 0) {
      out.push_back(entry.path());
    }
  }
  for (const auto& entry : std::filesystem::directory_iterator(folder + "/tests", ec)) {
    if (entry.path().extension() == ext) out.push_back(entry.path());
  }
  return out;
}

std::set<std::string> Words(const std::string& text) {
  std::set<std::string> words;
  std::istringstream in(text);
  for (std::string w; in >> w;) words.insert(w);
  return words;
}

TEST(Exports, LinuxModulesExportOnlyTheirRecords) {
  const auto modules = Binaries(PANEL_DIST_DIR, ".so");
  ASSERT_FALSE(modules.empty());
  for (const auto& path : modules) {
    const auto result =
        testsupport::Run("nm -D --defined-only " + path.string() + " | awk '{print $3}'");
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(Words(result.output),
              (std::set<std::string>{"GaugeBitmapResources", "ImportTable", "Linkage"}))
        << path;
  }
}

TEST(Exports, WindowsModulesExportOnlyTheirRecordsByName) {
  const auto modules = Binaries(testsupport::WindowsDist(), ".dll");
  ASSERT_FALSE(modules.empty()) << "no Windows build in " << testsupport::WindowsDist();
  for (const auto& path : modules) {
    // The names of the export table, as objdump lists them.
    const auto result = testsupport::Run(
        "i686-w64-mingw32-objdump -p " + path.string() +
        " | sed -n '/\\[Ordinal\\/Name Pointer\\] Table/,/^$/p' | grep '\\[' | awk '{print $NF}'"
        " | grep -vx Table");
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(Words(result.output), (std::set<std::string>{"ImportTable", "Linkage"})) << path;
  }
}

}  // namespace
