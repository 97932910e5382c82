#pragma once
// Shared by the UI tests: the framework initialised for the test program,
// finding windows, reading their layout, sending keys, and a script that acts
// through a thread timer while a modal loop runs.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

constexpr const char *FormClass = "ImpApi_tolva.Form";

// Framework::Initialize with the test program's module, once.
void InitFrameworkForTests();

// Serves the thread's queue for the given time (only where time itself is
// what a test checks: that nothing happens within it).
void Pump(DWORD Milliseconds);
// Serves the thread's queue until it is idle: nothing arrived during two short
// waits in a row (Wine delivers the X server's events while the thread waits).
// LimitMs bounds a queue that never rests.
void PumpIdle(DWORD LimitMs = 5000);
// Serves the thread's queue until Done holds; false when LimitMs passed first.
bool PumpUntil(const std::function<bool()> &Done, DWORD LimitMs = 5000);

HWND FindForm(const char *Caption);
// The component name a framework window carries, empty for any other window.
std::string ComponentName(HWND Window);
// This process's form whose component has this name (the layout's form name).
HWND FindNamedForm(const char *Name);
// The control of Parent (any depth) whose component has this name.
HWND FindNamed(HWND Parent, const char *Name);
// The first child of Parent (any depth) with this class suffix ("Button") and text.
HWND FindChild(HWND Parent, const char *Kind, const char *Text);
std::string WindowText(HWND Window);
SIZE ClientSize(HWND Window);
// The window's rectangle in its parent's client coordinates.
RECT ChildRect(HWND Window);
LONG Style(HWND Window);
LONG ExStyle(HWND Window);
LOGFONTA WindowFont(HWND Window);

// A form as its layout makes it: this client size, centred on the screen, the
// style bits Must set and MustNot clear, and ExMust set.
void ExpectFrame(HWND Form, int ClientWidth, int ClientHeight, LONG Must, LONG MustNot, LONG ExMust = 0);
// One control of a layout, found in its form by its component name. A text
// of null is not checked; a bound of Any is not checked (a label that sizes
// itself); a font height or weight of 0 is not checked, and a font checked is
// "MS Sans Serif"; the style bits under StyleMask equal Style.
constexpr int Any = -32768;
struct LayoutEntry {
    const char *name;
    const char *text;
    int left, top, width, height;
    int fontHeight = 0, fontWeight = 0;
    LONG styleMask = 0, style = 0;
};
void ExpectLayout(HWND Form, const std::vector<LayoutEntry> &Entries);
// Screen readers name a field by the window just before it (z-order): its label.
void ExpectLabelBefore(HWND Form, const char *Field, const char *Label);

// Queued as a user's keys would be: through the modal loop's translation.
void PostKey(HWND Window, WORD Key);
void PostChars(HWND Window, const std::string &Text);
void PostClick(HWND Button);

// Runs Steps one per tick (every 15 ms) on this thread; a step returns false
// to be tried again at the next tick (waiting for a window, say). After five
// seconds it reports a failure and closes the thread's windows so that no
// modal loop hangs the test.
class ModalScript {
public:
    using Step = std::function<bool()>;
    explicit ModalScript(std::vector<Step> Steps);
    ~ModalScript();
    bool Done() const { return next_ == steps_.size(); }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    std::vector<Step> steps_;
    size_t next_ = 0;
    int ticks_ = 0;
    UINT_PTR timer_;
};

// A step that always succeeds.
template <class F> ModalScript::Step Do(F f) {
    return [f] {
        f();
        return true;
    };
}

// The visible message box ("#32770") of this thread, if any, and its text.
HWND FindMessageBox();
std::string MessageBoxText(HWND Box);
