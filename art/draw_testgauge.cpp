// Pictures of the tests' own module: plain shapes in known colours, so tests
// can find each element in a rendered gauge by its colour.
#include "art/art.h"

namespace {

void Fill(art::Picture& p, int r, int g, int b) {
  art::SetRgb(p.cr(), r, g, b);
  cairo_paint(p.cr());
}

void DrawTestGauge(const art::Output& out) {
  {
    art::Picture panel(120, 80);  // 4096: grey panel
    Fill(panel, 96, 96, 96);
    out.Write(4096, panel, art::Format::kPalette8);
  }
  {
    art::Picture dial(100, 100);  // 4097: a white ring on black
    cairo_t* cr = dial.cr();
    art::SetRgb(cr, 240, 240, 240);
    cairo_set_line_width(cr, 4);
    cairo_arc(cr, 50, 50, 46, 0, 6.283185307179586);
    cairo_stroke(cr);
    out.Write(4097, dial, art::Format::kPalette8);
  }
  {
    art::Picture needle(40, 8);  // 8192: pure white, pivot (4,4), pointing right
    cairo_t* cr = needle.cr();
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    art::SetRgb(cr, 255, 255, 255);
    cairo_rectangle(cr, 0, 3, 40, 2);
    cairo_fill(cr);
    cairo_rectangle(cr, 1, 1, 6, 6);
    cairo_fill(cr);
    out.Write(8192, needle, art::Format::kPalette8);
  }
  const int lamps[3][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  for (int i = 0; i < 3; ++i) {  // 8448..8450: red, green, blue squares
    art::Picture lamp(10, 10);
    Fill(lamp, lamps[i][0], lamps[i][1], lamps[i][2]);
    out.Write(8448 + static_cast<std::uint32_t>(i), lamp, art::Format::kPalette8);
  }
  {
    art::Picture knob(10, 10);  // 8704: yellow, 24 bits per pixel
    Fill(knob, 255, 255, 0);
    out.Write(8704, knob, art::Format::kRgb24);
  }
}

}  // namespace

ART_MODULE("testgauge", DrawTestGauge);
