// The HTML page that sums up one scenario run: a plain static "index.html" in
// the run's output folder that shows what the run produced beside it.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace panelhost {

// A picture on the page: a file in the report's folder (a name relative to
// it, such as "recpanel_0042.png") and the caption shown under it.
struct Figure {
  std::string file;
  std::string caption;
};

struct ReportContent {
  std::string title;     // the page's heading, e.g. the scenario's name
  std::string subtitle;  // one line under it (what was run, when); may be empty
  // The summary table, one row per pair, in order: frames, simulated time,
  // key events, sounds, log rows, ...
  std::vector<std::pair<std::string, std::string>> summary;
  std::vector<Figure> snapshots;   // panel snapshots, in order
  Figure animation;                // the animated picture; no file = none
  std::vector<Figure> plots;       // the flight-log plots (see WriteLogPlots)
  std::string logFile;             // the log, e.g. "data_log.txt"; empty = none
  std::string csvFile;             // the log as CSV; empty = none
  std::vector<std::string> notes;  // problems and warnings worth a reader's eye
};

// Writes `folder`/index.html (replacing it only once complete) and returns its
// path. All text is escaped; file names are linked relative to the folder, and
// a named file that does not exist there is shown as missing rather than as a
// broken picture. No scripts and no outside resources: the folder can be
// opened or copied as it is. Throws Error naming the file when it cannot write.
std::string WriteReport(const std::string& folder, const ReportContent& content);

}  // namespace panelhost
