// The default flight through the Windows build under Wine writes the same
// "data_log.txt" as the Linux build, apart from its CR LF line ends.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "tests/support.h"

namespace {

std::string Slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(WineFlight, DefaultFlightLogMatchesLinux) {
  testsupport::TempDir dir;
  const std::string scenario = std::string(PANEL_SOURCE_DIR) + "/scenarios/default_flight.scn";
  const auto onLinux = testsupport::Run(testsupport::Panelhost() + " run " + scenario +
                                        " --headless -q -o " + (dir.path() / "linux").string());
  ASSERT_EQ(onLinux.exitCode, 0) << onLinux.output;
  const auto onWindows = testsupport::Run(
      "cd " + testsupport::WindowsDist() + " && wine panelhost.exe run Z:" + scenario +
      " --headless -q -o Z:" + (dir.path() / "windows").string());
  ASSERT_EQ(onWindows.exitCode, 0) << onWindows.output;

  const std::string linuxLog = Slurp(dir.path() / "linux" / "data_log.txt");
  std::string windowsLog = Slurp(dir.path() / "windows" / "data_log.txt");
  ASSERT_GT(linuxLog.size(), 10000u);
  ASSERT_NE(windowsLog.find("\r\n"), std::string::npos)
      << "a Windows text stream ends lines with CR LF";
  std::string lf;
  for (std::size_t i = 0; i < windowsLog.size(); ++i) {
    if (windowsLog[i] == '\r' && i + 1 < windowsLog.size() && windowsLog[i + 1] == '\n') continue;
    lf += windowsLog[i];
  }
  EXPECT_TRUE(lf == linuxLog) << "the logs differ beyond their line ends";
}

}  // namespace
