#include "editctrl/window/CodeEditTips.h"

CCodeEditTips::~CCodeEditTips() { Destroy(); }

void CCodeEditTips::Create(UINT toolId)
{
    if (m_tip.m_hWnd || !m_tip.Create(&m_window, TTS_ALWAYSTIP | TTS_NOPREFIX))
        return;
    m_toolId = toolId;
    if (m_control.maxTipWidth != -1)
        m_tip.SetMaxTipWidth(m_control.maxTipWidth);
    RECT client = {};
    ::GetClientRect(m_window.m_hWnd, &client);
    m_tip.AddTool(&m_window, LPSTR_TEXTCALLBACKW, client, toolId);
    m_tip.Activate(TRUE);
    m_control.AttachTipWindow(this);
}

void CCodeEditTips::Destroy()
{
    m_control.AttachTipWindow(nullptr);
    if (m_tip.m_hWnd)
        m_tip.DestroyWindow();
}

void CCodeEditTips::Activate(bool on)
{
    if (m_tip.m_hWnd)
        m_tip.Activate(on);
}

void CCodeEditTips::Pop()
{
    if (m_tip.m_hWnd)
        m_tip.Pop();
}

void CCodeEditTips::SetMaxWidth(int width)
{
    if (m_tip.m_hWnd)
        m_tip.SetMaxTipWidth(width);
}

bool CCodeEditTips::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (!m_tip.m_hWnd)
        return false;
    switch (message) {
    case WM_SIZE: {
        RECT client = {};
        ::GetClientRect(m_window.m_hWnd, &client);
        m_tip.SetToolRect(&m_window, m_toolId, client);
        return false;
    }
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP: {
        // The tooltip learns of the mouse only from what is relayed to it.
        MSG relayed = {m_window.m_hWnd, message, wParam, lParam, (DWORD)::GetMessageTime(), {}};
        ::GetCursorPos(&relayed.pt);
        m_tip.RelayEvent(&relayed);
        if (message == WM_MOUSEMOVE) {
            POINT p = {(short)LOWORD(lParam), (short)HIWORD(lParam)};
            m_lastMouse = p;
            m_control.OnTipMouseMove(p, ::GetCapture() == m_window.m_hWnd);
        }
        return false;
    }
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (!header || header->hwndFrom != m_tip.m_hWnd || header->code != TTN_NEEDTEXTW)
            return false;
        auto* request = reinterpret_cast<NMTTDISPINFOW*>(lParam);
        // Where the mouse was last seen over the window: the tooltip asks
        // after its delay, when the system cursor may have moved on.
        POINT p = m_lastMouse;
        const WCHAR* tip = nullptr;
        request->szText[0] = 0;
        request->lpszText = request->szText;
        if (m_control.OnTipNeedText(p, &tip) && tip)
            request->lpszText = const_cast<WCHAR*>(tip);
        *result = 0;
        return true;
    }
    default:
        return false;
    }
}
