#include "tests/QvTest.h"
#include "tests/framework/windows/DialogDriver.h"
#include "tests/framework/windows/test_dialogs.h"

#include "framework/windows/CDialogEx.h"
#include "framework/windows/CStatic.h"
#include "framework/windows/DataExchange.h"

namespace {

using qvtest::Checked;
using qvtest::Click;
using qvtest::RunModal;
using qvtest::SetText;
using qvtest::Text;

class ExchangeDlg : public CDialogEx {
public:
    explicit ExchangeDlg(CWnd* parent = nullptr) : CDialogEx(IDD_EXCHANGE, parent) {}

    void DoDataExchange(CDataExchange* dx) override
    {
        DDX_Text(dx, IDC_NAME, m_name);
        DDX_Text(dx, IDC_COUNT, m_count);
        DDX_Check(dx, IDC_FLAG, m_flag);
        DDX_Radio(dx, IDC_FIRST, m_choice);
        DDX_Control(dx, IDC_LABEL, m_label);
    }
    BOOL OnInitDialog() override
    {
        ++initCalls;
        return CDialogEx::OnInitDialog();
    }
    BOOL OnCmdMsg(UINT id, int code, CCmdUI* update) override
    {
        if (id == IDC_NAME && code == EN_CHANGE)
            ++nameChanges;
        return CDialogEx::OnCmdMsg(id, code, update);
    }

    CString m_name = L"initial";
    int m_count = 3;
    int m_flag = 1;
    int m_choice = 1;
    CStatic m_label;
    int initCalls = 0;
    int nameChanges = 0;
};

}  // namespace

