#include "host/flight_log.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <system_error>

#include "host/host.h"

namespace panelhost {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kStartLine = "Recording Enabled";
constexpr std::string_view kEndLine = "End recording";
constexpr std::string_view kHeaderLine =
    "index\tTAS\tIAS\talt\tpitch\tclimb\tgforc\tturn\tbank\troll\tprop\thp\tthrst\tAoA\tBeta\tElev";

// Columns printed with "%5d"; the others with a "%5.Nf" format.
constexpr std::array<bool, kFlightLogColumnCount> kWholeColumn = {
    true, false, false, true, false, true,  false, true,
    true, true,  true,  true, true,  false, false, false};

// A short, printable excerpt of untrusted text for a message.
std::string Quote(std::string_view text) {
  constexpr std::size_t kMax = 24;
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size() && i < kMax; ++i) {
    const char c = text[i];
    if (c == '\t') {
      out += "\\t";
    } else {
      out += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
  }
  if (text.size() > kMax) out += "...";
  return out + "\"";
}

std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// Whether the field stands for a value the log could not print as a number:
// the overflow mark ("#####", "-####"; "1.#INF" from older Windows runtimes)
// or a non-finite value ("nan", "-nan", "inf", "nan(ind)").
bool IsMissingMark(std::string_view field) {
  if (field.find('#') != std::string_view::npos) return true;
  if (!field.empty() && (field.front() == '-' || field.front() == '+')) field.remove_prefix(1);
  std::string lower;
  for (char c : field.substr(0, 8)) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return lower == "inf" || lower == "infinity" || lower.starts_with("nan");
}

// Splits a row into its fields; stops counting past one more than a row has.
int SplitFields(std::string_view line, std::array<std::string_view, kFlightLogColumnCount>& out) {
  int count = 0;
  for (;;) {
    const std::size_t tab = line.find('\t');
    const std::string_view field = line.substr(0, tab);
    if (count < kFlightLogColumnCount) out[static_cast<std::size_t>(count)] = field;
    ++count;
    if (tab == std::string_view::npos || count > kFlightLogColumnCount) return count;
    line.remove_prefix(tab + 1);
  }
}

// Consumes lines one at a time, so a file can be read without holding it.
class Parser {
 public:
  explicit Parser(const std::string& name) { log_.name = name; }

  // `line` is without its line end; `terminated` is false only for a last
  // line that ends without one (cut short by a crash, or hand-written).
  void Line(std::string_view line, bool terminated) {
    ++lineNo_;
    if (!line.empty() && line.back() == '\r') {
      // A CRLF line end cut after its CR still ends a complete line.
      line.remove_suffix(1);
      terminated = true;
    }
    if (line.size() > kFlightLogMaxLine) Fail("line longer than 4096 characters");
    switch (state_) {
      case State::kStart:
        if (line != kStartLine) {
          Fail("not a flight log: the first line is " + Quote(line) +
               ", not \"Recording Enabled\"");
        }
        state_ = State::kHeader;
        return;
      case State::kHeader:
        if (line == kHeaderLine) {
          Header();
        } else if (!terminated && kHeaderLine.starts_with(line)) {
          Cut("the column header");
        } else {
          Fail("expected the column header \"index\\tTAS\\t...\\tElev\", found " + Quote(line));
        }
        return;
      case State::kBody:
        if (line == kHeaderLine) {
          Header();
        } else if (line == kEndLine) {
          log_.ended = true;
          state_ = State::kEnded;
        } else if (!terminated && !line.empty() &&
                   (kHeaderLine.starts_with(line) || kEndLine.starts_with(line))) {
          Cut("the last line");
        } else {
          Row(line, terminated);
        }
        return;
      case State::kEnded:
        Fail("text after \"End recording\": " + Quote(line));
    }
  }

  // Called once after the last line.
  FlightLog Finish() {
    if (lineNo_ == 0) {
      ++lineNo_;
      Fail("empty file, not a flight log");
    }
    return std::move(log_);
  }

