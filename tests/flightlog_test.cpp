// The flight data recorder module (flightlog), loaded from the shipped binary
// and driven the way the host drives it: each test loads the module afresh in
// its own temporary working folder, where "data_log.txt" lands.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "host/host.h"
#include "host/validate.h"
#include "tests/support.h"

namespace {

using panelhost::Gauge;
using panelhost::Host;
using panelhost::Module;
using testsupport::ModulePath;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

constexpr std::uint32_t kRed = 0x0000FF;
constexpr std::uint32_t kYellow = 0x00FFFF;
constexpr std::uint32_t kGreen = 0x00FF00;

constexpr std::uint32_t kTickToken = 1;
constexpr std::uint32_t kWarningToken = 67;
constexpr std::uint32_t kIasWord = 700;

constexpr char kHeader[] =
    "index\tTAS\tIAS\talt\tpitch\tclimb\tgforc\tturn\tbank\troll\tprop\thp\tthrst\tAoA\tBeta\tElev"
    "\n";
const std::string kStart = std::string("Recording Enabled\n") + kHeader;
constexpr char kEnd[] = "End recording\n";

// Inside the start/stop lamp and the pause lamp.
constexpr int kStartX = 55, kStartY = 8;
constexpr int kPauseX = 67, kPauseY = 8;

// Whole panel positions of the readouts the tests read most.
struct At {
  int x, y;
};
constexpr At kIndex{4, 4}, kRoll{148, 30}, kTurn{148, 43}, kMph{76, 17}, kTorq{220, 30},
    kRot{364, 4}, kAoA{148, 69}, kLatitude{346, 60}, kLongitude{346, 72};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) parts.push_back(part);
  return parts;
}

std::string Format(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

// Whether this process still holds a descriptor of the folder's log file.
bool LogHeldOpen() {
  const std::filesystem::path log = std::filesystem::absolute("data_log.txt");
  std::error_code ec;
  for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
    std::error_code linkError;
    if (std::filesystem::read_symlink(fd.path(), linkError) == log) return true;
  }
  return false;
}

// An input whose product with k is exactly `target` (found among the doubles
// next to target / k), so that a colour band's edge is met exactly.
double ExactInput(double k, double target) {
  double up = target / k;
  double down = up;
  for (int i = 0; i < 1000; ++i) {
    if (up * k == target) return up;
    if (down * k == target) return down;
    up = std::nextafter(up, kInf);
    down = std::nextafter(down, -kInf);
  }
  ADD_FAILURE() << "no double times " << k << " is exactly " << target;
  return target / k;
}

// The module loaded into its own host, with the recorder panel installed and
// the working folder a fresh temporary one.
class Flightlog : public ::testing::Test {
 protected:
  testsupport::TempDir dir;
  std::unique_ptr<Module> module = Module::Load(ModulePath("flightlog"));
  Host host;
  std::unique_ptr<Gauge> panel;
  std::map<std::string, std::unique_ptr<Gauge>> small;
  double tick = 0;

  void SetUp() override {
    host.Attach(*module);
    panel = Installed("recpanel");
  }

  std::unique_ptr<Gauge> Installed(const char* name) {
    auto g = std::make_unique<Gauge>(host, *module, module->FindGauge(name));
    g->Install();
    g->Initialize();
    return g;
  }
  Gauge& SmallGauge(const std::string& name) {
    auto& g = small[name];
    if (!g) g = Installed(name.c_str());
    return *g;
  }
  Gauge& GaugeNamed(const std::string& name) {
    return name == "recpanel" ? *panel : SmallGauge(name);
  }

  // Drops every gauge and unloads the module, as the host does at its end.
  void Unload() {
    small.clear();
    panel.reset();
    module.reset();
  }

  static gauge::ElementHeader* ElementAt(const Gauge& g, At at, std::uint32_t kind) {
    for (gauge::ElementHeader* e : g.Children()) {
      if (e->x == at.x && e->y == at.y && e->kind == kind) return e;
    }
    ADD_FAILURE() << "no element of kind " << kind << " at " << at.x << "," << at.y;
    return nullptr;
  }
  static gauge::StringElement700& StringAt(const Gauge& g, At at) {
    return *reinterpret_cast<gauge::StringElement700*>(ElementAt(g, at, gauge::kString));
  }
  std::string Text(At at) const { return panel->Text(&StringAt(*panel, at).header); }
  double Value(At at) const { return panel->State(&StringAt(*panel, at).header).value; }

  void Set(std::uint32_t token, double value) { host.SetVariable(token, value); }

  // One panel update, `ticks` ticks after the previous one.
  void Step(int ticks = 0) {
    tick += ticks;
    Set(kTickToken, tick);
    panel->Update();
  }
  // One update that opens the sampling gate.
  void Sample() { Step(9); }

  void StartStop() { ASSERT_TRUE(panel->Click(kStartX, kStartY)); }
  void PauseResume() { ASSERT_TRUE(panel->Click(kPauseX, kPauseY)); }

  double RecordLamp() const { return panel->State(panel->Child(0)).value; }
  double WriteLamp() const { return panel->State(panel->Child(1)).value; }
  int SampleCount() const { return std::stoi(Text(kIndex)); }

  static std::string Log() { return ReadFile("data_log.txt"); }
  static std::vector<std::string> LastRow() {
    const std::vector<std::string> lines = Split(Log(), '\n');
    return lines.empty() ? std::vector<std::string>{} : Split(lines.back(), '\t');
  }
};

// ------------------------------------------------------------------ records

