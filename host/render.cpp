// Drawing a gauge's elements into an image, and writing it as PNG.
#include "host/render.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <numbers>
#include <tuple>

#include "host/pixels.h"

#define STB_TRUETYPE_IMPLEMENTATION
#define STBTT_STATIC
#include <stb_truetype.h>
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb_image_write.h>

extern "C" const unsigned char panelhost_font_data[];
extern "C" const std::uint32_t panelhost_font_size;

namespace panelhost {

namespace {

// Blends one 0xAARRGGBB colour over a pixel with the given coverage (0..1).
void Blend(std::uint32_t& dst, std::uint32_t colour, double coverage) {
  const double a = coverage * static_cast<double>(colour >> 24) / 255.0;
  if (a <= 0.0) return;
  auto mix = [a](std::uint32_t d, std::uint32_t s) {
    return static_cast<std::uint32_t>(
        RoundHalfAway(static_cast<double>(d) * (1.0 - a) + static_cast<double>(s) * a));
  };
  const std::uint32_t r = mix((dst >> 16) & 0xFF, (colour >> 16) & 0xFF);
  const std::uint32_t g = mix((dst >> 8) & 0xFF, (colour >> 8) & 0xFF);
  const std::uint32_t b = mix(dst & 0xFF, colour & 0xFF);
  dst = 0xFF000000u | r << 16 | g << 8 | b;
}

void DrawImage(Image& canvas, const Image& src, int left, int top) {
  // The source columns that land on the canvas.
  const int xa = std::max(0, -left);
  const int xb = std::min(src.width, canvas.width - left);
  for (int y = 0; y < src.height; ++y) {
    const int cy = top + y;
    if (cy < 0 || cy >= canvas.height) continue;
    const std::uint32_t* from = &src.pixels[static_cast<std::size_t>(y) * src.width];
    const std::ptrdiff_t row = static_cast<std::ptrdiff_t>(cy) * canvas.width + left;
    for (int x = xa; x < xb; ++x) {
      const std::uint32_t p = from[x];
      if ((p >> 24) != 0) canvas.pixels[static_cast<std::size_t>(row + x)] = p;
    }
  }
}

// Narrows [lo, hi] to the d for which k * d + b lies within [low, high].
void Confine(double k, double b, double low, double high, double& lo, double& hi) {
  if (std::fabs(k) < 1e-12) {
    if (b < low || b > high) {
      lo = std::numeric_limits<double>::infinity();
      hi = -lo;
    }
    return;
  }
  const double t1 = (low - b) / k;
  const double t2 = (high - b) / k;
  lo = std::max(lo, std::min(t1, t2));
  hi = std::min(hi, std::max(t1, t2));
}

// Draws `src` turned by `degrees` clockwise about its pixel (px, py), which
// lands on canvas pixel (cx, cy); bilinear sampling, transparent edges.
void DrawRotated(Image& canvas, const Image& src, int px, int py, int cx, int cy, double degrees) {
  const double rad = degrees * std::numbers::pi / 180.0;
  const double c = std::cos(rad);
  const double s = std::sin(rad);
  const double reach = std::hypot(std::max(px, src.width - px), std::max(py, src.height - py)) + 2;
  const int x0 = std::max(0, static_cast<int>(cx - reach));
  const int x1 = std::min(canvas.width - 1, static_cast<int>(cx + reach));
  const int y0 = std::max(0, static_cast<int>(cy - reach));
  const int y1 = std::min(canvas.height - 1, static_cast<int>(cy + reach));
  auto sample = [&src](int x, int y) -> std::uint32_t {
    if (x < 0 || y < 0 || x >= src.width || y >= src.height) return 0;
    return src.at(x, y);
  };
  for (int y = y0; y <= y1; ++y) {
    // Only pixels whose source point lies within a pixel of the bitmap can
    // sample any of it: sx and sy are linear along the row, so those pixels
    // form one run, found here with two pixels to spare on either side. The
    // pixels outside it would sample nothing and are left alone.
    const double rowDy = y + 0.5 - (cy + 0.5);
    double lo = -std::numeric_limits<double>::infinity();
    double hi = std::numeric_limits<double>::infinity();
    Confine(c, rowDy * s + px, -2.0, src.width + 1.0, lo, hi);
    Confine(-s, rowDy * c + py, -2.0, src.height + 1.0, lo, hi);
    if (!(lo <= hi)) continue;
    const int xa = static_cast<int>(std::max<double>(x0, std::floor(lo + cx) - 2));
    const int xb = static_cast<int>(std::min<double>(x1, std::ceil(hi + cx) + 2));
    for (int x = xa; x <= xb; ++x) {
      // Pixel centres; inverse rotation back into the source.
      const double dx = x + 0.5 - (cx + 0.5);
      const double dy = y + 0.5 - (cy + 0.5);
      const double sx = dx * c + dy * s + px;
      const double sy = -dx * s + dy * c + py;
      const int ix = FloorToInt(sx);
      const int iy = FloorToInt(sy);
      const double fx = sx - ix;
      const double fy = sy - iy;
      const std::uint32_t q[4] = {sample(ix, iy), sample(ix + 1, iy), sample(ix, iy + 1),
                                  sample(ix + 1, iy + 1)};
      const double w[4] = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy, fx * fy};
      double alpha = 0, r = 0, g = 0, b = 0;
      for (int k = 0; k < 4; ++k) {
        if ((q[k] >> 24) == 0) continue;
        alpha += w[k];
        r += w[k] * ((q[k] >> 16) & 0xFF);
        g += w[k] * ((q[k] >> 8) & 0xFF);
        b += w[k] * (q[k] & 0xFF);
      }
      if (alpha < 1e-6) continue;
      const std::uint32_t colour = 0xFF000000u |
                                   static_cast<std::uint32_t>(RoundHalfAway(r / alpha)) << 16 |
                                   static_cast<std::uint32_t>(RoundHalfAway(g / alpha)) << 8 |
                                   static_cast<std::uint32_t>(RoundHalfAway(b / alpha));
      Blend(canvas.at(x, y), colour, std::min(1.0, alpha));
    }
  }
}

const stbtt_fontinfo& Font() {
  static const stbtt_fontinfo font = [] {
    stbtt_fontinfo f{};
    if (stbtt_InitFont(&f, panelhost_font_data, 0) == 0) throw Error("built-in font is unreadable");
    return f;
  }();
  return font;
}

// A glyph rasterised at one size and sub-pixel shift.
struct Glyph {
  int width = 0;
  int height = 0;
  int xoff = 0;
  int yoff = 0;
  bool present = false;
  std::vector<unsigned char> coverage;
};

// Glyphs are rasterised once per size, shift and character: a panel shows
// the same few characters at the same places frame after frame. One cache per
// thread (no locking); it starts over when it grows past kMaxGlyphs.
const Glyph& CachedGlyph(float scale, float shiftX, unsigned char ch) {
  constexpr std::size_t kMaxGlyphs = 4096;
  thread_local std::map<std::tuple<float, float, unsigned char>, Glyph> cache;
  const auto key = std::make_tuple(scale, shiftX, ch);
  if (auto it = cache.find(key); it != cache.end()) return it->second;
  if (cache.size() >= kMaxGlyphs) cache.clear();
  Glyph glyph;
  unsigned char* bitmap =
      stbtt_GetCodepointBitmapSubpixel(&Font(), scale, scale, shiftX, 0.0f, ch, &glyph.width,
                                       &glyph.height, &glyph.xoff, &glyph.yoff);
  if (bitmap != nullptr) {
    glyph.present = true;
    glyph.coverage.assign(bitmap, bitmap + static_cast<std::size_t>(glyph.width) * glyph.height);
    stbtt_FreeBitmap(bitmap, nullptr);
  }
  return cache.emplace(key, std::move(glyph)).first->second;
}

// Text centred in its box on one line, in the element's colour (0x00BBGGRR).
void DrawText(Image& canvas, const gauge::StringElement700& s, const std::string& text) {
  if (text.empty()) return;
  const stbtt_fontinfo& font = Font();
  const float pixels = static_cast<float>(s.boxHeight);
  const float scale = stbtt_ScaleForMappingEmToPixels(&font, pixels);
  const double dscale = scale;
  int ascent = 0, descent = 0, gap = 0;
  stbtt_GetFontVMetrics(&font, &ascent, &descent, &gap);
  int advance = 0, bearing = 0;
  stbtt_GetCodepointHMetrics(&font, '0', &advance, &bearing);
  const double charWidth = advance * dscale;
  const double textWidth = charWidth * static_cast<double>(text.size());
  const double left = s.header.x + (s.boxWidth - textWidth) / 2.0;
  const double baseline =
      s.header.y + (s.boxHeight - (ascent - descent) * dscale) / 2.0 + ascent * dscale;
  const std::uint32_t c = s.textColour;
  const std::uint32_t colour = 0xFF000000u | (c & 0xFF) << 16 | (c & 0xFF00) | ((c >> 16) & 0xFF);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto ch = static_cast<unsigned char>(text[i]);
    const double penX = left + charWidth * static_cast<double>(i);
    const float shiftX = static_cast<float>(penX - std::floor(penX));
    const Glyph& glyph = CachedGlyph(scale, shiftX, ch);
    if (!glyph.present) continue;
    const int w = glyph.width;
    const int h = glyph.height;
    const int gx = static_cast<int>(std::floor(penX)) + glyph.xoff;
    const int gy = static_cast<int>(std::lround(baseline)) + glyph.yoff;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const int cx = gx + x;
        const int cy = gy + y;
        if (cx < 0 || cy < 0 || cx >= canvas.width || cy >= canvas.height) continue;
        Blend(canvas.at(cx, cy), colour,
              glyph.coverage[static_cast<std::size_t>(y * w + x)] / 255.0);
      }
    }
  }
}

