// What the host raises in its own callback: a structured exception (as a
// Delphi host raises its exceptions, or an access violation) or a C++
// exception, at the first, a middle or the closing tick or at a protocol line.
// The host's own frame around ExportXML catches what comes back. Each time the
// run ends there, with nothing more reported or sent and no file written, the
// progress window closed and the next import (from another thread) working.
// Also: a nested ExportXML from the callback, and GetExportErrorMsg from
// another thread while runs replace the portal's error.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "ImportTestSupport.h"
#include "Portal.h"
#include "TestSupport.h"
#include "base/HostBarrier.h"

namespace {

constexpr DWORD DelphiExceptionCode = 0x0EEDFADE;

enum class Raise { Delphi, AccessViolation, Cpp, CppThroughDestructor };
enum class When { FirstTick, MiddleTick, ClosingTick, OverrideLine, AnswerLine };

struct Case {
    Raise raise;
    When when;
};

// The host's state during one run. The callback holds no object with a
// destructor: a frame of the host's is unwound by the plug-in's barrier.
struct HostScene {
    Case what{};
    int ticks = 0;
    int windowsAtFirstTick = 0; // the progress window among them
    bool raised = false;
    int callsAfter = 0;
    int delphiObject = 0; // the "exception object" a Delphi host passes along
    int destroyed = 0;    // objects of the host's frames destroyed on the way out
} g_host;


// Top-level windows of this thread (the progress window among them).
BOOL CALLBACK CountWindow(HWND, LPARAM Count) { return ++*reinterpret_cast<int *>(Count), TRUE; }
int ThreadWindows() {
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), &CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

void RaiseNow() {
    g_host.raised = true;
    switch (g_host.what.raise) {
    case Raise::Delphi: {
        // As Delphi's RaiseExcept: code, non-continuable, address and object.
        const ULONG_PTR arguments[7] = {0x401000, reinterpret_cast<ULONG_PTR>(&g_host.delphiObject)};
        RaiseException(DelphiExceptionCode, EXCEPTION_NONCONTINUABLE, 7, arguments);
        break;
    }
    case Raise::AccessViolation: {
        static int *volatile nowhere = nullptr;
        *nowhere = 1;
        break;
    }
    case Raise::Cpp:
#if defined(__x86_64__)
        // A C++ host's throw (on x64 it travels as a structured exception).
        throw std::runtime_error("host");
#else
        // On i386 a GCC host's throw unwinds by its own tables and cannot
        // leave its module; an MSVC host's throw is this structured exception.
        RaiseException(MsvcCppExceptionCode, EXCEPTION_NONCONTINUABLE, 0, nullptr);
#endif
        break;
    case Raise::CppThroughDestructor: {
        // The same from a frame that holds an object: the host's runtime
        // destroys it on the way out, and then goes on unwinding. The thrown
        // object is destroyed too, once nobody is left to catch it.
        struct Counted {
            ~Counted() { ++g_host.destroyed; }
        } counted;
        throw Counted();
    }
    }
}

// Whether Address lies in this program's image: where the host's own fault was.
bool InThisProgram(const void *Address) {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCSTR>(Address), &module);
    return module == GetModuleHandleA(nullptr);
}

void __stdcall HostCallback(int32_t kind, int32_t, const char *text) {
    if (g_host.raised) {
        ++g_host.callsAfter;
        return;
    }
    if (kind == ckProgress && g_host.ticks == 0)
        g_host.windowsAtFirstTick = ThreadWindows();
    switch (g_host.what.when) {
    case When::FirstTick:
    case When::MiddleTick:
        if (kind == ckProgress && ++g_host.ticks == (g_host.what.when == When::FirstTick ? 1 : 3))
            RaiseNow();
        break;
    case When::ClosingTick:
        // The progress window is hidden before the closing tick.
        if (kind == ckProgress && ThreadWindows() < g_host.windowsAtFirstTick)
            RaiseNow();
        if (kind == ckProgress)
            ++g_host.ticks;
        break;
    case When::OverrideLine:
        if (std::strncmp(text, "Konfigurationsdatei aktiv", 25) == 0)
            RaiseNow();
        break;
    case When::AnswerLine:
        if (std::strcmp(text, "XML-Daten empfangen") == 0)
            RaiseNow();
        break;
    }
}

// The host's own structured exception frame around a call of the plug-in:
// the code and record of what came back, or 0.
EXCEPTION_RECORD g_caught;
DWORD CallInHostFrame(const std::function<void()> &Call) {
    THostException raised{};
    const auto call = [](void *f) { (*static_cast<const std::function<void()> *>(f))(); };
    const bool caught = ImpApiCallGuarded(call, const_cast<std::function<void()> *>(&Call), raised);
    g_caught = caught ? raised.Record : EXCEPTION_RECORD{};
    return g_caught.ExceptionCode;
}

