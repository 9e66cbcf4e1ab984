// Pictures of the engine controls: the magneto selector switch, the starter
// crank and the mixture lever. Positions, sizes and pivots come from each
// module's geometry header, the same numbers its records use.
#include <cmath>
#include <cstdio>

#include "art/art.h"
#include "engine_controls/fuel_ratio_lever/mixture_geometry.h"
#include "engine_controls/ignition_selector/selector_geometry.h"
#include "engine_controls/starter_crank/crank_geometry.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

double Radians(double degrees) { return degrees * kPi / 180.0; }

// The point at `distance` from (x, y) in the direction `bearing`, degrees
// clockwise from straight up.
void Toward(double x, double y, double bearing, double distance, double& outX, double& outY) {
  outX = x + std::sin(Radians(bearing)) * distance;
  outY = y - std::cos(Radians(bearing)) * distance;
}

void AddStop(cairo_pattern_t* p, double offset, int r, int g, int b) {
  cairo_pattern_add_color_stop_rgb(p, offset, r / 255.0, g / 255.0, b / 255.0);
}

// A shaded sphere lit from the upper left.
void Ball(cairo_t* cr, double cx, double cy, double radius, int r, int g, int b) {
  cairo_pattern_t* p = cairo_pattern_create_radial(cx - radius * 0.35, cy - radius * 0.4,
                                                   radius * 0.08, cx, cy, radius);
  AddStop(p, 0.0, 255, 250, 240);
  AddStop(p, 0.18, (r + 255) / 2, (g + 255) / 2, (b + 255) / 2);
  AddStop(p, 0.55, r, g, b);
  AddStop(p, 1.0, r / 4 + 2, g / 4 + 2, b / 4 + 2);
  cairo_set_source(cr, p);
  cairo_new_path(cr);
  cairo_arc(cr, cx, cy, radius, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
}

// A slotted screw head.
void Screw(cairo_t* cr, double cx, double cy, double radius, double slotBearing) {
  Ball(cr, cx, cy, radius, 150, 146, 138);
  double x1, y1, x2, y2;
  Toward(cx, cy, slotBearing, radius * 0.8, x1, y1);
  Toward(cx, cy, slotBearing + 180, radius * 0.8, x2, y2);
  art::SetRgb(cr, 40, 38, 36);
  cairo_set_line_width(cr, radius * 0.28);
  cairo_move_to(cr, x1, y1);
  cairo_line_to(cr, x2, y2);
  cairo_stroke(cr);
}

// A ring shaded like a turned bevel: light at the upper left, dark below.
void Bevel(cairo_t* cr, double cx, double cy, double radius, double width, int light, int dark) {
  cairo_pattern_t* p =
      cairo_pattern_create_linear(cx - radius, cy - radius, cx + radius, cy + radius);
  AddStop(p, 0.0, light, light, light);
  AddStop(p, 1.0, dark, dark, dark);
  cairo_set_source(cr, p);
  cairo_set_line_width(cr, width);
  cairo_new_path(cr);
  cairo_arc(cr, cx, cy, radius, 0, 2 * kPi);
  cairo_stroke(cr);
  cairo_pattern_destroy(p);
}

// ---- magneto selector switch ------------------------------------------------

void DrawSelectorFace(const art::Output& out) {
  namespace geo = selector_geometry;
  art::Picture pic(geo::kFaceSize, geo::kFaceSize);
  cairo_t* cr = pic.cr();
  const double c = geo::kFaceSize / 2.0;

  // Plate with a turned rim.
  cairo_pattern_t* plate = cairo_pattern_create_radial(c - 40, c - 50, 10, c, c, c);
  AddStop(plate, 0.0, 58, 58, 60);
  AddStop(plate, 1.0, 24, 24, 26);
  cairo_set_source(cr, plate);
  cairo_arc(cr, c, c, c - 3, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_pattern_destroy(plate);
  Bevel(cr, c, c, c - 9, 12, 150, 40);
  Bevel(cr, c, c, c - 17, 3, 30, 110);

  // Six screws in the rim.
  for (int i = 0; i < 6; ++i) {
    double x, y;
    Toward(c, c, 30 + 60 * i, c - 9, x, y);
    Screw(cr, x, y, 7, 25 + 47 * i);
  }

  art::SetRgb(cr, 214, 208, 190);
  art::TextCentred(cr, "Liberation Sans", 19, true, c, 52, "MAGNETOS");

  // Hub socket under the lever's ball.
  Bevel(cr, geo::kHubX, geo::kHubY, 34, 6, 30, 140);
  art::SetRgb(cr, 14, 14, 15);
  cairo_new_path(cr);
  cairo_arc(cr, geo::kHubX, geo::kHubY, 31, 0, 2 * kPi);
  cairo_fill(cr);

  // Marks around the lower half of the hub, with ticks toward them.
  for (int i = 0; i < geo::kLeverFrames; ++i) {
    const double bearing = geo::kPositionBearing[i];
    double x1, y1, x2, y2, tx, ty;
    Toward(geo::kHubX, geo::kHubY, bearing, 82, x1, y1);
    Toward(geo::kHubX, geo::kHubY, bearing, 98, x2, y2);
    Toward(geo::kHubX, geo::kHubY, bearing, 122, tx, ty);
    art::SetRgb(cr, 214, 208, 190);
    cairo_set_line_width(cr, 4);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_move_to(cr, x1, y1);
    cairo_line_to(cr, x2, y2);
    cairo_stroke(cr);
    art::TextCentred(cr, "Liberation Sans", 26, true, tx, ty, geo::kPositionMark[i]);
  }
  // The arc the lever sweeps.
  art::SetRgb(cr, 120, 116, 106);
  cairo_set_line_width(cr, 2);
  cairo_new_path(cr);
  cairo_arc(cr, geo::kHubX, geo::kHubY, 76, Radians(geo::kPositionBearing[3] - 90),
            Radians(geo::kPositionBearing[0] - 90));
  cairo_stroke(cr);

  out.Write(4096, pic, art::Format::kPalette8);
}

void DrawSelectorLevers(const art::Output& out) {
  namespace geo = selector_geometry;
  // The hub in the lever frame's own pixels.
  const double hx = geo::kHubX - geo::kLeverX;
  const double hy = geo::kHubY - geo::kLeverY;
  for (int i = 0; i < geo::kLeverFrames; ++i) {
    art::Picture pic(geo::kLeverWidth, geo::kLeverHeight);
    cairo_t* cr = pic.cr();
    cairo_save(cr);
    cairo_translate(cr, hx, hy);
    cairo_rotate(cr, Radians(geo::kPositionBearing[i] - 90));
    // Shadow, then the tapered pointer blade along +x, ending in a point.
    for (int pass = 0; pass < 2; ++pass) {
      const double off = pass == 0 ? 4.0 : 0.0;
      cairo_move_to(cr, 0 + off, -13 + off);
      cairo_line_to(cr, 78 + off, -5 + off);
      cairo_line_to(cr, 94 + off, 0 + off);
      cairo_line_to(cr, 78 + off, 5 + off);
      cairo_line_to(cr, 0 + off, 13 + off);
      cairo_close_path(cr);
      if (pass == 0) {
        art::SetRgb(cr, 8, 8, 8);
      } else {
        cairo_pattern_t* p = cairo_pattern_create_linear(0, -13, 0, 13);
        AddStop(p, 0.0, 236, 232, 222);
        AddStop(p, 0.45, 176, 170, 160);
        AddStop(p, 1.0, 70, 66, 60);
        cairo_set_source(cr, p);
        cairo_fill_preserve(cr);
        cairo_pattern_destroy(p);
        art::SetRgb(cr, 40, 38, 34);
        cairo_set_line_width(cr, 1.2);
        cairo_stroke_preserve(cr);
        cairo_new_path(cr);
        // A white index line on the blade.
        art::SetRgb(cr, 250, 250, 244);
        cairo_set_line_width(cr, 2);
        cairo_move_to(cr, 34, 0);
        cairo_line_to(cr, 86, 0);
        cairo_stroke(cr);
        continue;
      }
      cairo_fill(cr);
    }
    cairo_restore(cr);
    // The ball knob on the hub.
    Ball(pic.cr(), hx, hy, 27, 40, 40, 44);
    out.Write(static_cast<std::uint32_t>(8192 + i), pic, art::Format::kPalette8);
  }
}

void DrawSelector(const art::Output& out) {
  DrawSelectorFace(out);
  DrawSelectorLevers(out);
}

// ---- starter crank ---------------------------------------------------------

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
  cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
  cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
  cairo_close_path(cr);
}

void DrawCrankHousing(const art::Output& out) {
  namespace geo = crank_geometry;
  art::Picture pic(geo::kHousingSize, geo::kHousingSize);
  cairo_t* cr = pic.cr();
  const double c = geo::kHousingSize / 2.0;

  // The housing stands a little tilted on the face.
  cairo_save(cr);
  cairo_translate(cr, c, 188);
  cairo_rotate(cr, Radians(-6));
  // Lugs with their screws, under the body.
  const double lugs[4][2] = {{-118, -128}, {118, -128}, {-118, 128}, {118, 128}};
  for (const auto& lug : lugs) {
    art::SetRgb(cr, 46, 48, 44);
    cairo_arc(cr, lug[0], lug[1], 24, 0, 2 * kPi);
    cairo_fill(cr);
    Bevel(cr, lug[0], lug[1], 23, 2, 110, 20);
    Screw(cr, lug[0], lug[1], 9, 40 + lug[0] * 0.2);
  }
  cairo_pattern_t* body = cairo_pattern_create_linear(-110, -150, 110, 150);
  AddStop(body, 0.0, 74, 80, 70);
  AddStop(body, 0.5, 46, 50, 44);
  AddStop(body, 1.0, 26, 28, 25);
  cairo_set_source(cr, body);
  RoundedRect(cr, -112, -152, 224, 304, 46);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(body);
  art::SetRgb(cr, 118, 124, 110);
  cairo_set_line_width(cr, 2.5);
  cairo_stroke(cr);
  art::SetRgb(cr, 20, 22, 19);
  cairo_set_line_width(cr, 1.5);
  RoundedRect(cr, -104, -144, 208, 288, 40);
  cairo_stroke(cr);
  cairo_restore(cr);

  // Hub boss at the pivot.
  Ball(cr, geo::kHubX, geo::kHubY, 30, 118, 112, 100);
  Bevel(cr, geo::kHubX, geo::kHubY, 30, 3, 200, 40);
  Bevel(cr, geo::kHubX, geo::kHubY, 18, 2, 40, 190);

  // Curved arrow above the hub: the turning sense, clockwise.
  art::SetRgb(cr, 226, 216, 180);
  cairo_set_line_width(cr, 3.5);
  const double arrowRadius = 46;
  cairo_new_path(cr);
  cairo_arc(cr, geo::kHubX, geo::kHubY, arrowRadius, Radians(-150), Radians(-35));
  cairo_stroke(cr);
  double tipX, tipY, b1x, b1y, b2x, b2y;
  Toward(geo::kHubX, geo::kHubY, 60, arrowRadius, tipX, tipY);
  Toward(geo::kHubX, geo::kHubY, 44, arrowRadius - 9, b1x, b1y);
  Toward(geo::kHubX, geo::kHubY, 44, arrowRadius + 9, b2x, b2y);
  cairo_move_to(cr, tipX + 4, tipY + 6);
  cairo_line_to(cr, b1x, b1y);
  cairo_line_to(cr, b2x, b2y);
  cairo_close_path(cr);
  cairo_fill(cr);
  art::TextCentred(cr, "Liberation Sans", 13, true, geo::kHubX - 4, 56, "TURN TO START");

  // Maker's plate below the hub.
  const double px = 108, py = 186, pw = 140, ph = 92;
  cairo_pattern_t* brass = cairo_pattern_create_linear(px, py, px + pw, py + ph);
  AddStop(brass, 0.0, 214, 182, 104);
  AddStop(brass, 1.0, 150, 118, 52);
  cairo_set_source(cr, brass);
  RoundedRect(cr, px, py, pw, ph, 6);
  cairo_fill(cr);
  art::SetRgb(cr, 84, 62, 24);
  cairo_set_line_width(cr, 1.5);
  RoundedRect(cr, px + 5, py + 5, pw - 10, ph - 10, 4);
  cairo_stroke(cr);
  art::SetRgb(cr, 52, 36, 12);
  art::TextCentred(cr, "Liberation Serif", 13, true, px + pw / 2, py + 22, "HARLOW & VANE");
  art::TextCentred(cr, "Liberation Sans", 10, true, px + pw / 2, py + 40, "STARTING MAGNETO");
  art::TextCentred(cr, "Liberation Sans", 10, false, px + pw / 2, py + 56, "TYPE HS 4");
  art::TextCentred(cr, "Liberation Mono", 10, false, px + pw / 2, py + 72, "No. 40517");
  Screw(cr, px + 10, py + ph / 2, 3.5, 20);
  Screw(cr, px + pw - 10, py + ph / 2, 3.5, 70);

  out.Write(4096, pic, art::Format::kPalette8);
}

void DrawCrankArm(const art::Output& out) {
  namespace geo = crank_geometry;
  art::Picture pic(geo::kArmWidth, geo::kArmHeight);
  cairo_t* cr = pic.cr();
  const double px = geo::kArmPivotX + 0.5;
  const double py = geo::kArmPivotY + 0.5;
  const double knobX = geo::kArmWidth - 20.0;
  // The rod, shaded round.
  cairo_pattern_t* rod = cairo_pattern_create_linear(0, py - 5, 0, py + 5);
  AddStop(rod, 0.0, 236, 234, 226);
  AddStop(rod, 0.5, 160, 156, 146);
  AddStop(rod, 1.0, 62, 60, 56);
  cairo_set_source(cr, rod);
  cairo_rectangle(cr, px, py - 5, knobX - px, 10);
  cairo_fill(cr);
  cairo_pattern_destroy(rod);
  // The boss that sits on the hub, then the ball knob.
  Ball(cr, px, py, 15, 130, 126, 116);
  Bevel(cr, px, py, 6, 2, 40, 180);
  Ball(cr, knobX, py, 16, 70, 30, 20);
  out.Write(4099, pic, art::Format::kPalette8);
}

void DrawCrank(const art::Output& out) {
  DrawCrankHousing(out);
  DrawCrankArm(out);
}

// ---- mixture lever -----------------------------------------------------------

void DrawMixtureRod(const art::Output& out) {
  namespace geo = mixture_geometry;
  art::Picture pic(geo::kRodImageWidth, geo::kRodImageHeight);
  cairo_t* cr = pic.cr();
  const double left = geo::kRodLeft;
  const double right = geo::kRodRight + 1.0;
  const double top = geo::kRodTop;
  const double bottom = geo::kRodBottom + 1.0;
  // Polished across, copper at both edges.
  cairo_pattern_t* p = cairo_pattern_create_linear(left, 0, right, 0);
  AddStop(p, 0.0, 150, 82, 40);
  AddStop(p, 0.12, 200, 118, 64);
  AddStop(p, 0.3, 214, 214, 210);
  AddStop(p, 0.42, 250, 250, 248);
  AddStop(p, 0.7, 150, 150, 146);
  AddStop(p, 0.88, 184, 104, 54);
  AddStop(p, 1.0, 120, 62, 30);
  cairo_set_source(cr, p);
  cairo_rectangle(cr, left, top, right - left, bottom - top);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
  // Turned collars at both ends.
  art::SetRgb(cr, 96, 52, 24);
  cairo_set_line_width(cr, 1);
  for (double y : {top + 3.5, bottom - 3.5}) {
    cairo_move_to(cr, left, y);
    cairo_line_to(cr, right, y);
    cairo_stroke(cr);
  }
  out.Write(4096, pic, art::Format::kRgb24);
}

void DrawMixtureKnob(const art::Output& out) {
  namespace geo = mixture_geometry;
  art::Picture pic(geo::kKnobImageSize, geo::kKnobImageSize);
  const double cx = (geo::kKnobLeft + geo::kKnobRight + 1) / 2.0;
  const double cy = (geo::kKnobTop + geo::kKnobBottom + 1) / 2.0;
  const double radius = (geo::kKnobRight + 1 - geo::kKnobLeft) / 2.0;
  Ball(pic.cr(), cx, cy, radius, 178, 24, 20);
  out.Write(4099, pic, art::Format::kRgb24);
}

void DrawMixture(const art::Output& out) {
  DrawMixtureRod(out);
  DrawMixtureKnob(out);
}

}  // namespace

ART_MODULE("ignition_selector", DrawSelector);
ART_MODULE("starter_crank", DrawCrank);
ART_MODULE("fuel_ratio_lever", DrawMixture);
