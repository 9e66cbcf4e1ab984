// Pictures of the flight data recorder: the recorder panel with its boxes and
// labels, the lamps, the small gauges' backgrounds and the "hud_mph" digits.
// Every position and id comes from flightlog/panel_layout.h, the numbers the
// module's records use.
#include <string>

#include "art/art.h"
#include "flightlog/panel_layout.h"

namespace {

namespace L = flightlog::layout;

constexpr int kGrey = 96;
constexpr int kLight = 232;
constexpr int kDark = 32;

// Space between a box and its label.
constexpr int kLabelGap = 3;
constexpr double kLabelSize = 9.0;

// Fills whole pixels: no antialiasing, so edges stay sharp.
void FillRect(cairo_t* cr, int x, int y, int w, int h, int r, int g, int b) {
  art::SetRgb(cr, r, g, b);
  cairo_rectangle(cr, x, y, w, h);
  cairo_fill(cr);
}

// Small text hinted to the pixel grid. Without antialiasing the hinter snaps
// stems across as well as down, so 9-pixel labels stay sharp ("li" in "Climb"
// would otherwise blur into one grey bar).
void UseHintedFont(cairo_t* cr, cairo_antialias_t antialias) {
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_FULL);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
  cairo_font_options_set_antialias(options, antialias);
  cairo_set_font_options(cr, options);
  cairo_font_options_destroy(options);
}

void DrawPanel(const art::Output& out) {
  art::Picture pic(L::kPanelSize.width, L::kPanelSize.height);
  cairo_t* cr = pic.cr();
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  FillRect(cr, 0, 0, L::kPanelSize.width, L::kPanelSize.height, kGrey, kGrey, kGrey);
  FillRect(cr, 0, 0, L::kPanelSize.width, 1, kLight, kLight, kLight);
  FillRect(cr, 0, 0, 1, L::kPanelSize.height, kLight, kLight, kLight);

  for (const L::LabelledBox& box : L::kBoxes) {
    FillRect(cr, box.at.x, box.at.y, L::kBoxSize.width, L::kBoxSize.height, kLight, kLight, kLight);
    FillRect(cr, box.at.x + 1, box.at.y + 1, L::kBoxSize.width - 2, L::kBoxSize.height - 2, kDark,
             kDark, kDark);
  }
  FillRect(cr, L::kPositionBox.x, L::kPositionBox.y, L::kPositionBoxSize.width,
           L::kPositionBoxSize.height, kDark, kDark, kDark);

  UseHintedFont(cr, CAIRO_ANTIALIAS_NONE);
  art::SetRgb(cr, kLight, kLight, kLight);
  for (const L::LabelledBox& box : L::kBoxes) {
    if (box.label == nullptr) continue;
    // Baseline on a whole pixel, capitals centred on the box.
    art::TextAt(cr, "Liberation Sans", kLabelSize, false, box.at.x + L::kBoxSize.width + kLabelGap,
                box.at.y + 9, box.label);
  }
  out.Write(L::kPanelBitmap, pic, art::Format::kPalette8);
}

// A lamp: a rounded body with a one-pixel darker rim and its symbol.
struct LampColours {
  int body[3];
  int rim[3];
  int symbol[3];
};
constexpr LampColours kGreenLamp{{40, 200, 40}, {20, 120, 20}, {0, 80, 0}};
constexpr LampColours kRedLamp{{220, 40, 30}, {130, 20, 15}, {100, 0, 0}};

void LampBody(cairo_t* cr, const LampColours& c) {
  const int w = L::kLampSize.width;
  const int h = L::kLampSize.height;
  FillRect(cr, 0, 0, w, h, c.rim[0], c.rim[1], c.rim[2]);
  FillRect(cr, 1, 1, w - 2, h - 2, c.body[0], c.body[1], c.body[2]);
}

