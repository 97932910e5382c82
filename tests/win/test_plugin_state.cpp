// White box: the module state of both layers, linked from the static library.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "TestSupport.h"
#include "plugin/ImpApiMain.h"
#include "plugin/ImpApi_tolva_Main.h"

namespace {

struct Call {
    const char *targetDir, *advisorNo;
    int32_t reserved;
    const double *lastImport;
    const char *params;
} g_call;

int32_t RecordingRun(const char *t, const char *a, int32_t r, const double *l, const char *p) {
    g_call = {t, a, r, l, p};
    return -4711;
}

int32_t ThrowingRun(const char *, const char *, int32_t, const double *, const char *) {
    throw std::runtime_error("boom");
}

int g_secondCount = 0;
void __stdcall SecondCallback(int32_t, int32_t, const char *) { ++g_secondCount; }

class PluginState : public ::testing::Test {
protected:
    void SetUp() override {
        ImpApiMain::Initialize();
        ImpApi_tolva_Main::Initialize();
        ReportRecorder::reports.clear();
    }
    void TearDown() override {
        RegProgrCallback(nullptr);
        ImpApi_tolva_Main::Finalize();
        ImpApiMain::Finalize();
    }
};

} // namespace

TEST_F(PluginState, ExportXMLForwardsItsArgumentsUnchanged) {
    ImpApiMain::RegisterVariant("2.1.3", &RecordingRun);
    const double last = 0;
    EXPECT_EQ(ExportXML("dir", "adv", 0x7FFFFFFF, &last, nullptr), -4711);
    EXPECT_STREQ(g_call.targetDir, "dir");
    EXPECT_STREQ(g_call.advisorNo, "adv");
    EXPECT_EQ(g_call.reserved, 0x7FFFFFFF);
    EXPECT_EQ(g_call.lastImport, &last);
    EXPECT_EQ(g_call.params, nullptr);
}

TEST_F(PluginState, NoExceptionReachesTheHost) {
    ImpApiMain::RegisterVariant("2.1.3", &ThrowingRun);
    const double last = 1;
    EXPECT_EQ(ExportXML("dir", "adv", 0, &last, "x=y"), errInternal);
}

TEST_F(PluginState, CallbackReplacedAndRemoved) {
    RegProgrCallback(&ReportRecorder::Callback);
    ImpApiMain::ReportLog("eins");
    RegProgrCallback(&SecondCallback);
    ImpApiMain::ReportLog("zwei");
    RegProgrCallback(nullptr);
    ImpApiMain::ReportProgress();
    ASSERT_EQ(ReportRecorder::reports.size(), 1u);
    EXPECT_EQ(ReportRecorder::reports[0].text, "eins");
    EXPECT_EQ(g_secondCount, 1);
}

TEST_F(PluginState, ReportsNeverPassANullText) {
    RegProgrCallback(&ReportRecorder::Callback);
    ImpApiMain::Report(ckLog, 0, nullptr);
    ImpApiMain::ReportProgress();
    ASSERT_EQ(ReportRecorder::reports.size(), 2u);
    EXPECT_EQ(ReportRecorder::reports[1].kind, ckProgress);
    EXPECT_EQ(ReportRecorder::reports[1].number, 5);
    EXPECT_EQ(ReportRecorder::reports[1].text, "");
}

TEST_F(PluginState, PortalErrorTextIsCutToTheMessageBuffer) {
    auto &state = ImpApi_tolva_Main::State();
    state.PortalErrorNumber = "17";
    state.PortalErrorMessage = std::string(1000, 'x');
    char buffer[300];
    std::memset(buffer, 0x55, sizeof buffer);
    ASSERT_EQ(GetExportErrorMsg(errPortalError, buffer), 0);
    EXPECT_EQ(std::strlen(buffer), 255u);
    EXPECT_EQ(0, std::strncmp(buffer, "Fehler bei Datenanforderung von tolva (tolva-Errorcode = 17):\r\n>> xxx", 68));
    for (size_t i = 256; i < sizeof buffer; ++i)
        ASSERT_EQ(buffer[i], 0x55) << i;
}

TEST_F(PluginState, VersionIsCutTo255Characters) {
    ImpApiMain::RegisterVariant(std::string(300, 'v'), nullptr);
    unsigned char buffer[257];
    std::memset(buffer, 0xFF, sizeof buffer);
    ImportVersionInfo(buffer);
    EXPECT_EQ(buffer[0], 255);
    EXPECT_EQ(buffer[255], 'v');
    EXPECT_EQ(buffer[256], 0xFF);
    ImpApiMain::RegisterVariant("", nullptr);
    ImportVersionInfo(buffer);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(buffer[1], 'v');
}

TEST_F(PluginState, UnloadEmptiesTheTextsButKeepsTheFlag) {
    auto &state = ImpApi_tolva_Main::State();
    state.ContinueFlag = true;
    state.ContinueToken = "tok";
    state.PortalErrorNumber = "1";
    state.PortalErrorMessage = "m";
    ImpApi_tolva_Main::Finalize();
    ImpApiMain::Finalize();
    EXPECT_TRUE(state.ContinueFlag);
    EXPECT_EQ(state.ContinueToken, "");
    EXPECT_EQ(state.PortalErrorNumber, "");
    EXPECT_EQ(state.PortalErrorMessage, "");
    EXPECT_EQ(ImpApiMain::ApiVersion(), "");
    state.ContinueFlag = false;
}
