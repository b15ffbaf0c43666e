#include "tests/viewers/EditorTestSupport.h"

#include "viewers/CustomEditCtrl.h"


namespace editortest {

bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds)
{
    const DWORD start = ::GetTickCount();
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!AfxPreTranslateMessage(&msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
        if (done())
            return true;
        if (::GetTickCount() - start >= milliseconds)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

ScriptedBoxes::ScriptedBoxes()
{
    m_previous = AfxSetMessageBoxHook([this](HWND, const CString& text, const CString&, UINT type) {
        m_shown.push_back({text, type});
        if (m_answers.empty())
            return IDOK;
        int answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    });
}

ScriptedBoxes::~ScriptedBoxes() { AfxSetMessageBoxHook(m_previous); }

EditorApp::EditorApp() : m_app(L"Quorvex editor tests") { m_app.SetRegistryKey(L"Quorvex tests"); }

bool Open(CEditorWindow* editor)
{
    if (editor->CreateModeless(nullptr))
        return true;
    if (!editor->IsWindow())
        delete editor;
    return false;
}

CEditorWindow* OpenMemoryText(const std::string& text, const CString& name, COrvantisDoc* owner)
{
    auto* editor = new CEditorWindow();
    editor->SetName(name);
    editor->SetTextBuffer((const BYTE*)text.data(), (int)text.size());
    editor->SetOwner(owner);
    return Open(editor) ? editor : nullptr;
}

CEditorWindow* OpenPlainFile(const CString& path, COrvantisDoc* owner)
{
    auto* editor = new CEditorWindow();
    editor->SetName(path);
    editor->SetOwner(owner);
    return Open(editor) ? editor : nullptr;
}

void PressEscape(CEditorWindow* editor) { ::SendMessageW(*editor, WM_COMMAND, IDCANCEL, 0); }

CString ControlText(CEditorWindow* editor)
{
    const CEditTextBuffer& text = editor->GetControl()->GetTextBuffer();
    return text.Mid(0, text.GetLength());
}

CString ClipboardText()
{
    CString text;
    if (!::OpenClipboard(nullptr))
        return text;
    HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
    if (data) {
        const WCHAR* chars = (const WCHAR*)::GlobalLock(data);
        if (chars)
            text = chars;
        ::GlobalUnlock(data);
    }
    ::CloseClipboard();
    return text;
}

void PutClipboardText(const CString& text)
{
    if (!::OpenClipboard(nullptr))
        return;
    ::EmptyClipboard();
    const size_t bytes = ((size_t)text.GetLength() + 1) * sizeof(WCHAR);
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
    ::memcpy(::GlobalLock(block), text.GetString(), bytes);
    ::GlobalUnlock(block);
    ::SetClipboardData(CF_UNICODETEXT, block);
    ::CloseClipboard();
}

}  // namespace editortest
