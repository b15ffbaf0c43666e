#include "doc/UiThreadCall.h"

namespace {

const WCHAR kClassName[] = L"QuorvexUiThreadCall";
const UINT kRunWork = WM_APP + 1;  // lParam: the std::function to run

}  // namespace

CUiThreadCall::CUiThreadCall() : m_threadId(::GetCurrentThreadId())
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    ::RegisterClassW(&windowClass);  // fails harmlessly once the class exists
    m_hWnd = ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance,
                               nullptr);
}

CUiThreadCall::~CUiThreadCall()
{
    if (m_hWnd)
        ::DestroyWindow(m_hWnd);
}

void CUiThreadCall::Run(const std::function<void()>& work) const
{
    // Without its window (the system refused it) the work runs where it is
    // asked for, as it would without this object.
    if (IsOwningThread() || !m_hWnd) {
        work();
        return;
    }
    ::SendMessageW(m_hWnd, kRunWork, 0, reinterpret_cast<LPARAM>(&work));
}

LRESULT CALLBACK CUiThreadCall::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != kRunWork)
        return ::DefWindowProcW(window, message, wParam, lParam);
    (*reinterpret_cast<const std::function<void()>*>(lParam))();
    return 0;
}
