// vintage_altimeter: altitude in metres, 0 to 6000, on a 270-degree dial.
#pragma once

#include <cstdint>

#include "framework/records.h"
#include "period_instruments/instrument.h"

namespace period {

// The host's unit setting, token 335: exactly 2.0 means the altitude arrives in
// metres. Initialized by the gauge's initialize routine, looked up on every update.
extern gauge::HostVariable UnitsVariable;
// The outcome of the last update's unit test: 1 when the altitude came in metres.
extern std::int32_t AltitudeInMetres;

double GAUGE_CALL AltimeterValue(gauge::HostVariable* altitude);

inline constexpr InstrumentData kInstrument = {
    .gaugeName = "vintage_altimeter",
    .needle = dials::kShortNeedle,
    .sourceToken = 74,
    .value = &AltimeterValue,
    .failure = {.key = 7, .action = 1},
    .helpId = 0xA001,  // 40961
    .calibration = dials::kAltimeterMarks,
    .initVariable = &UnitsVariable,
};

}  // namespace period
