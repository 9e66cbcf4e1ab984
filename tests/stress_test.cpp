// panelhost validate --strict: every shipped module passes the run-time
// checks; each deliberately broken stress module makes its check fire; and
// malformed files give clear findings, never a crash or a hang of panelhost.
#include "host/stress.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support.h"

namespace {

using panelhost::CheckModule;
using panelhost::Finding;
using panelhost::ModuleReport;
using panelhost::Outcome;
using panelhost::StrictOptions;
using testsupport::ModulePath;
using testsupport::TestModulePath;

constexpr std::uint32_t kSeed = 20240611;

std::string All(const ModuleReport& r) {
  std::string s;
  for (const Finding& f : r.findings) s += panelhost::DescribeLine(f) + "\n";
  return s;
}

StrictOptions Options() {
  StrictOptions o;
  o.seed = kSeed;
  o.timeoutSeconds = 300;
  return o;
}

const Finding* Find(const ModuleReport& r, const std::string& check, Outcome outcome) {
  for (const Finding& f : r.findings) {
    if (f.check == check && f.outcome == outcome) return &f;
  }
  return nullptr;
}

// ------------------------------------------------------------------ sound modules

class ShippedModule : public ::testing::TestWithParam<const char*> {};

TEST_P(ShippedModule, PassesEveryStrictCheck) {
  const std::string name = GetParam();
  const std::string path = name == "stressgauge" ? TestModulePath(name) : ModulePath(name);
  const ModuleReport r = CheckModule(path, Options());
  EXPECT_EQ(r.Failures(), 0) << All(r);
  // Each check ran and passed; only descriptor counting may skip (no click area).
  for (const std::string& check : panelhost::StrictCheckNames()) {
    const bool passed = Find(r, check, Outcome::kPass) != nullptr;
    const bool skipped =
        check == "lifecycle.click-cycles" && Find(r, check, Outcome::kSkip) != nullptr;
    EXPECT_TRUE(passed || skipped) << check << "\n" << All(r);
  }
}

INSTANTIATE_TEST_SUITE_P(Strict, ShippedModule,
                         ::testing::Values("flightlog", "ignition_selector", "starter_crank",
                                           "fuel_ratio_lever", "vintage_altimeter",
                                           "vintage_tachometer", "vintage_airspeed",
                                           "stressgauge"));

// ------------------------------------------------------------------ each check fires

struct BrokenCase {
  int variant;
  const char* check;
  Outcome outcome;
  const char* record;   // part of the finding's record
  const char* field;    // part of the finding's field
  const char* message;  // part of the finding's message
};

void PrintTo(const BrokenCase& c, std::ostream* os) { *os << "stressgauge_broken_" << c.variant; }

class BrokenStress : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenStress, NamesTheFaultItFinds) {
  const BrokenCase& c = GetParam();
#if !defined(PANEL_SANITIZED)
  if (c.variant == 12)
    GTEST_SKIP() << "an out-of-range float conversion shows only under the sanitizers";
#endif
  StrictOptions options = Options();
  options.only = {c.check};
  if (c.variant == 7) options.timeoutSeconds = 2;  // it spins forever
  const ModuleReport r =
      CheckModule(TestModulePath("stressgauge_broken_" + std::to_string(c.variant)), options);
  bool found = false;
  for (const Finding& f : r.findings) {
    found = found || (f.check == c.check && f.outcome == c.outcome && f.gauge == "stress" &&
                      f.record.find(c.record) != std::string::npos &&
                      f.field.find(c.field) != std::string::npos &&
                      f.message.find(c.message) != std::string::npos);
  }
  EXPECT_TRUE(found) << "expected " << c.check << " (" << panelhost::OutcomeName(c.outcome)
                     << ") on " << c.record << " / " << c.field << " saying \"" << c.message
                     << "\", got:\n"
                     << All(r);
  EXPECT_GT(r.Failures(), 0);
}

const Outcome kFail = Outcome::kFail;
const Outcome kCrash = Outcome::kCrash;
const char* const kText = "child 1 (string at 4,4)";
const char* const kNeedle = "child 3 (needle at 60,40)";

