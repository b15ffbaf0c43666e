// Links: where a link starts and ends in a run of text, finding the link at
// the mouse when the last paint did not cover it, following it, and the
// tooltip protocol with a recording tip window. Offsets counted by hand.
#include "tests/QvTest.h"

#include "tests/editctrl/EditTestSupport.h"

namespace {
struct LinkCase {
    const char* fault;
    const WCHAR* run;
    int offset;  // -1: no link
    const WCHAR* url;
};

const LinkCase LINK_CASES[] = {
    {"parentheses and a full stop stay in the link", L"(http://host/a/b).", 1, L"http://host/a/b"},
    {"a prefix after a letter counts as a link", L"xhttp://host", -1, L""},
    {"a prefix after an equals sign is missed", L"href=http://host", 5, L"http://host"},
    {"the later of two prefixes starts the link", L"(ftp://a,http://b)", 1, L"ftp://a,http://b"},
    {"inner delimiters cut the link", L"http://h/p?q=1.2", 0, L"http://h/p?q=1.2"},
    {"a bare prefix is no link", L"mailto:", 0, L"mailto:"},
    {"an unknown scheme is a link", L"gopher://x", -1, L""},
};

class RecordingTips : public CEditTipWindow {
public:
    void Activate(bool on) override { active = on; }
    void Pop() override { ++pops; }
    void SetMaxWidth(int width) override { maxWidth = width; }
    bool active = true;
    int pops = 0;
    int maxWidth = 0;
};
}  // namespace

TEST(CodeEditLinksTest, LinksInARunTable)
{
    for (const LinkCase& c : LINK_CASES) {
        TestEdit t(c.run);
        CString url;
        int offset = -1;
        BOOL found = t.edit.FindHyperlink(0, t.edit.GetLength(), url, offset);
        EXPECT_EQ(found ? offset : -1, c.offset) << c.fault;
        if (found) {
            EXPECT_EQ(url, CString(c.url)) << c.fault;
        }
    }
}

TEST(CodeEditLinksTest, TheLinkAtTheMouseIsFoundBelowAOneRowRepaint)
{
    // Rows are 17 pixels high, text starts at x 5: "http://x/y" is on row 4.
    TestEdit t(L"a\nb\nc\nd\nsee http://x/y now");
    RECT firstRow = {0, 0, 400, 17};
    CEditDisplayList list;
    t.edit.PaintControl(list, &firstRow);
    EXPECT_EQ(t.edit.HyperlinkAtOffset(12), -1);
    int index = t.edit.HotLinkAtPoint(POINT{5 + 8 * 6, 4 * 17 + 5});
    ASSERT_GE(index, 0);
    EXPECT_EQ(t.edit.hyperlinks[(size_t)index].offset, 12);
    CString tip;
    ASSERT_TRUE(t.edit.GetLinkTipText(tip));
    EXPECT_EQ(tip, CString(L"http://x/y\nCTRL + click to follow the link"));
    // Beside the link there is none.
    EXPECT_EQ(t.edit.HotLinkAtPoint(POINT{5 + 8 * 1, 4 * 17 + 5}), -1);
    EXPECT_FALSE(t.edit.GetLinkTipText(tip));
    EXPECT_TRUE(tip.IsEmpty());
}

TEST(CodeEditLinksTest, FollowingALinkOpensItAndLeavesTheCaret)
{
    TestEdit t(L"go http://x/y");
    t.edit.MoveCaretToOffset(1, FALSE, FALSE);
    t.edit.FollowHyperlink(3, L"http://x/y");
    ASSERT_EQ(t.host.opened.size(), 1u);
    EXPECT_EQ(t.host.opened[0], CString(L"http://x/y"));
    EXPECT_EQ(t.edit.GetCaretOffset(), 1);
    EXPECT_EQ(t.edit.hotLink, -1);
}

TEST(CodeEditLinksTest, LinkSettings)
{
    TestEdit t;
    EXPECT_TRUE(t.edit.ApplyLinkSettings(L"<HighlightWithColor>FALSE</HighlightWithColor>"));
    EXPECT_FALSE(t.edit.hyperlinksEnabled);
    EXPECT_TRUE(t.edit.ApplyLinkSettings(
        L"<EnableHyperlinkSupport>true</EnableHyperlinkSupport><URLPrefixes><URLPrefix>www.</URLPrefix></URLPrefixes>"));
    EXPECT_TRUE(t.edit.hyperlinksEnabled);
    ASSERT_EQ(t.edit.urlPrefixes.GetSize(), 1);
    EXPECT_EQ(t.edit.urlPrefixes[0], CString(L"www."));
}

TEST(CodeEditLinksTest, TipsFollowTheProtocol)
{
    TestEdit t(L"see http://x/y now");
    RecordingTips tips;
    t.edit.AttachTipWindow(&tips);
    const POINT onLink = {5 + 8 * 6, 5}, onWord = {5 + 8 * 1, 5};
    const WCHAR* shown = nullptr;
    // Off: no text is handed out.
    EXPECT_FALSE(t.edit.OnTipNeedText(onLink, &shown));
    t.edit.SetTipsEnabled(TRUE);
    EXPECT_TRUE(tips.active);
    ASSERT_TRUE(t.edit.OnTipNeedText(onLink, &shown));
    EXPECT_EQ(CString(shown), CString(L"http://x/y\nCTRL + click to follow the link"));
    EXPECT_EQ(tips.maxWidth, 32767);
    // A word under the mouse: the word itself.
    ASSERT_TRUE(t.edit.OnTipNeedText(onWord, &shown));
    EXPECT_EQ(CString(shown), CString(L"see"));
    // A popped tip is not shown again with the same text...
    t.edit.HideTip();
    EXPECT_FALSE(t.edit.OnTipNeedText(onWord, &shown));
    // ...until the mouse has left every candidate.
    t.edit.OnTipMouseMove(POINT{5 + 8 * 3, 5}, false);
    EXPECT_TRUE(t.edit.tipText.IsEmpty());
    EXPECT_TRUE(t.edit.OnTipNeedText(onWord, &shown));
    // Turning tips off hides the tip at once.
    const int popsBefore = tips.pops;
    t.edit.SetTipsEnabled(FALSE);
    EXPECT_EQ(tips.pops, popsBefore + 1);
    EXPECT_FALSE(tips.active);
    t.edit.AttachTipWindow(nullptr);
}

TEST(CodeEditLinksTest, TheTipOfACollapsedBlockIsItsHiddenText)
{
    TestEdit t(L"x {\n\n  b\n}\ny");
    t.edit.hyperlinksEnabled = 0;
    FoldWholeText(t.edit);
    ASSERT_EQ(t.edit.outlineRoot.children.size(), 1u);
    t.edit.ToggleOutlineNode(t.edit.outlineRoot.children[0]);
    CEditDisplayList list;
    t.edit.PaintControl(list, nullptr);
    t.edit.SetTipsEnabled(TRUE);
    RecordingTips tips;
    t.edit.AttachTipWindow(&tips);
    const WCHAR* shown = nullptr;
    ASSERT_TRUE(t.edit.OnTipNeedText(POINT{5 + 8 * 3, 5}, &shown));
    EXPECT_EQ(CString(shown), CString(L"{\n\n  b\n}"));
    EXPECT_EQ(tips.maxWidth, 32767);
    t.edit.AttachTipWindow(nullptr);
}
