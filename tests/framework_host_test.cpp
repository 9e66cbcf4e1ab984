// The frame and panelhost, proved on the tests' own module: validation, the
// life cycle, variables, clicks and rendering.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "host/host.h"
#include "host/render.h"
#include "host/validate.h"
#include "tests/support.h"

namespace {

using panelhost::Gauge;
using panelhost::Host;
using panelhost::Module;
using testsupport::TestModulePath;

struct TestGauge : ::testing::Test {
  std::unique_ptr<Module> module = Module::Load(TestModulePath("testgauge"));
  Host host;
  void SetUp() override {
    host.Attach(*module);
    host.SetTracing(true);
  }
  gauge::GaugeHeaderBase* Header(const char* name) {
    gauge::GaugeHeaderBase* h = module->FindGauge(name);
    EXPECT_NE(h, nullptr) << name;
    return h;
  }
  std::vector<std::string> ServiceNames() const {
    std::vector<std::string> names;
    for (const auto& call : host.trace()) names.push_back(call.service);
    return names;
  }
  std::vector<std::uint32_t> Keys() const {
    std::vector<std::uint32_t> ids;
    for (const auto& k : host.keyEvents()) ids.push_back(k.id);
    return ids;
  }
};

TEST(Validate, PassesTheTestGauge) {
  auto module = Module::Load(TestModulePath("testgauge"));  // as loaded, before any host
  for (const auto& f : panelhost::Validate(*module)) ADD_FAILURE() << panelhost::Describe(f);
  EXPECT_EQ(module->gauges().size(), 2u);
}

// Each broken variant breaks one rule; validate must name that rule and field.
struct BrokenCase {
  int variant;
  const char* check;
  const char* field;
};

class BrokenVariant : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenVariant, NamesTheBrokenField) {
  const BrokenCase& c = GetParam();
  auto module = Module::Load(TestModulePath("testgauge_broken_" + std::to_string(c.variant)));
  const auto findings = panelhost::Validate(*module);
  ASSERT_FALSE(findings.empty()) << "variant " << c.variant << " passed validation";
  bool found = false;
  for (const auto& f : findings) {
    if (f.check == c.check && f.field.find(c.field) != std::string::npos) found = true;
  }
  std::string all;
  for (const auto& f : findings) all += panelhost::Describe(f) + "\n";
  EXPECT_TRUE(found) << "expected " << c.check << " on " << c.field << ", got:\n" << all;
}

INSTANTIATE_TEST_SUITE_P(Validate, BrokenVariant,
                         ::testing::Values(BrokenCase{1, "element.draw-flags", "drawFlags"},
                                           BrokenCase{2, "element.owner", "owner"},
                                           BrokenCase{3, "element.zero-fields", "offset 96"},
                                           BrokenCase{4, "needle.start-point", "startX"},
                                           BrokenCase{5, "needle.calibration", "point 2.value"},
                                           BrokenCase{6, "mouse.list", "kind"},
                                           BrokenCase{7, "mouse.record", "eventMask"},
                                           BrokenCase{8, "module.linkage", "moduleId"},
                                           BrokenCase{9, "element.bitmap", "bitmap 4 of 4"},
                                           BrokenCase{10, "mouse.install-610", "MouseListInstall"},
                                           BrokenCase{11, "gauge.header", "offset 80"},
                                           BrokenCase{12, "module.import-table", "id"}),
                         [](const auto& param) {
                           return "variant" + std::to_string(param.param.variant);
                         });

TEST(ModuleLoad, RejectsWhatIsNotAModule) {
  testsupport::TempDir dir;
  {
    FILE* f = std::fopen("junk.so", "w");
    std::fputs("not a shared object", f);
    std::fclose(f);
  }
  EXPECT_THAT([] { Module::Load("junk.so"); },
              ::testing::ThrowsMessage<panelhost::Error>(::testing::HasSubstr("junk.so")));
  EXPECT_THAT([] { Module::Load("missing.so"); },
              ::testing::ThrowsMessage<panelhost::Error>(::testing::HasSubstr("no such module")));
}