INSTANTIATE_TEST_SUITE_P(
    Strict, BrokenStress,
    ::testing::Values(
        BrokenCase{1, "callbacks.no-allocation", kFail, kText, "callback", "heap allocation"},
        BrokenCase{2, "callbacks.no-file-io", kFail, kText, "callback",
                   "1 file(s) opened and 1 closed"},
        BrokenCase{3, "records.untouched", kFail, kText, "boxWidth", "was 0x2C, now 0x2D"},
        BrokenCase{4, "hostile.values", kFail, kText, "text", "past its 5 characters"},
        BrokenCase{5, "hostile.values", kFail, kText, "text", "no NUL within its 5 characters"},
        BrokenCase{6, "hostile.values", kCrash, kNeedle, "callback", "token 702 = nan"},
        BrokenCase{7, "hostile.values", kCrash, kNeedle, "callback", "did not finish within 2 s"},
        BrokenCase{8, "records.untouched", kFail, "mouse list", "area 2.helpId", "click handler"},
        BrokenCase{9, "lifecycle.two-instances", kCrash, "", "", "installing two instances"},
        BrokenCase{10, "lifecycle.clicks-before-update", kCrash, "mouse list", "handler",
                   "click area 1 before initialize"},
        BrokenCase{11, "lifecycle.click-cycles", kFail, "mouse list", "handler",
                   "descriptor leaks"},
        BrokenCase{12, "hostile.values", kCrash, "child 2 (icon at 100,4)", "callback",
                   "exit status"},
        BrokenCase{13, "lifecycle.service-order", kCrash, "", "", "update before initialize"},
        BrokenCase{14, "lifecycle.cycles", kFail, "gauge header", "",
                   "more open file descriptor"}));

// A crash in one check does not stop the others: the remaining checks of a
// module whose needle crashes on NaN still run and report.
TEST(Strict, ACrashingCheckLeavesTheOthersRunning) {
  StrictOptions options = Options();
  options.only = {"hostile.values", "lifecycle.cycles"};
  const ModuleReport r = CheckModule(TestModulePath("stressgauge_broken_6"), options);
  EXPECT_NE(Find(r, "hostile.values", Outcome::kCrash), nullptr) << All(r);
  EXPECT_NE(Find(r, "lifecycle.cycles", Outcome::kPass), nullptr) << All(r);
}

// The checks can run in panelhost's own process (the Windows build has no
// fork): same results for a sound module.
TEST(Strict, RunsInProcessToo) {
  StrictOptions options = Options();
  options.isolate = false;
  options.cycles = 20;
  const ModuleReport r = CheckModule(TestModulePath("stressgauge"), options);
  EXPECT_EQ(r.Failures(), 0) << All(r);
  EXPECT_NE(Find(r, "records.untouched", Outcome::kPass), nullptr) << All(r);
}

// ------------------------------------------------------------------ malformed input

struct MalformedCase {
  const char* file;
  const char* check;  // a finding of this check (prefix) ...
  Outcome outcome;
  const char* message;  // ... whose text holds this
};

void PrintTo(const MalformedCase& c, std::ostream* os) { *os << c.file << "." << c.check; }

