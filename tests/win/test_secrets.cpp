// No copy of a password outlives the call that used it: after ExportXML and
// after ApiDataDialog a scan of every committed page of the process finds
// neither the password nor its form-encoded text (freed heap blocks survive
// into crash dumps and the page file). And the access data reach the host's
// buffers only when nothing can fail any more.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <stdexcept>
#include <tuple>

#include "EditTestSupport.h"
#include "ImportTestSupport.h"
#include "TestSupport.h"
#include "UiTestSupport.h"
#include "framework/Forms.h"
#include "base/HostBarrier.h"
#include "plugin/ImpApiMain.h"
#include "plugin/ImpApi_tolva_Main.h"
#include "transport/ImpApiINet.h"

// Scripts name only the fields they set.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

// This file replaces new and delete as a pair over malloc and free; GCC,
// inlining them into each use, reports a mismatch that the pair does not have.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
// While set, freed blocks stay as they were instead of being reused: a copy
// that was freed unwiped is found however the heap would have reused it.
static bool g_keepFreed = false;
// While set, the next allocation of one pointer's size fails (a vector's
// first element).
static bool g_failPointerAllocation = false;
// While set, every allocation fails.
static bool g_failEveryAllocation = false;
void *operator new(std::size_t Size) {
    if (g_failEveryAllocation)
        throw std::bad_alloc();
    if (g_failPointerAllocation && Size == sizeof(void *)) {
        g_failPointerAllocation = false;
        throw std::bad_alloc();
    }
    if (void *p = std::malloc(Size ? Size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void *Block) noexcept {
    if (!g_keepFreed)
        std::free(Block);
}
void operator delete(void *Block, std::size_t) noexcept { operator delete(Block); }

namespace {

// The password, "Zq7!Kx9#Lm4$Wp2&Rt8", and its form encoding, each byte
// shifted up by one: the test itself never holds a plain copy.
constexpr const char *kShifted = "[r8\"Ly:$Mn5%Xq3'Su9";
constexpr const char *kShiftedEncoded = "[r8&32Ly:&34Mn5&35Xq3&37Su9";

// The plain password into Buffer, for as long as the caller needs it.
void Unshift(const char *Shifted, char *Buffer) {
    std::size_t i = 0;
    for (; Shifted[i]; ++i)
        Buffer[i] = static_cast<char>(Shifted[i] - 1);
    Buffer[i] = '\0';
}

// Where committed, readable memory holds the text that Shifted stands for, or
// its last twelve characters (a copy whose start was overwritten).
std::vector<std::string> CopiesInMemory(const char *Shifted, bool wide = false) {
    std::string tail(Shifted + std::strlen(Shifted) - 12);
    if (wide)
        for (std::size_t i = tail.size(); i-- > 0;)
            tail.insert(i + 1, 1, '\x01');
    Shifted = tail.c_str();
    const std::size_t n = tail.size(), window = 1 << 20;
    // Read into a buffer of its own, which the scan skips.
    char *buffer = static_cast<char *>(VirtualAlloc(nullptr, window, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    const auto matches = [](char m, char s) { return static_cast<char>(m + 1) == s; };
    MEMORY_BASIC_INFORMATION stack;
    VirtualQuery(&stack, &stack, sizeof stack);
    std::vector<std::string> found;
    const auto scan = [&](const MEMORY_BASIC_INFORMATION &info) {
        char *base = static_cast<char *>(info.BaseAddress);
        for (std::size_t offset = 0; offset < info.RegionSize; offset += window - n) {
            SIZE_T read = 0;
            const std::size_t size = std::min<std::size_t>(window, info.RegionSize - offset);
            if (!ReadProcessMemory(GetCurrentProcess(), base + offset, buffer, size, &read))
                return;
            for (char *hit = buffer; (hit = std::search(hit, buffer + read, Shifted, Shifted + n, matches)) != buffer + read; ++hit) {
                char where[160];
                char *at = base + offset + (hit - buffer);
                std::snprintf(where, sizeof where, "%p in %s region %p%s", static_cast<void *>(at),
                              info.Type == MEM_IMAGE ? "image" : info.Type == MEM_MAPPED ? "mapped" : "private",
                              info.AllocationBase, info.AllocationBase == stack.AllocationBase ? " (this stack)" : "");
                found.push_back(where);
            }
            if (offset + size >= info.RegionSize)
                return;
        }
    };
    const DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                           PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    ForEachRegion([&](const MEMORY_BASIC_INFORMATION &info) {
        if (info.State == MEM_COMMIT && (info.Protect & readable) && !(info.Protect & PAGE_GUARD) &&
            info.BaseAddress != buffer)
            scan(info);
    });
    VirtualFree(buffer, 0, MEM_RELEASE);
    return found;
}

// The plain password as a text of its own, for a call that takes and wipes it.
std::string Plain() {
    char buffer[32];
    Unshift(kShifted, buffer);
    std::string text(buffer);
    SecureZeroMemory(buffer, sizeof buffer);
    return text;
}

// Every copy of the password, plain, form-encoded or (with Utf16) UTF-16.
std::vector<std::string> AllCopies(bool Utf16 = true) {
    std::vector<std::string> all;
    for (auto [kind, shifted, wide] : {std::tuple{"plain ", kShifted, false}, std::tuple{"UTF-16 ", kShifted, true},
                                       std::tuple{"encoded ", kShiftedEncoded, false}})
        for (const std::string &at : wide && !Utf16 ? std::vector<std::string>{} : CopiesInMemory(shifted, wide))
            all.push_back(kind + at);
    return all;
}

void ExpectNoCopy() { EXPECT_EQ(AllCopies(), std::vector<std::string>{}); }

std::string &ScratchTarget() {
    static std::string target;
    return target;
}

// WinINet that answers at once and keeps nothing it is given: no system
// buffer holds the request body.
int g_reads = 0;
std::string g_server;
// What the quiet WinINet answers.
std::string g_answer = "<depot/>";
const ImpApiINet::TWinINetApi kQuietWinINet = {
    .InternetOpenA = [](LPCSTR, DWORD, LPCSTR, LPCSTR, DWORD) { return HINTERNET(1); },
    .InternetSetOptionA = [](HINTERNET, DWORD, LPVOID, DWORD) -> BOOL { return TRUE; },
    // The answer comes from the server asked.
    .InternetQueryOptionA = [](HINTERNET, DWORD option, LPVOID buffer, LPDWORD length) -> BOOL {
        const std::string url = "https://" + g_server + "/";
        if (option != INTERNET_OPTION_URL || *length <= url.size())
            return FALSE;
        std::memcpy(buffer, url.c_str(), url.size() + 1);
        *length = static_cast<DWORD>(url.size());
        return TRUE;
    },
    .InternetConnectA = [](HINTERNET, LPCSTR server, INTERNET_PORT, LPCSTR, LPCSTR, DWORD, DWORD, DWORD_PTR) {
        g_server = server;
        return HINTERNET(2);
    },
    .HttpOpenRequestA = [](HINTERNET, LPCSTR, LPCSTR, LPCSTR, LPCSTR, LPCSTR *, DWORD, DWORD_PTR) {
        return HINTERNET(3);
    },
    .HttpSendRequestA = [](HINTERNET, LPCSTR, DWORD, LPVOID, DWORD) -> BOOL { return TRUE; },
    .HttpQueryInfoA = [](HINTERNET, DWORD, LPVOID, LPDWORD, LPDWORD) -> BOOL { return FALSE; },
    .InternetQueryDataAvailable = [](HINTERNET, LPDWORD available, DWORD, DWORD_PTR) -> BOOL {
        *available = g_reads == 0 ? DWORD(g_answer.size()) : 0;
        return TRUE;
    },
    .InternetReadFile = [](HINTERNET, LPVOID buffer, DWORD, LPDWORD read) -> BOOL {
        *read = g_reads++ == 0 ? DWORD(g_answer.size()) : 0;
        std::memcpy(buffer, g_answer.data(), *read);
        return TRUE;
    },
    .InternetCloseHandle = [](HINTERNET) -> BOOL { return TRUE; },
    .GetLastError = [] { return DWORD(0); },
    .FormatMessageA = [](DWORD, LPCVOID, DWORD, DWORD, LPSTR, DWORD, va_list *) { return DWORD(0); },
};

HWND g_dialogShown = nullptr;

class Secrets : public ::testing::Test {
protected:
    void SetUp() override {
        InitFrameworkForTests();
        ImpApiMain::Initialize();
        ImpApi_tolva_Main::Initialize();
        g_keepFreed = true;
    }
    void TearDown() override {
        g_keepFreed = false;
        ImpApi_tolva_Main::Finalize();
        ImpApiMain::Finalize();
    }
};

} // namespace

TEST_F(Secrets, NoCopyOfThePasswordAfterAnImport) {
    ScratchTree tree;
    ImpApiINet::WinINet = kQuietWinINet;
    g_reads = 0;
    // The host's parameter text, wiped by the host after the call.
    char params[128] = "NoMessageBoxes=true\r\nUserLogin=u\r\nPassword= ";
    Unshift(kShifted, params + std::strlen(params));
    std::strcat(params, " \r\n");
    const double last = 1;
    const int32_t result = ExportXML(tree.Target().c_str(), "4711", 0, &last, params);
    SecureZeroMemory(params, sizeof params);
    ImpApiINet::WinINet = ImpApiINet::RealWinINet();
    ASSERT_EQ(result, resOK);
    EXPECT_EQ(tree.ReadAnswer(), "<depot/>");
    ExpectNoCopy();
}

namespace {
// A host that raises a structured exception at the first tick, caught in a
// frame of its own around ExportXML.
void __stdcall RaisingCallback(int32_t kind, int32_t, const char *) {
    if (kind == ckProgress)
        RaiseException(0x0EEDFADE, EXCEPTION_NONCONTINUABLE, 0, nullptr);
}
const char *g_raisingParams = nullptr;
// ExportXML in a structured exception frame of the host's: what came back.
bool ImportInHostFrame(EXCEPTION_RECORD &Caught) {
    THostException raised{};
    const bool caught = ImpApiCallGuarded(
        [](void *) {
            const double last = 1;
            ExportXML(ScratchTarget().c_str(), "4711", 0, &last, g_raisingParams);
        },
        nullptr, raised);
    Caught = raised.Record;
    return caught;
}
} // namespace

// The run that the host's exception ends wipes its copies too.
TEST_F(Secrets, NoCopyOfThePasswordAfterTheHostRaisedInItsCallback) {
    ScratchTree tree;
    ScratchTarget() = tree.Target();
    ImpApiINet::WinINet = kQuietWinINet;
    g_reads = 0;
    char params[128] = "NoMessageBoxes=true\r\nUserLogin=u\r\nPassword=";
    Unshift(kShifted, params + std::strlen(params));
    g_raisingParams = params;
    RegProgrCallback(&RaisingCallback);
    EXCEPTION_RECORD caught{};
    const bool raised = ImportInHostFrame(caught);
    RegProgrCallback(nullptr);
    SecureZeroMemory(params, sizeof params);
    ImpApiINet::WinINet = ImpApiINet::RealWinINet();
    ASSERT_TRUE(raised);
    EXPECT_EQ(caught.ExceptionCode, 0x0EEDFADEu);
    EXPECT_EQ(tree.Listing(), "");
    ExpectNoCopy();
}

namespace {
// The host's window: its procedure raises when a modal loop dispatches the
// message the host posted before the import.
constexpr UINT HostRaiseMessage = WM_APP + 7;
LRESULT CALLBACK RaisingWindowProc(HWND Window, UINT Msg, WPARAM W, LPARAM L) {
    if (Msg == HostRaiseMessage)
        RaiseException(0x0EEDFADE, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    return DefWindowProcA(Window, Msg, W, L);
}
} // namespace

// The import that the host's window procedure ends inside the portal's error
// box or the certificate prompt (here a box in its place) wipes its copies too.
TEST_F(Secrets, NoCopyOfThePasswordAfterTheHostRaisedInABox) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = RaisingWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ImpApiTestRaisingHost";
    RegisterClassA(&wc);
    HWND host = CreateWindowExA(0, wc.lpszClassName, "Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                                nullptr, nullptr, wc.hInstance, nullptr);
    ImpApiINet::TWinINetApi errorBox = kQuietWinINet, certificate = kQuietWinINet;
    certificate.HttpSendRequestA = [](HINTERNET, LPCSTR, DWORD, LPVOID, DWORD) -> BOOL { return FALSE; };
    certificate.GetLastError = [] { return DWORD(ERROR_INTERNET_INVALID_CA); };
    certificate.InternetErrorDlg = [](HWND, HINTERNET, DWORD, DWORD, LPVOID *) -> DWORD {
        return MessageBoxA(nullptr, "Zertifikat", "Security Warning", MB_OKCANCEL) == IDOK ? 0 : ERROR_CANCELLED;
    };
    for (const auto &[loop, api, answer] :
         {std::tuple{"portal's error box", errorBox, "<error><number>7</number><message>kaputt</message></error>"},
          std::tuple{"certificate prompt", certificate, "<depot/>"}}) {
        SCOPED_TRACE(loop);
        ScratchTree tree;
        ScratchTarget() = tree.Target();
        ImpApiINet::WinINet = api;
        g_answer = answer;
        g_reads = 0;
        char params[128] = "UserLogin=u\r\nPassword=";
        Unshift(kShifted, params + std::strlen(params));
        g_raisingParams = params;
        PostMessageA(host, HostRaiseMessage, 0, 0);
        EXCEPTION_RECORD caught{};
        const bool raised = ImportInHostFrame(caught);
        SecureZeroMemory(params, sizeof params);
        ImpApiINet::WinINet = ImpApiINet::RealWinINet();
        g_answer = "<depot/>";
        EXPECT_TRUE(raised);
        EXPECT_EQ(caught.ExceptionCode, 0x0EEDFADEu);
        EXPECT_EQ(tree.Listing(), "");
        ExpectNoCopy();
    }
    DestroyWindow(host);
}

TEST_F(Secrets, NoCopyOfThePasswordAfterTheAccessDataDialog) {
    char user[IMPAPI_USER_BUFFER_SIZE] = "kennung", password[IMPAPI_USER_BUFFER_SIZE] = "",
         extra[IMPAPI_EXTRA_BUFFER_SIZE] = "";
    HWND form = nullptr;
    ModalScript script({[&] { return (form = FindForm("tolva Zugangsdaten")) && IsWindowVisible(form); },
                        Do([&] {
                            // The password field, 88 pixels down; typed key by key.
                            HWND edit = nullptr;
                            while ((edit = FindWindowExA(form, edit, "ImpApi_tolva.EditEx", nullptr)) &&
                                   ChildRect(edit).top != 88) {
                            }
                            ASSERT_TRUE(edit);
                            SetFocus(edit);
                            for (const char *c = kShifted; *c; ++c)
                                PostMessageA(edit, WM_CHAR, static_cast<unsigned char>(*c - 1), 1);
                        }),
                        Do([&] { PostClick(FindChild(form, "Button", "OK")); })});
    ASSERT_EQ(ApiDataDialog(user, password, extra), 1);
    char typed[32];
    Unshift(kShifted, typed);
    EXPECT_STREQ(password, typed);
    SecureZeroMemory(typed, sizeof typed);
    SecureZeroMemory(password, sizeof password);
    // The host's loop runs: the dialog is destroyed.
    EXPECT_TRUE(PumpUntil([] { return FindForm("tolva Zugangsdaten") == nullptr; }));
    ExpectNoCopy();
}

// A stored password is shown, not typed: the way from the value to the
// window copies it too.
TEST_F(Secrets, NoCopyOfAStoredPasswordAfterTheAccessDataDialog) {
    char user[IMPAPI_USER_BUFFER_SIZE] = "kennung", password[IMPAPI_USER_BUFFER_SIZE] = "",
         extra[IMPAPI_EXTRA_BUFFER_SIZE] = "";
    Unshift(kShifted, password);
    ModalScript script({[] { return (g_dialogShown = FindForm("tolva Zugangsdaten")) && IsWindowVisible(g_dialogShown); },
                        Do([] { PostClick(FindChild(g_dialogShown, "Button", "OK")); })});
    ASSERT_EQ(ApiDataDialog(user, password, extra), 1);
    SecureZeroMemory(password, sizeof password);
    EXPECT_TRUE(PumpUntil([] { return FindForm("tolva Zugangsdaten") == nullptr; }));
    ExpectNoCopy();
}

namespace {
HWND g_dialog;
// Once the confirmed dialog hides, the release that follows runs out of memory.
LRESULT CALLBACK FailAfterHiding(int Code, WPARAM W, LPARAM L) {
    const auto *m = reinterpret_cast<const CWPSTRUCT *>(L);
    if (Code == HC_ACTION && m->hwnd == g_dialog && m->message == WM_SHOWWINDOW && !m->wParam)
        g_failPointerAllocation = true;
    return CallNextHookEx(nullptr, Code, W, L);
}
} // namespace

// A failure after OK still counts as Cancel: the host's buffers stay as they
// were, because the texts are copied back last.
TEST_F(Secrets, ReleaseFailingAfterOkLeavesTheBuffersAlone) {
    PumpIdle();
    TForm::DestroyReleased(); // the list of released forms starts without room
    char user[IMPAPI_USER_BUFFER_SIZE] = "kennung", password[IMPAPI_USER_BUFFER_SIZE] = "alt",
         extra[IMPAPI_EXTRA_BUFFER_SIZE] = "";
    ModalScript script({[] { return (g_dialog = FindForm("tolva Zugangsdaten")) && IsWindowVisible(g_dialog); },
                        Do([] {
                            PostChars(FindWindowExA(g_dialog, nullptr, "ImpApi_tolva.EditEx", nullptr), "x");
                            PostClick(FindChild(g_dialog, "Button", "OK"));
                        })});
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, FailAfterHiding, nullptr, GetCurrentThreadId());
    const int32_t result = ApiDataDialog(user, password, extra);
    UnhookWindowsHookEx(hook);
    EXPECT_FALSE(g_failPointerAllocation) << "the release allocated nothing";
    g_failPointerAllocation = false;
    EXPECT_EQ(result, 2);
    EXPECT_STREQ(user, "kennung");
    EXPECT_STREQ(password, "alt");
    PumpIdle();
}

namespace {
// An edit that holds the password, on a shown form; each path through the
// edit that reads its text leaves no copy once the form is gone. Our copies
// are ANSI; Wine's edit converts each ANSI text it is given to UTF-16 in a
// block of the process heap that it frees unwiped (Windows' edit of an ANSI
// window keeps ANSI), so UTF-16 copies are not counted here.
class EditSecrets : public EditFormTest {
protected:
    void SetUp() override {
        EditFormTest::SetUp();
        g_keepFreed = true;
    }
    void TearDown() override { g_keepFreed = false; }
};
} // namespace

TEST_F(EditSecrets, NoCopyAfterAnyPathThatReadsTheText) {
    const struct {
        const char *name;
        std::function<void(TEditText &)> use;
    } cases[] = {
        {"shown", [](TEditText &) {}},
        {"window made anew", [](TEditText &e) { e.SetBorderStyle(bsNone); }},
        {"selected text",
         [](TEditText &e) {
             e.SelectWholeText();
             std::string s = e.GetSelectedText();
             EXPECT_EQ(s.size(), std::strlen(kShifted));
             Wipe(s);
         }},
        {"copied selection",
         [](TEditText &e) {
             e.SelectWholeText();
             char buffer[32];
             EXPECT_EQ(e.CopySelectedText(buffer, sizeof buffer), static_cast<int>(std::strlen(kShifted)));
             SecureZeroMemory(buffer, sizeof buffer);
         }},
        {"display handler that declines",
         [](TEditText &e) {
             e.OnBeforeTF = [](TComponent *, WipingString &, TUserEditState) { return false; };
             e.ResetCheckError();
         }},
        {"display handler that lengthens the text",
         [](TEditText &e) {
             e.OnBeforeTF = [](TComponent *, WipingString &t, TUserEditState) { return t.append(64, ' '), true; };
             e.ResetCheckError();
             e.OnBeforeTF = nullptr;
         }},
        {"display handler after formatting that fails",
         [](TEditText &e) {
             e.OnBeforeTF = [](TComponent *, WipingString &, TUserEditState) { return true; }; // keeps the text
             e.OnAfterTF = [](TComponent *, WipingString &, TUserEditState) { throw std::runtime_error("kaputt"); };
             EXPECT_THROW(e.ResetCheckError(), std::runtime_error);
             e.OnAfterTF = nullptr;
         }},
        {"right-aligned painting",
         [](TEditText &e) {
             e.SetAlignment(taRightJustify);
             RedrawWindow(e.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        form = std::make_unique<EditForm>();
        a = form->eFirst, b = form->eSecond;
        const std::vector<std::string> before = AllCopies(false); // those of a case that failed
        a->SetPasswordChar('*');
        Show();
        a->SetText(Plain()); // leaving the field would show its empty value
        c.use(*a);
        PumpIdle();
        Framework::WipeEditWindow(a->Handle());
        form.reset();
        PumpIdle();
        std::vector<std::string> left = AllCopies(false);
        std::erase_if(left, [&](const std::string &at) { return std::ranges::count(before, at) > 0; });
        EXPECT_EQ(left, std::vector<std::string>{});
    }
}

namespace {
// The release through the queue runs out of memory from its first step on.
LRESULT CALLBACK FailTheRelease(int Code, WPARAM W, LPARAM L) {
    const auto *m = reinterpret_cast<const MSG *>(L);
    if (Code == HC_ACTION && m->message == WM_APP + 0x3F01)
        g_failEveryAllocation = true;
    return CallNextHookEx(nullptr, Code, W, L);
}
} // namespace

// No exception may leave the window procedure: the form goes all the same.
TEST_F(EditSecrets, AReleaseWithoutMemoryStillDestroysTheForm) {
    Show();
    a->SetText(std::string(40, 'x')); // a text of its own block
    HWND window = form->Handle();
    form.release()->Release();
    HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, FailTheRelease, nullptr, GetCurrentThreadId());
    MSG msg;
    for (int i = 0; i < 1000 && IsWindow(window); ++i)
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&msg);
            g_failEveryAllocation = false;
        }
    UnhookWindowsHookEx(hook);
    EXPECT_FALSE(IsWindow(window));
}
