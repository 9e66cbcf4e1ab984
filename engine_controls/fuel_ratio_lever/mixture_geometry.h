// Geometry of the mixture lever "mixture", shared by the module's records and
// the pictures of the rod and the knob, so the two cannot drift apart.
// Plain numbers only: the drawing program is a native 64-bit build.
#pragma once

namespace mixture_geometry {

// Bitmap 4096: the rod, a vertical bar centred on the background.
inline constexpr int kRodImageWidth = 109;
inline constexpr int kRodImageHeight = 105;
inline constexpr int kRodLeft = 41;     // first column of the rod
inline constexpr int kRodRight = 67;    // last column
inline constexpr int kRodTop = 4;       // first row
inline constexpr int kRodBottom = 100;  // last row

// Bitmap 4099: the ball knob, taller than the background.
inline constexpr int kKnobImageSize = 110;
inline constexpr int kKnobLeft = 4;      // the ball's first column
inline constexpr int kKnobRight = 104;   // last column
inline constexpr int kKnobTop = 9;       // first row
inline constexpr int kKnobBottom = 109;  // last row

// The knob's place at value 0 and its travel: it rises 35 pixels per unit of
// the mixture value.
inline constexpr int kKnobX = 0;
inline constexpr int kKnobY = 35;
inline constexpr double kKnobPixelsPerUnit = -35.0;

}  // namespace mixture_geometry
