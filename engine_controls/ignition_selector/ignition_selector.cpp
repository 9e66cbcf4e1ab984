// ignition_selector: the magneto selector switch "mag".
//
// The lever shows the switch position the simulator reports through host
// variables 399, 400 and 401. A click on the right-hand half of the face asks
// the simulator to turn the switch one position toward 2 (key event 65635),
// a click on the left-hand half one position toward 0 (65634); each click
// that can step plays a click sound first. The sound comes from the
// GaugeSound library: loaded after the gauge is installed (service 3),
// released before it is killed (service 12).
#include <cstdint>

#include "engine_controls/ignition_selector/selector_geometry.h"
#include "framework/module.h"
#include "sound/gauge_sound.h"

namespace ignition_selector {
namespace {

using namespace gauge;
namespace geo = selector_geometry;

constexpr std::uint32_t kMagnetoSwitch = 399;      // set alone: M2
constexpr std::uint32_t kMagnetoSwitch2 = 400;     // set alone: M1; both set: 2
constexpr std::uint32_t kMagnetoOverride = 401;    // nonzero: position 4
constexpr std::uint32_t kEventTowardZero = 65634;  // 0x10062
constexpr std::uint32_t kEventTowardTwo = 65635;   // 0x10063
constexpr std::int32_t kTopPosition = 3;

// Host services, each reached through its own small wrapper.
void LookupVariable(HostVariable& variable) { Host().LookupVariable(&variable); }
void TriggerKeyEvent(std::uint32_t event) { Host().TriggerKeyEvent(event, 0); }

// Module state, shared by every instance of the gauge.
std::int32_t SwitchPosition = 0;  // last position read, stepped by the clicks
std::int32_t SoundReady = 0;      // result of the last load
std::uint32_t SoundHandle = 0;    // owned by the sound library
const char* const SoundPath = "SOUND\\QLMT_Zx401_sw1.wav";

// The switch position 0..4 from the three host variables, compared exactly.
std::int32_t ReadSelectorPosition() {
  HostVariable magneto = Var(kMagnetoSwitch);
  HostVariable magneto2 = Var(kMagnetoSwitch2);
  HostVariable magnetoOverride = Var(kMagnetoOverride);
  LookupVariable(magneto);
  LookupVariable(magneto2);
  LookupVariable(magnetoOverride);
  if (magnetoOverride.value != 0.0) return 4;
  if (magneto.value == 0.0 && magneto2.value == 0.0) return 0;
  if (magneto.value == 1.0 && magneto2.value == 0.0) return 2;
  if (magneto.value == 0.0 && magneto2.value == 1.0) return 1;
  return 3;
}

// Plays the click; a failed play reloads the sound once and, when that
// succeeds, tries once more.
void PlayClickSound() {
  if (SoundReady == 0) return;
  if (GaugeSoundPlay(SoundHandle, 0) != 0) return;
  SoundReady = GaugeSoundLoad(&SoundHandle, SoundPath);
  if (SoundReady == 1) GaugeSoundPlay(SoundHandle, 0);
}

double GAUGE_CALL SelectorValue(ElementHeader*) {
  SwitchPosition = ReadSelectorPosition();
  return SwitchPosition;
}

std::int32_t GAUGE_CALL SelectorStepUp(std::uint32_t, std::uint32_t) {
  SwitchPosition += 1;
  if (SwitchPosition > kTopPosition) {
    SwitchPosition = kTopPosition;
    return 0;
  }
  PlayClickSound();
  TriggerKeyEvent(kEventTowardTwo);
  return 0;
}

std::int32_t GAUGE_CALL SelectorStepDown(std::uint32_t, std::uint32_t) {
  SwitchPosition -= 1;
  if (SwitchPosition < 0) {
    SwitchPosition = 0;
    return 0;
  }
  PlayClickSound();
  TriggerKeyEvent(kEventTowardZero);
  return 0;
}

void GAUGE_CALL SelectorCallback(std::uint32_t, std::uint32_t service, std::uint32_t) {
  if (service == kServiceInstalled) {
    SoundReady = GaugeSoundLoad(&SoundHandle, SoundPath);
    if (SoundReady != 0) GaugeSoundPrepare(SoundHandle, 0);
  } else if (service == kServiceKilling) {
    GaugeSoundRelease(&SoundHandle);
  }
}

}  // namespace

// Records.
extern GaugeHeader700 Gauge;

constinit IconElement700 Lever = {
    .header = {.kind = kIcon,
               .bitmapId = 8192,
               .x = geo::kLeverX,
               .y = geo::kLeverY,
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
    .source = Var(0),
    .zero88 = 0,
    .selectionMode = 1,
    .zero96 = 0,
    .selectionParameter = 3.0,
    .zero108 = 0,
    .bitmapCount = geo::kLeverFrames,
    .zero116 = {},
    .callback = &SelectorValue,
};
constinit ElementHeader* const LeverList[] = {&Lever.header, nullptr};

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
               .children = LeverList,
               .failures = Failures,
               .drawFlags = kDrawStaticImage,
               .zero52 = 0,
               .zero56 = 0},
    .runtime = {},
};
constinit ElementHeader* const RootList[] = {&Background.header, nullptr};

constinit MouseArea MouseList[] = {
    MouseParent(0, 0, 0, 0, 41478),
    MouseClick(152, 4, 146, 292, kCursorStepUp, kMouseLeftClick, &SelectorStepUp),
    MouseClick(6, 4, 146, 292, kCursorStepDown, kMouseLeftClick, &SelectorStepDown),
    MouseEndParent(),
    MouseEndList(),
};

using Routines = Routines700<RootList>;
constinit GaugeHeader700 Gauge = {
    .base = HeaderBase<Routines>(kGaugeVersion700, "mag", RootList, 38),
    .zero48 = {},
    .mouseAreas = MouseList,
    .callback = &SelectorCallback,
    .zero88 = {},
};

}  // namespace ignition_selector

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
    .gauges = {&ignition_selector::Gauge.base, nullptr},
};