TEST_F(TestGauge, Version700LifeCycleCallsTheCallbackAroundTheRoutines) {
  Gauge g(host, *module, Header("panel700"));
  g.Start(2);
  g.Kill();
  // Service 3 after install, 6 once per frame, 12 before kill.
  EXPECT_THAT(Keys(), ::testing::ElementsAre(90003, 90006, 90006, 90012));
  EXPECT_THAT(
      ServiceNames(),
      ::testing::IsSupersetOf({"ElementListInstall", "ElementListInitialize", "ElementListUpdate",
                               "ElementListGenerate", "ElementListDraw", "ElementListKill"}));
  // Every routine handed over the gauge's own root.
  for (const auto& call : host.trace()) {
    if (call.service.rfind("ElementList", 0) == 0) {
      EXPECT_EQ(call.args[0], reinterpret_cast<std::uintptr_t>(g.root())) << call.service;
    }
  }
  EXPECT_TRUE(host.problems().empty());
}

TEST_F(TestGauge, Version610RoutinesAttachTheMouseListInOrder) {
  Gauge g(host, *module, Header("dial610"));
  g.Install();
  g.Initialize();
  g.Kill();
  EXPECT_THAT(ServiceNames(),
              ::testing::ElementsAre("ElementListInstall", "MouseListInstall", "MouseListRegister",
                                     "InitializeVariable", "ElementListInitialize",
                                     "MouseListUnregister", "ElementListKill"));
  // The install routine read the root's word after the install service filled it.
  EXPECT_EQ(g.MouseInstallAddress(), g.hostWord() + 4);
  EXPECT_EQ(host.trace()[3].args[1], 601u);  // the variable it initializes
  EXPECT_EQ(g.ActiveMouseList(), nullptr);
  EXPECT_TRUE(host.problems().empty());
}

TEST_F(TestGauge, UpdateRefreshesSourcesBeforeEachCallback) {
  Gauge g(host, *module, Header("panel700"));
  host.SetVariable(500, 25.0);
  host.SetVariable(501, 123.9);
  host.SetVariable(502, 2.0);
  host.SetVariable(503, 1.5);
  g.Start(1);
  EXPECT_DOUBLE_EQ(g.State(g.Child(0)).value, 25.0);
  EXPECT_EQ(g.Text(g.Child(1)), "  123");
  EXPECT_EQ(reinterpret_cast<gauge::StringElement700*>(g.Child(1))->textColour, 0x0000FFu);
  EXPECT_DOUBLE_EQ(g.State(g.Child(2)).value, 2.0);
  EXPECT_DOUBLE_EQ(g.State(g.Child(3)).value, 1.5);
  host.SetVariable(501, 7);
  g.Frame();
  EXPECT_EQ(g.Text(g.Child(1)), "    7");
  EXPECT_EQ(reinterpret_cast<gauge::StringElement700*>(g.Child(1))->textColour, 0x00FF00u);
}

TEST_F(TestGauge, ClicksHitTheFirstMatchingAreaWhoseMaskSelectsTheEvent) {
  Gauge g(host, *module, Header("panel700"));
  g.Start(0);
  host.ClearKeyEvents();
  struct Case {
    int x, y;
    std::uint32_t event;
    bool hits;
    std::uint32_t key;
  };
  const Case cases[] = {
      {10, 10, gauge::kMouseLeftClick, true, 70001}, {59, 79, gauge::kMouseLeftClick, true, 70001},
      {60, 0, gauge::kMouseLeftClick, true, 70002},  {119, 40, gauge::kMouseLeftHeld, true, 70002},
      {10, 10, gauge::kMouseLeftHeld, false, 0},     {120, 40, gauge::kMouseLeftClick, false, 0},
      {30, 80, gauge::kMouseLeftClick, false, 0},
  };
  for (const Case& c : cases) {
    host.ClearKeyEvents();
    EXPECT_EQ(g.Click(c.x, c.y, c.event), c.hits) << c.x << "," << c.y;
    if (c.hits) {
      EXPECT_THAT(Keys(), ::testing::ElementsAre(c.key));
    }
  }
  g.Kill();
  EXPECT_FALSE(g.Click(10, 10));  // no list once killed
}

TEST(NeedleBearing, InterpolatesClockwiseThroughThePoints) {
  // Pivot (50,50); points up, right, down, left, up again: a full turn.
  const gauge::NeedleCalibrationPoint full[] = {
      {50, 10, 0, 0}, {90, 50, 25, 0}, {50, 90, 50, 0}, {10, 50, 75, 0}, {50, 10, 100, 0}};
  struct Case {
    double value, bearing;
  };
  const Case cases[] = {{0, 0},   {12.5, 45}, {25, 90}, {50, 180}, {87.5, 315},
                        {100, 0}, {-5, 0},    {150, 0}, {NAN, 0}};
  for (const Case& c : cases) {
    EXPECT_NEAR(std::fmod(panelhost::NeedleBearing(full, 5, 50, 50, c.value), 360.0), c.bearing,
                1e-9)
        << c.value;
  }
  // Two points 90 degrees apart anticlockwise still sweep clockwise (270 degrees).
  const gauge::NeedleCalibrationPoint wide[] = {{90, 50, 0, 0}, {50, 10, 100, 0}};
  EXPECT_NEAR(panelhost::NeedleBearing(wide, 2, 50, 50, 50), 225.0, 1e-9);
}

