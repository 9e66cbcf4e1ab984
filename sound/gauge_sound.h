// The sound library's interface, as the ignition selector uses it (by ordinal
// on Windows: 1 load, 7 play, 11 prepare, 14 release) and as panelhost
// observes it.
#pragma once

#include <cstdint>

#include "framework/abi.h"

// Called by the library after each of the four operations, so a host can log
// them. Installed through ordinal 100 on Windows, by name on Linux.
using GaugeSoundObserver = void(GAUGE_CALL*)(const char* operation, std::uint32_t handle,
                                             const char* path, std::int32_t result,
                                             void* context);