class HostExceptions : public ImportTest {
protected:
    // The next import from another thread of the host.
    int32_t ImportOnAnotherThread() {
        int32_t result = 1;
        std::thread([&] {
            double last = 1;
            result = plugin.ExportXML(tree.Target().c_str(), "4711", 0, &last, Login.c_str());
        }).join();
        return result;
    }
    void SetUp() override {
        PortalResponse slow = PortalAnswer(std::string(200000, 's'));
        slow.chunk = 20000;
        slow.delay = 0.02;
        server.Script(slow);
    }
};

} // namespace

TEST_F(HostExceptions, WhateverTheHostRaisesEndsTheRunCleanlyAndReachesTheHost) {
    ASSERT_EQ(Run(Login), resOK);
    const int windows = ThreadWindows();
    std::vector<Raise> raises = {Raise::Delphi, Raise::AccessViolation, Raise::Cpp};
#if defined(__x86_64__)
    // On i386 a GCC host's throw cannot leave its module at all.
    raises.push_back(Raise::CppThroughDestructor);
#endif
    for (Raise raise : raises) {
        for (When when : {When::FirstTick, When::MiddleTick, When::ClosingTick, When::OverrideLine, When::AnswerLine}) {
            const std::string label = std::to_string(int(raise)) + "/" + std::to_string(int(when));
            tree.WriteAnswer("<earlier/>");
            server.Requests(true);
            g_host = {};
            g_host.what = {raise, when};
            plugin.RegProgrCallback(&HostCallback);
            int32_t result = 1;
            const DWORD code = CallInHostFrame([&] { result = Run(Login); });
            plugin.RegProgrCallback(nullptr);
            ASSERT_TRUE(g_host.raised) << label;
            if (raise == Raise::CppThroughDestructor) {
                EXPECT_EQ(g_host.destroyed, 2) << label << ": the frame's object and the thrown one";
            }
            if (raise == Raise::Cpp || raise == Raise::CppThroughDestructor) {
                // Not raised again: its object may have lived in the frames that went.
                EXPECT_EQ(code, 0u) << label;
                EXPECT_EQ(result, errInternal) << label;
            } else {
                EXPECT_EQ(code, raise == Raise::Delphi ? DelphiExceptionCode : DWORD(EXCEPTION_ACCESS_VIOLATION))
                    << label;
                EXPECT_EQ(result, 1) << label << ": ExportXML did not return";
            }
            if (raise == Raise::Delphi) {
                EXPECT_EQ(g_caught.NumberParameters, 7u) << label;
                EXPECT_EQ(g_caught.ExceptionInformation[1], reinterpret_cast<ULONG_PTR>(&g_host.delphiObject))
                    << label;
                EXPECT_TRUE(g_caught.ExceptionFlags & EXCEPTION_NONCONTINUABLE) << label;
            }
            if (raise == Raise::AccessViolation) {
                EXPECT_TRUE(InThisProgram(g_caught.ExceptionAddress)) << label << ": the fault's address was lost";
            }
            EXPECT_EQ(g_host.callsAfter, 0) << label << ": reported after the host raised";
            EXPECT_EQ(ThreadWindows(), windows) << label << ": a window was left";
            EXPECT_EQ(tree.ReadAnswer(), "<earlier/>") << label;
            EXPECT_EQ(tree.Listing(), "tolva.xml") << label;
            EXPECT_EQ(server.Requests().size(), when == When::OverrideLine ? 0u : 1u) << label;

            // The next import works, also from another thread: the run is over.
            EXPECT_EQ(ImportOnAnotherThread(), resOK) << label;
            EXPECT_EQ(tree.ReadAnswer(), std::string(200000, 's')) << label;
        }
    }
    // The host's own exceptions work as before after those the plug-in took over.
    bool caught = false;
    try {
        throw std::runtime_error("later");
    } catch (const std::runtime_error &) {
        caught = true;
    }
    EXPECT_TRUE(caught);
}

namespace {
Plugin *g_plugin = nullptr;
std::string g_target;
int32_t g_nestedResult = 1, g_nestedText = 1;
void __stdcall NestingCallback(int32_t kind, int32_t, const char *) {
    if (kind != ckProgress || g_nestedResult != 1)
        return;
    double last = 1;
    g_nestedResult = g_plugin->ExportXML(g_target.c_str(), "4711", 0, &last, Login.c_str());
    char text[256];
    g_nestedText = g_plugin->GetExportErrorMsg(errInternal, text);
}
} // namespace

