// The plug-in's windows in a host whose thread is DPI-aware, on a 144-dpi
// screen: each is a DPI-unaware window at 96 dpi whose controls sit where
// their components put them (in the window's own coordinates), and the host's
// thread keeps its own context after every export and during every call into
// the host.
//
// Wine reads the screen's density (LogPixels) when a process starts: the test
// sets it, runs the checks in a second process of this program, and puts the
// old value back. ctest runs it alone: every test program shares the prefix.
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "ImportTestSupport.h"
#include "UiTestSupport.h"
#include "base/DpiUnaware.h"
#include "dialogs/ImpApiDownloadProgress.h"
#include "plugin/ImpApiMain.h"
#include "plugin/ImpApi_tolva_Main.h"

namespace {

// The system's DPI functions, taken at run time as the plug-in takes them.
struct DpiFunctions {
    DpiFunctions() {
        HMODULE user32 = GetModuleHandleA("user32.dll");
        Load(user32, "SetThreadDpiAwarenessContext", SetThread);
        Load(user32, "GetThreadDpiAwarenessContext", GetThread);
        Load(user32, "GetWindowDpiAwarenessContext", OfWindow);
        Load(user32, "AreDpiAwarenessContextsEqual", Equal);
        Load(user32, "GetDpiForWindow", DpiOfWindow);
        Load(user32, "GetDpiForSystem", DpiOfSystem);
    }
    template <class F> static void Load(HMODULE Module, const char *Name, F &Function) {
        Function = reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(Module, Name)));
    }
    DPI_AWARENESS_CONTEXT(WINAPI *SetThread)(DPI_AWARENESS_CONTEXT) = nullptr;
    DPI_AWARENESS_CONTEXT(WINAPI *GetThread)() = nullptr;
    DPI_AWARENESS_CONTEXT(WINAPI *OfWindow)(HWND) = nullptr;
    BOOL(WINAPI *Equal)(DPI_AWARENESS_CONTEXT, DPI_AWARENESS_CONTEXT) = nullptr;
    UINT(WINAPI *DpiOfWindow)(HWND) = nullptr;
    UINT(WINAPI *DpiOfSystem)() = nullptr;
};
const DpiFunctions &Dpi() {
    static const DpiFunctions functions;
    return functions;
}

// The host thread's context during a case, and whether the thread has it now.
DPI_AWARENESS_CONTEXT g_host;
bool InHostContext() { return Dpi().Equal(Dpi().GetThread(), g_host); }

void ExpectUnaware(HWND Window) {
    EXPECT_TRUE(Dpi().Equal(Dpi().OfWindow(Window), DPI_AWARENESS_CONTEXT_UNAWARE));
    EXPECT_EQ(Dpi().DpiOfWindow(Window), 96u);
}

void ExpectControlsAsTheirComponents(TWinControl &Parent) {
    for (TControl *c : Parent.Controls()) {
        auto *w = dynamic_cast<TWinControl *>(c);
        if (!w || !w->HandleAllocated())
            continue;
        SCOPED_TRACE(w->Name);
        ExpectUnaware(w->Handle());
        const RECT r = ChildRect(w->Handle());
        EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right - r.left, r.bottom - r.top}),
                  (std::vector<LONG>{w->Left(), w->Top(), w->Width(), w->Height()}));
        ExpectControlsAsTheirComponents(*w);
    }
}

// A form of the plug-in: an unaware window, centred, with the client size
// and the controls of its layout, measured in its own coordinates.
void ExpectAsDesigned(HWND Form) {
    SCOPED_TRACE(ComponentName(Form));
    auto *form = dynamic_cast<TForm *>(TWinControl::FindControl(Form));
    ASSERT_TRUE(form);
    const DpiUnaware own;
    ExpectUnaware(Form);
    ExpectFrame(Form, form->ClientWidth(), form->ClientHeight(), 0, 0);
    ExpectControlsAsTheirComponents(*form);
}

// The step of a modal loop that checks its form, then ends it with Cancel.
std::vector<ModalScript::Step> CheckAndCancel(const char *Form) {
    auto form = std::make_shared<HWND>();
    return {[form, Form] { return (*form = FindNamedForm(Form)) && IsWindowVisible(*form); },
            Do([form] {
                EXPECT_TRUE(InHostContext()) << "in the host's timer during the modal loop";
                ExpectAsDesigned(*form);
                PostClick(FindNamed(*form, "btnCancel"));
            })};
}

// Every call of the host's callback: in the host's context; the first one
// that finds the progress window checks it, before and after a tick.
int g_callbacks, g_callbacksOutOfContext;
bool g_progressChecked;
void __stdcall HostCallback(int32_t, int32_t, const char *) {
    ++g_callbacks;
    g_callbacksOutOfContext += InHostContext() ? 0 : 1;
    HWND window = FindNamedForm("frmDownloadProgress");
    if (!window || std::exchange(g_progressChecked, true))
        return;
    ExpectAsDesigned(window);
    auto *form = dynamic_cast<TfrmDownloadProgress *>(TWinControl::FindControl(window));
    SendMessageA(form->Timer1->Handle(), WM_TIMER, 1, 0);
    EXPECT_EQ(form->Shape1->Left(), 10);
    ExpectAsDesigned(window);
    EXPECT_TRUE(InHostContext());
}

