#include "tests/QvTest.h"
#include "tests/framework/windows/DialogDriver.h"

#include "framework/windows/CButton.h"
#include "framework/windows/CEdit.h"
#include "framework/base/CException.h"
#include "framework/windows/CStatic.h"
#include "framework/windows/CWnd.h"
#include "framework/base/MessagePump.h"

#include <vector>

namespace {

// A window that records what its handlers saw.
class RecordingWnd : public CWnd {
public:
    BOOL Create(HWND parent = nullptr)
    {
        const WCHAR* cls = RegisterWndClass(CS_HREDRAW | CS_VREDRAW, ::LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW),
                                            (HBRUSH)(COLOR_WINDOW + 1));
        DWORD style = parent ? WS_CHILD | WS_VISIBLE : WS_OVERLAPPEDWINDOW;
        return CreateEx(0, cls, L"Recording", style, 10, 10, 300, 200, parent, nullptr, (void*)this);
    }

    int OnCreate(CREATESTRUCTW* cs) override
    {
        createParam = cs->lpCreateParams;
        hwndAtCreate = m_hWnd;
        return refuseCreate ? -1 : CWnd::OnCreate(cs);
    }
    void OnTimer(UINT_PTR id) override
    {
        timers.push_back(id);
        KillTimer(id);
    }
    void OnSize(UINT, int cx, int cy) override
    {
        lastSize = {cx, cy};
        CWnd::OnSize(0, cx, cy);
    }
    void OnDestroy() override
    {
        ++destroyed;
        CWnd::OnDestroy();
    }
    void PostNcDestroy() override { ++ncDestroyed; }
    BOOL OnCmdMsg(UINT id, int code, CCmdUI*) override
    {
        if (code == EN_UPDATE)
            return FALSE;  // edit controls announce every change twice
        commands.push_back({(int)id, code});
        return id == handledCommand;
    }

    bool refuseCreate = false;
    void* createParam = nullptr;
    HWND hwndAtCreate = nullptr;
    std::vector<UINT_PTR> timers;
    SIZE lastSize = {};
    int destroyed = 0;
    int ncDestroyed = 0;
    std::vector<std::pair<int, int>> commands;
    UINT handledCommand = 0;
};

// An edit control that takes its own change notifications.
class SelfWatchingEdit : public CEdit {
public:
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM, LRESULT*) override
    {
        if (message == WM_COMMAND && HIWORD(wParam) == EN_CHANGE) {
            ++changes;
            return TRUE;
        }
        return FALSE;
    }
    int changes = 0;
};

class SelfDeletingWnd : public CWnd {
public:
    explicit SelfDeletingWnd(bool* deleted) : m_deleted(deleted) {}
    ~SelfDeletingWnd() override { *m_deleted = true; }
    void PostNcDestroy() override { delete this; }

private:
    bool* m_deleted;
};

class ThrowingWnd : public RecordingWnd {
public:
    void OnTimer(UINT_PTR id) override
    {
        KillTimer(id);
        if (id == 1)
            throw new CFileException(CFileException::fileNotFound, -1, L"missing.txt");
        throw 42;
    }
};

}  // namespace

TEST(CWnd, CreateExAttachesBeforeTheFirstHandlerAndDestroyDetaches)
{
    RecordingWnd wnd;
    ASSERT_TRUE(wnd.Create());
    EXPECT_EQ(wnd.hwndAtCreate, wnd.m_hWnd);
    EXPECT_EQ(wnd.createParam, (void*)&wnd);
    EXPECT_EQ(CWnd::FromHandlePermanent(wnd.m_hWnd), &wnd);
    EXPECT_EQ(CWnd::FromHandle(wnd.m_hWnd), &wnd);

    HWND hwnd = wnd.m_hWnd;
    EXPECT_TRUE(wnd.DestroyWindow());
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_EQ(wnd.destroyed, 1);
    EXPECT_EQ(wnd.ncDestroyed, 1);
    EXPECT_EQ(CWnd::FromHandlePermanent(hwnd), nullptr);
    EXPECT_FALSE(::IsWindow(hwnd));
}