// The host's UI starts another import while the callback pumps messages:
// refused at once, nothing sent, nothing written; other exports still answer.
TEST_F(HostExceptions, NestedImportFromTheCallbackIsRefused) {
    g_plugin = &plugin;
    g_target = tree.Target();
    g_nestedResult = g_nestedText = 1;
    plugin.RegProgrCallback(&NestingCallback);
    EXPECT_EQ(Run(Login), resOK);
    plugin.RegProgrCallback(nullptr);
    EXPECT_EQ(g_nestedResult, errInternal);
    EXPECT_EQ(g_nestedText, 0);
    EXPECT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(tree.ReadAnswer(), std::string(200000, 's'));
}

// A host thread asks for the text of -30 while runs replace the portal's
// error with texts of other lengths: it always reads one whole text.
TEST_F(HostExceptions, PortalErrorReadFromAnotherThreadIsNeverTorn) {
    const std::string shortMessage(40, 'a'), longMessage(3000, 'b');
    server.Script({PortalAnswer("<error><number>1</number><message>" + shortMessage + "</message></error>"),
                   PortalAnswer("<error><number>22</number><message>" + longMessage + "</message></error>")});
    ASSERT_EQ(Run(Login), errPortalError);
    const std::string prefix = "Fehler bei Datenanforderung von tolva (tolva-Errorcode = ";
    const std::string first = prefix + "1):\r\n>> " + shortMessage;
    const std::string second = (prefix + "22):\r\n>> " + longMessage).substr(0, 255);
    std::atomic<bool> done{false};
    std::atomic<int> torn{0}, reads{0};
    std::thread reader([&] {
        char text[256];
        while (!done) {
            if (plugin.GetExportErrorMsg(errPortalError, text) != 0 || (text != first && text != second))
                ++torn;
            ++reads;
        }
    });
    for (int i = 0; i < 12; ++i) {
        server.Script(i % 2 ? PortalAnswer("<error><number>1</number><message>" + shortMessage + "</message></error>")
                            : PortalAnswer("<error><number>22</number><message>" + longMessage + "</message></error>"));
        EXPECT_EQ(Run(Login), errPortalError);
    }
    done = true;
    reader.join();
    EXPECT_EQ(torn, 0);
    EXPECT_GT(reads, 0);
}

// A huge message: the box, the line and the kept text hold its first 1024
// characters; the text of -30 is as before; nothing of it stays in memory.
TEST_F(HostExceptions, HugePortalMessageIsKeptAsItsStart) {
    PortalResponse huge = PortalAnswer("");
    huge.body = "<error><number>5</number><message>";
    huge.body += std::string(8u << 20, 'm');
    huge.body += "</message></error>";
    server.Script({PortalAnswer("<warm/>"), huge, PortalAnswer("<depot/>")});
    ASSERT_EQ(Run(Login), resOK);
    const SIZE_T before = CommittedPrivateBytes();
    RecordReports();
    ASSERT_EQ(Run(Login), errPortalError);
    const auto lines = Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "Fehlermeldung vom tolva-Server: " + std::string(1024, 'm'));
    char text[256];
    ASSERT_EQ(plugin.GetExportErrorMsg(errPortalError, text), 0);
    EXPECT_EQ(std::string(text),
              ("Fehler bei Datenanforderung von tolva (tolva-Errorcode = 5):\r\n>> " + std::string(300, 'm'))
                  .substr(0, 255));
    ASSERT_EQ(Run(Login), resOK);
    EXPECT_LT(CommittedPrivateBytes(), before + (2u << 20));
}

namespace {
// The host's main window, visible and enabled: a modal loop of the plug-in
// disables it. A message the host posts to it before a call is dispatched by
// the first message loop the call runs, and its window procedure raises.
constexpr UINT HostRaiseMessage = WM_APP + 7;
LRESULT CALLBACK HostWindowProc(HWND Window, UINT Msg, WPARAM W, LPARAM L) {
    if (Msg == HostRaiseMessage)
        RaiseNow();
    return DefWindowProcA(Window, Msg, W, L);
}
HWND HostWindow() {
    static const HWND window = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = HostWindowProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "ImpApiTestHostWindow";
        RegisterClassA(&wc);
        return CreateWindowExA(0, wc.lpszClassName, "Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                               nullptr, nullptr, wc.hInstance, nullptr);
    }();
    return window;
}
// The host's own message loop after the call: true when the queue ran dry,
// false when it never did.
bool HostLoopReturns() {
    MSG msg;
    for (int i = 0; i < 20000; ++i) {
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            return true;
        DispatchMessageA(&msg);
    }
    return false;
}
BOOL CALLBACK CountVisible(HWND Window, LPARAM Count) {
    if (IsWindowVisible(Window))
        ++*reinterpret_cast<int *>(Count);
    return TRUE;
}
int VisibleThreadWindows() {
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), &CountVisible, reinterpret_cast<LPARAM>(&count));
    return count;
}
} // namespace

