#include "art/art.h"

#include <libimagequant.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <vector>

namespace art {

Picture::Picture(int width, int height)
    : width_(width),
      height_(height),
      surface_(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height)),
      cr_(cairo_create(surface_)) {
  cairo_set_source_rgb(cr_, 0, 0, 0);
  cairo_paint(cr_);
}

Picture::~Picture() {
  cairo_destroy(cr_);
  cairo_surface_destroy(surface_);
}

std::uint32_t Picture::Pixel(int x, int y) const {
  cairo_surface_flush(surface_);
  const unsigned char* data = cairo_image_surface_get_data(surface_);
  const int stride = cairo_image_surface_get_stride(surface_);
  std::uint32_t p;
  std::copy_n(data + y * stride + x * 4, 4, reinterpret_cast<unsigned char*>(&p));
  return p & 0xFFFFFF;
}

namespace {

void Put16(std::vector<std::uint8_t>& b, std::uint32_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

// File header and BITMAPINFOHEADER of an uncompressed bottom-up DIB.
std::vector<std::uint8_t> Headers(int width, int height, int bits, std::uint32_t paletteBytes,
                                  std::uint32_t imageBytes) {
  std::vector<std::uint8_t> b;
  const std::uint32_t offset = 14 + 40 + paletteBytes;
  b.push_back('B');
  b.push_back('M');
  Put32(b, offset + imageBytes);
  Put32(b, 0);
  Put32(b, offset);
  Put32(b, 40);
  Put32(b, static_cast<std::uint32_t>(width));
  Put32(b, static_cast<std::uint32_t>(height));
  Put16(b, 1);
  Put16(b, static_cast<std::uint32_t>(bits));
  Put32(b, 0);  // BI_RGB
  Put32(b, imageBytes);
  Put32(b, 2835);  // 72 dpi
  Put32(b, 2835);
  Put32(b, bits == 8 ? 256 : 0);
  Put32(b, 0);
  return b;
}

// Palette indices for every pixel, with a palette whose entry 0 is pure black
// and used only by pure-black pixels (the host draws them as transparent).
void Quantise(const std::vector<std::uint32_t>& rgb, int width, int height,
              std::array<std::uint32_t, 256>& palette, std::vector<std::uint8_t>& indices) {
  palette.fill(0);
  indices.assign(rgb.size(), 0);
  std::map<std::uint32_t, std::uint8_t> exact;
  for (std::uint32_t p : rgb) {
    if (p != 0 && exact.size() < 256) exact.emplace(p, 0);
  }
  if (exact.size() <= 255) {
    int next = 1;
    for (auto& [colour, index] : exact) {
      palette[static_cast<std::size_t>(next)] = colour;
      index = static_cast<std::uint8_t>(next++);
    }
    for (std::size_t i = 0; i < rgb.size(); ++i) indices[i] = rgb[i] == 0 ? 0 : exact[rgb[i]];
    return;
  }
  // More colours than a palette holds: libimagequant picks 255 for the
  // non-black pixels; black keeps index 0.
  std::vector<unsigned char> rgba(rgb.size() * 4);
  for (std::size_t i = 0; i < rgb.size(); ++i) {
    rgba[i * 4 + 0] = static_cast<unsigned char>(rgb[i] >> 16);
    rgba[i * 4 + 1] = static_cast<unsigned char>(rgb[i] >> 8);
    rgba[i * 4 + 2] = static_cast<unsigned char>(rgb[i]);
    rgba[i * 4 + 3] = 255;
  }
  liq_attr* attr = liq_attr_create();
  liq_set_max_colors(attr, 255);
  liq_set_speed(attr, 1);
  liq_image* image = liq_image_create_rgba(attr, rgba.data(), width, height, 0);
  liq_result* result = nullptr;
  if (liq_image_quantize(image, attr, &result) != LIQ_OK) {
    throw std::runtime_error("palette quantisation failed");
  }
  liq_set_dithering_level(result, 0.0f);
  std::vector<unsigned char> remapped(rgb.size());
  liq_write_remapped_image(result, image, remapped.data(), remapped.size());
  const liq_palette* pal = liq_get_palette(result);
  for (unsigned i = 0; i < pal->count; ++i) {
    palette[i + 1] = (std::uint32_t{pal->entries[i].r} << 16) |
                     (std::uint32_t{pal->entries[i].g} << 8) | pal->entries[i].b;
    // A quantised colour that came out pure black would turn transparent.
    if (palette[i + 1] == 0) palette[i + 1] = 0x010101;
  }
  for (std::size_t i = 0; i < rgb.size(); ++i) {
    indices[i] = rgb[i] == 0 ? 0 : static_cast<std::uint8_t>(remapped[i] + 1);
  }
  liq_result_destroy(result);
  liq_image_destroy(image);
  liq_attr_destroy(attr);
}

}  // namespace

Output::Output(std::string directory, std::string module)
    : directory_(std::move(directory)), module_(std::move(module)) {}

void Output::Write(std::uint32_t id, const Picture& picture, Format format) const {
  const int w = picture.width();
  const int h = picture.height();
  std::vector<std::uint32_t> rgb(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) rgb[static_cast<std::size_t>(y * w + x)] = picture.Pixel(x, y);
  }
  std::vector<std::uint8_t> file;
  if (format == Format::kPalette8) {
    std::array<std::uint32_t, 256> palette{};
    std::vector<std::uint8_t> indices;
    Quantise(rgb, w, h, palette, indices);
    const std::uint32_t stride = (static_cast<std::uint32_t>(w) + 3) & ~3u;
    file = Headers(w, h, 8, 256 * 4, stride * static_cast<std::uint32_t>(h));
    for (std::uint32_t c : palette) Put32(file, c);  // B, G, R, 0
    for (int y = h - 1; y >= 0; --y) {
      for (int x = 0; x < w; ++x) file.push_back(indices[static_cast<std::size_t>(y * w + x)]);
      for (std::uint32_t pad = static_cast<std::uint32_t>(w); pad < stride; ++pad)
        file.push_back(0);
    }
  } else {
    const std::uint32_t stride = (static_cast<std::uint32_t>(w) * 3 + 3) & ~3u;
    file = Headers(w, h, 24, 0, stride * static_cast<std::uint32_t>(h));
    for (int y = h - 1; y >= 0; --y) {
      for (int x = 0; x < w; ++x) {
        const std::uint32_t p = rgb[static_cast<std::size_t>(y * w + x)];
        file.push_back(static_cast<std::uint8_t>(p));
        file.push_back(static_cast<std::uint8_t>(p >> 8));
        file.push_back(static_cast<std::uint8_t>(p >> 16));
      }
      for (std::uint32_t pad = static_cast<std::uint32_t>(w) * 3; pad < stride; ++pad) {
        file.push_back(0);
      }
    }
  }
  const std::filesystem::path dir = std::filesystem::path(directory_) / module_;
  std::filesystem::create_directories(dir);
  const std::filesystem::path path = dir / (std::to_string(id) + ".bmp");
  const std::filesystem::path temp = dir / (std::to_string(id) + ".bmp.tmp");
  {
    std::ofstream out(temp, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()),
              static_cast<std::streamsize>(file.size()));
    if (!out) throw std::runtime_error("cannot write " + temp.string());
  }
  std::filesystem::rename(temp, path);
}

void SetRgb(cairo_t* cr, int r, int g, int b) {
  cairo_set_source_rgb(cr, r / 255.0, g / 255.0, b / 255.0);
}

namespace {
void SelectFont(cairo_t* cr, const char* family, double size, bool bold) {
  cairo_select_font_face(cr, family, CAIRO_FONT_SLANT_NORMAL,
                         bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, size);
}
}  // namespace

void TextCentred(cairo_t* cr, const char* family, double size, bool bold, double x, double y,
                 const char* text) {
  SelectFont(cr, family, size, bold);
  cairo_text_extents_t e;
  cairo_text_extents(cr, text, &e);
  cairo_move_to(cr, x - e.width / 2 - e.x_bearing, y - e.height / 2 - e.y_bearing);
  cairo_show_text(cr, text);
}

void TextAt(cairo_t* cr, const char* family, double size, bool bold, double x, double y,
            const char* text) {
  SelectFont(cr, family, size, bold);
  cairo_move_to(cr, x, y);
  cairo_show_text(cr, text);
}

}  // namespace art
