// A small piston engine for panelhost, so the engine controls have a
// simulator to act on: it carries out their key events on the host's
// variables and runs the engine between frames.
//
// Magneto switch (key events 65634 one position toward 0, 65635 toward 2):
// the positions 0, M1, M2, 2 in that order are variables 399/400 = 0/0, 0/1,
// 1/0 and 1/1, the same reading the selector gauge makes (variable 401 is
// left alone). Values that are no position read as 2, as the gauge shows them.
//
// Mixture (65775 richer, 65777 leaner): variable 393 in steps of 0.1 within
// 0 (cut-off) and 1 (full rich).
//
// Starter (65932 engages the starter, 65931 is one crank impulse and
// releases it): an impulse with the starter engaged turns the engine over;
// once it has turned over kImpulsesToFire times, an impulse fires it when a
// magneto is on and the mixture is at least kFiringMixture. An impulse
// without 65932 before it does nothing.
//
// Running: variable 392 is 1 while the engine runs, 0 otherwise. Step moves
// the engine speed (variable 390, rpm) toward its target with a time constant
// of kSpinTime seconds and mirrors it on the tachometer's variable 136, where
// 16384 is 100 per cent of kRatedRpm. The target runs from kIdleRpm at closed
// throttle to kFullThrottleRpm at full throttle (variable 394, 0..1, which a
// scenario sets) at a mixture of kFiringMixture or richer, proportionally less
// when leaner, 5 per cent less on one magneto, and 0 when stopped. Turning the magnetos to 0 stops
// the engine at once; a mixture below kCutOffMixture stops it at the next Step.
#pragma once

#include <cstdint>

#include "host/host.h"

namespace panelhost {

class EngineModel {
 public:
  // Variables.
  static constexpr std::uint32_t kTachometer = 136;  // 16384 = 100 per cent
  static constexpr std::uint32_t kRpm = 390;
  static constexpr std::uint32_t kRunning = 392;   // 1 while the engine runs
  static constexpr std::uint32_t kMixture = 393;   // 0 cut-off .. 1 full rich
  static constexpr std::uint32_t kThrottle = 394;  // 0 closed .. 1 full
  static constexpr std::uint32_t kMagneto = 399;   // alone: M2
  static constexpr std::uint32_t kMagneto2 = 400;  // alone: M1; both: 2
  // Key events.
  static constexpr std::uint32_t kMagnetoTowardZero = 65634;
  static constexpr std::uint32_t kMagnetoTowardTwo = 65635;
  static constexpr std::uint32_t kMixtureRicher = 65775;
  static constexpr std::uint32_t kMixtureLeaner = 65777;
  static constexpr std::uint32_t kStarterCrank = 65931;
  static constexpr std::uint32_t kStarterEngage = 65932;
  // Behaviour.
  static constexpr double kMixtureStep = 0.1;
  static constexpr double kFiringMixture = 0.5;
  static constexpr double kCutOffMixture = 0.2;
  static constexpr int kImpulsesToFire = 3;
  static constexpr double kCrankingRpm = 90.0;
  static constexpr double kFiringRpm = 350.0;
  static constexpr double kIdleRpm = 700.0;
  static constexpr double kRatedRpm = 2000.0;
  static constexpr double kFullThrottleRpm = 2150.0;
  static constexpr double kSpinTime = 0.8;

  explicit EngineModel(Host& host) : host_(host) {}

  // Becomes the host's key-event handler (replacing any other).
  void Install();
  // Advances the engine by `seconds` of simulated time.
  void Step(double seconds);

  bool running() const { return host_.Variable(kRunning) != 0.0; }
  // The magneto switch position 0..3 (0, M1, M2, 2) the variables stand at.
  int MagnetoPosition() const;
  // Crank impulses counted toward firing since the engine last stopped.
  int impulses() const { return impulses_; }

  // Carries out one key event; other events are ignored.
  void OnKeyEvent(const KeyEvent& event);

 private:
  void SetMagnetoPosition(int position);
  void SetRpm(double rpm);
  void Stop();
  double TargetRpm() const;

  Host& host_;
  bool starterEngaged_ = false;
  int impulses_ = 0;
};

}  // namespace panelhost
