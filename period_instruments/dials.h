// Geometry of the three period needle instruments, shared by the modules'
// records and by the pictures the art program draws for them, so that a dial's
// scale marks and the needle's calibration table cannot drift apart.
//
// Plain C++ on purpose: the art program is a native 64-bit build and must not
// see the gauge framework.
#pragma once

#include <cstdint>

namespace dials {

// Bitmap resource ids of every period instrument.
inline constexpr std::uint32_t kFaceBitmap = 4096;
inline constexpr std::uint32_t kNeedleBitmap = 8192;

// The dial face (bitmap 4096) and the needle's pivot on it, in face pixels.
inline constexpr int kFaceWidth = 311;
inline constexpr int kFaceHeight = 321;
inline constexpr int kPivotX = 155;
inline constexpr int kPivotY = 160;

// A needle picture (bitmap 8192): the needle lies horizontally, pointing right,
// with its hub centred on the pivot pixel and its tip on the right edge.
struct NeedleShape {
  int width;
  int height;
  int pivotX;  // pixel of the picture that sits on the dial's pivot
  int pivotY;
  int length;  // pivot pixel to tip pixel
};

// Altimeter and airspeed indicator share one needle picture.
inline constexpr NeedleShape kShortNeedle = {
    .width = 135, .height = 22, .pivotX = 24, .pivotY = 10, .length = 110};
inline constexpr NeedleShape kLongNeedle = {
    .width = 155, .height = 22, .pivotX = 29, .pivotY = 11, .length = 125};
static_assert(kShortNeedle.pivotX + kShortNeedle.length == kShortNeedle.width - 1);
static_assert(kLongNeedle.pivotX + kLongNeedle.length == kLongNeedle.width - 1);

// One calibration point: the face pixel of a scale mark and the needle value
// that points at it. Values rise clockwise; every point lies 123 to 135 pixels
// from the pivot, beyond the needle's tip.
struct CalibrationMark {
  int x;
  int y;
  double value;
};

// Altimeter, metres. Bearings from the pivot, clockwise from straight up, in
// the right-hand comments.
inline constexpr CalibrationMark kAltimeterMarks[] = {
    // x,   y, value
    {248, 67, 0},      // 45
    {154, 289, 3000},  // 180
    {62, 67, 6000},    // 315
};

// Tachometer, per cent of rated engine speed (the dial reads hundreds of
// revolutions per minute: 100 per cent at 13, 115 per cent at 14).
inline constexpr CalibrationMark kTachometerMarks[] = {
    // x,   y, value
    {155, 29, 0},    // 0
    {32, 111, 100},  // 292
    {61, 69, 115},   // 314
};
inline constexpr int kTachometerRatedNumeral = 13;  // the numeral at 100 per cent

// Airspeed indicator, km/h. 180 km/h has no point of its own.
inline constexpr CalibrationMark kAirspeedMarks[] = {
    // x,   y, value
    {160, 283, 0},    // 178
    {128, 284, 40},   // 192
    {61, 252, 60},    // 226
    {29, 190, 80},    // 257
    {36, 107, 100},   // 294
    {82, 50, 120},    // 326
    {173, 26, 140},   // 8
    {250, 74, 160},   // 48
    {255, 239, 200},  // 128
};

}  // namespace dials
