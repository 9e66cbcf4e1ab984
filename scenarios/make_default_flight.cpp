// Writes the default flight scenario: a panel of all sixteen gauges and a
// flight of six minutes, derived from a simple flight path (speeds, climb
// rates, bank and throttle by phase) integrated second by second, so every
// variable is consistent with the others: altitude with climb, heading with
// bank and speed, position with heading, G with bank, engine with throttle.
//
//   make_default_flight > scenarios/default_flight.scn
//
// The variables are written in the raw units the modules read.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kKnot = 0.514444;        // m/s
constexpr double kFoot = 0.3048;          // m
constexpr double kG = 9.80665;            // m/s²
constexpr double kEarthRadius = 6371000;  // m
constexpr double kDuration = 360;         // s
constexpr double kRowStep = 1;            // s between table rows

// When things happen.
constexpr double kRecordStart = 2;
constexpr double kMagnetoClicks = 4;    // three clicks, one a second: 0, M1, M2, 2
constexpr double kMixtureClicks = 7.5;  // ten clicks to full rich
constexpr double kCrankClicks = 11;     // 32 clicks to engage, 3 more fire it
constexpr double kTaxi = 22;
constexpr double kTakeoffRoll = 40;
constexpr double kLiftOff = 58;
constexpr double kTurnStart = 112;  // a right turn from 330 through north to 030
constexpr double kLevelOff = 150;
constexpr double kPause = 160;
constexpr double kResume = 185;
constexpr double kDescent = 235;
constexpr double kFlare = 318;
constexpr double kTouchdown = 322;
constexpr double kStop = 345;
constexpr double kRecordStop = 352;

constexpr double kFieldElevation = 420;  // m
constexpr double kStartLatitude = 47.4583;
constexpr double kStartLongitude = 8.5481;
constexpr double kRunwayHeading = 330;

struct State {
  double time = 0;
  double speed = 0;                   // true airspeed, m/s
  double altitude = kFieldElevation;  // m
  double climb = 0;                   // m/s
  double heading = kRunwayHeading;    // degrees
  double bank = 0;                    // degrees, right wing down positive
  double latitude = kStartLatitude;
  double longitude = kStartLongitude;
  double throttle = 0;  // 0..1
  double fuel = 38;     // gallons
  bool airborne = false;
};

double Ramp(double t, double t0, double t1, double v0, double v1) {
  if (t <= t0) return v0;
  if (t >= t1) return v1;
  return v0 + (v1 - v0) * (t - t0) / (t1 - t0);
}

// The flight path: targets for speed, climb, bank and throttle at time t.
struct Targets {
  double speed;  // knots
  double climb;  // feet per minute
  double bank;   // degrees
  double throttle;
};

Targets Plan(double t) {
  if (t < kTaxi) return {0, 0, 0, 0};
  if (t < kTakeoffRoll) return {Ramp(t, kTaxi, kTaxi + 6, 0, 8), 0, 0, 0.25};
  if (t < kLiftOff) return {Ramp(t, kTakeoffRoll, kLiftOff, 8, 62), 0, 0, 1.0};
  if (t < kLevelOff) {
    double bank = 0;
    if (t >= kTurnStart) bank = Ramp(t, kTurnStart, kTurnStart + 4, 0, 20);
    if (t >= kTurnStart + 13) bank = Ramp(t, kTurnStart + 13, kTurnStart + 17, 20, 0);
    return {Ramp(t, kLiftOff, kLiftOff + 15, 62, 75), Ramp(t, kLiftOff, kLiftOff + 8, 0, 750), bank,
            1.0};
  }
  if (t < kDescent) return {Ramp(t, kLevelOff, kLevelOff + 20, 75, 95), 0, 0, 0.72};
  if (t < kFlare) return {Ramp(t, kDescent, kDescent + 20, 95, 70), -550, 0, 0.35};
  if (t < kTouchdown)
    return {Ramp(t, kFlare, kTouchdown, 70, 55), Ramp(t, kFlare, kTouchdown, -550, -60), 0, 0.05};
  if (t < kStop) return {Ramp(t, kTouchdown, kStop, 55, 0), 0, 0, 0.0};
  return {0, 0, 0, 0};
}

// Integrates the path over one step of dt seconds.
void Step(State& s, double dt) {
  const Targets target = Plan(s.time);
  const double speedTarget = target.speed * kKnot;
  const double accel = std::clamp((speedTarget - s.speed) / 2.0, -3.0, 3.0);
  s.speed = std::max(0.0, s.speed + accel * dt);
  s.bank += std::clamp(target.bank - s.bank, -5.0 * dt, 5.0 * dt);
  s.throttle += std::clamp(target.throttle - s.throttle, -0.5 * dt, 0.5 * dt);
  const double climbTarget = target.climb * kFoot / 60.0;
  s.climb += std::clamp(climbTarget - s.climb, -2.0 * dt, 2.0 * dt);
  if (s.time >= kLiftOff && s.time < kTouchdown) s.airborne = true;
  if (s.time >= kTouchdown) s.airborne = false;
  if (!s.airborne) s.climb = 0;
  s.altitude = std::max(kFieldElevation, s.altitude + s.climb * dt);
  if (s.speed > 1 && s.airborne) {
    const double turnRate = kG * std::tan(s.bank * kPi / 180) / s.speed;  // rad/s
    s.heading += turnRate * 180 / kPi * dt;  // unwrapped; the scenario wraps it
  }
  const double h = s.heading * kPi / 180;
  s.latitude += s.speed * std::cos(h) * dt / kEarthRadius * 180 / kPi;
  s.longitude +=
      s.speed * std::sin(h) * dt / (kEarthRadius * std::cos(s.latitude * kPi / 180)) * 180 / kPi;
  s.fuel -= (2 + 10 * s.throttle) / 3600 * dt;
  s.time += dt;
}

