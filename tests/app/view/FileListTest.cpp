#include "tests/app/view/ViewTestSupport.h"

#include "crypt/EncryptedFileName.h"
#include "crypt/KeyState.h"
#include "crypt/NameCrypt.h"
#include "crypt/PathParts.h"
#include "res/resource.h"

#include <algorithm>
#include <map>

using viewtest::EncryptInto;
using viewtest::ListParent;

namespace {

const WCHAR kPassword[] = L"list password";

// The type the system gives a file of this name.
CString ShellTypeName(const CString& fileName)
{
    SHFILEINFOW file = {};
    ::SHGetFileInfoW(fileName, FILE_ATTRIBUTE_NORMAL, &file, sizeof file, SHGFI_USEFILEATTRIBUTES | SHGFI_TYPENAME);
    return file.szTypeName;
}

// The file list in a window of its own over a folder of plain and
// encrypted items.
class FileListTest : public testing::Test {
protected:
    void SetUp() override
    {
        ::OleInitialize(nullptr);
        COrvantisDoc::SetPasswordKey(kPassword);
        for (const WCHAR* name : {L"photo.jpeg", L"clip.gif", L"report.pdf", L"README", L"a.txt", L"page.pcx"})
            encrypted[name] = EncryptInto(folder, name, "content of " + CString(name).ToUtf8());
        folder.WriteFile(L"plain.txt", std::string(2500, 'p'));
        folder.WriteFile(L"x.tiff", "tiff");
        folder.WriteFile(L"x.pcx", "pcx");
        ASSERT_TRUE(::CreateDirectoryW(folder / L"Alpha", nullptr));
        encryptedFolder = CNameCrypt().EncryptName(L"Secret");
        ASSERT_TRUE(::CreateDirectoryW(folder / encryptedFolder, nullptr));
        ASSERT_TRUE(parent.CreateEx(0, CWnd::RegisterWndClass(CS_DBLCLKS), L"List parent", WS_POPUP, 0, 0, 700, 500,
                                    nullptr, nullptr));
        parent.list = &list;
        ASSERT_TRUE(list.Create(WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS, CRect(0, 0, 700, 500), &parent, 1));
        list.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
        parent.ShowWindow(SW_SHOWNORMAL);
    }
    void TearDown() override
    {
        parent.DestroyWindow();
        COrvantisDoc::SetPasswordKey(CString());
        ::OleUninitialize();
    }
    void Show() { ASSERT_EQ(S_OK, list.DisplayFolder(folder.Path().GetString())); }
    int Find(const CString& name) { return qvtest::FindListItem(list, name); }
    CString Type(const CString& name) { return list.GetItemText(Find(name), CShellListCtrl::COLUMN_TYPE); }
    std::vector<CString> Names() { return qvtest::ListItemTexts(list); }
    // Focuses and selects one item, as a click does.
    void Select(int item) { qvtest::SelectOnly(list, {item}); }
    CPoint CentreOf(int item)
    {
        CRect bounds;
        list.GetItemRect(item, &bounds, LVIR_LABEL);
        return bounds.CenterPoint();
    }
    void DoubleClick(CPoint point) { list.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(point.x, point.y)); }
    // A right click at a point of the list's client area.
    void ContextMenuAt(CPoint point)
    {
        ::ClientToScreen(list.m_hWnd, &point);
        list.SendMessage(WM_CONTEXTMENU, (WPARAM)list.m_hWnd, MAKELPARAM(point.x, point.y));
    }

    qvtest::TempFolder folder;
    std::map<CString, CString> encrypted;
    CString encryptedFolder;
    ListParent parent;
    CMyMFCShellListCtrl list;
};

}  // namespace

