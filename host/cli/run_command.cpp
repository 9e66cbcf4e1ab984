// panelhost run: plays a scenario and leaves its results in a folder.
#include <cstdio>
#include <filesystem>

#if defined(_WIN32)
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include "host/cli/command.h"
#include "host/flight_log.h"
#include "host/log_plot.h"
#include "host/panel.h"
#include "host/report.h"

namespace {

namespace fs = std::filesystem;

struct RunCommandOptions {
  std::string scenario;
  std::string out = "out/demo";
  std::string modules;
  bool headless = false;
  bool quiet = false;
};

// A one-line progress bar on a terminal; nothing when stderr is not one.
class ProgressBar {
 public:
  explicit ProgressBar(bool enabled) : enabled_(enabled && isatty(fileno(stderr)) != 0) {}
  void operator()(double done) {
    if (!enabled_) return;
    const int percent = static_cast<int>(done * 100);
    if (percent == last_) return;
    last_ = percent;
    constexpr int kWidth = 40;
    const int filled = percent * kWidth / 100;
    std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "########################################",
                 kWidth - filled, "", percent);
    if (percent == 100) std::fprintf(stderr, "\n");
  }

 private:
  bool enabled_;
  int last_ = -1;
};

int Run(const RunCommandOptions& o) {
  const panelhost::Scenario scenario = panelhost::LoadScenario(o.scenario);
  panelhost::RunOptions options;
  options.outDir = o.out;
  options.moduleDir = o.modules.empty() ? panelhost::ExecutableDir() : o.modules;
  options.headless = o.headless;
  ProgressBar bar(!o.quiet);
  options.progress = [&bar](double done) { bar(done); };
  const panelhost::RunSummary summary = panelhost::RunScenario(scenario, options);

  // The recorder's log, when the panel has one: as CSV beside it and, unless
  // headless, as plots on the report page.
  const fs::path logPath = fs::path(o.out) / "data_log.txt";
  std::size_t logRows = 0;
  panelhost::ReportContent report;
  if (fs::exists(logPath)) {
    const panelhost::FlightLog log = panelhost::ReadFlightLog(logPath.string());
    logRows = log.rows.size();
    panelhost::WriteFileReplacing((fs::path(o.out) / "data_log.csv").string(),
                                  panelhost::FlightLogCsv(log));
    report.logFile = "data_log.txt";
    report.csvFile = "data_log.csv";
    report.notes = log.warnings;
    if (!o.headless) report.plots = panelhost::WriteLogPlots(log, o.out);
  }
  std::printf("%s: %d frames (%.1f s simulated), %zu key events, %zu sound calls, %zu log rows\n",
              o.scenario.c_str(), summary.frames, summary.seconds, summary.keyEvents,
              summary.sounds, logRows);
  if (!o.headless) {
    report.title = fs::path(o.scenario).stem().string();
    report.subtitle = "panelhost run " + o.scenario;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f s", summary.seconds);
    report.summary = {{"frames", std::to_string(summary.frames)},
                      {"simulated time", seconds},
                      {"gauges", std::to_string(scenario.gauges.size())},
                      {"key events", std::to_string(summary.keyEvents)},
                      {"sound calls", std::to_string(summary.sounds)},
                      {"log rows", std::to_string(logRows)}};
    for (const auto& c : summary.captures)
      report.snapshots.push_back({c, fs::path(c).stem().string()});
    if (!summary.animation.empty()) {
      report.animation = {summary.animation, "the panel over the whole run"};
    }
    for (const auto& p : summary.problems) report.notes.push_back(p);
    std::printf("  report %s\n", panelhost::WriteReport(o.out, report).c_str());
  }
  for (const auto& c : summary.captures)
    std::printf("  snapshot %s/%s\n", o.out.c_str(), c.c_str());
  if (!summary.animation.empty()) {
    std::printf("  animation %s/%s\n", o.out.c_str(), summary.animation.c_str());
  }
  for (const auto& p : summary.problems) std::fprintf(stderr, "panelhost: %s\n", p.c_str());
  return summary.problems.empty() ? 0 : 1;
}

PANELHOST_COMMAND(40, [](CLI::App& app) -> std::function<int()> {
  auto o = std::make_shared<RunCommandOptions>();
  auto* cmd = app.add_subcommand("run", "Play a scenario: a panel of gauges over time");
  cmd->add_option("SCENARIO", o->scenario, "scenario file")->required();
  cmd->add_option("-o,--output", o->out, "folder for the log, snapshots, animation and report")
      ->capture_default_str();
  cmd->add_option("--modules", o->modules,
                  "folder of the module binaries (default: panelhost's own folder)");
  cmd->add_flag("--headless", o->headless, "draw nothing: only run the gauges (fast)");
  cmd->add_flag("-q,--quiet", o->quiet, "no progress bar");
  return [cmd, o] { return *cmd ? Run(*o) : -1; };
});

}  // namespace
