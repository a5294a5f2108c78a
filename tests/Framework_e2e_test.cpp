// End-to-end tests of the start and end sequence: the installed binary in a throw-away
// tool directory against a throw-away host.
#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <regex>
#include <sys/wait.h>
#include <unistd.h>

#include "KxTestSupport.h"
#include "KxxComTraceStart.h"

namespace {

using kxtest::Host;
using kxtest::RunResult;
using kxtest::sameBytes;
using kxtest::ToolDir;

const char* const kFailureNotice =
    "\n障害によりチェックが中断しました。トレースログをご確認ください。\n\n";

const char* const kSubHelp =
    "\n本コマンドは、システムパラメタのチェックを行い、チェック結果を表示します。\n"
    "\nkxsyfchk [-h] | [出力ログファイル名] \n"
    "\n-h\t\t\t当ツールの使用方法が表示されます。\n"
    "出力ログファイル名\tチェック結果を出力するログファイル名を指定します。\n\n";

// The console text of a catalog message as the installed catalog holds it.
std::string message(const std::string& iId)
{
    std::string aCatalog = kxtest::readFile(std::string(KX_DATA_DIR) + "/sys/SysMessage.csv");
    size_t aAt = aCatalog.find("\n" + iId + ",");
    EXPECT_NE(std::string::npos, aAt) << iId;
    size_t aStart = aAt + iId.size() + 2;
    std::string aText = aCatalog.substr(aStart, aCatalog.find('\n', aStart) - aStart);
    std::string aOut;
    for (size_t i = 0; i < aText.size(); i++) {
        if (aText[i] == '\\' && i + 1 < aText.size() && aText[i + 1] == 'n') {
            aOut += '\n';
            i++;
        } else {
            aOut += aText[i];
        }
    }
    return aOut;
}

class StartEnd : public ::testing::Test {
protected:
    void SetUp() override { mHost.solaris(10); }
    RunResult run(const std::vector<std::string>& iArgs = {"out.log"},
                  const std::map<std::string, std::string>& iEnv = {})
    {
        return kxtest::runTool(mTool, mHost, iArgs, iEnv);
    }
    ToolDir mTool;
    Host mHost;
};

TEST_F(StartEnd, EnglishProductIsRefusedBeforeAnyTrace)
{
    mHost.vestrel("D", "28", "NRDA", "4", "ENGLISH");
    RunResult aRun = run();
    EXPECT_EQ(255, aRun.Status);
    EXPECT_TRUE(sameBytes(
        "\nIt is not possible to execute it because of [Language] of off the subject.\n\n",
        aRun.Out));
    EXPECT_FALSE(kxtest::exists(mTool / "trace/trace.log"));
}

TEST_F(StartEnd, MissingEntriesAreListedWithTheReinstallAdvice)
{
    struct Case {
        std::vector<std::string> Remove;
        std::string List;
    } aCases[] = {
        {{"sys"}, "sys"},
        {{"def", "trace"}, "def,trace"},
        {{"sys/SysMessage.csv", "sys/OutLogMessage.csv"}, "SysMessage.csv,OutLogMessage.csv"},
        {{"def/kxsyfchk_sol8.csv", "def/kxsyfchk_sol10.csv"},
         "kxsyfchk_sol8.csv,kxsyfchk_sol10.csv"},
    };
    for (const Case& aCase : aCases) {
        ToolDir aTool;
        for (const std::string& aRel : aCase.Remove) {
            std::filesystem::remove_all(aTool / aRel);
        }
        RunResult aRun = kxtest::runTool(aTool, mHost, {"out.log"});
        EXPECT_EQ(255, aRun.Status) << aCase.List;
        EXPECT_TRUE(sameBytes("\n必要なファイルまたはディレクトリが存在しません。\n"
                              "ツールを再インストールしてください。\n\n" +
                                  aCase.List + "\n\n",
                              aRun.Out));
    }
}

TEST_F(StartEnd, DirectoryInPlaceOfACatalogCountsAsMissing)
{
    std::filesystem::remove(mTool / "sys/SysMessage.csv");
    kxtest::makeDirs(mTool / "sys/SysMessage.csv");
    RunResult aRun = run();
    EXPECT_NE(std::string::npos, aRun.Out.find("SysMessage.csv\n\n"));
}

TEST_F(StartEnd, RefusalsShowTheirCatalogMessage)
{
    struct Case {
        const char* Name;
        std::function<void(const Host&, const ToolDir&)> Arrange;
        std::vector<std::string> Args;
        std::string Id;
    } aCases[] = {
        {"not root",
         [](const Host& iHost, const ToolDir&) {
             iHost.command("/usr/bin/id", "uid=100(admin) gid=10(staff)\n");
         },
         {"out.log"}, "99005"},
        {"product not installed",
         [](const Host& iHost, const ToolDir&) {
             std::filesystem::remove(iHost / "opt/vestrel/etc/vestrel.reg");
         },
         {"out.log"}, "99009"},
        {"version 10",
         [](const Host& iHost, const ToolDir&) { iHost.vestrel("A", "28", "NRDA", "4"); },
         {"out.log"}, "99010"},
        {"output log in a missing directory", [](const Host&, const ToolDir&) {},
         {"/nonexistent/dir/out.log"}, "99008"},
    };
    for (const Case& aCase : aCases) {
        Host aHost;
        aHost.solaris(10);
        ToolDir aTool;
        aCase.Arrange(aHost, aTool);
        RunResult aRun = kxtest::runTool(aTool, aHost, aCase.Args);
        EXPECT_EQ(255, aRun.Status) << aCase.Name;
        EXPECT_TRUE(sameBytes(message(aCase.Id), aRun.Out)) << aCase.Name;
        EXPECT_FALSE(kxtest::exists(aTool / "trace/kxsyfchk.flg")) << aCase.Name;
    }
}

TEST_F(StartEnd, MalformedCommandLinesShowMessageAndHelp)
{
    std::vector<std::vector<std::string>> aCases = {
        {"-a"}, {"a.log", "b.log"}, {"-x"}, {std::string(4096, 'x')}};
    for (const auto& aArgs : aCases) {
        RunResult aRun = run(aArgs);
        EXPECT_EQ(255, aRun.Status);
        EXPECT_TRUE(sameBytes(message("99006") + kSubHelp, aRun.Out));
    }
}

TEST_F(StartEnd, HelpEndsNormallyInEitherLocale)
{
    RunResult aRun = run({"-h"});
    EXPECT_EQ(0, aRun.Status);
    EXPECT_TRUE(sameBytes(kSubHelp, aRun.Out));

    aRun = run({"-h"}, {{"LANG", "ja_JP.UTF-8"}});
    EXPECT_EQ(0, aRun.Status);
    EXPECT_TRUE(sameBytes(kxtest::eucToUtf8(kSubHelp), aRun.Out));
}

TEST_F(StartEnd, MainToolHelpListsTheSubCommands)
{
    for (const char* aCmd : {"kxdefchk", "kxnwfchk", "kxpkfchk", "kxusfchk"}) {
        std::filesystem::copy_file(mTool.binary(), mTool / (std::string("bin/") + aCmd));
    }
    RunResult aRun = kxtest::runProgram(mTool / "bin/kxdefchk", {"-h"},
                                        {{"KXDEFCHK_HOST_ROOT", mHost.path()}}, mTool / "bin");
    EXPECT_EQ(0, aRun.Status);
    EXPECT_TRUE(sameBytes(
        "\n本コマンドは、さまざまな定義に対するチェックを行い、チェック結果を表示します。\n"
        "\nkxdefchk [-h] | [-a [出力ログファイル名]] | [-snpu [出力ログファイル名]] | "
        "[出力ログファイル名]\n"
        "\n-h\t当ツールの使用方法が表示されます。\n"
        "\n-a\t当ツールでチェック可能な全ての定義のチェックを実施します。\n"
        "\n-snpu\tチェックを行う定義を指定します。\n\n"
        "\ts\tシステムパラメタのチェック\n"
        "\tn\tネットワーク定義のチェック\n"
        "\tp\t必須パッケージのチェック\n"
        "\tu\tユーザ・グループ定義のチェック\n"
        "\n出力ログファイル名\tチェック結果を出力するログファイル名を指定します。\n"
        "\n＊定義を指定しなかった場合、以下の定義のチェックを実施します。\n\n"
        "\tシステムパラメタのチェック\n"
        "\tネットワーク定義のチェック\n"
        "\t必須パッケージのチェック\n\n",
        aRun.Out));
    EXPECT_NE(std::string::npos, mTool.trace().find("▲▲▲定義チェックツール終了▲▲▲"));
}

TEST_F(StartEnd, CatalogWithoutTheMessageGivesTheFailureNotice)
{
    mHost.command("/usr/bin/id", "uid=100(admin) gid=10(staff)\n");
    mTool.putText("sys/SysMessage.csv", "07001,開始\n");
    RunResult aRun = run();
    EXPECT_EQ(255, aRun.Status);
    EXPECT_TRUE(sameBytes(kFailureNotice, aRun.Out));
}

// A second instance while another process holds the lock is refused, and the holder's
// flag file survives the refused instance.
TEST_F(StartEnd, SecondInstanceIsRefusedAndLeavesTheLockAlone)
{
    int aToChild[2], aFromChild[2];
    ASSERT_EQ(0, pipe(aToChild));
    ASSERT_EQ(0, pipe(aFromChild));
    std::string aFlag = mTool / "trace/kxsyfchk.flg";
    pid_t aPid = fork();
    if (aPid == 0) {
        int aFd = open(aFlag.c_str(), O_WRONLY | O_CREAT, 0644);
        char aByte = lockf(aFd, F_TLOCK, 0) == 0 ? 'L' : 'F';
        (void)!write(aFromChild[1], &aByte, 1);
        (void)!read(aToChild[0], &aByte, 1);
        _exit(0);
    }
    char aByte = 0;
    ASSERT_EQ(1, read(aFromChild[0], &aByte, 1));
    ASSERT_EQ('L', aByte);

    // The refused run leaves the results document of the running one alone.
    kxtest::writeFile(mTool / "r.json", "the running check's document");
    RunResult aRun = run({"out.log"}, {{"KXSYFCHK_JSON", mTool / "r.json"}});
    EXPECT_EQ(255, aRun.Status);
    EXPECT_TRUE(sameBytes(message("99004"), aRun.Out));
    EXPECT_TRUE(kxtest::exists(aFlag));
    EXPECT_EQ("the running check's document", kxtest::readFile(mTool / "r.json"));

    (void)!write(aToChild[1], "x", 1);
    waitpid(aPid, nullptr, 0);
    // A flag file left behind without a lock does not block the next run.
    aRun = run({"-h"});
    EXPECT_EQ(0, aRun.Status);
    EXPECT_FALSE(kxtest::exists(aFlag));
}

TEST_F(StartEnd, GeneratedOutputLogNameAndNoFileLeftByTheProbe)
{
    mHost.file("/etc/project", "user.root:1::::\n");
    mHost.command("/usr/sbin/prtconf", "Memory size: 2048 Megabytes\n");
    RunResult aRun = run({});
    EXPECT_EQ(1, aRun.Status);
    std::vector<std::string> aLogs;
    for (const std::string& aName : kxtest::listDir(mTool.path())) {
        if (std::regex_match(aName, std::regex(R"(kxsyfchk\d{14}\.log)"))) {
            aLogs.push_back(aName);
        }
    }
    EXPECT_EQ(1u, aLogs.size());

    // A probe of a name given on the command line leaves nothing when the run stops later.
    mHost.command("/usr/bin/uname", "");
    aRun = run({"probe.log"});
    EXPECT_EQ(255, aRun.Status);
    EXPECT_FALSE(kxtest::exists(mTool / "bin/probe.log"));
}

TEST_F(StartEnd, TraceIsFramedByTheBannersAndTheResult)
{
    run({"-h"});
    std::string aTrace = kxtest::maskStamps(mTool.trace());
    EXPECT_NE(std::string::npos, aTrace.find("[stamp] kxsyfchk:kxg_TraceMemAllc ▼[kxsyfchk]コマンド開始▼\n"));
    EXPECT_NE(std::string::npos,
              aTrace.find("[stamp] kxsyfchk:kxg_TraceMemAllc PATH=[" + mTool.path() + "]\n"));
    EXPECT_NE(std::string::npos, aTrace.find("[stamp] kxsyfchk:kxg_endDefChkCom return[0]\n"));
    EXPECT_TRUE(aTrace.size() > 0 &&
                aTrace.rfind("[stamp] kxsyfchk:kxg_TraceMemFree ▲[kxsyfchk]コマンド終了▲\n") ==
                    aTrace.size() - strlen("[stamp] kxsyfchk:kxg_TraceMemFree ▲[kxsyfchk]コマンド終了▲\n"));
}

} // namespace