// The host's window procedure raises while the plug-in's own modal window, or
// the system's box or prompt the plug-in shows, runs its message loop. The
// call ends there cleanly: its windows gone, the host's window enabled, no
// file; the exception comes back to the host, and the next calls work.
TEST_F(HostExceptions, WhatTheHostRaisesInAModalLoopEndsTheCallCleanly) {
    const HWND host = HostWindow();
    HostLoopReturns();
    const int windows = ThreadWindows(), visible = VisibleThreadWindows();
    std::optional<VariantSetting> variant;
    std::optional<PortalServer> secure;
    char user[IMPAPI_USER_BUFFER_SIZE], password[IMPAPI_USER_BUFFER_SIZE], extra[IMPAPI_EXTRA_BUFFER_SIZE] = "";
    const std::string prompted = "UserLogin=u\r\nPassword=p\r\n";
    const struct {
        const char *loop;
        std::function<void()> prepare; // what must outlive the call
        std::function<int32_t()> call;
    } loops[] = {
        {"password prompt", [] {}, [&] { return Run("UserLogin=u\r\n"); }},
        {"depot-number prompt", [&] { variant.emplace("lintessar"); }, [&] { return Run(prompted); }},
        {"portal's error box",
         [&] { server.Script(PortalAnswer("<error><number>7</number><message>kaputt</message></error>")); },
         [&] { return Run(prompted); }},
        {"certificate prompt",
         [&] {
             secure.emplace("self-signed");
             tree.WriteOverride("[Global]\r\nServer=" + secure->Address() + "\r\nTimeout=5\r\n");
         },
         [&] { return Run(prompted); }},
        {"access-data dialog", [] {}, [&] { return plugin.ApiDataDialog(user, password, extra); }},
    };
    for (const auto &loop : loops) {
        for (Raise raise : {Raise::Delphi, Raise::AccessViolation}) {
            const std::string label = std::string(loop.loop) + (raise == Raise::Delphi ? ", Delphi" : ", access violation");
            tree.WriteAnswer("<earlier/>");
            std::strcpy(user, "kennung");
            std::strcpy(password, "alt");
            g_host = {};
            g_host.what.raise = raise;
            loop.prepare();
            PostMessageA(host, HostRaiseMessage, 0, 0);
            int32_t result = 1;
            const DWORD code = CallInHostFrame([&] { result = loop.call(); });
            variant.reset();
            secure.reset();
            tree.PointAt(server.Address());
            ASSERT_TRUE(g_host.raised) << label;
            EXPECT_EQ(code, raise == Raise::Delphi ? DelphiExceptionCode : DWORD(EXCEPTION_ACCESS_VIOLATION)) << label;
            EXPECT_EQ(result, 1) << label << ": the call returned instead";
            if (raise == Raise::AccessViolation) {
                EXPECT_TRUE(InThisProgram(g_caught.ExceptionAddress)) << label << ": the fault's address was lost";
            }
            EXPECT_TRUE(HostLoopReturns()) << label << ": the host's message loop never returned";
            EXPECT_EQ(VisibleThreadWindows(), visible) << label << ": a window stayed on screen";
            EXPECT_EQ(ThreadWindows(), windows) << label << ": a window was left";
            EXPECT_TRUE(IsWindowEnabled(host)) << label << ": the host's window stayed disabled";
            EXPECT_EQ(tree.Listing(), "tolva.xml") << label;
            EXPECT_EQ(tree.ReadAnswer(), "<earlier/>") << label;
            EXPECT_STREQ(user, "kennung") << label;
            EXPECT_STREQ(password, "alt") << label;

            // The next imports work, on this thread and on another.
            server.Script(PortalAnswer("<depot/>"));
            EXPECT_EQ(Run(Login), resOK) << label;
            EXPECT_EQ(ImportOnAnotherThread(), resOK) << label;
            EXPECT_EQ(tree.ReadAnswer(), "<depot/>") << label;
        }
    }
}

namespace {
DWORD WINAPI ExitAtSecondTickThread(LPVOID Test) {
    auto &run = *static_cast<std::function<void()> *>(Test);
    run();
    return 0;
}
int g_ticksBeforeExit = 0;
void __stdcall ExitAtSecondTick(int32_t kind, int32_t, const char *) {
    if (kind == ckProgress && ++g_ticksBeforeExit == 2)
        ExitThread(0);
}
} // namespace

