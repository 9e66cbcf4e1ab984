// Geometry of the starter crank "handle", shared by the module's records and
// the pictures of the housing and the crank arm, so the two cannot drift apart.
// Plain numbers only: the drawing program is a native 64-bit build.
#pragma once

namespace crank_geometry {

// Bitmap 4096: the magneto housing.
inline constexpr int kHousingSize = 355;

// The crank hub on the housing: the needle's pivot on the background.
inline constexpr int kHubX = 177;
inline constexpr int kHubY = 122;

// Bitmap 4099: the crank arm, drawn lying horizontally to the right, with the
// pixel (kArmPivotX, kArmPivotY) on the hub.
inline constexpr int kArmWidth = 116;
inline constexpr int kArmHeight = 42;
inline constexpr int kArmPivotX = 20;
inline constexpr int kArmPivotY = 20;

// One full turn of the arm is 8000 units; a click advances it by 1000.
inline constexpr double kFullTurn = 8000.0;
inline constexpr double kClickStep = 1000.0;

// The arm's calibration points on the background, in ascending value: one
// clockwise turn with uneven spacing, starting and ending at the same spot.
struct CrankMark {
  int x;
  int y;
  double value;
};
inline constexpr int kCrankMarkCount = 5;
inline constexpr CrankMark kCrankMarks[kCrankMarkCount] = {
    {205, 489, 0.0},     // down, a little to the right
    {47, 214, 2000.0},   // down to the left
    {202, 95, 4000.0},   // up to the right
    {358, 214, 6000.0},  // to the right and somewhat down
    {205, 489, 8000.0},  // the same spot as the first: a full turn
};

}  // namespace crank_geometry
