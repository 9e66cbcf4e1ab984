// vintage_airspeed: airspeed in km/h, 0 to 200, on a dial that is not linear.
#pragma once

#include "framework/records.h"
#include "period_instruments/instrument.h"

namespace period {

double GAUGE_CALL AirspeedValue(gauge::HostVariable* airspeed);

inline constexpr InstrumentData kInstrument = {
    .gaugeName = "vintage_airspeed",
    .needle = dials::kShortNeedle,
    .sourceToken = 61,
    .value = &AirspeedValue,
    .failure = {.key = 6, .action = 1},
    .helpId = 0xA003,  // 40963
    .calibration = dials::kAirspeedMarks,
    .initVariable = nullptr,
};

}  // namespace period