TEST(FlightlogRecords, PassValidationAndListTheTenGaugesInOrder) {
  // As loaded, before any host has filled its fields.
  const auto module = Module::Load(ModulePath("flightlog"));
  for (const auto& f : panelhost::Validate(*module)) {
    if (f.outcome == panelhost::Outcome::kFail) ADD_FAILURE() << panelhost::Describe(f);
  }
  const gauge::ImportEntry* imports = module->importTable();
  EXPECT_EQ(imports[0].id, 0x0Fu);
  EXPECT_EQ(imports[1].id, 0x02u);
  EXPECT_EQ(imports[2].id, 0u);
  EXPECT_EQ(module->linkage()->moduleId, 0x13u);

  struct Row {
    const char* name;
    std::uint32_t width, background;
    bool mouse;
  };
  const Row rows[] = {{"recpanel", 436, 4096, true},    {"airspeed", 44, 8960, false},
                      {"radar_alt", 44, 8960, false},   {"gun_ammo", 44, 8960, false},
                      {"cannon_ammo", 44, 8960, false}, {"hud_mph", 30, 9216, false},
                      {"gforce", 44, 8960, false},      {"mach", 44, 8960, false},
                      {"cg_pct", 44, 8960, false},      {"hp", 44, 8960, false}};
  const auto gauges = module->gauges();
  ASSERT_EQ(gauges.size(), std::size(rows));
  EXPECT_EQ(module->gaugeList()[10], nullptr);
  for (std::size_t i = 0; i < gauges.size(); ++i) {
    SCOPED_TRACE(rows[i].name);
    const auto& h = *reinterpret_cast<gauge::GaugeHeader700*>(gauges[i]);
    EXPECT_STREQ(h.base.name, rows[i].name);
    EXPECT_EQ(h.base.version, 700u);
    EXPECT_EQ(h.base.defaultWidth, rows[i].width);
    EXPECT_EQ(h.mouseAreas != nullptr, rows[i].mouse);
    EXPECT_EQ(h.callback, nullptr);
    ASSERT_NE(h.base.elements[0], nullptr);
    EXPECT_EQ(h.base.elements[1], nullptr);
    EXPECT_EQ(h.base.elements[0]->bitmapId, rows[i].background);
    EXPECT_EQ(h.base.elements[0]->owner, &h.base);
  }
}

TEST_F(Flightlog, RecorderPanelChildListFollowsTheLayoutTable) {
  // kind, position, bitmap and count (icons), the two tokens.
  struct Child {
    std::uint32_t kind;
    int x, y;
    std::uint32_t bitmap;
    int count;
    std::uint32_t token1, token2;
  };
  constexpr std::uint32_t I = gauge::kIcon, T = gauge::kString;
  const Child table[] = {
      {I, 51, 4, 8192, 2, 1, 0},  {I, 63, 4, 8448, 2, 1, 0},  {I, 201, 70, 8704, 1, 67, 0},
      {T, 4, 17, 0, 0, 386, 0},   {T, 292, 17, 0, 0, 783, 0}, {T, 4, 30, 0, 0, 385, 0},
      {T, 292, 4, 0, 0, 391, 0},  {T, 292, 30, 0, 0, 782, 0}, {T, 292, 43, 0, 0, 784, 0},
      {T, 4, 43, 0, 0, 421, 0},   {T, 220, 69, 0, 0, 790, 0}, {T, 76, 56, 0, 0, 80, 0},
      {T, 76, 4, 0, 0, 73, 2},    {T, 76, 17, 0, 0, 61, 0},   {T, 76, 30, 0, 0, 61, 0},
      {T, 76, 43, 0, 0, 84, 0},   {T, 148, 43, 0, 0, 84, 0},  {T, 148, 30, 0, 0, 80, 0},
      {T, 148, 17, 0, 0, 64, 0},  {T, 148, 4, 0, 0, 351, 0},  {T, 148, 56, 0, 0, 65, 0},
      {T, 76, 69, 0, 0, 78, 0},   {T, 220, 4, 0, 0, 390, 0},  {T, 220, 17, 0, 0, 402, 0},
      {T, 220, 56, 0, 0, 702, 0}, {T, 220, 43, 0, 0, 703, 0}, {T, 220, 30, 0, 0, 402, 390},
      {T, 4, 56, 0, 0, 409, 0},   {T, 4, 4, 0, 0, 1, 0},      {T, 292, 56, 0, 0, 342, 0},
      {T, 292, 69, 0, 0, 341, 0}, {T, 148, 69, 0, 0, 789, 0}, {T, 364, 30, 0, 0, 416, 0},
      {T, 364, 43, 0, 0, 418, 0}, {T, 364, 4, 0, 0, 417, 0},  {T, 364, 17, 0, 0, 415, 0},
      {T, 346, 60, 0, 0, 71, 0},  {T, 346, 72, 0, 0, 72, 0},  {T, 4, 69, 0, 0, 795, 0},
  };
  const auto children = panel->Children();
  ASSERT_EQ(children.size(), std::size(table));
  EXPECT_EQ(panel->root()->children[std::size(table)], nullptr);
  for (std::size_t i = 0; i < children.size(); ++i) {
    SCOPED_TRACE("child " + std::to_string(i + 1));
    const Child& c = table[i];
    const gauge::ElementHeader& e = *children[i];
    EXPECT_EQ(e.kind, c.kind);
    EXPECT_EQ(e.x, c.x);
    EXPECT_EQ(e.y, c.y);
    EXPECT_EQ(e.failures, nullptr);
    EXPECT_EQ(e.owner, panel->header());
    if (c.kind == I) {
      const auto& icon = reinterpret_cast<const gauge::IconElement700&>(e);
      EXPECT_EQ(e.bitmapId, c.bitmap);
      EXPECT_EQ(icon.bitmapCount, c.count);
      EXPECT_EQ(icon.selectionMode, 3u);
      EXPECT_EQ(icon.source.token, c.token1);
      continue;
    }
    const auto& s = reinterpret_cast<const gauge::StringElement700&>(e);
    const bool position = c.x == 346;
    EXPECT_EQ(s.source1.token, c.token1);
    EXPECT_EQ(s.source2.token, c.token2);
    EXPECT_EQ(s.source3.token, 0u);
    EXPECT_EQ(s.boxWidth, position ? 88 : 44);
    EXPECT_EQ(s.boxHeight, 11);
    EXPECT_EQ(s.charCount, position ? 10 : 5);
    EXPECT_EQ(s.textColour, kGreen);
    EXPECT_EQ(s.colour2, 0u);
    EXPECT_EQ(s.colour3, 0x5C5C5Cu);
    EXPECT_STREQ(s.fontFace, "Courier New");
    EXPECT_EQ(s.fontWeight, 400u);
    EXPECT_EQ(s.charset, 1u);
    EXPECT_EQ(s.textFormat, 0x25u);
  }
}

