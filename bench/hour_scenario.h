// The replay benchmark's scenario: an hour of flying built from a shorter
// flight, as scenario text that `panelhost run` reads.
#pragma once

#include <string>

#include "host/scenario.h"

namespace bench {

// `flight` flown again and again for `seconds`: every variable's course
// repeats with the flight's period, the flight's clicks other than the
// recorder's (engine start) happen once, and the recorder is started at 2 s
// and stopped 2 s before the end, so it writes for the whole replay. No
// snapshots and no animation.
std::string LoopedScenarioText(const panelhost::Scenario& flight, double seconds,
                               const std::string& recorderId);

}  // namespace bench
