// The secure text editor on real windows: title, language and tag mode by
// extension, the large-text rule, finding (next, seeded), the Ctrl keys and
// the find box, the marker bar, saving (memory text back through the
// document, plain file in its encoding, a decrypted copy elsewhere), closing
// with unsaved changes, a close during printing, and the freed heap after a
// memory text was shown.
#include "tests/viewers/EditorTestSupport.h"

#include "crypt/FileCipher.h"
#include "doc/OrvantisDoc.h"
#include "editctrl/window/CodeEditWnd.h"
#include "res/resource.h"
#include "tests/FreedBlockScanner.h"
#include "viewers/CustomEditCtrl.h"
#include "viewers/XmlOutlineParser.h"

#include <memory>

using namespace editortest;

namespace {

// Answers from the document's side of a save, recorded by a window that
// writes its text back to a stand-in instead of the document.
struct WriteBack {
    int answer = CRYPT_OK;
    int calls = 0;
    std::string bytes;
};

class WriteBackEditor : public CEditorWindow {
public:
    explicit WriteBackEditor(WriteBack& record) : m_record(record) {}

protected:
    int WriteBackToSource(const BYTE* bytes, size_t size) override
    {
        ++m_record.calls;
        m_record.bytes.assign((const char*)bytes, size);
        return m_record.answer;
    }

private:
    WriteBack& m_record;
};

class EditorWindowTest : public ::testing::Test {
protected:
    EditorWindowTest() : m_doc(std::make_unique<COrvantisDoc>()) {}
    ~EditorWindowTest() override
    {
        // Windows a test left open go without asking.
        for (HWND window : m_opened) {
            if (::IsWindow(window)) {
                CEditorWindow* editor = (CEditorWindow*)CWnd::FromHandlePermanent(window);
                editor->SetOwner(nullptr);
                editor->DestroyWindow();
            }
        }
        CEditorWindow::SetSavePathChooser(nullptr);
        CEditorWindow::SetPrinterChooser(nullptr);
    }

    CEditorWindow* Track(CEditorWindow* editor)
    {
        if (editor)
            m_opened.push_back(*editor);
        return editor;
    }
    CEditorWindow* Memory(const std::string& text, const CString& name, COrvantisDoc* owner = nullptr)
    {
        return Track(OpenMemoryText(text, name, owner));
    }
    CEditorWindow* Plain(const CString& path) { return Track(OpenPlainFile(path)); }
    WriteBackEditor* MemoryWithWriteBack(const std::string& text, const CString& name, WriteBack& record,
                                         COrvantisDoc* owner)
    {
        auto* editor = new WriteBackEditor(record);
        editor->SetName(name);
        editor->SetTextBuffer((const BYTE*)text.data(), (int)text.size());
        editor->SetOwner(owner);
        return Open(editor) ? (WriteBackEditor*)Track(editor) : nullptr;
    }
    // Types `text` at the caret as the keyboard would.
    static void Type(CEditorWindow* editor, const CString& text)
    {
        for (int i = 0; i < text.GetLength(); ++i)
            ::SendMessageW(*editor->GetControlWindow(), WM_CHAR, text[i], 0);
    }
    static void Command(CEditorWindow* editor, UINT id) { ::SendMessageW(*editor, WM_COMMAND, id, 0); }
    static MSG KeyDown(HWND target, UINT key)
    {
        MSG msg = {};
        msg.hwnd = target;
        msg.message = WM_KEYDOWN;
        msg.wParam = key;
        return msg;
    }

