#include "framework/Framework.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "base/HostBarrier.h"
#include "framework/Forms.h"

namespace Framework {
namespace {
constexpr char ClassPrefix[] = "ImpApi_tolva.";

struct ClassSlot {
    char Name[48];
    WNDPROC DefaultProc;
};
constinit HINSTANCE g_instance = nullptr;
constinit LPCSTR g_screenCursor = nullptr; // the arrow until set
constinit ClassSlot g_classes[16] = {};
constinit int g_classCount = 0;
} // namespace

void Initialize(HINSTANCE Instance) { g_instance = Instance; }

void Finalize() {
    TForm::DestroyReleased();
    for (int i = g_classCount; i-- > 0;)
        UnregisterClassA(g_classes[i].Name, g_instance);
    g_classCount = 0;
    g_instance = nullptr;
}

HINSTANCE Instance() { return g_instance; }

void SetScreenCursor(LPCSTR SystemCursor) {
    g_screenCursor = SystemCursor;
    SetCursor(LoadCursorA(nullptr, ScreenCursor()));
}

LPCSTR ScreenCursor() { return g_screenCursor ? g_screenCursor : IDC_ARROW; }

WindowClass RegisterWindowClass(const char *Kind, const char *SystemClass, WNDPROC Proc, UINT Style) {
    char name[sizeof ClassSlot::Name];
    if (std::strlen(ClassPrefix) + std::strlen(Kind) >= sizeof name)
        throw Exception("window class name too long");
    std::strcpy(name, ClassPrefix);
    std::strcat(name, Kind);
    for (int i = 0; i < g_classCount; ++i)
        if (std::strcmp(g_classes[i].Name, name) == 0)
            return {g_classes[i].Name, g_classes[i].DefaultProc};
    if (g_classCount == static_cast<int>(std::size(g_classes)))
        throw Exception("too many window classes");

    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    WNDPROC defaultProc = DefWindowProcA;
    if (SystemClass) {
        if (!GetClassInfoExA(nullptr, SystemClass, &wc))
            throw Exception(std::string("system window class missing: ") + SystemClass);
        defaultProc = wc.lpfnWndProc;
        wc.style &= ~CS_GLOBALCLASS;
    } else {
        wc.style = CS_DBLCLKS | Style;
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    }
    wc.lpfnWndProc = Proc;
    wc.hInstance = g_instance;
    wc.lpszClassName = name;
    if (!RegisterClassExA(&wc))
        throw Exception(std::string("cannot register window class ") + name);
    ClassSlot &slot = g_classes[g_classCount++];
    std::strcpy(slot.Name, name);
    slot.DefaultProc = defaultProc;
    return {slot.Name, slot.DefaultProc};
}

std::string WithFullStop(std::string Message) {
    if (!Message.empty() && static_cast<unsigned char>(Message.back()) > '.')
        Message += '.';
    return Message;
}

namespace {
// The host application's name, as the title of the error message box.
std::string ApplicationTitle() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name(path, n < MAX_PATH ? n : 0);
    name.erase(0, name.find_last_of("\\/") + 1);
    if (auto dot = name.rfind('.'); dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name;
}
} // namespace

void HandleException() noexcept {
    try {
        std::string message;
        try {
            throw;
        } catch (const std::exception &e) {
            message = e.what();
        } catch (...) {
            message = "Unbekannter Fehler";
        }
        // The box takes the focus; it goes back to where it was (the field
        // whose check failed, say), as the system does not always restore it.
        // Its loop serves the host's messages: what the host raises there is
        // kept, and the modal loop around ends with it.
        HWND focus = GetFocus();
        const std::string text = WithFullStop(std::move(message)), title = ApplicationTitle();
        HostBarrier::GuardBox(
            [&] { MessageBoxA(nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONERROR | MB_TASKMODAL); });
        if (focus && IsWindow(focus) && IsWindowVisible(focus) && IsWindowEnabled(focus) && GetFocus() != focus)
            SetFocus(focus);
    } catch (...) {
        MessageBeep(MB_ICONERROR); // out of memory for the text: at least a sound
    }
}

void ProcessMessage(MSG &Msg) noexcept {
    try {
        if ((Msg.message == WM_KEYDOWN) && Msg.hwnd)
            if (TWinControl *control = TWinControl::FindControl(Msg.hwnd); control && control->PreviewKeyDown(Msg))
                return;
        TranslateMessage(&Msg);
        DispatchMessageA(&Msg);
    } catch (...) {
        HandleException();
    }
}

void WipeEditWindow(HWND Edit) noexcept {
    try {
        std::string blank(GetWindowTextLengthA(Edit), '*');
        SetWindowTextA(Edit, blank.c_str());
    } catch (...) {
    }
    SendMessageA(Edit, EM_EMPTYUNDOBUFFER, 0, 0);
    SetWindowTextA(Edit, "");
}

} // namespace Framework
