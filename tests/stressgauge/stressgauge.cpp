// A module for the strict checks of panelhost validate: one version-700 gauge
// with a text readout, an icon, a needle, two click areas and a gauge
// callback, sound as built, and once per STRESSGAUGE_BREAK value with one
// run-time fault that exactly one strict check must catch. Its records are
// always sound: the faults lie in what its code does.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "framework/module.h"
#include "framework/win32.h"

#ifndef STRESSGAUGE_BREAK
#define STRESSGAUGE_BREAK 0
#endif
#define BROKEN(n) (STRESSGAUGE_BREAK == (n))

// The faults, one per variant:
//  1 the text callback allocates                       callbacks.no-allocation
//  2 the text callback opens and closes a file         callbacks.no-file-io (and,
//    as fopen allocates its stream, callbacks.no-allocation)
//  3 the text callback writes its element's box width  records.untouched
//  4 the text callback prints unbounded numbers        hostile.values (overrun)
//  5 the text callback fills its buffer without NUL    hostile.values (no NUL)
//     for negative values
//  6 the needle callback crashes on NaN                hostile.values (crash)
//  7 the needle callback spins forever on +inf         hostile.values (hang)
//    (6 and 7 stop every check that drives the callbacks with hostile values)
//  8 a click handler writes its mouse area's help id   records.untouched
//  9 install crashes while another instance lives      lifecycle.two-instances
// 10 a click handler needs the first update            lifecycle.clicks-before-update
// 11 a click handler opens a file and never closes it  lifecycle.click-cycles
// 12 the icon callback converts any value to int       (sanitizer build only:
//                                                       float-cast-overflow)
// 13 update crashes before initialize                  lifecycle.service-order
// 14 install opens a file that kill never closes       lifecycle.cycles

using namespace gauge;

