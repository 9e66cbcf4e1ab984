// A module of the tests' own: a version-700 gauge with every element kind,
// mouse areas and a gauge callback, and a version-610 dial whose routines
// attach its mouse list and initialize a variable. Built once as it should be
// and once per TESTGAUGE_BREAK value with one rule deliberately broken.
#include <cstdint>
#include <type_traits>

#include "framework/module.h"
#include "framework/win32.h"

#ifndef TESTGAUGE_BREAK
#define TESTGAUGE_BREAK 0
#endif
#define BROKEN(n) (TESTGAUGE_BREAK == (n))

using namespace gauge;

namespace {

// Variables the test gauge reads.
constexpr std::uint32_t kNeedleToken = 500;
constexpr std::uint32_t kTextToken = 501;
constexpr std::uint32_t kIconToken = 502;
constexpr std::uint32_t kSliderToken = 503;
constexpr std::uint32_t kDialToken = 600;
constexpr std::uint32_t kDialInitToken = 601;
// Key events the handlers and the callback send.
constexpr std::uint32_t kLeftKey = 70001;
constexpr std::uint32_t kRightKey = 70002;
constexpr std::uint32_t kCallbackKeyBase = 90000;

extern GaugeHeader700 panel;
extern GaugeHeader610 dial;

double GAUGE_CALL NeedleValue(ElementHeader* e) {
  return reinterpret_cast<NeedleElement700*>(e)->source.value;
}

double GAUGE_CALL TextValue(ElementHeader* e) {
  auto* s = reinterpret_cast<StringElement700*>(e);
  const double v = s->source1.value;
  const auto whole = static_cast<std::int32_t>(v > 99999 ? 99999 : v < -9999 ? -9999 : v);
  wsprintfA(s->text, "%5d", whole);
  s->textColour = v > 100 ? 0x0000FF : 0x00FF00;
  return v;
}

double GAUGE_CALL IconValue(ElementHeader* e) {
  return reinterpret_cast<IconElement700*>(e)->source.value;
}

double GAUGE_CALL DialValue(HostVariable* source) { return source->value; }

std::int32_t GAUGE_CALL LeftClick(std::uint32_t, std::uint32_t) {
  Host().TriggerKeyEvent(kLeftKey, 0);
  return 0;
}
std::int32_t GAUGE_CALL RightClick(std::uint32_t, std::uint32_t) {
  Host().TriggerKeyEvent(kRightKey, 0);
  return 0;
}
void GAUGE_CALL PanelCallback(std::uint32_t, std::uint32_t service, std::uint32_t) {
  Host().TriggerKeyEvent(kCallbackKeyBase + service, 0);
}

// ---------------------------------------------------------------- panel700

constinit NeedleCalibrationPoint needlePoints[] = {
    {60, 10, 0.0, 0.0},
    {100, 40, BROKEN(5) ? -50.0 : 50.0, 0.0},
    {60, 70, 100.0, 0.0},
};

constinit FailureBinding needleFailures[] = {{5, 1}, {0, 0}};
constinit FailureBinding iconFailures[] = {{6, 2}, {0, 0}};

constinit NeedleElement700 panelNeedle = {.header = {.kind = kNeedle,
                                                     .bitmapId = 8192,
                                                     .x = 60,
                                                     .y = 40,
                                                     .pivotX = 4,
                                                     .pivotY = 4,
                                                     .owner = &panel.base,
                                                     .failures = needleFailures,
                                                     .drawFlags = kDrawImage},
                                          .source = Var(kNeedleToken),
                                          .zero88 = {0, 0, BROKEN(3) ? 1u : 0u, 0, 0, 0},
                                          .calibration = needlePoints,
                                          .calibrationCount = 3,
                                          .callback = NeedleValue};

constinit StringElement700 panelText = {.header = {.kind = kString,
                                                   .bitmapId = kNoBitmap,
                                                   .x = 4,
                                                   .y = 4,
                                                   .owner = &panel.base,
                                                   .drawFlags = BROKEN(1) ? 3u : kDrawString},
                                        .source1 = Var(kTextToken),
                                        .source2 = Var(0),
                                        .source3 = Var(0),
                                        .boxWidth = 44,
                                        .boxHeight = 11,
                                        .textColour = 0x00FF00,
                                        .colour3 = 0x5C5C5C,
                                        .fontFace = "Courier New",
                                        .fontWeight = kFontWeightNormal,
                                        .charset = kDefaultCharset,
                                        .textFormat = kTextCentredSingleLine,
                                        .charCount = 5,
                                        .callback = TextValue};

constinit IconElement700 panelIcon = {.header = {.kind = kIcon,
                                                 .bitmapId = 8448,
                                                 .x = 100,
                                                 .y = 4,
                                                 .owner = BROKEN(2) ? &dial.base : &panel.base,
                                                 .failures = iconFailures,
                                                 .drawFlags = kDrawImage},
                                      .source = Var(kIconToken),
                                      .selectionMode = 3,
                                      .bitmapCount = BROKEN(9) ? 4 : 3,
                                      .callback = IconValue};

constinit SliderElement700 panelSlider = {.header = {.kind = kSlider,
                                                     .bitmapId = 8704,
                                                     .x = 4,
                                                     .y = 60,
                                                     .owner = &panel.base,
                                                     .drawFlags = kDrawImage},
                                          .xSource = Var(0),
                                          .ySource = Var(kSliderToken),
                                          .yScale = -10.0};

constinit ElementHeader* panelChildren[] = {&panelNeedle.header, &panelText.header,
                                            &panelIcon.header, &panelSlider.header, nullptr};
constinit StaticImageElement700 panelBackground = {.header = {.kind = kStaticImage,
                                                              .bitmapId = 4096,
                                                              .owner = &panel.base,
                                                              .children = panelChildren,
                                                              .drawFlags = kDrawStaticImage},
                                                   .runtime = {}};

constinit ElementHeader* panelElements[] = {&panelBackground.header, nullptr};

constinit MouseArea panelMouse[] = {
    MouseParent(0, 0, 0, 0, 0),
    MouseClick(0, 0, 60, 80, kCursorStepDown, BROKEN(7) ? 1u : kMouseLeftClick, LeftClick),
    MouseClick(60, 0, 60, 80, kCursorStepUp, kMouseLeftClick | kMouseLeftHeld, RightClick),
    BROKEN(6) ? MouseEndList() : MouseEndParent(),
    MouseEndList(),
};

// ---------------------------------------------------------------- dial610

constinit NeedleCalibrationPoint dialPoints[] = {
    {50, 10, 0.0, 0.0},  {90, 50, 25.0, 0.0},  {50, 90, 50.0, 0.0},
    {10, 50, 75.0, 0.0}, {50, 10, 100.0, 0.0},  // a full turn
};

constinit NeedleElement610 dialNeedle = {.header = {.kind = kNeedle,
                                                    .bitmapId = 8192,
                                                    .x = 50,
                                                    .y = 50,
                                                    .pivotX = 4,
                                                    .pivotY = 4,
                                                    .owner = &dial.base,
                                                    .drawFlags = kDrawImage},
                                         .source = Var(kDialToken),
                                         .callback = DialValue,
                                         .startX = BROKEN(4) ? 49 : 50,
                                         .startY = 10,
                                         .calibration = dialPoints,
                                         .calibrationCount = 5};

constinit ElementHeader* dialChildren[] = {&dialNeedle.header, nullptr};
constinit StaticImageElement610 dialBackground = {.header = {.kind = kStaticImage,
                                                             .bitmapId = 4097,
                                                             .owner = &dial.base,
                                                             .children = dialChildren,
                                                             .drawFlags = kDrawStaticImage},
                                                  .runtime = {}};

constinit ElementHeader* dialElements[] = {&dialBackground.header, nullptr};

constinit MouseArea dialMouse[] = {
    MouseParent(0, 0, 0, 0, 1234),
    MouseEndParent(),
    MouseEndList(),
};

constinit HostVariable dialInitVariable = Var(kDialInitToken);

using DialRoutines = Routines610<dial, dialElements, dialMouse, &dialInitVariable>;

// An install routine that forgets to add 4 to the host's word.
struct WrongInstallRoutines : DialRoutines {
  static void GAUGE_CALL Install(std::uint32_t arg) {
    Host().ElementListInstall(Root(), arg);
    auto* root = reinterpret_cast<StaticImageElement610*>(Root());
    Host().MouseListInstall(dialMouse, &dial.base, root->runtime[0]);
    Host().MouseListRegister(dialMouse, &dial.base);
  }
};

using PanelRoutines = Routines700<panelElements>;

constinit GaugeHeader700 panel = {
    .base = HeaderBase<PanelRoutines>(kGaugeVersion700, "panel700", panelElements, 120),
    .zero48 = {},
    .mouseAreas = panelMouse,
    .callback = PanelCallback,
    .zero88 = {}};

constinit GaugeHeader610 dial = {
    .base = HeaderBase<std::conditional_t<BROKEN(10), WrongInstallRoutines, DialRoutines>>(
        kGaugeVersion610, "dial610", dialElements, 100),
    .zero48 = {0, 0, 0, 0, 0, 0, 0, 0, BROKEN(11) ? 1u : 0u, 0}};

}  // namespace

constinit ImportEntry ImportTable[] = {
    {BROKEN(12) ? 0x0Eu : kImportHostServices, nullptr},
    {0, nullptr},
};

GAUGE_EXPORT LinkageRecord<2> Linkage;
constinit LinkageRecord<2> Linkage = {.head = {.moduleId = BROKEN(8) ? 0x14u : kModuleId,
                                               .init = ModuleHookNothing,
                                               .deinit = ModuleDeinitNothing},
                                      .gauges = {&panel.base, &dial.base, nullptr}};