 private:
  enum class State { kStart, kHeader, kBody, kEnded };

  [[noreturn]] void Fail(const std::string& problem) const {
    throw Error(log_.name + ":" + std::to_string(lineNo_) + ": " + problem);
  }

  void Warn(const std::string& problem) {
    log_.warnings.push_back(log_.name + ":" + std::to_string(lineNo_) + ": " + problem);
  }

  void Cut(const std::string& what) {
    Warn(what + " is cut short (no line end); dropped");
    state_ = State::kEnded;
  }

  void Header() {
    ++log_.stretches;
    state_ = State::kBody;
  }

  // Parses one field into `value`; returns an empty string when it is
  // well-formed, else the problem.
  std::string Field(int column, std::string_view raw, double& value) const {
    const std::string_view field = TrimSpaces(raw);
    const auto c = static_cast<std::size_t>(column);
    const std::string label =
        "field " + std::to_string(column + 1) + " (" + std::string(kFlightLogColumns[c]) + ")";
    if (field.empty()) return label + " is empty";
    if (column > 0 && IsMissingMark(field)) {
      value = std::numeric_limits<double>::quiet_NaN();
      return {};
    }
    const char* first = field.data();
    const char* last = first + field.size();
    if (kWholeColumn[c]) {
      std::int32_t whole = 0;
      const auto [end, ec] = std::from_chars(first, last, whole);
      if (ec == std::errc::result_out_of_range) {
        return label + " is " + Quote(field) + ", beyond the 32-bit range";
      }
      if (ec != std::errc() || end != last)
        return label + " is " + Quote(field) + ", not a whole number";
      value = whole;
    } else {
      const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::fixed);
      if (ec == std::errc::result_out_of_range)
        return label + " is " + Quote(field) + ", out of range";
      if (ec != std::errc() || end != last) return label + " is " + Quote(field) + ", not a number";
    }
    return {};
  }

  void Row(std::string_view line, bool terminated) {
    if (line.empty()) Fail("empty line");
    if (line == kStartLine) Fail("\"Recording Enabled\" again inside the log");
    std::array<std::string_view, kFlightLogColumnCount> fields;
    const int count = SplitFields(line, fields);
    if (count > kFlightLogColumnCount) Fail("row has more than 16 tab-separated fields");
    if (count < kFlightLogColumnCount && terminated) {
      Fail("row has " + std::to_string(count) + " tab-separated field" + (count == 1 ? "" : "s") +
           ", expected 16");
    }
    FlightLogRow row;
    row.line = lineNo_;
    row.stretch = log_.stretches - 1;
    double index = 0;
    for (int i = 0; i < count; ++i) {
      const auto f = static_cast<std::size_t>(i);
      double& value = i == 0 ? index : row.values[f - 1];
      const std::string problem = Field(i, fields[f], value);
      if (i + 1 < count || terminated) {
        if (!problem.empty()) Fail(problem);
        continue;
      }
      // The last field of a line without its line end: a crash may have cut
      // it (and the fields after it), so a partial number is dropped with the
      // row, but text that no number starts with is still an error.
      if (count == kFlightLogColumnCount && problem.empty() &&
          CompleteLastField(TrimSpaces(fields[f]))) {
        break;
      }
      if (!CouldBeCutNumber(fields[f])) {
        Fail(problem.empty() ? "the last field is " + Quote(fields[f]) + ", not a number"
                             : problem);
      }
      Cut("the last row");
      return;
    }
    row.index = static_cast<std::int32_t>(index);
    if (!log_.rows.empty() && row.index < log_.rows.back().index) {
      Warn("index goes back from " + std::to_string(log_.rows.back().index) + " to " +
           std::to_string(row.index));
    }
    for (double v : row.values) log_.missingValues += std::isnan(v) ? 1 : 0;
    log_.rows.push_back(row);
  }

  // Whether `field` could be the start of a number or mark the log prints.
  static bool CouldBeCutNumber(std::string_view field) {
    return field.find_first_not_of(" -0123456789.#infaINFAQD()") == std::string_view::npos;
  }

