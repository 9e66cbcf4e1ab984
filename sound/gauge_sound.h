// The sound library's interface, as the ignition selector uses it (by ordinal
// on Windows: 1 load, 7 play, 11 prepare, 14 release) and as panelhost
// observes it.
//
// On Windows the library exports these functions by ordinal only (see
// GaugeSound.def): the names below exist only in the import library that the
// module links with, so the module's import table holds ordinals and no names.
// On Linux the stand-in libGaugeSound.so exports them by these names.
#pragma once

#include <cstdint>

#include "framework/abi.h"

// Called by the library after each of the four operations, so a host can log
// them. Installed through ordinal 100 on Windows, by name on Linux.
using GaugeSoundObserver = void(GAUGE_CALL*)(const char* operation, std::uint32_t handle,
                                             const char* path, std::int32_t result, void* context);

#if defined(_WIN32)
#define GAUGE_SOUND_API extern "C"
#else
#define GAUGE_SOUND_API extern "C" __attribute__((visibility("default")))
#endif

// Ordinal 1: loads the wave file at `path` (relative paths from the process's
// current directory, '\' or '/' as separators) and writes a new handle
// through `handle`, 0 when it failed. Returns 1 when the sound is loaded, 0
// when it is not. A sound that `*handle` still names is released first: the
// caller is about to lose its only reference to it.
GAUGE_SOUND_API std::int32_t GAUGE_CALL GaugeSoundLoad(std::uint32_t* handle, const char* path);

// Ordinal 7: starts playing the sound once, without waiting for it to end.
// Returns 1 when it plays, 0 when it cannot (unknown handle, no audio device).
GAUGE_SOUND_API std::int32_t GAUGE_CALL GaugeSoundPlay(std::uint32_t handle, std::uint32_t flags);

// Ordinal 11: checks that the handle names a loaded, playable sound; 1 or 0.
GAUGE_SOUND_API std::int32_t GAUGE_CALL GaugeSoundPrepare(std::uint32_t handle,
                                                          std::uint32_t flags);

// Ordinal 14: stops and frees the sound `*handle` names and sets `*handle`
// to 0. Accepts a handle that was never loaded (returns 0 then, else 1).
GAUGE_SOUND_API std::int32_t GAUGE_CALL GaugeSoundRelease(std::uint32_t* handle);

// Ordinal 100: installs (or, with null, removes) the observer.
GAUGE_SOUND_API void GAUGE_CALL GaugeSoundSetObserver(GaugeSoundObserver observer, void* context);

// Linux stand-in only: when this environment variable is set to anything but
// "" or "0", every play fails (returns 0), so tests can drive the reload path.
inline constexpr const char* kGaugeSoundFailPlayVariable = "GAUGESOUND_FAIL_PLAY";
