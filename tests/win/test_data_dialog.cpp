// The access-data dialog through the export ApiDataDialog, driven as a user
// would while its modal loop runs in the loaded plug-in.
//
// The program doubles as the viewer for the user guide: a file association
// registered by the test starts it with "--opened <file>", and it records the
// file it was asked to open.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "TestSupport.h"
#include "UiTestSupport.h"

namespace {

constexpr const char *FormName = "dlgProviderDataEdit";

std::string ExeDir() {
    char path[MAX_PATH];
    std::string dir(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    return dir.erase(dir.find_last_of('\\') + 1);
}
std::string GuidePath() { return ExeDir() + "ImportApi\\tolva\\Die Schnittstelle zu tolva.pdf"; }
std::string OpenedRecord() { return ExeDir() + "guide-opened.txt"; }

// The host's three buffers, filled beyond their zeros with a pattern so that
// every byte written is seen.
struct HostTexts {
    char user[IMPAPI_USER_BUFFER_SIZE + 16];
    char password[IMPAPI_USER_BUFFER_SIZE + 16];
    char extra[IMPAPI_EXTRA_BUFFER_SIZE];
    HostTexts(const std::string &u, const std::string &p, const std::string &e) {
        std::memset(this, 0xCC, sizeof *this);
        std::memcpy(user, u.c_str(), u.size() + 1);
        std::memcpy(password, p.c_str(), p.size() + 1);
        std::memcpy(extra, e.c_str(), e.size() + 1);
    }
    bool operator==(const HostTexts &o) const { return std::memcmp(this, &o, sizeof *this) == 0; }
};

// What a host's buffers hold after OK: the two texts, each with its zero,
// written over what was there; every other byte as it was.
HostTexts AfterOk(HostTexts t, const std::string &user, const std::string &password) {
    std::memcpy(t.user, user.c_str(), user.size() + 1);
    std::memcpy(t.password, password.c_str(), password.size() + 1);
    return t;
}

class DataDialog : public ::testing::Test {
protected:
    void SetUp() override { InitFrameworkForTests(); }
    // The dialog is released through the queue: serve it before unloading.
    void TearDown() override { PumpIdle(); }
    int Run(HostTexts &t) { return plugin.ApiDataDialog(t.user, t.password, t.extra); }
    Plugin plugin;
};

HWND g_form;
ModalScript::Step WaitForDialog() {
    return [] {
        g_form = FindNamedForm(FormName);
        return g_form && IsWindowVisible(g_form);
    };
}
// The dialog's control of this component name.
HWND Named(const char *name) { return FindNamed(g_form, name); }

// Replaces a field's text as a user would: focus, select all, type.
ModalScript::Step Retype(const char *field, std::string text) {
    return Do([field, text] {
        SetFocus(Named(field));
        SendMessageA(Named(field), EM_SETSEL, 0, -1);
        PostChars(Named(field), text);
    });
}

// The focus is on this control; Tab goes on.
ModalScript::Step TabTo(const char *name) {
    return Do([name] {
        EXPECT_EQ(GetFocus(), Named(name)) << name;
        PostKey(GetFocus(), VK_TAB);
    });
}

TEST_F(DataDialog, LayoutTextsAndTabOrder) {
    HostTexts t("kennung", "geheim", "");
    ModalScript script(
        {WaitForDialog(), Do([] {
             ExpectFrame(g_form, 275, 191, WS_SYSMENU, WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX,
                         WS_EX_DLGMODALFRAME);
             EXPECT_EQ(WindowText(g_form), "tolva Zugangsdaten");
             ExpectLayout(g_form, {
                 {"lbSSVersion", "2.1.3", 152, 8, Any, Any, -11, FW_BOLD},
                 {"Label3", "Schnittstellen-Version:", 16, 8, Any, Any, -11, FW_BOLD},
                 {"Label1", "Benutzerkennung (tolva-Portal)", Any, 33, Any, Any, -11, FW_NORMAL},
                 {"Label2", "Passwort (tolva-Portal) *", Any, 73, Any, Any},
                 {"Label5", "*", 16, 112, Any, Any, -13, FW_NORMAL},
                 {"Label4", "Wenn Sie das Passwort hier nicht eingeben, wird bei jedem Abruf der Daten danach gefragt.",
                  24, 112, 225, 33, 0, 0, SS_TYPEMASK, SS_LEFT},
                 {"btnHelp", "Anleitung", 16, 155, 75, 25, -11, FW_BOLD},
                 {"btnCancel", "Abbrechen", 104, 155, 75, 25, -11, FW_NORMAL, 0xF, BS_PUSHBUTTON},
                 {"btnOK", "OK", 190, 155, 75, 25, 0, 0, 0xF, BS_DEFPUSHBUTTON},
                 {"eUser", "kennung", 16, 48, 161, 15, 0, 0, WS_BORDER | ES_PASSWORD, 0},
                 {"ePassword", "geheim", 16, 88, 161, 15, 0, 0, WS_BORDER, 0},
             });
             const RECT version = ChildRect(Named("lbSSVersion"));
             EXPECT_LT(version.right - version.left, 44); // sized to the shorter run-time text
             for (const char *e : {"eUser", "ePassword"})
                 EXPECT_FALSE(ExStyle(Named(e)) & WS_EX_CLIENTEDGE);
             EXPECT_EQ(SendMessageA(Named("ePassword"), EM_GETPASSWORDCHAR, 0, 0), '*');
             ExpectLabelBefore(g_form, "eUser", "Label1");
             ExpectLabelBefore(g_form, "ePassword", "Label2");
         }),
         TabTo("eUser"), TabTo("ePassword"), TabTo("btnCancel"), TabTo("btnOK"), TabTo("btnHelp"), TabTo("eUser"),
         Do([] { PostClick(Named("btnCancel")); })});
    EXPECT_EQ(Run(t), 2);
}

TEST_F(DataDialog, OkWithUnchangedFieldsGivesTheTextsBackAndLeavesTheThirdAlone) {
    const std::string extra = "Depot=1\r\nFiliale=2\r\n\xE4\xF6\xFC";
    HostTexts t("kennung", "", extra);
    HostTexts before = t;
    ModalScript script({WaitForDialog(), Do([] {
                            // The third text is never shown.
                            EXPECT_FALSE(FindChild(g_form, "EditEx", "Depot=1"));
                            PostClick(Named("btnOK"));
                        })});
    EXPECT_EQ(Run(t), 1);
    EXPECT_TRUE(t == before);

    HostTexts u("kennung", "geheim", extra);
    before = u;
    ModalScript again({WaitForDialog(), Do([] { PostClick(Named("btnOK")); })});
    EXPECT_EQ(Run(u), 1);
    EXPECT_TRUE(u == before);
}

TEST_F(DataDialog, EditedTextsComeBackAsTyped) {
    HostTexts t("alt", "altpw", "x");
    const HostTexts expected = AfterOk(t, " neu \xE4", "");
    ModalScript script({WaitForDialog(), Retype("eUser", " neu \xE4"), Retype("ePassword", ""),
                        Do([] { PostKey(Named("ePassword"), VK_DELETE); }), Do([] { PostClick(Named("btnOK")); })});
    EXPECT_EQ(Run(t), 1);
    // Neither trimmed nor checked; an empty password is accepted.
    EXPECT_TRUE(t == expected);
}

TEST_F(DataDialog, EnterInTheFieldTakesTheTypedText) {
    HostTexts t("alt", "pw", "");
    const HostTexts expected = AfterOk(t, "alt", "neu");
    ModalScript script({WaitForDialog(), Retype("ePassword", "neu"),
                        Do([] { PostKey(Named("ePassword"), VK_RETURN); })});
    EXPECT_EQ(Run(t), 1);
    EXPECT_TRUE(t == expected);
}

TEST_F(DataDialog, LongTextsAreCutTo127OnTheWayBackAnd255OnShowing) {
    std::string u200(200, 'u'), p200(200, 'p');
    u200[126] = 'X';
    // A host with larger buffers still gets no more than 127 characters and
    // a zero; the rest of its buffer stays as it was.
    std::vector<char> user(u200.begin(), u200.end()), password(p200.begin(), p200.end()), extra(8, '\0');
    user.resize(400, '\xCC');
    password.resize(400, '\xCC');
    user[200] = password[200] = '\0';
    std::vector<char> userAfter = user, passwordAfter = password;
    userAfter[127] = passwordAfter[127] = '\0';
    ModalScript script({WaitForDialog(), Do([] { PostClick(Named("btnOK")); })});
    EXPECT_EQ(plugin.ApiDataDialog(user.data(), password.data(), extra.data()), 1);
    EXPECT_EQ(std::string(user.data()), u200.substr(0, 127));
    EXPECT_TRUE(user == userAfter);
    EXPECT_TRUE(password == passwordAfter);

    std::string u300(300, 'a');
    u300[254] = 'Y';
    u300[255] = 'Z';
    std::vector<char> long_user(u300.begin(), u300.end());
    long_user.push_back('\0');
    char pw[IMPAPI_USER_BUFFER_SIZE] = "";
    char ex[8] = "";
    ModalScript shown({WaitForDialog(), Do([] {
                           std::string text = WindowText(Named("eUser"));
                           EXPECT_EQ(text.size(), 255u);
                           EXPECT_EQ(text.back(), 'Y');
                           PostClick(Named("btnOK"));
                       })});
    EXPECT_EQ(plugin.ApiDataDialog(long_user.data(), pw, ex), 1);
    EXPECT_EQ(std::string(long_user.data()), u300.substr(0, 127));

    // Typing stops at the 127 characters the host receives.
    HostTexts t("", "", "");
    const std::string typed(130, 't');
    const HostTexts expected = AfterOk(t, typed.substr(0, 127), typed.substr(0, 127));
    ModalScript typing({WaitForDialog(), Retype("eUser", typed), Retype("ePassword", typed), Do([] {
                            EXPECT_EQ(WindowText(Named("eUser")).size(), 127u);
                            EXPECT_EQ(GetWindowTextLengthA(Named("ePassword")), 127);
                            PostClick(Named("btnOK"));
                        })});
    EXPECT_EQ(Run(t), 1);
    EXPECT_TRUE(t == expected);
}

TEST_F(DataDialog, CancelEscapeAndCloseBoxReturn2AndTouchNothing) {
    struct Way {
        const char *name;
        ModalScript::Step end;
    };
    const Way ways[] = {
        {"Abbrechen", Do([] { PostClick(Named("btnCancel")); })},
        {"Escape", Do([] { PostKey(GetFocus(), VK_ESCAPE); })},
        {"close box", Do([] { PostMessageA(g_form, WM_SYSCOMMAND, SC_CLOSE, 0); })},
    };
    for (const Way &way : ways) {
        HostTexts t("kennung", "geheim", "a\r\nb");
        HostTexts before = t;
        ModalScript script({WaitForDialog(), Retype("eUser", "anders"), Retype("ePassword", "anders"), way.end});
        EXPECT_EQ(Run(t), 2) << way.name;
        EXPECT_TRUE(t == before) << way.name;
        PumpIdle();
    }
}

TEST_F(DataDialog, DialogIsReleasedWhenTheHostServesItsQueue) {
    HostTexts t("", "", "");
    ModalScript script({WaitForDialog(), Do([] { PostClick(Named("btnOK")); })});
    EXPECT_EQ(Run(t), 1);
    HWND left = FindNamedForm(FormName);
    ASSERT_TRUE(left);
    EXPECT_FALSE(IsWindowVisible(left));
    PumpIdle();
    EXPECT_FALSE(IsWindow(left));
}

TEST_F(DataDialog, UnloadBeforeTheHostServesItsQueueLeavesNoWindowBehind) {
    HostTexts t("", "", "");
    ModalScript script({WaitForDialog(), Do([] { PostClick(Named("btnCancel")); })});
    EXPECT_EQ(Run(t), 2);
    plugin.Reload(); // the old code is gone: a window of it left would crash here
    PumpIdle();
    EXPECT_FALSE(FindNamedForm(FormName));
    HostTexts u("a", "b", "");
    ModalScript again({WaitForDialog(), Do([] { PostClick(Named("btnOK")); })});
    EXPECT_EQ(Run(u), 1);
}

TEST_F(DataDialog, NullTextsReadAsEmptyAndAreNeverWritten) {
    ModalScript script({WaitForDialog(), Do([] {
                            EXPECT_EQ(WindowText(Named("eUser")), "");
                            EXPECT_EQ(WindowText(Named("ePassword")), "");
                        }),
                        Retype("eUser", "neu"), Do([] { PostClick(Named("btnOK")); })});
    EXPECT_EQ(plugin.ApiDataDialog(nullptr, nullptr, nullptr), 1);
}

TEST_F(DataDialog, FailureToMakeTheDialogCountsAsCancelAndTouchesNothing) {
    // The plug-in's form class taken before it registers it: no window can be made.
    HMODULE module = GetModuleHandleA("ImpApi_tolva.dll");
    ASSERT_TRUE(module);
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = module;
    wc.lpszClassName = FormClass;
    ASSERT_TRUE(RegisterClassA(&wc));
    HostTexts t("kennung", "geheim", "x");
    const HostTexts before = t;
    {
        ModalScript guard({}); // closes whatever might appear after five seconds
        EXPECT_EQ(Run(t), 2);
        EXPECT_FALSE(FindMessageBox());
    }
    EXPECT_TRUE(t == before);
    UnregisterClassA(FormClass, module);
    plugin.Reload();
    HostTexts u("a", "b", "");
    ModalScript again({WaitForDialog(), Do([] { PostClick(Named("btnOK")); })});
    EXPECT_EQ(Run(u), 1);
}

// ---- the user guide

// A file association for ".pdf" that starts this program as the viewer, in a
// scratch HKEY_CLASSES_ROOT: the machine's own association stays as it is.
class GuideViewer {
    RegistryRootOverride classes_{HKEY_CLASSES_ROOT};

public:
    GuideViewer() {
        char exe[MAX_PATH];
        GetModuleFileNameA(nullptr, exe, MAX_PATH);
        const std::string command = std::string("\"") + exe + "\" --opened \"%1\"";
        Set(".pdf", "ImpApiTest.Guide");
        Set("ImpApiTest.Guide\\shell\\open\\command", command);
        DeleteFileA(OpenedRecord().c_str());
    }
    ~GuideViewer() { DeleteFileA(OpenedRecord().c_str()); }
    // What the viewer was asked to open; empty until it has run.
    static std::string Opened() {
        std::ifstream in(OpenedRecord());
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

private:
    static void Set(const char *key, const std::string &value) {
        HKEY k;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, key, 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr), 0);
        RegSetValueExA(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()), value.size() + 1);
        RegCloseKey(k);
    }
};

