#include "host/scenario.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>

namespace panelhost {

namespace {

constexpr std::size_t kMaxLine = 64 * 1024;
constexpr std::size_t kMaxColumns = 256;
constexpr std::size_t kMaxRows = 1'000'000;
constexpr double kMaxDuration = 48 * 3600.0;
constexpr int kMaxPanel = 8192;

class Parser {
 public:
  Parser(std::string_view text, std::string file) : text_(text) { s_.file = std::move(file); }

  Scenario Run() {
    while (NextLine()) Statement();
    if (s_.width == 0) Fail(0, "no panel statement");
    if (s_.gauges.empty()) Fail(0, "no gauge statement");
    if (s_.duration <= 0) Fail(0, "no duration statement");
    for (const Wrap& w : wraps_) {
      auto it = std::find_if(s_.channels.begin(), s_.channels.end(),
                             [&w](const ScenarioChannel& c) { return c.variable == w.variable; });
      if (it == s_.channels.end()) Fail(w.line, "wrap names a variable no set or table gives");
      if (it->wrap > 0) Fail(w.line, "variable wrapped twice");
      it->wrap = w.period;
    }
    auto byTime = [](const auto& a, const auto& b) { return a.time < b.time; };
    std::stable_sort(s_.clicks.begin(), s_.clicks.end(), byTime);
    std::stable_sort(s_.captures.begin(), s_.captures.end(), byTime);
    std::stable_sort(s_.failures.begin(), s_.failures.end(), byTime);
    for (auto& c : s_.channels) {
      std::stable_sort(c.points.begin(), c.points.end(),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
    }
    return std::move(s_);
  }

 private:
  [[noreturn]] void Fail(int line, const std::string& message) const {
    throw Error(s_.file + (line > 0 ? ":" + std::to_string(line) : "") + ": " + message);
  }
  [[noreturn]] void Fail(const std::string& message) const { Fail(line_, message); }

  // Splits the next non-blank line into words, comments removed.
  bool NextLine() {
    while (pos_ < text_.size()) {
      std::size_t end = text_.find('\n', pos_);
      if (end == std::string_view::npos) end = text_.size();
      std::string_view line = text_.substr(pos_, end - pos_);
      pos_ = end + 1;
      ++line_;
      if (line.size() > kMaxLine) Fail("line longer than " + std::to_string(kMaxLine) + " bytes");
      if (const auto hash = line.find('#'); hash != std::string_view::npos)
        line = line.substr(0, hash);
      words_.clear();
      std::size_t i = 0;
      while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        std::size_t j = i;
        while (j < line.size() && line[j] != ' ' && line[j] != '\t' && line[j] != '\r') ++j;
        if (j > i) words_.emplace_back(line.substr(i, j - i));
        i = j;
      }
      if (!words_.empty()) return true;
    }
    return false;
  }

  double Number(std::size_t index, const char* what) const {
    if (index >= words_.size()) Fail(std::string("missing ") + what);
    const std::string& w = words_[index];
    double value = 0;
    const auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), value);
    if (ec != std::errc() || end != w.data() + w.size() || !std::isfinite(value)) {
      Fail(std::string(what) + " \"" + w + "\" is not a finite number");
    }
    return value;
  }

  int Integer(std::size_t index, const char* what, int low, int high) const {
    const double v = Number(index, what);
    if (v != std::floor(v) || v < low || v > high) {
      Fail(std::string(what) + " must be a whole number from " + std::to_string(low) + " to " +
           std::to_string(high));
    }
    return static_cast<int>(v);
  }

  double Time(std::size_t index) const {
    const double t = Number(index, "time");
    if (t < 0 || t > kMaxDuration)
      Fail("time must lie between 0 and " + std::to_string(kMaxDuration));
    return t;
  }

  void Arity(std::size_t low, std::size_t high, const char* usage) const {
    if (words_.size() < low || words_.size() > high) Fail(std::string("usage: ") + usage);
  }

