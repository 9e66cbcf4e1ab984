// The Windows build under Wine: panelhost.exe loads the real DLLs, passes
// them through validate and draws the same pictures as the Linux build.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/support.h"

namespace {

std::string Wine(const std::string& args) {
  return "cd " + testsupport::WindowsDist() + " && wine panelhost.exe " + args;
}

std::vector<std::string> WindowsModules() {
  std::vector<std::string> out;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(testsupport::WindowsDist(), ec)) {
    const auto name = e.path().filename().string();
    if (e.path().extension() == ".dll" && name != "GaugeSound.dll") out.push_back(name);
  }
  out.push_back("tests/testgauge.dll");
  return out;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(Wine, ValidatesEveryModuleDll) {
  ASSERT_TRUE(testsupport::HaveWine());
  std::string all;
  for (const auto& m : WindowsModules()) all += " " + m;
  const auto result = testsupport::Run(Wine("validate" + all));
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_THAT(result.output, ::testing::Not(::testing::HasSubstr("FAIL")));
}

TEST(Wine, EveryModuleDllCarriesVersionOne) {
  for (const auto& m : WindowsModules()) {
    if (m.rfind("tests/", 0) == 0) continue;
    const auto result = testsupport::Run(Wine("list " + m));
    EXPECT_THAT(result.output, ::testing::HasSubstr("file version 1.0.0.0")) << m;
  }
}

TEST(Wine, RendersTheTestGaugeLikeLinux) {
  testsupport::TempDir dir;
  const std::string args =
      " panel700 --set 500=30 --set 501=42 --set 502=1 --set 503=2.5 --click 10,10 -o ";
  const auto onLinux = testsupport::Run(testsupport::Panelhost() + " render " +
                                        testsupport::TestModulePath("testgauge") + args +
                                        (dir.path() / "l.png").string());
  ASSERT_EQ(onLinux.exitCode, 0) << onLinux.output;
  const auto windows = testsupport::Run(
      Wine("render tests/testgauge.dll" + args + "Z:" + (dir.path() / "w.png").string()));
  ASSERT_EQ(windows.exitCode, 0) << windows.output;
  const std::string a = Slurp((dir.path() / "l.png").string());
  ASSERT_FALSE(a.empty());
  EXPECT_TRUE(a == Slurp((dir.path() / "w.png").string())) << "the PNGs differ";
}

TEST(Wine, BadInputFailsWithTheFileNamed) {
  const auto result = testsupport::Run(Wine("render tests/no_such.dll panel700 -o Z:/tmp/x.png"));
  EXPECT_NE(result.exitCode, 0);
  EXPECT_THAT(result.output, ::testing::HasSubstr("no_such.dll"));
}

}  // namespace
