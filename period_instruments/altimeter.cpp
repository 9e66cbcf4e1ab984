#include "period_instruments/altimeter.h"

#include "framework/module.h"

namespace period {

namespace {
constexpr double kFeetPerMetre = 3.28084;
constexpr double kCeilingMetres = 6000.0;
constexpr double kUnitsMetres = 2.0;
}  // namespace

constinit gauge::HostVariable UnitsVariable = gauge::Var(335);
constinit std::int32_t AltitudeInMetres = 0;

double GAUGE_CALL AltimeterValue(gauge::HostVariable* altitude) {
  // The unit setting is looked up afresh on every call, so a change shows at
  // the next update. Only exactly 2.0 means metres.
  gauge::Host().LookupVariable(&UnitsVariable);
  AltitudeInMetres = UnitsVariable.value == kUnitsMetres ? 1 : 0;
  double metres = altitude->value;
  if (AltitudeInMetres == 0) metres /= kFeetPerMetre;
  return ClampToDial(metres, kCeilingMetres);
}

}  // namespace period
