// Load and unload: the units initialise in a fixed order (framework, generic
// layer, variant layer) and finalise in reverse. Nothing else happens here:
// the loader lock is held.
#include <windows.h>

#include "framework/Framework.h"
#include "plugin/ImpApiMain.h"
#include "plugin/ImpApi_tolva_Main.h"
#include "dll/RuntimeLocks.h"
#include "dll/StackGuard.h"

// Not protected itself: it changes the guard while it runs.
extern "C" __attribute__((no_stack_protector)) BOOL WINAPI DllMain(HINSTANCE Instance, DWORD Reason,
                                                                   LPVOID Reserved) {
    switch (Reason) {
    case DLL_PROCESS_ATTACH:
        StackGuard::Seed();
        DisableThreadLibraryCalls(Instance);
        Framework::Initialize(Instance);
        ImpApiMain::Initialize();
        ImpApi_tolva_Main::Initialize();
        break;
    case DLL_PROCESS_DETACH:
        ImpApi_tolva_Main::Finalize();
        ImpApiMain::Finalize();
        // At process exit the windows and classes go with the process; only
        // an unload while the host lives needs them cleaned up.
        if (!Reserved) {
            Framework::Finalize();
            RuntimeLocks::ReleaseAtUnload();
        }
        break;
    default:
        break;
    }
    return TRUE;
}
