// Geometry of the magneto selector switch "mag", shared by the module's records
// and the pictures that draw its face and lever, so the two cannot drift apart.
// Plain numbers only: the drawing program is a native 64-bit build.
#pragma once

namespace selector_geometry {

// Bitmap 4096: the round switch face.
inline constexpr int kFaceSize = 355;

// Bitmaps 8192..8195: one lever frame per switch position 0, M1, M2, 2, placed
// on the face at (kLeverX, kLeverY).
inline constexpr int kLeverX = 2;
inline constexpr int kLeverY = 77;
inline constexpr int kLeverWidth = 355;
inline constexpr int kLeverHeight = 278;
inline constexpr int kLeverFrames = 4;

// The lever hub on the face, above the face's centre; the lever's ball knob
// is drawn on it in every frame.
inline constexpr int kHubX = 177;
inline constexpr int kHubY = 140;

// Where the lever points in each frame and where its face mark stands, in
// degrees clockwise from straight up, seen from the hub: 0 low to the left,
// M1 down and a little left, M2 down and a little right, 2 low to the right.
inline constexpr double kPositionBearing[kLeverFrames] = {238.0, 196.0, 164.0, 122.0};
inline constexpr const char* kPositionMark[kLeverFrames] = {"0", "M1", "M2", "2"};

}  // namespace selector_geometry
