// The module's records: ImportTable, Linkage, the ten gauge headers in
// Linkage order, every element of their element trees and the recorder
// panel's mouse-area list.
#include <cstddef>
#include <cstdint>
#include <utility>

#include "flightlog/panel_layout.h"
#include "flightlog/position_rates.h"
#include "flightlog/readouts.h"
#include "flightlog/recorder.h"
#include "framework/module.h"

using gauge::ElementHeader;
using gauge::GaugeHeader700;
using gauge::GaugeHeaderBase;
using gauge::IconElement700;
using gauge::MouseArea;
using gauge::StaticImageElement700;
using gauge::StringElement700;
using gauge::ValueCallback;

namespace flightlog {

namespace L = layout;

namespace {

// Icon selection modes (the host's codes).
constexpr std::uint32_t kIndicatorMode = 3;  // the recorder panel's lamps
constexpr std::uint32_t kDigitMode = 0;      // the "hud_mph" digits

// Help ids of the recorder panel's readout areas.
constexpr std::uint32_t kHelpGal = 43814;
constexpr std::uint32_t kHelpMpsi = 43846;
constexpr std::uint32_t kHelpTrim = 43820;
constexpr std::uint32_t kHelpBankPitch = 43789;
constexpr std::uint32_t kHelpFt = 43783;
constexpr std::uint32_t kHelpMph = 43778;
constexpr std::uint32_t kHelpIas = 43828;
constexpr std::uint32_t kHelpGs = 42268;
constexpr std::uint32_t kHelpClimb = 41734;
constexpr std::uint32_t kHelpProp = 43128;
constexpr std::uint32_t kHelpPosition = 42033;

constexpr StaticImageElement700 Background(GaugeHeaderBase* owner, std::uint32_t bitmap,
                                           ElementHeader* const* children) {
  StaticImageElement700 e{};
  e.header.kind = gauge::kStaticImage;
  e.header.bitmapId = bitmap;
  e.header.owner = owner;
  e.header.children = children;
  e.header.drawFlags = gauge::kDrawStaticImage;
  return e;
}

constexpr IconElement700 Icon(GaugeHeaderBase* owner, L::Point at, std::uint32_t bitmap, int count,
                              std::uint32_t mode, std::uint32_t token, ValueCallback callback) {
  IconElement700 e{};
  e.header.kind = gauge::kIcon;
  e.header.bitmapId = bitmap;
  e.header.x = at.x;
  e.header.y = at.y;
  e.header.owner = owner;
  e.header.drawFlags = gauge::kDrawImage;
  e.source = gauge::Var(token);
  e.selectionMode = mode;
  e.selectionParameter = 0.0;
  e.bitmapCount = count;
  e.callback = callback;
  return e;
}

constexpr StringElement700 TextElement(GaugeHeaderBase* owner, L::Point at, std::uint32_t token1,
                                       std::uint32_t token2, ValueCallback callback,
                                       L::Size box = L::kReadoutSize,
                                       int chars = L::kReadoutChars) {
  StringElement700 e{};
  e.header.kind = gauge::kString;
  e.header.bitmapId = gauge::kNoBitmap;
  e.header.x = at.x;
  e.header.y = at.y;
  e.header.owner = owner;
  e.header.drawFlags = gauge::kDrawString;
  e.source1 = gauge::Var(token1);
  e.source2 = gauge::Var(token2);
  e.source3 = gauge::Var(0);
  e.boxWidth = box.width;
  e.boxHeight = box.height;
  e.textColour = kGreen;
  e.colour2 = 0x000000;
  e.colour3 = 0x5C5C5C;
  const char face[] = "Courier New";
  for (std::size_t i = 0; i < sizeof face; ++i) e.fontFace[i] = face[i];
  e.fontWeight = gauge::kFontWeightNormal;
  e.charset = gauge::kDefaultCharset;
  e.textFormat = gauge::kTextCentredSingleLine;
  e.charCount = chars;
  e.callback = callback;
  return e;
}

// A readout built from its row: the row's variables and ReadoutCallback<row>.
template <const Readout& R>
constexpr StringElement700 Text(GaugeHeaderBase* owner, L::Point at) {
  return TextElement(owner, at, R.token1, R.token2, &ReadoutCallback<R>);
}

constexpr MouseArea HelpArea(L::Point at, std::uint32_t helpId) {
  return gauge::MouseParent(at.x, at.y, L::kBoxSize.width, L::kBoxSize.height, helpId);
}

constexpr MouseArea LampButton(L::Point at, gauge::MouseHandler handler) {
  return gauge::MouseClick(at.x, at.y, L::kLampSize.width, L::kLampSize.height,
                           gauge::kCursorButton, gauge::kMouseLeftClick, handler);
}

// A version-700 header whose routines hand Elements[0] to the host; the
// default width is the background's. (A class rather than a function
// template: GCC 12 binds a function template's auto& parameter wrongly when it
// is called from inside a class template.)
template <auto& Elements>
struct Header {
  static constexpr GaugeHeader700 Make(const char* name, L::Size background,
                                       MouseArea* mouseAreas) {
    return {
        gauge::HeaderBase<gauge::Routines700<Elements>>(
            gauge::kGaugeVersion700, name, Elements, static_cast<std::uint32_t>(background.width)),
        {},
        mouseAreas,
        nullptr,
        {}};
  }
};

}  // namespace

// ---------------------------------------------------------------------------
// "recpanel"

extern GaugeHeader700 recPanel;
constexpr GaugeHeaderBase* kRecPanel = &recPanel.base;

namespace {

// A lamp of the recorder panel (selection mode 3).
constexpr IconElement700 Lamp(L::Point at, std::uint32_t bitmap, int count, std::uint32_t token,
                              ValueCallback callback) {
  return Icon(kRecPanel, at, bitmap, count, kIndicatorMode, token, callback);
}

// clang-format off
// The lamps, child list entries 1 to 3.
constinit IconElement700 recPanelIcons[] = {
    //   position          bitmap                 count                token callback
    Lamp(L::kStartStopLamp, L::kRecordLampBitmap,  L::kLampBitmapCount, 1,  &RecordLamp),   // 1
    Lamp(L::kPauseLamp,     L::kPauseLampBitmap,   L::kLampBitmapCount, 1,  &WriteLamp),    // 2
    Lamp(L::kWarningLamp,   L::kWarningLampBitmap, 1,                   67, &WarningLamp),  // 3
};

// The text readouts, child list entries 4 to 39, in update order.
constinit StringElement700 recPanelTexts[] = {
    Text<kGal>(kRecPanel, L::kGal),                                        //  4
    Text<kTrim>(kRecPanel, L::kTrim),                                      //  5
    Text<kAux>(kRecPanel, L::kAux),                                        //  6
    Text<kMpsi>(kRecPanel, L::kMpsi),                                      //  7
    Text<kElev>(kRecPanel, L::kElev),                                      //  8
    Text<kAilrn>(kRecPanel, L::kAilrn),                                    //  9
    Text<kGph>(kRecPanel, L::kGph),                                        // 10
    Text<kBeta>(kRecPanel, L::kBeta),                                      // 11
    Text<kBank>(kRecPanel, L::kBank),                                      // 12
    Text<kFt>(kRecPanel, L::kFt),                                          // 13
    Text<kMph>(kRecPanel, L::kMph),                                        // 14
    Text<kIas>(kRecPanel, L::kIas),                                        // 15
    Text<kHdg>(kRecPanel, L::kHdg),                                        // 16
    TextElement(kRecPanel, L::kTurn, 84, 0, &TurnReadout),                 // 17
    TextElement(kRecPanel, L::kRoll, 80, 0, &RollReadout),                 // 18
    Text<kMach>(kRecPanel, L::kMach),                                      // 19
    Text<kGs>(kRecPanel, L::kGs),                                          // 20
    Text<kClimb>(kRecPanel, L::kClimb),                                    // 21
    Text<kPitch>(kRecPanel, L::kPitch),                                    // 22
    Text<kRpm>(kRecPanel, L::kRpm),                                        // 23
    Text<kHp>(kRecPanel, L::kHp),                                          // 24
    Text<kThrst>(kRecPanel, L::kThrst),                                    // 25
    Text<kProp>(kRecPanel, L::kProp),                                      // 26
    Text<kTorq>(kRecPanel, L::kTorq),                                      // 27
    Text<kWepT>(kRecPanel, L::kWepT),                                      // 28
    TextElement(kRecPanel, L::kIndex, 1, 0, &IndexReadout),                // 29
    Text<kPsi>(kRecPanel, L::kUnlabelledPsi),                              // 30
    Text<kTempF>(kRecPanel, L::kUnlabelledTemp),                           // 31
    Text<kAoA>(kRecPanel, L::kAoA),                                        // 32
    Text<kOilT>(kRecPanel, L::kOilT),                                      // 33
    Text<kOilP>(kRecPanel, L::kOilP),                                      // 34
    Text<kRot>(kRecPanel, L::kRot),                                        // 35
    Text<kCht>(kRecPanel, L::kCht),                                        // 36
    TextElement(kRecPanel, L::kLatitude, 71, 0, &LatitudeReadout,
                L::kPositionReadoutSize, L::kPositionReadoutChars),        // 37
    TextElement(kRecPanel, L::kLongitude, 72, 0, &LongitudeReadout,
                L::kPositionReadoutSize, L::kPositionReadoutChars),        // 38
    Text<kCgPct>(kRecPanel, L::kCgPct),                                    // 39
};
// clang-format on

constexpr std::size_t kRecPanelIconCount = sizeof recPanelIcons / sizeof recPanelIcons[0];
constexpr std::size_t kRecPanelTextCount = sizeof recPanelTexts / sizeof recPanelTexts[0];
static_assert(kRecPanelIconCount == 3 && kRecPanelTextCount == 36);

// The lamps, then the readouts, then null.
template <std::size_t... I>
struct RecPanelChildList {
  static constexpr std::size_t kSize = kRecPanelIconCount + sizeof...(I) + 1;
  ElementHeader* entries[kSize];
};
template <std::size_t... I>
constexpr RecPanelChildList<I...> MakeRecPanelChildren(std::index_sequence<I...>) {
  return {{&recPanelIcons[0].header, &recPanelIcons[1].header, &recPanelIcons[2].header,
           &recPanelTexts[I].header..., nullptr}};
}
constinit auto recPanelChildren =
    MakeRecPanelChildren(std::make_index_sequence<kRecPanelTextCount>{});

constinit StaticImageElement700 recPanelBackground =
    Background(kRecPanel, L::kPanelBitmap, recPanelChildren.entries);
constinit ElementHeader* recPanelElements[] = {&recPanelBackground.header, nullptr};

// clang-format off
constinit MouseArea recPanelMouse[] = {
    gauge::MouseParent(0, 0, 0, 0, 0),               //  1 the whole gauge
    HelpArea(L::kGal, kHelpGal),                     //  2
    gauge::MouseEndParent(),                         //  3
    HelpArea(L::kMpsi, kHelpMpsi),                   //  4
    gauge::MouseEndParent(),                         //  5
    HelpArea(L::kTrim, kHelpTrim),                   //  6
    gauge::MouseEndParent(),                         //  7
    HelpArea(L::kBank, kHelpBankPitch),              //  8
    gauge::MouseEndParent(),                         //  9
    HelpArea(L::kFt, kHelpFt),                       // 10
    gauge::MouseEndParent(),                         // 11
    HelpArea(L::kMph, kHelpMph),                     // 12
    gauge::MouseEndParent(),                         // 13
    HelpArea(L::kIas, kHelpIas),                     // 14
    gauge::MouseEndParent(),                         // 15
    HelpArea(L::kGs, kHelpGs),                       // 16
    gauge::MouseEndParent(),                         // 17
    HelpArea(L::kClimb, kHelpClimb),                 // 18
    gauge::MouseEndParent(),                         // 19
    HelpArea(L::kPitch, kHelpBankPitch),             // 20
    gauge::MouseEndParent(),                         // 21
    HelpArea(L::kProp, kHelpProp),                   // 22
    gauge::MouseEndParent(),                         // 23
    HelpArea(L::kPositionHelp, kHelpPosition),       // 24
    gauge::MouseEndParent(),                         // 25
    LampButton(L::kStartStopLamp, &StartStopClick),  // 26
    LampButton(L::kPauseLamp, &PauseResumeClick),    // 27
    gauge::MouseEndParent(),                         // 28 end of the whole gauge
    gauge::MouseEndList(),                           // 29
};
// clang-format on
static_assert(sizeof recPanelMouse / sizeof recPanelMouse[0] == 29);

}  // namespace

constinit GaugeHeader700 recPanel =
    Header<recPanelElements>::Make("recpanel", L::kPanelSize, recPanelMouse);

// ---------------------------------------------------------------------------
// The small text gauges: background 8960 and one readout at (0, 0).

// Row I of kSmallGauges as a gauge.
template <std::size_t I>
struct SmallTextGauge {
  static StringElement700 text;
  static ElementHeader* children[2];
  static StaticImageElement700 background;
  static ElementHeader* elements[2];
  static GaugeHeader700 header;
};
template <std::size_t I>
constinit StringElement700 SmallTextGauge<I>::text = TextElement(&header.base, {0, 0},
                                                                 kSmallGauges[I].readout.token1,
                                                                 kSmallGauges[I].readout.token2,
                                                                 &SmallReadoutCallback<I>);
template <std::size_t I>
constinit ElementHeader* SmallTextGauge<I>::children[2] = {&text.header, nullptr};
template <std::size_t I>
constinit StaticImageElement700 SmallTextGauge<I>::background = Background(&header.base,
                                                                           L::kSmallGaugeBitmap,
                                                                           children);
template <std::size_t I>
constinit ElementHeader* SmallTextGauge<I>::elements[2] = {&background.header, nullptr};
template <std::size_t I>
constinit GaugeHeader700 SmallTextGauge<I>::header =
    Header<SmallTextGauge<I>::elements>::Make(kSmallGauges[I].name, L::kSmallGaugeSize, nullptr);

// ---------------------------------------------------------------------------
// "hud_mph": background 9216 and three digit icons, hundreds first.

extern GaugeHeader700 hudMph;

namespace {

constexpr GaugeHeaderBase* kHud = &hudMph.base;

// A digit icon of "hud_mph": ten bitmaps from 9472, selection mode 0.
constexpr IconElement700 Digit(L::Point at, std::uint32_t token, ValueCallback callback) {
  return Icon(kHud, at, L::kGreenDigitBitmaps, L::kDigitBitmapCount, kDigitMode, token, callback);
}

// clang-format off
constinit IconElement700 hudDigits[] = {
    //    position token callback
    Digit({0, 0},  0,  &HudHundreds),
    Digit({10, 0}, 0,  &HudTens),
    Digit({20, 0}, 61, &HudUnits),
};
// clang-format on
constinit ElementHeader* hudChildren[] = {&hudDigits[0].header, &hudDigits[1].header,
                                          &hudDigits[2].header, nullptr};
constinit StaticImageElement700 hudBackground = Background(kHud, L::kHudBitmap, hudChildren);
constinit ElementHeader* hudElements[] = {&hudBackground.header, nullptr};

}  // namespace

constinit GaugeHeader700 hudMph = Header<hudElements>::Make("hud_mph", L::kHudSize, nullptr);

}  // namespace flightlog