TEST_F(FileListTest, EncryptedItemsShowTheirPlainNamesAndStoredTypes)
{
    Show();
    EXPECT_EQ(4, list.GetColumnCount());
    const WCHAR* titles[] = {L"Name", L"Size", L"Type", L"Modified"};
    HWND header = list.GetHeaderCtrl();
    for (int i = 0; i < 4; ++i) {
        WCHAR text[40] = {};
        HDITEMW item = {};
        item.mask = HDI_TEXT | HDI_WIDTH;
        item.pszText = text;
        item.cchTextMax = 40;
        ::SendMessageW(header, HDM_GETITEMW, (WPARAM)i, (LPARAM)&item);
        EXPECT_EQ(CString(titles[i]), CString(text));
        const int widths[] = {250, 75, 140, 140};
        EXPECT_EQ(widths[i], item.cxy);
    }

    struct Row {
        const WCHAR* shown;
        const WCHAR* type;
    };
    const Row rows[] = {
        {L"photo.jpeg*", L"Image File"},  // an image by the tail of its stored name
        {L"clip.gif*", L"Image File"},
        {L"page.pcx*", L"Image File"},
        {L"report.pdf*", L"PDF File"},    // the stored extension
        {L"README*", L"README File"},     // no extension: the whole name
        {L"a.txt*", L"A.TXT File"},       // its "." stands at index 1
        {L"Secret*", nullptr},            // a folder name decrypted
    };
    for (const Row& row : rows) {
        ASSERT_GE(Find(row.shown), 0) << CString(row.shown).ToUtf8();
        if (row.type) {
            EXPECT_EQ(CString(row.type), Type(row.shown)) << CString(row.shown).ToUtf8();
        }
    }
    EXPECT_GE(Find(L"plain.txt"), 0);
    EXPECT_EQ(CString(L"3 KB"), list.GetItemText(Find(L"plain.txt"), CShellListCtrl::COLUMN_SIZE));
    EXPECT_GE(Find(L"Alpha"), 0);
    EXPECT_EQ(-1, Find(encryptedFolder));
    EXPECT_EQ(11u, Names().size());
}

TEST_F(FileListTest, WithoutAKeyOrWithAnotherKeyTheStoredNamesStay)
{
    for (const WCHAR* password : {L"", L"another password"}) {
        COrvantisDoc::SetPasswordKey(password);
        Show();
        for (const auto& file : encrypted) {
            CString stored = PathFilePart(file.second);
            int item = Find(stored);
            ASSERT_GE(item, 0) << stored.ToUtf8();
            EXPECT_NE(CString(L"Image File"), Type(stored));
        }
        EXPECT_GE(Find(encryptedFolder), 0) << "a folder name that does not decrypt stays";
        for (const CString& name : Names())
            EXPECT_NE(L'*', name[name.GetLength() - 1]) << name.ToUtf8();
        // Sorted by Type, an encrypted file whose name cannot be read counts
        // as " File", before every other type.
        list.Sort(CShellListCtrl::COLUMN_TYPE, TRUE);
        std::vector<CString> names = Names();
        for (size_t i = 0; i < encrypted.size(); ++i)
            EXPECT_TRUE(IsEncryptedFileName(names[i])) << i << " " << names[i].ToUtf8();
    }
}

