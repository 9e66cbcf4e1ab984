// GaugeSound: loads short wave files and plays them, for the gauge modules'
// click sounds. Sounds are held in memory in a small table and named by
// 32-bit handles that are never reused, so a stale handle never reaches a
// later sound. Windows plays through the system's sound API; the Linux
// stand-in validates and keeps the sound but has no audio output.
#include "sound/gauge_sound.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
// mmsystem.h needs the types windows.h declares.
#include <mmsystem.h>
#endif

namespace {

// More sounds than any panel uses; a load beyond it fails.
constexpr std::size_t kSlots = 16;
// A click sound is a few kilobytes; anything bigger than this is not one.
constexpr std::streamoff kMaxFileBytes = 4 * 1024 * 1024;

struct Sound {
  std::uint32_t handle = 0;  // 0: free slot
  std::vector<char> wave;    // the whole file, as PlaySound takes it from memory
};

std::array<Sound, kSlots> sounds;
std::uint32_t lastHandle = 0;
GaugeSoundObserver observer = nullptr;
void* observerContext = nullptr;
#if defined(_WIN32)
const Sound* playing = nullptr;  // the sound PlaySound may still be reading
#endif

void Report(const char* operation, std::uint32_t handle, const char* path, std::int32_t result) {
  if (observer != nullptr) observer(operation, handle, path, result, observerContext);
}

Sound* Find(std::uint32_t handle) {
  if (handle == 0) return nullptr;
  for (Sound& sound : sounds) {
    if (sound.handle == handle) return &sound;
  }
  return nullptr;
}

void Free(Sound& sound) {
#if defined(_WIN32)
  if (playing == &sound) {
    PlaySoundA(nullptr, nullptr, 0);  // stops it before its memory goes
    playing = nullptr;
  }
#endif
  sound.handle = 0;
  sound.wave.clear();
  sound.wave.shrink_to_fit();
}

std::uint32_t Le32(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return b[0] | (std::uint32_t{b[1]} << 8) | (std::uint32_t{b[2]} << 16) |
         (std::uint32_t{b[3]} << 24);
}
std::uint32_t Le16(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return b[0] | (std::uint32_t{b[1]} << 8);
}

// A RIFF WAVE file with a PCM format chunk (mono or stereo, 8 or 16 bits)
// and a data chunk, every chunk inside the file.
bool IsPlayableWave(const std::vector<char>& file) {
  if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 ||
      std::memcmp(file.data() + 8, "WAVE", 4) != 0) {
    return false;
  }
  bool format = false;
  bool data = false;
  std::size_t at = 12;
  while (file.size() - at >= 8) {
    const char* chunk = file.data() + at;
    const std::size_t size = Le32(chunk + 4);
    if (size > file.size() - at - 8) return false;
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      if (size < 16) return false;
      const std::uint32_t tag = Le16(chunk + 8);
      const std::uint32_t channels = Le16(chunk + 10);
      const std::uint32_t rate = Le32(chunk + 12);
      const std::uint32_t bits = Le16(chunk + 22);
      format =
          tag == 1 && (channels == 1 || channels == 2) && rate > 0 && (bits == 8 || bits == 16);
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      data = format;  // the format must come first
    }
    at += 8 + size + (size & 1);  // chunks are padded to even lengths
    if (at > file.size()) break;
  }
  return format && data;
}

// The file named by `path`: relative paths start at the process's current
// directory; on Linux a backslash separates folders as it does on Windows.
bool ReadFile(const char* path, std::vector<char>& out) {
  std::string name(path);
#if !defined(_WIN32)
  for (char& c : name) {
    if (c == '\\') c = '/';
  }
#endif
  std::ifstream in(name, std::ios::binary | std::ios::ate);
  if (!in) return false;
  const std::streamoff size = in.tellg();
  if (size <= 0 || size > kMaxFileBytes) return false;
  out.resize(static_cast<std::size_t>(size));
  in.seekg(0);
  return static_cast<bool>(in.read(out.data(), static_cast<std::streamsize>(size)));
}

std::int32_t Load(std::uint32_t* handle, const char* path) {
  if (handle == nullptr) return 0;
  if (Sound* old = Find(*handle)) Free(*old);
  *handle = 0;
  if (path == nullptr) return 0;
  Sound* slot = nullptr;
  for (Sound& sound : sounds) {
    if (sound.handle == 0) {
      slot = &sound;
      break;
    }
  }
  if (slot == nullptr) return 0;
  std::vector<char> wave;
  if (!ReadFile(path, wave) || !IsPlayableWave(wave)) return 0;
  if (++lastHandle == 0) lastHandle = 1;
  slot->handle = lastHandle;
  slot->wave = std::move(wave);
  *handle = slot->handle;
  return 1;
}

std::int32_t Play(std::uint32_t handle) {
  Sound* sound = Find(handle);
  if (sound == nullptr) return 0;
#if defined(_WIN32)
  // No output device (a server, Wine without audio): the play fails at once
  // rather than waiting on a device that is not there.
  if (waveOutGetNumDevs() == 0) return 0;
  if (!PlaySoundA(sound->wave.data(), nullptr, SND_MEMORY | SND_ASYNC | SND_NODEFAULT)) return 0;
  playing = sound;
  return 1;
#else
  const char* fail = std::getenv(kGaugeSoundFailPlayVariable);
  if (fail != nullptr && fail[0] != '\0' && std::strcmp(fail, "0") != 0) return 0;
  return 1;
#endif
}

}  // namespace

std::int32_t GAUGE_CALL GaugeSoundLoad(std::uint32_t* handle, const char* path) {
  const std::int32_t result = Load(handle, path);
  Report("load", handle != nullptr ? *handle : 0, path != nullptr ? path : "", result);
  return result;
}

std::int32_t GAUGE_CALL GaugeSoundPlay(std::uint32_t handle, std::uint32_t) {
  const std::int32_t result = Play(handle);
  Report("play", handle, "", result);
  return result;
}

std::int32_t GAUGE_CALL GaugeSoundPrepare(std::uint32_t handle, std::uint32_t) {
  const std::int32_t result = Find(handle) != nullptr ? 1 : 0;
  Report("prepare", handle, "", result);
  return result;
}

std::int32_t GAUGE_CALL GaugeSoundRelease(std::uint32_t* handle) {
  if (handle == nullptr) {
    Report("release", 0, "", 0);
    return 0;
  }
  const std::uint32_t released = *handle;
  Sound* sound = Find(released);
  if (sound != nullptr) Free(*sound);
  *handle = 0;
  const std::int32_t result = sound != nullptr ? 1 : 0;
  Report("release", released, "", result);
  return result;
}

void GAUGE_CALL GaugeSoundSetObserver(GaugeSoundObserver newObserver, void* context) {
  observer = newObserver;
  observerContext = context;
}

#if defined(_WIN32)
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
#endif
