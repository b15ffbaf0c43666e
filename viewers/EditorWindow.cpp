#include "viewers/EditorWindow.h"

#include "crypt/FileCipher.h"
#include "crypt/PathParts.h"
#include "doc/OrvantisDoc.h"
#include "editctrl/window/CodeEditPrinter.h"
#include "editctrl/window/CodeEditWnd.h"
#include "framework/base/CMemFile.h"
#include "framework/base/CPrintInfo.h"
#include "framework/windows/AfxMessageBox.h"
#include "framework/windows/CWaitCursor.h"
#include "framework/windows/CommandMap.h"
#include "framework/windows/DataExchange.h"
#include "res/resource.h"
#include "viewers/CustomEditCtrl.h"
#include "viewers/WindowPlacement.h"
#include "viewers/XmlOutlineParser.h"

#include <commdlg.h>

CString g_EditorFindText;
CString g_EditorReplaceText;

namespace {

const WCHAR kPlacementSection[] = L"EditorSize";
const WCHAR kLanguageResourceType[] = L"EDITOR_XML_SETTINGS";
const UINT kControlId = 1;
// Find flags of the common find dialog.
const int kFindDown = 1, kFindWholeWord = 2, kFindMatchCase = 4;
// Extend-selection code for the whole text.
const int kSelectWholeText = 12;

// Editor windows alive: the shared search text is wiped when the last goes.
int g_liveEditors = 0;

struct LanguageRow {
    const WCHAR* extension;
    int resource;
};

const LanguageRow kLanguages[] = {
    {L".cpp", IDR_EDITOR_CPP},  {L".c", IDR_EDITOR_CPP},      {L".hpp", IDR_EDITOR_CPP},
    {L".h", IDR_EDITOR_CPP},    {L".cs", IDR_EDITOR_CSHARP},  {L".asp", IDR_EDITOR_HTML},
    {L".htm", IDR_EDITOR_HTML}, {L".html", IDR_EDITOR_HTML},  {L".bas", IDR_EDITOR_BASIC},
    {L".asm", IDR_EDITOR_ASM},  {L".pas", IDR_EDITOR_PASCAL}, {L".js", IDR_EDITOR_JAVASCRIPT},
    {L".sql", IDR_EDITOR_SQL},  {L".xml", IDR_EDITOR_XML},
};

// The system's save dialog; `filter` is "|" separated.
bool AskSavePathWithSystemDialog(HWND owner, const CString& defaultExtension, const CString& fileName,
                                 const CString& filter, CString& path)
{
    CString systemFilter = filter;
    systemFilter.Replace(L'|', L'\0');
    WCHAR chosen[MAX_PATH * 4] = {};
    ::lstrcpynW(chosen, fileName, (int)(sizeof chosen / sizeof chosen[0]));
    // The dialog wants the extension without "*." .
    CString extension = defaultExtension;
    extension.TrimLeft(L"*.");
    OPENFILENAMEW request = {};
    request.lStructSize = sizeof request;
    request.hwndOwner = owner;
    request.lpstrFilter = systemFilter;
    request.lpstrFile = chosen;
    request.nMaxFile = (DWORD)(sizeof chosen / sizeof chosen[0]);
    request.lpstrDefExt = extension.IsEmpty() ? nullptr : extension.GetString();
    request.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_ENABLESIZING;
    if (!::GetSaveFileNameW(&request))
        return false;
    path = chosen;
    return true;
}

HDC AskPrinterWithSystemDialog(HWND owner)
{
    PRINTDLGW request = {};
    request.lStructSize = sizeof request;
    request.hwndOwner = owner;
    request.Flags = PD_RETURNDC | PD_ALLPAGES | PD_NOSELECTION | PD_NOPAGENUMS | PD_USEDEVMODECOPIESANDCOLLATE |
                    PD_HIDEPRINTTOFILE;
    BOOL chosen = ::PrintDlgW(&request);
    if (request.hDevMode)
        ::GlobalFree(request.hDevMode);
    if (request.hDevNames)
        ::GlobalFree(request.hDevNames);
    return chosen ? request.hDC : nullptr;
}

CEditorWindow::SavePathChooser& SavePathChooserSlot()
{
    static CEditorWindow::SavePathChooser chooser = AskSavePathWithSystemDialog;
    return chooser;
}

CEditorWindow::PrinterChooser& PrinterChooserSlot()
{
    static CEditorWindow::PrinterChooser chooser = AskPrinterWithSystemDialog;
    return chooser;
}

bool CtrlHeld() { return (::GetKeyState(VK_CONTROL) & 0x8000) != 0; }

}  // namespace

