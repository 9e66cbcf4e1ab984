// The engine controls' Windows build under Wine: the selector binds
// GaugeSound.dll by ordinal, loads and plays its click (or fails to play
// without an audio device) without hanging, and every engine-control gauge
// draws as on Linux.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/support.h"

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

struct RenderCase {
  const char* module;
  const char* gauge;
  const char* args;
};

class WineEngineControls : public ::testing::TestWithParam<RenderCase> {};

// The panelhost runs in the dist folder, where SOUND\QLMT_Zx401_sw1.wav lies.
TEST_P(WineEngineControls, ClicksAndDrawsAsOnLinux) {
  const RenderCase& c = GetParam();
  testsupport::TempDir dir;
  const std::string args = std::string(" ") + c.gauge + " " + c.args + " -o ";
  const auto onLinux =
      testsupport::Run("cd " + std::string(PANEL_DIST_DIR) + " && ./panelhost render " + c.module +
                       ".so" + args + (dir.path() / "l.png").string());
  ASSERT_EQ(onLinux.exitCode, 0) << onLinux.output;
  const auto windows =
      testsupport::Run("cd " + testsupport::WindowsDist() + " && wine panelhost.exe render " +
                       c.module + ".dll" + args + "Z:" + (dir.path() / "w.png").string());
  ASSERT_EQ(windows.exitCode, 0) << windows.output;
  const std::string linuxPng = Slurp((dir.path() / "l.png").string());
  ASSERT_FALSE(linuxPng.empty());
  EXPECT_TRUE(linuxPng == Slurp((dir.path() / "w.png").string())) << "the PNGs differ";
}

INSTANTIATE_TEST_SUITE_P(
    All, WineEngineControls,
    ::testing::Values(
        RenderCase{"ignition_selector", "mag", "--set 399=1 --click 250,150 --click 60,150"},
        RenderCase{"starter_crank", "handle", "--click 177,300 --click 177,300 --click 177,300"},
        RenderCase{"fuel_ratio_lever", "mixture", "--set 393=0.6 --click 54,10"}),
    [](const auto& param) { return std::string(param.param.gauge); });

}  // namespace
