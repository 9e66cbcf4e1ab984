// Linux stand-in for Windows' wsprintfA (integer, character and string
// conversions only; Windows' version has no floating-point conversions either).
#include <cstdarg>
#include <cstdint>

#include "framework/win32.h"

namespace {

constexpr int kMaxOutput = 1024;

struct Writer {
  char* out;
  int length = 0;
  void Put(char c) {
    if (length < kMaxOutput) out[length++] = c;
  }
  void Pad(int count, char c) {
    for (int i = 0; i < count; ++i) Put(c);
  }
};

// Writes the digits of `value` in `base` into the end of `digits`; returns the start.
char* Digits(std::uint32_t value, unsigned base, bool upper, char* end) {
  const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  char* p = end;
  do {
    *--p = set[value % base];
    value /= base;
  } while (value != 0);
  return p;
}

}  // namespace

extern "C" int wsprintfA(char* buffer, const char* format, ...) {
  va_list args;
  va_start(args, format);
  Writer w{buffer};
  for (const char* f = format; *f != '\0'; ++f) {
    if (*f != '%') {
      w.Put(*f);
      continue;
    }
    ++f;
    bool left = false;
    bool zero = false;
    for (;; ++f) {
      if (*f == '-') {
        left = true;
      } else if (*f == '0') {
        zero = true;
      } else {
        break;
      }
    }
    int width = 0;
    while (*f >= '0' && *f <= '9') width = width * 10 + (*f++ - '0');
    if (*f == 'l' || *f == 'h') ++f;  // 32-bit either way

    char digitBuffer[16];
    char* end = digitBuffer + sizeof digitBuffer;
    const char* text = nullptr;
    int textLength = 0;
    char sign = 0;
    char single = 0;
    switch (*f) {
      case 'd':
      case 'i': {
        const std::int32_t v = va_arg(args, std::int32_t);
        const std::uint32_t magnitude =
            v < 0 ? 0u - static_cast<std::uint32_t>(v) : static_cast<std::uint32_t>(v);
        if (v < 0) sign = '-';
        text = Digits(magnitude, 10, false, end);
        break;
      }
      case 'u':
        text = Digits(va_arg(args, std::uint32_t), 10, false, end);
        break;
      case 'x':
      case 'X':
        text = Digits(va_arg(args, std::uint32_t), 16, *f == 'X', end);
        break;
      case 'c':
        single = static_cast<char>(va_arg(args, int));
        text = &single;
        textLength = 1;
        break;
      case 's':
        text = va_arg(args, const char*);
        if (text == nullptr) text = "(null)";
        while (text[textLength] != '\0') ++textLength;
        break;
      case '%':
        w.Put('%');
        continue;
      case '\0':
        --f;  // a lone '%' at the end is dropped
        continue;
      default:  // unknown conversion: printed as written, like Windows does
        w.Put(*f);
        continue;
    }
    if (textLength == 0 && text != nullptr && text >= digitBuffer && text < end) {
      textLength = static_cast<int>(end - text);
    }
    const int fill = width - textLength - (sign != 0 ? 1 : 0);
    const bool zeroFill =
        zero && !left && (*f == 'd' || *f == 'i' || *f == 'u' || *f == 'x' || *f == 'X');
    if (!left && !zeroFill) w.Pad(fill, ' ');
    if (sign != 0) w.Put(sign);
    if (zeroFill) w.Pad(fill, '0');
    for (int i = 0; i < textLength; ++i) w.Put(text[i]);
    if (left) w.Pad(fill, ' ');
  }
  va_end(args);
  w.out[w.length] = '\0';
  return w.length;
}
