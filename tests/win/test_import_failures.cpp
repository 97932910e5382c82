// White box: failures inside the run that no server can cause on demand.
#include <gtest/gtest.h>

#include <new>

#include "ImportTestSupport.h"
#include "Portal.h"
#include "TestSupport.h"
#include "UiTestSupport.h"
#include "plugin/ImpApiMain.h"
#include "plugin/ImpApi_tolva_Main.h"

namespace {

// Memory runs out the moment the run reports the good answer.
void __stdcall ExhaustedOnAnswer(int32_t, int32_t, const char *text) {
    if (std::string(text) == "XML-Daten empfangen")
        throw std::bad_alloc();
}

} // namespace

TEST(ImportFailures, ExhaustedMemoryEndsTheRunWithItsOwnCodeAndKeepsTheState) {
    InitFrameworkForTests();
    ImpApiMain::Initialize();
    ImpApi_tolva_Main::Initialize();
    PortalServer server;
    ScratchTree tree;
    tree.PointAt(server.Address());
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