TEST(IconIndex, FollowsTheSelectionMode) {
  gauge::IconElement700 icon{};
  icon.bitmapCount = 4;
  struct Case {
    std::uint32_t mode;
    double parameter, value;
    int index;
  };
  const Case cases[] = {
      {0, 0, 0, 0}, {0, 0, 3.9, 3}, {0, 0, 4, -1}, {0, 0, -1, -1}, {1, 3, 4, 3}, {1, 3, -2, 0},
      {1, 3, 2, 2}, {3, 0, -1, -1}, {3, 0, 0, 0},  {3, 0, 1, 1},   {3, 0, 9, 3}, {0, 0, NAN, -1},
  };
  for (const Case& c : cases) {
    icon.selectionMode = c.mode;
    icon.selectionParameter = c.parameter;
    EXPECT_EQ(panelhost::IconIndex(icon, c.value), c.index) << c.mode << " " << c.value;
  }
}

// Colours the test gauge's pictures use.
constexpr std::uint32_t kWhite = 0xFFFFFFFF;
constexpr std::uint32_t kGrey = 0xFF606060;
constexpr std::uint32_t kRed = 0xFFFF0000;
constexpr std::uint32_t kBlue = 0xFF0000FF;
constexpr std::uint32_t kYellow = 0xFFFFFF00;

TEST_F(TestGauge, RendersEveryElementKind) {
  Gauge g(host, *module, Header("panel700"));
  host.SetVariable(500, 50.0);  // needle to the point (100,40): due east of the pivot
  host.SetVariable(501, 42);
  host.SetVariable(502, 2.0);  // third lamp: blue
  host.SetVariable(503, 2.0);  // slider 20 px up from y = 60
  g.Start(1);
  const panelhost::Image img = panelhost::RenderGauge(g);
  ASSERT_EQ(img.width, 120);
  ASSERT_EQ(img.height, 80);
  EXPECT_EQ(img.at(2, 78), kGrey);
  EXPECT_EQ(img.at(90, 40), kWhite);  // needle shaft east of the pivot
  EXPECT_EQ(img.at(60, 20), kGrey);   // not north
  EXPECT_EQ(img.at(105, 8), kBlue);
  EXPECT_EQ(img.at(8, 44), kYellow);  // slider moved from y 60 to 40
  EXPECT_EQ(img.at(8, 64), kGrey);
  int textPixels = 0;
  for (int y = 4; y < 15; ++y) {
    for (int x = 4; x < 48; ++x) textPixels += (img.at(x, y) & 0x00FF00) > 0x008000 ? 1 : 0;
  }
  EXPECT_GT(textPixels, 10) << "the green text \"   42\" is drawn";
  // The icon bound to failure 6 with action 2 disappears while it is active.
  host.SetFailure(6, true);
  EXPECT_EQ(panelhost::RenderGauge(g).at(105, 8), kGrey);
}

TEST_F(TestGauge, FullTurnNeedleAndFrozenFailure) {
  Gauge g(host, *module, Header("dial610"));
  host.SetVariable(600, 87.5);  // half way from left (75) to up (100): north-west
  g.Start(1);
  panelhost::Image img = panelhost::RenderGauge(g);
  EXPECT_EQ(img.at(50 - 18, 50 - 18), kWhite);
  EXPECT_NE(img.at(50 + 18, 50 - 18), kWhite);

  Gauge p(host, *module, Header("panel700"));
  host.SetVariable(500, 0.0);
  p.Start(1);
  host.SetFailure(5, true);  // action 1: the needle stays where it was
  host.SetVariable(500, 100.0);
  p.Frame();
  EXPECT_DOUBLE_EQ(p.State(p.Child(0)).value, 0.0);
  host.SetFailure(5, false);
  p.Frame();
  EXPECT_DOUBLE_EQ(p.State(p.Child(0)).value, 100.0);
}

}  // namespace
