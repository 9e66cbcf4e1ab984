#include "period_instruments/tachometer.h"

namespace period {

namespace {
constexpr double kRatedRaw = 16384.0;  // the host's 100 per cent
constexpr double kLimitPercent = 115.0;
}  // namespace

double GAUGE_CALL TachometerValue(gauge::HostVariable* engineSpeed) {
  const double percent = engineSpeed->value / kRatedRaw * 100.0;
  return ClampToDial(percent, kLimitPercent);
}

}  // namespace period
