#include "period_instruments/airspeed.h"

namespace period {

namespace {
constexpr double kKmhPerKnot = 1.85;
constexpr double kLimitKmh = 200.0;
}  // namespace

double GAUGE_CALL AirspeedValue(gauge::HostVariable* airspeed) {
  return ClampToDial(airspeed->value * kKmhPerKnot, kLimitKmh);
}

}  // namespace period