TEST_F(Flightlog, MouseListHasTheTwelveHelpAreasAndTheTwoLampButtons) {
  struct Area {
    std::uint32_t kind;
    int x, y, w, h;
    std::uint32_t help;
  };
  const Area table[] = {
      {1, 0, 0, 0, 0, 0},          {1, 4, 17, 44, 12, 43814},  {3, 0, 0, 0, 0, 0},
      {1, 292, 4, 44, 12, 43846},  {3, 0, 0, 0, 0, 0},         {1, 292, 17, 44, 12, 43820},
      {3, 0, 0, 0, 0, 0},          {1, 76, 56, 44, 12, 43789}, {3, 0, 0, 0, 0, 0},
      {1, 76, 4, 44, 12, 43783},   {3, 0, 0, 0, 0, 0},         {1, 76, 17, 44, 12, 43778},
      {3, 0, 0, 0, 0, 0},          {1, 76, 30, 44, 12, 43828}, {3, 0, 0, 0, 0, 0},
      {1, 148, 4, 44, 12, 42268},  {3, 0, 0, 0, 0, 0},         {1, 148, 56, 44, 12, 41734},
      {3, 0, 0, 0, 0, 0},          {1, 76, 69, 44, 12, 43789}, {3, 0, 0, 0, 0, 0},
      {1, 220, 43, 44, 12, 43128}, {3, 0, 0, 0, 0, 0},         {1, 364, 69, 44, 12, 42033},
      {3, 0, 0, 0, 0, 0},          {2, 51, 4, 10, 12, 0},      {2, 63, 4, 10, 12, 0},
      {3, 0, 0, 0, 0, 0},          {0, 0, 0, 0, 0, 0},
  };
  const gauge::MouseArea* list = panel->ActiveMouseList();
  ASSERT_NE(list, nullptr);
  for (std::size_t i = 0; i < std::size(table); ++i) {
    SCOPED_TRACE("mouse area " + std::to_string(i + 1));
    const Area& a = table[i];
    const gauge::MouseArea& m = list[i];
    EXPECT_EQ(m.kind, a.kind);
    EXPECT_EQ(m.x, a.x);
    EXPECT_EQ(m.y, a.y);
    EXPECT_EQ(m.width, a.w);
    EXPECT_EQ(m.height, a.h);
    EXPECT_EQ(m.helpId, a.help);
    EXPECT_EQ(m.cursor, a.kind == 2 ? 5u : 0xFFFFFFFFu);
    EXPECT_EQ(m.eventMask, a.kind == 2 ? 0x20000000u : 0u);
    EXPECT_EQ(m.handler != nullptr, a.kind == 2);
  }
}

TEST_F(Flightlog, SmallGaugesAndHudHoldTheirOwnElements) {
  struct Row {
    const char* gauge;
    std::uint32_t token1, token2;
  };
  const Row rows[] = {{"airspeed", 61, 0},     {"radar_alt", 73, 2}, {"gun_ammo", 357, 0},
                      {"cannon_ammo", 358, 0}, {"gforce", 351, 0},   {"mach", 64, 0},
                      {"cg_pct", 795, 0},      {"hp", 402, 0}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.gauge);
    Gauge& g = SmallGauge(r.gauge);
    const auto children = g.Children();
    ASSERT_EQ(children.size(), 1u);
    const auto& s = reinterpret_cast<const gauge::StringElement700&>(*children[0]);
    EXPECT_EQ(s.header.kind, gauge::kString);
    EXPECT_EQ(s.header.x, 0);
    EXPECT_EQ(s.header.y, 0);
    EXPECT_EQ(s.header.owner, g.header());
    EXPECT_EQ(s.source1.token, r.token1);
    EXPECT_EQ(s.source2.token, r.token2);
    EXPECT_EQ(s.charCount, 5);
  }
  Gauge& hud = SmallGauge("hud_mph");
  const auto digits = hud.Children();
  ASSERT_EQ(digits.size(), 3u);
  const std::uint32_t tokens[] = {0, 0, 61};
  for (int i = 0; i < 3; ++i) {
    const auto& icon = reinterpret_cast<const gauge::IconElement700&>(*digits[i]);
    EXPECT_EQ(icon.header.x, 10 * i);
    EXPECT_EQ(icon.header.bitmapId, 9472u);
    EXPECT_EQ(icon.bitmapCount, 10);
    EXPECT_EQ(icon.selectionMode, 0u);
    EXPECT_EQ(icon.source.token, tokens[i]);
  }
}

TEST_F(Flightlog, BitmapsHaveTheirSizesAndThePanelItsBoxes) {
  struct Size {
    std::uint32_t id;
    int w, h;
  };
  std::vector<Size> sizes = {{4096, 436, 85}, {8192, 10, 12}, {8193, 10, 12}, {8448, 10, 12},
                             {8449, 10, 12},  {8704, 9, 9},   {8960, 44, 12}, {9216, 30, 11}};
  for (std::uint32_t id = 9472; id <= 9491; ++id) sizes.push_back({id, 10, 11});
  for (const Size& s : sizes) {
    SCOPED_TRACE(s.id);
    const panelhost::Bitmap& b = module->DecodedBitmap(s.id);
    EXPECT_EQ(b.bitsPerPixel, 8);
    EXPECT_EQ(b.image.width, s.w);
    EXPECT_EQ(b.image.height, s.h);
  }
  const panelhost::Image& p = module->DecodedBitmap(4096).image;
  const std::uint32_t grey = 0xFF606060, light = 0xFFE8E8E8, dark = 0xFF202020;
  EXPECT_EQ(p.at(200, 0), light);  // top edge
  EXPECT_EQ(p.at(0, 40), light);   // left edge
  EXPECT_EQ(p.at(2, 40), grey);
  EXPECT_EQ(p.at(4, 4), light);     // outline of the first box
  EXPECT_EQ(p.at(47, 15), light);   // its far corner
  EXPECT_EQ(p.at(20, 10), dark);    // inside it
  EXPECT_EQ(p.at(407, 50), light);  // the last box of the sixth column
  EXPECT_EQ(p.at(400, 50), dark);
  EXPECT_EQ(p.at(346, 60), dark);  // position box, both corners
  EXPECT_EQ(p.at(434, 83), dark);
  EXPECT_EQ(p.at(435, 83), grey);
  const panelhost::Image& green = module->DecodedBitmap(8192).image;
  const panelhost::Image& red = module->DecodedBitmap(8193).image;
  EXPECT_GT((green.at(1, 1) >> 8) & 0xFF, (green.at(1, 1) >> 16) & 0xFF);
  EXPECT_GT((red.at(1, 1) >> 16) & 0xFF, (red.at(1, 1) >> 8) & 0xFF);
}

