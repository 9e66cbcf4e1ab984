// Rounding helpers of the renderer's inner loops: the same results as the C
// library's calls they replace, without a library call per pixel.
#pragma once

namespace panelhost {

// std::lround of a finite value well inside the range of long: to the
// nearest integer, halves away from zero. x - trunc(x) is exact for every
// double, so the comparison with 0.5 decides exactly as the library does.
inline long RoundHalfAway(double x) {
  const long whole = static_cast<long>(x);
  const double fraction = x - static_cast<double>(whole);
  if (fraction >= 0.5) return whole + 1;
  if (fraction <= -0.5) return whole - 1;
  return whole;
}

// static_cast<int>(std::floor(x)) for x inside the range of int.
inline int FloorToInt(double x) {
  const int whole = static_cast<int>(x);
  return x < static_cast<double>(whole) ? whole - 1 : whole;
}

}  // namespace panelhost
