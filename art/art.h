// The art program draws every bitmap of every module from code and writes
// them as Windows BMP files: <out>/<module>/<id>.bmp.
//
// Each module's pictures live in one source file that registers a drawing
// function with ART_MODULE; main.cpp runs them all (or the named ones).
#pragma once

#include <cairo.h>

#include <cstdint>
#include <functional>
#include <string>

namespace art {

enum class Format {
  kPalette8,  // 8 bits per pixel, 256-colour palette, pure black at index 0
  kRgb24,     // 24 bits per pixel, no palette
};

// A cairo drawing surface (RGB, no alpha) that starts pure black.
class Picture {
 public:
  Picture(int width, int height);
  ~Picture();
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;

  cairo_t* cr() const { return cr_; }
  cairo_surface_t* surface() const { return surface_; }
  int width() const { return width_; }
  int height() const { return height_; }
  // 0x00RRGGBB of one pixel, after everything drawn so far.
  std::uint32_t Pixel(int x, int y) const;

 private:
  int width_;
  int height_;
  cairo_surface_t* surface_;
  cairo_t* cr_;
};

// Where one module's bitmaps go.
class Output {
 public:
  Output(std::string directory, std::string module);
  // Writes <directory>/<module>/<id>.bmp in the given format.
  void Write(std::uint32_t id, const Picture& picture, Format format) const;
  const std::string& module() const { return module_; }

 private:
  std::string directory_;
  std::string module_;
};

using DrawModule = void (*)(const Output& out);

struct Registration {
  Registration(const char* module, DrawModule draw);
};

// Drawing helpers shared by the modules' pictures.
void SetRgb(cairo_t* cr, int r, int g, int b);
// Centred text in the given family ("Liberation Sans", "Liberation Serif",
// "Liberation Mono"), at pixel size `size`, centred on (x, y).
void TextCentred(cairo_t* cr, const char* family, double size, bool bold, double x, double y,
                 const char* text);
// Left-aligned text with its baseline at (x, y).
void TextAt(cairo_t* cr, const char* family, double size, bool bold, double x, double y,
            const char* text);

}  // namespace art

#define ART_CONCAT2(a, b) a##b
#define ART_CONCAT(a, b) ART_CONCAT2(a, b)
// Registers `fn` (void fn(const art::Output&)) as the drawing of module `name`.
#define ART_MODULE(name, fn) \
  static const art::Registration ART_CONCAT(art_registration_, __LINE__)(name, fn)
