// flightlog's Windows build under Wine: the log is a text stream, so every
// line ends with CR LF there.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "tests/support.h"

namespace {

TEST(WineFlightlog, LogHasWindowsLineEnds) {
  ASSERT_TRUE(testsupport::HaveWine());
  // The log lands in the working folder: a fresh one, not the dist folder.
  testsupport::TempDir dir;
  const std::string dist = "Z:" + testsupport::WindowsDist();
  // Start, then stop, each after a frame (the first frame takes the one
  // sample of tick 9, before recording starts).
  const auto result =
      testsupport::Run("wine " + testsupport::WindowsDist() + "/panelhost.exe render " + dist +
                       "/flightlog.dll recpanel --set 1=9 --click 55,8 "
                       "--click 55,8 -o out.png");
  ASSERT_EQ(result.exitCode, 0) << result.output;
  std::ifstream in("data_log.txt", std::ios::binary);
  const std::string log{std::istreambuf_iterator<char>(in), {}};
  EXPECT_EQ(log,
            "Recording Enabled\r\n"
            "index\tTAS\tIAS\talt\tpitch\tclimb\tgforc\tturn\tbank\troll\tprop\thp\tthrst\tAoA"
            "\tBeta\tElev\r\n"
            "End recording\r\n");
}

}  // namespace