TEST_F(DataDialog, GuideMissingShowsNothingAndKeepsTheDialogOpen) {
    std::filesystem::remove_all(ExeDir() + "ImportApi");
    GuideViewer viewer;
    HostTexts t("k", "p", "");
    HostTexts before = t;
    DWORD clicked = 0;
    ModalScript script({WaitForDialog(), Do([&] {
                            PostClick(Named("btnHelp"));
                            clicked = GetTickCount();
                        }),
                        // Long enough for a started viewer to have written its record.
                        [&] { return GetTickCount() - clicked > 1000; },
                        Do([&] {
                            EXPECT_TRUE(IsWindowVisible(g_form));
                            EXPECT_FALSE(FindMessageBox());
                            EXPECT_EQ(GuideViewer::Opened(), "");
                            PostClick(Named("btnCancel"));
                        })});
    EXPECT_EQ(Run(t), 2);
    EXPECT_TRUE(t == before);
}

TEST_F(DataDialog, GuidePresentIsHandedToTheShell) {
    const std::string guide = GuidePath();
    std::filesystem::create_directories(ExeDir() + "ImportApi\\tolva");
    std::ofstream(guide) << "%PDF-1.4\n";
    GuideViewer viewer;
    HostTexts t("k", "p", "");
    const HostTexts expected = AfterOk(t, "k", "p");
    ModalScript script({WaitForDialog(), Do([] { PostClick(Named("btnHelp")); }),
                        [] { return !GuideViewer::Opened().empty(); }, Do([] {
                            EXPECT_EQ(GuideViewer::Opened(), GuidePath());
                            EXPECT_TRUE(IsWindowVisible(g_form)); // the dialog stays
                            PostClick(Named("btnOK"));
                        })});
    EXPECT_EQ(Run(t), 1);
    EXPECT_TRUE(t == expected);
    std::filesystem::remove_all(ExeDir() + "ImportApi");
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 3 && std::strcmp(argv[1], "--opened") == 0) {
        std::ofstream(OpenedRecord()) << argv[2];
        return 0;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