    EditorApp m_app;
    std::unique_ptr<COrvantisDoc> m_doc;
    qvtest::TempFolder m_folder;
    std::vector<HWND> m_opened;
};

// ---- Title, language and tag mode -----------------------------------------

// Keywords or coloured blocks came from a language definition.
bool HasColouring(CEditorWindow* editor)
{
    return !editor->GetControl()->keywords.empty() || !editor->GetControl()->colorBlocks.empty();
}

struct LanguageCase {
    const WCHAR* name;
    int resource;
    bool tagMode;
    const WCHAR* title;
};

TEST_F(EditorWindowTest, TheExtensionChoosesLanguageAndTagModeAndTheNameTheTitle)
{
    const LanguageCase cases[] = {
        {L"main.cpp", IDR_EDITOR_CPP, false, L"Secure File: [main.cpp]"},
        {L"data.xml", IDR_EDITOR_XML, true, L"Secure File: [data.xml]"},
        {L"query.sql", IDR_EDITOR_SQL, false, L"Secure File: [query.sql]"},
        {L"notes.txt", 0, false, L"Secure File: [notes.txt]"},             // no language for .txt
        {L"PAGE.HTML", IDR_EDITOR_HTML, true, L"Secure File: [PAGE.HTML]"},  // compared lower-cased
        {L"README", 0, false, L"Secure File: [README]"},                     // no extension
    };
    for (const LanguageCase& c : cases) {
        SCOPED_TRACE(CString(c.name).ToUtf8());
        CEditorWindow* editor = Memory("select 1 from t;\n", c.name);
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->GetWindowText(), CString(c.title));
        EXPECT_EQ(editor->GetLanguageResource(), c.resource);
        CXmlOutlineParser* parser = editor->GetControl()->GetXmlOutlineParser();
        EXPECT_EQ(parser && parser->GetXmlMode(), c.tagMode);
        EXPECT_EQ(editor->GetControl()->GetXmlColoring() != 0, c.tagMode);
        EXPECT_EQ(HasColouring(editor), c.resource != 0) << "a language brings its colouring";
        EXPECT_FALSE(editor->IsTextModified());
        PressEscape(editor);
    }
}

TEST_F(EditorWindowTest, APlainFileIsLoadedFromItsPathWhichBecomesTheTitle)
{
    CString path = m_folder.WriteFile(L"plain.sql", "select 1;\r\n");
    CEditorWindow* editor = Plain(path);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->GetWindowText(), path);
    EXPECT_EQ(ControlText(editor), CString(L"select 1;\n"));
    EXPECT_EQ(editor->GetLanguageResource(), IDR_EDITOR_SQL);
    EXPECT_FALSE(editor->IsTextModified());
}

// ---- Large texts --------------------------------------------------------------

// `size` bytes of C++ lines ("int a; \n" is 8 bytes), one line feed more when odd.
std::string CppTextOfSize(size_t size)
{
    std::string text;
    while (text.size() + 8 <= size)
        text += "int a; \n";
    text.append(size - text.size(), '\n');
    return text;
}

struct LargeCase {
    size_t bytes;
    bool plainFile;
    bool outlined;
};

TEST_F(EditorWindowTest, TextsAbove100000BytesAreColouredButNotOutlined)
{
    const LargeCase cases[] = {
        {100000, false, true}, {100001, false, false},  // memory texts: their size
        {100000, true, true},  {100001, true, false},   // plain files: the file's size
    };
    for (const LargeCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.bytes) + (c.plainFile ? " plain" : " memory"));
        std::string text = CppTextOfSize(c.bytes);
        ASSERT_EQ(text.size(), c.bytes);
        CEditorWindow* editor =
            c.plainFile ? Plain(m_folder.WriteFile(L"big.cpp", text)) : Memory(text, L"big.cpp");
        ASSERT_NE(editor, nullptr);
        CCustomEditCtrl* control = editor->GetControl();
        EXPECT_EQ(editor->IsLargeText() != 0, !c.outlined);
        EXPECT_EQ(control->outlineUpdatesAllowed != 0, c.outlined);
        EXPECT_TRUE(control->showOutlineBar);
        EXPECT_EQ(control->outlineBarWidth, c.outlined ? 20 : 5);
        EXPECT_TRUE(HasColouring(editor)) << "a large text keeps its colouring";
        PressEscape(editor);
    }
}

TEST_F(EditorWindowTest, AnUnknownLanguageGetsNoFoldingAndTheNarrowOutlineBar)
{
    CEditorWindow* editor = Memory("{\nsome text\n}\n", L"notes.txt");
    ASSERT_NE(editor, nullptr);
    EXPECT_FALSE(editor->GetControl()->outlineUpdatesAllowed);
    EXPECT_EQ(editor->GetControl()->outlineBarWidth, 5);
}

// ---- Finding -------------------------------------------------------------------