const struct {
    const char *name;
    DPI_AWARENESS_CONTEXT context;
} HostContexts[] = {{"per-monitor aware", DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE},
                    {"system aware", DPI_AWARENESS_CONTEXT_SYSTEM_AWARE}};

class HighDpi : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dpi().SetThread && Dpi().OfWindow && Dpi().DpiOfWindow && Dpi().DpiOfSystem);
        ASSERT_EQ(Dpi().DpiOfSystem(), 144u) << "the screen's density did not reach this process";
        InitFrameworkForTests();
        ImpApiMain::Initialize();
        ImpApi_tolva_Main::Initialize();
        RegProgrCallback(&HostCallback);
    }
    void TearDown() override {
        RegProgrCallback(nullptr);
        ImpApi_tolva_Main::Finalize();
        ImpApiMain::Finalize();
        PumpIdle();
    }
    // Runs Case once in each host context, the thread's own restored after it.
    template <class F> void InEachHostContext(F Case) {
        for (const auto &host : HostContexts) {
            SCOPED_TRACE(host.name);
            const DPI_AWARENESS_CONTEXT own = Dpi().SetThread(host.context);
            ASSERT_TRUE(own);
            g_host = Dpi().GetThread();
            Case();
            EXPECT_TRUE(InHostContext()) << "after the export";
            Dpi().SetThread(own);
        }
    }
    int32_t Import(const PortalScene &Scene, const char *Params) {
        const double last = 1;
        return ExportXML(Scene.tree.Target().c_str(), "4711", 0, &last, Params);
    }
};

TEST_F(HighDpi, DISABLED_AccessDataDialog) {
    InEachHostContext([] {
        char user[IMPAPI_USER_BUFFER_SIZE] = "kennung", password[IMPAPI_USER_BUFFER_SIZE] = "", extra[8] = "";
        ModalScript script(CheckAndCancel("dlgProviderDataEdit"));
        EXPECT_EQ(ApiDataDialog(user, password, extra), 2);
    });
}

TEST_F(HighDpi, DISABLED_Prompts) {
    PortalScene scene;
    InEachHostContext([&] {
        ModalScript password(CheckAndCancel("ImpApiPwDlg"));
        EXPECT_EQ(Import(scene, "UserLogin=u"), errPasswordCancelled);
    });
    VariantSetting depotVariant("lintessar");
    InEachHostContext([&] {
        ModalScript depot(CheckAndCancel("ImpApi_DpNr_Dlg"));
        EXPECT_EQ(Import(scene, "UserLogin=u\r\nPassword=p"), errDepotNrCancelled);
    });
}

TEST_F(HighDpi, DISABLED_ProgressWindowAndThePortalsErrorBox) {
    PortalScene scene;
    scene.server.Script(PortalAnswer("<error><number>1017</number><message>Falsch</message></error>"));
    InEachHostContext([&] {
        g_callbacks = g_callbacksOutOfContext = 0;
        g_progressChecked = false;
        ModalScript script({[] { return FindMessageBox() != nullptr; }, Do([] {
                                EXPECT_TRUE(InHostContext()) << "in the host's timer during the box";
                                ExpectUnaware(FindMessageBox());
                                PostMessageA(FindMessageBox(), WM_COMMAND, IDOK, 0);
                            })});
        EXPECT_EQ(Import(scene, "UserLogin=u\r\nPassword=p"), errPortalError);
        EXPECT_GT(g_callbacks, 0);
        EXPECT_EQ(g_callbacksOutOfContext, 0);
        EXPECT_TRUE(g_progressChecked);
    });
}

// Wine's screen density for the processes started while it lives; the old
// value (or none) comes back at its end.
class ScreenDensity {
public:
    explicit ScreenDensity(DWORD Dpi) {
        RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                        &key_, nullptr);
        DWORD size = sizeof old_;
        hadValue_ = RegQueryValueExA(key_, "LogPixels", nullptr, nullptr, reinterpret_cast<BYTE *>(&old_), &size) ==
                    ERROR_SUCCESS;
        RegSetValueExA(key_, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&Dpi), sizeof Dpi);
    }
    ~ScreenDensity() {
        if (hadValue_)
            RegSetValueExA(key_, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&old_), sizeof old_);
        else
            RegDeleteValueA(key_, "LogPixels");
        RegCloseKey(key_);
    }

private:
    HKEY key_ = nullptr;
    DWORD old_ = 0;
    bool hadValue_ = false;
};

TEST(Dpi, WindowsOfADpiAwareHostAt144Dpi) {
    ScreenDensity density(144);
    HANDLE child = StartChildTest("HighDpi.DISABLED_*");
    ASSERT_TRUE(child);
    EXPECT_EQ(FinishChildTest(child, 240000), 0u);
}

} // namespace
