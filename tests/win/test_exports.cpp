// The exports as a host calls them, through LoadLibrary and GetProcAddress.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "core/ResultTable.h"

#include "ImportTestSupport.h"
#include "TestSupport.h"

TEST(Exports, VersionAnswers) {
    Plugin plugin;
    EXPECT_EQ(plugin.VersionInfo(), 40300);

    unsigned char buffer[256];
    std::memset(buffer, 0xFF, sizeof buffer);
    plugin.ImportVersionInfo(buffer);
    EXPECT_EQ(0, std::memcmp(buffer, "\x05" "2.1.3", 6));
    for (int i = 6; i < 256; ++i)
        ASSERT_EQ(buffer[i], 0xFF) << "byte " << i;
}

TEST(Exports, AppVersionCheckBounds) {
    Plugin plugin;
    EXPECT_EQ(plugin.AppVersionCheck(40342), -1);
    EXPECT_EQ(plugin.AppVersionCheck(40343), 0);
    EXPECT_EQ(plugin.AppVersionCheck(INT_MAX), 0);
    EXPECT_EQ(plugin.AppVersionCheck(0), -1);
    EXPECT_EQ(plugin.AppVersionCheck(-1), -1);
    EXPECT_EQ(plugin.AppVersionCheck(INT_MIN), -1);
}

TEST(Exports, RegProgrCallbackAlwaysAnswersZero) {
    Plugin plugin;
    EXPECT_EQ(plugin.RegProgrCallback(&ReportRecorder::Callback), 0);
    EXPECT_EQ(plugin.RegProgrCallback(nullptr), 0);
}

// Every code of the table, byte for byte as the table gives it, and nothing
// written past the zero; the portal's pieces of -30 are empty before any error
// answer. A code without a text answers -1 and leaves the buffer alone, as
// every number outside the table does.
TEST(Exports, MessagesOfEveryCode) {
    Plugin plugin;
    for (const TResultCodeRow &row : ResultCodeRows) {
        std::string text(row.Text);
        for (const char *piece : {"{number}", "{message}"})
            if (const size_t at = text.find(piece); at != text.npos)
                text.erase(at, std::strlen(piece));
        char buffer[256];
        std::memset(buffer, 0x55, sizeof buffer);
        ASSERT_EQ(plugin.GetExportErrorMsg(row.Code, buffer), text.empty() ? -1 : 0) << row.Code;
        const size_t end = text.empty() ? 0 : text.size() + 1;
        if (!text.empty()) {
            EXPECT_STREQ(buffer, text.c_str()) << row.Code;
        }
        for (size_t i = end; i < sizeof buffer; ++i)
            ASSERT_EQ(buffer[i], 0x55) << row.Code << " wrote past its zero at " << i;
    }
}

TEST(Exports, NumbersOutsideTheTableLeaveTheBufferAlone) {
    Plugin plugin;
    for (int32_t code : {-1010, -1012, -1016, -1000, -31, -1, 1, 40300, INT_MIN, INT_MAX}) {
        char buffer[64];
        std::memset(buffer, 0x55, sizeof buffer);
        EXPECT_EQ(plugin.GetExportErrorMsg(code, buffer), -1) << code;
        for (char c : buffer)
            ASSERT_EQ(c, 0x55) << code;
    }
}

TEST(Exports, UnloadAndReloadKeepTheRegistration) {
    Plugin plugin;
    plugin.Reload();
    unsigned char buffer[256] = {};
    plugin.ImportVersionInfo(buffer);
    EXPECT_EQ(0, std::memcmp(buffer, "\x05" "2.1.3", 6));
}

// A host that loads the plug-in for each import: loading, calling and freeing
// it leaves no handle or TLS slot of the runtime behind. (Memory is not
// compared: under Wine every load keeps some, about 20 KiB for the 32-bit
// DLL and 70 KiB for x64, that this test cannot tell apart from a leak.)
TEST(Exports, LoadAndFreeLeaveNoHandleOrSlot) {
    const auto cycle = [] {
        Plugin plugin;
        char text[256];
        plugin.GetExportErrorMsg(-21, text);
    };
    const auto lowestFreeTlsSlot = [] {
        const DWORD slot = TlsAlloc();
        TlsFree(slot);
        return slot;
    };
    cycle(); // the first load may bring in system DLLs for good
    const DWORD handles = OpenHandleCount(), slot = lowestFreeTlsSlot();
    constexpr int cycles = 10;
    for (int i = 0; i < cycles; ++i)
        cycle();
    EXPECT_EQ(OpenHandleCount(), handles);
    EXPECT_EQ(lowestFreeTlsSlot(), slot);
}

#if defined(__i386__)
// How many bytes of arguments a function took off the stack: stdcall takes
// them all. A mismatch shows only on i686, where it corrupts the caller's stack.
extern "C" int __cdecl ArgumentBytesPopped(FARPROC fn, int count, const uint32_t *args);
asm(".text\n.globl _ArgumentBytesPopped\n_ArgumentBytesPopped:\n"
    "  push %ebp\n  mov %esp, %ebp\n  push %ebx\n  push %esi\n  push %edi\n"
    "  mov 12(%ebp), %ecx\n  mov 16(%ebp), %esi\n"
    "1: test %ecx, %ecx\n  jz 2f\n  dec %ecx\n  pushl (%esi,%ecx,4)\n  jmp 1b\n"
    "2: mov %esp, %edi\n  call *8(%ebp)\n  mov %esp, %eax\n  sub %edi, %eax\n"
    "  lea -12(%ebp), %esp\n  pop %edi\n  pop %esi\n  pop %ebx\n  pop %ebp\n  ret\n");

// Each export as a host calls it, with the host callback called from inside:
// every call takes exactly its arguments off the stack and the callback
// (stdcall, 12 bytes) leaves the plug-in's stack intact.
TEST(Exports, StdcallOnTheProduct) {
    Plugin plugin;
    ReportRecorder::reports.clear();
    ScratchTree tree; // an import that fails fast: nothing listens there
    tree.WriteOverride("[Global]\r\nHttps=0\r\nServer=127.0.0.1:9\r\nTimeout=2\r\n");
    unsigned char version[256];
    char text[256];
    const double last = 1;
    const char *params = "UserLogin=u\r\nPassword=p\r\nNoMessageBoxes=true";
    const auto arg = [](auto p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); };
    struct Row {
        const char *name;
        std::vector<uint32_t> args;
    };
    const Row rows[] = {
        {"VersionInfo", {}},
        {"ImportVersionInfo", {arg(version)}},
        {"AppVersionCheck", {40343}},
        {"RegProgrCallback", {arg(&ReportRecorder::Callback)}},
        {"GetExportErrorMsg", {static_cast<uint32_t>(-21), arg(text)}},
        {"ExportXML", {arg(tree.Target().c_str()), arg("4711"), 0, arg(&last), arg(params)}},
    };
    for (const Row &row : rows)
        EXPECT_EQ(ArgumentBytesPopped(plugin.Proc(row.name), static_cast<int>(row.args.size()), row.args.data()),
                  static_cast<int>(4 * row.args.size()))
            << row.name;
    EXPECT_FALSE(ReportRecorder::reports.empty()) << "the callback was not called";
    plugin.RegProgrCallback(nullptr);
}
#endif
