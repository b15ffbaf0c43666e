// The qcrypt console tool, run as its own process beside this test program.
#include "tests/crypt/CryptTestSupport.h"
#include "tests/QCryptRun.h"

#include <string>

using crypttest::Wide;

namespace {

using ToolRun = qvtest::QCryptRun;
using qvtest::Quoted;

qvtest::QCryptRun RunTool(const CString& arguments)
{
    qvtest::QCryptRun run = qvtest::RunQCrypt(arguments);
    if (!run.started)
        ADD_FAILURE() << "qcrypt did not start";
    return run;
}

class QCryptTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!qvtest::FileExists(qvtest::QCryptPath()))
            GTEST_SKIP() << "qcrypt is not built beside the tests";
    }
    CString At(const CString& name) { return Quoted(m_folder / name); }
    qvtest::TempFolder m_folder;
};

}  // namespace

TEST_F(QCryptTool, FileRoundTrips)
{
    const CString password = Quoted(Wide("p\xC3\xA4sswort 42"));
    std::string content = qvtest::PatternBytes(300000, 5);
    CString plainName = Wide("plain \xC3\xA9.bin");
    m_folder.WriteFile(plainName, content);

    ToolRun run = RunTool(L"encrypt " + At(plainName) + L" " + At(L"enc.dat") + L" " + password);
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_EQ(qvtest::ReadFileBytes(m_folder / L"enc.dat").size(), 384u + (300000 + 127) / 128 * 128);
    run = RunTool(L"decrypt " + At(L"enc.dat") + L" " + At(L"back.bin") + L" " + password);
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_TRUE(qvtest::ReadFileBytes(m_folder / L"back.bin") == content);
    run = RunTool(L"plainname " + At(L"enc.dat") + L" " + password);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.output, "plain \xC3\xA9.bin");

    m_folder.WriteFile(L"empty.txt", "");
    EXPECT_EQ(RunTool(L"encrypt " + At(L"empty.txt") + L" " + At(L"empty.dat") + L" " + password).exitCode, 0u);
    EXPECT_EQ(qvtest::ReadFileBytes(m_folder / L"empty.dat").size(), 384u);
}

TEST_F(QCryptTool, FailuresNameTheirResult)
{
    m_folder.WriteFile(L"plain.txt", "some text");
    RunTool(L"encrypt " + At(L"plain.txt") + L" " + At(L"enc.dat") + L" right");
    ToolRun run = RunTool(L"decrypt " + At(L"enc.dat") + L" " + At(L"out.txt") + L" wrong");
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_TRUE(run.output == "CRYPT_BAD_KEY" || run.output == "CRYPT_CRC_MISMATCH") << run.output;
    run = RunTool(L"encrypt " + At(L"missing.txt") + L" " + At(L"x.dat") + L" right");
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.output, "CRYPT_OPEN_INPUT_FAILED");
    run = RunTool(L"plainname " + At(L"enc.dat") + L" wrong");
    EXPECT_EQ(run.output, "CRYPT_BAD_KEY");
    EXPECT_EQ(RunTool(L"frobnicate").exitCode, 2u);
    EXPECT_EQ(RunTool(L"").exitCode, 2u);
}

TEST_F(QCryptTool, Names)
{
    ToolRun run = RunTool(L"name report.txt");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.output, "39{2DA4224D15-CADE}.dat");
    run = RunTool(L"foldername encrypt \"Holiday Photos\" \"correct horse battery\"");
    EXPECT_EQ(run.output, "{DpNSDAA4R42nzFPOiZY4ak4~}");
    run = RunTool(L"foldername decrypt {DpNSDAA4R42nzFPOiZY4ak4~} \"correct horse battery\"");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.output, "Holiday Photos");
    run = RunTool(L"foldername decrypt \"{not ours}\" \"correct horse battery\"");
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.output, "CRYPT_BAD_KEY");
}