TEST_F(FileListTest, SortingBySizeTypeAndName)
{
    Show();
    list.Sort(CShellListCtrl::COLUMN_SIZE, TRUE);
    std::vector<CString> names = Names();
    EXPECT_TRUE(names[0] == L"Alpha" || names[0] == L"Secret*");
    EXPECT_TRUE(names[1] == L"Alpha" || names[1] == L"Secret*") << "folders before files";
    EXPECT_EQ(CString(L"plain.txt"), names.back()) << "the largest file last";
    list.Sort(CShellListCtrl::COLUMN_SIZE, FALSE);
    EXPECT_EQ(CString(L"plain.txt"), Names().front());

    // By Type the stored names' types take part: "A.TXT File" < "Image File" < "PDF File" < "README File".
    list.Sort(CShellListCtrl::COLUMN_TYPE, TRUE);
    names = Names();
    auto position = [&](const WCHAR* name) { return std::find(names.begin(), names.end(), CString(name)) - names.begin(); };
    EXPECT_LT(position(L"a.txt*"), position(L"photo.jpeg*"));
    EXPECT_LT(position(L"photo.jpeg*"), position(L"report.pdf*"));
    EXPECT_LT(position(L"report.pdf*"), position(L"README*"));

    // By Name the names shown, plain names of encrypted items included
    // (their stored names are random), folders first, case ignored.
    list.Sort(CShellListCtrl::COLUMN_NAME, TRUE);
    const std::vector<CString> byName = {L"Alpha",       L"Secret*",   L"a.txt*",  L"clip.gif*",
                                         L"page.pcx*",   L"photo.jpeg*", L"plain.txt", L"README*",
                                         L"report.pdf*", L"x.pcx",     L"x.tiff"};
    EXPECT_EQ(byName, Names());
    list.Sort(CShellListCtrl::COLUMN_NAME, FALSE);
    EXPECT_EQ(std::vector<CString>(byName.rbegin(), byName.rend()), Names());
}

TEST_F(FileListTest, TheDesktopsOwnItemsShowNoMadeUpFileData)
{
    // The Desktop holds folders of its own (My Computer, Trash, the Unix
    // root, Documents) and none of the test's files.
    ITEMIDLIST desktop = {};
    ASSERT_EQ(S_OK, list.DisplayFolderPidl(&desktop));
    int virtualItems = 0;
    for (int i = 0; i < list.GetItemCount(); ++i) {
        const ShellItemInfo* info = list.GetItemInfo(i);
        ASSERT_NE(nullptr, info);
        ULONG attributes = SFGAO_FILESYSTEM | SFGAO_FOLDER;
        LPCITEMIDLIST relative = info->pidlRel;
        ASSERT_EQ(S_OK, info->pParentFolder->GetAttributesOf(1, &relative, &attributes));
        virtualItems += (attributes & SFGAO_FILESYSTEM) ? 0 : 1;
        CString name = list.GetItemText(i, CShellListCtrl::COLUMN_NAME);
        SCOPED_TRACE(name.ToUtf8());
        EXPECT_FALSE(name.IsEmpty());
        EXPECT_NE(CString(L"1/1/1601 12:00 AM"), list.GetItemText(i, CShellListCtrl::COLUMN_MODIFIED))
            << "a date made up from nothing";
        if ((attributes & SFGAO_FOLDER) || !(attributes & SFGAO_FILESYSTEM)) {
            EXPECT_EQ(CString(), list.GetItemText(i, CShellListCtrl::COLUMN_SIZE)) << "no size of a file";
            EXPECT_NE(CString(L"File"), list.GetItemText(i, CShellListCtrl::COLUMN_TYPE)) << "not a file";
        }
    }
    EXPECT_GT(virtualItems, 0) << "My Computer at least";
}

