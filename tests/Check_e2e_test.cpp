// End-to-end tests of the check: verdicts, report layouts, console messages and exit
// status of the installed binary against throw-away hosts.
#include <gtest/gtest.h>

#include <filesystem>

#include "KxTestSupport.h"

namespace {

using kxtest::Host;
using kxtest::RunResult;
using kxtest::sameBytes;
using kxtest::ToolDir;

const char* const kStarted = "\nシステムパラメタのチェックを開始します。\n";
const char* const kFindings = "\nシステムパラメタに問題が見つかりました。詳細は出力ログファイルを"
                              "確認し、パラメタを見直してください。\n\n";
const char* const kReportHead =
    "\n□システムパラメタのチェックにて以下の情報が検出されました\n"
    "\n[stamp] KxDefChk:ERROR:07001:システムパラメタが製品の必要とする値を満たしていません。\n\n"
    "以下のパラメタを確認し、/etc/system または /etc/project を見直してください。\n"
    "設定の変更後は、システムの再起動が必要な場合があります。\n\n";
const char* const kNotice = "\n障害によりチェックが中断しました。トレースログをご確認ください。\n\n";

class Check : public ::testing::Test {
protected:
    // A host of release 5.iMinor whose parameter list for that release holds iRows.
    void host(int iMinor, const std::string& iRows)
    {
        mHost.solaris(iMinor);
        mTool.putText("def/kxsyfchk_sol" + std::to_string(iMinor) + ".csv", iRows);
    }
    RunResult run(const std::map<std::string, std::string>& iEnv = {})
    {
        return kxtest::runTool(mTool, mHost, {mTool / "out.log"}, iEnv);
    }
    std::string outLog() const { return kxtest::maskStamps(kxtest::readFile(mTool / "out.log")); }
    ToolDir mTool;
    Host mHost;
};

TEST_F(Check, ProjectLayoutReportsEachKindOfFinding)
{
    host(10, "Solaris10,,,,,project.max-shm-memory,user.root,priv,additional,calc,1024\n"
             "Solaris10,,,,,project.max-shm-ids,user.root,priv,fixed,,256\n"
             "Solaris10,,,,,project.max-sem-ids,user.root,priv,fixed,,10\n"
             "Solaris10,,,,,project.max-msg-ids,,priv,fixed,,100\n"
             "Solaris10,,,,,process.max-sem-nsems,user.root,priv,fixed,,512\n");
    mHost.command("/usr/sbin/prtconf", "System Configuration:  Example  sun4v\n"
                                       "Memory size: 2048 Megabytes\n");
    // max-shm-ids: a basic value is refused on a project's control, so the default 128
    // is in force, which is not enough; max-sem-ids: no value, the default 128 is enough.
    mHost.file("/etc/project",
               "user.root:1::::project.max-shm-memory=(priv,536871935,deny);"
               "project.max-shm-ids=(basic,256,deny);process.max-sem-nsems=(basic,1024,deny)\n"
               "group.staff:10::::project.max-msg-ids=(priv,0099,deny)\n");
    RunResult aRun = run();
    EXPECT_EQ(1, aRun.Status);
    EXPECT_TRUE(sameBytes(std::string(kStarted) + kFindings, aRun.Out));
    EXPECT_TRUE(sameBytes(
        std::string(kReportHead) +
            "[パラメタ名], [パラメタ値], [プロジェクト名], [権限], [異常の原因]\n"
            " project.max-shm-memory, 536871935, user.root, priv, 最小必要値以下です。(最小必要値：536871936)\n"
            " project.max-shm-ids, , user.root, , パラメタ設定がありません。\n"
            " project.max-msg-ids, 0099, , priv, 最小必要値以下です。(最小必要値：100)\n"
            " process.max-sem-nsems, 1024, user.root, basic, 権限が誤っています。(必要権限：priv)\n\n\n",
        outLog()));
}

TEST_F(Check, SetLayoutWithCalculatedValuesAndTwoReasonsForOneParameter)
{
    host(9, "Solaris9,,,,,msgsys:msginfo_msgtql,,,fixed,,calc\n"
            "Solaris9,,,,,msgsys:msginfo_msgmap,,,fixed,,calc\n"
            "Solaris9,,,,,shmsys:shminfo_shmmax,,priv,fixed,,4096\n"
            "Solaris9,,,,,semsys:seminfo_semmni,,,additional,10,256\n");
    mHost.command("/usr/sbin/sysdef", "*\n* IPC Messages\n*\n"
                                      "  4096\tmax bytes on queue (MSGMNB)\n"
                                      "    40\tsystem message headers (MSGTQL)\n");
    mHost.file("/etc/system", "* tuned\nset msgsys:msginfo_msgtql=41\nset msgsys:msginfo_msgmap=42\n"
                              "set shmsys:shminfo_shmmax=0xfff\n");
    // No resource-distribution settings: servmax 20, cntmax 100; level 0x28 divides by 100.
    RunResult aRun = run();
    EXPECT_EQ(1, aRun.Status);
    EXPECT_TRUE(sameBytes(std::string(kReportHead) +
                              "[パラメタ名], [パラメタ値], [異常の原因]\n"
                              " msgsys:msginfo_msgtql, 41, 最小必要値以下です。(最小必要値：42)\n"
                              " shmsys:shminfo_shmmax, 0xfff, 最小必要値以下です。(最小必要値：0x1000)\n"
                              " shmsys:shminfo_shmmax, 0xfff, 権限が誤っています。(必要権限：priv)\n"
                              " semsys:seminfo_semmni, , パラメタ設定がありません。\n\n\n",
                          outLog()));
    // A second run appends a second block.
    std::string aFirst = outLog();
    run();
    EXPECT_TRUE(sameBytes(aFirst + aFirst, outLog()));
}

TEST_F(Check, ReportIsConvertedForTheLocaleAndTheProduct)
{
    host(9, "Solaris9,,,,,semsys:seminfo_semmni,,,additional,10,256\n");
    mHost.file("/etc/system", "");
    mHost.vestrel("D", "28", "NRDA", "4", "JAPANESE", "UTF-8");
    RunResult aRun = run({{"LANG", "ja_JP.UTF-8"}});
    EXPECT_EQ(1, aRun.Status);
    EXPECT_TRUE(sameBytes(kxtest::eucToUtf8(std::string(kStarted) + kFindings), aRun.Out));
    EXPECT_TRUE(sameBytes(kxtest::eucToUtf8(std::string(kReportHead) +
                                            "[パラメタ名], [パラメタ値], [異常の原因]\n"
                                            " semsys:seminfo_semmni, , パラメタ設定がありません。\n\n\n"),
                          outLog()));
}

TEST_F(Check, RunsWithoutAReport)
{
    struct Case {
        const char* Name;
        int Minor;
        std::string Role;
        std::string Rows;
        std::string Console;
    } aCases[] = {
        {"role not served", 9, "NRDX", "Solaris9,,,,,p,,,fixed,,1\n",
         "\nこのホストの運用種別はシステムパラメタのチェックの対象外です。チェックを行わずに終了します。\n\n"},
        {"no row applies", 9, "NRDA", "Solaris10,,,,,p,,,fixed,,1\nSolaris9,NRDB,,,,p,,,fixed,,1\n",
         "\nこのホストに該当するパラメタ定義がありません。チェックを行わずに終了します。\n\n"},
        {"all passed", 9, "NRDA", "Solaris9,,,,,rlim_fd_max,,,additional,256,1024\n",
         "\nすべてのシステムパラメタが必要な値を満たしています。\n\n"},
    };
    for (const Case& aCase : aCases) {
        ToolDir aTool;
        Host aHost;
        aHost.solaris(aCase.Minor, aCase.Role);
        aHost.file("/etc/system", "set rlim_fd_max=1280\n");
        aTool.putText("def/kxsyfchk_sol9.csv", aCase.Rows);
        RunResult aRun = kxtest::runTool(aTool, aHost, {aTool / "out.log"});
        EXPECT_EQ(0, aRun.Status) << aCase.Name;
        EXPECT_TRUE(sameBytes(kStarted + aCase.Console, aRun.Out)) << aCase.Name;
        EXPECT_FALSE(kxtest::exists(aTool / "out.log")) << aCase.Name;
    }
}

TEST_F(Check, FailuresAfterTheStartEndWithTheNotice)
{
    struct Case {
        const char* Name;
        std::string Rows;
        std::string System;
    } aCases[] = {
        {"too long a field in a row for another release", std::string(33, 'S') + ",,,,,p,,,fixed,,1\n",
         "set p=1\n"},
        {"needed value beyond 64 bits", "Solaris9,,,,,p,,,fixed,,18446744073709551616\n", "set p=1\n"},
        {"calculation without sysdef", "Solaris9,,,,,msgsys:msginfo_msgmap,,,fixed,,calc\n",
         "set msgsys:msginfo_msgmap=1\n"},
        {"no /etc/system", "Solaris9,,,,,p,,,fixed,,1\n", ""},
    };
    for (const Case& aCase : aCases) {
        ToolDir aTool;
        Host aHost;
        aHost.solaris(9);
        if (!aCase.System.empty()) {
            aHost.file("/etc/system", aCase.System);
        }
        aTool.putText("def/kxsyfchk_sol8.csv", aCase.Rows);
        RunResult aRun = kxtest::runTool(aTool, aHost, {aTool / "out.log"});
        EXPECT_EQ(255, aRun.Status) << aCase.Name;
        EXPECT_TRUE(sameBytes(kStarted + std::string(kNotice), aRun.Out)) << aCase.Name;
    }
}

// Host files in the forms real hosts carry (tests/fixtures/realhosts/*): each case holds
// the release, a host tree, a parameter list whose comments give the verdict of each
// row, and the report lines an administrator expects (none: the check passes).
TEST(RealHosts, VerdictsOfEachForm)
{
    namespace fs = std::filesystem;
    const fs::path aFixtures = fs::path(KX_SOURCE_DIR) / "tests/fixtures/realhosts";
    int aCount = 0;
    for (const fs::directory_entry& aCase : fs::directory_iterator(aFixtures)) {
        const std::string aName = aCase.path().filename();
        const std::string aMinor = kxtest::readFile(aCase.path() / "release").substr(0, 2);
        ToolDir aTool;
        Host aHost;
        aHost.solaris(std::stoi(aMinor));
        fs::copy(aCase.path() / "root", aHost.path(),
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        aTool.putText("def/kxsyfchk_sol" + std::to_string(std::stoi(aMinor)) + ".csv",
                      kxtest::readFile(aCase.path() / "list.csv"));
        std::string aLines = kxtest::utf8ToEuc(kxtest::readFile(aCase.path() / "expected.txt"));
        RunResult aRun = kxtest::runTool(aTool, aHost, {aTool / "out.log"});
        std::string aLog = kxtest::maskStamps(kxtest::readFile(aTool / "out.log"));
        if (aLines.empty()) {
            EXPECT_EQ(0, aRun.Status) << aName;
            EXPECT_EQ("", aLog) << aName;
            continue;
        }
        const char* aHeading = std::stoi(aMinor) >= 10
                                   ? "[パラメタ名], [パラメタ値], [プロジェクト名], [権限], [異常の原因]\n"
                                   : "[パラメタ名], [パラメタ値], [異常の原因]\n";
        EXPECT_EQ(1, aRun.Status) << aName;
        EXPECT_TRUE(sameBytes(kReportHead + std::string(aHeading) + aLines + "\n\n", aLog)) << aName;
        aCount++;
    }
    EXPECT_GE(aCount, 4);
}

} // namespace
