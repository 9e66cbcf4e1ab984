// The period needle instruments: a round dial face in black enamel with
// cream luminous paint (bitmap 4096) and a lance needle (bitmap 8192) for the
// altimeter, the tachometer and the airspeed indicator.
//
// Every scale mark is placed from the needle's calibration marks in
// period_instruments/dials.h: a calibration value gets a mark on the
// calibration point itself, and a value between two points gets a mark at the
// bearing interpolated between theirs, the way the needle turns between them.
#include <cmath>
#include <cstdio>
#include <span>

#include "art/art.h"
#include "period_instruments/dials.h"

namespace {

using dials::CalibrationMark;

constexpr double kPi = 3.14159265358979323846;
// Centre of the pivot pixel: the point the needle turns about.
constexpr double kCx = dials::kPivotX + 0.5;
constexpr double kCy = dials::kPivotY + 0.5;

// Radii on the face, in pixels from the pivot.
constexpr double kBezelOuter = 155.0;
constexpr double kBezelInner = 141.0;
constexpr double kFaceRadius = 139.0;
constexpr double kTickOuter = 138.0;
constexpr double kMajorInner = 119.0;
constexpr double kMediumInner = 125.0;
constexpr double kMinorInner = 130.0;
constexpr double kNumeralLimit = 114.0;  // numerals stay inside this circle

struct Rgb {
  int r, g, b;
};
constexpr Rgb kPaint = {240, 233, 212};    // luminous cream: marks, numerals, needle
constexpr Rgb kRedline = {200, 52, 36};    // the tachometer's overspeed band
constexpr Rgb kFaceCentre = {40, 40, 38};  // black enamel, a little lighter in the middle
constexpr Rgb kFaceEdge = {22, 22, 21};

void Set(cairo_t* cr, Rgb c) { art::SetRgb(cr, c.r, c.g, c.b); }

void AddStop(cairo_pattern_t* p, double offset, Rgb c) {
  cairo_pattern_add_color_stop_rgb(p, offset, c.r / 255.0, c.g / 255.0, c.b / 255.0);
}

// Point at `radius` from the pivot, `bearing` degrees clockwise from straight up.
void Polar(double bearing, double radius, double& x, double& y) {
  const double a = bearing * kPi / 180.0;
  x = kCx + radius * std::sin(a);
  y = kCy - radius * std::cos(a);
}

double BearingOf(const CalibrationMark& mark) {
  const double b = std::atan2(mark.x - dials::kPivotX, -(mark.y - dials::kPivotY)) * 180.0 / kPi;
  return b < 0 ? b + 360.0 : b;
}

// The bearing at which the needle shows `value`: linear in value between two
// neighbouring calibration points, turning clockwise from the first to the
// second (a full turn when both lie at the same spot).
double BearingFor(std::span<const CalibrationMark> marks, double value) {
  if (value <= marks.front().value) return BearingOf(marks.front());
  for (std::size_t i = 1; i < marks.size(); ++i) {
    if (value <= marks[i].value) {
      const double from = BearingOf(marks[i - 1]);
      double turn = std::fmod(BearingOf(marks[i]) - from + 360.0, 360.0);
      if (turn == 0.0) turn = 360.0;
      const double t = (value - marks[i - 1].value) / (marks[i].value - marks[i - 1].value);
      return std::fmod(from + t * turn, 360.0);
    }
  }
  return BearingOf(marks.back());
}

// A radial scale mark from `inner` to `outer`.
void Tick(cairo_t* cr, double bearing, double inner, double outer, double width, Rgb colour) {
  double x0, y0, x1, y1;
  Polar(bearing, inner, x0, y0);
  Polar(bearing, outer, x1, y1);
  Set(cr, colour);
  cairo_set_line_width(cr, width);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  cairo_move_to(cr, x0, y0);
  cairo_line_to(cr, x1, y1);
  cairo_stroke(cr);
}

enum class Mark { kMajor, kMedium, kMinor };

void ScaleMark(cairo_t* cr, double bearing, Mark kind) {
  switch (kind) {
    case Mark::kMajor:
      Tick(cr, bearing, kMajorInner, kTickOuter, 3.4, kPaint);
      break;
    case Mark::kMedium:
      Tick(cr, bearing, kMediumInner, kTickOuter, 2.4, kPaint);
      break;
    case Mark::kMinor:
      Tick(cr, bearing, kMinorInner, kTickOuter, 1.5, kPaint);
      break;
  }
}

// A numeral upright at `bearing`, as far out as it fits inside kNumeralLimit.
void Numeral(cairo_t* cr, double bearing, double size, const char* text) {
  cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
  cairo_set_font_size(cr, size);
  cairo_text_extents_t e;
  cairo_text_extents(cr, text, &e);
  const double a = bearing * kPi / 180.0;
  // Reach of the text's box from its centre along the radius.
  const double reach = e.width / 2 * std::fabs(std::sin(a)) + e.height / 2 * std::fabs(std::cos(a));
  double x, y;
  Polar(bearing, kNumeralLimit - reach, x, y);
  Set(cr, kPaint);
  art::TextCentred(cr, "Liberation Sans", size, true, x, y, text);
}

void Legend(cairo_t* cr, double x, double y, double size, const char* text) {
  Set(cr, kPaint);
  art::TextCentred(cr, "Liberation Sans", size, false, x, y, text);
}

// Bezel, face and centre boss, shared by the three dials. The corners stay
// pure black.
void DialBlank(cairo_t* cr) {
  // Outer bezel ring: blackened steel, lit from the upper left.
  cairo_pattern_t* ring = cairo_pattern_create_linear(kCx - 110, kCy - 110, kCx + 110, kCy + 110);
  AddStop(ring, 0.0, {108, 106, 102});
  AddStop(ring, 0.5, {46, 45, 43});
  AddStop(ring, 1.0, {14, 14, 13});
  cairo_arc(cr, kCx, kCy, kBezelOuter, 0, 2 * kPi);
  cairo_set_source(cr, ring);
  cairo_fill(cr);
  cairo_pattern_destroy(ring);

  // Knurled rim.
  for (int i = 0; i < 180; ++i) {
    const double b = i * 2.0;
    const double light = 0.5 + 0.5 * std::cos((b + 45.0) * kPi / 180.0);  // brightest upper left
    const int v = static_cast<int>(20 + 38 * light);
    Tick(cr, b, kBezelOuter - 4.5, kBezelOuter - 0.8, 1.1, {v, v, v - 2});
  }

  // Inner bevel: the light falls the other way on the sloping inner edge.
  cairo_pattern_t* bevel = cairo_pattern_create_linear(kCx - 100, kCy - 100, kCx + 100, kCy + 100);
  AddStop(bevel, 0.0, {16, 16, 15});
  AddStop(bevel, 1.0, {92, 90, 86});
  cairo_arc(cr, kCx, kCy, kBezelInner + 4.0, 0, 2 * kPi);
  cairo_set_source(cr, bevel);
  cairo_fill(cr);
  cairo_pattern_destroy(bevel);

  // Face.
  cairo_pattern_t* face = cairo_pattern_create_radial(kCx, kCy, 0, kCx, kCy, kBezelInner);
  AddStop(face, 0.0, kFaceCentre);
  AddStop(face, 1.0, kFaceEdge);
  cairo_arc(cr, kCx, kCy, kBezelInner, 0, 2 * kPi);
  cairo_set_source(cr, face);
  cairo_fill(cr);
  cairo_pattern_destroy(face);

  // Shadow of the bezel on the face.
  cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
  cairo_set_line_width(cr, 2.0);
  cairo_arc(cr, kCx, kCy, kBezelInner - 1.0, 0, 2 * kPi);
  cairo_stroke(cr);
}

// The boss the needle turns on, and the glass's reflection over the face.
void DialFinish(cairo_t* cr) {
  cairo_pattern_t* boss = cairo_pattern_create_radial(kCx - 4, kCy - 4, 1, kCx, kCy, 15);
  AddStop(boss, 0.0, {96, 94, 90});
  AddStop(boss, 1.0, {30, 30, 29});
  cairo_arc(cr, kCx, kCy, 15, 0, 2 * kPi);
  cairo_set_source(cr, boss);
  cairo_fill(cr);
  cairo_pattern_destroy(boss);

  // A faint crescent of light on the upper left of the glass.
  cairo_save(cr);
  cairo_arc(cr, kCx, kCy, kFaceRadius, 0, 2 * kPi);
  cairo_clip(cr);
  cairo_new_path(cr);
  cairo_arc(cr, kCx, kCy, kFaceRadius - 4, 200 * kPi / 180, 290 * kPi / 180);
  cairo_arc_negative(cr, kCx + 18, kCy + 18, kFaceRadius - 4, 283 * kPi / 180, 207 * kPi / 180);
  cairo_close_path(cr);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.07);
  cairo_fill(cr);
  cairo_restore(cr);
}

