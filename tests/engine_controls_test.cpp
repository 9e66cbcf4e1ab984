// The engine controls (ignition_selector "mag", starter_crank "handle",
// fuel_ratio_lever "mixture"), the GaugeSound library and panelhost's engine
// model, driven through the loaded module binaries the way the host drives
// them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine_controls/fuel_ratio_lever/mixture_geometry.h"
#include "engine_controls/ignition_selector/selector_geometry.h"
#include "engine_controls/starter_crank/crank_geometry.h"
#include "host/engine_model.h"
#include "host/host.h"
#include "host/validate.h"
#include "sound/gauge_sound.h"
#include "tests/support.h"

namespace {

namespace fs = std::filesystem;
using panelhost::EngineModel;
using panelhost::Gauge;
using panelhost::Host;
using panelhost::Module;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using testsupport::ModulePath;
using testsupport::TempDir;

constexpr std::uint32_t kTowardZero = 65634;
constexpr std::uint32_t kTowardTwo = 65635;
constexpr std::uint32_t kStarterCrank = 65931;
constexpr std::uint32_t kStarterEngage = 65932;
constexpr std::uint32_t kRicher = 65775;
constexpr std::uint32_t kLeaner = 65777;
constexpr const char* kSoundPath = "SOUND\\QLMT_Zx401_sw1.wav";

// Points inside the selector's right-hand (step up) and left-hand areas.
constexpr int kRightX = 250, kLeftX = 60, kSelectorY = 150;

// One module, a host and one installed-on-demand gauge.
struct Panel {
  std::unique_ptr<Module> module;
  Host host;
  std::unique_ptr<Gauge> gauge;

  Panel(const char* moduleName, const char* gaugeName)
      : module(Module::Load(ModulePath(moduleName))) {
    host.Attach(*module);
    gauge = std::make_unique<Gauge>(host, *module, module->FindGauge(gaugeName));
  }
  ~Panel() { gauge.reset(); }

  std::vector<std::uint32_t> Keys() const {
    std::vector<std::uint32_t> ids;
    for (const auto& k : host.keyEvents()) ids.push_back(k.id);
    return ids;
  }
  // "operation result" per sound call, e.g. "play 1".
  std::vector<std::string> Sounds() const {
    std::vector<std::string> calls;
    for (const auto& s : host.soundCalls())
      calls.push_back(s.operation + " " + std::to_string(s.result));
    return calls;
  }
  double Value(std::size_t child = 0) const { return gauge->State(gauge->Child(child)).value; }
  void SetMagnetos(double v399, double v400, double v401) {
    host.SetVariable(399, v399);
    host.SetVariable(400, v400);
    host.SetVariable(401, v401);
  }
};

// A working folder holding the click sound where the selector looks for it.
struct SoundFolder : TempDir {
  SoundFolder() {
    fs::create_directory(path() / "SOUND");
    fs::copy_file(fs::path(PANEL_DIST_DIR) / "SOUND" / "QLMT_Zx401_sw1.wav",
                  path() / "SOUND" / "QLMT_Zx401_sw1.wav");
  }
};

// Makes every play of the Linux stand-in fail while it lives.
struct FailingPlays {
  FailingPlays() { setenv(kGaugeSoundFailPlayVariable, "1", 1); }
  ~FailingPlays() { unsetenv(kGaugeSoundFailPlayVariable); }
};

// ---------------------------------------------------------------- records and pictures

TEST(EngineControlRecords, ValidateAndShareOneEmptyHook) {
  for (const char* name : {"ignition_selector", "starter_crank", "fuel_ratio_lever"}) {
    auto module = Module::Load(ModulePath(name));
    for (const auto& f : panelhost::Validate(*module)) {
      if (f.outcome == panelhost::Outcome::kFail)
        ADD_FAILURE() << name << ": " << panelhost::Describe(f);
    }
    EXPECT_EQ(module->linkage()->init, module->linkage()->deinit) << name;
    EXPECT_EQ(module->gauges().size(), 1u) << name;
  }
}

struct PictureCase {
  const char* module;
  std::uint32_t id;
  int width, height, bits;
};

class EngineControlPicture : public ::testing::TestWithParam<PictureCase> {};

TEST_P(EngineControlPicture, HasItsSizeAndDepth) {
  const PictureCase& c = GetParam();
  auto module = Module::Load(ModulePath(c.module));
  const panelhost::Bitmap& bitmap = module->DecodedBitmap(c.id);
  EXPECT_EQ(bitmap.image.width, c.width);
  EXPECT_EQ(bitmap.image.height, c.height);
  EXPECT_EQ(bitmap.bitsPerPixel, c.bits);
}

INSTANTIATE_TEST_SUITE_P(All, EngineControlPicture,
                         ::testing::Values(PictureCase{"ignition_selector", 4096, 355, 355, 8},
                                           PictureCase{"ignition_selector", 8192, 355, 278, 8},
                                           PictureCase{"ignition_selector", 8193, 355, 278, 8},
                                           PictureCase{"ignition_selector", 8194, 355, 278, 8},
                                           PictureCase{"ignition_selector", 8195, 355, 278, 8},
                                           PictureCase{"starter_crank", 4096, 355, 355, 8},
                                           PictureCase{"starter_crank", 4099, 116, 42, 8},
                                           PictureCase{"fuel_ratio_lever", 4096, 109, 105, 24},
                                           PictureCase{"fuel_ratio_lever", 4099, 110, 110, 24}));

bool Drawn(const panelhost::Image& image, int x, int y) { return (image.at(x, y) & 0xFFFFFF) != 0; }

// Whether every drawn pixel lies in the box (inclusive bounds).
bool DrawnOnlyIn(const panelhost::Image& image, int left, int top, int right, int bottom) {
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      if (Drawn(image, x, y) && (x < left || x > right || y < top || y > bottom)) return false;
    }
  }
  return true;
}

