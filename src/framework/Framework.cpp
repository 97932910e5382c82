#include "framework/Framework.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

#include "base/HostBarrier.h"
#include "base/DpiUnaware.h"
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
// The scope of the message box being made: the thread's own context comes
// back with the first message of the box's modal loop, which the loop hands
// to the message filter outside any window procedure.
constinit DpiUnaware *g_boxScope = nullptr;

LRESULT CALLBACK RestoreContextInTheLoop(int Code, WPARAM WParam, LPARAM LParam) {
    if (Code == MSGF_DIALOGBOX && g_boxScope)
        std::exchange(g_boxScope, nullptr)->Restore();
    return CallNextHookEx(nullptr, Code, WParam, LParam);
}
} // namespace

int ShowMessageBox(const std::string &Text, const char *Caption, UINT Type) {
    DpiUnaware unaware;
    DpiUnaware *outer = std::exchange(g_boxScope, &unaware);
    HHOOK hook = SetWindowsHookExA(WH_MSGFILTER, RestoreContextInTheLoop, nullptr, GetCurrentThreadId());
    // The box's loop serves the host's messages: what the host raises there
    // is kept and the box closed; the caller's modal loop or run ends with it.
    int result = 0;
    HostBarrier::GuardBox([&] { result = MessageBoxA(nullptr, Text.c_str(), Caption, Type); });
    if (hook)
        UnhookWindowsHookEx(hook);
    g_boxScope = outer;
    return result;
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
        HWND focus = GetFocus();
        ShowMessageBox(WithFullStop(std::move(message)), ApplicationTitle().c_str(),
                       MB_OK | MB_ICONERROR | MB_TASKMODAL);
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

void NameWindow(HWND Window, const std::string &Name) noexcept {
    if (ATOM atom = Name.empty() ? 0 : AddAtomA(Name.c_str()))
        if (!SetPropA(Window, NameProperty, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(atom))))
            DeleteAtom(atom);
}

void UnnameWindow(HWND Window) noexcept {
    if (HANDLE atom = RemovePropA(Window, NameProperty))
        DeleteAtom(static_cast<ATOM>(reinterpret_cast<UINT_PTR>(atom)));
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