struct Column {
  const char* variable;
  const char* meaning;
};

// The table's columns: token (or word:offset) and what it carries.
const Column kColumns[] = {
    {"61", "true airspeed, knots"},
    {"word:700", "indicated airspeed, mph / 0.009"},
    {"73", "altitude, metres"},
    {"74", "altitude, feet"},
    {"2", "ground elevation, metres x 256"},
    {"65", "vertical speed, metres per second x 256"},
    {"64", "Mach number / 0.0000472"},
    {"78", "pitch, degrees, nose down positive"},
    {"80", "bank, degrees, right wing down positive"},
    {"84", "heading, degrees (unwrapped: the scenario takes it modulo 360)"},
    {"351", "load factor x 605"},
    {"789", "angle of attack, radians"},
    {"790", "sideslip, radians"},
    {"782", "elevator, radians"},
    {"783", "elevator trim, radians"},
    {"784", "aileron, radians"},
    {"67", "stall warning, 0 or 1"},
    {"71", "latitude, half-milliarcseconds / 0.0647886"},
    {"72", "longitude east 0..360, degrees / 1.27897692e-12"},
    {"394", "throttle, 0..1 (the engine model's)"},
    {"402", "engine power, foot-pounds per second"},
    {"702", "thrust, pounds"},
    {"703", "propeller blade angle, radians"},
    {"391", "manifold pressure, pounds per square foot"},
    {"342", "boost / 0.0018467021875"},
    {"341", "outside air temperature, Celsius"},
    {"417", "radiator outlet temperature, Rankine"},
    {"415", "cylinder head temperature, Rankine"},
    {"416", "oil temperature, Rankine"},
    {"418", "oil pressure, pounds per square foot"},
    {"421", "fuel flow, pounds per hour"},
    {"386", "fuel, gallons"},
};

void Row(const State& s, double engineRunningSince) {
  const double knots = s.speed / kKnot;
  const double sigma = std::pow(1 - 2.25577e-5 * s.altitude, 4.2559);
  const double tasMph = knots * 1.1517;
  const double iasMph = tasMph * std::sqrt(sigma);
  const double soundSpeed = 340.3 - 0.0041 * (s.altitude - 0);
  const double aoaDeg =
      s.airborne ? std::clamp(3.0 * std::pow(48.0 / std::max(s.speed, 20.0), 2), 1.5, 14.0) : 0.0;
  const double pitchDeg = (s.speed > 1 ? std::atan2(s.climb, s.speed) * 180 / kPi : 0) + aoaDeg;
  const double load = s.airborne ? 1 / std::cos(s.bank * kPi / 180) : 1.0;
  const bool running = s.time >= engineRunningSince;
  const double warm = running ? std::min(1.0, (s.time - engineRunningSince) / 120) : 0;
  const double hp = running ? 18 + 162 * s.throttle * (0.85 + 0.15 * sigma) : 0;
  const double thrust =
      running ? std::min(420.0, hp * 550 * 0.8 / std::max(s.speed / kFoot, 60.0)) : 0;
  const double mapInHg = running ? (8 + 20 * s.throttle) * sigma : 29.9 * sigma;
  const double stall = (s.time > kFlare && s.time < kTouchdown + 0.5) ? 1 : 0;
  const double lon = s.longitude < 0 ? s.longitude + 360 : s.longitude;
  const double gph = running ? 2 + 10 * s.throttle : 0;
  const double values[] = {
      knots,
      iasMph / 0.009,
      s.altitude,
      s.altitude / kFoot,
      kFieldElevation * 256,
      s.climb * 256,
      s.speed / soundSpeed / 0.0000472,
      -pitchDeg,
      s.bank,
      s.heading,
      load * 605,
      aoaDeg * kPi / 180,
      (s.bank != 0 && s.airborne ? 0.004 * s.bank / 20 : 0.0),
      -aoaDeg * 0.4 * kPi / 180,
      -0.035,
      s.bank * 0.002,
      stall,
      s.latitude * 3600 * 2 / 0.0647886,
      lon / 1.27897692e-12,
      s.throttle,
      hp * 550,
      thrust,
      (14 + 0.12 * knots) * kPi / 180,
      mapInHg * 70.726,
      running ? (2.5 * s.throttle) / 0.0018467021875 : 0,
      15 - 0.0065 * (s.altitude - kFieldElevation) + 4,
      459.7 + 60 + 110 * warm,
      459.7 + 60 + 300 * warm * (0.6 + 0.4 * s.throttle),
      459.7 + 60 + 120 * warm,
      running ? (40 + 25 * std::min(1.0, (s.time - engineRunningSince) / 10)) * 144 : 0,
      gph * 6,
      s.fuel,
  };
  std::printf("%.1f", s.time);
  for (double v : values) std::printf(" %.6g", v);
  std::printf("\n");
}

}  // namespace

