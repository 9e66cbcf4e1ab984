// How the recorder's readouts turn numbers into the text of their element:
// whole parts, the element's character count, and the mark shown when a
// number does not fit.
#pragma once

#include <cstdint>
#include <limits>

#include "framework/records.h"

namespace flightlog {

// The whole part of `x` toward zero as a signed 32-bit integer. Defined for
// every double: values beyond the 32-bit range saturate at its ends (the
// infinities too), and NaN counts as 0.
constexpr std::int32_t Trunc(double x) {
  if (x != x) return 0;
  if (x >= 2147483648.0) return std::numeric_limits<std::int32_t>::max();
  if (x <= -2147483649.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(x);
}

// -0.0 as 0.0, so that a zero never prints as "-0.0" (a negated or scaled
// zero comes out negative); every other value unchanged.
constexpr double WithoutNegativeZero(double x) { return x == 0.0 ? 0.0 : x; }

// Text colours, 0x00BBGGRR.
inline constexpr std::uint32_t kRed = 0x0000FF;
inline constexpr std::uint32_t kYellow = 0x00FFFF;
inline constexpr std::uint32_t kGreen = 0x00FF00;

// The longest text any readout holds (latitude and longitude).
inline constexpr int kMaxTextChars = 10;

// Writes `text` into the element's buffer when it fits the element's character
// count; otherwise the overflow mark: the box filled with '#', led by '-' when
// the value is negative ("#####", "-####"). A number is never shown cut short.
void PutText(gauge::StringElement700& element, const char* text, bool negative);

// An integer format ("%5d", "%4dF", "%4d#") of one 32-bit value, printed with
// wsprintfA.
void PutInteger(gauge::StringElement700& element, const char* format, std::int32_t value);

// A floating-point format ("%5.1f", "%4.1f#", ...) of one value, printed with
// snprintf into a local buffer and copied with wsprintfA. Infinities and NaN
// have no digits to show: they get the overflow mark.
void PutReal(gauge::StringElement700& element, const char* format, double value);

}  // namespace flightlog