// ---------------------------------------------------------------------------
// The exported records.

// module.h declares ImportTable with its export.
constinit gauge::ImportEntry ImportTable[] = {
    {gauge::kImportHostServices, nullptr},
    {gauge::kImportHostDataBlock, nullptr},
    {0, nullptr},
};

namespace {
using flightlog::SmallGaugeIndex;
using flightlog::SmallTextGauge;
template <std::size_t I>
constexpr GaugeHeaderBase* Small = &SmallTextGauge<I>::header.base;
}  // namespace

GAUGE_EXPORT gauge::LinkageRecord<10> Linkage;
constinit gauge::LinkageRecord<10> Linkage = {
    {gauge::kModuleId, &gauge::ModuleHookNothing, &gauge::ModuleDeinitNothing, {}},
    {
        &flightlog::recPanel.base,
        Small<SmallGaugeIndex("airspeed")>,
        Small<SmallGaugeIndex("radar_alt")>,
        Small<SmallGaugeIndex("gun_ammo")>,
        Small<SmallGaugeIndex("cannon_ammo")>,
        &flightlog::hudMph.base,
        Small<SmallGaugeIndex("gforce")>,
        Small<SmallGaugeIndex("mach")>,
        Small<SmallGaugeIndex("cg_pct")>,
        Small<SmallGaugeIndex("hp")>,
        nullptr,
    },
};