bool Hidden(const Host& host, const gauge::ElementHeader& element) {
  if (element.failures == nullptr) return false;
  for (int i = 0; i < 16 && element.failures[i].key != 0; ++i) {
    if (element.failures[i].action == 2 && host.FailureActive(element.failures[i].key)) return true;
  }
  return false;
}

double Bearing(int x, int y, int pivotX, int pivotY) {
  const double deg = std::atan2(static_cast<double>(x - pivotX), static_cast<double>(pivotY - y)) *
                     180.0 / std::numbers::pi;
  return deg < 0 ? deg + 360.0 : deg;
}

}  // namespace

double NeedleBearing(const gauge::NeedleCalibrationPoint* points, int count, int pivotX, int pivotY,
                     double value) {
  if (points == nullptr || count <= 0) return 0.0;
  double bearing = Bearing(points[0].x, points[0].y, pivotX, pivotY);
  if (!(value > points[0].value)) return bearing;  // also NaN
  for (int i = 0; i + 1 < count; ++i) {
    const double next = Bearing(points[i + 1].x, points[i + 1].y, pivotX, pivotY);
    double turn = std::fmod(next - bearing + 360.0, 360.0);
    if (turn == 0.0 && points[i + 1].value != points[i].value) turn = 360.0;
    if (value <= points[i + 1].value) {
      const double span = points[i + 1].value - points[i].value;
      const double t = span > 0 ? (value - points[i].value) / span : 1.0;
      return std::fmod(bearing + turn * t, 360.0);
    }
    bearing = std::fmod(bearing + turn, 360.0);
  }
  return bearing;
}

