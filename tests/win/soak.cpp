// The soak: many imports in a row in one loaded library against the portal,
// alternating good, error and failed answers. The continuation state must
// follow its table throughout, and the process's handles, private bytes and
// GDI/USER objects must stay flat. `./run soak [COUNT]` runs 500 or COUNT;
// ctest runs a short round of 70 on each build.
#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "ImportTestSupport.h"
#include "Portal.h"
#include "TestSupport.h"

namespace {

struct Counts {
    DWORD handles = 0, gdi = 0, user = 0;
    SIZE_T privateBytes = 0;
};

// Wine answers 0 for private bytes and GDI/USER objects; there they are
// counted the long way.
// Wine keeps the process's GDI objects in a table the PEB points to; an
// entry in use has a type byte. (GCC takes the TEB read for an array access.)
#pragma GCC diagnostic ignored "-Warray-bounds"
DWORD WineGdiObjects() {
#ifdef _WIN64
    struct Entry {
        UINT64 object;
        ULONG owner;
        USHORT unique;
        UCHAR type, flags;
        UINT64 user;
    };
    const auto *peb = reinterpret_cast<const char *>(NtCurrentTeb()->ProcessEnvironmentBlock);
    const auto *table = *reinterpret_cast<const Entry *const *>(peb + 0xF8);
    DWORD n = 0;
    for (int i = 0; table && i < 0x10000; ++i)
        n += table[i].type != 0;
    return n;
#else
    return 0;
#endif
}

BOOL CALLBACK CountWindow(HWND window, LPARAM count) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) {
        ++*reinterpret_cast<DWORD *>(count);
        EnumChildWindows(window, CountWindow, count);
    }
    return TRUE;
}

Counts Measure() {
    Counts c;
    c.handles = OpenHandleCount();
    c.gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (c.gdi == 0)
        c.gdi = WineGdiObjects();
    c.user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    if (c.user == 0) // the windows, the bulk of the USER objects
        EnumWindows(CountWindow, reinterpret_cast<LPARAM>(&c.user));
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS *>(&memory), sizeof memory);
    c.privateBytes = memory.PrivateUsage ? memory.PrivateUsage : CommittedPrivateBytes();
    return c;
}

void Print(const char *label, int imports, const Counts &c) {
    std::printf("%-5s %4d imports: handles %4lu, private bytes %8.1f KiB, GDI objects %3lu, USER objects %3lu\n",
                label, imports, c.handles, c.privateBytes / 1024.0, c.gdi, c.user);
    std::fflush(stdout);
}

// What the run must do for one kind of answer, and what the portal sends.
struct Step {
    const char *name;
    PortalResponse answer;
    int32_t result;
    bool continues; // the answer asks for a continuation
};

} // namespace

int main(int argc, char **argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 500;
    try {
        Plugin plugin;
        PortalServer server;
        ScratchTree tree;
        tree.PointAt(server.Address(), "Timeout=5\r\n");
        plugin.RegProgrCallback(&ReportRecorder::Callback);

        PortalResponse incomplete = PortalAnswer("<depot");
        incomplete.length = "4000";
        Step steps[] = {
            {"good, continue", PortalAnswer(""), resOK, true},
            {"error", PortalAnswer("<error><number>5</number><message>Wartung</message></error>"), errPortalError, false},
            {"failed 500", PortalAnswer("", 500), errInetUrlAccess, false},
            {"good", PortalAnswer(std::string(100000, 'x')), resOK, false},
            {"incomplete", incomplete, errInetIncomplete, false},
            {"good, continue", PortalAnswer(""), resOK, true},
            {"failed 503", PortalAnswer("", 503), errInetServerBusy, false},
        };
        const int cycle = sizeof steps / sizeof steps[0];

        bool continueFlag = false;
        std::string continueToken;
        int mismatches = 0;
        const int warmUp = cycle * 3;
        Counts base = Measure(), peak = base;
        Print("start", 0, base);
        const ULONGLONG start = GetTickCount64();
        for (int i = 1; i <= count; ++i) {
            Step &step = steps[(i - 1) % cycle];
            const std::string token = "T" + std::to_string(i);
            if (step.continues)
                step.answer.body = "<depot/><AfterImport><ActionType>ContinueImport</ActionType><I_Token>" + token +
                                   "</I_Token></AfterImport>";
            server.Script(step.answer);
            ReportRecorder::reports.clear();
            const std::string hostToken = "H" + std::to_string(i);
            double last = 1;
            const int32_t result = plugin.ExportXML(
                tree.Target().c_str(), "4711", 0, &last,
                ("UserLogin=soak\r\nPassword=p\r\nNoMessageBoxes=true\r\nToken=" + hostToken).c_str());
            const auto requests = server.Requests(true);
            const std::string sent = requests.size() == 1 ? FormField(requests[0].body, "wiederaufsetzpunkt") : "<none>";
            const std::string expected = continueFlag ? continueToken : hostToken;
            if (result != step.result || sent != expected) {
                ++mismatches;
                std::printf("import %d (%s): result %d (expected %d), token sent %s (expected %s)\n", i, step.name,
                            result, step.result, sent.c_str(), expected.c_str());
            }
            if (step.result == resOK) { // the table: good answers set the flag, nothing else touches it
                continueFlag = step.continues;
                if (step.continues)
                    continueToken = token;
            }
            if (i == warmUp) {
                base = Measure();
                peak = base;
                Print("warm", i, base);
            } else if (i > warmUp && (i % 10 == 0 || i == count)) {
                const Counts now = Measure();
                peak.handles = std::max(peak.handles, now.handles);
                peak.gdi = std::max(peak.gdi, now.gdi);
                peak.user = std::max(peak.user, now.user);
                peak.privateBytes = std::max(peak.privateBytes, now.privateBytes);
                if (i % 100 == 0 || i == count)
                    Print("", i, now);
            }
        }
        const Counts end = Measure();
        Print("end", count, end);
        Print("peak", count, peak);
        std::printf("%d imports in %.1f s, %d mismatches\n", count, (GetTickCount64() - start) / 1000.0, mismatches);

        // Flat: a few handles of the system's own caches, and some heap
        // fragmentation, but nothing that grows with the number of imports.
        const bool flat = end.handles <= base.handles + 8 && end.gdi <= base.gdi + 4 && end.user <= base.user + 4 &&
                          end.privateBytes <= base.privateBytes + 4 * 1024 * 1024;
        std::printf("counts %s\n", flat ? "flat" : "GROW");
        plugin.RegProgrCallback(nullptr);
        return mismatches == 0 && flat ? 0 : 1;
    } catch (const std::exception &e) {
        std::printf("soak: %s\n", e.what());
        return 2;
    }
}
