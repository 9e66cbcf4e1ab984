#include "host/log_plot.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "host/host.h"

#ifdef _WIN32
#include <process.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace panelhost {
namespace {

namespace fs = std::filesystem;

// One line of a panel: a log column (1 = TAS ... 15 = Elev) and its axis.
struct Series {
  int column;
  bool rightAxis;
};

struct Panel {
  const char* file;
  const char* title;
  const char* leftLabel;
  const char* rightLabel;
  std::vector<Series> series;
};

const std::vector<Panel>& Panels() {
  static const std::vector<Panel> panels = {
      {"log_altitude.png", "Altitude (alt)", "ft", "", {{3, false}}},
      {"log_speeds.png", "Speeds (TAS, IAS)", "speed", "", {{1, false}, {2, false}}},
      {"log_attitude.png",
       "Attitude and rates (pitch, bank, roll, turn)",
       "pitch, bank",
       "roll, turn",
       {{4, false}, {8, false}, {9, true}, {7, true}}},
      {"log_engine.png",
       "Engine (prop, hp, thrst)",
       "hp, thrst",
       "prop",
       {{11, false}, {12, false}, {10, true}}},
  };
  return panels;
}

constexpr int kMaxShadedGaps = 200;
// Below this many rows each sample is marked with a dot as well, so that a
// stretch of one row still shows.
constexpr std::size_t kDotsUpTo = 120;

// A gnuplot single-quoted string: only the quote itself needs doubling.
std::string GpString(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += '\'';
    if (c == '\n' || c == '\r') c = ' ';
    out += c;
  }
  return out + "'";
}

std::string Number(double v) {
  char buffer[64];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
  return ec == std::errc() ? std::string(buffer, end) : "NaN";
}

