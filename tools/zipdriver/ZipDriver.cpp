// zipdriver: packs, unpacks, tests and lists archives with the program's zip
// library, the way the backup jobs drive it. For tests and benchmarks only.
//
//   zipdriver pack ARCHIVE FOLDER [options]     every file and folder below FOLDER
//   zipdriver unpack ARCHIVE FOLDER [options]
//   zipdriver test ARCHIVE [options]
//   zipdriver list ARCHIVE [options]
//   zipdriver replace ARCHIVE FILE --index N [--name NAME] [--scratch FOLDER] [options]
// Options: --password P, --split BYTES, --binsplit BYTES (pack) or --binsplit
// (open by the last numbered volume), --level N, --rules N, --flags N (unpack),
// --threads N (0: one per core, the default).
// Exit codes: 0 all done, 1 some entries failed, 2 the archive failed.
#include "zip/PkArchive.h"
#include "zip/PkException.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Options {
    CString command, archive, folder, password, name, scratch;
    bool hasPassword = false, binarySplit = false;
    uint64_t split = 0;
    int level = 6, rules = 1, flags = 0, index = -1, threads = 0;
};

long long ParseNumber(const WCHAR* text)
{
    long long value = 0;
    for (; *text >= L'0' && *text <= L'9'; ++text)
        value = value * 10 + (*text - L'0');
    return value;
}

void Print(const CString& text) { printf("%s\n", text.ToUtf8().c_str()); }

// What became of one entry of a batch.
CString DescribeResult(const ZipEntryResult& result)
{
    CString text;
    if (result.m_iCause > 0)
        text.Format(L"zip error %d", result.m_iCause);
    else if (result.m_iCause < 0)
        text = L"file error";
    else
        text = L"refused";
    return text;
}

CString Describe(CException* e)
{
    CString text;
    if (CPkException* zip = dynamic_cast<CPkException*>(e)) {
        text.Format(L"zip error %d: %s", zip->m_iCause, (const WCHAR*)zip->DescribeCause());
        if (!zip->m_szFileName.IsEmpty())
            text += L" [" + zip->m_szFileName + L"]";
    } else {
        text = L"file error: " + e->GetErrorMessage();
    }
    return text;
}

bool ParseOptions(int argc, WCHAR** argv, Options& options)
{
    if (argc < 3)
        return false;
    options.command = argv[1];
    options.archive = argv[2];
    int i = 3;
    if (options.command == L"pack" || options.command == L"unpack" || options.command == L"replace") {
        if (argc < 4)
            return false;
        options.folder = argv[3];
        i = 4;
    }
    for (; i < argc; ++i) {
        CString name = argv[i];
        bool hasValue = i + 1 < argc;
        if (name == L"--password" && hasValue) {
            options.password = argv[++i];
            options.hasPassword = true;
        } else if (name == L"--split" && hasValue) {
            options.split = (uint64_t)ParseNumber(argv[++i]);
        } else if (name == L"--binsplit") {
            options.binarySplit = true;
            if (options.command == L"pack" && hasValue)
                options.split = (uint64_t)ParseNumber(argv[++i]);
        } else if (name == L"--level" && hasValue) {
            options.level = (int)ParseNumber(argv[++i]);
        } else if (name == L"--rules" && hasValue) {
            options.rules = (int)ParseNumber(argv[++i]);
        } else if (name == L"--flags" && hasValue) {
            options.flags = (int)ParseNumber(argv[++i]);
        } else if (name == L"--threads" && hasValue) {
            options.threads = (int)ParseNumber(argv[++i]);
        } else if (name == L"--index" && hasValue) {
            options.index = (int)ParseNumber(argv[++i]);
        } else if (name == L"--name" && hasValue) {
            options.name = argv[++i];
        } else if (name == L"--scratch" && hasValue) {
            options.scratch = argv[++i];
        } else {
            return false;
        }
    }
    return true;
}