// ------------------------------------------------------------------ recorder

TEST_F(Flightlog, ClickAreasCoverExactlyTheTwoLamps) {
  struct Point {
    int x, y;
    bool hits;
  };
  const Point points[] = {{51, 4, true},   {60, 15, true},  {63, 4, true},   {72, 15, true},
                          {50, 4, false},  {61, 8, false},  {62, 8, false},  {73, 8, false},
                          {55, 3, false},  {55, 16, false}, {67, 16, false}, {20, 10, false},
                          {300, 60, false}};
  for (const Point& p : points) {
    EXPECT_EQ(panel->Click(p.x, p.y), p.hits) << p.x << "," << p.y;
  }
  // Every path of both handlers returns 1: idle pause, start, pause, resume,
  // stop; then a start that cannot open the log.
  const gauge::MouseArea* list = panel->ActiveMouseList();
  const auto startStop = list[25].handler;
  const auto pauseResume = list[26].handler;
  std::filesystem::remove("data_log.txt");
  EXPECT_EQ(pauseResume(0, 0), 1);
  EXPECT_EQ(startStop(0, 0), 1);
  EXPECT_EQ(pauseResume(0, 0), 1);
  EXPECT_EQ(pauseResume(0, 0), 1);
  EXPECT_EQ(startStop(0, 0), 1);
  std::filesystem::remove("data_log.txt");
  std::filesystem::create_directory("data_log.txt");
  EXPECT_EQ(startStop(0, 0), 1);
}

TEST_F(Flightlog, StateTableOfTheTwoControls) {
  enum Click { kStartStop, kPauseResume };
  struct Row {
    const char* what;
    Click click;
    double recordLamp, writeLamp;  // 0 green, 1 red
    std::string file;              // whole content afterwards
    bool open;
  };
  const Row rows[] = {
      {"start", kStartStop, 0, 0, kStart, true},
      {"pause", kPauseResume, 0, 1, kStart, true},
      {"resume", kPauseResume, 0, 0, kStart + kHeader, true},
      {"pause again", kPauseResume, 0, 1, kStart + kHeader, true},
      {"stop while paused", kStartStop, 1, 1, kStart + kHeader + kEnd, false},
      {"pause while idle", kPauseResume, 1, 1, kStart + kHeader + kEnd, false},
      {"start again truncates", kStartStop, 0, 0, kStart, true},
      {"stop while writing", kStartStop, 1, 1, kStart + kEnd, false},
  };
  Step();
  EXPECT_EQ(RecordLamp(), 1.0);
  EXPECT_EQ(WriteLamp(), 1.0);
  EXPECT_FALSE(std::filesystem::exists("data_log.txt"));
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    if (r.click == kStartStop) {
      StartStop();
    } else {
      PauseResume();
    }
    Step();
    EXPECT_EQ(RecordLamp(), r.recordLamp);
    EXPECT_EQ(WriteLamp(), r.writeLamp);
    EXPECT_EQ(Log(), r.file);
    EXPECT_EQ(LogHeldOpen(), r.open);
  }
}

TEST_F(Flightlog, FailedOpenStaysIdleAndRestartsTheCount) {
  Sample();
  Sample();
  EXPECT_EQ(Text(kIndex), "    2");
  std::filesystem::create_directory("data_log.txt");
  StartStop();
  Step();
  EXPECT_EQ(RecordLamp(), 1.0);
  EXPECT_EQ(WriteLamp(), 1.0);
  EXPECT_EQ(Text(kIndex), "    0");
  PauseResume();  // still idle: ignored
  Sample();
  EXPECT_EQ(Text(kIndex), "    1");
  EXPECT_FALSE(LogHeldOpen());
}

TEST_F(Flightlog, RowsContinueTheCountAndJumpOverAPause) {
  Sample();
  Sample();  // two samples before recording: the first row is index 2
  StartStop();
  Sample();
  Sample();
  PauseResume();
  Sample();
  Sample();
  Sample();
  PauseResume();
  Sample();
  StartStop();
  const std::vector<std::string> lines = Split(Log(), '\n');
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], "Recording Enabled");
  EXPECT_EQ(lines[1] + "\n", kHeader);
  EXPECT_EQ(Split(lines[2], '\t')[0], "    2");
  EXPECT_EQ(Split(lines[3], '\t')[0], "    3");
  EXPECT_EQ(lines[4] + "\n", kHeader);  // the header again after resuming
  EXPECT_EQ(Split(lines[5], '\t')[0], "    7");
  EXPECT_EQ(lines[6], "End recording");
  for (int i : {2, 3, 5}) EXPECT_EQ(Split(lines[i], '\t').size(), 16u);
}

TEST_F(Flightlog, TickGateOpensAfterMoreThanEightTicks) {
  // The tick (token 1) for each update, and the count of samples after it.
  struct Row {
    double tick;
    int samples;
  };
  const Row rows[] = {
      {0, 0},   {8, 0},   {8.9, 0},           // whole part 8: not enough
      {9, 1},   {9, 1},   {9, 1},             // the same tick again: no second sample
      {17, 1},  {18, 2},  {100, 3}, {50, 3},  // backwards: the gate waits
      {108, 3}, {109, 4}, {118, 5}, {-5, 5}, {-1e12, 5}, {126, 5}, {127, 6},
  };
  for (const Row& r : rows) {
    Set(kTickToken, r.tick);
    panel->Update();
    EXPECT_EQ(SampleCount(), r.samples) << "tick " << r.tick;
  }
}