// A host thread that ends inside the callback leaves no run behind: the next
// import, from any thread, works.
TEST_F(HostExceptions, AThreadThatEndsInTheCallbackLeavesNoRunBehind) {
    g_ticksBeforeExit = 0;
    plugin.RegProgrCallback(&ExitAtSecondTick);
    std::function<void()> run = [&] { Run(Login); };
    HANDLE thread = CreateThread(nullptr, 0, &ExitAtSecondTickThread, &run, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 60000), WAIT_OBJECT_0);
    CloseHandle(thread);
    plugin.RegProgrCallback(nullptr);
    ASSERT_EQ(g_ticksBeforeExit, 2);
    EXPECT_EQ(Run(Login), resOK);
    EXPECT_EQ(tree.Listing(), "tolva.xml");
    EXPECT_EQ(ImportOnAnotherThread(), resOK);
}

namespace {
struct OtherThread {
    int32_t dialog = 1, import = 1;
    bool windowShown = false;
    char user[IMPAPI_USER_BUFFER_SIZE] = "kennung", password[IMPAPI_USER_BUFFER_SIZE] = "alt";
    char extra[IMPAPI_EXTRA_BUFFER_SIZE] = "";
} g_other;
BOOL CALLBACK CloseShown(HWND Window, LPARAM) {
    if (IsWindowVisible(Window)) {
        g_other.windowShown = true;
        PostMessageA(Window, WM_CLOSE, 0, 0);
    }
    return TRUE;
}
void CALLBACK CloseThreadWindows(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), &CloseShown, 0);
}
// Another thread of the host calls ApiDataDialog and ExportXML; a window it
// is shown is closed after a while.
void CallFromAnotherThread(Plugin &plugin, const std::string &target) {
    std::thread([&] {
        const UINT_PTR timer = SetTimer(nullptr, 0, 1500, &CloseThreadWindows);
        g_other.dialog = plugin.ApiDataDialog(g_other.user, g_other.password, g_other.extra);
        KillTimer(nullptr, timer);
        double last = 1;
        g_other.import = plugin.ExportXML(target.c_str(), "4711", 0, &last, Login.c_str());
    }).join();
}
Plugin *g_dialogPlugin = nullptr;
std::string g_dialogTarget;
void __stdcall CallOtherThreadAtFirstTick(int32_t kind, int32_t, const char *) {
    if (kind == ckProgress && g_other.dialog == 1)
        CallFromAnotherThread(*g_dialogPlugin, g_dialogTarget);
}
// Inside this thread's open dialog: the other thread calls, then the dialog closes.
void CALLBACK CallOtherThreadThenClose(HWND, UINT, UINT_PTR Timer, DWORD) {
    KillTimer(nullptr, Timer);
    CallFromAnotherThread(*g_dialogPlugin, g_dialogTarget);
    CloseThreadWindows(nullptr, 0, 0, 0);
}
} // namespace

// While one thread imports or shows the access-data dialog, another thread's
// ApiDataDialog is refused at once with 2 (nothing written, no window) and its
// ExportXML with -21.
TEST_F(HostExceptions, AnotherThreadIsRefusedWhileACallShowsTheWindows) {
    g_dialogPlugin = &plugin;
    g_dialogTarget = tree.Target();
    g_other = {};
    plugin.RegProgrCallback(&CallOtherThreadAtFirstTick);
    EXPECT_EQ(Run(Login), resOK);
    plugin.RegProgrCallback(nullptr);
    EXPECT_EQ(g_other.dialog, 2);
    EXPECT_EQ(g_other.import, errInternal);
    EXPECT_FALSE(g_other.windowShown);
    EXPECT_STREQ(g_other.user, "kennung");
    EXPECT_STREQ(g_other.password, "alt");

    // The same while this thread's access-data dialog is open.
    g_other = {};
    const UINT_PTR timer = SetTimer(nullptr, 0, 200, &CallOtherThreadThenClose);
    char user[IMPAPI_USER_BUFFER_SIZE] = "", password[IMPAPI_USER_BUFFER_SIZE] = "", extra[IMPAPI_EXTRA_BUFFER_SIZE] = "";
    EXPECT_EQ(plugin.ApiDataDialog(user, password, extra), 2);
    KillTimer(nullptr, timer);
    EXPECT_EQ(g_other.dialog, 2);
    EXPECT_EQ(g_other.import, errInternal);
    EXPECT_STREQ(g_other.user, "kennung");
    HostLoopReturns();
}
