// The recorder's text readouts: one row per readout gives its variables, the
// conversion to the shown value, the text format, the colour rule, the log
// column it feeds and the value it returns; ReadoutCallback<row> is the value
// callback built from a row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "flightlog/recorder.h"
#include "flightlog/text.h"
#include "framework/records.h"

namespace flightlog {

// How a readout gets x from its element's first and second variable values
// (v, w): v times a factor, or a function of both.
struct Conversion {
  double (*function)(double v, double w);  // null: x = v * factor
  double factor;
  double operator()(double v, double w) const {
    return function != nullptr ? function(v, w) : v * factor;
  }
};

namespace conversions {
inline double Value(double v, double) { return v; }
inline double Negated(double v, double) { return -v; }
inline double RadiansToDegrees(double v, double) { return v * 180 / 3.141592; }
inline double RankineToFahrenheit(double v, double) { return v - 459.7; }
inline double CelsiusToFahrenheit(double v, double) { return v * 1.8 + 32; }
// Engine torque from power (v) and engine speed (w); w + 1 keeps 0 rpm finite.
inline double Torque(double v, double w) { return (v * 0.0018182) * 5252 / (w + 1); }
// Height above the ground in feet: altitude in metres (v), ground height in
// 1/256 metres (w).
inline double Clearance(double v, double w) { return v * 3.28084 - w * 0.01281578125; }
// Indicated airspeed from the host data block's word at byte offset 700.
double IndicatedAirspeed(double v, double w);
}  // namespace conversions

constexpr Conversion Times(double factor) { return {nullptr, factor}; }
constexpr Conversion Value() { return {&conversions::Value, 0}; }
constexpr Conversion Negated() { return {&conversions::Negated, 0}; }
constexpr Conversion RadiansToDegrees() { return {&conversions::RadiansToDegrees, 0}; }
constexpr Conversion RankineToFahrenheit() { return {&conversions::RankineToFahrenheit, 0}; }
constexpr Conversion CelsiusToFahrenheit() { return {&conversions::CelsiusToFahrenheit, 0}; }
constexpr Conversion Torque() { return {&conversions::Torque, 0}; }
constexpr Conversion Clearance() { return {&conversions::Clearance, 0}; }
constexpr Conversion IndicatedAirspeed() { return {&conversions::IndicatedAirspeed, 0}; }

// Colour rules. above(H, M): red over H, yellow over M. band(H, M): the same
// on both sides of 0. terrain: red below 500 ft of clearance, yellow below
// 3000. warning: red while the warning lamp is lit.
struct ColourRule {
  enum Kind { kNone, kAbove, kBand, kTerrain, kWarning } kind;
  double high;
  double mid;
};
constexpr ColourRule None() { return {ColourRule::kNone, 0, 0}; }
constexpr ColourRule Above(double high, double mid) { return {ColourRule::kAbove, high, mid}; }
constexpr ColourRule Band(double high, double mid) { return {ColourRule::kBand, high, mid}; }
constexpr ColourRule Terrain() { return {ColourRule::kTerrain, 0, 0}; }
constexpr ColourRule Warning() { return {ColourRule::kWarning, 0, 0}; }

// What the callback hands back to the host: the raw first variable (kV) or x (kX).
enum Returns { kV, kX };

struct Readout {
  std::uint32_t token1;  // v
  std::uint32_t token2;  // w, 0 when not read
  Conversion convert;    // x
  const char* format;    // one %d or %f conversion of x
  ColourRule colour;
  LogColumn cache;  // LogCache column x is stored in, or kNoLog
  Returns returns;
  // ROT: while the whole part of v is 0 the text and colour are left as they are.
  bool keepTextWhileZero = false;
};

// The single readout of a small text gauge: the same row without a log column.
struct SmallGauge {
  const char* name;
  Readout readout;
};
constexpr SmallGauge Small(const char* name, std::uint32_t token1, std::uint32_t token2,
                           Conversion convert, const char* format, ColourRule colour,
                           Returns returns) {
  return {name, {token1, token2, convert, format, colour, kNoLog, returns}};
}

// clang-format off
// Readouts of the recorder panel, by label.
//                tokens     x                         format    colour           LogCache  returns
constexpr Readout kGal  {386, 0,   Value(),                  "%5.1f",  None(),          kNoLog,    kV};
constexpr Readout kAux  {385, 0,   Value(),                  "%5.1f",  None(),          kNoLog,    kV};
constexpr Readout kGph  {421, 0,   Times(0.1666667),         "%5.2f",  None(),          kNoLog,    kX};
constexpr Readout kWepT {409, 0,   Value(),                  "%5d",    None(),          kNoLog,    kV};
constexpr Readout kCgPct{795, 0,   Times(100.0),             "%5.1f",  None(),          kNoLog,    kX};
constexpr Readout kFt   {73,  2,   Times(3.28084),           "%5d",    Terrain(),       kLogAlt,   kX};
constexpr Readout kMph  {61,  0,   Times(1.1517),            "%5.1f",  Above(500, 300), kLogTas,   kX};
constexpr Readout kIas  {61,  0,   IndicatedAirspeed(),      "%5.1f",  Above(500, 300), kLogIas,   kX};
constexpr Readout kHdg  {84,  0,   Value(),                  "%5d",    None(),          kNoLog,    kV};
constexpr Readout kBank {80,  0,   Value(),                  "%5.1f",  None(),          kLogBank,  kV};
constexpr Readout kPitch{78,  0,   Negated(),                "%5.1f",  None(),          kLogPitch, kX};
constexpr Readout kGs   {351, 0,   Times(0.001652893),       "%5.2f",  Band(8, 3),      kLogGforc, kX};
constexpr Readout kMach {64,  0,   Times(0.0000472),         "%5.3f",  None(),          kNoLog,    kX};
constexpr Readout kClimb{65,  0,   Times(0.76875),           "%5d",    None(),          kLogClimb, kX};
constexpr Readout kAoA  {789, 0,   RadiansToDegrees(),       "%5.1f",  Warning(),       kLogAoA,   kV};
constexpr Readout kRpm  {390, 0,   Value(),                  "%5d",    None(),          kNoLog,    kV};
constexpr Readout kHp   {402, 0,   Times(0.0018182),         "%5d",    None(),          kLogHp,    kX};
constexpr Readout kTorq {402, 390, Torque(),                 "%5d",    None(),          kNoLog,    kX};
constexpr Readout kProp {703, 0,   Times(57.2519),           "%5.1f",  None(),          kLogProp,  kV};
constexpr Readout kThrst{702, 0,   Value(),                  "%5d",    None(),          kLogThrst, kV};
constexpr Readout kBeta {790, 0,   RadiansToDegrees(),       "%5.1f",  None(),          kLogBeta,  kV};
constexpr Readout kMpsi {391, 0,   Times(0.014139),          "%5.1f",  None(),          kNoLog,    kX};
constexpr Readout kTrim {783, 0,   Times(57.29579143313326), "%5.2f",  None(),          kNoLog,    kX};
constexpr Readout kElev {782, 0,   Times(57.29578),          "%5.1f",  None(),          kLogElev,  kX};
constexpr Readout kAilrn{784, 0,   Times(57.29578),          "%5.1f",  None(),          kNoLog,    kX};
constexpr Readout kPsi  {342, 0,   Times(0.0018467021875),   "%4.1f#", None(),          kNoLog,    kX};
constexpr Readout kTempF{341, 0,   CelsiusToFahrenheit(),    "%4.1fF", None(),          kNoLog,    kV};
constexpr Readout kRot  {417, 0,   RankineToFahrenheit(),    "%4dF",   None(),          kNoLog,    kX,
                         true};  // keeps its text while the whole part of v is 0
constexpr Readout kCht  {415, 0,   RankineToFahrenheit(),    "%4dF",   None(),          kNoLog,    kX};
constexpr Readout kOilT {416, 0,   RankineToFahrenheit(),    "%4dF",   None(),          kNoLog,    kX};
constexpr Readout kOilP {418, 0,   Times(0.006944),          "%4d#",   None(),          kNoLog,    kX};

// The single readouts of the small text gauges.
constexpr SmallGauge kSmallGauges[] = {
    //    gauge          tokens  x                    format   colour           returns
    Small("airspeed",    61,  0, Times(1.1517),      "%5d",   Above(500, 300), kX),
    Small("radar_alt",   73,  2, Clearance(),        "%5d",   Terrain(),       kX),
    Small("gun_ammo",    357, 0, Value(),            "%5d",   None(),          kV),
    Small("cannon_ammo", 358, 0, Value(),            "%5d",   None(),          kV),
    Small("gforce",      351, 0, Times(0.001652893), "%5.2f", Band(9, 6),      kX),
    Small("mach",        64,  0, Times(0.0000472),   "%5.3f", Above(0.7, 0.5), kX),
    Small("cg_pct",      795, 0, Times(100.0),       "%5.1f", None(),          kX),
    Small("hp",          402, 0, Times(0.0018182),   "%5d",   None(),          kX),
};
// clang-format on

// The row of the small gauge of that name; a name not in the table does not
// compile.
consteval std::size_t SmallGaugeIndex(std::string_view name) {
  for (std::size_t i = 0; i < sizeof kSmallGauges / sizeof kSmallGauges[0]; ++i) {
    if (name == kSmallGauges[i].name) return i;
  }
  throw "no small gauge of that name";
}

// Whether a format's one conversion is an integer ('d') or floating-point
// ('f') one; anything else is refused at compile time.
enum class FormatKind { kInvalid, kInteger, kReal };
constexpr FormatKind KindOf(const char* format) {
  FormatKind kind = FormatKind::kInvalid;
  int conversions = 0;
  for (const char* p = format; *p != '\0'; ++p) {
    if (*p != '%') continue;
    ++p;
    while (*p == '-' || *p == '0' || (*p >= '1' && *p <= '9') || *p == '.') ++p;
    if (*p == 'd') kind = FormatKind::kInteger;
    if (*p == 'f') kind = FormatKind::kReal;
    if (*p != 'd' && *p != 'f') return FormatKind::kInvalid;
    ++conversions;
  }
  return conversions == 1 ? kind : FormatKind::kInvalid;
}

// Runs one readout on its element: convert, colour, text, LogCache; returns
// the value the row names.
double RunReadout(const Readout& readout, bool integerFormat, gauge::StringElement700& element);

// The value callback of a panel readout's row.
template <const Readout& R>
double GAUGE_CALL ReadoutCallback(gauge::ElementHeader* element) {
  static_assert(KindOf(R.format) != FormatKind::kInvalid, "a readout formats one %d or %f");
  return RunReadout(R, KindOf(R.format) == FormatKind::kInteger,
                    *reinterpret_cast<gauge::StringElement700*>(element));
}

// The value callback of row I of kSmallGauges.
template <std::size_t I>
double GAUGE_CALL SmallReadoutCallback(gauge::ElementHeader* element) {
  constexpr const Readout& kRow = kSmallGauges[I].readout;
  static_assert(KindOf(kRow.format) != FormatKind::kInvalid, "a readout formats one %d or %f");
  return RunReadout(kRow, KindOf(kRow.format) == FormatKind::kInteger,
                    *reinterpret_cast<gauge::StringElement700*>(element));
}

// The warning lamp (token 67): lit (0.0) while the variable's whole part is
// non-zero, else off (-1.0). Its state colours the AoA readout.
double GAUGE_CALL WarningLamp(gauge::ElementHeader* element);

}  // namespace flightlog