TEST_F(Flightlog, RowsReachTheDiskAsWrittenAndUnloadClosesTheLog) {
  StartStop();
  Set(80, 12.0);
  Sample();
  // Read back while recording: the row is already in the file.
  std::vector<std::string> lines = Split(Log(), '\n');
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(Split(lines[2], '\t')[8], "   12");  // bank
  Sample();
  EXPECT_EQ(Split(Log(), '\n').size(), 4u);
  EXPECT_TRUE(LogHeldOpen());

  Unload();
  EXPECT_FALSE(LogHeldOpen());
  lines = Split(Log(), '\n');
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(Split(lines[3], '\t')[0], "    1");
}

TEST_F(Flightlog, RowCarriesThisUpdateBeforeRollAndThePreviousOneAfterIt) {
  StartStop();
  // Tokens of two readouts listed before Roll (Bank, MPH) and two after (Climb, Hp).
  Set(80, 10);
  Set(61, 100);
  Set(65, 1000);
  Set(402, 110000);
  Step();
  Set(80, 20);
  Set(61, 200);
  Set(65, 2000);
  Set(402, 220000);
  Sample();
  const std::vector<std::string> row = LastRow();
  ASSERT_EQ(row.size(), 16u);
  EXPECT_EQ(row[8], "   20");                        // bank: this update
  EXPECT_EQ(row[1], Format("%5.1f", 200 * 1.1517));  // TAS: this update
  EXPECT_EQ(row[5], "  768");                        // climb: previous update (1000)
  EXPECT_EQ(row[11], "  200");                       // hp: previous update (110000)
}

TEST_F(Flightlog, LogBoundsValuesBeyondWholeNumbers) {
  StartStop();
  Set(73, kInf);    // alt
  Set(65, kNaN);    // climb
  Set(402, -kInf);  // hp
  Set(702, 1e12);   // thrst
  Step();
  Sample();
  const std::vector<std::string> row = LastRow();
  ASSERT_EQ(row.size(), 16u);
  EXPECT_EQ(row[3], "2147483647");
  EXPECT_EQ(row[5], "    0");
  EXPECT_EQ(row[11], "-2147483648");
  EXPECT_EQ(row[12], "2147483647");
}

// ------------------------------------------------------------------ readouts

struct ReadoutCase {
  const char* gauge;
  At at;
  double v, w;  // the element's first and second variable
  const char* text;
  std::uint32_t colour;
  int logColumn;  // 1-based column of the log row it feeds, or 0
  const char* logged;
  double returns;
};

constexpr char kPanel[] = "recpanel";

// clang-format off
const ReadoutCase kReadoutCases[] = {
    // The recorder panel: gauge, position, v, w, text, colour, log column and its text, returns
    {kPanel, {4, 17},   12.34,  0,    " 12.3", kGreen,  0,  "",      12.34},
    {kPanel, {4, 30},   7.26,   0,    "  7.3", kGreen,  0,  "",      7.26},
    {kPanel, {4, 43},   60,     0,    "10.00", kGreen,  0,  "",      60 * 0.1666667},
    {kPanel, {4, 56},   12.9,   0,    "   12", kGreen,  0,  "",      12.9},
    {kPanel, {4, 56},   -0.7,   0,    "    0", kGreen,  0,  "",      -0.7},
    {kPanel, {4, 69},   0.253,  0,    " 25.3", kGreen,  0,  "",      0.253 * 100},
    {kPanel, {76, 4},   1000,   0,    " 3280", kGreen,  4,  " 3280", 1000 * 3.28084},
    {kPanel, {76, 17},  100,    0,    "115.2", kGreen,  2,  "115.2", 100 * 1.1517},
    {kPanel, {76, 30},  999,    0,    "360.0", kYellow, 3,  "360.0", 40000 * 0.009},
    {kPanel, {76, 43},  271.9,  0,    "  271", kGreen,  0,  "",      271.9},
    {kPanel, {76, 56},  -30.26, 0,    "-30.3", kGreen,  9,  "  -30", -30.26},
    {kPanel, {76, 69},  4.44,   0,    " -4.4", kGreen,  5,  "-4.44", -4.44},
    {kPanel, {76, 69},  0,      0,    "  0.0", kGreen,  5,  " 0.00", 0},
    {kPanel, {148, 4},  2420,   0,    " 4.00", kYellow, 7,  " 4.00", 2420 * 0.001652893},
    {kPanel, {148, 17}, 10000,  0,    "0.472", kGreen,  0,  "",      10000 * 0.0000472},
    {kPanel, {148, 56}, -1000,  0,    " -768", kGreen,  6,  " -768", -1000 * 0.76875},
    {kPanel, {148, 69}, 0.1,    0,    "  5.7", kGreen,  14, " 5.73", 0.1},
    {kPanel, {220, 4},  2400.5, 0,    " 2400", kGreen,  0,  "",      2400.5},
    {kPanel, {220, 17}, 550000, 0,    " 1000", kGreen,  12, " 1000", 550000 * 0.0018182},
    {kPanel, {220, 30}, 550000, 1999, " 2626", kGreen,  0,  "",      550000 * 0.0018182 * 5252 /
                                                                     2000},
    {kPanel, {220, 30}, 550000, 0,    "#####", kGreen,  0,  "",      550000 * 0.0018182 * 5252},
    {kPanel, {220, 43}, 0.5,    0,    " 28.6", kGreen,  11, "   28", 0.5},
    {kPanel, {220, 56}, 1234.9, 0,    " 1234", kGreen,  13, " 1234", 1234.9},
    {kPanel, {220, 69}, -0.05,  0,    " -2.9", kGreen,  15, "-2.86", -0.05},
    {kPanel, {292, 4},  5000,   0,    " 70.7", kGreen,  0,  "",      5000 * 0.014139},
    {kPanel, {292, 17}, 0.01,   0,    " 0.57", kGreen,  0,  "",      0.01 * 57.29579143313326},
    {kPanel, {292, 30}, 0.1,    0,    "  5.7", kGreen,  16, "  5.7", 0.1 * 57.29578},
    {kPanel, {292, 43}, -0.1,   0,    " -5.7", kGreen,  0,  "",      -0.1 * 57.29578},
    {kPanel, {292, 56}, 10000,  0,    "18.5#", kGreen,  0,  "",      10000 * 0.0018467021875},
    {kPanel, {292, 69}, 20,     0,    "68.0F", kGreen,  0,  "",      20},
    {kPanel, {364, 4},  660,    0,    " 200F", kGreen,  0,  "",      660 - 459.7},
    {kPanel, {364, 17}, 860.2,  0,    " 400F", kGreen,  0,  "",      860.2 - 459.7},
    {kPanel, {364, 30}, 600,    0,    " 140F", kGreen,  0,  "",      600 - 459.7},
    {kPanel, {364, 43}, 10000,  0,    "  69#", kGreen,  0,  "",      10000 * 0.006944},
    // The small text gauges.
    {"airspeed",    {0, 0}, 100,    0,     "  115", kGreen,  0, "", 100 * 1.1517},
    {"radar_alt",   {0, 0}, 1000,   25600, " 2952", kYellow, 0, "", 1000 * 3.28084 -
                                                                     25600 * 0.01281578125},
    {"gun_ammo",    {0, 0}, 250,    0,     "  250", kGreen,  0, "", 250},
    {"cannon_ammo", {0, 0}, 120.6,  0,     "  120", kGreen,  0, "", 120.6},
    {"gforce",      {0, 0}, -2420,  0,     "-4.00", kGreen,  0, "", -2420 * 0.001652893},
    {"mach",        {0, 0}, 14000,  0,     "0.661", kYellow, 0, "", 14000 * 0.0000472},
    {"cg_pct",      {0, 0}, 0.3,    0,     " 30.0", kGreen,  0, "", 0.3 * 100},
    {"hp",          {0, 0}, 110000, 0,     "  200", kGreen,  0, "", 110000 * 0.0018182},
};
// clang-format on

