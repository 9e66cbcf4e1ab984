// panelhost log: reads a recorder log, and sums it up, converts it to CSV or
// plots it.
#include <cstdio>
#include <memory>
#include <string>

#include "host/cli/command.h"
#include "host/flight_log.h"
#include "host/log_plot.h"

namespace {

struct LogOptions {
  std::string file, csv, plot;
};

void PrintSummary(const panelhost::FlightLog& log) {
  std::printf("%s: flight log\n", log.name.c_str());
  std::printf("  rows       %zu\n", log.rows.size());
  std::printf("  stretches  %d (%d resume%s)\n", log.stretches,
              log.stretches > 0 ? log.stretches - 1 : 0, log.stretches == 2 ? "" : "s");
  if (!log.rows.empty()) {
    // Samples that fell while paused: the index runs on without rows.
    long long skipped = 0;
    for (std::size_t i = 1; i < log.rows.size(); ++i) {
      const long long step = static_cast<long long>(log.rows[i].index) - log.rows[i - 1].index;
      if (step > 1) skipped += step - 1;
    }
    std::printf("  index      %d to %d (%lld sample%s skipped)\n", log.rows.front().index,
                log.rows.back().index, skipped, skipped == 1 ? "" : "s");
  }
  std::printf("  ended      %s\n", log.ended ? "yes, \"End recording\"" : "no");
  if (log.missingValues > 0) {
    std::printf("  missing    %d value%s (printed as an overflow mark or not a number)\n",
                log.missingValues, log.missingValues == 1 ? "" : "s");
  }
}

int RunLog(const LogOptions& o) {
  const panelhost::FlightLog log = panelhost::ReadFlightLog(o.file);
  for (const std::string& w : log.warnings)
    std::fprintf(stderr, "panelhost: warning: %s\n", w.c_str());
  if (o.csv.empty() && o.plot.empty()) {
    PrintSummary(log);
    return 0;
  }
  // The plot first: it is the step that can fail for want of gnuplot, and
  // then no CSV has been written either.
  if (!o.plot.empty()) {
    panelhost::WriteLogPlot(log, o.plot);
    std::printf("wrote %s\n", o.plot.c_str());
  }
  if (!o.csv.empty()) {
    panelhost::WriteFileReplacing(o.csv, panelhost::FlightLogCsv(log));
    std::printf("wrote %s (%zu rows)\n", o.csv.c_str(), log.rows.size());
  }
  return 0;
}

PANELHOST_COMMAND(50, [](CLI::App& app) -> std::function<int()> {
  auto o = std::make_shared<LogOptions>();
  auto* cmd = app.add_subcommand(
      "log", "Read a recorder log (data_log.txt): sum it up, or write it as CSV or a plot");
  cmd->add_option("FILE", o->file, "the log file")->required();
  cmd->add_option("--csv", o->csv, "write the rows as CSV to this file");
  cmd->add_option("--plot", o->plot, "draw altitude, speeds, attitude and engine to this PNG");
  return [cmd, o] { return *cmd ? RunLog(*o) : -1; };
});

}  // namespace