TEST_F(EditorWindowTest, FindNextSearchesTheFindBoxTextDownwardsAndWraps)
{
    CEditorWindow* editor = Memory("alpha beta\nALPHA gamma\n", L"find.txt");
    ASSERT_NE(editor, nullptr);
    CCustomEditCtrl* control = editor->GetControl();
    editor->GetFindBox().SetWindowText(L"alpha");
    Command(editor, IDC_EDITOR_FIND_BUTTON);
    EXPECT_EQ(g_EditorFindText, CString(L"alpha"));
    EXPECT_EQ(std::make_pair(control->selStart, control->selEnd), std::make_pair(0, 5));
    // F3 finds the next one, case-insensitively.
    MSG f3 = KeyDown(*editor->GetControlWindow(), VK_F3);
    EXPECT_TRUE(editor->PreTranslateMessage(&f3));
    EXPECT_EQ(std::make_pair(control->selStart, control->selEnd), std::make_pair(11, 16));
    // And wraps around to the first.
    EXPECT_TRUE(editor->PreTranslateMessage(&f3));
    EXPECT_EQ(std::make_pair(control->selStart, control->selEnd), std::make_pair(0, 5));
}

struct SeedCase {
    const char* name;
    int selStart, selEnd;  // -1: no selection, caret at selEnd
    const WCHAR* expectedSeed;
};

TEST_F(EditorWindowTest, FindSeedsTheSearchFromTheWordOrASingleLineSelection)
{
    const SeedCase cases[] = {
        {"word at the caret", -1, 8, L"gamma"},
        {"one-line selection, tab as a blank", 11, 16, L"x y z"},
        {"several lines keep the old text", 0, 14, L"previous"},
    };
    for (const SeedCase& c : cases) {
        SCOPED_TRACE(c.name);
        CEditorWindow* editor = Memory("beta gamma\nx\ty z\n", L"seed.txt");
        ASSERT_NE(editor, nullptr);
        CCustomEditCtrl* control = editor->GetControl();
        g_EditorFindText = L"previous";
        if (c.selStart < 0) {
            control->ClearSelection(TRUE, TRUE, TRUE);
            control->MoveCaretToOffset(c.selEnd, TRUE, TRUE);
        } else {
            control->SetSelectionRange(c.selStart, c.selEnd, TRUE);
        }
        Command(editor, ID_EDIT_FIND);
        EXPECT_EQ(g_EditorFindText, CString(c.expectedSeed));
        EXPECT_EQ(editor->GetFindBox().GetWindowText(), CString(c.expectedSeed));
        EXPECT_EQ(CWnd::GetFocus() ? CWnd::GetFocus()->m_hWnd : nullptr, editor->GetFindBox().m_hWnd);
        PressEscape(editor);
    }
}

// ---- Keys ----------------------------------------------------------------------

class CtrlHeld {
public:
    CtrlHeld()
    {
        ::GetKeyboardState(m_saved);
        BYTE state[256];
        ::memcpy(state, m_saved, sizeof state);
        state[VK_CONTROL] = 0x80;
        ::SetKeyboardState(state);
    }
    ~CtrlHeld() { ::SetKeyboardState(m_saved); }

private:
    BYTE m_saved[256];
};

TEST_F(EditorWindowTest, CtrlKeysGoToTheControlExceptWhileTheFindBoxHasTheFocus)
{
    CEditorWindow* editor = Memory("first line\nsecond\n", L"keys.txt");
    ASSERT_NE(editor, nullptr);
    CCustomEditCtrl* control = editor->GetControl();
    HWND controlWindow = *editor->GetControlWindow();
    HWND findBox = editor->GetFindBox();
    editor->GetFindBox().SetWindowText(L"boxed");
    control->SetSelectionRange(0, 5, TRUE);
    CtrlHeld ctrl;

    // In the control: Ctrl+C copies the control's selection and is consumed.
    ::SetFocus(controlWindow);
    PutClipboardText(L"sentinel");
    MSG copy = KeyDown(controlWindow, 'C');
    EXPECT_TRUE(editor->PreTranslateMessage(&copy));
    EXPECT_EQ(ClipboardText(), CString(L"first"));

    // Ctrl+A selects the whole text.
    MSG all = KeyDown(controlWindow, 'A');
    EXPECT_TRUE(editor->PreTranslateMessage(&all));
    EXPECT_EQ(control->GetSelectedText(), CString(L"first line\nsecond\n"));

    // In the find box the key passes on, and the box copies its own text.
    ::SetFocus(findBox);
    ::SendMessageW(findBox, EM_SETSEL, 0, -1);
    PutClipboardText(L"sentinel");
    MSG boxCopy = KeyDown(findBox, 'C');
    editor->PreTranslateMessage(&boxCopy);  // the dialog's own key handling
    EXPECT_EQ(ClipboardText(), CString(L"sentinel")) << "the control copied nothing";
    ::SendMessageW(findBox, WM_CHAR, 3, 0);  // what Ctrl+C types
    EXPECT_EQ(ClipboardText(), CString(L"boxed"));
}

