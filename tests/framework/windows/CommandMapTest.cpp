#include "tests/QvTest.h"

#include "framework/windows/CommandMap.h"
#include "framework/windows/IntList.h"

#include <vector>

namespace {

// A target with one of each kind of table entry.
class Target : public CCmdTarget {
public:
    BOOL OnCmdMsg(UINT id, int code, CCmdUI* ui) override
    {
        static const CommandEntry<Target> commands[] = {
            Cmd(10, &Target::OnTen),
            CmdUpdate(10, &Target::OnUpdateTen),
            CmdRange(20, 29, &Target::OnRange),
            CmdUpdateRange(30, 39, &Target::OnUpdateOnly),
            CmdNotify(40, 5, &Target::OnNotifyFive),
        };
        return DispatchCommand(this, commands, id, code, ui);
    }
    void OnTen() { ran.push_back(10); }
    void OnRange(UINT id) { ran.push_back((int)id); }
    void OnNotifyFive() { ran.push_back(40); }
    void OnUpdateTen(CCmdUI* ui) { ui->SetCheck(1); }
    void OnUpdateOnly(CCmdUI* ui) { ui->Enable(updateEnables); }

    std::vector<int> ran;
    BOOL updateEnables = FALSE;
};

// Records what an update did.
class RecordingCmdUI : public CCmdUI {
public:
    void Enable(BOOL on) override
    {
        m_bEnableChanged = TRUE;
        enabled = on;
    }
    void SetCheck(int check) override { checked = check; }
    int enabled = -1;
    int checked = -1;
};

}  // namespace

TEST(CommandMap, RunsTheHandlerOfTheCommandAndCode)
{
    struct Case {
        const char* name;
        UINT id;
        int code;
        BOOL handled;
        std::vector<int> ran;
    };
    const Case cases[] = {
        {"single command", 10, 0, TRUE, {10}},
        {"first of a range gets its id", 20, 0, TRUE, {20}},
        {"last of a range", 29, 0, TRUE, {29}},
        {"past the range", 30, 0, FALSE, {}},
        {"update-only entry runs nothing", 35, 0, FALSE, {}},
        {"notification with its code", 40, 5, TRUE, {40}},
        {"notification with another code", 40, 6, FALSE, {}},
        {"plain command of a notification entry", 40, 0, FALSE, {}},
        {"a control's code on a plain command", 10, 7, FALSE, {}},
    };
    for (const Case& c : cases) {
        Target target;
        EXPECT_EQ(c.handled, target.OnCmdMsg(c.id, c.code, nullptr)) << c.name;
        EXPECT_EQ(c.ran, target.ran) << c.name;
    }
}

TEST(CommandMap, QueryAsksForACommandHandlerWithoutRunningIt)
{
    Target target;
    CCmdUI ui;
    EXPECT_TRUE(target.OnCmdMsg(10, CN_COMMAND_QUERY, &ui));
    EXPECT_TRUE(target.OnCmdMsg(25, CN_COMMAND_QUERY, &ui));
    EXPECT_FALSE(target.OnCmdMsg(35, CN_COMMAND_QUERY, &ui)) << "an update handler is not a command handler";
    EXPECT_FALSE(target.OnCmdMsg(40, CN_COMMAND_QUERY, &ui)) << "a control notification is not a command";
    EXPECT_TRUE(target.ran.empty());
}

TEST(CmdUI, ItemsWithoutAnUpdateHandlerAreEnabledExactlyWhenACommandHandlerExists)
{
    struct Case {
        const char* name;
        UINT id;
        BOOL updateEnables;
        int enabled;
        int checked;
    };
    const Case cases[] = {
        {"handler and update handler that only checks", 10, FALSE, 1, 1},
        {"range handler, no update handler", 22, FALSE, 1, -1},
        {"update handler disables", 31, FALSE, 0, -1},
        {"update handler enables without a command", 31, TRUE, 1, -1},
        {"nobody knows the command", 99, FALSE, 0, -1},
    };
    for (const Case& c : cases) {
        Target target;
        target.updateEnables = c.updateEnables;
        RecordingCmdUI ui;
        ui.m_nID = c.id;
        ui.DoUpdate(&target, TRUE);
        EXPECT_EQ(c.enabled, ui.enabled) << c.name;
        EXPECT_EQ(c.checked, ui.checked) << c.name;
    }
    // Without disableIfNoHandler an unknown command keeps its state.
    Target target;
    RecordingCmdUI ui;
    ui.m_nID = 99;
    ui.DoUpdate(&target, FALSE);
    EXPECT_EQ(-1, ui.enabled);
}

TEST(IntList, ParsesWhatItFormats)
{
    std::vector<int> values = {0, -5, 32824, 2147483647};
    EXPECT_EQ(values, ParseIntList(FormatIntList(values)));
    EXPECT_EQ(std::vector<int>({1, 2}), ParseIntList(L"1,2,x,4")) << "stops at the first non-number";
    EXPECT_TRUE(ParseIntList(L"").empty());
    EXPECT_EQ(std::vector<int>({2147483647}), ParseIntList(L"99999999999")) << "saturates";
}