// Files and folders below a folder, parents before children, names sorted.
void CollectItems(const CString& folder, std::vector<CString>& items)
{
    std::vector<CString> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(folder + L"\\*", &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        CString name = data.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    std::sort(names.begin(), names.end(), [](const CString& a, const CString& b) { return a.Compare(b) < 0; });
    for (const CString& name : names) {
        CString path = folder + L"\\" + name;
        items.push_back(path);
        if (GetFileAttributesW(path) & FILE_ATTRIBUTE_DIRECTORY)
            CollectItems(path, items);
    }
}

int OpenForReading(CPkArchive& archive, const Options& options)
{
    try {
        archive.OpenArchive(options.archive, options.binarySplit ? 0x201 : CPkStorage::omOpen, 0);
        if (options.hasPassword)
            archive.SetPassword(options.password);
        return 0;
    } catch (CException* e) {
        Print(L"open failed: " + Describe(e));
        e->Delete();
        archive.CloseArchive(CPkArchive::cmNormal);
        return 2;
    }
}

int Pack(const Options& options)
{
    CPkArchive archive;
    archive.SetIoBuffers(1500000, 65536, 32768);
    int mode = CPkStorage::omCreate;
    if (options.split)
        mode = options.binarySplit ? 0x204 : 0x104;
    try {
        archive.OpenArchive(options.archive, mode, options.split);
    } catch (CException* e) {
        Print(L"create failed: " + Describe(e));
        e->Delete();
        archive.CloseArchive(CPkArchive::cmAfterException);
        return 2;
    }
    archive.SetPassword(options.hasPassword ? (const WCHAR*)options.password : nullptr);
    archive.SetBaseFolder(options.folder);
    archive.SetWorkerThreads(options.threads);
    std::vector<CString> items;
    CollectItems(options.folder, items);
    std::vector<ZipAddRequest> requests;
    for (const CString& item : items) {
        requests.emplace_back(item, false);
        requests.back().m_iComprLevel = options.level;
        requests.back().m_iSmartLevel = (uint32_t)options.rules;
    }
    int result = 0;
    std::vector<ZipEntryResult> added;
    try {
        archive.AddFiles(requests, added);
    } catch (CException* e) {
        Print(L"add failed: " + Describe(e));
        e->Delete();
        result = 1;
    }
    for (size_t i = 0; i < added.size(); ++i) {
        if (!added[i].m_bDone) {
            Print(L"not added: " + items[i] + L" (" + DescribeResult(added[i]) + L")");
            result = 1;
        }
    }
    archive.SetBaseFolder(nullptr);
    archive.SetScratchFolder(nullptr, true);
    try {
        archive.CloseArchive(CPkArchive::cmNormal);
    } catch (CException* e) {
        Print(L"close failed: " + Describe(e));
        e->Delete();
        archive.CloseArchive(CPkArchive::cmAfterException);
        return 2;
    }
    return result;
}

// Replaces the entry at --index with the file, in place.
int Replace(const Options& options)
{
    if (options.index < 0)
        return 2;
    CPkArchive archive;
    archive.SetIoBuffers(1500000, 65536, 32768);
    try {
        archive.OpenArchive(options.archive, CPkStorage::omOpen, 0);
        archive.SetPassword(options.hasPassword ? (const WCHAR*)options.password : nullptr);
        if (!options.scratch.IsEmpty())
            archive.SetScratchFolder(options.scratch, false);
        ZipAddRequest request(options.folder, false);
        request.m_szFileNameInZip = options.name;
        request.m_iComprLevel = options.level;
        request.m_iSmartLevel = (uint32_t)options.rules;
        request.m_uReplaceIndex = (uint16_t)options.index;
        bool added = archive.AddFile(request);
        archive.CloseArchive(CPkArchive::cmNormal);
        if (!added)
            Print(L"not replaced: " + options.folder);
        return added ? 0 : 1;
    } catch (CException* e) {
        Print(L"replace failed: " + Describe(e));
        e->Delete();
        archive.CloseArchive(CPkArchive::cmAfterException);
        return 2;
    }
}

int Unpack(const Options& options)
{
    CPkArchive archive;
    if (int failed = OpenForReading(archive, options))
        return failed;
    archive.SetDirectoryOption(0);
    archive.SetWorkerThreads(options.threads);
    std::vector<ZipExtractRequest> requests(archive.GetEntryCount());
    for (uint16_t i = 0; i < archive.GetEntryCount(); ++i) {
        requests[i].m_uIndex = i;
        requests[i].m_szFolder = options.folder;
        requests[i].m_iFlags = options.flags;
    }
    int result = 0;
    bool batchFailed = false;
    std::vector<ZipEntryResult> extracted;
    try {
        archive.ExtractEntries(requests, extracted);
    } catch (CException* e) {
        Print(L"unpack failed: " + Describe(e));
        e->Delete();
        result = 1;
        batchFailed = true;
    }
    for (size_t i = 0; i < extracted.size(); ++i) {
        // After a failed batch the entries it never reached are not listed:
        // the one line above says why.
        if (!extracted[i].m_bDone && (!batchFailed || extracted[i].m_iCause != 0)) {
            CPkFileHeader header;
            archive.GetEntryInfo(header, (uint16_t)i);
            Print(L"entry failed: " + DescribeResult(extracted[i]) + L" [" + header.GetEntryName() + L"]");
            result = 1;
        }
    }
    archive.CloseArchive(CPkArchive::cmNormal);
    return result;
}

// Tests the entries together; past a failure, on one at a time to name every failing entry.
int Test(const Options& options)
{
    CPkArchive archive;
    if (int failed = OpenForReading(archive, options))
        return failed;
    archive.SetWorkerThreads(options.threads);
    int result = 0;
    uint16_t count = archive.GetEntryCount();
    for (uint16_t first = 0; first < count;) {
        try {
            if (archive.TestEntries(first, (uint16_t)(count - first), 65536))
                break;
            Print(L"entry failed");
        } catch (CException* e) {
            Print(L"entry failed: " + Describe(e));
            e->Delete();
            archive.EndEntryRead(nullptr, true);
        }
        result = 1;
        // Go on behind the entry that failed: find it one at a time.
        for (; first < count; ++first) {
            bool ok = false;
            try {
                ok = archive.TestEntry(first, 65536);
            } catch (CException* e) {
                e->Delete();
                archive.EndEntryRead(nullptr, true);
            }
            if (!ok) {
                ++first;
                break;
            }
        }
    }
    archive.CloseArchive(CPkArchive::cmNormal);
    return result;
}

int List(const Options& options)
{
    CPkArchive archive;
    if (int failed = OpenForReading(archive, options))
        return failed;
    CString comment = archive.GetArchiveComment();
    if (!comment.IsEmpty())
        Print(L"archive comment: " + comment);
    for (uint16_t i = 0; i < archive.GetEntryCount(); ++i) {
        CPkFileHeader header;
        archive.GetEntryInfo(header, i);
        CString line;
        line.Format(L"%u\t%u\t%u\t%u\t%08x\t%lld\t%s\t%s", (unsigned)header.m_uMethod, header.m_uUncomprSize,
                    header.m_uComprSize, (unsigned)header.GetSystemAttributes(), header.m_uCrc32,
                    (long long)header.GetModificationTime(), header.IsEncrypted() ? L"encrypted" : L"plain",
                    (const WCHAR*)header.GetEntryName());
        CString entryComment = header.GetComment();
        if (!entryComment.IsEmpty())
            line += L"\tcomment: " + entryComment;
        Print(line);
    }
    archive.CloseArchive(CPkArchive::cmNormal);
    return 0;
}

}  // namespace

int main()
{
    int argc = 0;
    WCHAR** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    Options options;
    if (!argv || !ParseOptions(argc, argv, options)) {
        fprintf(stderr, "usage: zipdriver pack|unpack|test|list|replace ARCHIVE [FOLDER] [options]\n");
        return 2;
    }
    int result = 2;
    if (options.command == L"pack")
        result = Pack(options);
    else if (options.command == L"unpack")
        result = Unpack(options);
    else if (options.command == L"test")
        result = Test(options);
    else if (options.command == L"list")
        result = List(options);
    else if (options.command == L"replace")
        result = Replace(options);
    LocalFree(argv);
    fflush(stdout);
    return result;
}