TEST(EngineControlPictures, PartsSitWhereTheRecordsPlaceThem) {
  {
    namespace geo = selector_geometry;
    auto module = Module::Load(ModulePath("ignition_selector"));
    // The lever's ball knob covers the hub in every frame; the face's corners are black.
    for (std::uint32_t id = 8192; id < 8196; ++id) {
      EXPECT_TRUE(Drawn(module->DecodedBitmap(id).image, geo::kHubX - geo::kLeverX,
                        geo::kHubY - geo::kLeverY))
          << id;
    }
    EXPECT_FALSE(Drawn(module->DecodedBitmap(4096).image, 0, 0));
    EXPECT_FALSE(Drawn(module->DecodedBitmap(4096).image, 354, 354));
  }
  {
    namespace geo = crank_geometry;
    auto module = Module::Load(ModulePath("starter_crank"));
    EXPECT_TRUE(Drawn(module->DecodedBitmap(4099).image, geo::kArmPivotX, geo::kArmPivotY));
    EXPECT_TRUE(Drawn(module->DecodedBitmap(4096).image, geo::kHubX, geo::kHubY));
    EXPECT_FALSE(Drawn(module->DecodedBitmap(4096).image, 0, 0));
  }
  {
    namespace geo = mixture_geometry;
    auto module = Module::Load(ModulePath("fuel_ratio_lever"));
    const panelhost::Image& rod = module->DecodedBitmap(4096).image;
    EXPECT_TRUE(DrawnOnlyIn(rod, geo::kRodLeft, geo::kRodTop, geo::kRodRight, geo::kRodBottom));
    EXPECT_TRUE(Drawn(rod, geo::kRodLeft, geo::kRodTop));
    EXPECT_TRUE(Drawn(rod, geo::kRodRight, geo::kRodBottom));
    const panelhost::Image& knob = module->DecodedBitmap(4099).image;
    EXPECT_TRUE(
        DrawnOnlyIn(knob, geo::kKnobLeft, geo::kKnobTop, geo::kKnobRight, geo::kKnobBottom));
    const int midX = (geo::kKnobLeft + geo::kKnobRight) / 2;
    const int midY = (geo::kKnobTop + geo::kKnobBottom) / 2;
    EXPECT_TRUE(Drawn(knob, geo::kKnobLeft, midY));
    EXPECT_TRUE(Drawn(knob, geo::kKnobRight, midY));
    EXPECT_TRUE(Drawn(knob, midX, geo::kKnobTop));
    EXPECT_TRUE(Drawn(knob, midX, geo::kKnobBottom));
  }
}

