// Reading the recorder's log "data_log.txt" and turning it into a clean CSV
// table.
//
// The log is a text file: "Recording Enabled", the tab-separated column header,
// one row of sixteen fields per sample, the header again after each resume
// from a pause, and "End recording" when recording stopped. Line ends are LF
// or CRLF (a log written on Windows). A simulator that crashed while recording
// can leave the last row cut short; that row is dropped with a warning. Any
// other departure from the format is an Error "FILE:LINE: problem".
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace panelhost {

// The log's columns in file order: the sample index, then fifteen values.
inline constexpr int kFlightLogColumnCount = 16;
inline constexpr std::array<std::string_view, kFlightLogColumnCount> kFlightLogColumns = {
    "index", "TAS",  "IAS",  "alt", "pitch", "climb", "gforc", "turn",
    "bank",  "roll", "prop", "hp",  "thrst", "AoA",   "Beta",  "Elev"};

// One data row.
struct FlightLogRow {
  int line = 0;            // line number in the file, from 1
  std::int32_t index = 0;  // the sample index (column 1)
  int stretch = 0;         // which recording stretch (0 = before the first resume)
  std::array<double, kFlightLogColumnCount - 1> values{};  // columns 2 to 16; NaN = missing
};

// A parsed log. A value is missing (NaN) where the log printed no number: the
// overflow mark of a number that did not fit its field ("#####", "-####") or a
// non-finite value ("nan", "inf", "1.#INF").
struct FlightLog {
  std::string name;                   // the file name used in messages
  std::vector<FlightLogRow> rows;     // in file order
  int stretches = 0;                  // header lines: 1 + the number of resumes
  bool ended = false;                 // the log closes with "End recording"
  int missingValues = 0;              // values given as missing
  std::vector<std::string> warnings;  // "FILE:LINE: ..." for what was tolerated
};

// The longest line a log may hold. The module's longest possible row (every
// value at the far end of the double range) is about 2300 characters.
inline constexpr std::size_t kFlightLogMaxLine = 4096;
// The largest log file ReadFlightLog accepts (some 2.5 million rows).
inline constexpr std::uintmax_t kFlightLogMaxBytes = 256u << 20;

// Parses the text of a log; `name` is the file name for messages. Throws
// Error("name:LINE: problem") on malformed input. Pure: reads nothing else.
FlightLog ParseFlightLog(std::string_view text, const std::string& name);

// Reads and parses the log file at `path`; throws Error naming the file when
// it cannot be read, is larger than kFlightLogMaxBytes, or is malformed.
FlightLog ReadFlightLog(const std::string& path);

// The log as CSV: the header row "index,TAS,...,Elev", then one line per data
// row, comma-separated, LF line ends; a missing value is an empty field.
std::string FlightLogCsv(const FlightLog& log);

// Writes `content` to `path` through a temporary file in the same folder that
// is renamed over `path` only when complete: a failure leaves any earlier
// `path` as it was and no partial file behind. Throws Error naming the file.
void WriteFileReplacing(const std::string& path, std::string_view content);

}  // namespace panelhost
