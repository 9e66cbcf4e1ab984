// fuel_ratio_lever: the mixture lever "mixture".
//
// The knob rides on the rod with host variable 393, which the host applies to
// the slider itself. A click on the upper part asks for a richer mixture (key
// event 65775), a click on the lower part for a leaner one (65777). The
// module keeps no state.
#include <cstdint>

#include "engine_controls/fuel_ratio_lever/mixture_geometry.h"
#include "framework/module.h"

namespace fuel_ratio_lever {
namespace {

using namespace gauge;
namespace geo = mixture_geometry;

constexpr std::uint32_t kMixture = 393;        // 0x189
constexpr std::uint32_t kEventRicher = 65775;  // 0x100EF
constexpr std::uint32_t kEventLeaner = 65777;  // 0x100F1

// Host service, reached through its own small wrapper.
void TriggerKeyEvent(std::uint32_t event) { Host().TriggerKeyEvent(event, 0); }

std::int32_t GAUGE_CALL MixtureUpperClick(std::uint32_t, std::uint32_t) {
  TriggerKeyEvent(kEventRicher);
  return 0;
}

std::int32_t GAUGE_CALL MixtureLowerClick(std::uint32_t, std::uint32_t) {
  TriggerKeyEvent(kEventLeaner);
  return 0;
}

void GAUGE_CALL MixtureCallback(std::uint32_t, std::uint32_t, std::uint32_t) {}

}  // namespace

// Records.
extern GaugeHeader700 Gauge;

constinit SliderElement700 Knob = {
    .header = {.kind = kSlider,
               .bitmapId = 4099,
               .x = geo::kKnobX,
               .y = geo::kKnobY,
               .zero16 = 0,
               .zero20 = 0,
               .pivotX = 0,
               .pivotY = 0,
               .owner = &Gauge.base,
               .zero36 = 0,
               .children = nullptr,
               .failures = nullptr,
               .drawFlags = kDrawImage,
               .zero52 = 0,
               .zero56 = 0},
    .xSource = Var(0),
    .zero88 = {},
    .ySource = Var(kMixture),
    .zero132 = 0,
    .yScale = geo::kKnobPixelsPerUnit,
    .zero144 = {},
};
constinit ElementHeader* const KnobList[] = {&Knob.header, nullptr};

constinit FailureBinding Failures[] = {
    {.key = 20, .action = 2},
    {.key = 0, .action = 0},
};

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
               .children = KnobList,
               .failures = Failures,
               .drawFlags = kDrawStaticImage,
               .zero52 = 0,
               .zero56 = 0},
    .runtime = {},
};
constinit ElementHeader* const RootList[] = {&Background.header, nullptr};

// Both areas act on a click and while the button is held; they overlap in
// rows 46 to 49.
constexpr std::uint32_t kClickOrHeld = kMouseLeftClick | kMouseLeftHeld;
constinit MouseArea MouseList[] = {
    MouseParent(0, 0, 0, 0, 43176),
    MouseClick(0, 0, 108, 50, kCursorStepUp, kClickOrHeld, &MixtureUpperClick),
    MouseClick(0, 46, 108, 53, kCursorStepDown, kClickOrHeld, &MixtureLowerClick),
    MouseEndParent(),
    MouseEndList(),
};

using Routines = Routines700<RootList>;
constinit GaugeHeader700 Gauge = {
    .base = HeaderBase<Routines>(kGaugeVersion700, "mixture", RootList, 38),
    .zero48 = {},
    .mouseAreas = MouseList,
    .callback = &MixtureCallback,
    .zero88 = {},
};

}  // namespace fuel_ratio_lever

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
    .gauges = {&fuel_ratio_lever::Gauge.base, nullptr},
};
