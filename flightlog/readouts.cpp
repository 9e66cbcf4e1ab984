#include "flightlog/readouts.h"

#include <cstring>

#include "framework/module.h"

namespace flightlog {

namespace {

// Written only by WarningLamp, read only by the AoA readout.
constinit std::int32_t warningFlag = 0;

constexpr std::uint32_t kAirspeedWordOffset = 700;

std::uint32_t ColourOf(const ColourRule& rule, double v, double w, double x) {
  switch (rule.kind) {
    case ColourRule::kAbove:
      return x > rule.high ? kRed : x > rule.mid ? kYellow : kGreen;
    case ColourRule::kBand:
      if (x > rule.high || x < -rule.high) return kRed;
      return x > rule.mid || x < -rule.mid ? kYellow : kGreen;
    case ColourRule::kTerrain: {
      const double clearance = conversions::Clearance(v, w);
      return clearance < 500 ? kRed : clearance < 3000 ? kYellow : kGreen;
    }
    case ColourRule::kWarning:
      return warningFlag != 0 ? kRed : kGreen;
    case ColourRule::kNone:
      break;
  }
  return kGreen;
}

}  // namespace

double conversions::IndicatedAirspeed(double, double) {
  const auto* block =
      static_cast<const unsigned char*>(gauge::ImportedAddress(gauge::kImportHostDataBlock));
  if (block == nullptr) return 0.0;
  std::int32_t word;
  std::memcpy(&word, block + kAirspeedWordOffset, sizeof word);
  return word * 0.009;
}

double RunReadout(const Readout& readout, bool integerFormat, gauge::StringElement700& element) {
  const double v = element.source1.value;
  const double w = element.source2.value;
  if (readout.keepTextWhileZero && Trunc(v) == 0) return v;
  const double x = readout.convert(v, w);
  if (readout.colour.kind != ColourRule::kNone) {
    element.textColour = ColourOf(readout.colour, v, w, x);
  }
  if (integerFormat) {
    PutInteger(element, readout.format, Trunc(x));
  } else {
    PutReal(element, readout.format, x);
  }
  if (readout.cache != kNoLog) logCache[readout.cache] = x;
  return readout.returns == kV ? v : x;
}

double GAUGE_CALL WarningLamp(gauge::ElementHeader* element) {
  warningFlag = Trunc(reinterpret_cast<gauge::IconElement700*>(element)->source.value);
  return warningFlag != 0 ? 0.0 : -1.0;
}

}  // namespace flightlog
