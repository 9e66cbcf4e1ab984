// Plots of a flight log, drawn by gnuplot (its cairo PNG terminal).
//
// Four panels over the sample index: altitude; speeds (TAS, IAS); attitude and
// rates (pitch, bank, roll, turn); engine (prop, hp, thrst). Where the index
// jumps (samples skipped while recording was paused) the lines stop and the
// gap is shaded; a missing value (an overflow mark in the log) also breaks the
// line. gnuplot runs as a separate program: a missing gnuplot, or one that
// fails, is an Error naming the picture that could not be made.
#pragma once

#include <string>
#include <vector>

#include "host/flight_log.h"
#include "host/report.h"

namespace panelhost {

// Writes the four panels, one below the other, into one PNG at `path`
// (replaced only once complete). Throws Error when the log has no rows.
void WriteLogPlot(const FlightLog& log, const std::string& path);

// Writes each panel as its own PNG into `folder` ("log_altitude.png",
// "log_speeds.png", "log_attitude.png", "log_engine.png") and returns them as
// figures for the report: file names relative to `folder`, with captions.
// A log without rows has nothing to plot: nothing is written and the list is
// empty.
std::vector<Figure> WriteLogPlots(const FlightLog& log, const std::string& folder);

}  // namespace panelhost
