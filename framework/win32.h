// The Windows calls the modules make. On Windows they come from the system;
// on Linux our own stand-ins take their place.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else
extern "C" {
// Formats like Windows' wsprintfA, with the conversions the modules use:
// %d %i %u %x %X %c %s and %%, with the '-' and '0' flags and a width. Like
// the original it writes at most 1024 characters and the NUL, and returns the
// number of characters written.
int wsprintfA(char* buffer, const char* format, ...);
}
#endif
