#include "host/engine_model.h"

#include <algorithm>
#include <cmath>

namespace panelhost {

void EngineModel::Install() {
  host_.SetKeyEventHandler([this](Host&, const KeyEvent& event) { OnKeyEvent(event); });
}

int EngineModel::MagnetoPosition() const {
  const double magneto = host_.Variable(kMagneto);
  const double magneto2 = host_.Variable(kMagneto2);
  if (magneto == 0.0 && magneto2 == 0.0) return 0;
  if (magneto == 0.0 && magneto2 == 1.0) return 1;
  if (magneto == 1.0 && magneto2 == 0.0) return 2;
  return 3;
}

void EngineModel::SetMagnetoPosition(int position) {
  // 0: both off; 1 (M1): 400 alone; 2 (M2): 399 alone; 3: both on.
  host_.SetVariable(kMagneto, position >= 2 ? 1.0 : 0.0);
  host_.SetVariable(kMagneto2, position == 1 || position == 3 ? 1.0 : 0.0);
  if (position == 0) Stop();
}

void EngineModel::SetRpm(double rpm) {
  host_.SetVariable(kRpm, rpm);
  host_.SetVariable(kTachometer, rpm / kRatedRpm * 16384.0);
}

void EngineModel::Stop() {
  host_.SetVariable(kRunning, 0.0);
  impulses_ = 0;
}

double EngineModel::TargetRpm() const {
  if (!running()) return 0.0;
  const double mixture = host_.Variable(kMixture);
  const double throttle = std::clamp(host_.Variable(kThrottle), 0.0, 1.0);
  double rpm = (kIdleRpm + throttle * (kFullThrottleRpm - kIdleRpm)) *
               std::min(1.0, mixture / kFiringMixture);
  const int position = MagnetoPosition();
  if (position == 1 || position == 2) rpm *= 0.95;
  return rpm;
}

void EngineModel::OnKeyEvent(const KeyEvent& event) {
  switch (event.id) {
    case kMagnetoTowardZero:
      SetMagnetoPosition(std::max(0, MagnetoPosition() - 1));
      break;
    case kMagnetoTowardTwo:
      SetMagnetoPosition(std::min(3, MagnetoPosition() + 1));
      break;
    case kMixtureRicher:
    case kMixtureLeaner: {
      const double step = event.id == kMixtureRicher ? kMixtureStep : -kMixtureStep;
      // Rounded to thousandths so that repeated steps land on 0.1, 0.2, ...
      const double mixture = std::round((host_.Variable(kMixture) + step) * 1000.0) / 1000.0;
      host_.SetVariable(kMixture, std::clamp(mixture, 0.0, 1.0));
      break;
    }
    case kStarterEngage:
      starterEngaged_ = true;
      break;
    case kStarterCrank:
      if (!starterEngaged_) break;
      starterEngaged_ = false;
      if (running()) break;
      ++impulses_;
      if (impulses_ >= kImpulsesToFire && MagnetoPosition() != 0 &&
          host_.Variable(kMixture) >= kFiringMixture) {
        host_.SetVariable(kRunning, 1.0);
        SetRpm(std::max(host_.Variable(kRpm), kFiringRpm));
      } else {
        SetRpm(std::max(host_.Variable(kRpm), kCrankingRpm));
      }
      break;
    default:
      break;
  }
}

void EngineModel::Step(double seconds) {
  if (seconds <= 0.0) return;
  if (running() && (MagnetoPosition() == 0 || host_.Variable(kMixture) < kCutOffMixture)) Stop();
  const double rpm = host_.Variable(kRpm);
  const double target = TargetRpm();
  double next = rpm + (target - rpm) * (1.0 - std::exp(-seconds / kSpinTime));
  if (!running() && next < 1.0) next = 0.0;
  SetRpm(next);
}

}  // namespace panelhost