TEST_F(FileListTest, DecryptedNamesAreDrawnInTheirColours)
{
    Show();
    list.SetFocus();
    qvtest::ColourCounts colours = qvtest::CountClientColours(list.m_hWnd);
    EXPECT_GT(qvtest::CountOf(colours, CMyMFCShellListCtrl::ENCRYPTED_IMAGE_BACK), 100) << "photo.jpeg, page.pcx";
    EXPECT_GT(qvtest::CountOf(colours, CMyMFCShellListCtrl::ENCRYPTED_GIF_BACK), 100) << "clip.gif";
    EXPECT_GT(qvtest::CountOf(colours, CMyMFCShellListCtrl::ENCRYPTED_IMAGE_TEXT), 20);
    EXPECT_GT(qvtest::CountOf(colours, CMyMFCShellListCtrl::ENCRYPTED_TEXT), 20) << "report.pdf*, README*, Secret*";

    // A selection the list cannot highlight is framed: red dots around a
    // row without the focus state.
    list.SetItemState(Find(L"plain.txt"), LVIS_SELECTED, LVIS_SELECTED | LVIS_FOCUSED);
    parent.SetFocus();
    colours = qvtest::CountClientColours(list.m_hWnd);
    EXPECT_GT(qvtest::CountOf(colours, RGB(255, 0, 0)), 50);

    COrvantisDoc::SetPasswordKey(CString());
    Show();
    colours = qvtest::CountClientColours(list.m_hWnd);
    for (COLORREF colour : {CMyMFCShellListCtrl::ENCRYPTED_IMAGE_BACK, CMyMFCShellListCtrl::ENCRYPTED_GIF_BACK,
                            CMyMFCShellListCtrl::ENCRYPTED_IMAGE_TEXT, CMyMFCShellListCtrl::ENCRYPTED_TEXT})
        EXPECT_EQ(0, qvtest::CountOf(colours, colour)) << "no key: default colours";
}

TEST_F(FileListTest, ASelectionChangeTellsTheParentThePathAndShownName)
{
    Show();
    Select(Find(L"photo.jpeg*"));
    ASSERT_GE(parent.Count(UWM_LIST_SELCHANGED), 1);
    EXPECT_EQ(encrypted[L"photo.jpeg"], parent.selPath);
    EXPECT_EQ(CString(L"photo.jpeg*"), parent.selName);
    EXPECT_EQ(encrypted[L"photo.jpeg"], list.GetFocusedItemPath());

    list.SetItemState(Find(L"plain.txt"), LVIS_SELECTED, LVIS_SELECTED);
    CStringArray paths;
    paths.Add(L"kept");
    list.GetSelectedPaths(paths);
    ASSERT_EQ(3, paths.GetSize()) << "appended to what the array holds";
    EXPECT_EQ(CString(L"kept"), paths[0]);
}

