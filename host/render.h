// Drawing gauges to pixels, and the host's rules for what the records leave open.
#pragma once

#include <string>

#include "host/host.h"

namespace panelhost {

// Draws the gauge as its elements stand now, at the root background's size.
// Background is the colour behind transparent pixels (0xAARRGGBB).
Image RenderGauge(const Gauge& gauge, std::uint32_t background = 0xFF000000);

// Writes a PNG; throws Error naming the file when it cannot.
void WritePng(const Image& image, const std::string& path);

// The needle's direction for `value`, in degrees clockwise from straight up,
// interpolated through the calibration points as seen from the pivot (x, y):
// from one point to the next the needle turns clockwise, and a pair of points
// at the same spot means a full turn. Values beyond the table stay at its ends.
double NeedleBearing(const gauge::NeedleCalibrationPoint* points, int count, int pivotX, int pivotY,
                     double value);

// The 0-based bitmap an icon shows for `value`, or -1 when it shows none.
int IconIndex(const gauge::IconElement700& icon, double value);

}  // namespace panelhost
