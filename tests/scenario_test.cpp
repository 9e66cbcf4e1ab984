// Scenarios: the format's errors, a run on the test gauge, and the default
// flight through all seven modules.
#include "host/scenario.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "host/panel.h"
#include "tests/support.h"

namespace {

using panelhost::ParseScenario;
using ::testing::HasSubstr;

const char* kMinimal =
    "panel 200 100\n"
    "gauge p testgauge panel700 at 0 0\n"
    "duration 1\n";

TEST(ScenarioFormat, ReadsEveryStatement) {
  const auto s = ParseScenario(
      "# a comment\n"
      "panel 300 200 background 102030   # trailing comment\n"
      "gauge p testgauge panel700 at 10 20 scale 0.5\n"
      "gauge d testgauge dial610 at 150 20\n"
      "duration 2.5\nanimate 0.5\n"
      "set 501 42\n"
      "table 500 word:700\n"
      "0 0 10\n"
      "2 100 30\n"
      "end\n"
      "click 1 p 70 10 held\nclick 0.5 d 1 2\n"
      "capture 2 last\ncapture 1 first\n"
      "fail 1.5 5 on\n"
      "table 84\n0 350\n10 370\nend\nwrap 84 360\n",
      "t.scn");
  EXPECT_EQ(s.width, 300);
  EXPECT_EQ(s.background, 0xFF102030u);
  ASSERT_EQ(s.gauges.size(), 2u);
  EXPECT_DOUBLE_EQ(s.gauges[0].scale, 0.5);
  EXPECT_DOUBLE_EQ(s.duration, 2.5);
  ASSERT_EQ(s.channels.size(), 4u);
  EXPECT_DOUBLE_EQ(s.channels[3].At(2.5), 355.0);
  EXPECT_DOUBLE_EQ(s.channels[3].At(7.5), 5.0);    // through north, not back round via 180
  EXPECT_DOUBLE_EQ(s.channels[1].At(1.0), 50.0);   // linear between rows
  EXPECT_DOUBLE_EQ(s.channels[1].At(9.0), 100.0);  // flat beyond the last
  EXPECT_TRUE(s.channels[2].variable.word);
  EXPECT_DOUBLE_EQ(s.channels[2].At(-1.0), 10.0);
  ASSERT_EQ(s.clicks.size(), 2u);
  EXPECT_EQ(s.clicks[0].gauge, 1u);  // sorted by time
  EXPECT_TRUE(s.clicks[1].held);
  EXPECT_EQ(s.captures[0].name, "first");
  EXPECT_TRUE(s.failures[0].active);
}

TEST(ScenarioFormat, MalformedInputNamesFileAndLine) {
  struct Case {
    std::string text;
    const char* message;
  };
  const std::string head = kMinimal;  // lines 1-3
  const Case cases[] = {
      {"duration 1\n", "s.scn: no panel statement"},
      {"panel 10 10\nduration 1\n", "s.scn: no gauge statement"},
      {"panel 10\n", "s.scn:1: usage: panel"},
      {"panel 10 x\n", "s.scn:1: height \"x\" is not a finite number"},
      {"panel 0 10\n", "s.scn:1: width must be a whole number"},
      {head + "gauge p testgauge dial610 at 0 0\n", "s.scn:4: gauge id \"p\" is used twice"},
      {head + "gauge q ../evil g at 0 0\n", "s.scn:4: MODULE is a module name"},
      {head + "set 1 5\n", "s.scn:4: token 1 is the tick counter"},
      {head + "set word:702 5\n", "s.scn:4: word offset 702 is not a word"},
      {head + "set 61 nan\n", "s.scn:4: value \"nan\" is not a finite number"},
      {head + "set 61 1\nset 61 2\n", "s.scn:5: variable 61 is set twice"},
      {head + "table 61 62\n0 1 2\n1 3\nend\n", "s.scn:6: row has 2 fields"},
      {head + "table 61\n1 1\n1 2\nend\n", "s.scn:6: row times must increase"},
      {head + "table 61\n0 1\n", "s.scn:4: table has no \"end\""},
      {head + "click 1 nobody 1 1\n", "s.scn:4: no gauge with id \"nobody\""},
      {head + "capture 1 ../x\n", "s.scn:4: capture names use"},
      {head + "fail 1 3 maybe\n", "s.scn:4: usage: fail"},
      {head + "jump 1\n", "s.scn:4: unknown statement \"jump\""},
      {head + "end\n", "s.scn:4: \"end\" without a table"},
      {head + "wrap 84 360\n", "s.scn:4: wrap names a variable no set or table gives"},
      {head + "set 84 1\nwrap 84 0\n", "s.scn:5: period must be positive"},
      {head + std::string(70000, 'x') + "\n", "s.scn:4: line longer than"},
  };
  for (const Case& c : cases) {
    try {
      ParseScenario(c.text, "s.scn");
      ADD_FAILURE() << "accepted: " << c.text.substr(0, 80);
    } catch (const panelhost::Error& e) {
      EXPECT_THAT(e.what(), HasSubstr(c.message)) << c.text.substr(0, 80);
    }
  }
}

TEST(ScenarioRun, DrivesVariablesClicksAndCaptures) {
  testsupport::TempDir dir;
  const auto s = ParseScenario(
      "panel 240 100\n"
      "gauge p testgauge panel700 at 0 0\n"
      "gauge d testgauge dial610 at 120 0 scale 0.5\n"
      "duration 2\n"
      "table 600\n0 0\n2 100\nend\n"
      "set 501 7\n"
      "click 0.5 p 10 10\nclick 1 p 100 10\n"
      "capture 1 middle\n",
      "run.scn");
  panelhost::RunOptions options;
  options.outDir = (dir.path() / "out").string();
  options.moduleDir = std::string(PANEL_DIST_DIR) + "/tests";
  const auto summary = panelhost::RunScenario(s, options);
  EXPECT_EQ(summary.frames, 36);
  // Callback 3 after install, 6 every frame, and the two clicks in time order.
  EXPECT_EQ(summary.keyEvents, 1u + 36u + 2u);
  ASSERT_EQ(summary.captures, std::vector<std::string>{"middle.png"});
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "out" / "middle.png"));
  EXPECT_TRUE(summary.problems.empty());
}

