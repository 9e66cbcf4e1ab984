// Scenarios: a panel of gauges and what happens to it over time, read from a
// small line-based text format.
//
//   # comment (also after a statement)
//   panel WIDTH HEIGHT [background RRGGBB]
//   gauge ID MODULE GAUGE at X Y [scale S]     a gauge of a module, placed on the panel
//   duration SECONDS                           how long the scenario runs
//   animate SECONDS                            time between frames of the animation (0: none)
//   set VAR VALUE                              a variable held constant from the start
//   table VAR VAR ...                          columns of a table; rows follow:
//   TIME VALUE VALUE ...                         values at that time, linear in between,
//   end                                          held flat beyond the first and last row
//   wrap VAR PERIOD                            VAR's values taken modulo PERIOD after
//                                                interpolation (a heading that runs on
//                                                past 360 in the table passes 0 smoothly)
//   click TIME ID X Y [held]                   a mouse event at gauge pixel (X, Y)
//   capture TIME NAME                          a snapshot of the panel as NAME.png
//   fail TIME KEY on|off                       a host failure switched on or off
//
// VAR is a simulator variable's token (e.g. 61) or a HostDataBlock word as
// word:BYTE_OFFSET (e.g. word:700). Token 1 is the tick counter the host
// drives itself (18 ticks per second); a scenario may not set it. MODULE is
// a module name, found in the module folder with the platform's extension.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/host.h"

namespace panelhost {

struct ScenarioGauge {
  std::string id;
  std::string module;
  std::string gauge;
  int x = 0;
  int y = 0;
  double scale = 1.0;
  int line = 0;
};

struct ScenarioVariable {
  bool word = false;      // a HostDataBlock word rather than a simulator variable
  std::uint32_t key = 0;  // token, or byte offset of the word
  bool operator==(const ScenarioVariable&) const = default;
};

// One variable's course: (time, value) points, linear in between.
struct ScenarioChannel {
  ScenarioVariable variable;
  std::vector<std::pair<double, double>> points;
  double wrap = 0;  // > 0: values are taken modulo this, into [0, wrap)
  double At(double time) const;
};

struct ScenarioClick {
  double time = 0;
  std::size_t gauge = 0;  // index into Scenario::gauges
  int x = 0;
  int y = 0;
  bool held = false;
  int line = 0;
};

struct ScenarioCapture {
  double time = 0;
  std::string name;
};

struct ScenarioFailure {
  double time = 0;
  std::uint32_t key = 0;
  bool active = false;
};

struct Scenario {
  std::string file;
  int width = 0;
  int height = 0;
  std::uint32_t background = 0xFF202020;
  double duration = 0;
  double animate = 0;
  std::vector<ScenarioGauge> gauges;
  std::vector<ScenarioChannel> channels;
  std::vector<ScenarioClick> clicks;      // in time order
  std::vector<ScenarioCapture> captures;  // in time order
  std::vector<ScenarioFailure> failures;  // in time order
};

// Reads a scenario; a malformed one throws Error "FILE:LINE: problem".
Scenario ParseScenario(std::string_view text, const std::string& file);
Scenario LoadScenario(const std::string& path);

}  // namespace panelhost
