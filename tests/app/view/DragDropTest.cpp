// Dragging list items to a drop target of the test's own, through the
// system's drag loop driven by synthesized mouse and key input.
#include "tests/app/shell/MainWindowSupport.h"
#include "tests/app/view/ViewTestSupport.h"

#include "app/DropSource.h"
#include "app/OrvantisApp.h"

#include <shellapi.h>
#include <shlobj.h>

#include <atomic>
#include <vector>

namespace {

// A drop target that records what it was offered and performs the effect
// the test asks for: a copy, or a move of the first file into `moveTo`.
class TestDropTarget : public IDropTarget {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (iid == IID_IUnknown || iid == IID_IDropTarget) {
            *object = static_cast<IDropTarget*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL, DWORD* effect) override
    {
        ++enters;
        enterKeys = keys;
        FORMATETC marker = {(CLIPFORMAT)g_ShellFileListFormat, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        sawMarker = data->QueryGetData(&marker) == S_OK;
        *effect = Chosen(keys, *effect);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL, DWORD* effect) override
    {
        *effect = Chosen(keys, *effect);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL, DWORD* effect) override
    {
        ++drops;
        files.clear();
        FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        STGMEDIUM medium = {};
        if (data->GetData(&format, &medium) == S_OK) {
            auto drop = (HDROP)medium.hGlobal;
            UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
            for (UINT i = 0; i < count; ++i) {
                WCHAR name[MAX_PATH] = {};
                ::DragQueryFileW(drop, i, name, MAX_PATH);
                files.push_back(name);
            }
            ::ReleaseStgMedium(&medium);
        }
        *effect = Chosen(keys | lastKeys, *effect);
        if (*effect == DROPEFFECT_MOVE && !files.empty())
            ::MoveFileW(files[0], moveTo + L"\\" + files[0].Mid(files[0].ReverseFind(L'\\') + 1));
        return S_OK;
    }
    DWORD Chosen(DWORD keys, DWORD allowed)
    {
        lastKeys = keys;
        DWORD wanted = moveWanted ? DROPEFFECT_MOVE : ((keys & MK_CONTROL) ? DROPEFFECT_COPY : DROPEFFECT_MOVE);
        return allowed & wanted;
    }

    bool moveWanted = false;
    CString moveTo;
    std::atomic<int> enters{0};  // read by the input thread
    int drops = 0;
    DWORD enterKeys = 0, lastKeys = 0;
    bool sawMarker = false;
    std::vector<CString> files;
};

// Mouse and keys as the user gives them, from a thread of their own while
// the user-interface thread runs the drag loop.
class InputScript {
public:
    static void MoveTo(POINT point)
    {
        INPUT input = {};
        input.type = INPUT_MOUSE;
        input.mi.dx = (LONG)((point.x * 65535LL) / (::GetSystemMetrics(SM_CXSCREEN) - 1));
        input.mi.dy = (LONG)((point.y * 65535LL) / (::GetSystemMetrics(SM_CYSCREEN) - 1));
        input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        ::SendInput(1, &input, sizeof input);
    }
    static void Button(bool down)
    {
        INPUT input = {};
        input.type = INPUT_MOUSE;
        input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
        ::SendInput(1, &input, sizeof input);
    }
    static void Key(WORD key)
    {
        INPUT input[2] = {};
        input[0].type = input[1].type = INPUT_KEYBOARD;
        input[0].ki.wVk = input[1].ki.wVk = key;
        input[1].ki.dwFlags = KEYEVENTF_KEYUP;
        ::SendInput(2, input, sizeof(INPUT));
    }
};

// Runs a drag of the list's selected items: press on `from`, then a small
// move so the list starts dragging, then bring the target under the
// pointer and release (or press Escape instead). The small move is posted
// to the list rather than made with the real pointer: under a bare X
// server every real pointer move makes the display driver read the keys
// back from the server, which knows nothing of the program's simulated Ctrl.
struct DragRun {
    POINT from;
    HWND list;
    HWND target;
    TestDropTarget* dropTarget;
    DWORD uiThread;
    POINT frameOrigin;
    bool cancel;
    std::atomic<bool> done{false};