int main() {
  std::printf(
      "# The default flight: generated by scenarios/make_default_flight.cpp from a flight path;\n"
      "# edit that program, not this file, and regenerate with `make scenario`.\n"
      "#\n"
      "# Engine start by clicking the magneto switch to 2, the mixture to full rich and the\n"
      "# starter crank to engagement; take-off; climb; a right turn from 330 through north to\n"
      "# 030; the recorder paused and resumed from its lamps; cruise; descent; landing; the\n"
      "# recording stopped.\n\n");
  std::printf("panel 960 420 background 2A2D31\n");
  std::printf("gauge recorder flightlog recpanel at 10 10 scale 1.5\n");
  const char* small[] = {"airspeed", "radar_alt", "gun_ammo", "cannon_ammo",
                         "gforce",   "mach",      "cg_pct",   "hp"};
  int x = 10;
  for (const char* g : small) {
    std::printf("gauge %s flightlog %s at %d 150 scale 2\n", g, g, x);
    x += 96;
  }
  std::printf("gauge hud flightlog hud_mph at %d 151 scale 2\n", x);
  std::printf("gauge altimeter vintage_altimeter vintage_altimeter at 10 190 scale 0.68\n");
  std::printf("gauge tachometer vintage_tachometer vintage_tachometer at 225 190 scale 0.68\n");
  std::printf("gauge airspeed_indicator vintage_airspeed vintage_airspeed at 440 190 scale 0.68\n");
  std::printf("gauge magneto ignition_selector mag at 670 10 scale 0.36\n");
  std::printf("gauge crank starter_crank handle at 680 160 scale 0.6\n");
  std::printf("gauge mixture fuel_ratio_lever mixture at 860 40 scale 0.8\n\n");
  std::printf("duration %g\nanimate 2\n\n", kDuration);
  std::printf("set 335 0    # the altimeter's altitude arrives in feet\n");
  std::printf("set 401 0\nset 795 0.25\nset 385 9.5\nset 409 0\nset 357 350\nset 358 80\n\n");

  std::printf("# The recorder: start, pause, resume, stop (its two lamps).\n");
  std::printf("click %g recorder 55 9\n", kRecordStart);
  std::printf("click %g recorder 67 9\n", kPause);
  std::printf("click %g recorder 67 9\n", kResume);
  std::printf("click %g recorder 55 9\n\n", kRecordStop);
  std::printf("# Engine start: magneto switch right-hand side three times (0, M1, M2, 2)...\n");
  for (int i = 0; i < 3; ++i) std::printf("click %g magneto 230 150\n", kMagnetoClicks + i);
  std::printf("# ...mixture upper area ten times to full rich...\n");
  for (int i = 0; i < 10; ++i) std::printf("click %g mixture 54 20\n", kMixtureClicks + 0.25 * i);
  std::printf("# ...then the crank: 32 clicks engage it, the next ones turn the engine over.\n");
  double t = kCrankClicks;
  for (int i = 0; i < 35; ++i, t += 0.25) std::printf("click %g crank 200 300\n", t);
  const double engineRunning = t;  // the third impulse after engagement fires the engine
  std::printf("\n");

  const struct {
    double time;
    const char* name;
  } captures[] = {{3, "01_cold_and_dark"},
                  {engineRunning + 2, "02_engine_running"},
                  {50, "03_takeoff_roll"},
                  {95, "04_climb"},
                  {kTurnStart + 9, "05_turn_through_north"},
                  {170, "06_recorder_paused"},
                  {205, "07_cruise"},
                  {270, "08_descent"},
                  {kTouchdown + 6, "09_landed"},
                  {kRecordStop + 3, "10_recording_stopped"}};
  for (const auto& c : captures) std::printf("capture %g %s\n", c.time, c.name);
  std::printf("\n# Columns:\n");
  for (const Column& c : kColumns) std::printf("#   %-9s %s\n", c.variable, c.meaning);
  std::printf("table");
  for (const Column& c : kColumns) std::printf(" %s", c.variable);
  std::printf("\n");
  State s;
  const double dt = 0.05;
  double nextRow = 0;
  while (s.time <= kDuration + 1e-9) {
    if (s.time >= nextRow - 1e-9) {
      Row(s, engineRunning);
      nextRow += kRowStep;
    }
    Step(s, dt);
  }
  std::printf("end\nwrap 84 360\n");
  return 0;
}