class Malformed : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(Malformed, GivesAClearFindingAndSkipsTheRunTimeChecks) {
  const MalformedCase& c = GetParam();
  StrictOptions options = Options();
  options.timeoutSeconds = 60;
  const ModuleReport r = CheckModule(TestModulePath(c.file), options);
  bool found = false;
  for (const Finding& f : r.findings) {
    found = found ||
            (f.check.rfind(c.check, 0) == 0 && f.outcome == c.outcome &&
             (f.message + " " + f.field + " " + f.record).find(c.message) != std::string::npos);
  }
  EXPECT_TRUE(found) << "expected " << c.check << " saying \"" << c.message << "\", got:\n"
                     << All(r);
  EXPECT_GT(r.Failures(), 0);
  for (const std::string& check : panelhost::StrictCheckNames()) {
    EXPECT_NE(Find(r, check, Outcome::kSkip), nullptr) << check << " was not skipped\n" << All(r);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Strict, Malformed,
    ::testing::Values(
        MalformedCase{"odd/missing", "module.load", Outcome::kFail, "no such module file"},
        MalformedCase{"odd/notamodule", "module.load", Outcome::kFail, "cannot load as a module"},
        MalformedCase{"odd/truncated", "module.load", Outcome::kFail, "cannot load as a module"},
        MalformedCase{"odd/noexports", "module.load", Outcome::kFail, "exports no ImportTable"},
        MalformedCase{"malformed_1", "gauge.header", Outcome::kFail, "lies outside the module"},
        MalformedCase{"malformed_2", "element.header", Outcome::kFail, "0x1234 lies outside"},
        MalformedCase{"malformed_3", "needle.calibration", Outcome::kFail, "2147483647"},
        MalformedCase{"malformed_3", "string.format", Outcome::kFail, "1073741824"},
        MalformedCase{"malformed_3", "icon.bitmaps", Outcome::kFail, "-5"},
        MalformedCase{"malformed_4", "mouse.list", Outcome::kFail, "no end record"},
        MalformedCase{"malformed_5", "element.tree", Outcome::kFail, "only the root has children"},
        MalformedCase{"malformed_6", "module.gauge-list", Outcome::kFail, "no null end"},
        MalformedCase{"malformed_7", "records", Outcome::kCrash, "the check"},
        MalformedCase{"malformed_8", "module.load", Outcome::kCrash, ""},
        MalformedCase{"malformed_9", "gauge.header", Outcome::kFail, "0x30 lies outside"},
        MalformedCase{"malformed_9", "element.list", Outcome::kFail, "0x20 lies outside"},
        MalformedCase{"malformed_10", "element.callback", Outcome::kFail, "0x42 lies outside"},
        MalformedCase{"malformed_10", "mouse.record", Outcome::kFail, "0x44 lies outside"},
        MalformedCase{"malformed_11", "gauge.routines", Outcome::kFail, "0x48 lies outside"}));

// Plain validate runs in panelhost's own process: it must survive every
// malformed module whose code it does not run (7 crashes in its install
// routine, 8 in its constructor: those need --strict).
TEST(PlainValidate, SurvivesMalformedModules) {
  for (const char* name : {"odd/notamodule", "odd/truncated", "odd/noexports", "malformed_1",
                           "malformed_2", "malformed_3", "malformed_4", "malformed_5",
                           "malformed_6", "malformed_9", "malformed_10", "malformed_11"}) {
    const auto r = testsupport::Run(testsupport::Panelhost() + " validate " + TestModulePath(name));
    EXPECT_EQ(r.exitCode, 1) << name << "\n" << r.output;
    EXPECT_THAT(r.output, ::testing::HasSubstr("FAIL")) << name;
  }
}

// ------------------------------------------------------------------ the command line

TEST(StrictCommand, PrintsTheSeedAndFailsOnAnyFailure) {
  const auto ok = testsupport::Run(testsupport::Panelhost() + " validate --strict --seed 77 " +
                                   TestModulePath("stressgauge"));
  EXPECT_EQ(ok.exitCode, 0) << ok.output;
  EXPECT_THAT(ok.output, ::testing::HasSubstr("seed 77 (repeat with --seed 77)"));
  EXPECT_THAT(ok.output, ::testing::HasSubstr("PASS hostile.values:"));
  EXPECT_THAT(ok.output, ::testing::HasSubstr("ok (0 failure(s))"));

  const auto bad =
      testsupport::Run(testsupport::Panelhost() + " validate --strict --check records.untouched " +
                       TestModulePath("stressgauge_broken_3"));
  EXPECT_EQ(bad.exitCode, 1) << bad.output;
  EXPECT_THAT(bad.output, ::testing::HasSubstr("FAIL records.untouched: gauge \"stress\", "
                                               "child 1 (string at 4,4), field boxWidth:"));
  EXPECT_THAT(bad.output, ::testing::HasSubstr("repeat with --seed"));
}

TEST(StrictCommand, WritesJson) {
  const auto r = testsupport::Run(
      testsupport::Panelhost() +
      " validate --json --strict --seed 5 --check callbacks.no-allocation " +
      TestModulePath("stressgauge_broken_1") + " " + TestModulePath("odd/notamodule"));
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_EQ(r.output.rfind("{\n  \"seed\": 5,\n  \"strict\": true,\n  \"modules\": [", 0), 0u)
      << r.output;
  EXPECT_THAT(r.output, ::testing::HasSubstr(
                            "\"check\": \"callbacks.no-allocation\", \"outcome\": \"fail\", "
                            "\"gauge\": \"stress\", \"record\": \"child 1 (string at 4,4)\", "
                            "\"field\": \"callback\""));
  EXPECT_THAT(r.output, ::testing::HasSubstr("\"check\": \"module.load\", \"outcome\": \"fail\""));
  EXPECT_THAT(r.output, ::testing::HasSubstr("\"outcome\": \"skip\""));
  EXPECT_EQ(r.output.substr(r.output.size() - 4), "]\n}\n");
}

// The same seed gives the same random inputs, so a failure can be repeated.
TEST(StrictCommand, TheSeedRepeatsARun) {
  StrictOptions options = Options();
  options.only = {"hostile.values"};
  options.seed = 99;
  const ModuleReport a = CheckModule(TestModulePath("stressgauge_broken_5"), options);
  const ModuleReport b = CheckModule(TestModulePath("stressgauge_broken_5"), options);
  EXPECT_EQ(All(a), All(b));
}

}  // namespace