CEditorWindow::CEditorWindow(CWnd* parent) : CDialogEx(IDD_EDITOR, parent) { ++g_liveEditors; }

CEditorWindow::~CEditorWindow()
{
    // The window is gone; the control's core and every copy of the text go
    // now, each wiping what it held.
    m_pControlWnd.reset();
    m_pControl.reset();
    m_text.Release();
    if (--g_liveEditors == 0) {
        g_EditorFindText.SecureEmpty();
        g_EditorReplaceText.SecureEmpty();
    }
}

CEditorWindow::SavePathChooser CEditorWindow::SetSavePathChooser(SavePathChooser chooser)
{
    SavePathChooser previous = SavePathChooserSlot();
    SavePathChooserSlot() = chooser ? std::move(chooser) : SavePathChooser(AskSavePathWithSystemDialog);
    return previous;
}

CEditorWindow::PrinterChooser CEditorWindow::SetPrinterChooser(PrinterChooser chooser)
{
    PrinterChooser previous = PrinterChooserSlot();
    PrinterChooserSlot() = chooser ? std::move(chooser) : PrinterChooser(AskPrinterWithSystemDialog);
    return previous;
}

void CEditorWindow::SetTextBuffer(const BYTE* bytes, int size)
{
    m_text.Release();
    if (!bytes || size <= 0 || !m_text.Reset((size_t)size))
        return;
    ::memcpy(m_text.Data(), bytes, (size_t)size);
}

BOOL CEditorWindow::CreateModeless(CWnd* parent)
{
    if (!Create(IDD_EDITOR, parent))
        return FALSE;
    ShowWindow(SW_SHOW);
    return TRUE;
}

int CEditorWindow::LanguageForName(const CString& name)
{
    CString extension = FileExtension(PathFilePart(name));
    extension.MakeLower();
    for (const LanguageRow& row : kLanguages)
        if (extension == row.extension)
            return row.resource;
    return 0;
}

bool CEditorWindow::IsTagLanguage(int resource) { return resource == IDR_EDITOR_HTML || resource == IDR_EDITOR_XML; }

void CEditorWindow::DoDataExchange(CDataExchange* dx)
{
    CDialogEx::DoDataExchange(dx);
    DDX_Control(dx, IDC_EDITOR_FIND_TEXT, m_findBox);
    DDX_Control(dx, IDC_EDITOR_FIND_BUTTON, m_findButton);
}

BOOL CEditorWindow::OnInitDialog()
{
    CWaitCursor wait;
    CDialogEx::OnInitDialog();
    CreateToolBar();
    m_bModified = FALSE;
    RestoreWindowPlacement(m_hWnd, kPlacementSection, FALSE);
    if (!CreateControl())
        return TRUE;
    CRect client;
    GetClientRect(&client);
    PlaceFindRow(client.Width(), true);
    ApplyEditorFont();
    SetControlOptions();
    LoadText();
    m_bModified = FALSE;
    ApplyLanguage();
    ApplyOutlining();
    ::HideCaret(*m_pControlWnd);
    return TRUE;
}

