#pragma once
// The window framework's module state: the plug-in's own instance handle, its
// window classes, the screen cursor, and the error message box.
#include <windows.h>

#include <exception>
#include <string>
#include <string_view>

#include "core/Texts.h"

// The characters WM_CHAR brings for keys that type no letter.
namespace CharCode {
inline constexpr char CtrlC = 3, Backspace = 8, Enter = 13, CtrlV = 22, CtrlX = 24, Escape = 27;
} // namespace CharCode

namespace Framework {

void Initialize(HINSTANCE Instance);
// Unregisters the window classes registered since Initialize.
void Finalize();
// The DLL's own module handle: window classes are registered with it.
HINSTANCE Instance();

// The application-wide screen cursor: one of the system cursors (IDC_WAIT,
// IDC_APPSTARTING, IDC_ARROW, ...). The framework's windows show it while the
// mouse is over them.
void SetScreenCursor(LPCSTR SystemCursor);
LPCSTR ScreenCursor();

// The window class "ImpApi_tolva.<Kind>", registered on first use with the
// plug-in's instance: an own class when SystemClass is null, else a superclass
// of that system class ("EDIT", "BUTTON", ...). DefaultProc is where unhandled
// messages go (DefWindowProcA or the system class's procedure).
struct WindowClass {
    const char *Name;
    WNDPROC DefaultProc;
};
WindowClass RegisterWindowClass(const char *Kind, const char *SystemClass, WNDPROC Proc, UINT Style = 0);

// The common exception base: a message (CP1252) and a help context number.
class Exception : public std::exception {
public:
    explicit Exception(std::string Message, int HelpContext = 0)
        : Message(std::move(Message)), HelpContext(HelpContext) {}
    const char *what() const noexcept override { return Message.c_str(); }
    std::string Message;
    int HelpContext;
};

// The text the error message box shows: the message, plus a full stop when its
// last byte sorts after '.'.
std::string WithFullStop(std::string Message);
// MessageBoxA without owner: the box is made DPI-unaware like the plug-in's
// other windows, and its modal loop runs in the thread's own context, since it
// serves the host's windows and timers.
int ShowMessageBox(const std::string &Text, const char *Caption, UINT Type);
// Call only inside a catch block: shows the caught exception's message in the
// error message box. Never throws.
void HandleException() noexcept;

// One message of a modal loop: keyboard navigation (Tab, Enter, Escape), then
// translation and dispatch. An exception from the navigation goes to the error
// message box.
void ProcessMessage(MSG &Msg) noexcept;

// The window property that names a framework window after its component: a
// local atom of the component's Name. Tests and tools find a control by it,
// whatever its place, class or text.
inline constexpr char NameProperty[] = "ImpApi_tolva.Name";
void NameWindow(HWND Window, const std::string &Name) noexcept;
// Takes the name off again (the window is being destroyed).
void UnnameWindow(HWND Window) noexcept;

// Overwrites an edit window's text in its own buffer (same length, so in
// place), empties its undo buffer, then empties the text.
void WipeEditWindow(HWND Edit) noexcept;

} // namespace Framework
