#include "flightlog/position_rates.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "flightlog/readouts.h"
#include "flightlog/recorder.h"
#include "flightlog/text.h"
#include "framework/win32.h"

namespace flightlog {

namespace {

// A rate readout's memory: its sampling clock and the whole value it last
// sampled. The rate itself is its LogCache column.
struct RateTracker {
  TickGate gate;
  double previousWhole = 0.0;
};

constinit RateTracker rollTracker;
constinit RateTracker turnTracker;

// Ticks per second: the rate factor turns a change per tick into one per second.
constexpr std::int64_t kTicksPerSecond = 18;

// Brings an angle change into -180..180 (both ends included) the short way
// round. One turn is added or taken away for changes of up to a full turn
// either way; larger changes (values beyond a circle) take as many turns as
// they need, so a rate stays within the range of one turn too.
std::int64_t Wrap(std::int64_t delta) {
  if (delta < -180) return delta + 360 * ((-180 - delta + 359) / 360);
  if (delta > 180) return delta - 360 * ((delta - 180 + 359) / 360);
  return delta;
}

double RateReadout(gauge::ElementHeader* element, RateTracker& tracker, std::int64_t sign,
                   LogColumn column, bool drivesRecorder) {
  auto& text = *reinterpret_cast<gauge::StringElement700*>(element);
  const double v = text.source1.value;
  const TickCheck check = CheckTick(tracker.gate);
  if (check.open) {
    const std::int32_t whole = Trunc(v);
    const std::int64_t delta = Wrap(std::int64_t{whole} - Trunc(tracker.previousWhole));
    tracker.previousWhole = whole;
    // Whole units per second; integer division truncates toward zero.
    const std::int64_t rate = sign * kTicksPerSecond * delta / check.elapsed;
    logCache[column] = static_cast<double>(rate);
    tracker.gate.lastTick = check.tick;
    if (drivesRecorder) SampleStep();
  }
  PutInteger(text, "%5d", Trunc(logCache[column]));
  return v;
}

// Writes a position text, or the overflow mark when it does not fit its box
// or the minutes are not a number.
void PutPosition(gauge::StringElement700& text, const char* format, char hemisphere,
                 std::int32_t degrees, double minutes) {
  char scratch[32] = "";
  if (std::isfinite(minutes)) {
    std::snprintf(scratch, sizeof scratch, format, hemisphere, degrees, minutes);
  } else {
    for (int i = 0; i <= kMaxTextChars; ++i) scratch[i] = '#';
    scratch[kMaxTextChars + 1] = '\0';
  }
  PutText(text, scratch, degrees < 0);
}

// The speed "hud_mph" shows, as three digits; all zero until the units icon
// has run for the first time.
constinit char speedDigits[12] = {};

// The highest speed three digits hold; faster reads 999 rather than losing
// its leading digit.
constexpr std::int32_t kHudMaxSpeed = 999;

double Digit(char c) { return c >= '0' && c <= '9' ? c - '0' : 0.0; }

}  // namespace

double GAUGE_CALL RollReadout(gauge::ElementHeader* element) {
  return RateReadout(element, rollTracker, -1, kLogRoll, true);
}

double GAUGE_CALL TurnReadout(gauge::ElementHeader* element) {
  return RateReadout(element, turnTracker, +1, kLogTurn, false);
}

double GAUGE_CALL LatitudeReadout(gauge::ElementHeader* element) {
  auto& text = *reinterpret_cast<gauge::StringElement700*>(element);
  char hemisphere = 'N';
  double a = text.source1.value * 0.0647886 / 2;  // seconds of arc
  if (a < 0) {
    hemisphere = 'S';
    a = -a;
  }
  const double degrees = a / 3600;
  const double d = std::floor(degrees);
  const double minutes = (degrees - d) * 60;
  PutPosition(text, "%c %02d %05.2f", hemisphere, Trunc(d), minutes);
  return a;
}

double GAUGE_CALL LongitudeReadout(gauge::ElementHeader* element) {
  auto& text = *reinterpret_cast<gauge::StringElement700*>(element);
  char hemisphere = 'E';
  double a = text.source1.value * 1.27897692e-12;  // degrees east, 0 to 360
  if (a > 180) {
    hemisphere = 'W';
    a = 360 - a;
  }
  const double d = std::floor(a);
  const double minutes = (a - d) * 60;
  PutPosition(text, "%c%03d %05.2f", hemisphere, Trunc(d), minutes);
  return a;
}

double GAUGE_CALL HudUnits(gauge::ElementHeader* element) {
  const double v = reinterpret_cast<gauge::IconElement700*>(element)->source.value;
  std::int32_t speed = Trunc(kMph.convert(v, 0.0));
  if (speed < 0) speed = 0;
  if (speed > kHudMaxSpeed) speed = kHudMaxSpeed;
  wsprintfA(speedDigits, "%03d", speed);
  return Digit(speedDigits[2]);
}

double GAUGE_CALL HudTens(gauge::ElementHeader*) { return Digit(speedDigits[1]); }

double GAUGE_CALL HudHundreds(gauge::ElementHeader*) { return Digit(speedDigits[0]); }

}  // namespace flightlog