  ScenarioVariable Variable(const std::string& w) const {
    ScenarioVariable v;
    std::string digits = w;
    if (w.rfind("word:", 0) == 0) {
      v.word = true;
      digits = w.substr(5);
    }
    unsigned long long n = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() ||
        n > 0xFFFFFFFFull) {
      Fail("\"" + w + "\" is neither a variable token nor word:OFFSET");
    }
    v.key = static_cast<std::uint32_t>(n);
    if (v.word && (v.key % 4 != 0 || v.key + 4 > Host::kDataBlockBytes)) {
      Fail("word offset " + digits + " is not a word of the " +
           std::to_string(Host::kDataBlockBytes) + "-byte data block");
    }
    if (!v.word && v.key == 0) Fail("variable token 0 means no variable");
    if (!v.word && v.key == 1) Fail("token 1 is the tick counter, driven by the host");
    return v;
  }

  ScenarioChannel& Channel(const ScenarioVariable& v) {
    for (auto& c : s_.channels) {
      if (c.variable == v)
        Fail("variable " + std::string(v.word ? "word:" : "") + std::to_string(v.key) +
             " is set twice");
    }
    s_.channels.push_back({v, {}});
    return s_.channels.back();
  }

  std::size_t GaugeIndex(const std::string& id) const {
    for (std::size_t i = 0; i < s_.gauges.size(); ++i) {
      if (s_.gauges[i].id == id) return i;
    }
    Fail("no gauge with id \"" + id + "\" (declare it with a gauge statement first)");
  }

  void Statement() {
    const std::string& verb = words_[0];
    if (verb == "panel") {
      Arity(3, 5, "panel WIDTH HEIGHT [background RRGGBB]");
      if (s_.width != 0) Fail("a second panel statement");
      s_.width = Integer(1, "width", 1, kMaxPanel);
      s_.height = Integer(2, "height", 1, kMaxPanel);
      if (words_.size() > 3) {
        if (words_.size() != 5 || words_[3] != "background")
          Fail("usage: panel WIDTH HEIGHT [background RRGGBB]");
        const std::string& c = words_[4];
        unsigned value = 0;
        const auto [end, ec] = std::from_chars(c.data(), c.data() + c.size(), value, 16);
        if (c.size() != 6 || ec != std::errc() || end != c.data() + c.size())
          Fail("background colour must be RRGGBB");
        s_.background = 0xFF000000u | value;
      }
    } else if (verb == "gauge") {
      Arity(7, 9, "gauge ID MODULE GAUGE at X Y [scale S]");
      if (words_[4] != "at") Fail("usage: gauge ID MODULE GAUGE at X Y [scale S]");
      ScenarioGauge g;
      g.id = words_[1];
      for (const auto& other : s_.gauges) {
        if (other.id == g.id) Fail("gauge id \"" + g.id + "\" is used twice");
      }
      g.module = words_[2];
      if (g.module.find_first_of("/\\") != std::string::npos)
        Fail("MODULE is a module name, not a path");
      g.gauge = words_[3];
      g.x = Integer(5, "x", -kMaxPanel, kMaxPanel);
      g.y = Integer(6, "y", -kMaxPanel, kMaxPanel);
      if (words_.size() > 7) {
        if (words_.size() != 9 || words_[7] != "scale")
          Fail("usage: gauge ID MODULE GAUGE at X Y [scale S]");
        g.scale = Number(8, "scale");
        if (g.scale < 0.05 || g.scale > 8) Fail("scale must lie between 0.05 and 8");
      }
      g.line = line_;
      s_.gauges.push_back(std::move(g));
    } else if (verb == "duration") {
      Arity(2, 2, "duration SECONDS");
      s_.duration = Time(1);
      if (s_.duration <= 0) Fail("duration must be positive");
    } else if (verb == "animate") {
      Arity(2, 2, "animate SECONDS");
      s_.animate = Number(1, "interval");
      if (s_.animate < 0 || s_.animate > 3600) Fail("interval must lie between 0 and 3600 seconds");
    } else if (verb == "set") {
      Arity(3, 3, "set VAR VALUE");
      ScenarioChannel& c = Channel(Variable(words_[1]));
      c.points.emplace_back(0.0, Number(2, "value"));
    } else if (verb == "table") {
      Table();
    } else if (verb == "wrap") {
      Arity(3, 3, "wrap VAR PERIOD");
      wraps_.push_back({Variable(words_[1]), Number(2, "period"), line_});
      if (wraps_.back().period <= 0) Fail("period must be positive");
    } else if (verb == "click") {
      Arity(5, 6, "click TIME ID X Y [held]");
      ScenarioClick c;
      c.time = Time(1);
      c.gauge = GaugeIndex(words_[2]);
      c.x = Integer(3, "x", -kMaxPanel, kMaxPanel);
      c.y = Integer(4, "y", -kMaxPanel, kMaxPanel);
      if (words_.size() == 6) {
        if (words_[5] != "held") Fail("usage: click TIME ID X Y [held]");
        c.held = true;
      }
      c.line = line_;
      s_.clicks.push_back(c);
    } else if (verb == "capture") {
      Arity(3, 3, "capture TIME NAME");
      const std::string& name = words_[2];
      if (name.find_first_not_of(
              "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-") !=
          std::string::npos) {
        Fail("capture names use letters, digits, '_' and '-' only");
      }
      for (const auto& c : s_.captures) {
        if (c.name == name) Fail("capture \"" + name + "\" is named twice");
      }
      s_.captures.push_back({Time(1), name});
    } else if (verb == "fail") {
      Arity(4, 4, "fail TIME KEY on|off");
      if (words_[3] != "on" && words_[3] != "off") Fail("usage: fail TIME KEY on|off");
      s_.failures.push_back({Time(1),
                             static_cast<std::uint32_t>(Integer(2, "failure key", 1, 1 << 30)),
                             words_[3] == "on"});
    } else if (verb == "end") {
      Fail("\"end\" without a table");
    } else {
      Fail("unknown statement \"" + verb + "\"");
    }
  }

  void Table() {
    if (words_.size() < 2) Fail("usage: table VAR VAR ...");
    if (words_.size() - 1 > kMaxColumns)
      Fail("a table has at most " + std::to_string(kMaxColumns) + " columns");
    std::vector<std::size_t> columns;
    for (std::size_t i = 1; i < words_.size(); ++i) {
      Channel(Variable(words_[i]));
      columns.push_back(s_.channels.size() - 1);
    }
    const int start = line_;
    double last = -1;
    std::size_t rows = 0;
    while (true) {
      if (!NextLine()) Fail(start, "table has no \"end\"");
      if (words_[0] == "end") {
        if (words_.size() != 1) Fail("usage: end");
        break;
      }
      if (words_.size() != columns.size() + 1) {
        Fail("row has " + std::to_string(words_.size()) + " fields, the table has " +
             std::to_string(columns.size() + 1) + " (time and " + std::to_string(columns.size()) +
             " values)");
      }
      if (++rows > kMaxRows) Fail("a table has at most " + std::to_string(kMaxRows) + " rows");
      const double t = Time(0);
      if (t <= last) Fail("row times must increase");
      last = t;
      for (std::size_t c = 0; c < columns.size(); ++c) {
        s_.channels[columns[c]].points.emplace_back(t, Number(c + 1, "value"));
      }
    }
    if (rows == 0) Fail(start, "table has no rows");
  }

  struct Wrap {
    ScenarioVariable variable;
    double period;
    int line;
  };
  std::vector<Wrap> wraps_;
  std::string_view text_;
  std::size_t pos_ = 0;
  int line_ = 0;
  std::vector<std::string> words_;
  Scenario s_;
};

}  // namespace

namespace {
double Interpolate(const std::vector<std::pair<double, double>>& points, double time) {
  if (points.empty()) return 0.0;
  if (time <= points.front().first) return points.front().second;
  if (time >= points.back().first) return points.back().second;
  const auto it = std::upper_bound(points.begin(), points.end(), time,
                                   [](double t, const auto& p) { return t < p.first; });
  const auto& [t1, v1] = *it;
  const auto& [t0, v0] = *(it - 1);
  return v0 + (v1 - v0) * (time - t0) / (t1 - t0);
}
}  // namespace

double ScenarioChannel::At(double time) const {
  const double v = Interpolate(points, time);
  if (wrap <= 0) return v;
  const double r = std::fmod(v, wrap);
  return r < 0 ? r + wrap : r;
}

Scenario ParseScenario(std::string_view text, const std::string& file) {
  return Parser(text, file).Run();
}

Scenario LoadScenario(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Error(path + ": cannot read the scenario file");
  std::ostringstream text;
  text << in.rdbuf();
  return ParseScenario(text.str(), path);
}

}  // namespace panelhost