TEST(CWnd, RefusedCreateFailsAndLeavesTheObjectDetached)
{
    RecordingWnd wnd;
    wnd.refuseCreate = true;
    EXPECT_FALSE(wnd.Create());
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_EQ(wnd.ncDestroyed, 1);
}

TEST(CWnd, HandlersReceiveTimerSizeAndCommands)
{
    RecordingWnd wnd;
    ASSERT_TRUE(wnd.Create());
    wnd.SetTimer(7, 1);
    qvtest::PumpFor(50);
    EXPECT_EQ(wnd.timers, std::vector<UINT_PTR>{7});

    wnd.MoveWindow(0, 0, 250, 150);
    RECT client;
    wnd.GetClientRect(&client);
    EXPECT_EQ(wnd.lastSize.cx, client.right);
    EXPECT_EQ(wnd.lastSize.cy, client.bottom);

    // Menu commands come with code 0, accelerators with code 1: both are plain
    // commands; a control's notification keeps its code.
    wnd.handledCommand = 40001;
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(40001, 1), 0);
    CButton button;
    ASSERT_TRUE(button.Create(L"Go", WS_CHILD | BS_PUSHBUTTON, RECT{0, 0, 50, 20}, &wnd, 40002));
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(40002, BN_CLICKED), (LPARAM)button.m_hWnd);
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(40003, EN_CHANGE), (LPARAM)button.m_hWnd);
    std::vector<std::pair<int, int>> expected = {{40001, 0}, {40002, BN_CLICKED}, {40003, EN_CHANGE}};
    EXPECT_EQ(wnd.commands, expected);
}

TEST(CWnd, CloseRunsTheDefaultProcessingWhichDestroysTheWindow)
{
    RecordingWnd wnd;
    ASSERT_TRUE(wnd.Create());
    wnd.SendMessage(WM_CLOSE);
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_EQ(wnd.destroyed, 1);
}

TEST(CWnd, ControlsCreatedInCodeAndSubclassedGetTheirOwnNotifications)
{
    RecordingWnd parent;
    ASSERT_TRUE(parent.Create());
    SelfWatchingEdit edit;
    ASSERT_TRUE(edit.Create(WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, RECT{5, 5, 200, 30}, &parent, 300));
    edit.SetWindowText(L"abc");
    EXPECT_EQ(edit.changes, 1);
    EXPECT_EQ(edit.GetWindowText(), CString(L"abc"));
    EXPECT_TRUE(parent.commands.empty()) << "a notification the control took must not reach the parent";

    // A control made without an object, taken over afterwards.
    HWND raw = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 5, 40, 200, 25, parent.m_hWnd,
                                 (HMENU)301, nullptr, nullptr);
    SelfWatchingEdit taken;
    ASSERT_TRUE(taken.SubclassWindow(::GetDlgItem(parent.m_hWnd, 301)));
    EXPECT_FALSE(SelfWatchingEdit().SubclassWindow(raw)) << "a window has one object";
    ::SetWindowTextW(raw, L"x");
    EXPECT_EQ(taken.changes, 1);
    EXPECT_EQ(taken.UnsubclassWindow(), raw);
    ::SetWindowTextW(raw, L"y");
    EXPECT_EQ(taken.changes, 1);
    ASSERT_EQ(parent.commands.size(), 1u);
    EXPECT_EQ(parent.commands[0], std::make_pair(301, (int)EN_CHANGE));
}

