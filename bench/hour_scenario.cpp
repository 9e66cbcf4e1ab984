#include "bench/hour_scenario.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace bench {

namespace {

std::string Number(double v) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", v);
  return text;
}

std::string VariableName(const panelhost::ScenarioVariable& v) {
  return (v.word ? "word:" : "") + std::to_string(v.key);
}

}  // namespace

std::string LoopedScenarioText(const panelhost::Scenario& flight, double seconds,
                               const std::string& recorderId) {
  std::string out = "# " + flight.file + " looped for " + Number(seconds) + " s\n";
  char background[16];
  std::snprintf(background, sizeof background, "%06X", flight.background & 0xFFFFFFu);
  out += "panel " + std::to_string(flight.width) + " " + std::to_string(flight.height) +
         " background " + background + "\n";
  for (const auto& g : flight.gauges) {
    out += "gauge " + g.id + " " + g.module + " " + g.gauge + " at " + std::to_string(g.x) + " " +
           std::to_string(g.y) + " scale " + Number(g.scale) + "\n";
  }
  out += "duration " + Number(seconds) + "\nanimate 0\n";

  // Each variable's course, one table per variable, repeated with the
  // flight's period; a constant stays a constant.
  const double period = flight.duration;
  const int loops = static_cast<int>(std::ceil(seconds / period));
  for (const auto& c : flight.channels) {
    if (c.points.size() == 1) {
      out += "set " + VariableName(c.variable) + " " + Number(c.points.front().second) + "\n";
      continue;
    }
    out += "table " + VariableName(c.variable) + "\n";
    double last = -1;
    for (int k = 0; k < loops; ++k) {
      for (const auto& [t, v] : c.points) {
        const double at = t + k * period;
        if (at <= last || at > period * loops) continue;  // a loop's end meets the next start
        out += Number(at) + " " + Number(v) + "\n";
        last = at;
      }
    }
    out += "end\n";
  }

  out += "click 2 " + recorderId + " 55 9\n";
  for (const auto& c : flight.clicks) {
    const std::string& id = flight.gauges[c.gauge].id;
    if (id == recorderId) continue;
    out += "click " + Number(c.time) + " " + id + " " + std::to_string(c.x) + " " +
           std::to_string(c.y) + (c.held ? " held" : "") + "\n";
  }
  out += "click " + Number(seconds - 2) + " " + recorderId + " 55 9\n";
  for (const auto& f : flight.failures) {
    out +=
        "fail " + Number(f.time) + " " + std::to_string(f.key) + (f.active ? " on" : " off") + "\n";
  }
  return out;
}

}  // namespace bench