TEST_F(EditorWindowTest, EnterInTheFindBoxFindsAndElsewhereDoesNothing)
{
    CEditorWindow* editor = Memory("one two one\n", L"enter.txt");
    ASSERT_NE(editor, nullptr);
    CCustomEditCtrl* control = editor->GetControl();
    editor->GetFindBox().SetWindowText(L"two");
    ::SetFocus(*editor->GetControlWindow());
    editor->OnOK();
    EXPECT_FALSE(control->HasSelection());
    ::SetFocus(editor->GetFindBox());
    editor->OnOK();
    EXPECT_EQ(std::make_pair(control->selStart, control->selEnd), std::make_pair(4, 7));
    EXPECT_TRUE(::IsWindow(*editor)) << "Enter never closes the editor";
}

// ---- The marker bar -------------------------------------------------------------

TEST_F(EditorWindowTest, ADoubleClickOnTheMarkerBarTogglesABookmarkOnlyWhenTheControlAllowsIt)
{
    CEditorWindow* editor = Memory("line one\nline two\nline three\n", L"marks.cpp");
    ASSERT_NE(editor, nullptr);
    CCustomEditCtrl* control = editor->GetControl();
    HWND controlWindow = *editor->GetControlWindow();
    const LPARAM onBar = MAKELPARAM(1, control->lineHeight / 2);
    const uint32_t kBookmark = 0x10000;

    // The editor sets the control up without margin bookmarks.
    ::SendMessageW(controlWindow, WM_LBUTTONDBLCLK, MK_LBUTTON, onBar);
    ::SendMessageW(controlWindow, WM_LBUTTONUP, 0, onBar);
    EXPECT_EQ(control->FindMarkerOnLine(0, kBookmark), nullptr);

    control->SetMarginBookmarks(TRUE);
    ::SendMessageW(controlWindow, WM_LBUTTONDOWN, MK_LBUTTON, onBar);
    ::SendMessageW(controlWindow, WM_LBUTTONUP, 0, onBar);
    ::SendMessageW(controlWindow, WM_LBUTTONDBLCLK, MK_LBUTTON, onBar);
    ::SendMessageW(controlWindow, WM_LBUTTONUP, 0, onBar);
    EXPECT_NE(control->FindMarkerOnLine(0, kBookmark), nullptr);
    ::SendMessageW(controlWindow, WM_LBUTTONDBLCLK, MK_LBUTTON, onBar);
    ::SendMessageW(controlWindow, WM_LBUTTONUP, 0, onBar);
    EXPECT_EQ(control->FindMarkerOnLine(0, kBookmark), nullptr) << "a second double-click removes it";
}

// ---- Placement -------------------------------------------------------------------

TEST_F(EditorWindowTest, ReopeningRestoresWhereTheLastEditorClosed)
{
    CEditorWindow* first = Memory("text\n", L"place.txt");
    ASSERT_NE(first, nullptr);
    ::SetWindowPos(*first, nullptr, 30, 40, 520, 380, SWP_NOZORDER | SWP_NOACTIVATE);
    HWND firstWindow = *first;
    // The close box: the dialog posts itself IDCANCEL.
    ::SendMessageW(firstWindow, WM_CLOSE, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return !::IsWindow(firstWindow); }));
    EXPECT_EQ(m_app.App().GetProfileString(L"EditorSize", L"WindowPlacement", L""), CString(L"30,40,550,420,1,0"));

    CEditorWindow* second = Memory("text\n", L"place.txt");
    ASSERT_NE(second, nullptr);
    RECT frame;
    second->GetWindowRect(&frame);
    EXPECT_EQ(frame.left, 30);
    EXPECT_EQ(frame.top, 40);
    EXPECT_EQ(frame.right, 550);
    EXPECT_EQ(frame.bottom, 420);
}