// Altimeter: 0 to 6 thousand metres over 270 degrees, the gap at the top.
void DrawAltimeterFace(const art::Output& out) {
  art::Picture face(dials::kFaceWidth, dials::kFaceHeight);
  cairo_t* cr = face.cr();
  DialBlank(cr);
  const auto marks = std::span<const CalibrationMark>(dials::kAltimeterMarks);
  for (int metres = 0; metres <= 6000; metres += 100) {
    const Mark kind = metres % 1000 == 0  ? Mark::kMajor
                      : metres % 500 == 0 ? Mark::kMedium
                                          : Mark::kMinor;
    ScaleMark(cr, BearingFor(marks, metres), kind);
  }
  for (int km = 0; km <= 6; ++km) {
    char text[4];
    std::snprintf(text, sizeof text, "%d", km);
    Numeral(cr, BearingFor(marks, km * 1000.0), 32, text);
  }
  Legend(cr, kCx, kCy - 76, 21, "Höhe");
  Legend(cr, kCx, kCy - 50, 17, "km");
  DialFinish(cr);
  out.Write(dials::kFaceBitmap, face, art::Format::kPalette8);
}

// Tachometer: numerals are hundreds of revolutions per minute, 100 per cent at
// 13 and 115 per cent at 14; the band from 13 to 14 is red.
double TachometerPercent(double numeral) {
  constexpr double rated = dials::kTachometerRatedNumeral;
  return numeral <= rated ? numeral * 100.0 / rated : 100.0 + (numeral - rated) * 15.0;
}

