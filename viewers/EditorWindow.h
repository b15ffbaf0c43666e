// CEditorWindow: the modeless secure text editor. It shows one text in a
// source-code edit control under a small toolbar and a find box: either a
// text held in memory (an encrypted file the document decrypted, so no plain
// copy reaches the disk) or a plain file given by its path. The file's
// extension picks a language definition; large texts are coloured but not
// outlined, so they open quickly.
//
// The document makes the window on the heap, hands it the text or the path
// and shows it; the window deletes itself when it is closed and tells its
// document (while it has one) from PostNcDestroy. Save writes a memory text
// back through the document, which encrypts it into its source file, and a
// plain file to its path in the encoding it was read in; closing with
// unsaved changes asks first.
//
// Every copy of the text the window makes (the private copy, the memory file
// it is loaded from, the bytes written back, the search text) lives in
// wiping memory or wiping strings. UI thread only.
#pragma once

#include "framework/base/CString.h"
#include "framework/base/WipedMemory.h"
#include "framework/windows/CButton.h"
#include "framework/windows/CDialogEx.h"
#include "framework/windows/CEdit.h"
#include "framework/windows/CToolBar.h"
#include "framework/windows/GdiObjects.h"

#include <functional>
#include <memory>

class CCmdUI;
class CCodeEditWnd;
class CCustomEditCtrl;
class COrvantisDoc;

// The text last searched for, shared by every editor window of the process;
// wiped when the last editor window goes. UI thread only.
extern CString g_EditorFindText;
// The replacement text: nothing fills it. UI thread only.
extern CString g_EditorReplaceText;

class CEditorWindow : public CDialogEx {
public:
    explicit CEditorWindow(CWnd* parent = nullptr);
    ~CEditorWindow() override;

    // Set before the window is created.
    // A private copy of a memory text (an earlier copy is wiped first).
    void SetTextBuffer(const BYTE* bytes, int size);
    // The document the window saves through and reports its end to; null
    // detaches: the window never calls the document again.
    void SetOwner(COrvantisDoc* owner) { m_pOwner = owner; }
    // A plain file's path, or a memory text's plain file name.
    void SetName(const CString& name) { m_strName = name; }
    // A memory text's encrypted source file, which Save writes back to.
    void SetSourcePath(const CString& path) { m_strSourcePath = path; }

    // Makes the window on its template, owned by `parent` or by nobody (the
    // desktop), and shows it. Nonzero on success.
    BOOL CreateModeless(CWnd* parent = nullptr);

    BOOL IsTextModified() const { return m_bModified; }
    CCustomEditCtrl* GetControl() const { return m_pControl.get(); }
    CCodeEditWnd* GetControlWindow() const { return m_pControlWnd.get(); }
    const CString& GetName() const { return m_strName; }
    CEdit& GetFindBox() { return m_findBox; }
    CButton& GetFindButton() { return m_findButton; }
    CToolBar& GetToolBar() { return m_toolbar; }
    int GetToolbarHeight() const { return m_nToolbarHeight; }
    // The language definition chosen (0: none) and whether the text counted
    // as large when it was loaded.
    int GetLanguageResource() const { return m_nLanguage; }
    BOOL IsLargeText() const { return m_bLargeText; }

    // The language-definition resource for a name's extension (0: none), and
    // whether that definition is for tagged text (HTML, XML).
    static int LanguageForName(const CString& name);
    static bool IsTagLanguage(int resource);
    // Texts above this many bytes are not outlined.
    static const int kLargeTextBytes = 100000;

    // Finds `text` with the common find dialog's flag bits (1 downwards, 2
    // whole words, 4 match case); nonzero when found and selected.
    virtual int RunFind(const CString& text, int flags);
    // The text a Find starts with: the selection on one line (tabs as blanks)
    // or the word at the caret; a selection of several lines keeps `seed`.
    virtual void GetFindSeed(CString& seed);

