// What the editor tests share: an application with its own registry key,
// message boxes answered by a script, a message pump that runs the program's
// key filters, and opening an editor on a memory text or a plain file.
#pragma once

#include "tests/QvTest.h"

#include "framework/windows/AfxMessageBox.h"
#include "framework/windows/CWinApp.h"
#include "viewers/EditorWindow.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

class COrvantisDoc;

namespace editortest {

const DWORD kDeadlineMs = 10000;

// Dispatches this thread's messages, through the program's key filters,
// until `done` holds (true) or the time is up (false).
bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds = kDeadlineMs);

// A message box the editor showed.
struct ShownBox {
    CString text;
    UINT type;
};

// Answers every message box with the next scripted answer (IDOK when the
// script is empty) and records it.
class ScriptedBoxes {
public:
    ScriptedBoxes();
    ~ScriptedBoxes();
    void Answer(int button) { m_answers.push_back(button); }
    const std::vector<ShownBox>& Shown() const { return m_shown; }

private:
    std::deque<int> m_answers;
    std::vector<ShownBox> m_shown;
    MessageBoxHook m_previous;
};

// An application whose profile is the tests' own registry key.
class EditorApp {
public:
    EditorApp();
    CWinApp& App() { return m_app; }

private:
    CWinApp m_app;
};

// Creates `editor` (already given its text or name) without a parent and
// shows it; true on success.
bool Open(CEditorWindow* editor);
// A new editor on a memory text named `name`.
CEditorWindow* OpenMemoryText(const std::string& text, const CString& name, COrvantisDoc* owner = nullptr);
// A new editor on a plain file.
CEditorWindow* OpenPlainFile(const CString& path, COrvantisDoc* owner = nullptr);
// Escape: closes the editor through its own close path.
void PressEscape(CEditorWindow* editor);
// The control's whole text.
CString ControlText(CEditorWindow* editor);
// Unicode text on the clipboard ("" when there is none).
CString ClipboardText();
void PutClipboardText(const CString& text);

}  // namespace editortest
