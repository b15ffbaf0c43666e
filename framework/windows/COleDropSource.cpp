#include "framework/windows/COleDropSource.h"

#include "framework/windows/CWnd.h"

HRESULT STDMETHODCALLTYPE COleDropSource::QueryInterface(REFIID iid, void** object)
{
    if (iid == IID_IUnknown || iid == IID_IDropSource) {
        *object = static_cast<IDropSource*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE COleDropSource::QueryContinueDrag(BOOL escapePressed, DWORD keyState)
{
    if (escapePressed)
        return DRAGDROP_S_CANCEL;
    if (!(keyState & m_dwButtonDrag))
        return DRAGDROP_S_DROP;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleDropSource::GiveFeedback(DWORD) { return DRAGDROP_S_USEDEFAULTCURSORS; }

BOOL COleDropSource::OnBeginDrag(CWnd* window)
{
    HWND hwnd = window ? window->m_hWnd : nullptr;
    if (!hwnd)
        return FALSE;
    m_dwButtonDrag = (::GetKeyState(VK_RBUTTON) & 0x8000) && !(::GetKeyState(VK_LBUTTON) & 0x8000) ? MK_RBUTTON
                                                                                                   : MK_LBUTTON;
    CPoint start;
    ::GetCursorPos(&start);
    CRect rect = m_rectStartDrag;
    if (rect.IsRectEmpty()) {
        int dx = ::GetSystemMetrics(SM_CXDRAG), dy = ::GetSystemMetrics(SM_CYDRAG);
        rect = CRect(start.x - dx, start.y - dy, start.x + dx + 1, start.y + dy + 1);
    }
    DWORD began = ::GetTickCount();
    bool started = false, cancelled = false;
    ::SetCapture(hwnd);
    while (!started && !cancelled) {
        if (::GetCapture() != hwnd) {
            cancelled = true;
            break;
        }
        MSG msg;
        if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            switch (msg.message) {
            case WM_LBUTTONUP:
            case WM_RBUTTONUP:
            case WM_LBUTTONDOWN:
            case WM_RBUTTONDOWN:
                cancelled = true;
                break;
            case WM_MOUSEMOVE: {
                CPoint point = msg.pt;
                if (!rect.PtInRect(point))
                    started = true;
                break;
            }
            case WM_KEYDOWN:
                if (msg.wParam == VK_ESCAPE)
                    cancelled = true;
                else
                    ::DispatchMessageW(&msg);
                break;
            case WM_QUIT:
                ::PostQuitMessage((int)msg.wParam);
                cancelled = true;
                break;
            default:
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
                break;
            }
            continue;
        }
        DWORD waited = ::GetTickCount() - began;
        if (waited >= m_nDragDelay) {
            started = true;
            break;
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, m_nDragDelay - waited, QS_ALLINPUT);
    }
    if (::GetCapture() == hwnd)
        ::ReleaseCapture();
    return started;
}
