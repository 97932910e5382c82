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
#include <stdexcept>
#include <thread>

#include "ImportTestSupport.h"
#include "Portal.h"
#include "TestSupport.h"
#include "plugin/HostCall.h"

namespace {

constexpr DWORD DelphiExceptionCode = 0x0EEDFADE;

enum class Raise { Delphi, AccessViolation, Cpp };
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
    }
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
std::function<void()> g_hostCall;
void __stdcall HostCall(int32_t, int32_t, const char *) { g_hostCall(); }
DWORD CallInHostFrame(const std::function<void()> &Call) {
    g_hostCall = Call;
    std::memset(&g_caught, 0, sizeof g_caught);
    return ImpApiCallHost(&HostCall, 0, 0, "", &g_caught) ? g_caught.ExceptionCode : 0;
}

class HostExceptions : public ImportTest {
protected:
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
    for (Raise raise : {Raise::Delphi, Raise::AccessViolation, Raise::Cpp}) {
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
            if (raise == Raise::Cpp) {
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
            EXPECT_EQ(g_host.callsAfter, 0) << label << ": reported after the host raised";
            EXPECT_EQ(ThreadWindows(), windows) << label << ": a window was left";
            EXPECT_EQ(tree.ReadAnswer(), "<earlier/>") << label;
            EXPECT_EQ(tree.Listing(), "tolva.xml") << label;
            EXPECT_EQ(server.Requests().size(), when == When::OverrideLine ? 0u : 1u) << label;

            // The next import works, also from another thread: the run is over.
            int32_t next = 1;
            std::thread([&] {
                double last = 1;
                next = plugin.ExportXML(tree.Target().c_str(), "4711", 0, &last, Login.c_str());
            }).join();
            EXPECT_EQ(next, resOK) << label;
            EXPECT_EQ(tree.ReadAnswer(), std::string(200000, 's')) << label;
        }
    }
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
