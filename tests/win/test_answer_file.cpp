// The answer file when another process works in the target folder: two hosts
// importing into one folder at the same time each write their own temporary
// file, so no run loses, truncates or swaps another's answer, and none leaves
// a file behind; a process that puts a link in place of the temporary file
// never receives the answer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "ImportTestSupport.h"
#include "Portal.h"
#include "TestSupport.h"

namespace {

constexpr int kImports = 40;
constexpr std::size_t kAnswerSize = 1000000;
const std::string kAnswerA(kAnswerSize, 'A'), kAnswerB(kAnswerSize, 'B');
constexpr const char *kTargetVariable = "IMPAPI_SHARED_TARGET";
constexpr const char *kReadyVariable = "IMPAPI_SECOND_HOST_READY"; // the name of an event
constexpr const char *kOutsideVariable = "IMPAPI_OUTSIDE_FILE";
constexpr const char *kStopVariable = "IMPAPI_SWAPPER_STOP"; // the name of an event

// tolva.xml read with every sharing mode, so the reader never stands in the
// way of a run's move. The other host holds its file exclusively from its
// rename to its close: in that instant the open fails with a sharing
// violation, and the reader tries again, as the host guide says.
std::string ReadShared(const std::string &path) {
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD error = ERROR_SHARING_VIOLATION;
    for (int tries = 0; tries < 200 && error == ERROR_SHARING_VIOLATION; ++tries, Sleep(10)) {
        file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
        error = file == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    }
    if (file == INVALID_HANDLE_VALUE)
        return "<cannot open: " + std::to_string(error) + ">";
    std::string bytes(kAnswerSize + 1, '\0');
    DWORD read = 0;
    ReadFile(file, bytes.data(), DWORD(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

// One host: imports into the shared folder. After every 0 the file holds one
// of the two answers, whole. The only failure allowed is the move over a
// tolva.xml that the other host is reading (access denied, as on Windows):
// a -20 that keeps the earlier file.
void ImportMany(const std::string &target, const char *who, HANDLE ready = nullptr) {
    Plugin plugin;
    // Both hosts start importing at the same moment.
    if (ready)
        SetEvent(ready);
    plugin.RegProgrCallback(&ReportRecorder::Callback);
    const double last = 1;
    const std::string heldOpen = "Fehler beim Speichern der Importdatei " + target + "\\tolva.xml: ";
    int stored = 0;
    for (int i = 0; i < kImports; ++i) {
        ReportRecorder::reports.clear();
        const int32_t result = plugin.ExportXML(target.c_str(), "4711", 0, &last,
                                                "UserLogin=u\r\nPassword=p\r\nNoMessageBoxes=true");
        const std::string line = ReportRecorder::reports.empty() ? "" : ReportRecorder::reports.back().text;
        if (result == errAnswerFile && line.rfind(heldOpen + "5-", 0) == 0)
            continue;
        ASSERT_EQ(result, resOK) << who << " import " << i << ": " << line;
        ++stored;
        const std::string answer = ReadShared(target + "\\tolva.xml");
        EXPECT_TRUE(answer == kAnswerA || answer == kAnswerB)
            << who << " import " << i << ": " << answer.size() << " bytes, " << answer.substr(0, 40);
    }
    EXPECT_GE(stored, kImports / 2) << who;
    plugin.RegProgrCallback(nullptr);
}

} // namespace

// The second host: started by the test below, in the folder it names.
TEST(AnswerFile, DISABLED_SecondHost) {
    const char *target = std::getenv(kTargetVariable), *ready = std::getenv(kReadyVariable);
    ASSERT_TRUE(target && ready);
    HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, ready);
    ASSERT_NE(event, nullptr);
    ImportMany(target, "second host", event);
    CloseHandle(event);
}

TEST(AnswerFile, TwoHostsImportIntoOneFolder) {
    PortalScene scene;
    auto &[server, tree] = scene;
    // The answers alternate, whichever host asks.
    std::vector<PortalResponse> answers;
    for (int i = 0; i < 2 * kImports; ++i)
        answers.push_back(PortalAnswer(i % 2 ? kAnswerB : kAnswerA));
    server.Script(answers);

    SetEnvironmentVariableA(kTargetVariable, tree.Target().c_str());
    const std::string readyName = "impapi-second-host-ready-" + std::to_string(GetCurrentProcessId());
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, readyName.c_str());
    SetEnvironmentVariableA(kReadyVariable, readyName.c_str());
    const HANDLE second = StartChildTest("AnswerFile.DISABLED_SecondHost");
    ASSERT_TRUE(second);
    EXPECT_EQ(WaitForSingleObject(ready, 60000), WAIT_OBJECT_0);
    CloseHandle(ready);
    ImportMany(tree.Target(), "first host");
    EXPECT_EQ(FinishChildTest(second, 120000), 0u) << "the second host failed (its output is above)";
    EXPECT_EQ(server.Requests().size(), 2u * kImports);
    EXPECT_EQ(tree.Listing(), "tolva.xml") << "no temporary file remains";
}

// The other process: whenever a temporary file shows in the target folder, it
// deletes it and puts a hard link to a file outside the folder in its place,
// until the test below tells it to stop.
TEST(AnswerFile, DISABLED_LinkInPlaceOfTheTemporaryFile) {
    const char *target = std::getenv(kTargetVariable), *outside = std::getenv(kOutsideVariable),
               *ready = std::getenv(kReadyVariable), *stop = std::getenv(kStopVariable);
    ASSERT_TRUE(target && outside && ready && stop);
    HANDLE readyEvent = OpenEventA(EVENT_MODIFY_STATE, FALSE, ready), stopEvent = OpenEventA(SYNCHRONIZE, FALSE, stop);
    ASSERT_TRUE(readyEvent && stopEvent);
    SetEvent(readyEvent);
    const std::string pattern = std::string(target) + "\\tlv*.tmp";
    while (WaitForSingleObject(stopEvent, 0) == WAIT_TIMEOUT) {
        WIN32_FIND_DATAA found;
        HANDLE find = FindFirstFileA(pattern.c_str(), &found);
        if (find == INVALID_HANDLE_VALUE)
            continue;
        FindClose(find);
        const std::string name = std::string(target) + "\\" + found.cFileName;
        if (DeleteFileA(name.c_str()))
            CreateHardLinkA(name.c_str(), outside, nullptr);
    }
    CloseHandle(readyEvent);
    CloseHandle(stopEvent);
}

TEST(AnswerFile, ALinkInPlaceOfTheTemporaryFileReceivesNothing) {
    PortalScene scene;
    auto &[server, tree] = scene;
    constexpr int kRuns = 10;
    server.Script(std::vector<PortalResponse>(kRuns, PortalAnswer("<depot/>")));
    const std::string outside = tree.Target() + "\\..\\outside.txt";
    std::ofstream(outside, std::ios::binary) << "outside";
    const std::string suffix = std::to_string(GetCurrentProcessId());
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, ("impapi-swapper-ready-" + suffix).c_str()),
           stop = CreateEventA(nullptr, TRUE, FALSE, ("impapi-swapper-stop-" + suffix).c_str());
    SetEnvironmentVariableA(kTargetVariable, tree.Target().c_str());
    SetEnvironmentVariableA(kOutsideVariable, outside.c_str());
    SetEnvironmentVariableA(kReadyVariable, ("impapi-swapper-ready-" + suffix).c_str());
    SetEnvironmentVariableA(kStopVariable, ("impapi-swapper-stop-" + suffix).c_str());
    const HANDLE swapper = StartChildTest("AnswerFile.DISABLED_LinkInPlaceOfTheTemporaryFile");
    ASSERT_TRUE(swapper);
    EXPECT_EQ(WaitForSingleObject(ready, 60000), WAIT_OBJECT_0);

    Plugin plugin;
    const double last = 1;
    for (int i = 0; i < kRuns; ++i)
        EXPECT_EQ(plugin.ExportXML(tree.Target().c_str(), "4711", 0, &last, Login.c_str()), resOK) << i;
    SetEvent(stop);
    EXPECT_EQ(FinishChildTest(swapper, 60000), 0u) << "the other process failed (its output is above)";
    CloseHandle(ready);
    CloseHandle(stop);
    std::ostringstream held;
    held << std::ifstream(outside, std::ios::binary).rdbuf();
    EXPECT_EQ(held.str(), "outside") << "the answer went outside the target folder";
    EXPECT_EQ(tree.ReadAnswer(), "<depot/>");
    EXPECT_EQ(tree.Listing(), "tolva.xml");
}