void CEditorWindow::CreateToolBar()
{
    if (!m_toolbar.Create(this, WS_CHILD | WS_VISIBLE | CCS_TOP, IDW_TOOLBAR))
        return;
    // The editor's buttons have no menu images of their own to share.
    m_toolbar.LoadToolBar(IDR_EDITOR_TOOLBAR, IDB_EDITOR_TOOLBAR, 0, 0);
    m_toolbar.ShowWindow(SW_SHOW);
    CRect client;
    GetClientRect(&client);
    CSize size = m_toolbar.CalcSize();
    m_nToolbarHeight = size.cy;
    ::SetWindowPos(m_toolbar, nullptr, 0, 0, client.Width(), m_nToolbarHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CEditorWindow::CreateControl()
{
    CRect client;
    GetClientRect(&client);
    m_pControl = std::make_unique<CCustomEditCtrl>();
    m_pControlWnd = std::make_unique<CCodeEditWnd>(*m_pControl);
    CRect area(0, m_nToolbarHeight, client.Width(), client.Height());
    if (m_pControlWnd->CreateEditWindow(WS_CHILD | WS_VISIBLE, area, this, kControlId))
        return true;
    m_pControlWnd.reset();
    m_pControl.reset();
    return false;
}

void CEditorWindow::PlaceFindRow(int width, bool atCreation)
{
    if (!m_findBox.IsWindow() || !m_findButton.IsWindow())
        return;
    if (atCreation) {
        CRect box, button;
        m_findBox.GetWindowRect(&box);
        m_findButton.GetWindowRect(&button);
        m_nFindBoxWidth = box.Width();
        m_nFindBoxHeight = box.Height();
        m_nButtonWidth = button.Width();
    }
    const int e = m_nFindBoxWidth, b = m_nButtonWidth;
    const int height = std::min(m_nToolbarHeight, m_nFindBoxHeight);
    if (atCreation) {
        const UINT flags = SWP_NOACTIVATE;
        ::SetWindowPos(m_findBox, m_toolbar, width - b - e - 10, 0, e, height, flags);
        ::SetWindowPos(m_findButton, m_findBox, width - b - 6, 0, b, height, flags);
    } else {
        const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE;
        ::SetWindowPos(m_findBox, nullptr, width - b - e - 10, 0, 0, 0, flags);
        // Two pixels further right than at creation, as the window always did.
        ::SetWindowPos(m_findButton, nullptr, width - b - 4, 0, 0, 0, flags);
    }
    if (m_toolbar.IsWindow())
        ::SetWindowPos(m_toolbar, nullptr, 0, 0, width - b - e - 15, m_nToolbarHeight,
                       SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
}

void CEditorWindow::ApplyEditorFont()
{
    LOGFONTW description = {};
    HDC dc = ::GetDC(m_hWnd);
    ::GetObjectW(::GetCurrentObject(dc, OBJ_FONT), sizeof description, &description);
    ::ReleaseDC(m_hWnd, dc);
    ::lstrcpynW(description.lfFaceName, L"Courier New", LF_FACESIZE);
    description.lfWidth = 0;
    description.lfEscapement = 0;
    description.lfOrientation = 0;
    description.lfWeight = FW_NORMAL;
    description.lfItalic = FALSE;
    description.lfUnderline = FALSE;
    description.lfStrikeOut = FALSE;
    if (m_font.CreateFontIndirect(&description))
        m_pControlWnd->SetFont(m_font, TRUE);
}

void CEditorWindow::SetControlOptions()
{
    CCustomEditCtrl& control = *m_pControl;
    control.SetTipsEnabled(TRUE);
    control.SetFoldingEnabled(TRUE);
    control.SetAutoOutlining(TRUE);
    control.ShowOutlineBar(TRUE, 20);
    control.ShowLineNumberBar(TRUE, 30);
    control.AllowOutlineUpdates(FALSE);
}

void CEditorWindow::LoadText()
{
    if (m_text.Data()) {
        // Read-only, from wiping memory: the text never reaches the disk.
        CMemFile file(m_text.Data(), m_text.Size());
        m_pControl->LoadTextFromStream(file);
        file.Close();
        SetWindowText(CString(L"Secure File: [") + PathFilePart(m_strName) + L"]");
        m_bLargeText = m_text.Size() > (size_t)kLargeTextBytes;
    } else if (!m_strName.IsEmpty()) {
        m_pControl->LoadTextFromPath(m_strName);
        SetWindowText(m_strName);
        WIN32_FILE_ATTRIBUTE_DATA status = {};
        if (::GetFileAttributesExW(m_strName, GetFileExInfoStandard, &status)) {
            ULONGLONG size = ((ULONGLONG)status.nFileSizeHigh << 32) | status.nFileSizeLow;
            m_bLargeText = size > (ULONGLONG)kLargeTextBytes;
        }
    }
}

void CEditorWindow::ApplyLanguage()
{
    m_nLanguage = m_strName.IsEmpty() ? 0 : LanguageForName(m_strName);
    if (m_nLanguage) {
        HMODULE module = ::GetModuleHandleW(nullptr);
        HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(m_nLanguage), kLanguageResourceType);
        HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
        const char* bytes = loaded ? (const char*)::LockResource(loaded) : nullptr;
        const int size = found ? (int)::SizeofResource(module, found) : 0;
        if (bytes && size > 0) {
            int count = ::MultiByteToWideChar(CP_THREAD_ACP, 0, bytes, size, nullptr, 0);
            CString settings(L'\0', count);
            ::MultiByteToWideChar(CP_THREAD_ACP, 0, bytes, size, settings.GetBuffer(count), count);
            settings.ReleaseBuffer(count);
            m_pControl->ApplySettingsText(settings);
        }
        if (loaded)
            ::FreeResource(loaded);
    }
    CXmlOutlineParser* parser = m_pControl->GetXmlOutlineParser();
    if (parser)
        parser->SetXmlMode(FALSE);
    if (IsTagLanguage(m_nLanguage)) {
        m_pControl->SetXmlColoring(TRUE);
        if (parser)
            parser->SetXmlMode(TRUE);
    }
    m_pControl->SetMarginBookmarks(FALSE);
    m_pControl->ClearUserBookmarks();
}

void CEditorWindow::ApplyOutlining()
{
    if (m_nLanguage && !m_bLargeText) {
        m_pControl->AllowOutlineUpdates(TRUE);
        m_pControl->ReparseOutlineRange(-1, -1);
    } else {
        // Coloured when a language was found, but no folding.
        m_pControl->AllowOutlineUpdates(FALSE);
        m_pControl->ShowOutlineBar(TRUE, 5);
    }
}

void CEditorWindow::OnSize(UINT type, int cx, int cy)
{
    CDialogEx::OnSize(type, cx, cy);
    if (m_pControlWnd && m_pControlWnd->IsWindow())
        ::SetWindowPos(*m_pControlWnd, nullptr, 0, 0, cx, cy - m_nToolbarHeight,
                       SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    if (m_findBox.IsWindow() && m_nFindBoxWidth > 0)
        PlaceFindRow(cx, false);
}

BOOL CEditorWindow::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == CCodeEditWnd::EditChangeMessage()) {
        OnEditChange();
        *result = 0;
        return TRUE;
    }
    if (message == WM_INITMENUPOPUP) {
        // Dialogs have no idle time: the items' states follow when a menu opens.
        CCmdUI::UpdateMenu((HMENU)wParam, this, FALSE);
        *result = 0;
        return TRUE;
    }
    return CDialogEx::OnWndMsg(message, wParam, lParam, result);
}

BOOL CEditorWindow::OnCmdMsg(UINT id, int code, CCmdUI* update)
{
    static const CommandEntry<CEditorWindow> commands[] = {
        Cmd(ID_EDITOR_SAVE, &CEditorWindow::OnSaveCommand),
        Cmd(ID_EDITOR_SAVE_AS, &CEditorWindow::OnSaveAsCommand),
        Cmd(ID_EDITOR_PRINT, &CEditorWindow::OnPrintCommand),
        Cmd(ID_EDITOR_EXIT, &CEditorWindow::OnExitCommand),
        Cmd(ID_EDIT_UNDO, &CEditorWindow::OnUndo),
        CmdUpdate(ID_EDIT_UNDO, &CEditorWindow::OnUpdateUndo),
        Cmd(ID_EDIT_REDO, &CEditorWindow::OnRedo),
        CmdUpdate(ID_EDIT_REDO, &CEditorWindow::OnUpdateRedo),
        Cmd(ID_EDIT_CUT, &CEditorWindow::OnCut),
        CmdUpdate(ID_EDIT_CUT, &CEditorWindow::OnUpdateCut),
        Cmd(ID_EDIT_COPY, &CEditorWindow::OnCopy),
        CmdUpdate(ID_EDIT_COPY, &CEditorWindow::OnUpdateCopy),
        Cmd(ID_EDIT_PASTE, &CEditorWindow::OnPaste),
        CmdUpdate(ID_EDIT_PASTE, &CEditorWindow::OnUpdatePaste),
        Cmd(ID_EDIT_SELECT_ALL, &CEditorWindow::OnSelectAll),
        Cmd(ID_EDIT_FIND, &CEditorWindow::FindWithSeed),
        Cmd(IDC_EDITOR_FIND_BUTTON, &CEditorWindow::FindNext),
    };
    return DispatchCommand(this, commands, id, code, update) || CDialogEx::OnCmdMsg(id, code, update);
}

void CEditorWindow::OnSaveCommand()
{
    if (m_pControl)
        SaveText();
}

void CEditorWindow::OnSaveAsCommand()
{
    if (m_pControl)
        SaveTextAs();
}

void CEditorWindow::OnPrintCommand()
{
    if (m_pControl)
        PrintText();
}

void CEditorWindow::OnUndo()
{
    if (m_pControl && m_pControl->CanUndo())
        m_pControl->StepUndo(TRUE, TRUE);
}

void CEditorWindow::OnRedo()
{
    if (m_pControl && m_pControl->CanRedo())
        m_pControl->StepRedo(TRUE, TRUE);
}

void CEditorWindow::OnCut()
{
    if (m_pControl && m_pControl->CanCut())
        m_pControl->CutSelected();
}

void CEditorWindow::OnCopy()
{
    if (m_pControl && m_pControl->CanCopy())
        m_pControl->CopySelected();
}

void CEditorWindow::OnPaste()
{
    if (m_pControl && m_pControl->CanPaste())
        m_pControl->PasteText(-1);
}

void CEditorWindow::OnSelectAll()
{
    if (m_pControl)
        m_pControl->ExtendSelection(kSelectWholeText);
}

void CEditorWindow::OnUpdateUndo(CCmdUI* ui) { ui->Enable(m_pControl && m_pControl->CanUndo()); }
void CEditorWindow::OnUpdateRedo(CCmdUI* ui) { ui->Enable(m_pControl && m_pControl->CanRedo()); }
void CEditorWindow::OnUpdateCut(CCmdUI* ui) { ui->Enable(m_pControl && m_pControl->CanCut()); }
void CEditorWindow::OnUpdateCopy(CCmdUI* ui) { ui->Enable(m_pControl && m_pControl->CanCopy()); }
void CEditorWindow::OnUpdatePaste(CCmdUI* ui) { ui->Enable(m_pControl && m_pControl->CanPaste()); }

bool CEditorWindow::FocusInFindBox() const
{
    HWND focus = ::GetFocus();
    return focus && m_findBox.m_hWnd && focus == m_findBox.m_hWnd;
}

bool CEditorWindow::HandleCtrlKey(UINT key)
{
    switch (key) {
    case 'A': OnSelectAll(); return true;
    case 'C': OnCopy(); return true;
    case 'F':
    case VK_F3: FindWithSeed(); return true;
    case 'V': OnPaste(); return true;
    case 'X': OnCut(); return true;
    case 'Y': OnRedo(); return true;
    case 'Z': OnUndo(); return true;
    default: return false;
    }
}

BOOL CEditorWindow::PreTranslateMessage(MSG* msg)
{
    if (msg->message == WM_KEYDOWN) {
        const UINT key = (UINT)msg->wParam;
        if (!FocusInFindBox() && CtrlHeld() && HandleCtrlKey(key))
            return TRUE;
        if (key == VK_F3 && (!CtrlHeld() || FocusInFindBox())) {
            FindNext();
            return TRUE;
        }
    }
    return CDialogEx::PreTranslateMessage(msg);
}

void CEditorWindow::OnOK()
{
    // Enter searches from the find box and does nothing elsewhere.
    if (FocusInFindBox())
        FindNext();
}

void CEditorWindow::FindNext()
{
    if (m_findBox.IsWindow())
        m_findBox.GetWindowText(g_EditorFindText);
    RunFind(g_EditorFindText, kFindDown);
}

void CEditorWindow::FindWithSeed()
{
    GetFindSeed(g_EditorFindText);
    if (m_findBox.IsWindow()) {
        m_findBox.SetWindowText(g_EditorFindText);
        m_findBox.SetFocus();
    }
    FindNext();
}

int CEditorWindow::RunFind(const CString& text, int flags)
{
    if (!m_pControl)
        return 0;
    return m_pControl->FindAndSelect(text, (flags & kFindDown) != 0, (flags & kFindMatchCase) != 0,
                                     (flags & kFindWholeWord) != 0);
}

void CEditorWindow::GetFindSeed(CString& seed)
{
    if (!m_pControl)
        return;
    const int start = std::min(m_pControl->selStart, m_pControl->selEnd);
    const int end = std::max(m_pControl->selStart, m_pControl->selEnd);
    if (start < 0 || start >= end) {
        CString word;
        if (m_pControl->GetWordAtOffset(m_pControl->GetCaretOffset(), word))
            seed = word;
        return;
    }
    CString selected = m_pControl->GetTextBuffer().Mid(start, end - start);
    if (selected.Find(L'\n') >= 0)
        return;
    selected.Replace(L'\t', L' ');
    seed = selected;
}

bool CEditorWindow::TextBytes(WipedBytes& bytes)
{
    CMemFile file;
    if (!m_pControl->SaveTextToStream(file))
        return false;
    bytes.assign(file.Data(), file.Data() + file.GetLength());
    return true;
}

BOOL CEditorWindow::SaveText()
{
    if (!m_pControl)
        return FALSE;
    return m_text.Data() ? SaveMemoryText() : SavePlainFile();
}

BOOL CEditorWindow::SaveMemoryText()
{
    if (!m_pOwner) {
        ShowMessage(L"The text cannot be saved: the encrypted file it came from is no longer open in the program.",
                    MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    WipedBytes bytes;
    if (!TextBytes(bytes)) {
        ShowMessage(L"The text could not be prepared for saving.", MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    const int result = WriteBackToSource(bytes.data(), bytes.size());
    if (result != CRYPT_OK) {
        // The document may have gone while the message was prepared.
        CString message = m_pOwner ? m_pOwner->EditorSaveMessage(result) : CString(L"The text could not be saved.");
        ShowMessage(message, MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    m_bModified = FALSE;
    return TRUE;
}

int CEditorWindow::WriteBackToSource(const BYTE* bytes, size_t size)
{
    return m_pOwner->SaveEditorText(m_strSourcePath, bytes, size);
}

BOOL CEditorWindow::SavePlainFile()
{
    if (m_strName.IsEmpty())
        return FALSE;
    // Written in the encoding it was read in.
    if (!m_pControl->SaveTextToPath(m_strName)) {
        ShowMessage(CString(L"The text could not be saved to ") + m_strName + L".", MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    m_bModified = FALSE;
    return TRUE;
}

BOOL CEditorWindow::SaveTextAs()
{
    if (!m_pControl)
        return FALSE;
    const CString fileName = PathFilePart(m_strName);
    const CString extension = FileExtension(fileName);
    const CString pattern = CString(L"*") + extension;
    const CString filter =
        CString(L"Original extension (") + pattern + L")|" + pattern + L"|Text file (*.txt)|*.txt||";
    CString path;
    if (!SavePathChooserSlot()(m_hWnd, pattern, fileName, filter, path))
        return FALSE;
    if (!m_pControl->SaveTextToPath(path)) {
        ShowMessage(CString(L"The text could not be written to ") + path + L".", MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    return TRUE;
}

void CEditorWindow::PrintText()
{
    if (!m_pControl || m_bPrinting)
        return;
    m_bPrinting = true;
    HDC printer = PrinterChooserSlot()(m_hWnd);
    if (printer)
        RunPrintJob(printer);
    m_bPrinting = false;
    // A close that came while the job ran happens now.
    if (m_bDestroyPending)
        CloseWindow();
    else if (m_bCancelPending) {
        m_bCancelPending = false;
        OnCancel();
    }
}

void CEditorWindow::RunPrintJob(HDC printer)
{
    DOCINFOW document = {};
    document.cbSize = sizeof document;
    document.lpszDocName = m_strName;
    if (::StartDocW(printer, &document) <= 0) {
        ::DeleteDC(printer);
        return;
    }
    CPrintInfo info;
    info.m_rectDraw = {0, 0, ::GetDeviceCaps(printer, HORZRES), ::GetDeviceCaps(printer, VERTRES)};
    CCodeEditPrinter pages(*m_pControlWnd);
    pages.BeginPrintPages(printer, info);
    bool allPrinted = true;
    for (UINT page = info.GetMinPage(); page <= info.GetMaxPage() && info.m_bContinuePrinting; ++page) {
        ::StartPage(printer);
        info.m_nCurPage = page;
        pages.PrintPage(printer, info);
        if (::EndPage(printer) <= 0) {
            allPrinted = false;
            break;
        }
    }
    pages.EndPrintPages(printer, info);
    if (allPrinted)
        ::EndDoc(printer);
    else
        ::AbortDoc(printer);
    ::DeleteDC(printer);
}

void CEditorWindow::ShowMessage(const CString& text, UINT type) { AfxShowMessageBox(m_hWnd, text, nullptr, type); }

bool CEditorWindow::ConfirmClose()
{
    if (!m_bModified || !m_pControl)
        return true;
    int answer = AfxShowMessageBox(m_hWnd, L"The text has been changed. Save the changes before closing?", nullptr,
                                   MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDYES)
        return SaveText() != FALSE;
    return answer == IDNO;
}

void CEditorWindow::OnCancel()
{
    if (m_bPrinting) {
        m_bCancelPending = true;
        return;
    }
    if (!ConfirmClose())
        return;
    CloseWindow();
}

void CEditorWindow::CloseWindow()
{
    SaveWindowPlacement(m_hWnd, kPlacementSection, TRUE);
    DestroyWindow();
}

BOOL CEditorWindow::DestroyWindow()
{
    // The print job still uses the control: the window goes when it ends.
    if (m_bPrinting) {
        m_bDestroyPending = true;
        return TRUE;
    }
    if (m_findBox.IsWindow()) {
        // The box's own buffers held the search text.
        m_findBox.SetWindowText(L"");
        m_findBox.SendMessage(EM_EMPTYUNDOBUFFER);
    }
    return CDialogEx::DestroyWindow();
}

void CEditorWindow::PostNcDestroy()
{
    CDialogEx::PostNcDestroy();
    if (m_pOwner)
        m_pOwner->EditorClosed(this);
    delete this;
}