void DrawTachometerFace(const art::Output& out) {
  art::Picture face(dials::kFaceWidth, dials::kFaceHeight);
  cairo_t* cr = face.cr();
  DialBlank(cr);
  const auto marks = std::span<const CalibrationMark>(dials::kTachometerMarks);

  const double redFrom = BearingFor(marks, TachometerPercent(dials::kTachometerRatedNumeral));
  const double redTo = BearingFor(marks, TachometerPercent(dials::kTachometerRatedNumeral + 1));
  Set(cr, kRedline);
  cairo_new_path(cr);
  cairo_arc(cr, kCx, kCy, kTickOuter, (redFrom - 90) * kPi / 180, (redTo - 90) * kPi / 180);
  cairo_arc_negative(cr, kCx, kCy, kMediumInner, (redTo - 90) * kPi / 180,
                     (redFrom - 90) * kPi / 180);
  cairo_close_path(cr);
  cairo_fill(cr);

  for (int half = 0; half <= 28; ++half) {
    const double numeral = half / 2.0;
    const Mark kind = half % 4 == 0 ? Mark::kMajor : half % 2 == 0 ? Mark::kMedium : Mark::kMinor;
    // The rated and the top mark are calibration points: full length.
    const bool point = half == 2 * dials::kTachometerRatedNumeral;
    ScaleMark(cr, BearingFor(marks, TachometerPercent(numeral)), point ? Mark::kMajor : kind);
  }
  for (int numeral = 0; numeral <= 14; numeral += 2) {
    char text[4];
    std::snprintf(text, sizeof text, "%d", numeral);
    Numeral(cr, BearingFor(marks, TachometerPercent(numeral)), 27, text);
  }
  Legend(cr, kCx, kCy + 50, 20, "U/min");
  Legend(cr, kCx, kCy + 72, 15, "×100");
  DialFinish(cr);
  out.Write(dials::kFaceBitmap, face, art::Format::kPalette8);
}

