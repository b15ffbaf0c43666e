// Opening a 10 MiB encrypted C++ source in the secure editor, from the
// document's open (what the list's double-click calls) to the first painted
// text: decryption into memory, the window, the load, the colouring and the
// paint. Beside it Wine's notepad.exe opening the same text as a plain file,
// from its start until its window shows the whole text painted. The rounds
// alternate A B A B; the medians, their ratio and the machine's load
// (/proc/loadavg before and after) are reported. Pin the whole run, Wine's
// server included:  taskset -c 0-3 tools/run-benchmarks bench_editor_open
// QV_ROUNDS sets the number of rounds (default 5).
#include "bench/BenchSupport.h"

#include "app/EditorOpening.h"
#include "crypt/FileCipher.h"
#include "doc/OrvantisDoc.h"
#include "doc/TextEditorHost.h"
#include "framework/windows/CWinApp.h"
#include "framework/windows/CWnd.h"

#include <memory>

namespace {

const size_t kSourceBytes = 10u << 20;
const WCHAR kPassword[] = L"bench editor password";
const double kNotepadDeadline = 300;  // seconds

// About `bytes` of C++ with comments, keywords, strings and numbers, CRLF lines.
std::string MakeSource(size_t bytes)
{
    std::string text;
    text.reserve(bytes + 256);
    for (int n = 0; text.size() < bytes; ++n) {
        if (n % 20 == 0)
            text += "/* A block comment before function " + std::to_string(n) + "\r\n   over two lines */\r\n";
        text += "static int function_" + std::to_string(n) + "(const char* text, int count)\r\n{\r\n"
                "    // count the characters\r\n    return count + \"string\"[0] + " + std::to_string(n % 97) +
                ";\r\n}\r\n";
    }
    text.resize(bytes);
    return text;
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double LoadAverage()
{
    double load = 0;
    if (FILE* file = fopen("/proc/loadavg", "r")) {
        if (fscanf(file, "%lf", &load) != 1)
            load = 0;
        fclose(file);
    }
    return load;
}

void PumpMessages()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

// The benchmark's main window: offers the editor to the document as the
// program's main frame does.
class BenchMainWindow : public CWnd, public CTextEditorHost {
public:
    HWND OpenTextFile(COrvantisDoc* owner, const CString& path) override { return OpenPlainTextEditor(owner, path); }
    HWND OpenDecryptedText(COrvantisDoc* owner, const CString& name, const CString& sourcePath, const BYTE* text,
                           int size) override
    {
        return OpenMemoryTextEditor(owner, name, sourcePath, text, size);
    }
};

// The seconds of the decryption into memory alone, the first step of the open.
double DecryptOnly(const CString& encrypted)
{
    double start = benchsupport::Now();
    CFileCipher cipher;
    CString name;
    int result = cipher.DecryptFileToMemory(encrypted, name);
    double seconds = benchsupport::Now() - start;
    return result == CRYPT_OK ? seconds : -1;
}

// The program's side: the document opens the encrypted file in the editor,
// which is then painted; the seconds until the paint ended, -1 on failure.
// `shown`: the seconds until the window stood (before the paint).
double OpenInEditor(COrvantisDoc& document, const CString& encrypted, double& shown)
{
    double start = benchsupport::Now();
    HWND editor = document.OpenTextEditor(encrypted);
    if (!editor)
        return -1;
    shown = benchsupport::Now() - start;
    ::RedrawWindow(editor, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    double seconds = benchsupport::Now() - start;
    if (CWnd* window = CWnd::FromHandlePermanent(editor))
        window->DestroyWindow();
    PumpMessages();
    return seconds;
}

struct NotepadSearch {
    DWORD processId;
    HWND edit;
};

BOOL CALLBACK FindNotepadEdit(HWND window, LPARAM param)
{
    auto* search = (NotepadSearch*)param;
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !::IsWindowVisible(window))
        return TRUE;
    search->edit = ::FindWindowExW(window, nullptr, L"Edit", nullptr);
    return search->edit ? FALSE : TRUE;
}

// The peer: notepad started on the plain file; the seconds until its
// visible edit control holds the whole text and has nothing left to paint,
// -1 when it did not get there.
double OpenInNotepad(const CString& plain, size_t characters)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    CString commandLine = L"notepad.exe \"" + plain + L"\"";
    double start = benchsupport::Now();
    if (!::CreateProcessW(nullptr, commandLine.GetBuffer(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        return -1;
    double seconds = -1;
    while (benchsupport::Now() - start < kNotepadDeadline) {
        NotepadSearch search = {process.dwProcessId, nullptr};
        ::EnumWindows(FindNotepadEdit, (LPARAM)&search);
        DWORD_PTR length = 0;
        if (search.edit &&
            ::SendMessageTimeoutW(search.edit, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 1000, &length) &&
            length >= characters && !::GetUpdateRect(search.edit, nullptr, FALSE)) {
            seconds = benchsupport::Now() - start;
            break;
        }
        ::Sleep(1);
    }
    ::TerminateProcess(process.hProcess, 0);
    ::WaitForSingleObject(process.hProcess, 10000);
    ::CloseHandle(process.hProcess);
    ::CloseHandle(process.hThread);
    return seconds;
}

void BM_OpenTenMiBSource_EditorVsNotepad(benchmark::State& state)
{
    benchsupport::RunFolder folder(L"QVE");
    if (!folder.IsValid()) {
        state.SkipWithError("no run folder");
        return;
    }
    CWinApp app;
    BenchMainWindow main;
    main.CreateEx(0, CWnd::RegisterWndClass(0), L"bench", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr);
    app.m_pMainWnd = &main;
    auto document = std::make_unique<COrvantisDoc>();
    document->m_strPassword = kPassword;
    COrvantisDoc::SetPasswordKey(kPassword);

    const std::string source = MakeSource(kSourceBytes);
    CString plain = folder / L"generated.cpp";
    HANDLE file = ::CreateFileW(plain, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(file, source.data(), (DWORD)source.size(), &written, nullptr);
    ::CloseHandle(file);
    CFileCipher cipher;
    CString encrypted = folder / cipher.MakeRandomEncryptedName();
    CString stored;
    if (written != source.size() ||
        cipher.CryptFile(plain, encrypted, CRYPT_MODE_ENCRYPT, stored, nullptr, TRUE) != CRYPT_OK) {
        state.SkipWithError("the source could not be made");
        return;
    }

    const int rounds = benchsupport::EnvNumber("QV_ROUNDS", 5);
    std::vector<double> ours, notepad, decrypt, shown;
    double loadBefore = LoadAverage();
    for (auto _ : state) {
        for (int round = 0; round < rounds; ++round) {
            decrypt.push_back(DecryptOnly(encrypted));
            shown.push_back(0);
            ours.push_back(OpenInEditor(*document, encrypted, shown.back()));
            notepad.push_back(OpenInNotepad(plain, source.size()));
        }
    }
    double loadAfter = LoadAverage();
    for (size_t i = 0; i < ours.size(); ++i)
        fprintf(stderr, "round %zu: editor %.3f s (decryption alone %.3f s, window up %.3f s), notepad %.3f s\n",
                i + 1, ours[i], decrypt[i], shown[i], notepad[i]);
    if (std::count(ours.begin(), ours.end(), -1.0) || std::count(notepad.begin(), notepad.end(), -1.0))
        state.SkipWithError("a side did not show the text");
    state.counters["editor_s"] = Median(ours);
    state.counters["notepad_s"] = Median(notepad);
    state.counters["decrypt_s"] = Median(decrypt);
    state.counters["window_up_s"] = Median(shown);
    state.counters["editor/notepad"] = benchsupport::MedianRatio(ours, notepad);
    state.counters["cpus"] = benchsupport::UsableProcessors();
    state.counters["load_before"] = loadBefore;
    state.counters["load_after"] = loadAfter;

    document.reset();
    COrvantisDoc::SetPasswordKey(CString());
    app.m_pMainWnd = nullptr;
    main.DestroyWindow();
}

}  // namespace

BENCHMARK(BM_OpenTenMiBSource_EditorVsNotepad)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK_MAIN();
