#include "tests/QvTest.h"

#include "crypt/AddInfo.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Paths(CAddInfoList& list)
{
    std::vector<std::string> out;
    for (int i = 0; i < list.GetSize(); ++i)
        out.push_back(list.GetAt(i)->m_strPath.ToUtf8());
    return out;
}

// Counts its live instances, to see who deletes the elements.
class Counted : public CObject {
public:
    explicit Counted(int key) : key(key) { ++s_live; }
    ~Counted() override { --s_live; }
    int key;
    static int s_live;
};
int Counted::s_live = 0;

int CompareKeys(CObject* a, CObject* b, LPARAM direction)
{
    return (static_cast<Counted*>(a)->key - static_cast<Counted*>(b)->key) * (int)direction;
}

std::vector<int> Keys(const CSortableObArray& array)
{
    std::vector<int> out;
    for (int i = 0; i < array.GetSize(); ++i)
        out.push_back(static_cast<Counted*>(array.GetAt(i))->key);
    return out;
}

}  // namespace

TEST(AddInfo, JobOrderPutsFoldersFirstAndFoldsOnlyAsciiLetters)
{
    struct Case {
        const char* name;
        const WCHAR* a;
        BYTE aFolder;
        const WCHAR* b;
        BYTE bFolder;
        int sign;
    } cases[] = {
        {"folder before file", L"c:\\z", 1, L"c:\\a", 0, -1},
        {"file after folder", L"c:\\a", 0, L"c:\\z", 1, 1},
        {"case is ignored", L"C:\\ABC", 0, L"c:\\abc", 0, 0},
        {"letters compare as lower case", L"c:\\_x", 0, L"c:\\Zy", 0, -1},
        {"shorter prefix first", L"c:\\ab", 0, L"c:\\abc", 0, -1},
        {"non-ASCII letters are not folded", L"c:\\\x00C4", 0, L"c:\\\x00E4", 0, -1},
    };
    for (const Case& c : cases) {
        CAddInfo a(c.a, 0, c.aFolder), b(c.b, 0, c.bFolder);
        int result = CompareAddInfo(&a, &b);
        EXPECT_EQ((result > 0) - (result < 0), c.sign) << c.name;
    }
}

TEST(AddInfo, ShellSortOrdersAnyLengthAndDoesNothingWithoutCompare)
{
    for (int n : {0, 1, 2, 3, 4, 13, 14, 40, 41, 200}) {
        CSortableObArray array;
        for (int i = 0; i < n; ++i)
            array.Add(new Counted(n - i));  // reverse order
        array.Sort();
        std::vector<int> unsorted = Keys(array);
        array.SetCompare(CompareKeys, 1);
        array.Sort();
        std::vector<int> expected;
        for (int i = 1; i <= n; ++i)
            expected.push_back(i);
        EXPECT_EQ(Keys(array), expected) << n;
        if (n > 1) {
            EXPECT_NE(unsorted, expected) << "sorted without a compare function";
        }
        // The user word reaches the compare function.
        array.SetCompare(CompareKeys, -1);
        array.Sort();
        std::reverse(expected.begin(), expected.end());
        EXPECT_EQ(Keys(array), expected) << n;
    }
    EXPECT_EQ(Counted::s_live, 0);
}

TEST(AddInfo, OwnershipMovesWithTheElements)
{
    {
        CSortableObArray owner, local;
        local.Add(new Counted(1));
        local.Add(new Counted(2));
        owner.TakeAllFrom(local);
        EXPECT_EQ(local.GetSize(), 0);
        EXPECT_EQ(owner.GetSize(), 2);
        EXPECT_EQ(Counted::s_live, 2);
        CSortableObArray borrowed;
        borrowed.m_bOwnsElements = 0;
        borrowed.Add(owner.GetAt(0));
    }
    EXPECT_EQ(Counted::s_live, 0) << "deleted once, by the owner";
}

TEST(AddInfo, TypedListSortsJobItems)
{
    CAddInfoList list;
    for (const WCHAR* path : {L"c:\\b.txt", L"c:\\Z", L"c:\\A.txt", L"c:\\y"})
        list.Add(new CAddInfo(path, 7, path[3] == 'Z' || path[3] == 'y'));
    list.SetCompare(CompareAddInfo);
    list.Sort();
    EXPECT_EQ(Paths(list), (std::vector<std::string>{"c:\\y", "c:\\Z", "c:\\A.txt", "c:\\b.txt"}));
    list.InsertAt(1, new CAddInfo(L"c:\\new", 0, 0));
    EXPECT_EQ(list.GetAt(1)->m_strPath, CString(L"c:\\new"));
    EXPECT_EQ(list.GetAt(0)->m_nSize, 7u);
}
