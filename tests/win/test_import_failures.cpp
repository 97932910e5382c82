// White box: failures inside the run that no server can cause on demand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <new>

#include "ImportTestSupport.h"
#include "Portal.h"
#include "TestSupport.h"
#include "UiTestSupport.h"
#include "plugin/ImpApiMain.h"
#include "plugin/ImpApi_tolva_AnswerFile.h"
#include "plugin/ImpApi_tolva_Main.h"

namespace {

// Memory runs out the moment the run reports the good answer.
void __stdcall ExhaustedOnAnswer(int32_t, int32_t, const char *text) {
    if (std::string(text) == "XML-Daten empfangen")
        throw std::bad_alloc();
}

// A disk with room for this many more bytes; then a write fails, or reports
// success without writing everything (as a full disk may).
std::size_t g_room = 0;
bool g_shortWrites = false;
BOOL WINAPI FillingDisk(HANDLE File, LPCVOID Data, DWORD Size, LPDWORD Written, LPOVERLAPPED Overlapped) {
    const DWORD fits = static_cast<DWORD>(std::min<std::size_t>(Size, g_room));
    g_room -= fits;
    if (!WriteFile(File, Data, fits, Written, Overlapped))
        return FALSE;
    if (fits == Size || g_shortWrites)
        return TRUE;
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

// The process dies in the middle of writing the answer.
BOOL WINAPI DyingWrite(HANDLE File, LPCVOID Data, DWORD Size, LPDWORD Written, LPOVERLAPPED Overlapped) {
    WriteFile(File, Data, Size, Written, Overlapped);
    TerminateProcess(GetCurrentProcess(), 9);
    return FALSE;
}
constexpr const char *kDyingTarget = "IMPAPI_DYING_TARGET";

} // namespace

// The host that dies: started by the test below, importing into its folder.
TEST(ImportFailures, DISABLED_HostDiesWhileWriting) {
    const char *target = std::getenv(kDyingTarget);
    ASSERT_NE(target, nullptr);
    InitFrameworkForTests();
    ImpApiMain::Initialize();
    ImpApi_tolva_Main::Initialize();
    ImpApi_tolva_AnswerFile::AnswerFileWrite = &DyingWrite;
    const double last = 1;
    ExportXML(target, "1", 0, &last, "UserLogin=u\nPassword=p\nNoMessageBoxes=true");
    ADD_FAILURE() << "the write did not end the process";
}

// A host killed while the answer is written leaves no temporary file with
// customer data behind, and the earlier answer as it was.
TEST(ImportFailures, KilledWhileWritingLeavesNoTemporaryFile) {
    PortalScene scene;
    auto &[server, tree] = scene;
    tree.WriteAnswer("<earlier/>");
    server.Script(PortalAnswer(std::string(300000, 'x')));
    SetEnvironmentVariableA(kDyingTarget, tree.Target().c_str());
    const HANDLE child = StartChildTest("ImportFailures.DISABLED_HostDiesWhileWriting");
    ASSERT_TRUE(child);
    EXPECT_EQ(FinishChildTest(child, 60000), 9u) << "the host died in the write";
    EXPECT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(tree.Listing(), "tolva.xml");
    EXPECT_EQ(tree.ReadAnswer(), "<earlier/>");
}

// The disk fills while the answer is written: -20 with a line that names the
// file and the system's error, the earlier tolva.xml as it was, no temporary
// file left, and a host's own "tolva.tmp" untouched.
TEST(ImportFailures, DiskFullDuringTheWrite) {
    InitFrameworkForTests();
    ImpApiMain::Initialize();
    ImpApi_tolva_Main::Initialize();
    PortalScene scene;
    auto &[server, tree] = scene;
    tree.WriteAnswer("<earlier/>");
    const std::string hostFile = tree.Target() + "\\tolva.tmp";
    std::ofstream(hostFile, std::ios::binary) << "the host's own";
    server.Script(PortalAnswer(std::string(300000, 'x')));

    RegProgrCallback(&ReportRecorder::Callback);
    const double last = 1;
    for (bool shortWrites : {false, true}) {
        g_room = 100000;
        g_shortWrites = shortWrites;
        ReportRecorder::reports.clear();
        ImpApi_tolva_AnswerFile::AnswerFileWrite = &FillingDisk;
        const int32_t result = ExportXML(tree.Target().c_str(), "1", 0, &last, "UserLogin=u\nPassword=p");
        ImpApi_tolva_AnswerFile::AnswerFileWrite = &WriteFile;
        EXPECT_EQ(result, errAnswerFile) << shortWrites;
        EXPECT_EQ(tree.ReadAnswer(), "<earlier/>");
        EXPECT_EQ(tree.Listing(), "tolva.tmp tolva.xml") << shortWrites;
        std::ifstream in(hostFile, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "the host's own");
        ASSERT_FALSE(ReportRecorder::reports.empty());
        const std::string line = ReportRecorder::reports.back().text;
        // The run's own temporary file, and the system's error with its text.
        const std::string prefix = "Fehler beim Speichern der Importdatei " + tree.Target() + "\\tlv";
        EXPECT_EQ(line.rfind(prefix, 0), 0u) << line;
        const std::size_t error = line.find(".tmp: 112-", prefix.size());
        EXPECT_TRUE(error != std::string::npos && line.size() > error + 12) << line;
    }
    RegProgrCallback(nullptr);
    ImpApi_tolva_Main::Finalize();
    ImpApiMain::Finalize();
}

TEST(ImportFailures, ExhaustedMemoryEndsTheRunWithItsOwnCodeAndKeepsTheState) {
    InitFrameworkForTests();
    ImpApiMain::Initialize();
    ImpApi_tolva_Main::Initialize();
    PortalScene scene;
    auto &[server, tree] = scene;
    auto &state = ImpApi_tolva_Main::State();
    state.ContinueFlag = true;
    state.ContinueToken = "KEEP";
    server.Script(PortalAnswer("<d><AfterImport><ActionType>ContinueImport</ActionType></AfterImport></d>"));

    RegProgrCallback(&ExhaustedOnAnswer);
    const double last = 1;
    EXPECT_EQ(ExportXML(tree.Target().c_str(), "1", 0, &last, "UserLogin=u\nPassword=p"), errInternal);
    RegProgrCallback(nullptr);

    EXPECT_TRUE(state.ContinueFlag);
    EXPECT_EQ(state.ContinueToken, "KEEP");
    EXPECT_EQ(tree.Listing(), "");
    char text[256];
    ASSERT_EQ(GetExportErrorMsg(errInternal, text), 0);
    EXPECT_STREQ(text, "Interner Fehler im Import-Modul.");
    ImpApi_tolva_Main::Finalize();
    ImpApiMain::Finalize();
}