    // The commands.
    // Save: the memory text back into its source file, a plain file to its
    // path. Nonzero when the text was saved; a failure was shown.
    BOOL SaveText();
    // "Save Decrypted As...": a copy of the text in a file the user picks.
    // Nonzero when it was written; a failed write was shown.
    BOOL SaveTextAs();
    void PrintText();
    void FindNext();
    void FindWithSeed();

    // Asks where "Save Decrypted As" writes: the default extension argument,
    // the proposed file name and the filter ("|" separated); true with the
    // chosen path. Tests replace the system's save dialog with their own.
    using SavePathChooser = std::function<bool(HWND owner, const CString& defaultExtension,
                                               const CString& fileName, const CString& filter, CString& path)>;
    static SavePathChooser SetSavePathChooser(SavePathChooser chooser);
    // Runs the print dialog and returns the printer's device context (null:
    // cancelled). Tests replace it.
    using PrinterChooser = std::function<HDC(HWND owner)>;
    static PrinterChooser SetPrinterChooser(PrinterChooser chooser);

    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    BOOL DestroyWindow() override;
    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    BOOL OnCmdMsg(UINT id, int code, CCmdUI* update) override;
    void OnSize(UINT type, int cx, int cy) override;
    void DoDataExchange(CDataExchange* dx) override;

protected:
    void PostNcDestroy() override;
    // Hands the text's bytes to the document to encrypt into the source
    // file: CRYPT_OK or the document's error code.
    virtual int WriteBackToSource(const BYTE* bytes, size_t size);

private:
    void CreateToolBar();
    bool CreateControl();
    void PlaceFindRow(int width, bool atCreation);
    void ApplyEditorFont();
    void SetControlOptions();
    void LoadText();
    void ApplyLanguage();
    void ApplyOutlining();
    // The text as the bytes of the encoding it was read in, in wiping memory.
    bool TextBytes(WipedBytes& bytes);
    BOOL SaveMemoryText();
    BOOL SavePlainFile();
    // Yes saves (closing only when that worked), No discards, Cancel stays.
    bool ConfirmClose();
    void CloseWindow();
    void ShowMessage(const CString& text, UINT type);
    void RunPrintJob(HDC printer);
    // Whether the keyboard focus is in the find box.
    bool FocusInFindBox() const;
    bool HandleCtrlKey(UINT key);
    void OnEditChange() { m_bModified = TRUE; }

    // Commands and their items' states.
    void OnSaveCommand();
    void OnSaveAsCommand();
    void OnPrintCommand();
    void OnExitCommand() {}
    void OnUndo();
    void OnRedo();
    void OnCut();
    void OnCopy();
    void OnPaste();
    void OnSelectAll();
    void OnUpdateUndo(CCmdUI* ui);
    void OnUpdateRedo(CCmdUI* ui);
    void OnUpdateCut(CCmdUI* ui);
    void OnUpdateCopy(CCmdUI* ui);
    void OnUpdatePaste(CCmdUI* ui);

    CString m_strName;
    CString m_strSourcePath;
    COrvantisDoc* m_pOwner = nullptr;
    std::unique_ptr<CCustomEditCtrl> m_pControl;
    std::unique_ptr<CCodeEditWnd> m_pControlWnd;
    CToolBar m_toolbar;
    CFont m_font;
    CEdit m_findBox;
    CButton m_findButton;
    int m_nToolbarHeight = 0;
    // The find box's and the button's template sizes.
    int m_nFindBoxWidth = 0;
    int m_nFindBoxHeight = 0;
    int m_nButtonWidth = 0;
    CWipedBuffer m_text;
    BOOL m_bModified = FALSE;
    int m_nLanguage = 0;
    BOOL m_bLargeText = FALSE;
    // A print job runs (its dialog included): a close waits for its end.
    // Escape or the close box asks about changes then; a destruction does not.
    bool m_bPrinting = false;
    bool m_bCancelPending = false;
    bool m_bDestroyPending = false;
};