TEST_F(Flightlog, EveryReadoutConvertsFormatsColoursAndLogs) {
  host.SetDataWord(kIasWord, 40000);  // read by IAS alone
  StartStop();
  for (const ReadoutCase& c : kReadoutCases) {
    SCOPED_TRACE(std::string(c.gauge) + " at " + std::to_string(c.at.x) + "," +
                 std::to_string(c.at.y) + " v=" + std::to_string(c.v));
    Gauge& g = GaugeNamed(c.gauge);
    gauge::StringElement700& s = StringAt(g, c.at);
    Set(s.source1.token, c.v);
    if (s.source2.token != 0) Set(s.source2.token, c.w);
    // One update to deposit, one that samples: every cached value is this case's.
    g.Update();
    if (&g == panel.get()) {
      Step();
      Sample();
    }
    EXPECT_EQ(g.Text(&s.header), c.text);
    EXPECT_EQ(s.textColour, c.colour);
    EXPECT_DOUBLE_EQ(g.State(&s.header).value, c.returns);
    if (c.logColumn != 0) {
      const std::vector<std::string> row = LastRow();
      ASSERT_EQ(row.size(), 16u);
      EXPECT_EQ(row[static_cast<std::size_t>(c.logColumn - 1)], c.logged);
    }
  }
  EXPECT_THAT(host.problems(), ::testing::IsEmpty());
}

TEST_F(Flightlog, ColourBandsMeetTheirEdges) {
  // A value exactly at an edge, then the nearest value beyond it (away from 0).
  struct Edge {
    const char* gauge;
    At at;
    double k;
    double edge;
    std::uint32_t atEdge, beyond;
  };
  const Edge edges[] = {
      {"recpanel", kMph, 1.1517, 500, kYellow, kRed},
      {"recpanel", kMph, 1.1517, 300, kGreen, kYellow},
      {"airspeed", {0, 0}, 1.1517, 500, kYellow, kRed},
      {"airspeed", {0, 0}, 1.1517, 300, kGreen, kYellow},
      {"recpanel", {148, 4}, 0.001652893, 8, kYellow, kRed},
      {"recpanel", {148, 4}, 0.001652893, -8, kYellow, kRed},
      {"recpanel", {148, 4}, 0.001652893, 3, kGreen, kYellow},
      {"recpanel", {148, 4}, 0.001652893, -3, kGreen, kYellow},
      {"gforce", {0, 0}, 0.001652893, 9, kYellow, kRed},
      {"gforce", {0, 0}, 0.001652893, -9, kYellow, kRed},
      {"gforce", {0, 0}, 0.001652893, 6, kGreen, kYellow},
      {"gforce", {0, 0}, 0.001652893, -6, kGreen, kYellow},
      {"mach", {0, 0}, 0.0000472, 0.7, kYellow, kRed},
      {"mach", {0, 0}, 0.0000472, 0.5, kGreen, kYellow},
  };
  for (const Edge& e : edges) {
    SCOPED_TRACE(std::string(e.gauge) + " edge " + std::to_string(e.edge));
    Gauge& g = GaugeNamed(e.gauge);
    gauge::StringElement700& s = StringAt(g, e.at);
    const double v = ExactInput(e.k, e.edge);
    Set(s.source1.token, v);
    g.Update();
    EXPECT_EQ(s.textColour, e.atEdge);
    double past = v;
    while (past * e.k == e.edge) past = std::nextafter(past, e.edge > 0 ? kInf : -kInf);
    Set(s.source1.token, past);
    g.Update();
    EXPECT_EQ(s.textColour, e.beyond);
  }

  // Terrain: clearance = altitude - ground, exactly 500 and 3000, then a hair less.
  const double altitude = 1000;  // metres; the ground (token 2) sets the clearance
  const double ground = 0.01281578125;
  struct Terrain {
    const char* gauge;
    At at;
  };
  for (const Terrain t : {Terrain{"recpanel", {76, 4}}, Terrain{"radar_alt", {0, 0}}}) {
    Gauge& g = GaugeNamed(t.gauge);
    gauge::StringElement700& s = StringAt(g, t.at);
    Set(s.source1.token, altitude);
    for (const auto& [clearance, atEdge, below] :
         {std::tuple{500.0, kYellow, kRed}, std::tuple{3000.0, kGreen, kYellow}}) {
      SCOPED_TRACE(std::string(t.gauge) + " clearance " + std::to_string(clearance));
      const double w = ExactInput(ground, altitude * 3.28084 - clearance);
      ASSERT_EQ(altitude * 3.28084 - w * ground, clearance);
      Set(s.source2.token, w);
      g.Update();
      EXPECT_EQ(s.textColour, atEdge);
      double past = w;
      while (altitude * 3.28084 - past * ground == clearance) past = std::nextafter(past, kInf);
      Set(s.source2.token, past);
      g.Update();
      EXPECT_EQ(s.textColour, below);
    }
  }
}

