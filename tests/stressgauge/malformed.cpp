// Modules with malformed records, one fault per MALFORMED value, that
// panelhost must turn into clear findings without crashing or hanging:
//  1 a gauge-list entry that points outside the module
//  2 a child-list entry that points outside the module
//  3 absurd counts: 2^31-1 calibration points, 2^30 characters, -5 bitmaps
//  4 a mouse list of 1001 records without an end record
//  5 a cycle: the root lists itself as its own child
//  6 a gauge list of 1001 entries without its null end
//  7 a version-610 install routine that crashes (validate runs it)
//  8 a library constructor that crashes while the module loads
//  9 a gauge name and an element list outside the module
// 10 a value callback and a click handler that point outside the module
// 11 a version-610 install routine that points outside the module
#include <array>
#include <cstdint>

#include "framework/module.h"

#ifndef MALFORMED
#define MALFORMED 0
#endif
#define BROKEN(n) (MALFORMED == (n))

using namespace gauge;

namespace {

extern GaugeHeader700 bad;
extern GaugeHeader610 bad610;

// An address outside the module. Not a constant expression, so the records
// of this file are initialised when the library loads, not in its image.
template <typename T>
T* Wild(std::uintptr_t address) {
  return reinterpret_cast<T*>(address);
}

double GAUGE_CALL Value(ElementHeader* e) {
  return reinterpret_cast<NeedleElement700*>(e)->source.value;
}
std::int32_t GAUGE_CALL Click(std::uint32_t, std::uint32_t) { return 0; }

constinit NeedleCalibrationPoint points[] = {{60, 10, 0.0, 0.0}, {60, 70, 100.0, 0.0}};

NeedleElement700 needle = {
    .header = {.kind = kNeedle,
               .bitmapId = 8192,
               .x = 60,
               .y = 40,
               .pivotX = 4,
               .pivotY = 4,
               .owner = &bad.base,
               .drawFlags = kDrawImage},
    .source = Var(500),
    .calibration = points,
    .calibrationCount = BROKEN(3) ? 0x7FFFFFFF : 2,
    .callback = BROKEN(10) ? Wild<double GAUGE_CALL(ElementHeader*)>(0x42) : Value};

constinit StringElement700 text = {.header = {.kind = kString,
                                              .bitmapId = kNoBitmap,
                                              .x = 4,
                                              .y = 4,
                                              .owner = &bad.base,
                                              .drawFlags = kDrawString},
                                   .boxWidth = 44,
                                   .boxHeight = 11,
                                   .textColour = 0x00FF00,
                                   .fontFace = "Courier New",
                                   .fontWeight = kFontWeightNormal,
                                   .charset = kDefaultCharset,
                                   .textFormat = kTextCentredSingleLine,
                                   .charCount = BROKEN(3) ? 1 << 30 : 5};

constinit IconElement700 icon = {.header = {.kind = kIcon,
                                            .bitmapId = 8448,
                                            .x = 100,
                                            .y = 4,
                                            .owner = &bad.base,
                                            .drawFlags = kDrawImage},
                                 .bitmapCount = BROKEN(3) ? -5 : 3};

extern StaticImageElement700 background;
ElementHeader* children[] = {&needle.header, &text.header, &icon.header,
                             BROKEN(2)   ? Wild<ElementHeader>(0x1234)
                             : BROKEN(5) ? &background.header
                                         : nullptr,
                             nullptr};
constinit StaticImageElement700 background = {.header = {.kind = kStaticImage,
                                                         .bitmapId = 4096,
                                                         .owner = &bad.base,
                                                         .children = children,
                                                         .drawFlags = kDrawStaticImage},
                                              .runtime = {}};
constinit ElementHeader* elements[] = {&background.header, nullptr};

std::array<MouseArea, 1001> MouseList() {
  std::array<MouseArea, 1001> list{};
  for (MouseArea& a : list) a = MouseParent(0, 0, 0, 0, 0);
  if (!BROKEN(4)) {
    list[1] = MouseClick(
        0, 0, 60, 80, kCursorButton, kMouseLeftClick,
        BROKEN(10) ? Wild<std::int32_t GAUGE_CALL(std::uint32_t, std::uint32_t)>(0x44) : Click);
    list[2] = MouseEndParent();
    list[3] = MouseEndList();
  }
  return list;
}
std::array<MouseArea, 1001> mouse = MouseList();

using Routines = Routines700<elements>;

GaugeHeader700 bad = {
    .base = {kGaugeVersion700, BROKEN(9) ? Wild<const char>(0x30) : "bad",
             BROKEN(9) ? Wild<ElementHeader* const>(0x20) : elements, &Routines::Query,
             &Routines::Install, &Routines::Initialize, &Routines::Update, &Routines::Generate,
             &Routines::Draw, &Routines::Kill, 0, 120},
    .zero48 = {},
    .mouseAreas = mouse.data(),
    .callback = nullptr,
    .zero88 = {}};

// Variant 7: a version-610 dial whose install routine dereferences null.
constinit NeedleElement610 dialNeedle = {.header = {.kind = kNeedle,
                                                    .bitmapId = 8192,
                                                    .x = 50,
                                                    .y = 50,
                                                    .pivotX = 4,
                                                    .pivotY = 4,
                                                    .owner = &bad610.base,
                                                    .drawFlags = kDrawImage},
                                         .source = Var(600),
                                         .startX = 60,
                                         .startY = 10,
                                         .calibration = points,
                                         .calibrationCount = 2};
constinit ElementHeader* dialChildren[] = {&dialNeedle.header, nullptr};
constinit StaticImageElement610 dialBackground = {.header = {.kind = kStaticImage,
                                                             .bitmapId = 4097,
                                                             .owner = &bad610.base,
                                                             .children = dialChildren,
                                                             .drawFlags = kDrawStaticImage},
                                                  .runtime = {}};
constinit ElementHeader* dialElements[] = {&dialBackground.header, nullptr};
constinit MouseArea dialMouse[] = {MouseParent(0, 0, 0, 0, 0), MouseEndParent(), MouseEndList()};

int* volatile nowhere = nullptr;

struct CrashingInstall : Routines610<bad610, dialElements, dialMouse> {
  static void GAUGE_CALL Install(std::uint32_t) { *nowhere = 1; }
};
GaugeHeader610 bad610 = {
    .base = {kGaugeVersion610, "bad610", dialElements, &CrashingInstall::Query,
             BROKEN(11) ? Wild<void GAUGE_CALL(std::uint32_t)>(0x48) : &CrashingInstall::Install,
             &CrashingInstall::Initialize, &CrashingInstall::Update, &CrashingInstall::Generate,
             &CrashingInstall::Draw, &CrashingInstall::Kill, 0, 100},
    .zero48 = {}};

#if MALFORMED == 8
__attribute__((constructor)) void CrashWhileLoading() { *nowhere = 1; }
#endif

std::array<GaugeHeaderBase*, 1002> GaugeList() {
  std::array<GaugeHeaderBase*, 1002> list{};
  list[0] = BROKEN(1) ? Wild<GaugeHeaderBase>(0x10) : &bad.base;
  if (BROKEN(6)) {
    for (std::size_t i = 0; i < 1001; ++i) list[i] = &bad.base;
  }
  if (BROKEN(7) || BROKEN(11)) list[1] = &bad610.base;
  return list;
}

}  // namespace

constinit ImportEntry ImportTable[] = {
    {kImportHostServices, nullptr},
    {0, nullptr},
};

// The Linkage head and a gauge list long enough for every variant.
struct MalformedLinkage {
  LinkageHead head;
  std::array<GaugeHeaderBase*, 1002> gauges;
};
GAUGE_EXPORT MalformedLinkage Linkage;
MalformedLinkage Linkage = {
    .head = {.moduleId = kModuleId, .init = ModuleHookNothing, .deinit = ModuleDeinitNothing},
    .gauges = GaugeList()};