int IconIndex(const gauge::IconElement700& icon, double value) {
  const int count = icon.bitmapCount;
  if (count <= 0 || std::isnan(value)) return -1;
  const double whole = std::trunc(value);
  switch (icon.selectionMode) {
    case 1: {  // clamped into [0, parameter], and to the bitmaps there are
      const double top = std::min(icon.selectionParameter, static_cast<double>(count - 1));
      return static_cast<int>(std::clamp(whole, 0.0, std::max(0.0, top)));
    }
    case 3:  // a negative value shows nothing (a lamp's off state)
      if (value < 0) return -1;
      return static_cast<int>(std::min(whole, static_cast<double>(count - 1)));
    default:  // mode 0 and others: the value is the index; out of range shows nothing
      if (whole < 0 || whole >= count) return -1;
      return static_cast<int>(whole);
  }
}

Image RenderGauge(const Gauge& g, std::uint32_t background) {
  const Module& module = g.module();
  gauge::ElementHeader* root = g.root();
  const Bitmap& back = module.DecodedBitmap(root->bitmapId);
  Image canvas;
  canvas.width = back.image.width;
  canvas.height = back.image.height;
  if (root->x == 0 && root->y == 0) {
    // The background covers the canvas exactly: its pixels, with the
    // background colour for the transparent ones.
    canvas.pixels = back.image.pixels;
    for (std::uint32_t& p : canvas.pixels) p = (p >> 24) != 0 ? p : background;
  } else {
    canvas.pixels.assign(static_cast<std::size_t>(canvas.width * canvas.height), background);
    DrawImage(canvas, back.image, root->x, root->y);
  }
  const bool v610 = g.header()->version == gauge::kGaugeVersion610;
  for (gauge::ElementHeader* e : g.Children()) {
    if (Hidden(g.host(), *e)) continue;
    const ElementState& state = g.State(e);
    switch (e->kind) {
      case gauge::kStaticImage:
        DrawImage(canvas, module.DecodedBitmap(e->bitmapId).image, e->x, e->y);
        break;
      case gauge::kNeedle: {
        const gauge::NeedleCalibrationPoint* points =
            v610 ? reinterpret_cast<gauge::NeedleElement610*>(e)->calibration
                 : reinterpret_cast<gauge::NeedleElement700*>(e)->calibration;
        const int count = v610 ? reinterpret_cast<gauge::NeedleElement610*>(e)->calibrationCount
                               : reinterpret_cast<gauge::NeedleElement700*>(e)->calibrationCount;
        const double bearing = NeedleBearing(points, count, e->x, e->y, state.value);
        // The bitmap points right (bearing 90) when unturned.
        DrawRotated(canvas, module.DecodedBitmap(e->bitmapId).image, e->pivotX, e->pivotY, e->x,
                    e->y, bearing - 90.0);
        break;
      }
      case gauge::kString:
        DrawText(canvas, *reinterpret_cast<gauge::StringElement700*>(e), g.Text(e));
        break;
      case gauge::kIcon: {
        const auto& icon = *reinterpret_cast<gauge::IconElement700*>(e);
        const int index = state.updated ? IconIndex(icon, state.value) : 0;
        if (index >= 0) {
          DrawImage(canvas,
                    module.DecodedBitmap(e->bitmapId + static_cast<std::uint32_t>(index)).image,
                    e->x, e->y);
        }
        break;
      }
      case gauge::kSlider: {
        const auto& slider = *reinterpret_cast<gauge::SliderElement700*>(e);
        const double dy = slider.yScale * state.value;
        const int y = e->y + static_cast<int>(
                                 std::lround(std::isfinite(dy) ? std::clamp(dy, -1e4, 1e4) : 0.0));
        DrawImage(canvas, module.DecodedBitmap(e->bitmapId).image, e->x, y);
        break;
      }
      default:
        break;
    }
  }
  return canvas;
}

void WritePng(const Image& image, const std::string& path) {
  std::vector<unsigned char> rgba(image.pixels.size() * 4);
  for (std::size_t i = 0; i < image.pixels.size(); ++i) {
    const std::uint32_t p = image.pixels[i];
    rgba[i * 4 + 0] = static_cast<unsigned char>(p >> 16);
    rgba[i * 4 + 1] = static_cast<unsigned char>(p >> 8);
    rgba[i * 4 + 2] = static_cast<unsigned char>(p);
    rgba[i * 4 + 3] = static_cast<unsigned char>(p >> 24);
  }
  const std::string temp = path + ".tmp";
  if (stbi_write_png(temp.c_str(), image.width, image.height, 4, rgba.data(), image.width * 4) ==
      0) {
    std::remove(temp.c_str());
    throw Error(path + ": cannot write PNG");
  }
  std::remove(path.c_str());
  if (std::rename(temp.c_str(), path.c_str()) != 0) throw Error(path + ": cannot write PNG");
}

}  // namespace panelhost
