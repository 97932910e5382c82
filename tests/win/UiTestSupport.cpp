#include "UiTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

#include "framework/Framework.h"

void InitFrameworkForTests() {
    if (!Framework::Instance())
        Framework::Initialize(GetModuleHandleA(nullptr));
}

void Pump(DWORD Milliseconds) {
    DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            Framework::ProcessMessage(msg);
        if (GetTickCount() - start >= Milliseconds)
            break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    } while (GetTickCount() - start < Milliseconds);
}

namespace {
bool ServeQueue() {
    bool any = false;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        Framework::ProcessMessage(msg);
        any = true;
    }
    return any;
}
} // namespace

void PumpIdle(DWORD LimitMs) {
    const DWORD start = GetTickCount();
    for (int quiet = 0; quiet < 2 && GetTickCount() - start < LimitMs;) {
        if (ServeQueue())
            quiet = 0;
        else if (MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT) == WAIT_TIMEOUT)
            ++quiet;
    }
}

bool PumpUntil(const std::function<bool()> &Done, DWORD LimitMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        ServeQueue();
        if (Done())
            return true;
        if (GetTickCount() - start >= LimitMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

namespace {
// Only this process's windows: ctest runs test programs side by side on one
// Wine desktop, and another program's progress window has the same caption.
HWND FindOwnForm(const char *Caption, const std::function<bool(HWND)> &Match) {
    for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, FormClass, Caption));) {
        DWORD process = 0;
        GetWindowThreadProcessId(w, &process);
        if (process == GetCurrentProcessId() && Match(w))
            return w;
    }
    return nullptr;
}
} // namespace

HWND FindForm(const char *Caption) {
    return FindOwnForm(Caption, [](HWND) { return true; });
}

std::string ComponentName(HWND Window) {
    char name[256];
    const auto atom = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(GetPropA(Window, Framework::NameProperty)));
    return std::string(name, atom ? GetAtomNameA(atom, name, sizeof name) : 0);
}

HWND FindNamedForm(const char *Name) {
    return FindOwnForm(nullptr, [Name](HWND w) { return ComponentName(w) == Name; });
}

namespace {
struct NameSearch {
    const char *name;
    HWND found;
};
BOOL CALLBACK MatchName(HWND w, LPARAM p) {
    auto &s = *reinterpret_cast<NameSearch *>(p);
    if (ComponentName(w) != s.name)
        return TRUE;
    s.found = w;
    return FALSE;
}
} // namespace