TEST_F(Flightlog, WarningLampLightsAndColoursAoAInTheSameUpdate) {
  const gauge::ElementHeader* lamp = panel->Child(2);
  gauge::StringElement700& aoa = StringAt(*panel, kAoA);
  Set(kWarningToken, 0.9);  // whole part 0: off
  Step();
  EXPECT_EQ(panel->State(lamp).value, -1.0);
  EXPECT_EQ(aoa.textColour, kGreen);
  Set(kWarningToken, -1);
  Step();
  EXPECT_EQ(panel->State(lamp).value, 0.0);
  EXPECT_EQ(aoa.textColour, kRed);
  Set(kWarningToken, 0);
  Step();
  EXPECT_EQ(aoa.textColour, kGreen);
}

TEST_F(Flightlog, RotKeepsItsTextWhileTheWholePartIsZero) {
  Set(417, 660);
  Step();
  EXPECT_EQ(Text(kRot), " 200F");
  for (double v : {0.0, 0.99, -0.99}) {
    Set(417, v);
    Step();
    EXPECT_EQ(Text(kRot), " 200F") << v;
    EXPECT_EQ(Value(kRot), v);
  }
  Set(417, 1);
  Step();
  EXPECT_EQ(Text(kRot), "-458F");
}

TEST_F(Flightlog, IasReadsTheDataBlockNotItsVariable) {
  host.SetDataWord(kIasWord, 10000);
  Set(61, 100);
  Step();
  EXPECT_EQ(Text({76, 30}), " 90.0");
  Set(61, 300);
  Step();
  EXPECT_EQ(Text({76, 30}), " 90.0");
  EXPECT_EQ(Text(kMph), Format("%5.1f", 300 * 1.1517));
}

TEST_F(Flightlog, TextsFitTheirBoxForExtremeValues) {
  const double extremes[] = {kInf,    -kInf,    kNaN, 1e300, -1e300, 2147483648.0, -2147483649.0,
                             99999.9, -99999.9, 1e9,  -1e9,  0.0,    -0.0};
  std::vector<std::string> names = {"recpanel"};
  for (const gauge::GaugeHeaderBase* h : module->gauges()) names.push_back(h->name);
  for (double x : extremes) {
    for (const std::string& name : names) {
      Gauge& g = GaugeNamed(name);
      for (gauge::ElementHeader* e : g.Children()) {
        if (e->kind != gauge::kString) continue;
        auto& s = reinterpret_cast<gauge::StringElement700&>(*e);
        Set(s.source1.token, x);
        if (s.source2.token != 0) Set(s.source2.token, x);
      }
      Set(kTickToken, tick += 9);
      g.Update();
      for (gauge::ElementHeader* e : g.Children()) {
        if (e->kind != gauge::kString) continue;
        const auto& s = reinterpret_cast<const gauge::StringElement700&>(*e);
        const std::string text = g.Text(e);
        SCOPED_TRACE(::testing::Message() << name << " at " << e->x << "," << e->y << " value " << x
                                          << ": \"" << text << "\"");
        EXPECT_LE(text.size(), static_cast<std::size_t>(s.charCount));
        // Either the whole number or the overflow mark, never a number cut short.
        const bool mark = text.find('#') != std::string::npos &&
                          text.find_first_of("0123456789") == std::string::npos;
        if (mark) {
          EXPECT_EQ(text.size(), static_cast<std::size_t>(s.charCount));
          EXPECT_THAT(text, ::testing::MatchesRegex("-?#+"));
        }
      }
    }
  }
  EXPECT_THAT(host.problems(), ::testing::IsEmpty());

  // Which texts a few of them give.
  struct Row {
    At at;
    std::uint32_t token;
    double v;
    const char* text;
  };
  const Row rows[] = {
      {kMph, 61, 1e6, "#####"},       {kMph, 61, -1e6, "-####"},
      {kMph, 61, kNaN, "#####"},      {kMph, 61, -kInf, "-####"},
      {{4, 56}, 409, 99999, "99999"}, {{4, 56}, 409, 100000, "#####"},
      {{4, 56}, 409, -9999, "-9999"}, {{4, 56}, 409, -10000, "-####"},
      {{4, 56}, 409, kNaN, "    0"},  {{364, 43}, 418, 1439999, "9999#"},
  };
  for (const Row& r : rows) {
    Set(r.token, r.v);
    Step();
    EXPECT_EQ(Text(r.at), r.text) << r.v;
  }

  // Torque with an engine speed of -1 divides by zero: 0/0 shows 0, x/0 the mark.
  Set(390, -1);
  Set(402, 0);
  Step();
  EXPECT_EQ(Text(kTorq), "    0");
  Set(402, 1000);
  Step();
  EXPECT_EQ(Text(kTorq), "#####");
  Set(402, -1000);
  Step();
  EXPECT_EQ(Text(kTorq), "-####");
}

// ------------------------------------------------------------- rates, position, hud

