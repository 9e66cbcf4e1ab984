// Connects panelhost to the GaugeSound library that a module (the ignition
// selector) has already brought into the process, so every sound call is
// recorded by the host that is current when the call happens.
#include "host/host.h"
#include "sound/gauge_sound.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace panelhost {
namespace {

using SetObserver = void(GAUGE_CALL*)(GaugeSoundObserver observer, void* context);

// Called from inside the sound library, itself called from a module: no
// exception may leave it, so a call made while no host runs is not recorded.
void GAUGE_CALL RecordSoundCall(const char* operation, std::uint32_t handle, const char* path,
                                std::int32_t result, void*) {
  try {
    Host::Current().RecordSound(
        {operation != nullptr ? operation : "", handle, path != nullptr ? path : "", result});
  } catch (...) {
  }
}

}  // namespace

void ConnectSoundLibrary(Host&) {
  SetObserver setObserver = nullptr;
#if defined(_WIN32)
  // The library is loaded only as a module's import; its observer setter is
  // ordinal 100 and has no name.
  HMODULE library = GetModuleHandleA("GaugeSound.dll");
  if (library == nullptr) return;
  setObserver = reinterpret_cast<SetObserver>(
      reinterpret_cast<void (*)()>(GetProcAddress(library, MAKEINTRESOURCEA(100))));
#else
  // RTLD_NOLOAD finds the copy a module pulled in and never loads another.
  void* library = dlopen("libGaugeSound.so", RTLD_LAZY | RTLD_NOLOAD);
  if (library == nullptr) return;
  setObserver = reinterpret_cast<SetObserver>(dlsym(library, "GaugeSoundSetObserver"));
  // Drops only the reference dlopen just took; the module keeps its own.
  dlclose(library);
#endif
  if (setObserver != nullptr) setObserver(&RecordSoundCall, nullptr);
}

}  // namespace panelhost