TEST(ScenarioRun, MissingGaugeNamesTheScenarioLine) {
  testsupport::TempDir dir;
  const auto s =
      ParseScenario("panel 10 10\ngauge p testgauge nosuch at 0 0\nduration 1\n", "x.scn");
  panelhost::RunOptions options;
  options.outDir = dir.path().string();
  options.moduleDir = std::string(PANEL_DIST_DIR) + "/tests";
  EXPECT_THAT([&] { panelhost::RunScenario(s, options); },
              ::testing::ThrowsMessage<panelhost::Error>(
                  HasSubstr("x.scn:2: module testgauge has no gauge \"nosuch\"")));
}

std::string Slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(DefaultFlight, GeneratedFileIsUpToDate) {
  const auto generated =
      testsupport::Run(std::string(PANEL_BUILD_DIR) + "/scenarios/make_default_flight");
  ASSERT_EQ(generated.exitCode, 0);
  EXPECT_TRUE(generated.output ==
              Slurp(std::string(PANEL_SOURCE_DIR) + "/scenarios/default_flight.scn"))
      << "scenarios/default_flight.scn differs from its generator's output: run `make scenario`";
}

TEST(DefaultFlight, RecordsAroundThePauseAndStartsTheEngine) {
  testsupport::TempDir dir;
  const auto s =
      panelhost::LoadScenario(std::string(PANEL_SOURCE_DIR) + "/scenarios/default_flight.scn");
  panelhost::RunOptions options;
  options.outDir = dir.path().string();
  options.moduleDir = PANEL_DIST_DIR;
  options.headless = true;
  const auto summary = panelhost::RunScenario(s, options);
  EXPECT_TRUE(summary.problems.empty()) << summary.problems.front();
  EXPECT_GE(summary.sounds, 4u) << "load, prepare, and a click per magneto step";

  std::istringstream log(Slurp(dir.path() / "data_log.txt"));
  std::vector<std::string> lines;
  for (std::string line; std::getline(log, line);) lines.push_back(line);
  ASSERT_GT(lines.size(), 100u);
  EXPECT_EQ(lines.front(), "Recording Enabled");
  EXPECT_EQ(lines.back(), "End recording");
  int headers = 0;
  int lastIndex = -1;
  int jumps = 0;
  for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
    if (lines[i].rfind("index\t", 0) == 0) {
      ++headers;
      continue;
    }
    const int index = std::stoi(lines[i]);
    if (lastIndex >= 0 && index != lastIndex + 1) ++jumps;
    lastIndex = index;
  }
  EXPECT_EQ(headers, 2) << "the header, and again after the resume";
  EXPECT_EQ(jumps, 1) << "the index jumps once, over the pause";
}

}  // namespace