TEST_F(Flightlog, RatesWrapAndDivideByTheTicksBetweenSamples) {
  struct Case {
    At at;
    std::uint32_t token;
    double from, to;
    int ticks;
    const char* text;
  };
  // clang-format off
  const Case cases[] = {
      {kTurn, 84, 359, 1,    9,  "    4"},  // wraps the short way round
      {kTurn, 84, 1,   359,  9,  "   -4"},
      {kRoll, 80, 0,   10,   9,  "  -20"},  // roll rate has the opposite sign
      {kTurn, 84, 0,   180,  9,  "  360"},  // exactly 180: not wrapped
      {kTurn, 84, 0,   181,  9,  " -358"},  // 181 is -179
      {kTurn, 84, 180, 0,    9,  " -360"},  // exactly -180: not wrapped
      {kTurn, 84, 181, 0,    9,  "  358"},
      {kTurn, 84, 0,   7,    10, "   12"},  // 126 / 10, toward zero
      {kRoll, 80, 0,   7,    10, "  -12"},
      {kTurn, 84, 0.9, 1.1,  9,  "    2"},  // whole parts are differenced
      {kTurn, 84, 0,   -0.9, 9,  "    0"},
      {kTurn, 84, 0,   1000, 9,  " -160"},  // beyond a circle: whole turns taken away
      {kRoll, 80, 0,   -1e12, 9, "  256"},  // INT32_MIN less 5965232 turns: -128
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.from) + " to " + std::to_string(c.to) + " in " +
                 std::to_string(c.ticks));
    Set(c.token, c.from);
    Sample();
    Set(c.token, c.to);
    Step(c.ticks);
    EXPECT_EQ(Text(c.at), c.text);
    EXPECT_EQ(Value(c.at), c.to);
  }
}

TEST_F(Flightlog, FirstRateDiffersFromZeroAndHoldsBetweenSamples) {
  Set(84, 90);
  Set(80, 45);
  Set(kTickToken, 18);
  panel->Update();
  EXPECT_EQ(Text(kTurn), "   90");  // 18 * 90 / 18
  EXPECT_EQ(Text(kRoll), "  -45");
  Set(84, 120);
  Set(kTickToken, 26);  // 8 ticks: no sample, the last rates stay
  panel->Update();
  EXPECT_EQ(Text(kTurn), "   90");
  EXPECT_EQ(Text(kRoll), "  -45");
  Set(kTickToken, 27);
  panel->Update();
  EXPECT_EQ(Text(kTurn), "   60");  // 18 * 30 / 9
  EXPECT_EQ(Text(kRoll), "    0");
}

TEST_F(Flightlog, LatitudeAndLongitudeTexts) {
  const double latitudeSeconds = 0.0647886 / 2;    // per unit of token 71
  const double longitudeDegrees = 1.27897692e-12;  // per unit of token 72
  const double east180 = ExactInput(longitudeDegrees, 180);
  struct Case {
    At at;
    std::uint32_t token;
    double v;
    const char* text;
  };
  // clang-format off
  const Case cases[] = {
      {kLatitude, 71, (47 + 6.5 / 60) * 3600 / latitudeSeconds,    "N 47 06.50"},
      {kLatitude, 71, 0,                                           "N 00 00.00"},
      {kLatitude, 71, -(33 + 52.0 / 60) * 3600 / latitudeSeconds,  "S 33 52.00"},
      {kLatitude, 71, (11 - 1e-5) * 3600 / latitudeSeconds,        "N 10 60.00"},  // never carried
      {kLatitude, 71, 150 * 3600 / latitudeSeconds,                "##########"},
      {kLatitude, 71, kInf,                                        "##########"},
      {kLatitude, 71, kNaN,                                        "##########"},
      {kLongitude, 72, (360 - 122 - 19.75 / 60) / longitudeDegrees, "W122 19.75"},
      {kLongitude, 72, east180,                                    "E180 00.00"},
      {kLongitude, 72, 180.5 / longitudeDegrees,                   "W179 30.00"},
      {kLongitude, 72, 0,                                          "E000 00.00"},
      {kLongitude, 72, -4.5 / longitudeDegrees,                    "E-05 30.00"},
      {kLongitude, 72, -200 / longitudeDegrees,                    "-#########"},
      {kLongitude, 72, -kInf,                                      "-#########"},
  };
  // clang-format on
  for (const Case& c : cases) {
    Set(c.token, c.v);
    Step();
    EXPECT_EQ(Text(c.at), c.text) << c.v;
  }
  // Each returns its position: latitude in seconds of arc (unsigned), longitude in degrees.
  Set(71, -1000);
  Set(72, east180);
  Step();
  EXPECT_DOUBLE_EQ(Value(kLatitude), 1000 * 0.0647886 / 2);
  EXPECT_EQ(Value(kLongitude), 180.0);
}

TEST_F(Flightlog, HudMphShowsThreeDigitsOfTheSpeed) {
  Gauge& hud = SmallGauge("hud_mph");
  const auto digits = hud.Children();
  auto shown = [&] {
    std::string s;
    for (const gauge::ElementHeader* d : digits)
      s += std::to_string(static_cast<int>(hud.State(d).value));
    return s;
  };
  // Before the units icon has formatted a speed, the two others show 0.
  Set(61, 200);
  hud.Update();
  EXPECT_EQ(shown(), "000");
  hud.Update();
  EXPECT_EQ(shown(), "230");  // 200 * 1.1517 = 230.34

  // Hundreds and tens show the speed of the previous update, units the new one.
  Set(61, 57.8 / 1.1517);
  hud.Update();
  EXPECT_EQ(shown(), "237");
  hud.Update();
  EXPECT_EQ(shown(), "057");

  struct Case {
    double mph;
    const char* digits;
  };
  const Case cases[] = {{0, "000"},   {9.99, "009"}, {999.9, "999"}, {1234, "999"},
                        {-57, "000"}, {kInf, "999"}, {kNaN, "000"},  {-kInf, "000"}};
  for (const Case& c : cases) {
    Set(61, c.mph / 1.1517);
    hud.Update();
    hud.Update();
    EXPECT_EQ(shown(), c.digits) << c.mph;
  }
}

}  // namespace
