// Tests of the trace writer, trace start and stop, and the trace history.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "KxTestSupport.h"
#include "KxxComCodeConv.h"
#include "KxxComGetSysInfo.h"
#include "KxxComOutTrace.h"
#include "KxxComSysBase.h"
#include "KxxComTraceStart.h"

namespace {

using kxtest::CwdScope;
using kxtest::EnvScope;
using kxtest::PlainHost;
using kxtest::readFile;
using kxtest::sameBytes;
using kxtest::TempDir;
using kxtest::TraceScope;

std::string stampNow()
{
    std::string aStamp;
    kxg_getDateAndHour(2, aStamp);
    return "[" + aStamp + "]";
}

// The exact bytes of one line, with the stamp taken around the call (a second may tick).
TEST(TraceWriter, LineBytesWithEucJapaneseMessage)
{
    TraceScope aTrace;
    std::string aBefore = stampNow();
    EXPECT_EQ(0, kxg_outWriteTracelog("kxl_step", "開始"));
    std::string aAfter = stampNow();
    std::string aFile = readFile(aTrace.tracePath());
    std::string aTail = " kxsyfchk:kxl_step \xb3\xab\xbb\xcf\n";
    EXPECT_TRUE(aFile == aBefore + aTail || aFile == aAfter + aTail)
        << sameBytes(aBefore + aTail, aFile);
}

TEST(TraceWriter, LinesAppendInCallOrderAndEmptyMessageIsAWholeLine)
{
    TraceScope aTrace;
    EXPECT_EQ(0, kxg_outWriteTracelog("f1", "one"));
    EXPECT_EQ(0, kxg_outWriteTracelog("f2", ""));
    EXPECT_EQ(0, kxg_outWriteTracelogEx("f3", "%s-%d", "three", 3));
    std::vector<std::string> aExpected = {"[stamp] kxsyfchk:f1 one", "[stamp] kxsyfchk:f2 ",
                                          "[stamp] kxsyfchk:f3 three-3"};
    EXPECT_EQ(aExpected, aTrace.lines());
}

TEST(TraceWriter, NothingWrittenWhileTraceIsOff)
{
    TempDir aTool;
    kxtest::makeDirs(aTool / "trace");
    kxg_iniGlobalTrace();
    EXPECT_EQ(0, kxg_outWriteTracelog("f", "before start"));
    EXPECT_EQ(0, kxg_outWriteTracelogEx("f", "%s", "before start"));

    PlainHost aHost;
    kxtest::writeFile(aTool / "bin/kxsyfchk", "");
    ASSERT_EQ(0, kxg_TraceMemAllc((aTool / "bin/kxsyfchk").c_str()));
    kxg_TraceMemFree();
    remove((aTool / "trace/trace.log").c_str());
    EXPECT_EQ(0, kxg_outWriteTracelog("f", "after stop"));
    EXPECT_EQ((std::vector<std::string>{}), kxtest::listDir(aTool / "trace"));
}

TEST(TraceWriter, FailuresOfTheTraceFile)
{
    TraceScope aTrace;
    // A trace file is never written through a symbolic link.
    kxtest::writeFile(aTrace.toolDir() + "/target", "");
    ASSERT_EQ(0, symlink((aTrace.toolDir() + "/target").c_str(), aTrace.tracePath().c_str()));
    EXPECT_EQ(-9998, kxg_outWriteTracelog("f", "lost"));
    EXPECT_EQ("", readFile(aTrace.toolDir() + "/target"));
    remove(aTrace.tracePath().c_str());
    // A device that takes no data: the superuser can put one there.
    if (mknod(aTrace.tracePath().c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0) {
        // Lines reach the file in blocks: a failed write is told when they are written.
        EXPECT_EQ(0, kxg_outWriteTracelog("f", "lost"));
        EXPECT_EQ(-9991, kxg_flushTrace());
        remove(aTrace.tracePath().c_str());
    }
    rmdir((aTrace.toolDir() + "/trace").c_str());
    EXPECT_EQ(-9998, kxg_outWriteTracelog("f", "lost"));
    EXPECT_FALSE(kxtest::exists(aTrace.toolDir() + "/trace"));
}

TEST(TraceWriter, OnlyTheMessageIsConverted)
{
    PlainHost aHost;
    TraceScope aTrace("検査");
    gIC = iconv_open("UTF-8", "EUC-JP");
    ASSERT_NE(reinterpret_cast<iconv_t>(-1), gIC);
    EXPECT_EQ(0, kxg_outWriteTracelog("kxl_step", "日本語"));
    std::string aLine = kxtest::maskStamps(readFile(aTrace.tracePath()));
    EXPECT_TRUE(sameBytes(
        "[stamp] \xb8\xa1\xba\xba:kxl_step \xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\n", aLine));
}

// A trace line stays one line whatever a file name or a line read holds: control
// characters are written visibly, EUC-JP text and backslashes as they are.
TEST(TraceWriter, ControlCharactersAreWrittenVisibly)
{
    struct Case {
        std::string Message;
        std::string Written;
    } aCases[] = {
        {"plain \\n text", "plain \\n text"},
        {"a\nb", "a\\nb"},
        {"x\n[12/08/2026_08:49:41] kxsyfchk:main forged", "x\\n[12/08/2026_08:49:41] kxsyfchk:main forged"},
        {"\r\t\x1b\x7f\x01", "\\r\\t\\x1b\\x7f\\x01"},
        {"\xc6\xfc\n\x8f\xb0\xa1", "\xc6\xfc\\n\x8f\xb0\xa1"},
    };
    for (const Case& aCase : aCases) {
        TraceScope aTrace;
        EXPECT_EQ(0, kxg_outWriteTracelog("f", aCase.Message.c_str()));
        EXPECT_EQ(0, kxg_outDetailTracelogEx("f", "[%s]", aCase.Message.c_str()));
        std::vector<std::string> aExpected = {aCase.Written, "[" + aCase.Written + "]"};
        EXPECT_EQ(aExpected, aTrace.messages()) << aCase.Written;
    }
}

TEST(TraceWriter, FormattedMessageIsCutAt4095Bytes)
{
    const std::string aKanji = "\xc6\xfc"; // one EUC-JP character
    struct Case {
        std::string Text;
        std::string Written;
    } aCases[] = {
        {std::string(4094, 'x'), std::string(4094, 'x')},
        {std::string(4095, 'x'), std::string(4095, 'x')},
        {std::string(4096, 'x'), std::string(4095, 'x')},
        {std::string(10000, 'x'), std::string(4095, 'x')},
        // The cut falls inside a character: the character goes whole.
        {std::string(4094, 'x') + aKanji + "y", std::string(4094, 'x')},
        {std::string(4093, 'x') + aKanji + "y", std::string(4093, 'x') + aKanji},
    };
    for (const Case& aCase : aCases) {
        TraceScope aTrace;
        EXPECT_EQ(0, kxg_outWriteTracelogEx("f", "%s", aCase.Text.c_str()));
        EXPECT_EQ(std::vector<std::string>{aCase.Written}, aTrace.messages())
            << aCase.Text.size();
    }
}

// Trace start against throw-away tool directories; the host has no managing product and
// no locale is set, so the trace stays in EUC-JP.
class TraceStart : public ::testing::Test {
protected:
    void SetUp() override
    {
        makeTool(mTool);
        makeTool(mOther);
    }
    void TearDown() override { kxg_TraceMemFree(); }

    static void makeTool(const TempDir& iDir, const std::string& iName = "kxsyfchk")
    {
        kxtest::writeFile(iDir / ("bin/" + iName), "#!/bin/sh\n");
        kxtest::makeDirs(iDir / "trace");
    }
    std::string binary() const { return mTool / "bin/kxsyfchk"; }
    std::string tracePath() const { return mTool / "trace/trace.log"; }

    PlainHost mHost;
    TempDir mTool;
    TempDir mOther;
    TempDir mNowhere;
};

TEST_F(TraceStart, ToolDirectoryFromTheStartName)
{
    kxtest::makeDirs(mNowhere / "kxsyfchk");
    const std::string aTool = mTool.path();
    const std::string aOther = mOther.path();
    struct Case {
        const char* What;
        std::string Argv0;
        std::string Cwd;
        std::optional<std::string> Path;
        std::string ToolDir;
    } aCases[] = {
        {"absolute", aTool + "/bin/kxsyfchk", mNowhere.path(), aOther + "/bin", aTool},
        {"./ from inside bin", "./kxsyfchk", aTool + "/bin", aOther + "/bin", ".."},
        {"bare name in cwd beats PATH", "kxsyfchk", aTool + "/bin", aOther + "/bin", ".."},
        {"bare name in cwd, PATH unset", "kxsyfchk", aTool + "/bin", std::nullopt, ".."},
        {"bare name through PATH", "kxsyfchk", mNowhere.path(),
         "/nonexistent:" + mNowhere.path() + ":" + aOther + "/bin", aOther},
        {"PATH entry with a trailing slash", "kxsyfchk", mNowhere.path(), aOther + "/bin/", aOther},
        {"relative bin", "bin/kxsyfchk", aTool, aOther + "/bin", "."},
        {"doubled slash", "bin//kxsyfchk", aTool, aOther + "/bin", "."},
    };
    for (const Case& aCase : aCases) {
        EnvScope aEnv;
        aEnv.put("PATH", aCase.Path);
        CwdScope aCwd(aCase.Cwd);
        ASSERT_EQ(0, kxg_TraceMemAllc(aCase.Argv0.c_str())) << aCase.What;
        EXPECT_EQ(aCase.ToolDir, gKXDefChkPath.value_or("(unset)")) << aCase.What;
        EXPECT_EQ("kxsyfchk", gExecComName.value_or("(unset)")) << aCase.What;
        std::string aTrace = readFile(aCase.ToolDir + "/trace/trace.log");
        EXPECT_NE(std::string::npos, aTrace.find("PATH=[" + aCase.ToolDir + "]\n")) << aCase.What;
        kxg_TraceMemFree();
        EXPECT_FALSE(gKXDefChkPath || gExecComName) << aCase.What;
    }
}

TEST_F(TraceStart, NoToolDirectoryLeavesTraceOff)
{
    CwdScope aCwd(mNowhere.path());
    struct Case {
        const char* What;
        std::optional<std::string> Path;
        const char* StartName;
        std::string Stdout;
    } aCases[] = {
        {"PATH unset", std::nullopt, "kxsyfchk", "ERROR getenv[PATH]\n"},
        {"not in PATH", "/nonexistent:" + mNowhere.path(), "kxsyfchk", ""},
        {"PATH empty", "", "kxsyfchk", ""},
        {"no start name", mTool / "bin", nullptr, ""},
    };
    for (const Case& aCase : aCases) {
        EnvScope aEnv;
        aEnv.put("PATH", aCase.Path);
        ::testing::internal::CaptureStdout();
        int aResult = kxg_TraceMemAllc(aCase.StartName);
        EXPECT_EQ(aCase.Stdout, ::testing::internal::GetCapturedStdout()) << aCase.What;
        EXPECT_EQ(-1, aResult) << aCase.What;
        EXPECT_FALSE(gKXDefChkPath || gExecComName) << aCase.What;
        EXPECT_EQ(0, kxg_outWriteTracelog("f", "after failed start")) << aCase.What;
    }
    EXPECT_FALSE(kxtest::exists(tracePath()));
}

TEST_F(TraceStart, WholeTraceOfStartAndStop)
{
    struct Case {
        std::string Name;
        std::string Opening;
        std::string Closing;
    } aCases[] = {
        {"kxsyfchk", "▼[kxsyfchk]コマンド開始▼", "▲[kxsyfchk]コマンド終了▲"},
        {"kxdefchk", "▼▼▼定義チェックツール開始▼▼▼", "▲▲▲定義チェックツール終了▲▲▲"},
    };
    for (const Case& aCase : aCases) {
        TempDir aTool;
        makeTool(aTool, aCase.Name);
        ASSERT_EQ(0, kxg_TraceMemAllc((aTool / ("bin/" + aCase.Name)).c_str()));
        kxg_TraceMemFree();
        const std::pair<const char*, std::string> aLines[] = {
            {"kxg_opnIcov", "[LC_ALL]"},
            {"kxg_opnIcov", "[LC_MESSAGES]"},
            {"kxg_opnIcov", "[LANG]"},
            {"kxg_opnIcov", "env Nothing"},
            {"kxg_opnIcov", "set EUC"},
            {"kxg_readIniString", "ファイルオープンエラー"},
            {"kxg_opnIcov", "CODELC[EUC]"},
            {"kxg_opnIcov", "EUC ASCII no chg"},
            {"kxg_opnIcov", "EUC ASCII no chg LC"},
            {"kxg_TraceMemAllc", aCase.Opening},
            {"kxg_TraceMemAllc", "PATH=[" + aTool.path() + "]"},
            {"kxg_TraceMemAllc", "FILE=[" + aCase.Name + "]"},
            {"kxg_TraceMemFree", aCase.Closing},
        };
        std::string aExpected;
        for (const auto& aLine : aLines) {
            aExpected += "[stamp] " + aCase.Name + ":" + aLine.first + " " + aLine.second + "\n";
        }
        EXPECT_TRUE(sameBytes(aExpected, kxtest::maskStamps(readFile(aTool / "trace/trace.log"))));
    }
}

const size_t kLimit = 1048576;

class TraceHistory : public TraceStart {
protected:
    // A trace file of iSize bytes that starts with iMark.
    void fillTrace(size_t iSize, const std::string& iMark) const
    {
        kxtest::writeFile(tracePath(), iMark + std::string(iSize - iMark.size(), '.'));
    }
    std::string history(int iNumber) const
    {
        return mTool / ("trace/trace_0" + std::to_string(iNumber) + ".log");
    }
    bool startsWith(const std::string& iPath, const std::string& iMark) const
    {
        return readFile(iPath).compare(0, iMark.size(), iMark) == 0;
    }
    void startAndStop() const
    {
        ASSERT_EQ(0, kxg_TraceMemAllc(binary().c_str()));
        kxg_TraceMemFree();
    }
    void setMtime(const std::string& iPath, time_t iSeconds) const
    {
        struct timespec aTimes[2] = {{iSeconds, 0}, {iSeconds, 0}};
        ASSERT_EQ(0, utimensat(AT_FDCWD, iPath.c_str(), aTimes, 0));
    }
};

// The code conversion's opening lines reach the trace file before the history step looks
// at it, so the boundary is placed with their size taken into account.
TEST_F(TraceHistory, OnlyAFileOverTheLimitMoves)
{
    startAndStop();
    std::string aFirstRun = readFile(tracePath());
    size_t aOpening = aFirstRun.rfind('\n', aFirstRun.find(":kxg_TraceMemAllc ")) + 1;
    struct Case {
        size_t Size;
        bool Moved;
    } aCases[] = {{kLimit, false}, {kLimit + 1, true}};
    for (const Case& aCase : aCases) {
        fillTrace(aCase.Size - aOpening, "mark");
        startAndStop();
        EXPECT_EQ(aCase.Moved, kxtest::exists(history(1))) << aCase.Size;
        EXPECT_EQ(!aCase.Moved, startsWith(tracePath(), "mark")) << aCase.Size;
        if (aCase.Moved) {
            EXPECT_EQ(aCase.Size, readFile(history(1)).size());
            EXPECT_NE(std::string::npos, readFile(tracePath()).find("FILE=[kxsyfchk]"));
        }
    }
}

TEST_F(TraceHistory, FreeSlotsFillInOrder)
{
    for (int aNumber = 1; aNumber <= 3; aNumber++) {
        fillTrace(kLimit + 1, "gen" + std::to_string(aNumber));
        startAndStop();
        for (int aSeen = 1; aSeen <= 3; aSeen++) {
            EXPECT_EQ(aSeen <= aNumber, startsWith(history(aSeen), "gen" + std::to_string(aSeen)))
                << "after " << aNumber << ", slot " << aSeen;
        }
    }
    EXPECT_EQ(4u, kxtest::listDir(mTool / "trace").size());
}

TEST_F(TraceHistory, OldestByModificationTimeIsReplaced)
{
    struct Case {
        time_t Mtimes[3];
        int Replaced;
    } aCases[] = {
        {{300, 100, 200}, 2}, {{100, 200, 300}, 1}, {{300, 200, 100}, 3},
        {{100, 100, 100}, 1}, {{200, 100, 100}, 2},
    };
    for (const Case& aCase : aCases) {
        for (int aNumber = 1; aNumber <= 3; aNumber++) {
            kxtest::writeFile(history(aNumber), "old" + std::to_string(aNumber));
            setMtime(history(aNumber), aCase.Mtimes[aNumber - 1]);
        }
        fillTrace(kLimit + 1, "new");
        startAndStop();
        for (int aNumber = 1; aNumber <= 3; aNumber++) {
            std::string aWanted =
                aNumber == aCase.Replaced ? "new" : "old" + std::to_string(aNumber);
            EXPECT_TRUE(startsWith(history(aNumber), aWanted))
                << "replaced " << aCase.Replaced << ", slot " << aNumber;
        }
    }
}

// However much a run writes, and whether its start moved the trace or not, it pushes at
// most one history file out: past 16 MiB of its own it writes no more detail, past 32 MiB
// nothing; the lines that are not detail (results, failures) go on until then.
TEST_F(TraceHistory, ARunPushesOutAtMostOneHistoryFile)
{
    const std::string kPiece(65536, 'd');
    const size_t kLimit16 = 16 * kLimit;
    const std::string kDetailCut = "トレース量が上限(16MiB)を超えたため以降の詳細は出力しない";
    const std::string kStopped = "トレース量が上限(32MiB)を超えたため以降のトレースは出力しない";
    struct Case {
        const char* What;
        size_t Before;   // bytes of the trace file at the start
        int Histories;   // history files at the start
        int DetailMiB;   // detail the run writes, then one result line
        int KeptMiB;     // lines of another kind it writes after that
        int Moved;       // history files pushed out
    } aCases[] = {
        {"small trace, full history, a flood of detail", 100, 3, 40, 0, 1},
        {"large trace, full history, a flood of detail", kLimit + 1, 3, 40, 0, 1},
        {"small trace, no history, a flood of detail", 100, 0, 40, 0, 0},
        {"large trace, full history, a flood of results", kLimit + 1, 3, 0, 40, 1},
        {"small trace, full history, a flood of results", 100, 3, 0, 40, 1},
        {"small trace, full history, little detail", 100, 3, 1, 0, 0},
    };
    for (const Case& aCase : aCases) {
        for (int aNumber = 1; aNumber <= 3; aNumber++) {
            remove(history(aNumber).c_str());
            if (aNumber <= aCase.Histories) {
                kxtest::writeFile(history(aNumber), "old" + std::to_string(aNumber));
                setMtime(history(aNumber), 100 * aNumber);
            }
        }
        fillTrace(aCase.Before, "mark");
        ASSERT_EQ(0, kxg_TraceMemAllc(binary().c_str()));
        for (int i = 0; i < aCase.DetailMiB * 16; i++) {
            kxg_outDetailTracelog("kxl_step", kPiece.c_str());
        }
        kxg_outWriteTracelog("kxl_step", "result");
        for (int i = 0; i < aCase.KeptMiB * 16; i++) {
            kxg_outWriteTracelog("kxl_step", kPiece.c_str());
        }
        kxg_TraceMemFree();
        int aKept = 0;
        for (int aNumber = 1; aNumber <= aCase.Histories; aNumber++) {
            aKept += startsWith(history(aNumber), "old" + std::to_string(aNumber)) ? 1 : 0;
        }
        EXPECT_EQ(aCase.Histories - aCase.Moved, aKept) << aCase.What;
        // The line that passes the limit is the last one written in full.
        for (const std::string& aName : kxtest::listDir(mTool / "trace")) {
            EXPECT_LE(readFile(mTool / ("trace/" + aName)).size(),
                      2 * kLimit16 + 2 * kPiece.size())
                << aCase.What << " " << aName;
        }
        // The run's lines are in the trace file and, when it moved one, in the first slot.
        std::string aAll = readFile(tracePath()) +
                           (kxtest::exists(history(1)) ? readFile(history(1)) : "");
        EXPECT_NE(std::string::npos, aAll.find("kxl_step result\n")) << aCase.What;
        EXPECT_EQ(aCase.DetailMiB > 16, aAll.find(kDetailCut) != std::string::npos) << aCase.What;
        EXPECT_EQ(aCase.KeptMiB > 16, aAll.find(kStopped) != std::string::npos) << aCase.What;
    }
}

TEST_F(TraceHistory, DirectoryInTheFirstSlotFailsTheRotation)
{
    kxtest::makeDirs(history(1));
    fillTrace(kLimit + 1, "mark");
    ASSERT_EQ(0, kxg_TraceMemAllc(binary().c_str()));
    EXPECT_TRUE(gKXDefChkPath && gExecComName);
    EXPECT_TRUE(startsWith(tracePath(), "mark"));
    EXPECT_FALSE(kxtest::exists(history(2)));
    std::string aTrace = kxtest::maskStamps(readFile(tracePath()));
    std::string aLast =
        "[stamp] kxsyfchk:kxg_TraceMemAllc トレースログ履歴管理失敗（処理は継続）\n";
    ASSERT_GT(aTrace.size(), aLast.size());
    EXPECT_TRUE(sameBytes(aLast, aTrace.substr(aTrace.size() - aLast.size())));
    EXPECT_EQ(std::string::npos, aTrace.find("FILE=["));
}

} // namespace
