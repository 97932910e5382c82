#pragma once
// Shared by the edit control tests: a shown form with two text edits and no
// buttons (so Enter and Escape reach the edits), and reading the error box.
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "controls/UserEdit.h"

struct EditForm : TForm {
    EditForm();
    TEditText *eFirst = nullptr;
    TEditText *eSecond = nullptr;
};

// Typing, keys and clicks through the thread's queue, then served.
void Type(const std::string &Text);
void Key(WORD Key);
void Click(HWND Window, int X, int Y);
// The selection of an EDIT window as (start, end).
std::pair<int, int> Selection(HWND Window);

// A step that waits for the error message box, keeps its text and closes it.
ModalScript::Step CloseErrorBox(std::string &Text);

// While it lives, an error box that stays open for two seconds (no script
// expects it) is a failure and is closed, so that no test hangs.
class StrayBoxGuard {
public:
    StrayBoxGuard();
    ~StrayBoxGuard();

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    UINT_PTR timer_;
};

// The two-field form, made anew for each test; Show puts it on screen with
// the focus in the second field.
class EditFormTest : public ::testing::Test {
protected:
    void SetUp() override;
    void Show();
    StrayBoxGuard guard;
    std::unique_ptr<EditForm> form;
    TEditText *a = nullptr, *b = nullptr;
};