// ---------------------------------------------------------------- magneto selector: positions

struct PositionCase {
  double v399, v400, v401;
  double position;
};

class SelectorPosition : public ::testing::TestWithParam<PositionCase> {};

TEST_P(SelectorPosition, FollowsTheThreeVariablesExactly) {
  const PositionCase& c = GetParam();
  TempDir dir;
  Panel p("ignition_selector", "mag");
  p.SetMagnetos(c.v399, c.v400, c.v401);
  p.gauge->Start(1);
  EXPECT_EQ(p.Value(), c.position);
}

INSTANTIATE_TEST_SUITE_P(All, SelectorPosition,
                         ::testing::Values(PositionCase{0.0, 0.0, 0.0, 0.0},    // 0
                                           PositionCase{0.0, 1.0, 0.0, 1.0},    // M1: 400 alone
                                           PositionCase{1.0, 0.0, 0.0, 2.0},    // M2: 399 alone
                                           PositionCase{1.0, 1.0, 0.0, 3.0},    // 2: both
                                           PositionCase{0.5, 0.0, 0.0, 3.0},    // no rounding
                                           PositionCase{0.0, 0.999, 0.0, 3.0},  // no tolerance
                                           PositionCase{2.0, 0.0, 0.0, 3.0},    //
                                           PositionCase{-0.0, 0.0, -0.0, 0.0},  // -0.0 equals 0.0
                                           PositionCase{0.0, 0.0, 1.0, 4.0},    // 401 overrides
                                           PositionCase{1.0, 1.0, -1.0, 4.0},   //
                                           PositionCase{0.0, 1.0, 0.25, 4.0},   //
                                           PositionCase{0.0, 0.0, 1e-300,
                                                        4.0}));  // returned unclamped

// ---------------------------------------------------------------- magneto selector: clicks

struct StepCase {
  const char* name;
  bool update;  // one update before the clicks
  double v399, v400, v401;
  const char* clicks;  // 'R' right-hand area, 'L' left-hand area
  std::vector<std::uint32_t> keys;
};

class SelectorStep : public ::testing::TestWithParam<StepCase> {};

TEST_P(SelectorStep, SendsTheKeyEventsOfTheStepsItCanTake) {
  const StepCase& c = GetParam();
  TempDir dir;
  Panel p("ignition_selector", "mag");
  p.SetMagnetos(c.v399, c.v400, c.v401);
  p.gauge->Install();
  p.gauge->Initialize();
  if (c.update) p.gauge->Update();
  for (const char* k = c.clicks; *k != '\0'; ++k) {
    ASSERT_TRUE(p.gauge->Click(*k == 'R' ? kRightX : kLeftX, kSelectorY));
  }
  EXPECT_THAT(p.Keys(), ElementsAreArray(c.keys));
}

