// The screenshot host: loads ImpApi_tolva.dll by its full path, as a host
// does, brings each window of the plug-in into the state a user meets, and
// saves a picture of the window itself (its own device context, not the
// screen) as a 32-bit BMP. tools/screenshots/screenshots.py runs it and turns
// the pictures into PNGs.
//
//   impapi-capture DLL WORKDIR OUTDIR
//
// WORKDIR holds import\ (the target folder) and tolva\tolva.ini pointing at a
// portal whose first answer trickles in and whose second is an error answer.
// Prints "name width height" per picture; exits with 1 when a window did not
// come or a call ended with another code than expected.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ImpApi_tolva.h"

namespace {

std::string g_out;
bool g_failed = false;

void Fail(const std::string &What) {
    std::fprintf(stderr, "capture: %s\n", What.c_str());
    g_failed = true;
}

// The whole window, frame and caption included, as it is painted now. The
// caret is hidden while copying: it blinks, and a picture must not depend on
// the moment.
void Capture(HWND Window, const char *Name) {
    RedrawWindow(Window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    const bool caretHidden = HideCaret(nullptr);
    RECT r;
    GetWindowRect(Window, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = -height; // top-down rows
    info.biPlanes = 1;
    info.biBitCount = 32;
    info.biCompression = BI_RGB;
    void *bits = nullptr;
    HDC source = GetWindowDC(Window);
    HBITMAP bitmap = CreateDIBSection(source, reinterpret_cast<BITMAPINFO *>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(source);
    HGDIOBJ old = SelectObject(memory, bitmap);
    const bool copied = bitmap && BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
    GdiFlush();
    if (caretHidden)
        ShowCaret(nullptr);
    if (copied) {
        const DWORD size = DWORD(width) * DWORD(height) * 4;
        BITMAPFILEHEADER head{};
        head.bfType = 0x4D42; // "BM"
        head.bfOffBits = sizeof head + sizeof info;
        head.bfSize = head.bfOffBits + size;
        const std::string path = g_out + "\\" + Name + ".bmp";
        if (FILE *f = std::fopen(path.c_str(), "wb")) {
            std::fwrite(&head, sizeof head, 1, f);
            std::fwrite(&info, sizeof info, 1, f);
            std::fwrite(bits, 1, size, f);
            std::fclose(f);
            std::printf("%s %d %d\n", Name, width, height);
            std::fflush(stdout);
        } else {
            Fail("cannot write " + path);
        }
    } else {
        Fail(std::string("cannot copy the window for ") + Name);
    }
    SelectObject(memory, old);
    DeleteDC(memory);
    if (bitmap)
        DeleteObject(bitmap);
    ReleaseDC(Window, source);
}

struct Search {
    const char *caption;
    HWND found;
};

BOOL CALLBACK MatchVisible(HWND w, LPARAM p) {
    auto &s = *reinterpret_cast<Search *>(p);
    char text[256];
    GetWindowTextA(w, text, sizeof text);
    if (IsWindowVisible(w) && std::strcmp(text, s.caption) == 0) {
        s.found = w;
        return FALSE;
    }
    return TRUE;
}

// A visible top-level window of this thread with that caption.
HWND FindWindowOfThread(const char *Caption) {
    Search s{Caption, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), MatchVisible, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

// The child of Parent (any depth) with that text: buttons are found by their caption.
HWND FindChildByText(HWND Parent, const char *Text) {
    Search s{Text, nullptr};
    EnumChildWindows(Parent, MatchVisible, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

// A user's typing, queued so that the modal loop translates and dispatches it.
void Type(HWND Window, const char *Text) {
    for (const char *c = Text; *c; ++c)
        PostMessageA(Window, WM_CHAR, static_cast<unsigned char>(*c), 1);
}

// Steps taken one per tick of a thread timer while the plug-in's modal loop
// runs; a step returns false to be tried again at the next tick.
using Step = std::function<bool()>;
std::vector<Step> g_steps;
size_t g_next = 0;
DWORD g_started = 0;

BOOL CALLBACK CloseVisible(HWND w, LPARAM) {
    if (IsWindowVisible(w))
        PostMessageA(w, WM_CLOSE, 0, 0);
    return TRUE;
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (g_next == g_steps.size())
        return;
    // Emulated 32-bit Wine is slow to start a window, but never this slow.
    if (GetTickCount() - g_started > 30000) {
        Fail("timed out at step " + std::to_string(g_next));
        g_next = g_steps.size();
        EnumThreadWindows(GetCurrentThreadId(), CloseVisible, 0);
        return;
    }
    try {
        if (g_steps[g_next]())
            ++g_next;
    } catch (...) {
        Fail("a step threw");
        g_next = g_steps.size();
    }
}

// Runs Call while Steps act on the windows it shows.
template <class F> auto WithSteps(std::vector<Step> Steps, F Call) {
    g_steps = std::move(Steps);
    g_next = 0;
    g_started = GetTickCount();
    UINT_PTR timer = SetTimer(nullptr, 0, 20, Tick);
    auto result = Call();
    KillTimer(nullptr, timer);
    if (g_next != g_steps.size())
        Fail("steps left undone: " + std::to_string(g_steps.size() - g_next));
    return result;
}

// Steps that wait for the window, type, let it settle, take the picture and click a button.
HWND g_window = nullptr;
std::vector<Step> ShowTypeCapture(const char *Caption, const char *Typed, const char *Name, const char *Button) {
    auto settled = std::make_shared<int>(0);
    return {
        [=] { return (g_window = FindWindowOfThread(Caption)) != nullptr; },
        [=] {
            if (Typed)
                Type(GetFocus(), Typed);
            return true;
        },
        [=] { return ++*settled == 5; }, // the typed keys and the paint are through
        [=] {
            Capture(g_window, Name);
            return true;
        },
        [=] {
            HWND button = FindChildByText(g_window, Button);
            if (!button)
                Fail(std::string("no button ") + Button + " in " + Caption);
            PostMessageA(button ? button : g_window, button ? BM_CLICK : WM_CLOSE, 0, 0);
            return true;
        },
    };
}

void Expect(const char *What, int32_t Got, int32_t Expected) {
    if (Got != Expected)
        Fail(std::string(What) + " returned " + std::to_string(Got) + ", expected " + std::to_string(Expected));
}

// The progress window during a download: the host keeps it alive by serving
// the queue during the progress pulses. The bar's own timer would move it by
// the clock; the capture lets a fixed number of its ticks through instead.
HWND g_progressTimer = nullptr;
int g_pulses = 0;

BOOL CALLBACK FindTimerWindow(HWND w, LPARAM) {
    char cls[64];
    GetClassNameA(w, cls, sizeof cls);
    DWORD process = 0;
    GetWindowThreadProcessId(w, &process);
    if (process == GetCurrentProcessId() && std::strcmp(cls, "ImpApi_tolva.Timer") == 0) {
        g_progressTimer = w;
        return FALSE;
    }
    return TRUE;
}

void ServeQueueWithoutTimers() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_TIMER && msg.hwnd && msg.hwnd == g_progressTimer)
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void __stdcall ProgressCallback(int32_t Kind, int32_t, const char *) {
    if (Kind != 2 || ++g_pulses != 1)
        return;
    // The first pulse comes right after the window was shown.
    HWND window = FindWindowOfThread("Info");
    if (!window) {
        Fail("no progress window at the first pulse");
        return;
    }
    g_progressTimer = nullptr;
    HWND next = nullptr;
    while (!g_progressTimer && (next = FindWindowExA(HWND_MESSAGE, next, "ImpApi_tolva.Timer", nullptr)))
        FindTimerWindow(next, 0);
    ServeQueueWithoutTimers();
    if (!g_progressTimer) {
        Fail("the progress bar has no timer");
        return;
    }
    for (int tick = 0; tick < 9; ++tick) // nine seconds into the download
        SendMessageA(g_progressTimer, WM_TIMER, 1, 0);
    ServeQueueWithoutTimers();
    Capture(window, "download-progress");
    HWND button = FindChildByText(window, "Download abbrechen");
    if (!button) {
        Fail("no cancel button in the progress window");
        return;
    }
    SendMessageA(button, BM_CLICK, 0, 0);
    ServeQueueWithoutTimers();
    Capture(window, "download-cancelled");
}

// The depot-number prompt belongs to the variant chosen in the registry; the
// setting is removed again when the scene ends.
constexpr char VariantKey[] = "Software\\Korvane\\VEKT\\ImportAPI\\tolva";
struct VariantSetting {
    explicit VariantSetting(const char *Name) {
        HKEY key;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, VariantKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
            ERROR_SUCCESS) {
            Fail("cannot set the variant");
            return;
        }
        RegSetValueExA(key, "API_Variante", 0, REG_SZ, reinterpret_cast<const BYTE *>(Name), DWORD(std::strlen(Name) + 1));
        RegCloseKey(key);
    }
    ~VariantSetting() { RegDeleteKeyA(HKEY_LOCAL_MACHINE, VariantKey); }
};

template <class F> F Proc(HMODULE Module, const char *Name) {
    auto proc = reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(Module, Name)));
    if (!proc) {
        std::fprintf(stderr, "capture: export %s missing\n", Name);
        std::exit(2);
    }
    return proc;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: impapi-capture DLL WORKDIR OUTDIR\n");
        return 2;
    }
    g_out = argv[3];
    const std::string target = std::string(argv[2]) + "\\import";
    HMODULE plugin = LoadLibraryA(argv[1]);
    if (!plugin) {
        std::fprintf(stderr, "capture: %s not loaded (error %lu)\n", argv[1], GetLastError());
        return 2;
    }
    // A host's usual start: check the versions, register the callback.
    Expect("AppVersionCheck", Proc<ImpApiTolvaAppVersionCheck>(plugin, "AppVersionCheck")(40343), 0);
    auto dataDialog = Proc<ImpApiTolvaApiDataDialog>(plugin, "ApiDataDialog");
    auto exportXml = Proc<ImpApiTolvaExportXML>(plugin, "ExportXML");
    Proc<ImpApiTolvaRegProgrCallback>(plugin, "RegProgrCallback")(ProgressCallback);
    const double initial = 0;
    const auto import = [&](const char *Params) {
        return [=] { return exportXml(target.c_str(), "4711", 0, &initial, Params); };
    };

    {
        char user[128] = "", password[128] = "", extra[4096] = "";
        Expect("ApiDataDialog (empty)",
               WithSteps(ShowTypeCapture("tolva Zugangsdaten", nullptr, "access-data-empty", "Abbrechen"),
                         [&] { return dataDialog(user, password, extra); }),
               2);
    }
    {
        char user[128] = "b.mueller", password[128] = "geheim", extra[4096] = "";
        Expect("ApiDataDialog (filled)",
               WithSteps(ShowTypeCapture("tolva Zugangsdaten", nullptr, "access-data-filled", "Abbrechen"),
                         [&] { return dataDialog(user, password, extra); }),
               2);
    }
    Expect("ExportXML without a password",
           WithSteps(ShowTypeCapture("tolva Zugangsberechtigung", "geheim", "password-prompt", "Abbrechen"),
                     import("UserLogin=b.mueller")),
           -15);
    {
        VariantSetting variant("lintessar");
        Expect("ExportXML in the depot-number variant",
               WithSteps(ShowTypeCapture("Depotnummer-Abfrage", "1234567890", "depot-number-prompt", "Abbrechen"),
                         import("UserLogin=b.mueller\nPassword=geheim")),
               -16);
    }
    Expect("ExportXML cancelled during the download", import("UserLogin=b.mueller\nPassword=geheim")(), -1015);
    if (g_pulses == 0)
        Fail("no progress pulse");
    Expect("ExportXML with an error answer",
           WithSteps(ShowTypeCapture("Fehler", nullptr, "portal-error", "OK"), import("UserLogin=b.mueller\nPassword=geheim")),
           -30);
    Proc<ImpApiTolvaRegProgrCallback>(plugin, "RegProgrCallback")(nullptr);
    FreeLibrary(plugin);
    return g_failed ? 1 : 0;
}
