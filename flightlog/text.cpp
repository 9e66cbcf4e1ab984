#include "flightlog/text.h"

#include <cmath>
#include <cstdio>

#include "framework/win32.h"

namespace flightlog {

namespace {

// Large enough for every integer format of the module with any 32-bit value.
constexpr int kScratch = 32;

// Magnitudes from here on have more digits than any text box holds, so they
// are not formatted at all.
constexpr double kTooWide = 1e10;

}  // namespace

void PutText(gauge::StringElement700& element, const char* text, bool negative) {
  if (element.text == nullptr) return;
  int count = element.charCount;
  if (count < 0) count = 0;
  if (count > kMaxTextChars) count = kMaxTextChars;
  int length = 0;
  while (text[length] != '\0' && length <= count) ++length;
  if (length <= count) {
    wsprintfA(element.text, "%s", text);
    return;
  }
  char mark[kMaxTextChars + 1];
  for (int i = 0; i < count; ++i) mark[i] = '#';
  if (negative && count > 0) mark[0] = '-';
  mark[count] = '\0';
  wsprintfA(element.text, "%s", mark);
}

void PutInteger(gauge::StringElement700& element, const char* format, std::int32_t value) {
  char scratch[kScratch];
  wsprintfA(scratch, format, value);
  PutText(element, scratch, value < 0);
}

void PutReal(gauge::StringElement700& element, const char* format, double value) {
  value = WithoutNegativeZero(value);
  char scratch[kScratch] = "";
  if (std::isfinite(value) && std::fabs(value) < kTooWide) {
    std::snprintf(scratch, sizeof scratch, format, value);
  } else {
    // Longer than any box: PutText shows the mark.
    for (int i = 0; i <= kMaxTextChars; ++i) scratch[i] = '#';
    scratch[kMaxTextChars + 1] = '\0';
  }
  PutText(element, scratch, value < 0);
}

}  // namespace flightlog
