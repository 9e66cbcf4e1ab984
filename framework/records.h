// The records a gauge module shares with its host, laid out byte for byte.
//
// Every record is static, writable module data: the module initialises it in
// the image (constinit) and never writes it again, except a string element's
// text and text colour; fields marked "host" are 0 in the module and written by
// the host. Integers are little-endian, addresses 32 bits, doubles may start at
// any multiple of 4. Each field's offset and each record's size are checked at
// the end of this header.
#pragma once

#include <cstddef>
#include <cstdint>

#include "abi.h"

namespace gauge {

struct ElementHeader;
struct GaugeHeaderBase;
struct HostVariable;
struct MouseArea;

// Function types of the calls the host makes into a module.
using ModuleHook = void(GAUGE_CALL*)();
using Routine = void(GAUGE_CALL*)();
using RoutineWithArg = void(GAUGE_CALL*)(std::uint32_t arg);
using MouseHandler = std::int32_t(GAUGE_CALL*)(std::uint32_t, std::uint32_t);
using GaugeCallback = void(GAUGE_CALL*)(std::uint32_t gauge, std::uint32_t service,
                                        std::uint32_t extra);
// Version-700 value callbacks get the element; version-610 ones its source variable.
using ValueCallback = double(GAUGE_CALL*)(ElementHeader* element);
using ValueCallback610 = double(GAUGE_CALL*)(HostVariable* source);

#pragma pack(push, 4)

// One entry of the exported ImportTable; the table ends with id 0.
struct ImportEntry {
  std::uint32_t id{};  // kImportHostServices, kImportHostDataBlock or 0 (end)
  void* address{};     // host: the address of the service table or data block
};
inline constexpr std::uint32_t kImportHostServices = 0x0F;
inline constexpr std::uint32_t kImportHostDataBlock = 0x02;

inline constexpr std::uint32_t kModuleId = 0x13;

// Offsets 0..47, common to both gauge header versions.
struct GaugeHeaderBase {
  std::uint32_t version{};           // 700 or 610
  const char* name{};                // NUL-terminated gauge name
  ElementHeader* const* elements{};  // the root element, then null
  Routine query{};
  RoutineWithArg install{};
  Routine initialize{};
  Routine update{};
  RoutineWithArg generate{};
  Routine draw{};
  Routine kill{};
  std::uint32_t zero40{};
  std::uint32_t defaultWidth{};  // pixels
};

inline constexpr std::uint32_t kGaugeVersion700 = 700;
inline constexpr std::uint32_t kGaugeVersion610 = 610;

// Version-700 gauge header (120 bytes): names its mouse areas and callback.
struct GaugeHeader700 {
  GaugeHeaderBase base{};
  std::uint32_t zero48[8]{};
  MouseArea* mouseAreas{};   // or null
  GaugeCallback callback{};  // or null
  std::uint32_t zero88[8]{};
};

// Version-610 gauge header (88 bytes): attaches its mouse areas from its routines.
struct GaugeHeader610 {
  GaugeHeaderBase base{};
  std::uint32_t zero48[10]{};
};

// The exported Linkage: fixed part, then the gauge list ended by null.
struct LinkageHead {
  std::uint32_t moduleId{};  // kModuleId
  ModuleHook init{};
  ModuleHook deinit{};
  std::uint32_t zero12[3]{};
};

template <std::size_t GaugeCount>
struct LinkageRecord {
  LinkageHead head{};
  GaugeHeaderBase* gauges[GaugeCount + 1]{};  // ended by null
};

// Mouse-area record (44 bytes).
enum MouseAreaKind : std::uint32_t {
  kMouseEndOfList = 0,
  kMouseParent = 1,
  kMouseClickArea = 2,
  kMouseEndOfParent = 3,
};
inline constexpr std::uint32_t kNoCursor = 0xFFFFFFFF;
inline constexpr std::uint32_t kCursorStepUp = 1;
inline constexpr std::uint32_t kCursorStepDown = 2;
inline constexpr std::uint32_t kCursorButton = 5;
inline constexpr std::uint32_t kMouseLeftClick = 0x20000000;
inline constexpr std::uint32_t kMouseLeftHeld = 0x00200000;

struct MouseArea {
  std::uint32_t kind{};   // MouseAreaKind
  std::int32_t x{}, y{};  // top-left corner, gauge pixels
  std::int32_t width{}, height{};
  std::uint32_t cursor{};     // kNoCursor except on click areas
  std::uint32_t helpId{};     // on parents; 0 elsewhere
  std::uint32_t eventMask{};  // on click areas; 0 elsewhere
  std::uint32_t zero32{};
  MouseHandler handler{};  // click areas only
  std::uint32_t zero40{};
};

// Mouse-list rows, written as the tables that define them.
constexpr MouseArea MouseParent(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                                std::uint32_t helpId) {
  return {kMouseParent, x, y, w, h, kNoCursor, helpId, 0, 0, nullptr, 0};
}
constexpr MouseArea MouseClick(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                               std::uint32_t cursor, std::uint32_t eventMask,
                               MouseHandler handler) {
  return {kMouseClickArea, x, y, w, h, cursor, 0, eventMask, 0, handler, 0};
}
constexpr MouseArea MouseEndParent() {
  return {kMouseEndOfParent, 0, 0, 0, 0, kNoCursor, 0, 0, 0, nullptr, 0};
}
constexpr MouseArea MouseEndList() {
  return {kMouseEndOfList, 0, 0, 0, 0, kNoCursor, 0, 0, 0, nullptr, 0};
}

// A simulator variable as a module reads it (28 bytes). The module sets the token.
struct HostVariable {
  std::uint32_t token{};  // variable number; 0 = none
  void* raw{};            // host: address of the host's own storage (unread)
  std::uint32_t zero8{};
  double value{};  // host: current value
  double zero20{};
};

constexpr HostVariable Var(std::uint32_t token) { return {token, nullptr, 0, 0.0, 0.0}; }

struct FailureBinding {
  std::uint32_t key{};     // host failure number; {0, 0} ends a list
  std::uint32_t action{};  // host action number
};

enum ElementKind : std::uint32_t {
  kStaticImage = 0,
  kNeedle = 1,
  kString = 2,
  kSlider = 3,
  kIcon = 4,
};
inline constexpr std::uint32_t kNoBitmap = 0xFFFFFFFF;
inline constexpr std::uint32_t kDrawStaticImage = 1;
inline constexpr std::uint32_t kDrawImage = 3;  // needle, slider, icon
inline constexpr std::uint32_t kDrawString = 6;

// Common head of every element record (60 bytes).
struct ElementHeader {
  std::uint32_t kind{};      // ElementKind
  std::uint32_t bitmapId{};  // resource id; kNoBitmap for strings
  std::int32_t x{}, y{};     // top-left corner; a needle's pivot on the background
  std::int32_t zero16{}, zero20{};
  std::int32_t pivotX{}, pivotY{};  // pixel of a needle bitmap that sits on the pivot
  GaugeHeaderBase* owner{};         // the gauge header that owns the element
  std::uint32_t zero36{};
  ElementHeader* const* children{};  // null-ended child list, or null
  FailureBinding* failures{};        // {0,0}-ended failure list, or null
  std::uint32_t drawFlags{};
  std::uint32_t zero52{}, zero56{};
};

// Background image: the root of every gauge.
struct StaticImageElement700 {
  ElementHeader header{};
  std::uint32_t runtime[9]{};  // host; runtime[0] holds a host address after install
};
struct StaticImageElement610 {
  ElementHeader header{};
  std::uint32_t runtime[5]{};  // host; runtime[0] is read by the install routine
};

struct NeedleCalibrationPoint {
  std::int32_t x{}, y{};  // background pixel the needle points at for `value`
  double value{};
  double degrees{};  // host
};

// Needle of a version-610 gauge (224 bytes).
struct NeedleElement610 {
  ElementHeader header{};
  HostVariable source{};
  ValueCallback610 callback{};
  std::uint32_t zero92[3]{};
  std::int32_t startX{}, startY{};  // the first calibration point
  NeedleCalibrationPoint* calibration{};
  std::int32_t calibrationCount{};
  std::uint32_t zero120[26]{};
};

// Needle of a version-700 gauge (236 bytes).
struct NeedleElement700 {
  ElementHeader header{};
  HostVariable source{};
  std::uint32_t zero88[6]{};
  NeedleCalibrationPoint* calibration{};
  std::int32_t calibrationCount{};
  std::uint32_t zero120[26]{};
  ValueCallback callback{};
  std::uint32_t zero228[2]{};
};

// Text readout of a version-700 gauge (320 bytes).
inline constexpr std::uint32_t kTextCentredSingleLine = 0x25;
inline constexpr std::uint32_t kFontWeightNormal = 400;
inline constexpr std::uint32_t kDefaultCharset = 1;

struct StringElement700 {
  ElementHeader header{};
  HostVariable source1{};
  HostVariable source2{};
  HostVariable source3{};
  std::uint32_t zero144[10]{};
  char* text{};  // host: buffer of charCount + 1 bytes, set before the callback
  std::uint32_t zero188{};
  std::int32_t boxWidth{}, boxHeight{};  // pixels
  std::uint32_t zero200[2]{};
  std::uint32_t textColour{};  // 0x00BBGGRR; the callback may change it
  std::uint32_t colour2{};
  std::uint32_t colour3{};
  std::uint32_t zero220[7]{};
  char fontFace[32]{};  // NUL-padded
  std::uint32_t fontWeight{};
  std::uint32_t charset{};
  std::uint32_t textFormat{};  // Windows text-drawing flags
  std::int32_t charCount{};    // the text's longest length, NUL not counted
  std::uint32_t zero296[4]{};
  ValueCallback callback{};
  std::uint32_t zero316{};
};

// Bitmap chosen by value (136 bytes).
struct IconElement700 {
  ElementHeader header{};
  HostVariable source{};
  std::uint32_t zero88{};
  std::uint32_t selectionMode{};  // host code: 0, 1 or 3
  std::uint32_t zero96{};
  double selectionParameter{};
  std::uint32_t zero108{};
  std::int32_t bitmapCount{};  // consecutive ids from header.bitmapId
  std::uint32_t zero116[4]{};
  ValueCallback callback{};
};

// Bitmap moved by variables (192 bytes).
struct SliderElement700 {
  ElementHeader header{};
  HostVariable xSource{};
  std::uint32_t zero88[4]{};
  HostVariable ySource{};
  std::uint32_t zero132{};
  double yScale{};  // pixels per unit of the y value, from header.y
  std::uint32_t zero144[12]{};
};

#pragma pack(pop)

// Field offsets and sizes, frozen.
#define GAUGE_AT(type, field, offset) \
  static_assert(offsetof(type, field) == (offset), #type "." #field)
GAUGE_AT(ImportEntry, id, 0);
GAUGE_AT(ImportEntry, address, 4);
static_assert(sizeof(ImportEntry) == 8);

GAUGE_AT(GaugeHeaderBase, version, 0);
GAUGE_AT(GaugeHeaderBase, name, 4);
GAUGE_AT(GaugeHeaderBase, elements, 8);
GAUGE_AT(GaugeHeaderBase, query, 12);
GAUGE_AT(GaugeHeaderBase, install, 16);
GAUGE_AT(GaugeHeaderBase, initialize, 20);
GAUGE_AT(GaugeHeaderBase, update, 24);
GAUGE_AT(GaugeHeaderBase, generate, 28);
GAUGE_AT(GaugeHeaderBase, draw, 32);
GAUGE_AT(GaugeHeaderBase, kill, 36);
GAUGE_AT(GaugeHeaderBase, zero40, 40);
GAUGE_AT(GaugeHeaderBase, defaultWidth, 44);
static_assert(sizeof(GaugeHeaderBase) == 48);
GAUGE_AT(GaugeHeader700, zero48, 48);
GAUGE_AT(GaugeHeader700, mouseAreas, 80);
GAUGE_AT(GaugeHeader700, callback, 84);
GAUGE_AT(GaugeHeader700, zero88, 88);
static_assert(sizeof(GaugeHeader700) == 120);
GAUGE_AT(GaugeHeader610, zero48, 48);
static_assert(sizeof(GaugeHeader610) == 88);

GAUGE_AT(LinkageHead, moduleId, 0);
GAUGE_AT(LinkageHead, init, 4);
GAUGE_AT(LinkageHead, deinit, 8);
GAUGE_AT(LinkageHead, zero12, 12);
static_assert(sizeof(LinkageHead) == 24);
static_assert(offsetof(LinkageRecord<1>, gauges) == 24);
static_assert(sizeof(LinkageRecord<10>) == 24 + 11 * 4);

GAUGE_AT(MouseArea, kind, 0);
GAUGE_AT(MouseArea, x, 4);
GAUGE_AT(MouseArea, y, 8);
GAUGE_AT(MouseArea, width, 12);
GAUGE_AT(MouseArea, height, 16);
GAUGE_AT(MouseArea, cursor, 20);
GAUGE_AT(MouseArea, helpId, 24);
GAUGE_AT(MouseArea, eventMask, 28);
GAUGE_AT(MouseArea, zero32, 32);
GAUGE_AT(MouseArea, handler, 36);
GAUGE_AT(MouseArea, zero40, 40);
static_assert(sizeof(MouseArea) == 44);

GAUGE_AT(HostVariable, token, 0);
GAUGE_AT(HostVariable, raw, 4);
GAUGE_AT(HostVariable, zero8, 8);
GAUGE_AT(HostVariable, value, 12);
GAUGE_AT(HostVariable, zero20, 20);
static_assert(sizeof(HostVariable) == 28);

GAUGE_AT(FailureBinding, key, 0);
GAUGE_AT(FailureBinding, action, 4);
static_assert(sizeof(FailureBinding) == 8);

GAUGE_AT(ElementHeader, kind, 0);
GAUGE_AT(ElementHeader, bitmapId, 4);
GAUGE_AT(ElementHeader, x, 8);
GAUGE_AT(ElementHeader, y, 12);
GAUGE_AT(ElementHeader, zero16, 16);
GAUGE_AT(ElementHeader, zero20, 20);
GAUGE_AT(ElementHeader, pivotX, 24);
GAUGE_AT(ElementHeader, pivotY, 28);
GAUGE_AT(ElementHeader, owner, 32);
GAUGE_AT(ElementHeader, zero36, 36);
GAUGE_AT(ElementHeader, children, 40);
GAUGE_AT(ElementHeader, failures, 44);
GAUGE_AT(ElementHeader, drawFlags, 48);
GAUGE_AT(ElementHeader, zero52, 52);
GAUGE_AT(ElementHeader, zero56, 56);
static_assert(sizeof(ElementHeader) == 60);

GAUGE_AT(StaticImageElement700, runtime, 60);
static_assert(sizeof(StaticImageElement700) == 96);
GAUGE_AT(StaticImageElement610, runtime, 60);
static_assert(sizeof(StaticImageElement610) == 80);

GAUGE_AT(NeedleCalibrationPoint, x, 0);
GAUGE_AT(NeedleCalibrationPoint, y, 4);
GAUGE_AT(NeedleCalibrationPoint, value, 8);
GAUGE_AT(NeedleCalibrationPoint, degrees, 16);
static_assert(sizeof(NeedleCalibrationPoint) == 24);

GAUGE_AT(NeedleElement610, source, 60);
GAUGE_AT(NeedleElement610, callback, 88);
GAUGE_AT(NeedleElement610, zero92, 92);
GAUGE_AT(NeedleElement610, startX, 104);
GAUGE_AT(NeedleElement610, startY, 108);
GAUGE_AT(NeedleElement610, calibration, 112);
GAUGE_AT(NeedleElement610, calibrationCount, 116);
GAUGE_AT(NeedleElement610, zero120, 120);
static_assert(sizeof(NeedleElement610) == 224);

GAUGE_AT(NeedleElement700, source, 60);
GAUGE_AT(NeedleElement700, zero88, 88);
GAUGE_AT(NeedleElement700, calibration, 112);
GAUGE_AT(NeedleElement700, calibrationCount, 116);
GAUGE_AT(NeedleElement700, zero120, 120);
GAUGE_AT(NeedleElement700, callback, 224);
GAUGE_AT(NeedleElement700, zero228, 228);
static_assert(sizeof(NeedleElement700) == 236);

GAUGE_AT(StringElement700, source1, 60);
GAUGE_AT(StringElement700, source2, 88);
GAUGE_AT(StringElement700, source3, 116);
GAUGE_AT(StringElement700, zero144, 144);
GAUGE_AT(StringElement700, text, 184);
GAUGE_AT(StringElement700, zero188, 188);
GAUGE_AT(StringElement700, boxWidth, 192);
GAUGE_AT(StringElement700, boxHeight, 196);
GAUGE_AT(StringElement700, zero200, 200);
GAUGE_AT(StringElement700, textColour, 208);
GAUGE_AT(StringElement700, colour2, 212);
GAUGE_AT(StringElement700, colour3, 216);
GAUGE_AT(StringElement700, zero220, 220);
GAUGE_AT(StringElement700, fontFace, 248);
GAUGE_AT(StringElement700, fontWeight, 280);
GAUGE_AT(StringElement700, charset, 284);
GAUGE_AT(StringElement700, textFormat, 288);
GAUGE_AT(StringElement700, charCount, 292);
GAUGE_AT(StringElement700, zero296, 296);
GAUGE_AT(StringElement700, callback, 312);
GAUGE_AT(StringElement700, zero316, 316);
static_assert(sizeof(StringElement700) == 320);

GAUGE_AT(IconElement700, source, 60);
GAUGE_AT(IconElement700, zero88, 88);
GAUGE_AT(IconElement700, selectionMode, 92);
GAUGE_AT(IconElement700, zero96, 96);
GAUGE_AT(IconElement700, selectionParameter, 100);
GAUGE_AT(IconElement700, zero108, 108);
GAUGE_AT(IconElement700, bitmapCount, 112);
GAUGE_AT(IconElement700, zero116, 116);
GAUGE_AT(IconElement700, callback, 132);
static_assert(sizeof(IconElement700) == 136);

GAUGE_AT(SliderElement700, xSource, 60);
GAUGE_AT(SliderElement700, zero88, 88);
GAUGE_AT(SliderElement700, ySource, 104);
GAUGE_AT(SliderElement700, zero132, 132);
GAUGE_AT(SliderElement700, yScale, 136);
GAUGE_AT(SliderElement700, zero144, 144);
static_assert(sizeof(SliderElement700) == 192);
#undef GAUGE_AT

}  // namespace gauge
