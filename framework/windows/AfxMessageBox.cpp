#include "framework/windows/AfxMessageBox.h"

#include "framework/windows/CWinApp.h"
#include "framework/windows/CWnd.h"

namespace {

MessageBoxHook& Hook()
{
    static MessageBoxHook hook;
    return hook;
}

}  // namespace

MessageBoxHook AfxSetMessageBoxHook(MessageBoxHook hook)
{
    MessageBoxHook previous = std::move(Hook());
    Hook() = std::move(hook);
    return previous;
}

int AfxShowMessageBox(HWND owner, const WCHAR* text, const WCHAR* caption, UINT type)
{
    CString title = caption ? CString(caption) : AfxGetAppName();
    if (Hook())
        return Hook()(owner, CString(text), title, type);
    return ::MessageBoxW(owner, text, title, type);
}

int AfxMessageBox(const WCHAR* text, UINT type, UINT)
{
    HWND owner = ::GetActiveWindow();
    if (!owner) {
        CWnd* main = AfxGetMainWnd();
        owner = main ? main->m_hWnd : nullptr;
    }
    return AfxShowMessageBox(owner, text, nullptr, type);
}

int AfxMessageBox(UINT promptId, UINT type, UINT helpId)
{
    CString text;
    text.LoadString(promptId);
    return AfxMessageBox(text, type, helpId == UINT(-1) ? promptId : helpId);
}

int AfxReportException(const CException& e, UINT type, UINT defaultMessageId)
{
    CString message = e.GetErrorMessage();
    if (message.IsEmpty() && defaultMessageId)
        message.LoadString(defaultMessageId);
    if (message.IsEmpty())
        message = L"An unknown error has occurred.";
    return AfxShowMessageBox(GetActiveWindow(), message, nullptr, type);
}
