// starter_crank: the starter crank "handle" of a hand-cranked starting magneto.
//
// Every click turns the crank arm by an eighth of a turn. After four full
// turns the crank engages (on the next service 6); while engaged, every
// click sends the starter's two key events, 65932 then 65931. The seventh
// full turn disengages it (again on service 6) and starts the count anew.
#include <cstdint>

#include "engine_controls/starter_crank/crank_geometry.h"
#include "framework/module.h"

namespace starter_crank {
namespace {

using namespace gauge;
namespace geo = crank_geometry;

constexpr std::uint32_t kEventStarterEngage = 65932;  // 0x1018C, sent first
constexpr std::uint32_t kEventStarterCrank = 65931;   // 0x1018B
constexpr std::int32_t kTurnsToEngage = 4;
constexpr std::int32_t kTurnsToDisengage = 7;

// Host service, reached through its own small wrapper.
void TriggerKeyEvent(std::uint32_t event) { Host().TriggerKeyEvent(event, 0); }

// Module state, shared by every instance of the gauge.
double CrankPosition = 0.0;     // 0, 1000, ..., 7000 between clicks
std::int32_t CrankTurns = 0;    // full turns since the last reset
std::int32_t CrankEngaged = 0;  // 1 while engaged

double GAUGE_CALL CrankValue(ElementHeader*) { return CrankPosition; }

std::int32_t GAUGE_CALL CrankClick(std::uint32_t, std::uint32_t) {
  CrankPosition += geo::kClickStep;
  if (CrankPosition == geo::kFullTurn) {
    CrankPosition = 0.0;
    CrankTurns += 1;
  }
  if (CrankEngaged == 1) {
    TriggerKeyEvent(kEventStarterEngage);
    TriggerKeyEvent(kEventStarterCrank);
  }
  return 0;
}

void GAUGE_CALL CrankCallback(std::uint32_t, std::uint32_t service, std::uint32_t) {
  if (service != kServiceUpdating) return;
  if (CrankTurns == kTurnsToEngage) {
    CrankEngaged = 1;
  } else if (CrankTurns == kTurnsToDisengage) {
    CrankEngaged = 0;
    CrankTurns = 0;
  }
}

constexpr NeedleCalibrationPoint Point(const geo::CrankMark& mark) {
  return {mark.x, mark.y, mark.value, 0.0};
}

}  // namespace

// Records.
extern GaugeHeader700 Gauge;

// The background and the arm share one failure list.
constinit FailureBinding Failures[] = {
    {.key = 20, .action = 2},
    {.key = 0, .action = 0},
};

constinit NeedleCalibrationPoint CrankCalibration[geo::kCrankMarkCount] = {
    Point(geo::kCrankMarks[0]), Point(geo::kCrankMarks[1]), Point(geo::kCrankMarks[2]),
    Point(geo::kCrankMarks[3]), Point(geo::kCrankMarks[4]),
};

constinit NeedleElement700 CrankArm = {
    .header = {.kind = kNeedle,
               .bitmapId = 4099,
               .x = geo::kHubX,
               .y = geo::kHubY,
               .zero16 = 0,
               .zero20 = 0,
               .pivotX = geo::kArmPivotX,
               .pivotY = geo::kArmPivotY,
               .owner = &Gauge.base,
               .zero36 = 0,
               .children = nullptr,
               .failures = Failures,
               .drawFlags = kDrawImage,
               .zero52 = 0,
               .zero56 = 0},
    .source = Var(0),
    .zero88 = {},
    .calibration = CrankCalibration,
    .calibrationCount = geo::kCrankMarkCount,
    .zero120 = {},
    .callback = &CrankValue,
    .zero228 = {},
};
constinit ElementHeader* const ArmList[] = {&CrankArm.header, nullptr};

constinit StaticImageElement700 Background = {
    .header = {.kind = kStaticImage,
               .bitmapId = 4096,
               .x = 0,
               .y = 0,
               .zero16 = 0,
               .zero20 = 0,
               .pivotX = 0,
               .pivotY = 0,
               .owner = &Gauge.base,
               .zero36 = 0,
               .children = ArmList,
               .failures = Failures,
               .drawFlags = kDrawStaticImage,
               .zero52 = 0,
               .zero56 = 0},
    .runtime = {},
};
constinit ElementHeader* const RootList[] = {&Background.header, nullptr};

constinit MouseArea MouseList[] = {
    MouseParent(0, 0, 0, 0, 43877),
    MouseClick(51, 50, 300, 531, kCursorButton, kMouseLeftClick | kMouseLeftHeld, &CrankClick),
    MouseEndParent(),
    MouseEndList(),
};

using Routines = Routines700<RootList>;
constinit GaugeHeader700 Gauge = {
    .base = HeaderBase<Routines>(kGaugeVersion700, "handle", RootList, 38),
    .zero48 = {},
    .mouseAreas = MouseList,
    .callback = &CrankCallback,
    .zero88 = {},
};

}  // namespace starter_crank

// The two exported records; module.h declares ImportTable with its export.
constinit gauge::ImportEntry ImportTable[] = {
    {.id = gauge::kImportHostServices, .address = nullptr},
    {.id = 0, .address = nullptr},
};

// Init and deinit hooks are one and the same empty function.
GAUGE_EXPORT gauge::LinkageRecord<1> Linkage;
constinit gauge::LinkageRecord<1> Linkage = {
    .head = {.moduleId = gauge::kModuleId,
             .init = &gauge::ModuleHookNothing,
             .deinit = &gauge::ModuleHookNothing,
             .zero12 = {}},
    .gauges = {&starter_crank::Gauge.base, nullptr},
};
