#include "framework/module.h"

#if defined(_WIN32)
#include <windows.h>

// The library entry answers every load and unload notification with success
// and does nothing else.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
#endif

namespace gauge {

void GAUGE_CALL ModuleHookNothing() {}
void GAUGE_CALL ModuleDeinitNothing() {}

}  // namespace gauge