HWND FindNamed(HWND Parent, const char *Name) {
    NameSearch s{Name, nullptr};
    EnumChildWindows(Parent, MatchName, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

namespace {
struct ChildSearch {
    std::string cls;
    const char *text;
    HWND found;
};
BOOL CALLBACK MatchChild(HWND w, LPARAM p) {
    auto &s = *reinterpret_cast<ChildSearch *>(p);
    char cls[64];
    GetClassNameA(w, cls, sizeof cls);
    if (s.cls == cls && (!s.text || WindowText(w) == s.text)) {
        s.found = w;
        return FALSE;
    }
    return TRUE;
}
} // namespace

HWND FindChild(HWND Parent, const char *Kind, const char *Text) {
    ChildSearch s{std::string("ImpApi_tolva.") + Kind, Text, nullptr};
    EnumChildWindows(Parent, MatchChild, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

std::string WindowText(HWND Window) {
    char text[1024];
    int n = GetWindowTextA(Window, text, sizeof text);
    return std::string(text, n);
}

SIZE ClientSize(HWND Window) {
    RECT r;
    GetClientRect(Window, &r);
    return {r.right, r.bottom};
}

RECT ChildRect(HWND Window) {
    RECT r;
    GetWindowRect(Window, &r);
    MapWindowPoints(nullptr, GetParent(Window), reinterpret_cast<POINT *>(&r), 2);
    return r;
}

LONG Style(HWND Window) { return GetWindowLongA(Window, GWL_STYLE); }
LONG ExStyle(HWND Window) { return GetWindowLongA(Window, GWL_EXSTYLE); }

LOGFONTA WindowFont(HWND Window) {
    LOGFONTA f{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(Window, WM_GETFONT, 0, 0)), sizeof f, &f);
    return f;
}

void ExpectFrame(HWND Form, int ClientWidth, int ClientHeight, LONG Must, LONG MustNot, LONG ExMust) {
    const SIZE c = ClientSize(Form);
    EXPECT_EQ(c.cx, ClientWidth);
    EXPECT_EQ(c.cy, ClientHeight);
    EXPECT_EQ(Style(Form) & Must, Must);
    EXPECT_EQ(Style(Form) & MustNot, 0);
    EXPECT_EQ(ExStyle(Form) & ExMust, ExMust);
    RECT wr;
    GetWindowRect(Form, &wr);
    EXPECT_NEAR((wr.left + wr.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR((wr.top + wr.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
}

void ExpectLayout(HWND Form, const std::vector<LayoutEntry> &Entries) {
    for (const LayoutEntry &e : Entries) {
        SCOPED_TRACE(e.name);
        const HWND window = FindNamed(Form, e.name);
        ASSERT_TRUE(window);
        if (e.text) {
            EXPECT_EQ(WindowText(window), e.text);
        }
        const RECT r = ChildRect(window);
        const int actual[] = {r.left, r.top, r.right - r.left, r.bottom - r.top};
        const int expected[] = {e.left, e.top, e.width, e.height};
        const char *const names[] = {"left", "top", "width", "height"};
        for (int i = 0; i < 4; ++i)
            if (expected[i] != Any) {
                EXPECT_EQ(actual[i], expected[i]) << names[i];
            }
        if (e.fontHeight || e.fontWeight) {
            const LOGFONTA f = WindowFont(window);
            EXPECT_STREQ(f.lfFaceName, "MS Sans Serif");
            if (e.fontHeight) {
                EXPECT_EQ(f.lfHeight, e.fontHeight);
            }
            if (e.fontWeight) {
                EXPECT_EQ(f.lfWeight, e.fontWeight);
            }
        }
        EXPECT_EQ(Style(window) & e.styleMask, e.style);
    }
}

void ExpectLabelBefore(HWND Form, const char *Field, const char *Label) {
    const HWND field = FindNamed(Form, Field);
    ASSERT_TRUE(field);
    EXPECT_EQ(ComponentName(GetWindow(field, GW_HWNDPREV)), Label) << Field;
}

void PostKey(HWND Window, WORD Key) {
    UINT scan = MapVirtualKeyA(Key, MAPVK_VK_TO_VSC);
    PostMessageA(Window, WM_KEYDOWN, Key, 1 | (scan << 16));
    PostMessageA(Window, WM_KEYUP, Key, 1 | (scan << 16) | 0xC0000000);
}

void PostChars(HWND Window, const std::string &Text) {
    for (char c : Text)
        PostMessageA(Window, WM_CHAR, static_cast<unsigned char>(c), 1);
}

void PostClick(HWND Button) { PostMessageA(Button, BM_CLICK, 0, 0); }

namespace {
ModalScript *g_script = nullptr;

BOOL CALLBACK CloseWindow(HWND w, LPARAM) {
    if (IsWindowVisible(w))
        PostMessageA(w, WM_CLOSE, 0, 0);
    return TRUE;
}
} // namespace

ModalScript::ModalScript(std::vector<Step> Steps) : steps_(std::move(Steps)) {
    g_script = this;
    timer_ = SetTimer(nullptr, 0, 15, Tick);
}

ModalScript::~ModalScript() {
    KillTimer(nullptr, timer_);
    g_script = nullptr;
    EXPECT_TRUE(Done()) << "script stopped before step " << next_;
}

void CALLBACK ModalScript::Tick(HWND, UINT, UINT_PTR, DWORD) {
    ModalScript *s = g_script;
    if (!s)
        return;
    try {
        if (++s->ticks_ == 330) { // also when a modal loop outlives its script
            ADD_FAILURE() << "script timed out at step " << s->next_;
            s->next_ = s->steps_.size();
            EnumThreadWindows(GetCurrentThreadId(), CloseWindow, 0);
            return;
        }
        if (!s->Done() && s->steps_[s->next_]())
            ++s->next_;
    } catch (...) {
        ADD_FAILURE() << "script step threw";
        s->next_ = s->steps_.size();
    }
}

namespace {
BOOL CALLBACK MatchMessageBox(HWND w, LPARAM p) {
    char cls[16];
    GetClassNameA(w, cls, sizeof cls);
    if (std::strcmp(cls, "#32770") == 0 && IsWindowVisible(w)) {
        *reinterpret_cast<HWND *>(p) = w;
        return FALSE;
    }
    return TRUE;
}
} // namespace

HWND FindMessageBox() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), MatchMessageBox, reinterpret_cast<LPARAM>(&found));
    return found;
}

std::string MessageBoxText(HWND Box) { return WindowText(GetDlgItem(Box, 0xFFFF)); }
