// The download progress window on real windows: layout, the bar's sweep,
// cancel, hide and show again, and the close box.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include "UiTestSupport.h"
#include "dialogs/ImpApiDownloadProgress.h"

namespace {

constexpr const char *FormName = "frmDownloadProgress";
constexpr const char *RunningText = "Download l\xE4uft ...";

class DownloadProgress : public ::testing::Test {
protected:
    void SetUp() override { InitFrameworkForTests(); }
    void TearDown() override { HideDownloadProgress(); }

    // The open window as a host's thread has it: the form behind the window "Info".
    static TfrmDownloadProgress *OpenForm() {
        return dynamic_cast<TfrmDownloadProgress *>(TWinControl::FindControl(FindNamedForm(FormName)));
    }
    static TfrmDownloadProgress &Open() {
        ShowDownloadProgress(nullptr);
        EXPECT_NE(OpenForm(), nullptr);
        return *OpenForm();
    }
    static void Tick(TfrmDownloadProgress &f) { SendMessageA(f.Timer1->Handle(), WM_TIMER, 1, 0); }
    static int BarLeft(TfrmDownloadProgress &f) { return ChildRect(f.Shape1->Handle()).left; }
    // The position the trough reports as a progress bar.
    static LRESULT Reported(TfrmDownloadProgress &f) { return SendMessageA(f.Panel1->Handle(), PBM_GETPOS, 0, 0); }
};

TEST_F(DownloadProgress, LayoutAsDesigned) {
    Open();
    HWND w = FindNamedForm(FormName);
    ASSERT_TRUE(w);
    EXPECT_TRUE(IsWindowVisible(w));
    EXPECT_EQ(WindowText(w), "Info");
    ExpectFrame(w, 248, 127, WS_SYSMENU | WS_CAPTION, WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
    EXPECT_EQ(GetClassLongPtrA(w, GCLP_HMODULE), reinterpret_cast<ULONG_PTR>(GetModuleHandleA(nullptr)));

    HWND panel = FindNamed(w, "Panel1");
    HWND shape = FindNamed(w, "Shape1");
    ExpectLayout(w, {{"Label1", RunningText, 16, 8, Any, Any, -13, FW_BOLD},
                     {"Panel1", nullptr, 16, 40, 209, 17},
                     {"Shape1", nullptr, 0, -1, 33, 19}, // within the panel
                     {"Button1", "Download abbrechen", 56, 80, 129, 25, -11}});
    EXPECT_EQ(GetParent(shape), panel);
    // The trough is a real progress control, from 0 to 100, for accessibility clients.
    char cls[32];
    GetClassNameA(panel, cls, sizeof cls);
    EXPECT_STREQ(cls, "msctls_progress32");
    EXPECT_EQ(SendMessageA(panel, PBM_GETRANGE, FALSE, 0), 100);
    EXPECT_EQ(SendMessageA(panel, PBM_GETPOS, 0, 0), 0);
    PumpIdle(); // painted: button-face window, lowered bevel, bar in the highlight colour
    HDC dc = GetDC(shape);
    EXPECT_EQ(GetPixel(dc, 10, 10), GetSysColor(COLOR_HIGHLIGHT));
    ReleaseDC(shape, dc);
    dc = GetDC(panel);
    EXPECT_EQ(GetPixel(dc, 100, 0), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(GetPixel(dc, 100, 16), GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(GetPixel(dc, 100, 8), GetSysColor(COLOR_BTNFACE));
    ReleaseDC(panel, dc);
    dc = GetDC(w);
    EXPECT_EQ(GetPixel(dc, 240, 120), GetSysColor(COLOR_BTNFACE));
    ReleaseDC(w, dc);

    EXPECT_FALSE(DownloadCancelled());
}

TEST_F(DownloadProgress, BarSweepsTenPixelsPerTickAndWrapsOnTheTwentieth) {
    auto &f = Open();
    for (int i = 1; i <= 19; ++i) {
        Tick(f);
        ASSERT_EQ(BarLeft(f), 10 * i);
        ASSERT_EQ(Reported(f), 10 * i * 100 / 209); // where the block stands, in percent of the trough
    }
    Tick(f);
    EXPECT_EQ(BarLeft(f), 0);
    EXPECT_EQ(Reported(f), 0);
    Tick(f);
    EXPECT_EQ(BarLeft(f), 10);
}

TEST_F(DownloadProgress, TheTimerTicksOncePerSecond) {
    auto &f = Open();
    DWORD start = GetTickCount();
    PumpUntil([&] { return BarLeft(f) != 0; }, 3000);
    DWORD elapsed = GetTickCount() - start;
    EXPECT_EQ(BarLeft(f), 10);
    EXPECT_GE(elapsed, 900u);
    EXPECT_LE(elapsed, 2500u); // generous: the machine may be busy
}

TEST_F(DownloadProgress, CancelChangesCaptionColourAndStopsTheBar) {
    auto &f = Open();
    Tick(f);
    HWND w = FindNamedForm(FormName);
    HWND label = FindNamed(w, "Label1");
    LONG runningWidth = ChildRect(label).right - ChildRect(label).left;
    SendMessageA(FindNamed(w, "Button1"), BM_CLICK, 0, 0);
    EXPECT_TRUE(DownloadCancelled());
    EXPECT_EQ(WindowText(label), "Download wird abgebrochen !");
    EXPECT_GT(ChildRect(label).right - ChildRect(label).left, runningWidth); // not cut off
    EXPECT_EQ(f.Shape1->Color(), 0x0000FF);
    EXPECT_FALSE(f.Timer1->Enabled());
    EXPECT_EQ(f.Timer1->Handle(), nullptr);
    Pump(1300);
    EXPECT_EQ(BarLeft(f), 10);
    HDC dc = GetDC(f.Shape1->Handle());
    EXPECT_EQ(GetPixel(dc, 10, 10), RGB(255, 0, 0));
    ReleaseDC(f.Shape1->Handle(), dc);
    EXPECT_TRUE(IsWindowVisible(w)); // the window only records the wish
}

TEST_F(DownloadProgress, ShownAgainAfterHideIsAFreshWindow) {
    auto &first = Open();
    Tick(first);
    SendMessageA(first.Button1->Handle(), BM_CLICK, 0, 0);
    HWND old = first.Handle();
    HideDownloadProgress();
    EXPECT_FALSE(IsWindow(old));
    EXPECT_EQ(OpenForm(), nullptr);
    EXPECT_FALSE(DownloadCancelled());

    auto &f = Open();
    EXPECT_FALSE(DownloadCancelled());
    EXPECT_EQ(BarLeft(f), 0);
    EXPECT_EQ(f.Shape1->Color(), static_cast<TColor>(0x8000000D));
    EXPECT_EQ(WindowText(f.Label1->Handle()), RunningText);
    EXPECT_TRUE(f.Timer1->Enabled());
    EXPECT_NE(f.Timer1->Handle(), nullptr);
}

TEST_F(DownloadProgress, SecondShowKeepsTheFirstWindowAndItsState) {
    auto &f = Open();
    Tick(f);
    SendMessageA(f.Button1->Handle(), BM_CLICK, 0, 0);
    HWND w = f.Handle();
    ShowDownloadProgress(nullptr);
    EXPECT_EQ(OpenForm(), &f);
    EXPECT_EQ(f.Handle(), w);
    EXPECT_TRUE(DownloadCancelled());
    EXPECT_EQ(BarLeft(f), 10);
    EXPECT_FALSE(f.Timer1->Enabled());
}

TEST_F(DownloadProgress, CloseBoxOnlyHides) {
    auto &f = Open();
    HWND w = f.Handle();
    SendMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(IsWindow(w));
    EXPECT_FALSE(IsWindowVisible(w));
    EXPECT_EQ(OpenForm(), &f);
    EXPECT_FALSE(DownloadCancelled());
    EXPECT_TRUE(f.Timer1->Enabled());
    HideDownloadProgress();
    EXPECT_FALSE(IsWindow(w));
}

TEST_F(DownloadProgress, RoutinesWithoutAWindowDoNothing) {
    EXPECT_FALSE(DownloadCancelled());
    HideDownloadProgress();
    HideDownloadProgress();
    EXPECT_EQ(OpenForm(), nullptr);
    EXPECT_FALSE(FindNamedForm(FormName));
}

TEST_F(DownloadProgress, OwnerIsPassedToTheWindow) {
    HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ShowDownloadProgress(owner);
    EXPECT_EQ(GetWindow(FindNamedForm(FormName), GW_OWNER), owner);
    HideDownloadProgress();
    DestroyWindow(owner);
}

} // namespace
