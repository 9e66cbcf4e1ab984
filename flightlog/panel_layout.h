// Geometry of the flight data recorder's pictures: bitmap ids, sizes, the
// positions of the recorder panel's readout boxes, lamps and labels. The
// module's element records and the art program that draws the bitmaps both
// read it, so the pictures and the records cannot drift apart. Plain C++: no
// framework header, the art program is a native 64-bit build.
#pragma once

#include <cstdint>

namespace flightlog::layout {

struct Point {
  int x;
  int y;
};

struct Size {
  int width;
  int height;
};

// Bitmap resource ids.
inline constexpr std::uint32_t kPanelBitmap = 4096;        // recorder panel background
inline constexpr std::uint32_t kRecordLampBitmap = 8192;   // 8192 green, 8193 red
inline constexpr std::uint32_t kPauseLampBitmap = 8448;    // 8448 green, 8449 red
inline constexpr std::uint32_t kWarningLampBitmap = 8704;  // red dot
inline constexpr std::uint32_t kSmallGaugeBitmap = 8960;   // the small text gauges
inline constexpr std::uint32_t kHudBitmap = 9216;          // "hud_mph" background
inline constexpr std::uint32_t kGreenDigitBitmaps = 9472;  // digits 0..9
inline constexpr std::uint32_t kRedDigitBitmaps = 9482;    // digits 0..9
inline constexpr int kLampBitmapCount = 2;                 // green (0.0), red (1.0)
inline constexpr int kDigitBitmapCount = 10;

// Sizes in pixels.
inline constexpr Size kPanelSize{436, 85};
inline constexpr Size kBoxSize{44, 12};              // a readout box drawn on the panel
inline constexpr Size kReadoutSize{44, 11};          // the text box of a readout
inline constexpr Size kPositionBoxSize{89, 24};      // drawn behind latitude and longitude
inline constexpr Size kPositionReadoutSize{88, 11};  // latitude, longitude
inline constexpr Size kLampSize{10, 12};             // start/stop and pause lamps
inline constexpr Size kWarningLampSize{9, 9};
inline constexpr Size kSmallGaugeSize{44, 12};
inline constexpr Size kHudSize{30, 11};
inline constexpr Size kDigitSize{10, 11};

// Characters a text box holds.
inline constexpr int kReadoutChars = 5;
inline constexpr int kPositionReadoutChars = 10;

// Box columns (x) and rows (y) of the recorder panel.
inline constexpr int kCol1 = 4;
inline constexpr int kCol2 = 76;
inline constexpr int kCol3 = 148;
inline constexpr int kCol4 = 220;
inline constexpr int kCol5 = 292;
inline constexpr int kCol6 = 364;
inline constexpr int kRow1 = 4;
inline constexpr int kRow2 = 17;
inline constexpr int kRow3 = 30;
inline constexpr int kRow4 = 43;
inline constexpr int kRow5 = 56;
inline constexpr int kRow6 = 69;

// Readout positions on the recorder panel (top-left corner of the box), by label.
// clang-format off
inline constexpr Point kIndex{kCol1, kRow1};   inline constexpr Point kFt{kCol2, kRow1};
inline constexpr Point kGal{kCol1, kRow2};     inline constexpr Point kMph{kCol2, kRow2};
inline constexpr Point kAux{kCol1, kRow3};     inline constexpr Point kIas{kCol2, kRow3};
inline constexpr Point kGph{kCol1, kRow4};     inline constexpr Point kHdg{kCol2, kRow4};
inline constexpr Point kWepT{kCol1, kRow5};    inline constexpr Point kBank{kCol2, kRow5};
inline constexpr Point kCgPct{kCol1, kRow6};   inline constexpr Point kPitch{kCol2, kRow6};

inline constexpr Point kGs{kCol3, kRow1};      inline constexpr Point kRpm{kCol4, kRow1};
inline constexpr Point kMach{kCol3, kRow2};    inline constexpr Point kHp{kCol4, kRow2};
inline constexpr Point kRoll{kCol3, kRow3};    inline constexpr Point kTorq{kCol4, kRow3};
inline constexpr Point kTurn{kCol3, kRow4};    inline constexpr Point kProp{kCol4, kRow4};
inline constexpr Point kClimb{kCol3, kRow5};   inline constexpr Point kThrst{kCol4, kRow5};
inline constexpr Point kAoA{kCol3, kRow6};     inline constexpr Point kBeta{kCol4, kRow6};

inline constexpr Point kMpsi{kCol5, kRow1};    inline constexpr Point kRot{kCol6, kRow1};
inline constexpr Point kTrim{kCol5, kRow2};    inline constexpr Point kCht{kCol6, kRow2};
inline constexpr Point kElev{kCol5, kRow3};    inline constexpr Point kOilT{kCol6, kRow3};
inline constexpr Point kAilrn{kCol5, kRow4};   inline constexpr Point kOilP{kCol6, kRow4};
inline constexpr Point kUnlabelledPsi{kCol5, kRow5};   // "%4.1f#"
inline constexpr Point kUnlabelledTemp{kCol5, kRow6};  // "%4.1fF"
// clang-format on

inline constexpr Point kPositionBox{346, 60};
inline constexpr Point kLatitude{346, 60};
inline constexpr Point kLongitude{346, 72};
// The help area named after the position box.
inline constexpr Point kPositionHelp{kCol6, kRow6};

// Lamps: the two controls sit in the label space of the index box.
inline constexpr Point kStartStopLamp{51, 4};
inline constexpr Point kPauseLamp{63, 4};
inline constexpr Point kWarningLamp{201, 70};

// The 34 boxes drawn on the panel background and the label printed right of
// each; null where a box has no label.
struct LabelledBox {
  Point at;
  const char* label;
};

// clang-format off
inline constexpr LabelledBox kBoxes[] = {
    // x = 4            x = 76            x = 148            x = 220
    {kIndex, nullptr},  {kFt, "Ft"},      {kGs, "G's"},      {kRpm, "Rpm"},
    {kGal, "Gal"},      {kMph, "MPH"},    {kMach, "Mach"},   {kHp, "Hp"},
    {kAux, "Aux"},      {kIas, "IAS"},    {kRoll, "Roll"},   {kTorq, "Torq"},
    {kGph, "Gph"},      {kHdg, "Hdg"},    {kTurn, "Turn"},   {kProp, "Prop"},
    {kWepT, "WepT"},    {kBank, "Bank"},  {kClimb, "Climb"}, {kThrst, "Thrst"},
    {kCgPct, "Cg%"},    {kPitch, "Pitch"}, {kAoA, "AoA"},    {kBeta, "Beta"},
    // x = 292            x = 364
    {kMpsi, "Mpsi"},      {kRot, "ROT"},
    {kTrim, "Trim"},      {kCht, "CHT"},
    {kElev, "Elev"},      {kOilT, "Oil T"},
    {kAilrn, "Ailrn"},    {kOilP, "Oil P"},
    {kUnlabelledPsi, nullptr},
    {kUnlabelledTemp, nullptr},
};
// clang-format on
static_assert(sizeof(kBoxes) / sizeof(kBoxes[0]) == 34);

}  // namespace flightlog::layout