  // Elev is printed "%5.1f": complete when it ends in a point and one digit.
  static bool CompleteLastField(std::string_view field) {
    const std::size_t n = field.size();
    return n >= 3 && field[n - 2] == '.' && field[n - 1] >= '0' && field[n - 1] <= '9' &&
           field[n - 3] >= '0' && field[n - 3] <= '9';
  }

  FlightLog log_;
  State state_ = State::kStart;
  int lineNo_ = 0;
};

// A name for a temporary file next to `path`, unlikely to meet another's.
fs::path TemporaryBeside(const fs::path& path) {
  static unsigned counter = 0;
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  std::string name = ".";
  name.append(path.filename().string());
  name.append(".tmp");
  name.append(std::to_string(stamp));
  name.append("-");
  name.append(std::to_string(++counter));
  return path.parent_path() / name;
}

}  // namespace

FlightLog ParseFlightLog(std::string_view text, const std::string& name) {
  Parser parser(name);
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos) {
      parser.Line(text, false);
      break;
    }
    parser.Line(text.substr(0, end), true);
    text.remove_prefix(end + 1);
  }
  return parser.Finish();
}

FlightLog ReadFlightLog(const std::string& path) {
  std::error_code ec;
  const auto status = fs::status(path, ec);
  if (ec || !fs::exists(status)) throw Error(path + ": cannot read: no such file");
  if (!fs::is_regular_file(status)) throw Error(path + ": cannot read: not a regular file");
  if (fs::file_size(path, ec) > kFlightLogMaxBytes || ec) {
    throw Error(path + ": larger than " + std::to_string(kFlightLogMaxBytes >> 20) +
                " MiB, too large for a flight log");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Error(path + ": cannot open for reading");
  // Lines are gathered from fixed-size blocks; a line is never let grow much
  // past the longest a log may hold.
  Parser parser(path);
  std::string line;
  char block[65536];
  for (;;) {
    in.read(block, sizeof block);
    const std::streamsize got = in.gcount();
    if (got <= 0) break;
    std::string_view rest(block, static_cast<std::size_t>(got));
    while (!rest.empty()) {
      const std::size_t end = rest.find('\n');
      const std::string_view piece = rest.substr(0, end);
      if (line.size() + piece.size() <= kFlightLogMaxLine + 2) {
        line.append(piece);
      } else {
        // Keep enough to be recognised as too long, not the whole line.
        line.append(piece.substr(0, kFlightLogMaxLine + 2 - line.size()));
      }
      if (end == std::string_view::npos) break;
      parser.Line(line, true);
      line.clear();
      rest.remove_prefix(end + 1);
    }
  }
  if (in.bad()) throw Error(path + ": read error");
  if (!line.empty()) parser.Line(line, false);
  return parser.Finish();
}

std::string FlightLogCsv(const FlightLog& log) {
  std::string out;
  for (std::size_t i = 0; i < kFlightLogColumns.size(); ++i) {
    if (i > 0) out += ',';
    out += kFlightLogColumns[i];
  }
  out += '\n';
  char number[64];
  for (const FlightLogRow& row : log.rows) {
    out += std::to_string(row.index);
    for (double v : row.values) {
      out += ',';
      if (std::isnan(v)) continue;
      // The shortest text that reads back as the same double.
      const auto [end, ec] = std::to_chars(number, number + sizeof number, v);
      if (ec == std::errc()) out.append(number, end);
    }
    out += '\n';
  }
  return out;
}

void WriteFileReplacing(const std::string& path, std::string_view content) {
  const fs::path target(path);
  const fs::path temporary = TemporaryBeside(target);
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) throw Error(path + ": cannot create the file");
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      fs::remove(temporary, ignored);
      throw Error(path + ": write failed");
    }
  }
  std::error_code ec;
  fs::rename(temporary, target, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    throw Error(path + ": cannot replace the file: " + ec.message());
  }
}

}  // namespace panelhost
