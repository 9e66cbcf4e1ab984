// What sets one period needle instrument apart from the others: the data set
// that instrument.cpp, the module source all three share, builds its records
// from. Each module's data set lives in its own header (altimeter.h,
// tachometer.h, airspeed.h) beside the value callback it names.
#pragma once

#include <cstdint>
#include <span>

#include "framework/records.h"
#include "period_instruments/dials.h"

namespace period {

struct InstrumentData {
  const char* gaugeName;
  const dials::NeedleShape& needle;  // needle picture: size and pivot pixel
  std::uint32_t sourceToken;         // the needle's host variable
  gauge::ValueCallback610 value;     // turns that variable into the needle's value
  gauge::FailureBinding failure;     // applied by the host to the needle
  std::uint32_t helpId;              // of the gauge's one mouse area
  std::span<const dials::CalibrationMark> calibration;
  gauge::HostVariable* initVariable;  // initialized before the element tree, or null
};

// The clamp every needle value passes through: the upper limit itself passes,
// and a value that is not a number reads as 0 (it fails both comparisons).
constexpr double ClampToDial(double value, double upperLimit) {
  if (value > upperLimit) return upperLimit;
  if (value >= 0.0) return value;
  return 0.0;
}

}  // namespace period