TEST(CWnd, TemporaryObjectsWrapForeignHandlesUntilDeleteTempMap)
{
    HWND raw = ::CreateWindowExW(0, L"STATIC", L"label", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(raw, nullptr);
    CWnd* temp = CWnd::FromHandle(raw);
    ASSERT_NE(temp, nullptr);
    EXPECT_EQ(temp->m_hWnd, raw);
    EXPECT_EQ(CWnd::FromHandle(raw), temp);
    EXPECT_EQ(CWnd::FromHandlePermanent(raw), nullptr);
    EXPECT_EQ(temp->GetWindowText(), CString(L"label"));
    CWnd::DeleteTempMap();
    EXPECT_TRUE(::IsWindow(raw)) << "deleting the wrapper must not destroy the window";
    EXPECT_EQ(CWnd::FromHandle(nullptr), nullptr);
    ::DestroyWindow(raw);
}

TEST(CWnd, ObjectDestroyedWhileItsWindowLivesDestroysTheWindow)
{
    HWND hwnd;
    {
        CStatic label;
        ASSERT_TRUE(label.Create(L"x", WS_POPUP, RECT{0, 0, 10, 10}, nullptr));
        hwnd = label.m_hWnd;
    }
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(CWnd::FromHandlePermanent(hwnd), nullptr);
}

TEST(CWnd, HeapWindowDeletesItselfInPostNcDestroy)
{
    bool deleted = false;
    auto* wnd = new SelfDeletingWnd(&deleted);
    ASSERT_TRUE(wnd->CreateEx(0, CWnd::RegisterWndClass(0), L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
    ::DestroyWindow(wnd->m_hWnd);
    EXPECT_TRUE(deleted);
}

TEST(CWnd, ExceptionsInHandlersAreReportedOrSwallowedNotPropagated)
{
    qvtest::MessageBoxCapture boxes;
    ThrowingWnd wnd;
    ASSERT_TRUE(wnd.Create());
    wnd.SetTimer(1, 1);
    wnd.SetTimer(2, 1);
    qvtest::PumpFor(60);
    ASSERT_EQ(boxes.texts.size(), 1u) << "a framework exception is shown once; anything else is swallowed";
    EXPECT_NE(boxes.texts[0].Find(L"missing.txt"), -1);
    EXPECT_TRUE(wnd.IsWindow());
}

TEST(CWnd, PreTranslateWalkStopsAtTheTopLevelWindow)
{
    struct Filter : RecordingWnd {
        BOOL PreTranslateMessage(MSG* msg) override
        {
            seen.push_back(msg->message);
            return msg->message == WM_KEYDOWN;
        }
        std::vector<UINT> seen;
    };
    Filter top, child;
    ASSERT_TRUE(top.Create());
    ASSERT_TRUE(child.Create(top.m_hWnd));
    MSG msg = {child.m_hWnd, WM_CHAR, 'a', 0, 0, {0, 0}};
    EXPECT_FALSE(CWnd::WalkPreTranslateTree(&msg));
    EXPECT_EQ(child.seen, std::vector<UINT>{WM_CHAR});
    EXPECT_EQ(top.seen, std::vector<UINT>{WM_CHAR});
    msg.message = WM_KEYDOWN;
    EXPECT_TRUE(CWnd::WalkPreTranslateTree(&msg));
    EXPECT_EQ(top.seen.size(), 1u) << "a child that used the message stops the walk";
}

TEST(MessagePump, DispatchesWaitingMessagesAndKeepsAQuitForTheLoop)
{
    RecordingWnd wnd;
    ASSERT_TRUE(wnd.Create());
    wnd.PostMessage(WM_COMMAND, 40010, 0);
    wnd.PostMessage(WM_COMMAND, 40011, 0);
    EXPECT_TRUE(PumpPendingMessages());
    EXPECT_EQ(wnd.commands.size(), 2u);

    ::PostQuitMessage(5);
    EXPECT_FALSE(PumpPendingMessages());
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 5u);
}

TEST(MessageBoxes, HookReceivesTextCaptionAndTypeAndAnswers)
{
    qvtest::MessageBoxCapture boxes(IDNO);
    EXPECT_EQ(AfxMessageBox(L"Delete it?", MB_YESNO), IDNO);
    RecordingWnd wnd;
    ASSERT_TRUE(wnd.Create());
    EXPECT_EQ(AfxShowMessageBox(wnd.m_hWnd, L"Text", L"Title", MB_OKCANCEL), IDNO);
    ASSERT_EQ(boxes.texts.size(), 2u);
    EXPECT_EQ(boxes.texts[0], CString(L"Delete it?"));
    EXPECT_EQ(boxes.captions[0], CString(L"Quorvex"));
    EXPECT_EQ(boxes.types[0], (UINT)MB_YESNO);
    EXPECT_EQ(boxes.captions[1], CString(L"Title"));
    EXPECT_EQ(boxes.types[1], (UINT)MB_OKCANCEL);
}
