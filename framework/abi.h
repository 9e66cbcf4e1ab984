// Platform and compiler macros for every call and record shared between the
// host and a gauge module. Both builds are 32-bit x86: addresses are 4 bytes.
#pragma once

#include <cstdint>

#if !defined(__i386__) && !defined(_M_IX86)
#error "gauge modules and their host are 32-bit x86 programs (build with -m32 or for i686)"
#endif

static_assert(sizeof(void*) == 4, "records hold 32-bit addresses");
static_assert(sizeof(double) == 8, "records hold IEEE doubles");

// The one calling convention of every function the host calls in a module and
// every host service a module calls: stdcall on 32-bit Windows, the platform's
// default (cdecl) elsewhere.
#if defined(_WIN32)
#define GAUGE_CALL __attribute__((stdcall))
#else
#define GAUGE_CALL
#endif

// Marks the two records a module exports, ImportTable and Linkage.
#if defined(_WIN32)
#define GAUGE_EXPORT extern "C" __declspec(dllexport)
#else
#define GAUGE_EXPORT extern "C" __attribute__((visibility("default")))
#endif
