// panelhost validate: the rules a module's records can show, as named checks.
#pragma once

#include <string>
#include <vector>

#include "host/host.h"

namespace panelhost {

// kCrash: the check's process died, hung or stopped on a sanitizer report
// (validate --strict, host/stress.h).
enum class Outcome { kPass, kFail, kWarning, kSkip, kCrash };

struct Finding {
  std::string check;  // group-prefixed name, e.g. "element.draw-flags"
  Outcome outcome = Outcome::kFail;
  std::string gauge;    // gauge name, or "" for module-level records
  std::string record;   // e.g. "child 3 (string at 76,17)", "mouse area 26"
  std::string field;    // e.g. "drawFlags"
  std::string message;  // what was expected and what was found
};

// Runs every record check on the loaded module (nothing is called in it).
std::vector<Finding> Validate(Module& module);

std::string Describe(const Finding& finding);

}  // namespace panelhost