// A play triangle pointing right: 8 rows tall, 4 pixels at its widest.
void PlayLamp(const art::Output& out, std::uint32_t id, const LampColours& c) {
  art::Picture pic(L::kLampSize.width, L::kLampSize.height);
  cairo_t* cr = pic.cr();
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  LampBody(cr, c);
  for (int row = 0; row < 8; ++row) {
    const int width = (row < 4 ? row : 7 - row) + 1;
    FillRect(cr, 3, 2 + row, width, 1, c.symbol[0], c.symbol[1], c.symbol[2]);
  }
  out.Write(id, pic, art::Format::kPalette8);
}

// Two pause bars, two pixels wide.
void PauseLamp(const art::Output& out, std::uint32_t id, const LampColours& c) {
  art::Picture pic(L::kLampSize.width, L::kLampSize.height);
  cairo_t* cr = pic.cr();
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  LampBody(cr, c);
  FillRect(cr, 2, 2, 2, 8, c.symbol[0], c.symbol[1], c.symbol[2]);
  FillRect(cr, 6, 2, 2, 8, c.symbol[0], c.symbol[1], c.symbol[2]);
  out.Write(id, pic, art::Format::kPalette8);
}

// A red dot on the panel's grey, with a small highlight.
void WarningLamp(const art::Output& out) {
  art::Picture pic(L::kWarningLampSize.width, L::kWarningLampSize.height);
  cairo_t* cr = pic.cr();
  FillRect(cr, 0, 0, L::kWarningLampSize.width, L::kWarningLampSize.height, kGrey, kGrey, kGrey);
  const double c = L::kWarningLampSize.width / 2.0;
  art::SetRgb(cr, 120, 0, 0);
  cairo_arc(cr, c, c, 4.0, 0, 6.283185307179586);
  cairo_fill(cr);
  art::SetRgb(cr, 235, 30, 20);
  cairo_arc(cr, c, c, 3.2, 0, 6.283185307179586);
  cairo_fill(cr);
  art::SetRgb(cr, 255, 170, 150);
  cairo_arc(cr, c - 1.2, c - 1.2, 0.9, 0, 6.283185307179586);
  cairo_fill(cr);
  out.Write(L::kWarningLampBitmap, pic, art::Format::kPalette8);
}

void PlainBackground(const art::Output& out, std::uint32_t id, L::Size size, int level) {
  art::Picture pic(size.width, size.height);
  if (level != 0) FillRect(pic.cr(), 0, 0, size.width, size.height, level, level, level);
  out.Write(id, pic, art::Format::kPalette8);
}

// Digits 0..9 from `first`, drawn on black (the host shows black as clear).
void Digits(const art::Output& out, std::uint32_t first, int r, int g, int b) {
  for (int digit = 0; digit < L::kDigitBitmapCount; ++digit) {
    art::Picture pic(L::kDigitSize.width, L::kDigitSize.height);
    cairo_t* cr = pic.cr();
    UseHintedFont(cr, CAIRO_ANTIALIAS_GRAY);
    art::SetRgb(cr, r, g, b);
    const std::string text(1, static_cast<char>('0' + digit));
    art::TextCentred(cr, "Liberation Mono", 12.0, true, L::kDigitSize.width / 2.0,
                     L::kDigitSize.height / 2.0, text.c_str());
    out.Write(first + static_cast<std::uint32_t>(digit), pic, art::Format::kPalette8);
  }
}

void DrawFlightlog(const art::Output& out) {
  DrawPanel(out);
  PlayLamp(out, L::kRecordLampBitmap, kGreenLamp);
  PlayLamp(out, L::kRecordLampBitmap + 1, kRedLamp);
  PauseLamp(out, L::kPauseLampBitmap, kGreenLamp);
  PauseLamp(out, L::kPauseLampBitmap + 1, kRedLamp);
  WarningLamp(out);
  PlainBackground(out, L::kSmallGaugeBitmap, L::kSmallGaugeSize, kDark);
  PlainBackground(out, L::kHudBitmap, L::kHudSize, 0);
  Digits(out, L::kGreenDigitBitmaps, 0, 230, 0);
  Digits(out, L::kRedDigitBitmaps, 230, 20, 20);
}

}  // namespace

ART_MODULE("flightlog", DrawFlightlog);