INSTANTIATE_TEST_SUITE_P(
    All, SelectorStep,
    ::testing::Values(
        // Before the first update the module's position is 0.
        StepCase{"FirstClickUp", false, 1, 1, 0, "R", {kTowardTwo}},
        StepCase{"FirstClickDown", false, 1, 1, 0, "L", {}},
        StepCase{"DownAtZero", true, 0, 0, 0, "L", {}}, StepCase{"UpAtTwo", true, 1, 1, 0, "R", {}},
        StepCase{"DownFromOverride", true, 0, 0, 1, "L", {kTowardZero}},
        // Up from 4 only clamps to 3: three steps down remain, the fourth is absorbed.
        StepCase{"UpFromOverrideClampsToTwo",
                 true,
                 0,
                 0,
                 1,
                 "RLLLL",
                 {kTowardZero, kTowardZero, kTowardZero}},
        // Between updates the clicks step the module's own copy of the position.
        StepCase{"StepsLastUntilTheNextUpdate", true, 0, 1, 0, "RRR", {kTowardTwo, kTowardTwo}},
        StepCase{"DownThenUp", true, 1, 0, 0, "LR", {kTowardZero, kTowardTwo}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(SelectorAreas, TouchAtColumn152AndTakeOnlyLeftClicks) {
  TempDir dir;
  Panel p("ignition_selector", "mag");
  p.SetMagnetos(0, 1, 0);  // M1: both directions can step
  p.gauge->Start(1);
  struct Probe {
    int x, y;
    std::vector<std::uint32_t> keys;
  };
  const Probe probes[] = {
      {151, 4, {kTowardZero}},
      {152, 4, {kTowardTwo}},
      {6, 295, {kTowardZero}},
      {297, 295, {kTowardTwo}},
      {5, 100, {}},
      {298, 100, {}},
      {200, 3, {}},
      {200, 296, {}},
  };
  for (const Probe& probe : probes) {
    p.host.ClearKeyEvents();
    p.gauge->Update();
    p.gauge->Click(probe.x, probe.y);
    EXPECT_THAT(p.Keys(), ElementsAreArray(probe.keys)) << probe.x << "," << probe.y;
  }
  p.host.ClearKeyEvents();
  EXPECT_FALSE(p.gauge->Click(kRightX, kSelectorY, gauge::kMouseLeftHeld));
  EXPECT_THAT(p.Keys(), IsEmpty());
}

// ---------------------------------------------------------------- magneto selector: sound

TEST(SelectorSound, LoadsOnInstallPlaysBeforeTheKeyEventAndReleasesOnKill) {
  SoundFolder dir;
  Panel p("ignition_selector", "mag");
  std::vector<std::string> heardAtKeyEvent;
  p.host.SetKeyEventHandler([&](Host& host, const panelhost::KeyEvent&) {
    heardAtKeyEvent.push_back(host.soundCalls().back().operation);
  });
  p.gauge->Start(1);
  ASSERT_THAT(p.Sounds(), ElementsAre("load 1", "prepare 1"));
  const panelhost::SoundCall load = p.host.soundCalls()[0];
  EXPECT_EQ(load.path, kSoundPath);
  EXPECT_NE(load.handle, 0u);
  EXPECT_EQ(p.host.soundCalls()[1].handle, load.handle);

  p.host.ClearSounds();
  p.gauge->Click(kRightX, kSelectorY);  // 0 -> M1
  p.gauge->Click(kRightX, kSelectorY);
  p.gauge->Click(kRightX, kSelectorY);
  p.gauge->Click(kRightX, kSelectorY);  // beyond 2: silent
  EXPECT_THAT(p.Sounds(), ElementsAre("play 1", "play 1", "play 1"));
  EXPECT_THAT(heardAtKeyEvent, ElementsAre("play", "play", "play"));
  EXPECT_EQ(p.host.soundCalls()[0].handle, load.handle);

  p.host.ClearSounds();
  p.gauge->Callback(6);
  p.gauge->Callback(13);
  EXPECT_THAT(p.Sounds(), IsEmpty());
  p.gauge->Kill();
  EXPECT_THAT(p.Sounds(), ElementsAre("release 1"));
  EXPECT_EQ(p.host.soundCalls()[0].handle, load.handle);
}

TEST(SelectorSound, WithoutTheWaveClicksAreSilentButStillStep) {
  TempDir dir;  // no SOUND folder here
  Panel p("ignition_selector", "mag");
  p.SetMagnetos(0, 1, 0);  // M1: both directions can step
  p.gauge->Start(1);
  EXPECT_THAT(p.Sounds(), ElementsAre("load 0"));  // no prepare after a failed load
  p.gauge->Click(kRightX, kSelectorY);
  p.gauge->Update();
  p.gauge->Click(kLeftX, kSelectorY);
  EXPECT_THAT(p.Sounds(), ElementsAre("load 0"));
  EXPECT_THAT(p.Keys(), ElementsAre(kTowardTwo, kTowardZero));
  // Service 12 releases even a sound that never loaded.
  p.gauge->Kill();
  EXPECT_THAT(p.Sounds(), ElementsAre("load 0", "release 0"));
  EXPECT_EQ(p.host.soundCalls()[1].handle, 0u);
}

TEST(SelectorSound, AFailedPlayReloadsOnceAndPlaysAgain) {
  SoundFolder dir;
  Panel p("ignition_selector", "mag");
  p.gauge->Start(1);
  p.host.ClearSounds();
  FailingPlays failing;
  p.gauge->Click(kRightX, kSelectorY);
  EXPECT_THAT(p.Sounds(), ElementsAre("play 0", "load 1", "play 0"));
  EXPECT_EQ(p.host.soundCalls()[1].path, kSoundPath);
  // The reload succeeded, so the next click tries again the same way.
  p.host.ClearSounds();
  p.gauge->Click(kRightX, kSelectorY);
  EXPECT_THAT(p.Sounds(), ElementsAre("play 0", "load 1", "play 0"));
  EXPECT_THAT(p.Keys(), ElementsAre(kTowardTwo, kTowardTwo));
}

TEST(SelectorSound, AFailedReloadSilencesLaterClicks) {
  SoundFolder dir;
  Panel p("ignition_selector", "mag");
  p.gauge->Start(1);
  fs::remove(dir.path() / "SOUND" / "QLMT_Zx401_sw1.wav");
  p.host.ClearSounds();
  FailingPlays failing;
  p.gauge->Click(kRightX, kSelectorY);
  EXPECT_THAT(p.Sounds(), ElementsAre("play 0", "load 0"));
  p.gauge->Click(kRightX, kSelectorY);
  EXPECT_THAT(p.Sounds(), ElementsAre("play 0", "load 0"));
  EXPECT_THAT(p.Keys(), ElementsAre(kTowardTwo, kTowardTwo));
}

TEST(SelectorSound, EveryServiceThreeLoadsAfreshWithoutARelease) {
  SoundFolder dir;
  Panel p("ignition_selector", "mag");
  p.gauge->Start(0);
  p.gauge->Callback(3);
  ASSERT_THAT(p.Sounds(), ElementsAre("load 1", "prepare 1", "load 1", "prepare 1"));
  const std::uint32_t second = p.host.soundCalls()[2].handle;
  EXPECT_NE(second, p.host.soundCalls()[0].handle);
  p.host.ClearSounds();
  p.gauge->Click(kRightX, kSelectorY);
  EXPECT_THAT(p.Sounds(), ElementsAre("play 1"));
  EXPECT_EQ(p.host.soundCalls()[0].handle, second);
}

TEST(SelectorSound, WithoutTheLibraryTheModuleDoesNotLoad) {
  TempDir dir;
  fs::copy_file(ModulePath("ignition_selector"), dir.path() / "ignition_selector.so");
  EXPECT_THROW(Module::Load((dir.path() / "ignition_selector.so").string()), panelhost::Error);
  // Beside its library it loads.
  fs::copy_file(fs::path(PANEL_DIST_DIR) / "libGaugeSound.so", dir.path() / "libGaugeSound.so");
  EXPECT_NO_THROW(Module::Load((dir.path() / "ignition_selector.so").string()));
}

// The Windows build imports GaugeSound.dll by ordinal only, and the DLL has no names.
TEST(SelectorSound, WindowsImportIsByOrdinalOnly) {
  const std::string dist = testsupport::WindowsDist();
  ASSERT_TRUE(fs::exists(dist + "/ignition_selector.dll")) << "no Windows build in " << dist;
  const auto imports =
      testsupport::Run("i686-w64-mingw32-objdump -p " + dist + "/ignition_selector.dll");
  ASSERT_EQ(imports.exitCode, 0) << imports.output;
  const auto at = imports.output.find("DLL Name: GaugeSound.dll");
  ASSERT_NE(at, std::string::npos);
  const auto end = imports.output.find("DLL Name:", at + 1);
  const std::string section = imports.output.substr(at, end - at);
  for (const char* ordinal : {"80000001", "80000007", "8000000b", "8000000e"}) {
    EXPECT_NE(section.find(ordinal), std::string::npos) << ordinal << "\n" << section;
  }
  // Imported by name, an entry would show a hint and the name instead of "<none>".
  std::size_t unnamed = 0;
  for (auto p = section.find("<none>"); p != std::string::npos; p = section.find("<none>", p + 1)) {
    ++unnamed;
  }
  EXPECT_EQ(unnamed, 4u) << section;

  const auto exports = testsupport::Run("i686-w64-mingw32-objdump -p " + dist + "/GaugeSound.dll");
  ASSERT_EQ(exports.exitCode, 0);
  EXPECT_NE(exports.output.find("[Name Pointer/Ordinal] Table\t00000000"), std::string::npos)
      << "GaugeSound.dll exports names";
}

// ---------------------------------------------------------------- starter crank

struct CrankPanel : Panel {
  CrankPanel() : Panel("starter_crank", "handle") { gauge->Start(0); }
  // One click; returns the key events it sent.
  std::vector<std::uint32_t> Click() {
    host.ClearKeyEvents();
    EXPECT_TRUE(gauge->Click(177, 300));
    return Keys();
  }
  double Arm() {
    gauge->Update();
    return Value();
  }
};

TEST(StarterCrank, FullCycleWithServiceSixBetweenClicks) {
  CrankPanel p;
  const std::vector<std::uint32_t> none;
  const std::vector<std::uint32_t> both = {kStarterEngage, kStarterCrank};
  for (int click = 1; click <= 88; ++click) {
    // Clicks 1..32: four turns, idle. 33..56: engaged. 57..88: four more turns, idle.
    const bool engaged = click >= 33 && click <= 56;
    EXPECT_EQ(p.Click(), engaged ? both : none) << "click " << click;
    EXPECT_EQ(p.Arm(), (click % 8) * 1000.0) << "click " << click;  // never 8000
    p.gauge->Callback(6);
  }
  EXPECT_EQ(p.Click(), both);  // click 89: engaged again after the second four turns
}

TEST(StarterCrank, OnlyServiceSixAtFourTurnsEngages) {
  CrankPanel p;
  for (int click = 1; click <= 40; ++click) EXPECT_TRUE(p.Click().empty());  // five turns
  for (std::uint32_t service : {0u, 3u, 6u, 12u, 7u}) p.gauge->Callback(service);
  EXPECT_TRUE(p.Click().empty());
}

TEST(StarterCrank, OtherServicesDoNotEngage) {
  CrankPanel p;
  for (int click = 1; click <= 32; ++click) p.Click();
  for (std::uint32_t service : {0u, 3u, 5u, 7u, 12u}) p.gauge->Callback(service);
  EXPECT_TRUE(p.Click().empty());
  p.gauge->Callback(6);
  EXPECT_EQ(p.Click().size(), 2u);
}

TEST(StarterCrank, DisengagingKeepsTheArmWhereItIs) {
  CrankPanel p;
  for (int click = 1; click <= 32; ++click) p.Click();
  p.gauge->Callback(6);
  for (int click = 33; click <= 59; ++click) p.Click();  // seven turns and three clicks
  EXPECT_EQ(p.Arm(), 3000.0);
  p.gauge->Callback(6);
  EXPECT_EQ(p.Arm(), 3000.0);
  EXPECT_TRUE(p.Click().empty());
}

TEST(StarterCrank, WithoutServiceSixAtSevenTurnsItStaysEngaged) {
  CrankPanel p;
  for (int click = 1; click <= 32; ++click) p.Click();
  p.gauge->Callback(6);
  for (int click = 33; click <= 72; ++click)
    EXPECT_EQ(p.Click().size(), 2u) << click;  // nine turns
  p.gauge->Callback(6);                        // the count went past 7
  EXPECT_EQ(p.Click().size(), 2u);
}

TEST(StarterCrank, ClickAreaReachesPastTheFaceAndTakesHeldButtons) {
  CrankPanel p;
  struct Probe {
    int x, y;
    bool hit;
  };
  const Probe probes[] = {{51, 50, true},    {350, 580, true}, {50, 50, false},
                          {351, 200, false}, {100, 49, false}, {100, 581, false}};
  for (const Probe& probe : probes) {
    EXPECT_EQ(p.gauge->Click(probe.x, probe.y), probe.hit) << probe.x << "," << probe.y;
  }
  EXPECT_TRUE(p.gauge->Click(177, 300, gauge::kMouseLeftHeld));
}

// ---------------------------------------------------------------- mixture lever

TEST(MixtureLever, UpperRicherLowerLeanerOneEventPerClick) {
  Panel p("fuel_ratio_lever", "mixture");
  p.gauge->Start(1);
  struct Probe {
    int x, y;
    std::uint32_t event;
    std::vector<std::uint32_t> keys;
  };
  const Probe probes[] = {
      {0, 0, gauge::kMouseLeftClick, {kRicher}},   {107, 45, gauge::kMouseLeftHeld, {kRicher}},
      {54, 47, gauge::kMouseLeftClick, {kRicher}},  // both boxes: one handler runs
      {54, 50, gauge::kMouseLeftClick, {kLeaner}}, {0, 98, gauge::kMouseLeftHeld, {kLeaner}},
      {108, 20, gauge::kMouseLeftClick, {}},       {54, 99, gauge::kMouseLeftClick, {}},
  };
  for (const Probe& probe : probes) {
    p.host.ClearKeyEvents();
    p.gauge->Click(probe.x, probe.y, probe.event);
    EXPECT_THAT(p.Keys(), ElementsAreArray(probe.keys)) << probe.x << "," << probe.y;
  }
}

TEST(MixtureLever, AreasOverlapInRows46To49) {
  auto module = Module::Load(ModulePath("fuel_ratio_lever"));
  auto* header = reinterpret_cast<gauge::GaugeHeader700*>(module->FindGauge("mixture"));
  const gauge::MouseArea& upper = header->mouseAreas[1];
  const gauge::MouseArea& lower = header->mouseAreas[2];
  for (int y = 0; y < 105; ++y) {
    const bool inUpper = y >= upper.y && y < upper.y + upper.height;
    const bool inLower = y >= lower.y && y < lower.y + lower.height;
    EXPECT_EQ(inUpper && inLower, y >= 46 && y <= 49) << y;
  }
}

TEST(MixtureLever, CallbackAndKnobLeaveEverythingToTheHost) {
  Panel p("fuel_ratio_lever", "mixture");
  p.host.SetVariable(393, 0.75);
  p.gauge->Start(1);
  for (std::uint32_t service = 0; service < 20; ++service) p.gauge->Callback(service);
  EXPECT_THAT(p.Keys(), IsEmpty());
  EXPECT_EQ(p.Value(), 0.75);
  EXPECT_EQ(p.host.Variable(393), 0.75);
}

// ---------------------------------------------------------------- engine model

TEST(EngineModel, MagnetoSwitchStepsThroughTheGaugesPositions) {
  TempDir dir;
  Panel p("ignition_selector", "mag");
  EngineModel engine(p.host);
  engine.Install();
  p.gauge->Start(1);
  struct Step {
    int x;
    double position, v399, v400;
  };
  const Step steps[] = {{kRightX, 1, 0, 1}, {kRightX, 2, 1, 0}, {kRightX, 3, 1, 1},
                        {kRightX, 3, 1, 1}, {kLeftX, 2, 1, 0},  {kLeftX, 1, 0, 1},
                        {kLeftX, 0, 0, 0},  {kLeftX, 0, 0, 0}};
  for (const Step& step : steps) {
    p.gauge->Click(step.x, kSelectorY);
    p.gauge->Frame();
    EXPECT_EQ(p.Value(), step.position);
    EXPECT_EQ(p.host.Variable(399), step.v399);
    EXPECT_EQ(p.host.Variable(400), step.v400);
  }
}

TEST(EngineModel, MixtureStepsByATenthWithinZeroAndOne) {
  Host host;
  EngineModel engine(host);
  engine.Install();
  for (int i = 0; i < 3; ++i) engine.OnKeyEvent({kRicher, 0});
  EXPECT_EQ(host.Variable(393), 0.3);
  for (int i = 0; i < 12; ++i) engine.OnKeyEvent({kRicher, 0});
  EXPECT_EQ(host.Variable(393), 1.0);
  for (int i = 0; i < 4; ++i) engine.OnKeyEvent({kLeaner, 0});
  EXPECT_EQ(host.Variable(393), 0.6);
  for (int i = 0; i < 12; ++i) engine.OnKeyEvent({kLeaner, 0});
  EXPECT_EQ(host.Variable(393), 0.0);
}

// Three gauges on one host with the engine model, used as a pilot would.
struct Cockpit {
  TempDir dir;
  Host host;
  std::unique_ptr<Module> magModule = Module::Load(ModulePath("ignition_selector"));
  std::unique_ptr<Module> crankModule = Module::Load(ModulePath("starter_crank"));
  std::unique_ptr<Module> mixtureModule = Module::Load(ModulePath("fuel_ratio_lever"));
  std::unique_ptr<Gauge> mag, crank, mixture;
  EngineModel engine{host};

  Cockpit() {
    for (Module* m : {magModule.get(), crankModule.get(), mixtureModule.get()}) host.Attach(*m);
    mag = std::make_unique<Gauge>(host, *magModule, magModule->FindGauge("mag"));
    crank = std::make_unique<Gauge>(host, *crankModule, crankModule->FindGauge("handle"));
    mixture = std::make_unique<Gauge>(host, *mixtureModule, mixtureModule->FindGauge("mixture"));
    engine.Install();
    for (Gauge* g : {mag.get(), crank.get(), mixture.get()}) g->Start(1);
  }
  ~Cockpit() {
    mag.reset();
    crank.reset();
    mixture.reset();
  }
  void Frame() {
    for (Gauge* g : {mag.get(), crank.get(), mixture.get()}) g->Frame();
    engine.Step(0.05);
  }
  void ClickMagneto(int times, int x) {
    for (int i = 0; i < times; ++i) {
      mag->Click(x, kSelectorY);
      Frame();
    }
  }
  void ClickMixture(int times, int y) {
    for (int i = 0; i < times; ++i) {
      mixture->Click(54, y);
      Frame();
    }
  }
  void Crank(int clicks) {
    for (int i = 0; i < clicks; ++i) {
      crank->Click(177, 300);
      Frame();
    }
  }
};

TEST(EngineModel, CrankingWithMagnetosOnAndRichMixtureStartsTheEngine) {
  Cockpit c;
  c.ClickMagneto(3, kRightX);  // 0 -> M1 -> M2 -> 2
  EXPECT_EQ(c.mag->State(c.mag->Child(0)).value, 3.0);
  c.ClickMixture(10, 10);  // full rich
  EXPECT_EQ(c.host.Variable(393), 1.0);
  c.Crank(32);  // four turns: engaged, not yet cranking the engine
  EXPECT_FALSE(c.engine.running());
  c.Crank(EngineModel::kImpulsesToFire);
  EXPECT_TRUE(c.engine.running());
  EXPECT_EQ(c.host.Variable(EngineModel::kRunning), 1.0);
  c.engine.Step(10.0);
  EXPECT_NEAR(c.host.Variable(390), EngineModel::kIdleRpm, 1.0);
  EXPECT_NEAR(c.host.Variable(136), 16384.0 * EngineModel::kIdleRpm / EngineModel::kRatedRpm, 10.0);
  // Magnetos to 0 stop it.
  c.ClickMagneto(3, kLeftX);
  EXPECT_FALSE(c.engine.running());
  c.engine.Step(30.0);
  EXPECT_EQ(c.host.Variable(390), 0.0);
}

TEST(EngineModel, NoStartWithoutSparkOrWithALeanMixture) {
  {
    Cockpit c;  // magnetos at 0
    c.ClickMixture(10, 10);
    c.Crank(56);
    EXPECT_FALSE(c.engine.running());
    EXPECT_GT(c.host.Variable(390), 0.0);  // it turned over
  }
  {
    Cockpit c;
    c.ClickMagneto(1, kRightX);  // M1
    c.ClickMixture(4, 10);       // 0.4: too lean to fire
    c.Crank(56);
    EXPECT_FALSE(c.engine.running());
  }
}

}  // namespace