    // The window that has the user-interface thread's mouse capture.
    HWND Capture() const
    {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        return ::GetGUIThreadInfo(uiThread, &info) ? info.hwndCapture : nullptr;
    }
    // Waits (at most 10 s) until the condition holds.
    template <class Condition>
    static bool WaitFor(Condition condition)
    {
        for (DWORD start = ::GetTickCount(); !condition(); Sleep(10))
            if (::GetTickCount() - start > 10000)
                return false;
        return true;
    }

    static DWORD WINAPI Thread(void* param)
    {
        auto* run = (DragRun*)param;
        InputScript::MoveTo(run->from);
        Sleep(200);
        InputScript::Button(true);
        Sleep(100);
        POINT client = run->from;
        ::ScreenToClient(run->list, &client);
        ::PostMessageW(run->list, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(client.x + 20, client.y + 6));
        // The drag loop runs once a window other than the list has the
        // capture; moving the target under the pointer then leaves the
        // pointer (and the keys) alone, and the loop enters it.
        WaitFor([run] {
            HWND capture = run->Capture();
            return capture && capture != run->list;
        });
        ::SetWindowPos(run->target, HWND_TOP, run->from.x - 40 - run->frameOrigin.x,
                       run->from.y - 20 - run->frameOrigin.y, 80, 40, SWP_SHOWWINDOW | SWP_NOACTIVATE);
        WaitFor([run] { return run->dropTarget->enters.load() > 0; });
        if (run->cancel) {
            InputScript::Key(VK_ESCAPE);
            WaitFor([run] { return run->Capture() == nullptr; });
        }
        InputScript::Button(false);
        run->done = true;
        return 0;
    }
};

class DragDropTest : public qvtest::ProgramTest {
protected:
    void SetUp() override
    {
        qvtest::ProgramTest::SetUp();
        Start();
        for (const WCHAR* name : {L"a.txt", L"b.txt", L"c.txt"})
            folder.WriteFile(name, "drag me");
        target.moveTo = elsewhere.Path();
        // On top of everything, so that the input reaches this program.
        ::SetWindowPos(frame->m_hWnd, HWND_TOPMOST, 0, 0, 900, 700, SWP_SHOWWINDOW);
        ::SetForegroundWindow(frame->m_hWnd);
        ASSERT_TRUE(targetWindow.CreateEx(0, CWnd::RegisterWndClass(0, nullptr, (HBRUSH)(COLOR_HIGHLIGHT + 1)),
                                          L"Drop here", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 650, 80, 40,
                                          frame->m_hWnd, nullptr));
        ::SetWindowPos(targetWindow.m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        ASSERT_EQ(S_OK, ::RegisterDragDrop(targetWindow.m_hWnd, &target));
        ASSERT_EQ(S_OK, List().DisplayFolder(folder.Path().GetString()));
        List().SetFocus();
    }
    void TearDown() override
    {
        if (targetWindow.IsWindow()) {
            ::RevokeDragDrop(targetWindow.m_hWnd);
            targetWindow.DestroyWindow();
        }
        qvtest::ProgramTest::TearDown();
    }
    CMyMFCShellListCtrl& List() { return view->GetList(); }
    int Find(const CString& name) { return qvtest::FindListItem(List(), name); }
    // Drags the selected items, starting on `from`; the list's selection is
    // made by the press on that item with the others kept by Ctrl.
    void Drag(const CString& from, bool cancel)
    {
        CRect label;
        List().GetItemRect(Find(from), &label, LVIR_LABEL);
        POINT start = {label.left + 10, label.CenterPoint().y};
        ::ClientToScreen(List().m_hWnd, &start);
        POINT origin = {0, 0};
        ::ClientToScreen(frame->m_hWnd, &origin);
        DragRun run;
        run.from = start;
        run.list = List().m_hWnd;
        run.target = targetWindow.m_hWnd;
        run.dropTarget = &target;
        run.uiThread = ::GetCurrentThreadId();
        run.cancel = cancel;
        run.frameOrigin = origin;
        HANDLE thread = ::CreateThread(nullptr, 0, DragRun::Thread, &run, 0, nullptr);
        // The drag loop runs inside this pump and has returned (after the
        // list was refreshed) before the pump sees the script done.
        EXPECT_TRUE(qvtest::PumpUntil([&] { return run.done.load(); }, 40000));
        ::WaitForSingleObject(thread, 5000);
        ::CloseHandle(thread);
        // The target goes back out of the way.
        ::SetWindowPos(targetWindow.m_hWnd, HWND_TOP, 0, 650, 80, 40, SWP_NOACTIVATE);
    }
    void SelectTwo()
    {
        qvtest::SelectOnly(List(), {Find(L"a.txt")});
        List().SetItemState(Find(L"b.txt"), LVIS_SELECTED, LVIS_SELECTED);
    }

    qvtest::TempFolder folder;
    qvtest::TempFolder elsewhere;
    CWnd targetWindow;
    TestDropTarget target;
};

}  // namespace

TEST(FileDropBlock, HoldsWidePathsEachEndedAndAFinalZero)
{
    CStringArray one;
    one.Add(L"C:\\a.txt");
    HGLOBAL block = MakeFileDropBlock(one);
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(40u, ::GlobalSize(block));
    auto* drop = (DROPFILES*)::GlobalLock(block);
    EXPECT_EQ(20u, drop->pFiles);
    EXPECT_EQ(TRUE, drop->fWide);
    EXPECT_EQ(0, drop->pt.x);
    EXPECT_EQ(FALSE, drop->fNC);
    ::GlobalUnlock(block);
    EXPECT_EQ(1u, ::DragQueryFileW((HDROP)block, 0xFFFFFFFF, nullptr, 0));
    WCHAR name[MAX_PATH] = {};
    ::DragQueryFileW((HDROP)block, 0, name, MAX_PATH);
    EXPECT_EQ(CString(L"C:\\a.txt"), CString(name));
    ::GlobalFree(block);

    CStringArray two;
    two.Add(L"C:\\x");
    two.Add(L"D:\\yy");
    block = MakeFileDropBlock(two);
    EXPECT_EQ((SIZE_T)(20 + 2 * (5 + 6) + 2), ::GlobalSize(block));
    EXPECT_EQ(2u, ::DragQueryFileW((HDROP)block, 0xFFFFFFFF, nullptr, 0));
    ::GlobalFree(block);
}

TEST_F(DragDropTest, TheSelectedFilesAreCopiedWithCtrlHeldAndTheListStays)
{
    // Synthesized input is shared with other test programs on the display.
    qvtest::CapsLockSession input;
    SelectTwo();
    Drag(L"a.txt", false);
    EXPECT_EQ(1, target.drops);
    EXPECT_TRUE(target.sawMarker) << "the program's own format travels along";
    ASSERT_EQ(2u, target.files.size());
    EXPECT_EQ(folder / L"a.txt", target.files[0]);
    EXPECT_EQ(folder / L"b.txt", target.files[1]);
    EXPECT_TRUE(target.enterKeys & MK_CONTROL) << "Ctrl reads as held: targets copy";
    EXPECT_FALSE(::GetAsyncKeyState(VK_CONTROL) & 0x8000) << "and is released after the drag";
    EXPECT_GE(Find(L"a.txt"), 0);
    EXPECT_GE(Find(L"b.txt"), 0);
    EXPECT_EQ(3, List().GetItemCount());
}

TEST_F(DragDropTest, AfterAMoveTheListShowsWhatTheTargetReallyMoved)
{
    qvtest::CapsLockSession input;
    target.moveWanted = true;
    SelectTwo();
    Drag(L"a.txt", false);
    ASSERT_EQ(1, target.drops);
    // The target moved only the first file: the folder is listed again.
    EXPECT_TRUE(qvtest::FileExists(elsewhere / L"a.txt"));
    EXPECT_EQ(-1, Find(L"a.txt"));
    EXPECT_GE(Find(L"b.txt"), 0) << "not removed blindly";
    EXPECT_GE(Find(L"c.txt"), 0);
    EXPECT_FALSE(::GetAsyncKeyState(VK_CONTROL) & 0x8000);
}

TEST_F(DragDropTest, EscapeCancelsAndNothingChanges)
{
    qvtest::CapsLockSession input;
    SelectTwo();
    Drag(L"a.txt", true);
    EXPECT_EQ(0, target.drops);
    EXPECT_EQ(3, List().GetItemCount());
    EXPECT_FALSE(::GetAsyncKeyState(VK_CONTROL) & 0x8000);
}