TEST_F(FileListTest, DoubleClicksGoWhereTheSettingsSay)
{
    // A file type of the test's own, whose "open" leaves a mark.
    CString mark = folder / L"opened.mark";
    viewtest::TestFileType type(L".qvtestopen", L"cmd /c echo x > \"" + mark + L"\"");
    folder.WriteFile(L"doc.qvtestopen", "doc");

    Show();
    struct Case {
        const WCHAR* item;
        int imageView, textView;
        UINT message;  // 0: no message (the shell's command runs, when the type has one)
        WPARAM wParam;
    };
    const Case cases[] = {
        {L"x.tiff", 1, 1, UWM_OPEN_SECURE_VIEWER, VIEWER_IMAGE},
        {L"photo.jpeg*", 1, 1, UWM_OPEN_SECURE_VIEWER, VIEWER_IMAGE},  // by its plain name
        {L"photo.jpeg*", 0, 1, UWM_LIST_COMMAND, ID_OPEN_TEMP_DECRYPTED},
        {L"page.pcx*", 1, 1, UWM_LIST_COMMAND, ID_OPEN_TEMP_DECRYPTED},  // no secure viewer for .pcx
        {L"a.txt*", 1, 1, UWM_LIST_COMMAND, ID_OPEN_TEMP_DECRYPTED},      // "." at index 1: the stored .dat counts
        {L"plain.txt", 1, 1, UWM_OPEN_SECURE_VIEWER, VIEWER_TEXT},
        {L"x.pcx", 1, 1, 0, 0},  // no program of ours for it, nor a registered one here
        {L"doc.qvtestopen", 1, 1, AfterShellCommandMessage(), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(CString(c.item).ToUtf8());
        list.m_bImageView = c.imageView;
        list.m_bTextView = c.textView;
        int item = Find(c.item);
        ASSERT_GE(item, 0);
        Select(item);
        parent.messages.clear();
        DoubleClick(CentreOf(item));
        if (!c.message) {
            EXPECT_TRUE(parent.messages.empty());
            continue;
        }
        ASSERT_EQ(1u, parent.messages.size());
        EXPECT_EQ(c.message, parent.messages[0].message);
        CString path;
        list.GetItemPath(path, item);
        if (c.message == UWM_OPEN_SECURE_VIEWER) {
            EXPECT_EQ(c.wParam, parent.messages[0].wParam);
            EXPECT_EQ(path, parent.selPath);
        } else if (c.message == UWM_LIST_COMMAND) {
            EXPECT_EQ(c.wParam, parent.messages[0].wParam);
            EXPECT_EQ(path, parent.commandPath);
            EXPECT_EQ((int)ID_OPEN_TEMP_DECRYPTED, list.m_nCommand);
        }
    }
    // The shell's command ran the registered program on the file.
    EXPECT_TRUE(qvtest::PumpUntil([&] { return qvtest::FileExists(mark); }, 5000));
}

TEST_F(FileListTest, WithoutDoubleClicksFilesStayClosedButFoldersOpen)
{
    Show();
    list.m_bAllowDoubleClick = 0;
    list.m_bImageView = 1;
    int photo = Find(L"photo.jpeg*");
    Select(photo);
    DoubleClick(CentreOf(photo));
    EXPECT_TRUE(parent.messages.empty() || parent.messages.back().message == UWM_LIST_SELCHANGED);

    parent.messages.clear();
    int alpha = Find(L"Alpha");
    Select(alpha);
    DoubleClick(CentreOf(alpha));
    CString current;
    ASSERT_TRUE(list.GetCurrentFolder(current));
    EXPECT_EQ(folder / L"Alpha", current);
    EXPECT_EQ(1, parent.Count(ChangeCurrentFolderMessage()));

    // Empty space: the parent folder.
    DoubleClick(CPoint(400, 450));
    ASSERT_TRUE(list.GetCurrentFolder(current));
    EXPECT_EQ(folder.Path(), current);
}

TEST_F(FileListTest, SelectingOneFileByPathShowsItsFolder)
{
    ASSERT_EQ(S_OK, list.DisplayFolder((folder / L"Alpha").GetString()));
    list.SelectItemByPath(CString());
    CString current;
    list.GetCurrentFolder(current);
    EXPECT_EQ(folder / L"Alpha", current) << "an empty path does nothing";

    list.SelectItemByPath(encrypted[L"report.pdf"]);
    list.GetCurrentFolder(current);
    EXPECT_EQ(folder.Path(), current);
    EXPECT_EQ(1, list.GetSelectedCount());
    EXPECT_EQ(encrypted[L"report.pdf"], list.GetFocusedItemPath());

    // In the folder shown already nothing is listed again.
    int changes = parent.Count(ChangeCurrentFolderMessage());
    list.SelectItemByPath(folder / L"plain.txt");
    EXPECT_EQ(changes, parent.Count(ChangeCurrentFolderMessage()));
    EXPECT_EQ(1, list.GetSelectedCount());
    EXPECT_EQ(folder / L"plain.txt", list.GetFocusedItemPath());
}

TEST_F(FileListTest, ContextMenusPutTheProgramsCommandsAboveTheShells)
{
    Show();
    auto open = [&](int item) { return [this, item] { ContextMenuAt(CentreOf(item)); }; };
    struct Case {
        const WCHAR* item;
        const WCHAR* password;
        std::vector<CString> first;
        UINT firstCommand;
    };
    const Case cases[] = {
        {L"plain.txt", kPassword, {L"Encrypt Selected In-Place", L"Encrypt Selected To...", L""}, ID_ENCRYPT_SELECTED},
        {L"report.pdf*", kPassword, {L"Decrypt Selected In-Place", L"DeCrypt Selected To...", L""}, ID_DECRYPT_SELECTED},
        {L"Secret*", kPassword, {L"Decrypt Selected In-Place", L"DeCrypt Selected To...", L""}, ID_DECRYPT_SELECTED},
        {nullptr, L"", {L"Enter Password...", L""}, ID_ENTER_PASSWORD},  // an encrypted file without a key
    };
    for (const Case& c : cases) {
        COrvantisDoc::SetPasswordKey(c.password);
        Show();
        CString name = c.item ? CString(c.item) : PathFilePart(encrypted[L"report.pdf"]);
        SCOPED_TRACE(name.ToUtf8());
        int item = Find(name);
        ASSERT_GE(item, 0);
        Select(item);
        parent.messages.clear();
        std::vector<CString> texts;
        ASSERT_TRUE(viewtest::WithPopupMenu(open(item), 0, &texts));
        ASSERT_GT(texts.size(), c.first.size() + 1) << "the shell's items follow";
        EXPECT_EQ(c.first, std::vector<CString>(texts.begin(), texts.begin() + (long)c.first.size()));
        ASSERT_EQ(1u, parent.messages.size());
        EXPECT_EQ((UINT)WM_COMMAND, parent.messages[0].message);
        EXPECT_EQ((WPARAM)c.firstCommand, parent.messages[0].wParam);
    }

    // Off the items there is no menu.
    COrvantisDoc::SetPasswordKey(kPassword);
    Show();
    EXPECT_FALSE(viewtest::WithPopupMenu([&] { ContextMenuAt(CPoint(400, 450)); }, -1));

    // From the keyboard the first selected item decides: an encrypted one
    // gives the decrypting menu (x.tiff is listed after it).
    int report = Find(L"report.pdf*");
    Select(report);
    ASSERT_LT(report, Find(L"x.tiff"));
    list.SetItemState(Find(L"x.tiff"), LVIS_SELECTED, LVIS_SELECTED);
    std::vector<CString> texts;
    ASSERT_TRUE(viewtest::WithPopupMenu(
        [&] { list.SendMessage(WM_CONTEXTMENU, (WPARAM)list.m_hWnd, MAKELPARAM(-1, -1)); }, -1, &texts));
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(CString(L"Decrypt Selected In-Place"), texts[0]);
}

TEST_F(FileListTest, TheShellsDefaultCommandOpensThroughTheProgramWhileAKeyIsSet)
{
    Show();
    int report = Find(L"report.pdf*");
    Select(report);
    std::vector<CString> texts;
    parent.messages.clear();
    // The program's three items, then the shell's default (its first item).
    ASSERT_TRUE(viewtest::WithPopupMenu([&] { ContextMenuAt(CentreOf(report)); }, 3, &texts));
    ASSERT_EQ(1u, parent.messages.size());
    EXPECT_EQ(UWM_LIST_COMMAND, parent.messages[0].message);
    EXPECT_EQ((WPARAM)ID_OPEN_TEMP_DECRYPTED, parent.messages[0].wParam);
    EXPECT_EQ(encrypted[L"report.pdf"], parent.commandPath);
}

TEST_F(FileListTest, OnADriveRootTheFolderIsNotListedAgainAndItemsWithoutAPathAreLeftOut)
{
    CString rootFile;
    rootFile.Format(L"C:\\qvtest-root-%lu.txt", ::GetCurrentProcessId());
    ASSERT_TRUE(qvtest::WriteFileBytes(rootFile, "root"));
    ASSERT_EQ(S_OK, list.DisplayFolder(L"C:\\"));
    int changes = parent.Count(ChangeCurrentFolderMessage());
    list.SelectItemByPath(rootFile);
    EXPECT_EQ(changes, parent.Count(ChangeCurrentFolderMessage())) << "C:\\ is the folder shown";
    EXPECT_EQ(rootFile, list.GetFocusedItemPath());
    ::DeleteFileW(rootFile);

    // The Desktop's "My Computer" has no path: it is no file to hand on.
    ITEMIDLIST desktop = {};
    ASSERT_EQ(S_OK, list.DisplayFolderPidl(&desktop));
    LPITEMIDLIST computer = nullptr;
    ASSERT_EQ(S_OK, ::SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer));
    int item = -1;
    for (int i = 0; i < list.GetItemCount() && item < 0; ++i) {
        if (::ILIsEqual(list.GetItemInfo(i)->pidlFQ, computer))
            item = i;
    }
    ::ILFree(computer);
    ASSERT_GE(item, 0);
    list.SetItemState(-1, 0, LVIS_SELECTED);
    list.SetItemState(item, LVIS_SELECTED, LVIS_SELECTED);
    CStringArray paths;
    list.GetSelectedPaths(paths);
    EXPECT_EQ(0, paths.GetSize());
}

