// vintage_tachometer: engine speed in per cent, 0 to 115, on a dial that reads
// hundreds of revolutions per minute.
#pragma once

#include "framework/records.h"
#include "period_instruments/instrument.h"

namespace period {

double GAUGE_CALL TachometerValue(gauge::HostVariable* engineSpeed);

inline constexpr InstrumentData kInstrument = {
    .gaugeName = "vintage_tachometer",
    .needle = dials::kLongNeedle,
    .sourceToken = 136,
    .value = &TachometerValue,
    .failure = {.key = 2, .action = 2},
    .helpId = 0xA020,  // 40992
    .calibration = dials::kTachometerMarks,
    .initVariable = nullptr,
};

}  // namespace period
