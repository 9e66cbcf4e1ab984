// The recorder log reader, its CSV and plots, `panelhost log`, and the HTML
// report of a run, shown in a real browser.
#include "host/flight_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/log_plot.h"
#include "host/render.h"
#include "host/report.h"
#include "tests/support.h"

namespace {

namespace fs = std::filesystem;
using panelhost::FlightLog;
using panelhost::ParseFlightLog;
using testing::HasSubstr;

constexpr const char* kStart = "Recording Enabled\n";
constexpr const char* kHeader =
    "index\tTAS\tIAS\talt\tpitch\tclimb\tgforc\tturn\tbank\troll\tprop\thp\tthrst\tAoA\tBeta\tElev"
    "\n";
constexpr const char* kEnd = "End recording\n";

// A row exactly as the recorder prints it, with values that follow the index.
std::string Row(int index) {
  const double v = index * 0.5;
  char line[512];
  std::snprintf(
      line, sizeof line,
      "%5d\t%5.1f\t%5.1f\t%5d\t%5.2f\t%5d\t%5.2f\t%5d\t%5d\t%5d\t%5d\t%5d\t%5d\t%5.2f\t%5.2f"
      "\t%5.1f\n",
      index, 100.0 + v, 90.0 + v, 3000 + index, -v / 10, -index, 1.0 + v / 100, index % 7,
      -index % 30, index % 5, 20 + index % 3, 900 + index, 1500 - index, v / 20, -v / 40, -v);
  return line;
}

std::string Rows(int first, int last) {
  std::string out;
  for (int i = first; i <= last; ++i) out += Row(i);
  return out;
}

std::string Crlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Spit(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

std::vector<std::int32_t> Indices(const FlightLog& log) {
  std::vector<std::int32_t> out;
  for (const auto& row : log.rows) out.push_back(row.index);
  return out;
}

// ---------------------------------------------------------------------------
// Parsing: what a recording leaves behind.

struct GoodCase {
  const char* name;
  std::string text;
  std::vector<std::int32_t> indices;
  int stretches;
  bool ended;
  int warnings;
};

std::vector<GoodCase> GoodCases() {
  const std::string full = kStart + std::string(kHeader) + Rows(7, 9) + kEnd;
  const std::string cut = kStart + std::string(kHeader) + Rows(7, 9);
  return {
      {"written on Linux", full, {7, 8, 9}, 1, true, 0},
      {"written on Windows (CRLF)", Crlf(full), {7, 8, 9}, 1, true, 0},
      {"no rows", kStart + std::string(kHeader) + kEnd, {}, 1, true, 0},
      {"pause and resume: header again, index jumps",
       kStart + std::string(kHeader) + Rows(3, 4) + kHeader + Rows(11, 12) + kEnd,
       {3, 4, 11, 12},
       2,
       true,
       0},
      {"stopped while paused",
       kStart + std::string(kHeader) + Rows(3, 4) + kEnd,
       {3, 4},
       1,
       true,
       0},
      {"resumed, stopped before the next sample",
       kStart + std::string(kHeader) + Rows(3, 4) + kHeader + kEnd,
       {3, 4},
       2,
       true,
       0},
      {"crash after a whole row", cut, {7, 8, 9}, 1, false, 0},
      {"crash inside a row", cut + Row(10).substr(0, 30), {7, 8, 9}, 1, false, 1},
      {"crash inside the last value",
       cut + Row(10).substr(0, Row(10).size() - 3),
       {7, 8, 9},
       1,
       false,
       1},
      {"last row whole but for its line end",
       cut + Row(10).substr(0, Row(10).size() - 1),
       {7, 8, 9, 10},
       1,
       false,
       0},
      {"CRLF cut between CR and LF",
       Crlf(cut + Row(10)).substr(0, Crlf(cut + Row(10)).size() - 1),
       {7, 8, 9, 10},
       1,
       false,
       0},
      {"crash inside \"End recording\"", cut + "End rec", {7, 8, 9}, 1, false, 1},
      {"crash inside the first header", kStart + std::string("index\tTAS\tI"), {}, 0, false, 1},
      {"crash inside a resumed header", cut + "index\tTAS", {7, 8, 9}, 1, false, 1},
      {"index going back is tolerated with a warning",
       kStart + std::string(kHeader) + Row(5) + Row(2) + kEnd,
       {5, 2},
       1,
       true,
       1},
  };
}

TEST(FlightLogParse, ReadsWhatTheRecorderWrites) {
  for (const GoodCase& c : GoodCases()) {
    SCOPED_TRACE(c.name);
    FlightLog log;
    try {
      log = ParseFlightLog(c.text, "data_log.txt");
    } catch (const panelhost::Error& e) {
      ADD_FAILURE() << e.what();
      continue;
    }
    EXPECT_EQ(Indices(log), c.indices);
    EXPECT_EQ(log.stretches, c.stretches);
    EXPECT_EQ(log.ended, c.ended);
    EXPECT_EQ(static_cast<int>(log.warnings.size()), c.warnings);
    for (const auto& w : log.warnings) EXPECT_THAT(w, testing::StartsWith("data_log.txt:"));
    EXPECT_EQ(log.missingValues, 0);
  }
}

TEST(FlightLogParse, KeepsValuesStretchesAndLineNumbers) {
  const FlightLog log = ParseFlightLog(
      kStart + std::string(kHeader) + Row(4) + kHeader + Row(9) + kEnd, "data_log.txt");
  ASSERT_EQ(log.rows.size(), 2u);
  const auto& r = log.rows[1];
  EXPECT_EQ(r.line, 5);
  EXPECT_EQ(r.stretch, 1);
  EXPECT_EQ(log.rows[0].stretch, 0);
  // Row(9): TAS 104.5, IAS 94.5, alt 3009, pitch -0.45, climb -9, gforc 1.04 (1.045 printed
  // with two decimals), turn 2, bank -9, roll 4, prop 20, hp 909, thrst 1491, AoA 0.23,
  // Beta -0.11, Elev -4.5.
  const std::array<double, 15> expected = {104.5, 94.5, 3009, -0.45, -9,   1.04,  2,   -9,
                                           4,     20,   909,  1491,  0.23, -0.11, -4.5};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_NEAR(r.values[i], expected[i], 0.006) << panelhost::kFlightLogColumns[i + 1];
  }
}

TEST(FlightLogParse, OverflowMarksAndNonFiniteValuesAreMissing) {
  const std::string row =
      "    3\t#####\t-####\t #####\t  nan\t    1\t -nan\t    2\t    3\t    4\t    5\t    6\t    7\t"
      "  inf\t -inf\t1.#INF\n";
  const FlightLog log = ParseFlightLog(kStart + std::string(kHeader) + row + kEnd, "x.txt");
  ASSERT_EQ(log.rows.size(), 1u);
  const auto& v = log.rows[0].values;
  for (std::size_t i : {0u, 1u, 2u, 3u, 5u, 12u, 13u, 14u}) {
    EXPECT_TRUE(std::isnan(v[i])) << panelhost::kFlightLogColumns[i + 1];
  }
  EXPECT_EQ(v[4], 1);
  EXPECT_EQ(v[11], 7);
  EXPECT_EQ(log.missingValues, 8);
  EXPECT_EQ(panelhost::FlightLogCsv(log),
            "index,TAS,IAS,alt,pitch,climb,gforc,turn,bank,roll,prop,hp,thrst,AoA,Beta,Elev\n"
            "3,,,,,1,,2,3,4,5,6,7,,,\n");
}

struct BadCase {
  const char* name;
  std::string text;
  const char* message;  // the whole message, "FILE:LINE: problem"
};

std::vector<BadCase> BadCases() {
  const std::string ok = kStart + std::string(kHeader) + Row(1);  // the next line is line 4
  std::string fifteen = Row(2);
  fifteen.erase(fifteen.rfind('\t'));
  fifteen += "\n";
  std::string alt = Row(2);
  alt.replace(alt.find("3002"), 4, "3e02");
  return {
      {"empty file", "", "log.txt:1: empty file, not a flight log"},
      {"some other text", "hello\n",
       "log.txt:1: not a flight log: the first line is \"hello\", not \"Recording Enabled\""},
      {"binary junk", std::string("\x89PNG\r\n\x1a\n", 8),
       "log.txt:1: not a flight log: the first line is \"?PNG\", not \"Recording Enabled\""},
      {"no header", kStart + Row(1),
       "log.txt:2: expected the column header \"index\\tTAS\\t...\\tElev\", found \"    1\\t"
       "100.5\\t 90.5\\t 3001\\t...\""},
      {"row one field short", ok + fifteen,
       "log.txt:4: row has 15 tab-separated fields, expected 16"},
      {"row one field long", ok + Row(2).insert(0, "1\t"),
       "log.txt:4: row has more than 16 tab-separated fields"},
      {"letters in a whole-number field", ok + alt,
       "log.txt:4: field 4 (alt) is \"3e02\", not a whole number"},
      {"a fraction in a whole-number field",
       ok + "    2\t  1.0\t  1.0\t 12.5\t 1.00\t    1\t 1.00\t    1\t    1\t    1\t    1\t    1\t  "
            "  1\t"
            " 1.00\t 1.00\t  1.0\n",
       "log.txt:4: field 4 (alt) is \"12.5\", not a whole number"},
      {"a word in a decimal field",
       ok + "    2\t  fast\t  1.0\t 12\t 1.00\t    1\t 1.00\t    1\t    1\t    1\t    1\t    1\t   "
            " 1\t"
            " 1.00\t 1.00\t  1.0\n",
       "log.txt:4: field 2 (TAS) is \"fast\", not a number"},
      {"an empty field",
       ok + "    2\t\t  1.0\t 12\t 1.00\t    1\t 1.00\t    1\t    1\t    1\t    1\t"
            "    1\t    1\t 1.00\t 1.00\t  1.0\n",
       "log.txt:4: field 2 (TAS) is empty"},
      {"overflow mark as the index",
       ok + "#####\t  1.0\t  1.0\t 12\t 1.00\t    1\t 1.00\t    1\t    1\t    1\t    1\t    1\t"
            "    1\t 1.00\t 1.00\t  1.0\n",
       "log.txt:4: field 1 (index) is \"#####\", not a whole number"},
      {"index beyond 32 bits",
       ok + "99999999999\t  1.0\t  1.0\t 12\t 1.00\t    1\t 1.00\t    1\t    1\t    1\t    1\t"
            "    1\t    1\t 1.00\t 1.00\t  1.0\n",
       "log.txt:4: field 1 (index) is \"99999999999\", beyond the 32-bit range"},
      {"empty line", ok + "\n" + Row(2), "log.txt:4: empty line"},
      {"text after End recording", ok + kEnd + Row(2),
       "log.txt:5: text after \"End recording\": \"    2\\t101.0\\t 91.0\\t 3002\\t...\""},
      {"a second start line", ok + kStart, "log.txt:4: \"Recording Enabled\" again inside the log"},
      {"overlong line", ok + std::string(5000, '1') + "\n",
       "log.txt:4: line longer than 4096 characters"},
      {"garbage as the last line, without a line end", ok + "hello",
       "log.txt:4: field 1 (index) is \"hello\", not a whole number"},
      {"a cut last row whose earlier fields are bad", ok + "    2\t  x.0\t  1",
       "log.txt:4: field 2 (TAS) is \"x.0\", not a number"},
  };
}

TEST(FlightLogParse, MalformedInputNamesFileAndLine) {
  for (const BadCase& c : BadCases()) {
    SCOPED_TRACE(c.name);
    try {
      ParseFlightLog(c.text, "log.txt");
      ADD_FAILURE() << "parsed without error";
    } catch (const panelhost::Error& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
}

// A crash may cut the file anywhere: every cut past the first line reads as
// the rows before the cut, never as an error or a wrong row.
TEST(FlightLogParse, EveryCutOfARecordingReadsAsItsWholeRows) {
  std::string row = Row(12);
  row.replace(row.find("106.0"), 5, "#####");  // a mark cut short must not pass either
  const std::string full =
      kStart + std::string(kHeader) + Rows(10, 11) + row + kHeader + Rows(20, 21) + kEnd;
  for (const std::string& text : {full, Crlf(full)}) {
    const FlightLog whole = ParseFlightLog(text, "f");
    ASSERT_EQ(whole.rows.size(), 5u);
    for (std::size_t n = std::string(kStart).size() - 1; n <= text.size(); ++n) {
      SCOPED_TRACE(n);
      FlightLog part;
      try {
        part = ParseFlightLog(std::string_view(text).substr(0, n), "f");
      } catch (const panelhost::Error& e) {
        ADD_FAILURE() << e.what();
        continue;
      }
      ASSERT_LE(part.rows.size(), whole.rows.size());
      for (std::size_t i = 0; i < part.rows.size(); ++i) {
        EXPECT_EQ(part.rows[i].index, whole.rows[i].index);
        for (std::size_t k = 0; k < 15; ++k) {
          const double a = part.rows[i].values[k], b = whole.rows[i].values[k];
          EXPECT_TRUE(a == b || (std::isnan(a) && std::isnan(b))) << i << " " << k;
        }
      }
    }
  }
}

// Whatever a byte is changed to, the parser answers with a log or an Error.
TEST(FlightLogParse, DamagedBytesGiveALogOrAnError) {
  const std::string full = kStart + std::string(kHeader) + Rows(1, 3) + kHeader + Row(9) + kEnd;
  for (std::size_t i = 0; i < full.size(); ++i) {
    for (char c : {'\t', '\n', '\r', '#', 'x', '-', '.', '\0', '9'}) {
      std::string text = full;
      text[i] = c;
      try {
        ParseFlightLog(text, "f");
      } catch (const panelhost::Error& e) {
        EXPECT_THAT(e.what(), testing::StartsWith("f:"));
      }
    }
  }
}

TEST(FlightLogRead, ReadsFilesAndNamesThemInErrors) {
  testsupport::TempDir dir;
  const std::string text =
      Crlf(kStart + std::string(kHeader) + Rows(1, 300) + kHeader + Rows(400, 420)) +
      Row(421).substr(0, 20);
  Spit("data_log.txt", text);
  const FlightLog read = panelhost::ReadFlightLog("data_log.txt");
  const FlightLog parsed = ParseFlightLog(text, "data_log.txt");
  EXPECT_EQ(Indices(read), Indices(parsed));
  EXPECT_EQ(read.rows.size(), 321u);
  EXPECT_EQ(read.warnings, parsed.warnings);
  ASSERT_EQ(read.warnings.size(), 1u);
  EXPECT_EQ(read.warnings[0], "data_log.txt:325: the last row is cut short (no line end); dropped");

  EXPECT_THROW(
      {
        try {
          panelhost::ReadFlightLog("absent.txt");
        } catch (const panelhost::Error& e) {
          EXPECT_THAT(e.what(), HasSubstr("absent.txt"));
          throw;
        }
      },
      panelhost::Error);
  // A line of megabytes is refused at its line without being held whole.
  Spit("huge.txt", kStart + std::string(kHeader) + std::string(8 << 20, '7') + "\n");
  try {
    panelhost::ReadFlightLog("huge.txt");
    ADD_FAILURE() << "read a huge line";
  } catch (const panelhost::Error& e) {
    EXPECT_STREQ(e.what(), "huge.txt:3: line longer than 4096 characters");
  }
}

TEST(FlightLogCsv, OneCleanLinePerRow) {
  const FlightLog log =
      ParseFlightLog(Crlf(kStart + std::string(kHeader) + Row(1) + kHeader + Row(6) + kEnd), "f");
  EXPECT_EQ(panelhost::FlightLogCsv(log),
            "index,TAS,IAS,alt,pitch,climb,gforc,turn,bank,roll,prop,hp,thrst,AoA,Beta,Elev\n"
            "1,100.5,90.5,3001,-0.05,-1,1,1,-1,1,21,901,1499,0.03,-0.01,-0.5\n"
            "6,103,93,3006,-0.3,-6,1.03,6,-6,1,20,906,1494,0.15,-0.07,-3\n");
}

// ---------------------------------------------------------------------------
// panelhost log

struct LogCommand : ::testing::Test {
  testsupport::TempDir dir;
  std::string Panelhost() const { return testsupport::Panelhost(); }
};

TEST_F(LogCommand, SumsUpALog) {
  Spit("data_log.txt", kStart + std::string(kHeader) + Rows(5, 6) + kHeader + Rows(10, 12));
  const auto r = testsupport::Run(Panelhost() + " log data_log.txt");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_THAT(r.output, HasSubstr("rows       5\n"));
  EXPECT_THAT(r.output, HasSubstr("stretches  2 (1 resume)\n"));
  EXPECT_THAT(r.output, HasSubstr("index      5 to 12 (3 samples skipped)\n"));
  EXPECT_THAT(r.output, HasSubstr("ended      no\n"));
}

TEST_F(LogCommand, WritesCsvAndPlot) {
  const std::string text =
      kStart + std::string(kHeader) + Rows(5, 60) + kHeader + Rows(80, 140) + kEnd;
  Spit("data_log.txt", text);
  const auto r = testsupport::Run(Panelhost() + " log data_log.txt --csv out.csv --plot out.png");
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(Slurp("out.csv"), panelhost::FlightLogCsv(ParseFlightLog(text, "x")));
  const std::string png = Slurp("out.png");
  ASSERT_GT(png.size(), 10000u);
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  // Nothing else is left in the folder: no temporary files.
  int files = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 3);
}

TEST_F(LogCommand, ABadLogWritesNothing) {
  Spit("data_log.txt", kStart + std::string(kHeader) + Row(1) + "    2\toops\n");
  Spit("out.csv", "earlier\n");
  const auto r = testsupport::Run(Panelhost() + " log data_log.txt --csv out.csv --plot out.png");
  EXPECT_NE(r.exitCode, 0);
  EXPECT_THAT(r.output, HasSubstr("data_log.txt:4: row has 2 tab-separated fields, expected 16"));
  EXPECT_EQ(Slurp("out.csv"), "earlier\n");
  EXPECT_FALSE(fs::exists("out.png"));
}

TEST_F(LogCommand, WithoutGnuplotSaysSoAndWritesNothing) {
  Spit("data_log.txt", kStart + std::string(kHeader) + Rows(1, 5) + kEnd);
  fs::create_directory("empty");
  const auto r = testsupport::Run("PATH=" + (dir.path() / "empty").string() + " " + Panelhost() +
                                  " log data_log.txt --csv out.csv --plot out.png");
  EXPECT_NE(r.exitCode, 0);
  EXPECT_THAT(r.output, HasSubstr("out.png: cannot draw the plot: gnuplot is not installed"));
  EXPECT_FALSE(fs::exists("out.csv"));
  EXPECT_FALSE(fs::exists("out.png"));
}

// A log the flightlog module itself recorded, on the default flight.
TEST_F(LogCommand, ReadsALogTheRecorderWrote) {
  const auto run = testsupport::Run(Panelhost() + " run " + PANEL_SOURCE_DIR +
                                    "/scenarios/default_flight.scn --headless -q -o flight");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const auto r = testsupport::Run(Panelhost() + " log flight/data_log.txt --csv flight.csv");
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_THAT(r.output, testing::Not(HasSubstr("warning")));
  const FlightLog log = panelhost::ReadFlightLog("flight/data_log.txt");
  EXPECT_GT(log.rows.size(), 100u);
  EXPECT_EQ(log.stretches, 2);
  EXPECT_TRUE(log.ended);
  EXPECT_EQ(log.missingValues, 0);
  const std::string csv = Slurp("flight.csv");
  EXPECT_EQ(static_cast<std::size_t>(std::count(csv.begin(), csv.end(), '\n')),
            log.rows.size() + 1);
}

// ---------------------------------------------------------------------------
// Plots and the report

struct PngSize {
  std::uint32_t width = 0, height = 0;
};

PngSize ReadPngSize(const fs::path& path) {
  const std::string png = Slurp(path);
  PngSize size;
  if (png.size() < 24 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return size;
  auto word = [&](std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(png[at + i]);
    return v;
  };
  return {word(16), word(20)};
}

TEST(LogPlots, OnePictureEachForTheReport) {
  testsupport::TempDir dir;
  // One row between two pauses, and a column of overflow marks.
  std::string rows = Rows(1, 40) + kHeader + Row(50) + kHeader + Rows(60, 90);
  const FlightLog log = ParseFlightLog(kStart + std::string(kHeader) + rows, "data_log.txt");
  const auto figures = panelhost::WriteLogPlots(log, (dir.path() / "out").string());
  ASSERT_EQ(figures.size(), 4u);
  EXPECT_EQ(figures[0].file, "log_altitude.png");
  for (const auto& f : figures) {
    SCOPED_TRACE(f.file);
    EXPECT_FALSE(f.caption.empty());
    const PngSize size = ReadPngSize(dir.path() / "out" / f.file);
    EXPECT_EQ(size.width, 1000u);
    EXPECT_EQ(size.height, 340u);
  }
  EXPECT_TRUE(
      panelhost::WriteLogPlots(ParseFlightLog(kStart + std::string(kHeader), "e"), "none").empty());
  EXPECT_FALSE(fs::exists("none"));

  panelhost::WriteLogPlot(log, "all.png");
  const PngSize all = ReadPngSize("all.png");
  EXPECT_EQ(all.width, 1100u);
  EXPECT_EQ(all.height, 1400u);
}

TEST(LogPlots, AColumnWithoutValuesStillPlots) {
  testsupport::TempDir dir;
  std::string text = kStart + std::string(kHeader);
  for (int i = 0; i < 3; ++i) {
    std::string row = Row(i);
    row.replace(row.find(std::to_string(3000 + i)), 4, "####");  // alt never fits
    text += row;
  }
  EXPECT_NO_THROW(panelhost::WriteLogPlot(ParseFlightLog(text, "f"), "p.png"));
  EXPECT_GT(ReadPngSize("p.png").width, 0u);
  EXPECT_THROW(panelhost::WriteLogPlot(ParseFlightLog(kStart + std::string(kHeader), "f"), "q.png"),
               panelhost::Error);
  EXPECT_FALSE(fs::exists("q.png"));
}

// A small picture for the report's snapshots.
void WriteSnapshot(const fs::path& path, std::uint32_t colour) {
  panelhost::Image image;
  image.width = 160;
  image.height = 120;
  image.pixels.assign(160 * 120, 0xFF202020);
  for (int y = 20; y < 100; ++y) {
    for (int x = 30; x < 130; ++x) image.at(x, y) = colour;
  }
  panelhost::WritePng(image, path.string());
}

panelhost::ReportContent SampleReport() {
  panelhost::ReportContent c;
  c.title = "Climb & level-off <scenario>";
  c.subtitle = "scenarios/climb.txt, 600 frames";
  c.summary = {{"frames", "600"},
               {"simulated time", "33.3 s"},
               {"key events", "3 (65634, 65635, 65931)"},
               {"sounds", "1"},
               {"log rows", "81"}};
  c.snapshots = {{"recpanel 0001.png", "recpanel, frame 1"}, {"recpanel_0600.png", "frame 600"}};
  c.animation = {"recpanel.png", "the run, animated"};
  c.logFile = "data_log.txt";
  c.csvFile = "data_log.csv";
  c.notes = {"data_log.txt:84: the last row is cut short (no line end); dropped"};
  return c;
}

TEST(Report, EscapesTextLinksFilesAndShowsMissingOnes) {
  testsupport::TempDir dir;
  WriteSnapshot("recpanel 0001.png", 0xFF30A050);
  Spit("data_log.txt", "x");
  const std::string path = panelhost::WriteReport(dir.path().string(), SampleReport());
  EXPECT_EQ(fs::path(path), dir.path() / "index.html");
  const std::string html = Slurp(path);
  EXPECT_THAT(html, HasSubstr("<h1>Climb &amp; level-off &lt;scenario&gt;</h1>"));
  EXPECT_THAT(html, HasSubstr("<img src=\"recpanel%200001.png\""));
  EXPECT_THAT(html, HasSubstr("missing: recpanel_0600.png"));
  EXPECT_THAT(html, HasSubstr("<a href=\"data_log.txt\">"));
  EXPECT_THAT(html, HasSubstr("missing: data_log.csv"));
  EXPECT_THAT(html, HasSubstr("<th scope=\"row\">key events</th><td>3 (65634, 65635, 65931)</td>"));
  EXPECT_THAT(html, testing::Not(HasSubstr("<script")));
  EXPECT_THAT(html, testing::Not(HasSubstr("http")));
}

// The page of a whole run, opened in headless Chromium: it loads and draws.
TEST(Report, ChromiumShowsThePage) {
  const char* chromium = "/usr/bin/chromium";
  ASSERT_TRUE(fs::exists(chromium)) << "headless Chromium is needed (make setup installs it)";
  testsupport::TempDir dir;
  const fs::path out = dir.path() / "run";
  fs::create_directory(out);
  WriteSnapshot(out / "recpanel 0001.png", 0xFF30A050);
  WriteSnapshot(out / "recpanel_0600.png", 0xFFC04040);
  WriteSnapshot(out / "recpanel.png", 0xFF4060D0);
  const std::string text =
      kStart + std::string(kHeader) + Rows(1, 40) + kHeader + Rows(50, 90) + kEnd;
  Spit(out / "data_log.txt", text);
  const FlightLog log = ParseFlightLog(text, "data_log.txt");
  panelhost::WriteFileReplacing((out / "data_log.csv").string(), panelhost::FlightLogCsv(log));
  panelhost::ReportContent content = SampleReport();
  content.plots = panelhost::WriteLogPlots(log, out.string());
  const std::string page = panelhost::WriteReport(out.string(), content);

  fs::create_directory("profile");
  const fs::path shot = dir.path() / "shot.png";
  const std::string command =
      "timeout 300 " + std::string(chromium) +
      " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
      " --disable-background-networking --disable-component-update --disable-sync"
      " --user-data-dir=" +
      (dir.path() / "profile").string() + " --screenshot=" + shot.string() +
      " --window-size=1200,900 file://" + page;
  const auto r = testsupport::Run(command);
  ASSERT_EQ(r.exitCode, 0) << r.output;
  const PngSize size = ReadPngSize(shot);
  EXPECT_EQ(size.width, 1200u);
  EXPECT_EQ(size.height, 900u);
  EXPECT_GT(fs::file_size(shot), 20000u);  // a page with pictures, not a blank one
  if (const char* keep = std::getenv("PANEL_KEEP_SCREENSHOT"))
    fs::copy_file(shot, keep, fs::copy_options::overwrite_existing);
}

}  // namespace
