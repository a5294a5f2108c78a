// Tests of both command-line grammars and the output-log probe.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sys/stat.h>

#include "KxTestSupport.h"
#include "KxxComOutTrace.h"
#include "KxxComchkComArg.h"

namespace {

using kxtest::TraceScope;

const char* const kGenerated = "<generated>";

struct ArgCase {
    std::vector<std::string> Args; // after the program name; "X" and "Y" are file names
    int Result;
    std::string OutLog; // "X", "Y", kGenerated or empty
    std::string Trace;  // the last trace message
};

// Runs the grammar of iCommand over the cases in a tool directory whose sub commands
// define the option letters s and n.
void runCases(const std::string& iCommand, const std::vector<ArgCase>& iCases)
{
    TraceScope aTrace(iCommand);
    kxtest::writeFile(aTrace.toolDir() + "/sys/kxdefchk_SOL.ini",
                      "[CmdList]\nCmdNumber=2\nsubCMD1=A\nsubCMD2=B\n[A]\nOpt=s\n[B]\nOpt=n\n");
    std::map<std::string, std::string> aFiles = {{"X", aTrace.toolDir() + "/x.log"},
                                                 {"Y", aTrace.toolDir() + "/y.log"}};
    for (const ArgCase& aCase : iCases) {
        std::vector<std::string> aArgs = {iCommand};
        for (const std::string& aArg : aCase.Args) {
            aArgs.push_back(aFiles.count(aArg) ? aFiles[aArg] : aArg);
        }
        std::vector<char*> aArgv;
        for (std::string& aArg : aArgs) {
            aArgv.push_back(aArg.data());
        }
        std::string aOutLog = "stale";
        int aResult = kxg_chkCmdLineArgs(static_cast<int>(aArgv.size()), aArgv.data(), aOutLog);
        std::string aName = ::testing::PrintToString(aCase.Args);
        EXPECT_EQ(aCase.Result, aResult) << iCommand << " " << aName;
        if (aCase.OutLog == kGenerated) {
            EXPECT_TRUE(std::regex_match(aOutLog, std::regex(aTrace.toolDir() + "/" + iCommand +
                                                             R"(\d{14}\.log)")))
                << aName << " " << aOutLog;
        } else if (!aCase.OutLog.empty()) {
            EXPECT_EQ(aFiles[aCase.OutLog], aOutLog) << aName;
        }
        if (!aCase.Trace.empty()) {
            EXPECT_EQ(aCase.Trace, aTrace.messages().back()) << aName;
        }
        // The probe leaves no file behind.
        EXPECT_FALSE(kxtest::exists(aFiles["X"]) || kxtest::exists(aFiles["Y"])) << aName;
    }
}

TEST(CmdLineArgs, MainToolGrammar)
{
    runCases("kxdefchk", {
        {{}, 0, kGenerated, "引数なし。デフォルト指定チェック実行"},
        {{"-h"}, 8, "", "-hのみ"},
        {{"-a"}, 0, kGenerated, "-aのみ"},
        {{"-"}, 9, "", "オプション文字無しエラー"},
        {{"-sn"}, 0, kGenerated, "コマンドオプションのみ"},
        {{"-sx"}, 10, "", "無効なオプションが指定されました"},
        {{"X"}, 0, "X", "ファイル名のみ指定"},
        {{"-h", "X"}, 9, "", "-h指定の場合、エラー"},
        {{"X", "-s"}, 0, "X", "コマンドオプション＆ファイル名"},
        {{"X", "-a"}, 0, "X", "-a＆ファイル名"},
        {{"-a", "-s"}, 9, "", "２つとも'-'で始まる場合、エラー"},
        {{"X", "Y"}, 9, "", "２つとも'-'で始まらない場合、エラー"},
        {{"-", "X"}, 9, "", "オプション文字無しエラー"},
        {{"-x", "X"}, 10, "", "オプションチェックエラー&iArgv[1][1]"},
        {{"X", "-nx"}, 10, "", "オプションチェックエラー&iArgv[2][1]"},
        {{"X", "-s", "Y"}, 9, "", "引数が３つ以上エラー"},
        {{std::string(4096, 'x'), "-s"}, 9, "", "引数サイズオーバー"},
    });
}

TEST(CmdLineArgs, SubCommandGrammar)
{
    runCases("kxsyfchk", {
        {{}, 0, kGenerated, "引数なし。自動生成ファイル名で実行。"},
        {{"-h"}, 8, "", "-hのみ"},
        {{"-a"}, 9, "", "サブコマンドにコマンドオプションはエラー"},
        {{"-s"}, 9, "", "サブコマンドにコマンドオプションはエラー"},
        {{"X"}, 0, "X", "サブコマンドでファイル名のみ指定"},
        {{"X", "Y"}, 9, "", "引数が２つ以上エラー"},
        {{std::string(4096, 'x')}, 9, "", "引数サイズオーバー"},
        // 4095 bytes pass the length test; the probe then finds no such file name.
        {{std::string(4095, 'x')}, 11, "", std::string(4095, 'x')},
        {{"/nonexistent/dir/x.log"}, 11, "", "/nonexistent/dir/x.log"},
    });
}

TEST(CmdLineArgs, NoArgumentsAtAll)
{
    TraceScope aTrace;
    std::string aOutLog;
    EXPECT_EQ(-1, kxg_chkCmdLineArgs(0, nullptr, aOutLog));
    EXPECT_EQ("ありえない引数。iArgc=0", aTrace.messages().back());
}

TEST(CmdLineArgs, GeneratedNameThatWouldNotFit)
{
    TraceScope aTrace;
    // A tool directory that leaves one byte too few for "/kxsyfchk" + 14 digits + ".log".
    std::string aDir = aTrace.toolDir();
    const size_t aWanted = 4096 - 2 - 8 - 14 - 4;
    while (aDir.size() < aWanted) {
        aDir += "/" + std::string(std::min<size_t>(200, aWanted - aDir.size() - 1), 'd');
    }
    kxtest::makeDirs(aDir + "/trace");
    gKXDefChkPath = aDir;
    char aName[] = "kxsyfchk";
    char* aArgv[] = {aName};
    std::string aOutLog;
    EXPECT_EQ(11, kxg_chkCmdLineArgs(1, aArgv, aOutLog));
    std::string aTraceLog = kxtest::readFile(aDir + "/trace/trace.log");
    EXPECT_NE(std::string::npos, aTraceLog.find("出力ログファイル名文字数限界突破エラー\n"));
    EXPECT_NE(std::string::npos, aTraceLog.find("ファイル名自動生成エラー\n"));
}

// The probe appends to an existing file without changing it, and never waits on a FIFO
// that nobody reads.
TEST(CmdLineArgs, ProbeOfExistingPaths)
{
    TraceScope aTrace;
    std::string aLog = aTrace.toolDir() + "/old.log";
    std::string aFifo = aTrace.toolDir() + "/fifo";
    kxtest::writeFile(aLog, "earlier report\n");
    ASSERT_EQ(0, mkfifo(aFifo.c_str(), 0600));
    char aName[] = "kxsyfchk";
    std::string aOutLog;
    for (const std::string& aPath : {aLog, aFifo}) {
        std::string aArg = aPath;
        char* aArgv[] = {aName, aArg.data()};
        EXPECT_EQ(aPath == aLog ? 0 : 11, kxg_chkCmdLineArgs(2, aArgv, aOutLog)) << aPath;
        EXPECT_TRUE(kxtest::exists(aPath));
    }
    EXPECT_EQ("earlier report\n", kxtest::readFile(aLog));
}

} // namespace