namespace {

constexpr std::uint32_t kTextToken = 700;
constexpr std::uint32_t kIconToken = 701;
constexpr std::uint32_t kNeedleToken = 702;
constexpr std::uint32_t kKey = 71000;

extern GaugeHeader700 stress;
extern MouseArea stressMouse[];

// Written through a volatile pointer so that the compiler keeps every fault.
void* volatile sink;
unsigned volatile counter;
int* firstUpdate = nullptr;  // set by the first value callback (variant 10)
bool initialized = false;    // variant 13: set by the first initialize
int liveInstances = 0;       // variant 9

double GAUGE_CALL TextValue(ElementHeader* e) {
  auto* s = reinterpret_cast<StringElement700*>(e);
  const double v = s->source1.value;
  if (BROKEN(1)) {
    sink = std::malloc(32);
    std::free(sink);
  }
  if (BROKEN(2)) {
    if (std::FILE* f = std::fopen("/dev/null", "r")) std::fclose(f);
  }
  if (BROKEN(3)) s->boxWidth = s->boxWidth + 1;
  if (BROKEN(4)) {
    // trunc of the value, unbounded: "-2147483648" is 11 characters in a box of 5.
    const std::int32_t whole =
        std::isfinite(v) && std::fabs(v) < 2e9 ? static_cast<std::int32_t>(v) : -2147483647 - 1;
    wsprintfA(s->text, "%d", whole);
  } else if (BROKEN(5) && v < 0) {
    std::memset(s->text, '-', static_cast<std::size_t>(s->charCount) + 1);
  } else {
    // Bounded to the five characters: values that do not fit show "#####".
    const bool fits = v > -9999.5 && v < 99999.5;
    if (fits) {
      wsprintfA(s->text, "%5d", static_cast<std::int32_t>(v));
    } else {
      wsprintfA(s->text, "%s", "#####");
    }
  }
  s->textColour = v > 100 ? 0x0000FF : 0x00FF00;
  if (BROKEN(10)) {
    static int storage;
    firstUpdate = &storage;
  }
  return v;
}

double GAUGE_CALL IconValue(ElementHeader* e) {
  const double v = reinterpret_cast<IconElement700*>(e)->source.value;
  if (BROKEN(12)) return static_cast<double>(static_cast<int>(v) % 3);
  return v > 0 && v < 3 ? std::floor(v) : 0.0;
}

double GAUGE_CALL NeedleValue(ElementHeader* e) {
  const double v = reinterpret_cast<NeedleElement700*>(e)->source.value;
  if (BROKEN(6) && std::isnan(v)) *static_cast<int volatile*>(sink) = 1;
  if (BROKEN(7) && std::isinf(v) && v > 0) {
    for (;;) counter = counter + 1;
  }
  return v;
}

std::int32_t GAUGE_CALL KeyClick(std::uint32_t, std::uint32_t) {
  Host().TriggerKeyEvent(kKey, 0);
  if (BROKEN(8)) stressMouse[1].helpId = 7;
  if (BROKEN(10)) *firstUpdate = 1;
  return 0;
}

std::int32_t GAUGE_CALL FileClick(std::uint32_t, std::uint32_t) {
  if (BROKEN(11)) sink = std::fopen("stress_click.txt", "w");
  return 0;
}

void GAUGE_CALL StressCallback(std::uint32_t, std::uint32_t, std::uint32_t) {}

constinit NeedleCalibrationPoint needlePoints[] = {
    {60, 10, 0.0, 0.0},
    {100, 40, 50.0, 0.0},
    {60, 70, 100.0, 0.0},
};

constinit NeedleElement700 needle = {.header = {.kind = kNeedle,
                                                .bitmapId = 8192,
                                                .x = 60,
                                                .y = 40,
                                                .pivotX = 4,
                                                .pivotY = 4,
                                                .owner = &stress.base,
                                                .drawFlags = kDrawImage},
                                     .source = Var(kNeedleToken),
                                     .calibration = needlePoints,
                                     .calibrationCount = 3,
                                     .callback = NeedleValue};

constinit StringElement700 text = {.header = {.kind = kString,
                                              .bitmapId = kNoBitmap,
                                              .x = 4,
                                              .y = 4,
                                              .owner = &stress.base,
                                              .drawFlags = kDrawString},
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

constinit IconElement700 icon = {.header = {.kind = kIcon,
                                            .bitmapId = 8448,
                                            .x = 100,
                                            .y = 4,
                                            .owner = &stress.base,
                                            .drawFlags = kDrawImage},
                                 .source = Var(kIconToken),
                                 .selectionMode = 0,
                                 .bitmapCount = 3,
                                 .callback = IconValue};

constinit ElementHeader* children[] = {&text.header, &icon.header, &needle.header, nullptr};
constinit StaticImageElement700 background = {.header = {.kind = kStaticImage,
                                                         .bitmapId = 4096,
                                                         .owner = &stress.base,
                                                         .children = children,
                                                         .drawFlags = kDrawStaticImage},
                                              .runtime = {}};

constinit ElementHeader* elements[] = {&background.header, nullptr};

constinit MouseArea stressMouse[] = {
    MouseParent(0, 0, 0, 0, 0),
    MouseClick(0, 0, 60, 80, kCursorButton, kMouseLeftClick, KeyClick),
    MouseClick(60, 0, 60, 80, kCursorButton, kMouseLeftClick, FileClick),
    MouseEndParent(),
    MouseEndList(),
};

struct Routines : Routines700<elements> {
  static void GAUGE_CALL Install(std::uint32_t arg) {
    if (BROKEN(9) && liveInstances > 0) *static_cast<int volatile*>(sink) = 1;
    ++liveInstances;
    if (BROKEN(14)) sink = std::fopen("stress_install.txt", "w");
    Host().ElementListInstall(Root(), arg);
  }
  static void GAUGE_CALL Initialize() {
    initialized = true;
    Host().ElementListInitialize(Root());
  }
  static void GAUGE_CALL Update() {
    if (BROKEN(13) && !initialized) *static_cast<int volatile*>(sink) = 1;
    Host().ElementListUpdate(Root());
  }
  static void GAUGE_CALL Kill() {
    --liveInstances;
    Host().ElementListKill(Root());
  }
};

constinit GaugeHeader700 stress = {
    .base = HeaderBase<Routines>(kGaugeVersion700, "stress", elements, 120),
    .zero48 = {},
    .mouseAreas = stressMouse,
    .callback = StressCallback,
    .zero88 = {}};

}  // namespace

constinit ImportEntry ImportTable[] = {
    {kImportHostServices, nullptr},
    {0, nullptr},
};

GAUGE_EXPORT LinkageRecord<1> Linkage;
constinit LinkageRecord<1> Linkage = {
    .head = {.moduleId = kModuleId, .init = ModuleHookNothing, .deinit = ModuleDeinitNothing},
    .gauges = {&stress.base, nullptr}};
