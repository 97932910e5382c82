#include "framework/Framework.h"

namespace Framework {
namespace {
constinit HINSTANCE g_instance = nullptr;
constinit LPCSTR g_screenCursor = nullptr; // the arrow until set
} // namespace

void Initialize(HINSTANCE Instance) { g_instance = Instance; }
void Finalize() { g_instance = nullptr; }
HINSTANCE Instance() { return g_instance; }

} // namespace Framework

namespace Framework {

void SetScreenCursor(LPCSTR SystemCursor) {
    g_screenCursor = SystemCursor;
    SetCursor(LoadCursorA(nullptr, SystemCursor));
}

LPCSTR ScreenCursor() { return g_screenCursor ? g_screenCursor : IDC_ARROW; }

} // namespace Framework
