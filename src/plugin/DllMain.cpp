// Load and unload: the units initialise in a fixed order (framework, generic
// layer, variant layer) and finalise in reverse. Nothing else happens here:
// the loader lock is held.
#include <windows.h>

#include "framework/Framework.h"
#include "plugin/ImpApiMain.h"
#include "plugin/ImpApi_tolva_Main.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE Instance, DWORD Reason, LPVOID) {
    switch (Reason) {
    case DLL_PROCESS_ATTACH:
        DisableThreadLibraryCalls(Instance);
        Framework::Initialize(Instance);
        ImpApiMain::Initialize();
        ImpApi_tolva_Main::Initialize();
        break;
    case DLL_PROCESS_DETACH:
        ImpApi_tolva_Main::Finalize();
        ImpApiMain::Finalize();
        Framework::Finalize();
        break;
    default:
        break;
    }
    return TRUE;
}