// Airspeed indicator: 0 just right of the bottom, then 40 to 200 clockwise
// around the dial; the gap at the lower right carries the unit.
void DrawAirspeedFace(const art::Output& out) {
  art::Picture face(dials::kFaceWidth, dials::kFaceHeight);
  cairo_t* cr = face.cr();
  DialBlank(cr);
  const auto marks = std::span<const CalibrationMark>(dials::kAirspeedMarks);
  for (int kmh = 0; kmh <= 200; kmh += 10) {
    const bool numbered = kmh == 0 || (kmh >= 40 && kmh % 20 == 0);
    ScaleMark(cr, BearingFor(marks, kmh), numbered ? Mark::kMajor : Mark::kMinor);
  }
  for (int kmh = 0; kmh <= 200; kmh += kmh == 0 ? 40 : 20) {
    char text[4];
    std::snprintf(text, sizeof text, "%d", kmh);
    Numeral(cr, BearingFor(marks, kmh), 21, text);
  }
  double x, y;
  Polar(153, 62, x, y);
  Legend(cr, x, y, 19, "km/h");
  Legend(cr, kCx, kCy - 52, 17, "Fahrt");
  DialFinish(cr);
  out.Write(dials::kFaceBitmap, face, art::Format::kPalette8);
}

// The needle, lying horizontally and pointing right: a counterweighted tail, a
// steel lance filled with luminous paint, and the hub on the pivot pixel.
void DrawNeedle(const art::Output& out, const dials::NeedleShape& shape) {
  art::Picture needle(shape.width, shape.height);
  cairo_t* cr = needle.cr();
  const double cx = shape.pivotX + 0.5;
  const double cy = shape.pivotY + 0.5;
  const double tip = shape.width;  // the tip reaches the right edge
  const double shoulder = tip - 22.0;

  // Tail with its counterweight.
  const Rgb steel = {78, 77, 74};
  Set(cr, steel);
  cairo_rectangle(cr, 6.0, cy - 2.0, cx - 6.0, 4.0);
  cairo_fill(cr);
  cairo_arc(cr, 6.5, cy, 4.5, 0, 2 * kPi);
  cairo_fill(cr);

  // Lance: steel frame, then the paint inside it.
  Set(cr, steel);
  cairo_move_to(cr, cx, cy - 4.6);
  cairo_line_to(cr, shoulder, cy - 4.0);
  cairo_line_to(cr, tip, cy);
  cairo_line_to(cr, shoulder, cy + 4.0);
  cairo_line_to(cr, cx, cy + 4.6);
  cairo_close_path(cr);
  cairo_fill(cr);
  Set(cr, kPaint);
  cairo_move_to(cr, cx + 8.0, cy - 3.3);
  cairo_line_to(cr, shoulder, cy - 2.8);
  cairo_line_to(cr, tip - 2.5, cy);
  cairo_line_to(cr, shoulder, cy + 2.8);
  cairo_line_to(cr, cx + 8.0, cy + 3.3);
  cairo_close_path(cr);
  cairo_fill(cr);

  // Hub: a domed steel cap with a rivet.
  cairo_pattern_t* hub = cairo_pattern_create_radial(cx - 2.5, cy - 2.5, 0.5, cx, cy, 8.5);
  AddStop(hub, 0.0, {150, 148, 142});
  AddStop(hub, 1.0, {44, 44, 42});
  cairo_arc(cr, cx, cy, 8.5, 0, 2 * kPi);
  cairo_set_source(cr, hub);
  cairo_fill(cr);
  cairo_pattern_destroy(hub);
  Set(cr, {190, 186, 176});
  cairo_arc(cr, cx - 0.5, cy - 0.5, 2.0, 0, 2 * kPi);
  cairo_fill(cr);

  out.Write(dials::kNeedleBitmap, needle, art::Format::kPalette8);
}

void DrawAltimeter(const art::Output& out) {
  DrawAltimeterFace(out);
  DrawNeedle(out, dials::kShortNeedle);
}

void DrawTachometer(const art::Output& out) {
  DrawTachometerFace(out);
  DrawNeedle(out, dials::kLongNeedle);
}

void DrawAirspeed(const art::Output& out) {
  DrawAirspeedFace(out);
  DrawNeedle(out, dials::kShortNeedle);
}

}  // namespace

ART_MODULE("vintage_altimeter", DrawAltimeter);
ART_MODULE("vintage_tachometer", DrawTachometer);
ART_MODULE("vintage_airspeed", DrawAirspeed);
