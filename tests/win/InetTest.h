#pragma once
// Shared by the tests of HttpsRequest: one call with its outcome, and the
// progress window as a user sees it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "UiTestSupport.h"
#include "framework/Framework.h"
#include "plugin/ImpApiMain.h"
#include "plugin/ImportObserver.h"
#include "transport/ImpApiINet.h"

struct InetOutcome {
    int32_t result = 0;
    std::string status, body;
    std::vector<std::string> lines; // kind-3 reports
    int ticks = 0;                  // kind-2 reports
};

// The arguments of one HttpsRequest, with the values the import run passes.
struct InetCall {
    std::string server, objectName = "/Webservice/vekt.aspx", verb = "POST";
    bool secure = false;
    std::string authUser, authPassword, acceptType = "text/plain", headers, body;
    int32_t timeoutSec = 180;
    bool logToHost = true, showProgress = true, prompts = true;

    InetOutcome Run() const {
        ReportRecorder::reports.clear();
        TResponseSink sink;
        InetOutcome out;
        std::string status = "999"; // stale
        // Whatever the path, the call must leave the app-starting cursor.
        Framework::SetScreenCursor(IDC_ARROW);
        TImportObserver observer(logToHost, showProgress);
        out.result = HttpsRequest({server, objectName, verb, secure, authUser, authPassword, acceptType, headers, body,
                                   timeoutSec, prompts},
                                  sink, status, observer);
        out.status = status;
        out.body = sink.Substr(0, sink.Size());
        for (const Report &r : ReportRecorder::reports) {
            if (r.kind == ckLog) {
                EXPECT_EQ(r.number, 0);
                out.lines.push_back(r.text);
            } else if (r.kind == ckProgress) {
                EXPECT_EQ(r.number, 5);
                EXPECT_EQ(r.text, "");
                ++out.ticks;
            } else {
                ADD_FAILURE() << "unexpected report kind " << r.kind;
            }
        }
        EXPECT_EQ(Framework::ScreenCursor(), IDC_APPSTARTING);
        return out;
    }
};

// The cancel button of the open progress window, if any.
inline HWND ProgressCancelButton() {
    HWND form = FindForm("Info");
    return form && IsWindowVisible(form) ? FindChild(form, "Button", "Download abbrechen") : nullptr;
}

// White-box programs are not the DLL: the units are initialised here.
class InetTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitFrameworkForTests();
        ImpApiMain::Initialize();
        RegProgrCallback(&ReportRecorder::Callback);
        ReportRecorder::reports.clear();
    }
    void TearDown() override {
        RegProgrCallback(nullptr);
        ImpApiMain::Finalize();
    }
};