TEST(CDialog, ModalDialogShowsTheMembersAndTakesThemBackOnOK)
{
    ExchangeDlg dlg;
    INT_PTR result = RunModal(dlg, [&] {
        EXPECT_EQ(dlg.initCalls, 1);
        EXPECT_EQ(Text(dlg, IDC_NAME), CString(L"initial"));
        EXPECT_EQ(Text(dlg, IDC_COUNT), CString(L"3"));
        EXPECT_EQ(Checked(dlg, IDC_FLAG), BST_CHECKED);
        EXPECT_EQ(Checked(dlg, IDC_FIRST), BST_UNCHECKED);
        EXPECT_EQ(Checked(dlg, IDC_SECOND), BST_CHECKED);
        EXPECT_EQ(Checked(dlg, IDC_OTHER), BST_UNCHECKED) << "the group ends at the next WS_GROUP control";
        EXPECT_EQ(dlg.m_label.m_hWnd, qvtest::Item(dlg, IDC_LABEL)) << "DDX_Control subclasses the item";

        SetText(dlg, IDC_NAME, L"changed");
        SetText(dlg, IDC_COUNT, L" -42 ");
        Click(dlg, IDC_FLAG);
        Click(dlg, IDC_THIRD);
        Click(dlg, IDC_OTHER);
        Click(dlg, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dlg.m_hWnd, nullptr);
    EXPECT_EQ(dlg.m_label.m_hWnd, nullptr) << "the control object is detached with its window";
    EXPECT_EQ(dlg.m_name, CString(L"changed"));
    EXPECT_EQ(dlg.m_count, -42);
    EXPECT_EQ(dlg.m_flag, 0);
    EXPECT_EQ(dlg.m_choice, 2);
    EXPECT_GE(dlg.nameChanges, 1) << "EN_CHANGE reaches the dialog's OnCmdMsg";
}

TEST(CDialog, CancelLeavesTheMembersUntouched)
{
    ExchangeDlg dlg;
    INT_PTR result = RunModal(dlg, [&] {
        SetText(dlg, IDC_NAME, L"typed");
        Click(dlg, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(dlg.m_name, CString(L"initial"));
}

TEST(CDialog, KeysReachTheDialogThroughItsOwnMessageLoop)
{
    struct Case {
        const char* name;
        WPARAM key;
        INT_PTR expected;
    } cases[] = {{"Enter presses the default button", VK_RETURN, IDOK},
                 {"Escape cancels", VK_ESCAPE, IDCANCEL}};
    for (const Case& c : cases) {
        ExchangeDlg dlg;
        INT_PTR result = RunModal(dlg, [&] {
            HWND edit = qvtest::Item(dlg, IDC_NAME);
            ::SetFocus(edit);
            ::PostMessageW(edit, WM_KEYDOWN, c.key, 1);
        });
        EXPECT_EQ(result, c.expected) << c.name;
    }
}

TEST(CDialog, RefusedNumberKeepsTheDialogOpenWithAMessage)
{
    qvtest::MessageBoxCapture boxes;
    ExchangeDlg dlg;
    INT_PTR result = RunModal(dlg, [&] {
        for (const WCHAR* bad : {L"12x", L"", L"99999999999", L"-"}) {
            SetText(dlg, IDC_COUNT, bad);
            Click(dlg, IDOK);
            EXPECT_TRUE(dlg.IsWindowVisible()) << CString(bad).ToUtf8();
            EXPECT_EQ(::GetFocus(), qvtest::Item(dlg, IDC_COUNT)) << "the refused field gets the focus";
        }
        SetText(dlg, IDC_COUNT, L"2147483647");
        Click(dlg, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dlg.m_count, 2147483647);
    ASSERT_EQ(boxes.texts.size(), 4u);
    EXPECT_EQ(boxes.texts[0], CString(L"Please enter an integer."));
}

TEST(CDialog, RadioGroupWithNoSelectionReadsMinusOne)
{
    ExchangeDlg dlg;
    dlg.m_choice = -1;
    RunModal(dlg, [&] {
        EXPECT_EQ(Checked(dlg, IDC_FIRST) + Checked(dlg, IDC_SECOND) + Checked(dlg, IDC_THIRD), 0);
        Click(dlg, IDOK);
    });
    EXPECT_EQ(dlg.m_choice, -1);
}

TEST(CDialog, ModalDialogDisablesItsOwnerWhileItRuns)
{
    CStatic owner;
    ASSERT_TRUE(owner.Create(L"owner", WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100}, nullptr));
    ExchangeDlg dlg(&owner);
    RunModal(dlg, [&] {
        EXPECT_FALSE(owner.IsWindowEnabled());
        EXPECT_EQ(::GetWindow(dlg.m_hWnd, GW_OWNER), owner.m_hWnd);
        Click(dlg, IDCANCEL);
    });
    EXPECT_TRUE(owner.IsWindowEnabled());
}

TEST(CDialog, ModelessDialogLivesUntilDestroyed)
{
    ExchangeDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_EXCHANGE));
    EXPECT_EQ(Text(dlg, IDC_NAME), CString(L"initial"));
    SetText(dlg, IDC_NAME, L"modeless");
    EXPECT_TRUE(dlg.UpdateData(TRUE));
    EXPECT_EQ(dlg.m_name, CString(L"modeless"));
    dlg.ShowWindow(SW_SHOW);
    Click(dlg, IDOK);
    EXPECT_EQ(dlg.GetResult(), IDOK);
    EXPECT_TRUE(dlg.IsWindow());
    EXPECT_FALSE(dlg.IsWindowVisible());
    dlg.DestroyWindow();
    EXPECT_EQ(dlg.m_hWnd, nullptr);
}

TEST(CDialog, MissingTemplateFailsWithoutAWindow)
{
    CDialog dlg(4242);
    EXPECT_EQ(dlg.DoModal(), -1);
    EXPECT_EQ(dlg.m_hWnd, nullptr);
}

namespace {

// A window whose handler of a private message runs a modal dialog, as the
// main window does for a report a worker sends.
class ReportWnd : public CWnd {
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message != WM_APP)
            return CWnd::WindowProc(message, wParam, lParam);
        ExchangeDlg dlg;
        return RunModal(dlg, [&] {
            SetText(dlg, IDC_COUNT, L"17");
            Click(dlg, IDOK);
        });
    }
};

struct SendJob {
    HWND target;
    LRESULT answer = 0;
};

DWORD WINAPI SendFromWorker(void* param)
{
    auto* job = static_cast<SendJob*>(param);
    job->answer = ::SendMessageW(job->target, WM_APP, 0, 0);
    return 0;
}

}  // namespace

TEST(CDialog, ModalDialogRunsInsideAMessageAWorkerSendsWhileTheUserInterfaceThreadPumps)
{
    ReportWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, CWnd::RegisterWndClass(0), L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
    SendJob job{wnd.m_hWnd};
    HANDLE worker = ::CreateThread(nullptr, 0, SendFromWorker, &job, 0, nullptr);
    ASSERT_NE(worker, nullptr);
    DWORD start = GetTickCount();
    while (::MsgWaitForMultipleObjects(1, &worker, FALSE, 100, QS_ALLINPUT) != WAIT_OBJECT_0 &&
           GetTickCount() - start < 10000)
        PumpPendingMessages();
    EXPECT_EQ(::WaitForSingleObject(worker, 0), WAIT_OBJECT_0) << "the worker's send was not served";
    ::CloseHandle(worker);
    EXPECT_EQ(job.answer, IDOK);
}