TEST_F(FileListTest, ALongFolderShowsEveryStoredNameAndAFreshListingReadsThemAgain)
{
    // Enough files for the stored names to be read by several threads.
    std::map<CString, CString> stored;
    for (int i = 0; i < 300; ++i) {
        CString name;
        name.Format(L"note %03d.txt", i);
        stored[name] = EncryptInto(folder, name, "note");
    }
    Show();
    for (const auto& file : stored)
        EXPECT_GE(Find(file.first + L"*"), 0) << file.first.ToUtf8();
    EXPECT_EQ(11u + stored.size(), Names().size());

    // The same encrypted file name with another stored name: a new listing shows the new one.
    CString path = stored.begin()->second;
    ASSERT_TRUE(::DeleteFileW(path));
    CString renamed = EncryptInto(folder, L"changed.txt", "changed");
    ASSERT_TRUE(::MoveFileW(renamed, path));
    Show();
    EXPECT_GE(Find(L"changed.txt*"), 0);
    EXPECT_EQ(-1, Find(stored.begin()->first + L"*"));
}

TEST_F(FileListTest, DamagedOrShortEncryptedFilesKeepTheirStoredNameAndTheShellsType)
{
    struct Case {
        const char* what;
        std::string bytes;
        const WCHAR* shown;  // null: the stored name, with the shell's type
        const WCHAR* type;
    };
    const Case cases[] = {
        {"only the header, its data cut off", viewtest::HandMadeFile(5000, 9, std::string("hand.png", 9)),
         L"hand.png*", L"Image File"},
        {"an empty file", "", nullptr, nullptr},
        {"the IV alone", viewtest::HandMadeFile(3, 9, "hand.txt", 128), nullptr, nullptr},
        {"block 1 cut short", viewtest::HandMadeFile(3, 9, "hand.txt", 255), nullptr, nullptr},
        {"a name length above 117", viewtest::HandMadeFile(3, 118, "hand.txt"), nullptr, nullptr},
        {"a plain size above the limit", viewtest::HandMadeFile(0x10000000Bull, 9, "hand.txt"), nullptr, nullptr},
        {"a name cut inside a character", viewtest::HandMadeFile(3, 2, "a\xe2"), nullptr, nullptr},
    };
    CFileCipher namer;
    std::vector<CString> storedNames;
    for (const Case& c : cases)
        storedNames.push_back(PathFilePart(folder.WriteFile(namer.MakeRandomEncryptedName(), c.bytes)));
    Show();
    for (size_t i = 0; i < storedNames.size(); ++i) {
        const Case& c = cases[i];
        CString shown = c.shown ? CString(c.shown) : storedNames[i];
        int item = Find(shown);
        ASSERT_GE(item, 0) << c.what;
        CString type = c.type ? CString(c.type) : ShellTypeName(storedNames[i]);
        EXPECT_EQ(type, list.GetItemText(item, CShellListCtrl::COLUMN_TYPE)) << c.what;
    }
    EXPECT_GE(Find(L"photo.jpeg*"), 0) << "the whole files beside them";
    EXPECT_EQ(11u + storedNames.size(), Names().size());
}