// A fresh folder under the system's temporary folder, removed with the object.
class Workspace {
 public:
  Workspace() {
    static unsigned counter = 0;
    const fs::path base = fs::temp_directory_path();
    for (int attempt = 0;; ++attempt) {
      const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
      path_ = base / ("panelhost-plot-" + std::to_string(stamp) + "-" + std::to_string(++counter));
      std::error_code ec;
      if (fs::create_directory(path_, ec)) return;
      if (attempt > 100) throw Error(path_.string() + ": cannot create a temporary folder");
    }
  }
  ~Workspace() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// Where the lines of a plot stop: between two rows whose indices are not
// consecutive.
bool GapBetween(const FlightLogRow& a, const FlightLogRow& b) { return b.index != a.index + 1; }

// The data file: the index and the fifteen values per row, tab-separated; a
// blank line at every gap (gnuplot lifts its pen there) and NaN where a value
// is missing (which breaks the line too).
std::string DataText(const FlightLog& log) {
  std::string out = "# index";
  for (std::size_t i = 1; i < kFlightLogColumns.size(); ++i) {
    out += '\t';
    out += kFlightLogColumns[i];
  }
  out += '\n';
  for (std::size_t r = 0; r < log.rows.size(); ++r) {
    const FlightLogRow& row = log.rows[r];
    if (r > 0 && GapBetween(log.rows[r - 1], row)) out += '\n';
    out += std::to_string(row.index);
    for (double v : row.values) {
      out += '\t';
      out += std::isnan(v) ? std::string("NaN") : Number(v);
    }
    out += '\n';
  }
  return out;
}

bool HasValues(const FlightLog& log, int column) {
  return std::any_of(log.rows.begin(), log.rows.end(), [&](const FlightLogRow& row) {
    return !std::isnan(row.values[static_cast<std::size_t>(column - 1)]);
  });
}

// The commands that draw one panel; the terminal and output are set before.
std::string PanelScript(const FlightLog& log, const Panel& panel, const std::string& data,
                        const std::string& xrange) {
  std::ostringstream s;
  s << "unset object\nunset label\nset autoscale y\nset autoscale y2\n";
  s << "set title " << GpString(panel.title) << "\n";
  s << "set ylabel " << GpString(panel.leftLabel) << "\n";
  s << "set xrange " << xrange << "\n";
  int shaded = 0;
  for (std::size_t r = 1; r < log.rows.size() && shaded < kMaxShadedGaps; ++r) {
    const FlightLogRow& a = log.rows[r - 1];
    const FlightLogRow& b = log.rows[r];
    if (!GapBetween(a, b) || b.index <= a.index) continue;
    ++shaded;
    s << "set object " << shaded << " rect from first " << a.index << ", graph 0 to first "
      << b.index << ", graph 1 fillcolor rgb '#e4e4e4' fillstyle solid noborder behind\n";
  }
  const bool dots = log.rows.size() <= kDotsUpTo;
  std::vector<std::string> plots;
  bool right = false;
  for (const Series& series : panel.series) {
    if (!HasValues(log, series.column)) continue;
    right = right || series.rightAxis;
    std::string p =
        GpString(data) + " using 1:" + std::to_string(series.column + 1) +
        (series.rightAxis ? " axes x1y2" : " axes x1y1") +
        (dots ? " with linespoints pointtype 7 pointsize 0.4" : " with lines") +
        " linewidth 1.5 title " +
        GpString(std::string(kFlightLogColumns[static_cast<std::size_t>(series.column)]) +
                 (series.rightAxis ? " (right)" : ""));
    plots.push_back(p);
  }
  if (right) {
    s << "set y2tics\nset ytics nomirror\nset y2label " << GpString(panel.rightLabel) << "\n";
  } else {
    s << "unset y2tics\nset ytics mirror\nunset y2label\n";
  }
  if (plots.empty()) {
    // Nothing to draw: an empty frame that says so, not an error.
    s << "set yrange [-1:1]\nset label 1 'no values' at graph 0.5, graph 0.5 center\n"
      << "plot 1/0 notitle\nset autoscale y\n";
    return s.str();
  }
  s << "plot ";
  for (std::size_t i = 0; i < plots.size(); ++i) s << (i > 0 ? ", \\\n     " : "") << plots[i];
  s << "\n";
  return s.str();
}

std::string CommonSettings(const FlightLog& log, std::string& xrange) {
  std::int32_t lo = log.rows.front().index;
  std::int32_t hi = lo;
  for (const FlightLogRow& row : log.rows) {
    lo = std::min(lo, row.index);
    hi = std::max(hi, row.index);
  }
  const double from = lo == hi ? lo - 1.0 : lo;
  const double to = lo == hi ? hi + 1.0 : hi;
  xrange = std::string("[").append(Number(from)).append(":").append(Number(to)).append("]");
  // Fixed margins line the panels up on one index axis; names are printed as
  // they are (no enhanced-text markup, where "_" would mean a subscript).
  return "set datafile separator '\\t'\n"
         "set lmargin 11\nset rmargin 24\n"
         "set grid lc rgb '#d0d0d0'\n"
         "set key outside right top vertical\n"
         "set xlabel 'sample index'\n"
         "set border lc rgb '#404040'\n";
}

// Runs gnuplot on the script; returns normally only when it succeeded. Errors
// name `output`, the picture being made.
void RunGnuplot(const fs::path& script, const fs::path& messages, const std::string& output) {
  const std::string missing =
      output + ": cannot draw the plot: gnuplot is not installed (Debian package gnuplot-nox)";
#ifdef _WIN32
  (void)messages;
  const std::string quoted = std::string("\"").append(script.string()).append("\"");
  const intptr_t status = _spawnlp(_P_WAIT, "gnuplot", "gnuplot", quoted.c_str(), nullptr);
  if (status == -1) throw Error(errno == ENOENT ? missing : output + ": cannot start gnuplot");
  if (status != 0) {
    throw Error(output + ": gnuplot failed (exit status " + std::to_string(status) + ")");
  }
#else
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, messages.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  std::string program = "gnuplot";
  std::string argument = script.string();
  char* argv[] = {program.data(), argument.data(), nullptr};
  pid_t pid = 0;
  const int started = posix_spawnp(&pid, "gnuplot", &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (started == ENOENT) throw Error(missing);
  if (started != 0) {
    throw Error(output + ": cannot start gnuplot: " + std::generic_category().message(started));
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) throw Error(output + ": lost track of gnuplot");
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return;
  // gnuplot's own words, the last few lines of them.
  std::ifstream in(messages);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (text.size() > 600) text = "..." + text.substr(text.size() - 600);
  const std::string how = WIFEXITED(status)
                              ? "exit status " + std::to_string(WEXITSTATUS(status))
                              : "killed by signal " + std::to_string(WTERMSIG(status));
  throw Error(output + ": gnuplot failed (" + how + ")" + (text.empty() ? "" : ":\n" + text));
#endif
}

std::string ReadPng(const fs::path& file, const std::string& output) {
  std::ifstream in(file, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() < 8 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) {
    throw Error(output + ": gnuplot wrote no PNG picture");
  }
  return bytes;
}

void WriteText(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  out.close();
  if (!out) throw Error(path.string() + ": cannot write");
}

}  // namespace

void WriteLogPlot(const FlightLog& log, const std::string& path) {
  if (log.rows.empty()) throw Error(path + ": cannot draw the plot: " + log.name + " has no rows");
  Workspace work;
  const fs::path data = work.path() / "log.tsv";
  const fs::path picture = work.path() / "plot.png";
  WriteText(data, DataText(log));
  std::string xrange;
  std::string script = CommonSettings(log, xrange);
  script += "set terminal pngcairo size 1100,1400 font 'Sans,10' noenhanced\n";
  script += "set output " + GpString(picture.string()) + "\n";
  script += "set multiplot layout 4,1 title " + GpString(log.name) + "\n";
  for (const Panel& panel : Panels()) script += PanelScript(log, panel, data.string(), xrange);
  script += "unset multiplot\nset output\n";
  WriteText(work.path() / "plot.gp", script);
  RunGnuplot(work.path() / "plot.gp", work.path() / "gnuplot.txt", path);
  WriteFileReplacing(path, ReadPng(picture, path));
}

std::vector<Figure> WriteLogPlots(const FlightLog& log, const std::string& folder) {
  if (log.rows.empty()) return {};
  Workspace work;
  const fs::path data = work.path() / "log.tsv";
  WriteText(data, DataText(log));
  std::string xrange;
  std::string script = CommonSettings(log, xrange);
  script += "set terminal pngcairo size 1000,340 font 'Sans,10' noenhanced\n";
  for (const Panel& panel : Panels()) {
    script += "set output " + GpString((work.path() / panel.file).string()) + "\n";
    script += PanelScript(log, panel, data.string(), xrange);
  }
  script += "set output\n";
  WriteText(work.path() / "plots.gp", script);
  const std::string first = (fs::path(folder) / Panels().front().file).string();
  RunGnuplot(work.path() / "plots.gp", work.path() / "gnuplot.txt", first);
  std::error_code ec;
  fs::create_directories(folder, ec);
  std::vector<Figure> figures;
  for (const Panel& panel : Panels()) {
    const std::string target = (fs::path(folder) / panel.file).string();
    WriteFileReplacing(target, ReadPng(work.path() / panel.file, target));
    figures.push_back({panel.file, panel.title});
  }
  return figures;
}

}  // namespace panelhost
