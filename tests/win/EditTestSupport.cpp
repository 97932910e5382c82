#include "EditTestSupport.h"

#include <gtest/gtest.h>

namespace {
using F = EditForm;
constexpr TControlDef Controls[] = {
    {.Create = Field<&F::eFirst>, .Name = "eFirst", .Left = 8, .Top = 8, .Width = 120, .Height = 21, .TabOrder = 0},
    {.Create = Field<&F::eSecond>, .Name = "eSecond", .Left = 8, .Top = 40, .Width = 120, .Height = 21,
     .TabOrder = 1},
};
constexpr TFormDef Layout = {.Name = "EditForm", .Caption = "Edit test", .ClientWidth = 200, .ClientHeight = 80,
                             .Controls = Controls};
} // namespace

EditForm::EditForm() { LoadLayout(Layout); }

void Type(const std::string &Text) {
    PostChars(GetFocus(), Text);
    PumpIdle();
}

void Key(WORD Key) {
    PostKey(GetFocus(), Key);
    PumpIdle();
}

void Click(HWND Window, int X, int Y) {
    PostMessageA(Window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(X, Y));
    PostMessageA(Window, WM_LBUTTONUP, 0, MAKELPARAM(X, Y));
    PumpIdle();
}

std::pair<int, int> Selection(HWND Window) {
    DWORD start = 0, end = 0;
    SendMessageA(Window, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return {static_cast<int>(start), static_cast<int>(end)};
}

ModalScript::Step CloseErrorBox(std::string &Text) {
    return [&Text] {
        HWND box = FindMessageBox();
        if (!box)
            return false;
        Text = MessageBoxText(box);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        return true;
    };
}

namespace {
int g_boxTicks = 0;
}

StrayBoxGuard::StrayBoxGuard() : timer_(SetTimer(nullptr, 0, 100, Tick)) {}
StrayBoxGuard::~StrayBoxGuard() { KillTimer(nullptr, timer_); }

void CALLBACK StrayBoxGuard::Tick(HWND, UINT, UINT_PTR, DWORD) {
    HWND box = FindMessageBox();
    if (!box) {
        g_boxTicks = 0;
        return;
    }
    if (++g_boxTicks < 20)
        return;
    ADD_FAILURE() << "unexpected error box: " << MessageBoxText(box);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    g_boxTicks = 0;
}

void EditFormTest::SetUp() {
    InitFrameworkForTests();
    form = std::make_unique<EditForm>();
    a = form->eFirst;
    b = form->eSecond;
}

void EditFormTest::Show() {
    form->Show();
    PumpIdle();
    b->SetFocus();
    PumpIdle();
}
