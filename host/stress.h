// panelhost validate --strict: the record checks of validate.h plus checks
// that run the module's code under hostile conditions. Every check is named
// with a group prefix and ends in one finding per problem, or one "pass"
// (or "skip" with its reason) finding that says what was tried.
//
//   hostile.values                 every value callback driven with NaN, the
//                                  infinities, +-0, subnormals, +-1e300, the
//                                  32-bit limits and beyond, and seeded random
//                                  values, in each source variable, each
//                                  variable the callback looks up and every
//                                  HostDataBlock word; after each call every
//                                  text is NUL-terminated within its count
//   records.untouched              after every routine, callback and handler
//                                  the module's records are byte for byte as
//                                  loaded, but for text, text colour and the
//                                  host-filled fields
//   callbacks.no-allocation        no heap allocation inside a value callback
//   callbacks.no-file-io           no file opened or closed inside one
//   lifecycle.cycles               many install/kill cycles of every gauge
//   lifecycle.two-instances        two instances of a gauge at once
//   lifecycle.service-order        routines in unusual order, every gauge
//                                  callback service id
//   lifecycle.clicks-before-update every click area before the first update
//   lifecycle.click-cycles         many rounds of clicks leak no descriptor
//
// On Linux each check runs in a child process of its own, in a fresh empty
// working folder (the recorder writes its log there), against a fresh load of
// the module: a crash, a sanitizer report or a hang is reported as a "crash"
// finding naming the call it happened in, and never takes panelhost down.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/validate.h"

namespace panelhost {

struct StrictOptions {
  bool strict = true;             // run the run-time checks (false: the record checks only)
  std::uint32_t seed = 1;         // the random values of hostile.values
  bool isolate = true;            // each check in a child process (where the platform can fork)
  int timeoutSeconds = 120;       // a check's time limit in a child process
  int randomValues = 48;          // random inputs per source, besides the fixed hostile list
  int cycles = 200;               // rounds of lifecycle.cycles and lifecycle.click-cycles
  std::vector<std::string> only;  // when set, only checks whose name starts with one of these
};

struct ModuleReport {
  std::string path;
  std::vector<Finding> findings;
  // Findings that fail the module: kFail and kCrash.
  int Failures() const;
};

// The strict checks' names, in the order they run.
std::vector<std::string> StrictCheckNames();

// Runs "module.load", the record checks and, with options.strict, every strict
// check on the module file. Never throws for a bad module: what is wrong with
// it comes back as findings.
ModuleReport CheckModule(const std::string& path, const StrictOptions& options);

// A seed that differs from run to run, for when none is given.
std::uint32_t FreshSeed();

std::string OutcomeName(Outcome outcome);  // "pass", "fail", "warning", "skip", "crash"

// One line per finding, as validate prints it.
std::string DescribeLine(const Finding& finding);

// The reports as one JSON document: {"seed": N, "strict": bool, "modules": [{"path",
// "failures", "findings": [{"check", "outcome", "gauge", "record", "field", "message"}]}]}.
std::string ReportsJson(const std::vector<ModuleReport>& reports, const StrictOptions& options);

// panelhost validate --strict / --json: checks every module, prints the
// findings (text or JSON) and returns the exit status: 0 when no check failed.
int RunStrictValidate(const std::vector<std::string>& paths, const StrictOptions& options,
                      bool json);

}  // namespace panelhost
