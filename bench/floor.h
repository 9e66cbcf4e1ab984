// The formatting floor of a text gauge's update: the texts its readouts show,
// produced by snprintf alone from the values they show, with none of the
// host's or the module's work around it.
#pragma once

#include <string>
#include <vector>

#include "host/host.h"

namespace bench {

struct FloorItem {
  enum Kind { kInteger, kReal, kPosition };
  const char* format = "";
  Kind kind = kInteger;
  int whole = 0;        // kInteger; the degrees of kPosition
  double real = 0;      // kReal; the minutes of kPosition
  char hemisphere = 0;  // kPosition
  std::string text;     // what the gauge shows
};

// The floor of a gauge's text elements, in update order, with the values read
// back from the texts the gauge shows now. Empty for a gauge without texts or
// one this table does not know. Throws when snprintf of a value does not
// give the gauge's text back (the table has drifted from the module).
std::vector<FloorItem> FloorOf(const panelhost::Gauge& gauge);

// Formats one item into `buffer`.
int Format(const FloorItem& item, char* buffer, std::size_t size);

}  // namespace bench