TEST_F(EditorWindowTest, TheFindRowSitsRightOfTheToolbarAndFollowsTheWidth)
{
    CEditorWindow* editor = Memory("text\n", L"layout.txt");
    ASSERT_NE(editor, nullptr);
    RECT client, box, button, bar, control;
    ::SetWindowPos(*editor, nullptr, 0, 0, 700, 400, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    editor->GetClientRect(&client);
    auto childRect = [&](HWND child, RECT& r) {
        ::GetWindowRect(child, &r);
        ::MapWindowPoints(nullptr, *editor, (POINT*)&r, 2);
    };
    childRect(editor->GetFindBox(), box);
    childRect(editor->GetFindButton(), button);
    childRect(editor->GetToolBar(), bar);
    childRect(*editor->GetControlWindow(), control);
    const int w = client.right, e = box.right - box.left, b = button.right - button.left;
    EXPECT_EQ(box.left, w - b - e - 10);
    EXPECT_EQ(button.left, w - b - 4) << "after a resize the button sits at W - B - 4";
    EXPECT_EQ(bar.right - bar.left, w - b - e - 15);
    EXPECT_EQ(control.top, editor->GetToolbarHeight());
    EXPECT_EQ(control.bottom, client.bottom);
    EXPECT_EQ(control.right, client.right);
    EXPECT_GT(editor->GetToolbarHeight(), 0);
}

// ---- Menu and toolbar ------------------------------------------------------------

TEST_F(EditorWindowTest, EditCommandsAndTheirMenuItemsFollowWhatTheControlCanDo)
{
    CEditorWindow* editor = Memory("abc\n", L"menu.txt");
    ASSERT_NE(editor, nullptr);
    HMENU edit = ::GetSubMenu(::GetMenu(*editor), 1);
    ASSERT_NE(edit, nullptr);
    auto enabled = [&](UINT id) {
        ::SendMessageW(*editor, WM_INITMENUPOPUP, (WPARAM)edit, 1);
        return (::GetMenuState(edit, id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)) == 0;
    };
    EXPECT_FALSE(enabled(ID_EDIT_UNDO));
    EXPECT_FALSE(enabled(ID_EDIT_REDO));
    EXPECT_FALSE(enabled(ID_EDIT_CUT));
    EXPECT_FALSE(enabled(ID_EDIT_COPY));
    Type(editor, L"x");
    EXPECT_TRUE(enabled(ID_EDIT_UNDO));
    Command(editor, ID_EDIT_UNDO);
    EXPECT_EQ(ControlText(editor), CString(L"abc\n"));
    EXPECT_TRUE(enabled(ID_EDIT_REDO));
    Command(editor, ID_EDIT_REDO);
    EXPECT_EQ(ControlText(editor), CString(L"xabc\n"));
    Command(editor, ID_EDIT_SELECT_ALL);
    EXPECT_TRUE(enabled(ID_EDIT_CUT));
    EXPECT_TRUE(enabled(ID_EDIT_COPY));
    Command(editor, ID_EDIT_CUT);
    EXPECT_EQ(ControlText(editor), CString(L""));
    EXPECT_TRUE(enabled(ID_EDIT_PASTE));
    Command(editor, ID_EDIT_PASTE);
    EXPECT_EQ(ControlText(editor), CString(L"xabc\n"));
}

TEST_F(EditorWindowTest, TheToolbarHoldsSaveClipboardAndUndoButtons)
{
    CEditorWindow* editor = Memory("abc", L"bar.txt");
    ASSERT_NE(editor, nullptr);
    const int expected[] = {ID_EDITOR_SAVE, 0, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, 0, ID_EDIT_UNDO, ID_EDIT_REDO};
    CToolBar& bar = editor->GetToolBar();
    ASSERT_EQ(bar.GetCount(), 8);
    for (int i = 0; i < 8; ++i) {
        TBBUTTON button = {};
        bar.SendMessage(TB_GETBUTTON, i, (LPARAM)&button);
        EXPECT_EQ(button.idCommand, expected[i]) << "button " << i;
    }
}

// ---- Saving -----------------------------------------------------------------------

TEST_F(EditorWindowTest, SaveWritesAMemoryTextBackThroughTheDocumentAndClearsModifiedOnlyOnSuccess)
{
    WriteBack record;
    WriteBackEditor* editor = MemoryWithWriteBack("alpha\r\nbeta", L"secret.txt", record, m_doc.get());
    ASSERT_NE(editor, nullptr);
    editor->SetSourcePath(L"C:\\vault\\secret.enc");
    Type(editor, L"X");
    ASSERT_TRUE(editor->IsTextModified()) << "a change notice marks the text modified";
    ScriptedBoxes boxes;

    record.answer = CRYPT_WRITE_FAILED;
    Command(editor, ID_EDITOR_SAVE);
    EXPECT_EQ(record.calls, 1);
    EXPECT_TRUE(editor->IsTextModified()) << "a failed save keeps the text modified";
    ASSERT_EQ(boxes.Shown().size(), 1u);
    EXPECT_EQ(boxes.Shown()[0].text, m_doc->EditorSaveMessage(CRYPT_WRITE_FAILED));

    record.answer = CRYPT_OK;
    Command(editor, ID_EDITOR_SAVE);
    EXPECT_EQ(record.calls, 2);
    EXPECT_EQ(record.bytes, std::string("Xalpha\r\nbeta")) << "the text in the encoding it was read in";
    EXPECT_FALSE(editor->IsTextModified());
    EXPECT_EQ(boxes.Shown().size(), 1u) << "a successful save shows nothing";
}

TEST_F(EditorWindowTest, SaveWithoutADocumentSaysSoAndKeepsTheText)
{
    WriteBack record;
    WriteBackEditor* editor = MemoryWithWriteBack("alpha", L"orphan.txt", record, m_doc.get());
    ASSERT_NE(editor, nullptr);
    Type(editor, L"Y");
    editor->SetOwner(nullptr);  // the document went
    ScriptedBoxes boxes;
    Command(editor, ID_EDITOR_SAVE);
    EXPECT_EQ(record.calls, 0);
    EXPECT_TRUE(editor->IsTextModified());
    EXPECT_EQ(boxes.Shown().size(), 1u);
    EXPECT_EQ(ControlText(editor), CString(L"Yalpha"));
}

struct EncodingCase {
    const char* name;
    std::string before;  // the file as written by another program
    std::string after;   // the same file after typing "Z" at its start and saving
};

TEST_F(EditorWindowTest, SaveWritesAPlainFileInTheEncodingItWasReadIn)
{
    const EncodingCase cases[] = {
        {"ANSI", "ab\r\ncd", "Zab\r\ncd"},
        {"UTF-8 with mark", "\xEF\xBB\xBF" "a\xC3\xA9\r\n", "\xEF\xBB\xBF" "Za\xC3\xA9\r\n"},
        {"UTF-16 LE with mark", std::string("\xFF\xFE" "a\0b\0", 6), std::string("\xFF\xFE" "Z\0a\0b\0", 8)},
        {"UTF-16 BE with mark", std::string("\xFE\xFF\0a\0b", 6), std::string("\xFE\xFF\0Z\0a\0b", 8)},
    };
    for (const EncodingCase& c : cases) {
        SCOPED_TRACE(c.name);
        CString path = m_folder.WriteFile(L"encoded.txt", c.before);
        CEditorWindow* editor = Plain(path);
        ASSERT_NE(editor, nullptr);
        Type(editor, L"Z");
        Command(editor, ID_EDITOR_SAVE);
        EXPECT_EQ(qvtest::ReadFileBytes(path), c.after);
        EXPECT_FALSE(editor->IsTextModified());
        PressEscape(editor);
        EXPECT_FALSE(::IsWindow(m_opened.back())) << "a saved text closes without asking";
    }
}

TEST_F(EditorWindowTest, SaveDecryptedAsOffersTheOriginalExtensionAndWritesExactlyTheText)
{
    struct Offer {
        CString extension, fileName, filter;
    } offered;
    CString target = m_folder / L"copy.cpp";
    CEditorWindow::SetSavePathChooser(
        [&](HWND, const CString& extension, const CString& fileName, const CString& filter, CString& path) {
            offered = {extension, fileName, filter};
            path = target;
            return true;
        });
    CEditorWindow* editor = Memory("int main()\r\n{\r\n\treturn 0;\r\n}\r\n", L"main.cpp");
    ASSERT_NE(editor, nullptr);
    Type(editor, L"// ");
    Command(editor, ID_EDITOR_SAVE_AS);
    EXPECT_EQ(offered.extension, CString(L"*.cpp"));
    EXPECT_EQ(offered.fileName, CString(L"main.cpp"));
    EXPECT_EQ(offered.filter, CString(L"Original extension (*.cpp)|*.cpp|Text file (*.txt)|*.txt||"));
    EXPECT_EQ(qvtest::ReadFileBytes(target), std::string("// int main()\r\n{\r\n\treturn 0;\r\n}\r\n"));
    EXPECT_TRUE(editor->IsTextModified()) << "a copy elsewhere does not save the text";
}

TEST_F(EditorWindowTest, SaveDecryptedAsWithoutExtensionOffersTheBarePatternAndReportsAFailedWrite)
{
    CString offeredFilter;
    CEditorWindow::SetSavePathChooser([&](HWND, const CString&, const CString&, const CString& filter, CString& path) {
        offeredFilter = filter;
        path = m_folder / L"no such folder\\copy";
        return true;
    });
    CEditorWindow* editor = Memory("text", L"README");
    ASSERT_NE(editor, nullptr);
    ScriptedBoxes boxes;
    EXPECT_FALSE(editor->SaveTextAs());
    EXPECT_EQ(offeredFilter, CString(L"Original extension (*)|*|Text file (*.txt)|*.txt||"));
    ASSERT_EQ(boxes.Shown().size(), 1u) << "a failed write is reported";
    EXPECT_GE(boxes.Shown()[0].text.Find(L"could not be written"), 0);
}

// ---- Closing ------------------------------------------------------------------------

struct CloseCase {
    const char* name;
    bool modify;
    std::vector<int> answers;  // to the question, then to any later box
    int writeBackAnswer;
    bool closes;
    int writeBacks;
    size_t boxes;
};

TEST_F(EditorWindowTest, ClosingWithUnsavedChangesAsksSaveDiscardOrCancel)
{
    const CloseCase cases[] = {
        {"unchanged: no question", false, {}, CRYPT_OK, true, 0, 0},
        {"Cancel keeps the window", true, {IDCANCEL}, CRYPT_OK, false, 0, 1},
        {"No discards the changes", true, {IDNO}, CRYPT_OK, true, 0, 1},
        {"Yes saves, then closes", true, {IDYES}, CRYPT_OK, true, 1, 1},
        {"Yes with a failed save keeps the window", true, {IDYES, IDOK}, CRYPT_WRITE_FAILED, false, 1, 2},
    };
    for (const CloseCase& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBack record;
        record.answer = c.writeBackAnswer;
        WriteBackEditor* editor = MemoryWithWriteBack("body", L"close.txt", record, m_doc.get());
        ASSERT_NE(editor, nullptr);
        HWND window = *editor;
        if (c.modify)
            Type(editor, L"!");
        ScriptedBoxes boxes;
        for (int answer : c.answers)
            boxes.Answer(answer);
        PressEscape(editor);
        EXPECT_EQ(!::IsWindow(window), c.closes);
        EXPECT_EQ(record.calls, c.writeBacks);
        ASSERT_EQ(boxes.Shown().size(), c.boxes);
        if (c.boxes > 0) {
            EXPECT_EQ(boxes.Shown()[0].type & MB_TYPEMASK, (UINT)MB_YESNOCANCEL);
        }
    }
}

TEST_F(EditorWindowTest, AClosingEditorTellsItsDocumentButNotAfterBeingDetached)
{
    // The document's record of open editors is its own; what the window
    // owes it is not to call a document that detached it. A detached
    // window's close must not touch the (here already destroyed) document.
    CEditorWindow* editor = Memory("text", L"detach.txt", m_doc.get());
    ASSERT_NE(editor, nullptr);
    HWND window = *editor;
    editor->SetOwner(nullptr);
    m_doc.reset();
    PressEscape(editor);
    EXPECT_FALSE(::IsWindow(window));
    m_doc = std::make_unique<COrvantisDoc>();
}

TEST_F(EditorWindowTest, AClosingRequestDuringPrintingWaitsForTheJobToEnd)
{
    CEditorWindow* editor = Memory("printed text\n", L"print.txt");
    ASSERT_NE(editor, nullptr);
    HWND window = *editor;
    bool aliveDuringJob = false;
    CEditorWindow::SetPrinterChooser([&](HWND) -> HDC {
        // Escape and a destruction arrive while the print dialog runs.
        PressEscape(editor);
        editor->DestroyWindow();
        aliveDuringJob = ::IsWindow(window) && editor->GetControl() != nullptr;
        return nullptr;
    });
    Command(editor, ID_EDITOR_PRINT);
    EXPECT_TRUE(aliveDuringJob);
    EXPECT_FALSE(::IsWindow(window)) << "the window goes once the job ended";
}

// ---- Model check of the saved state ------------------------------------------------

// Random runs of typing, saving (taken or refused by the document), copies
// elsewhere and closes answered Cancel, compared after every step with a
// model: the text, whether it is modified, what was last written back, and
// how many boxes were shown.
TEST_F(EditorWindowTest, TheSavedStateFollowsAModelThroughRandomRuns)
{
    enum Op { TYPE, SAVE_OK, SAVE_REFUSED, SAVE_COPY, CLOSE_CANCELLED, OP_COUNT };
    CString copyPath = m_folder / L"copy.txt";
    CEditorWindow::SetSavePathChooser([&](HWND, const CString&, const CString&, const CString&, CString& path) {
        path = copyPath;
        return true;
    });
    unsigned seed = 20261211;
    auto next = [&seed](unsigned n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    for (int run = 0; run < 4; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        WriteBack record;
        WriteBackEditor* editor = MemoryWithWriteBack("seed", L"model.txt", record, m_doc.get());
        ASSERT_NE(editor, nullptr);
        ScriptedBoxes boxes;
        std::string text = "seed", written;
        bool modified = false;
        size_t shown = 0;
        for (int step = 0; step < 40; ++step) {
            const Op op = (Op)next(OP_COUNT);
            SCOPED_TRACE("step " + std::to_string(step) + " op " + std::to_string(op));
            switch (op) {
            case TYPE: {
                const char ch = (char)('a' + next(26));
                editor->GetControl()->MoveCaretToOffset(editor->GetControl()->GetLength(), TRUE, TRUE);
                Type(editor, CString((WCHAR)ch));
                text += ch;
                modified = true;
                break;
            }
            case SAVE_OK:
            case SAVE_REFUSED:
                record.answer = op == SAVE_OK ? CRYPT_OK : CRYPT_WRITE_FAILED;
                Command(editor, ID_EDITOR_SAVE);
                written = text;
                if (op == SAVE_OK)
                    modified = false;
                else
                    ++shown;
                break;
            case SAVE_COPY:
                Command(editor, ID_EDITOR_SAVE_AS);
                EXPECT_EQ(qvtest::ReadFileBytes(copyPath), text);
                break;
            case CLOSE_CANCELLED:
                if (modified) {
                    boxes.Answer(IDCANCEL);
                    ++shown;
                }
                PressEscape(editor);
                break;
            default:
                break;
            }
            if (op == CLOSE_CANCELLED && !modified) {
                // Closed without asking: the same text opens again.
                ASSERT_FALSE(::IsWindow(m_opened.back())) << "an unchanged text closes at once";
                editor = MemoryWithWriteBack(text, L"model.txt", record, m_doc.get());
                ASSERT_NE(editor, nullptr);
                continue;
            }
            ASSERT_TRUE(::IsWindow(*editor));
            EXPECT_EQ(ControlText(editor), CString(text.c_str()));
            EXPECT_EQ(editor->IsTextModified() != 0, modified);
            EXPECT_EQ(record.bytes, written);
            EXPECT_EQ(boxes.Shown().size(), shown);
        }
        editor->SetOwner(nullptr);
        editor->DestroyWindow();
    }
}

// ---- Privacy -----------------------------------------------------------------------

TEST_F(EditorWindowTest, NoPlainTextIsLeftInFreedMemoryAfterTheEditorCloses)
{
    const std::string marker = MakeFreedBlockMarker("QVEDIT");
    std::string text = "first line\r\n" + marker + " middle\r\n\tlast " + marker + "\r\n";
    {
        CFreedBlockScanner scan(marker);
        WriteBack record;
        WriteBackEditor* editor = MemoryWithWriteBack(text, L"private.cpp", record, m_doc.get());
        ASSERT_NE(editor, nullptr);
        HWND window = *editor;
        CCustomEditCtrl* control = editor->GetControl();
        // The marker travels: a seeded search, a find, an edit, undo, a save.
        int at = CString(text.c_str()).Find(CString(marker.c_str()));
        at -= 1;  // no carriage returns in the control's text
        control->SetSelectionRange(at, at + (int)marker.size(), TRUE);
        Command(editor, ID_EDIT_FIND);
        Command(editor, IDC_EDITOR_FIND_BUTTON);
        Type(editor, L"Q");
        Command(editor, ID_EDIT_UNDO);
        Type(editor, L"R");
        Command(editor, ID_EDITOR_SAVE);
        EXPECT_EQ(record.calls, 1);
        record.bytes.assign(record.bytes.size(), '\0');
        PressEscape(editor);
        ASSERT_FALSE(::IsWindow(window));
        EXPECT_TRUE(g_EditorFindText.IsEmpty()) << "the last editor wipes the search text";
        scan.Stop();
        EXPECT_EQ(scan.Hits(), 0u) << scan.Report();
        EXPECT_GT(scan.BlocksScanned(), 0u);
    }
    std::fill(text.begin(), text.end(), '\0');
}

}  // namespace
