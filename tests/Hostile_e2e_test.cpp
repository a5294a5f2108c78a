// End-to-end tests of hostile hosts and tool directories: FIFOs, commands that never end,
// huge lines, bytes the output cannot take, symbolic links, a trace that would fill the
// disk, misleading failures, concurrent starts and a killed run. Every run must end, say
// what happened, leave the host's files as they were and nothing behind in trace/.
#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <functional>
#include <regex>
#include <sys/stat.h>
#include <unistd.h>

#include "KxTestSupport.h"

namespace {

using kxtest::Host;
using kxtest::RunResult;
using kxtest::sameBytes;
using kxtest::ToolDir;

const std::string kStarted = "\nシステムパラメタのチェックを開始します。\n";
const std::string kNotice = "\n障害によりチェックが中断しました。トレースログをご確認ください。\n\n";
const std::string kPassed = "\nすべてのシステムパラメタが必要な値を満たしています。\n\n";
const std::string kFindings = "\nシステムパラメタに問題が見つかりました。詳細は出力ログファイルを"
                              "確認し、パラメタを見直してください。\n\n";
const std::string kNoLog = "\n出力ログファイルを作成できません。ファイル名とディレクトリの書き込み"
                           "権限を確認してください。\n\n";
const std::string kRunning = "\n同じコマンドが既に実行中です。実行中のコマンドが終了してから再度"
                             "実行してください。\n\n";
const std::string kTitle = "\n□システムパラメタのチェックにて以下の情報が検出されました\n";
const std::string kMsgText = "システムパラメタが製品の必要とする値を満たしていません。";
const std::string kMsgBody = "以下のパラメタを確認し、/etc/system または /etc/project を見直して"
                             "ください。\n設定の変更後は、システムの再起動が必要な場合があります。\n\n";
const std::string kSetHeading = "[パラメタ名], [パラメタ値], [異常の原因]\n";
const std::string kProjectHeading =
    "[パラメタ名], [パラメタ値], [プロジェクト名], [権限], [異常の原因]\n";
const char* const kMsgmnbLine = "  4096\tmax bytes on queue (MSGMNB)\n";

// A tool directory and a Solaris 9 host whose one requirement the host meets.
struct Scene {
    Scene()
    {
        mHost.solaris(9);
        mHost.file("/etc/system", "set rlim_fd_max=1024\nset msgsys:msginfo_msgtql=2048\n");
        rows(9, "Solaris9,,,,,rlim_fd_max,,,fixed,,1024\n");
    }
    void rows(int iMinor, const std::string& iRows) const
    {
        mTool.putText("def/kxsyfchk_sol" + std::to_string(iMinor) + ".csv", iRows);
    }
    // Runs the tool with a 2-second command limit and checks what every run must keep:
    // the host untouched, nothing but the trace and its history left in trace/.
    RunResult run(const std::string& iOutLog = "out.log",
                  std::map<std::string, std::string> iEnv = {}) const
    {
        std::map<std::string, std::string> aHost = kxtest::snapshot(mHost.path());
        std::vector<std::string> aTraceBefore = kxtest::listDir(mTool / "trace");
        iEnv.emplace("KXSYFCHK_COMMAND_TIMEOUT", "2");
        RunResult aRun = kxtest::runTool(mTool, mHost, {mTool / iOutLog}, iEnv);
        EXPECT_EQ(aHost, kxtest::snapshot(mHost.path()));
        static const std::regex sTraceFile("trace(_0[123])?\\.log");
        for (const std::string& aName : kxtest::listDir(mTool / "trace")) {
            bool aBefore = std::count(aTraceBefore.begin(), aTraceBefore.end(), aName) > 0;
            EXPECT_TRUE(aBefore || std::regex_match(aName, sTraceFile)) << aName << " left";
        }
        return aRun;
    }
    std::string trace() const { return mTool.trace(); }
    std::string outLog() const { return kxtest::maskStamps(kxtest::readFile(mTool / "out.log")); }
    ToolDir mTool;
    Host mHost;
};

void makeFifo(const std::string& iPath)
{
    remove(iPath.c_str());
    kxtest::makeDirs(iPath.substr(0, iPath.rfind('/')));
    ASSERT_EQ(0, mkfifo(iPath.c_str(), 0600)) << iPath;
}

// Runs that must fail, each for what it is: the exit status, the console and the trace
// line that names the cause.
TEST(Hostile, FailuresSayWhatHappened)
{
    const std::string kCalc = "Solaris9,,,,,msgsys:msginfo_msgtql,,,fixed,,calc\n";
    struct Case {
        const char* Name;
        std::function<void(Scene&)> Setup;
        std::string Console;
        std::string Trace;
        std::string OutLog = "out.log";
    } aCases[] = {
        {"FIFO as /etc/system", [](Scene& s) { makeFifo(s.mHost / "etc/system"); },
         kStarted + kNotice, "ファイルオープン失敗："},
        {"FIFO as /etc/project",
         [](Scene& s) {
             s.mHost.solaris(10);
             s.rows(10, "Solaris10,,,,,project.max-shm-ids,user.root,priv,fixed,,1\n");
             makeFifo(s.mHost / "etc/project");
         },
         kStarted + kNotice, "ファイルオープンエラー"},
        {"FIFO as the installation file",
         [](Scene& s) { makeFifo(s.mHost / "opt/vestrel/etc/vestrel.reg"); }, kNotice,
         "インストール情報ファイルが通常ファイルではない"},
        {"uname never ends", [](Scene& s) { s.mHost.script("/usr/bin/uname", "sleep 60\n"); },
         kStarted + kNotice, "[コマンドタイムアウト]=[2秒]"},
        {"id never ends", [](Scene& s) { s.mHost.script("/usr/bin/id", "sleep 60\n"); }, kNotice,
         "[コマンドタイムアウト]=[2秒]"},
        {"sysdef leaves a child holding its output",
         [=](Scene& s) {
             s.rows(9, kCalc);
             s.mHost.script("/usr/sbin/sysdef",
                            std::string("(sleep 60) &\nprintf '") + kMsgmnbLine + "'\n");
         },
         kStarted + kNotice, "[コマンドタイムアウト]=[2秒]"},
        {"prtconf never ends",
         [](Scene& s) {
             s.mHost.solaris(10);
             s.rows(10, "Solaris10,,,,,project.max-shm-memory,,,additional,calc,1\n");
             s.mHost.file("/etc/project", "user.root:1::::project.max-shm-memory=(priv,1,deny)\n");
             s.mHost.script("/usr/sbin/prtconf", "sleep 60\n");
         },
         kStarted + kNotice, "[コマンドタイムアウト]=[2秒]"},
        {"a 2.5 GiB first line",
         [](Scene& s) {
             s.mHost.file("/etc/system", "");
             ASSERT_EQ(0, truncate((s.mHost / "etc/system").c_str(), 5LL << 29));
         },
         kStarted + kNotice, "ファイル読み込みエラー"},
        {"no id", [](Scene& s) { remove((s.mHost / "usr/bin/id").c_str()); }, kNotice,
         "idコマンドの結果が得られない"},
        {"a directory at the flag file's path",
         [](Scene& s) { kxtest::makeDirs(s.mTool / "trace/kxsyfchk.flg"); }, kNotice,
         "フラグファイルを作成できない原因[Is a directory]"},
        {"the installation file is a directory",
         [](Scene& s) {
             remove((s.mHost / "opt/vestrel/etc/vestrel.reg").c_str());
             kxtest::makeDirs(s.mHost / "opt/vestrel/etc/vestrel.reg");
         },
         kNotice, "インストール情報ファイルが通常ファイルではない"},
        {"uname says 5.1x", [](Scene& s) { s.mHost.command("/usr/bin/uname", "5.1x\n"); },
         kStarted + kNotice, "(sscanf失敗)"},
        {"sysdef says 0x",
         [=](Scene& s) {
             s.rows(9, kCalc);
             s.mHost.command("/usr/sbin/sysdef", "0x\tmax bytes on queue (MSGMNB)\n");
         },
         kStarted + kNotice, "数値以外の文字あり(16進)[0x]"},
        {"the output log is a link to a file",
         [](Scene& s) {
             s.mHost.file("/etc/motd", "welcome\n");
             ASSERT_EQ(0, symlink((s.mHost / "etc/motd").c_str(), (s.mTool / "link.log").c_str()));
         },
         kNoLog, "[出力ログファイルアクセスエラー]", "link.log"},
        {"the output log is a dangling link",
         [](Scene& s) {
             ASSERT_EQ(0, symlink((s.mHost / "etc/nologin").c_str(), (s.mTool / "link.log").c_str()));
         },
         kNoLog, "[出力ログファイルアクセスエラー]", "link.log"},
        {"the trace file is a link",
         [](Scene& s) {
             s.mHost.file("/etc/motd", "welcome\n");
             ASSERT_EQ(0, symlink((s.mHost / "etc/motd").c_str(),
                                  (s.mTool / "trace/trace.log").c_str()));
         },
         kNoLog, ""},
    };
    for (const Case& aCase : aCases) {
        Scene aScene;
        aCase.Setup(aScene);
        auto aStart = std::chrono::steady_clock::now();
        RunResult aRun = aScene.run(aCase.OutLog);
        EXPECT_LT(std::chrono::steady_clock::now() - aStart, std::chrono::seconds(20)) << aCase.Name;
        EXPECT_EQ(255, aRun.Status) << aCase.Name;
        EXPECT_TRUE(sameBytes(aCase.Console, aRun.Out)) << aCase.Name;
        EXPECT_NE(std::string::npos, aScene.trace().find(aCase.Trace)) << aCase.Name;
        EXPECT_FALSE(kxtest::exists(aScene.mTool / "out.log")) << aCase.Name;
        EXPECT_FALSE(kxtest::exists(aScene.mHost / "etc/nologin")) << aCase.Name;
    }
}

// Under a host root nothing is read or run from outside it: an absolute link is taken from
// the root, as on the host; one that leaves the root is refused as unreadable, with a
// trace line naming it, and nothing of what lies outside reaches the trace.
TEST(Hostile, HostPathsStayInTheRoot)
{
    kxtest::TempDir aOutside;
    kxtest::writeFile(aOutside / "project",
                      "user.root:1::::project.max-shm-ids=(priv,512,deny)\n#SECRET\n");
    kxtest::writeFile(aOutside / "etc/system", "set rlim_fd_max=1024\n* SECRET\n");
    kxtest::writeFile(aOutside / "tolv/etc/tolvrc", "servmax = 1000000\n# SECRET\n");
    kxtest::writeFile(aOutside / "id", "#!/bin/sh\necho 'uid=0(root) gid=0(root) SECRET'\n");
    chmod((aOutside / "id").c_str(), 0755);
    std::string aUp;
    for (int i = 0; i < 32; i++) {
        aUp += "../";
    }
    aUp += aOutside.path().substr(1);
    const std::string kShmIds = "Solaris10,,,,,project.max-shm-ids,user.root,priv,fixed,,256\n";
    auto aLink = [](const Scene& iScene, const std::string& iTarget, const std::string& iAt) {
        kxtest::makeDirs(iScene.mHost / iAt.substr(1, iAt.rfind('/')));
        remove((iScene.mHost / iAt.substr(1)).c_str());
        ASSERT_EQ(0, symlink(iTarget.c_str(), (iScene.mHost / iAt.substr(1)).c_str())) << iAt;
    };
    struct Case {
        const char* Name;
        std::function<void(Scene&)> Setup;
        int Status;
        std::string Console;
        std::string Refused; // the link named in the trace, "" for none
    } aCases[] = {
        {"/etc/project leaves the root",
         [&](Scene& s) {
             s.mHost.solaris(10);
             s.rows(10, kShmIds);
             aLink(s, aUp + "/project", "/etc/project");
         },
         255, kStarted + kNotice, "/etc/project"},
        {"/etc/project is absolute, within the root",
         [&](Scene& s) {
             s.mHost.solaris(10);
             s.rows(10, kShmIds);
             s.mHost.file("/snap/project", "user.root:1::::project.max-shm-ids=(priv,512,deny)\n");
             aLink(s, "/snap/project", "/etc/project");
         },
         0, kStarted + kPassed, ""},
        {"/etc/system.d leaves the root",
         [&](Scene& s) {
             s.mHost.solaris(11);
             s.rows(11, "Solaris11,,,,,rlim_fd_max,,,fixed,,1024\n");
             aLink(s, aUp + "/etc", "/etc/system.d");
         },
         255, kStarted + kNotice, "/etc/system.d"},
        {"a fragment leaves the root",
         [&](Scene& s) {
             s.mHost.solaris(11);
             s.rows(11, "Solaris11,,,,,rlim_fd_max,,,fixed,,1024\n");
             aLink(s, aUp + "/etc/system", "/etc/system.d/kx");
         },
         255, kStarted + kNotice, "/etc/system.d/kx"},
        {"/usr/bin/id leaves the root", [&](Scene& s) { aLink(s, aUp + "/id", "/usr/bin/id"); },
         255, kNotice, "/usr/bin/id"},
        {"a directory on the way leaves the root",
         [&](Scene& s) {
             s.rows(9, "Solaris9,,,,,msgsys:msginfo_msgtql,,,fixed,,calc\n");
             s.mHost.command("/usr/sbin/sysdef", kMsgmnbLine);
             aLink(s, aUp + "/tolv", "/opt/ZVNQkxsdl");
         },
         0, kStarted + kPassed, "/opt/ZVNQkxsdl"},
        {"a link to itself", [&](Scene& s) { aLink(s, "system", "/etc/system"); }, 255,
         kStarted + kNotice, "/etc/system"},
    };
    for (const Case& aCase : aCases) {
        Scene aScene;
        aCase.Setup(aScene);
        RunResult aRun = aScene.run();
        EXPECT_EQ(aCase.Status, aRun.Status) << aCase.Name;
        EXPECT_TRUE(sameBytes(aCase.Console, aRun.Out)) << aCase.Name;
        std::string aTrace = aScene.trace();
        EXPECT_EQ(std::string::npos, aTrace.find("SECRET")) << aCase.Name;
        std::string aRefusal = "kxg_getHostPath ホストルート内で解決できないシンボリックリンクは読まない[" +
                               aScene.mHost.path() + aCase.Refused + "]->[";
        EXPECT_EQ(!aCase.Refused.empty(), aTrace.find(aRefusal) != std::string::npos) << aCase.Name;
    }
}

// A report that the file system cannot take whole leaves the output log as the run found
// it: absent when the run created it, at its old size when it was there. The file size
// limit (with its signal ignored) makes the writes fail as a full file system does.
TEST(Hostile, OutputLogOnAFullFileSystem)
{
    std::string aRows;
    for (const char* aName : {"semmni", "semmns", "semmnu", "semmsl", "semopm", "semume",
                              "semvmx", "semaem"}) {
        aRows += std::string("Solaris9,,,,,semsys:seminfo_") + aName + ",,,fixed,,1\n";
    }
    const std::string kOld = std::string(1000, 'o') + "\n";
    struct Case {
        const char* Name;
        const char* Blocks; // of 512 bytes
        bool Existed;
        int Status;
    } aCases[] = {
        {"a new output log", "1", false, 255},
        {"an output log that was there", "2", true, 255},
        {"room for the whole report", "100", false, 1},
    };
    for (const Case& aCase : aCases) {
        Scene aScene;
        aScene.rows(9, aRows);
        if (aCase.Existed) {
            kxtest::writeFile(aScene.mTool / "out.log", kOld);
        }
        RunResult aRun = kxtest::runProgram(
            "/bin/sh",
            {"-c", "trap '' XFSZ; ulimit -f \"$1\" || exit 99; shift; exec \"$@\"", "sh",
             aCase.Blocks, aScene.mTool.binary(), aScene.mTool / "out.log"},
            {{"KXDEFCHK_HOST_ROOT", aScene.mHost.path()}}, aScene.mTool / "bin");
        EXPECT_EQ(aCase.Status, aRun.Status) << aCase.Name;
        if (aCase.Status == 1) {
            EXPECT_TRUE(sameBytes(kStarted + kFindings, aRun.Out)) << aCase.Name;
            std::string aLog = aScene.outLog();
            EXPECT_EQ(11 + 8, std::count(aLog.begin(), aLog.end(), '\n')) << aCase.Name;
            continue;
        }
        // No "see the output log" before the failure notice.
        EXPECT_TRUE(sameBytes(kStarted + kNotice, aRun.Out)) << aCase.Name;
        EXPECT_EQ(aCase.Existed, kxtest::exists(aScene.mTool / "out.log")) << aCase.Name;
        if (aCase.Existed) {
            EXPECT_TRUE(sameBytes(kOld, kxtest::readFile(aScene.mTool / "out.log"))) << aCase.Name;
        }
    }
}

// What a command writes to its standard error, the shell's "not found" included, goes to
// the trace and never to the console.
TEST(Hostile, CommandErrorsGoToTheTrace)
{
    struct Case {
        const char* Name;
        std::function<void(Scene&)> Setup;
        int Status;
        std::string Trace;
    } aCases[] = {
        {"no id", [](Scene& s) { remove((s.mHost / "usr/bin/id").c_str()); }, 255, "not found]"},
        {"uname complains",
         [](Scene& s) { s.mHost.script("/usr/bin/uname", "echo 'uname: hush' >&2\necho 5.9\n"); },
         0, "[標準エラー出力]=[uname: hush]"},
        {"sysdef complains in a pipeline",
         [](Scene& s) {
             s.rows(9, "Solaris9,,,,,msgsys:msginfo_msgtql,,,fixed,,calc\n");
             s.mHost.script("/usr/sbin/sysdef", std::string("echo 'sysdef: hush' >&2\nprintf '") +
                                                    kMsgmnbLine + "'\n");
         },
         0, "[標準エラー出力]=[sysdef: hush]"},
    };
    for (const Case& aCase : aCases) {
        Scene aScene;
        aCase.Setup(aScene);
        RunResult aRun = aScene.run();
        EXPECT_EQ(aCase.Status, aRun.Status) << aCase.Name;
        EXPECT_TRUE(sameBytes("", aRun.Err)) << aCase.Name;
        EXPECT_NE(std::string::npos, aScene.trace().find(aCase.Trace)) << aCase.Name;
    }
}

// The report of each run keeps every line whole: unconvertible bytes, fields cut in a
// character, code sets that grow texts or hold zero bytes.
TEST(Hostile, ReportsStayWhole)
{
    const std::string kShmIds = "Solaris10,,,,,project.max-shm-ids,user.root,priv,fixed,,256\n";
    struct Case {
        const char* Name;
        const char* Code;
        std::string Rows;
        std::string File;    // the host file that sets the value
        std::string Content;
        std::string Line;
    } aCases[] = {
        {"a byte UTF-8 cannot take", "UTF-8", "Solaris10,,,,,zfs:x,,,fixed,,256\n", "/etc/system",
         "set zfs:x=12\xff" "3\n", " zfs:x, 12?3, , , 最小必要値以下です。(最小必要値：256)\n"},
        {"a privilege cut in a character", "UTF-8", "Solaris10,,,,,zone.max-lwps,,priv,fixed,,512\n",
         "/usr/sbin/zonecfg", "rctl:\n\tname: zone.max-lwps\n\tvalue: (priv=特権レベル名,limit=512,action=deny)\n",
         " zone.max-lwps, 512, , 特権レベル, 権限が誤っています。(必要権限：priv)\n"},
        {"UTF-7", "UTF-7", kShmIds, "/etc/project", "user.root:1::::project.max-shm-ids=(priv,1,deny)\n",
         " project.max-shm-ids, 1, user.root, priv, 最小必要値以下です。(最小必要値：256)\n"},
        {"UTF-16", "UTF-16BE", kShmIds, "/etc/project",
         "user.root:1::::project.max-shm-ids=(priv,1,deny)\n",
         " project.max-shm-ids, 1, user.root, priv, 最小必要値以下です。(最小必要値：256)\n"},
    };
    for (const Case& aCase : aCases) {
        Scene aScene;
        aScene.mHost.solaris(10);
        aScene.mHost.vestrel("D", "28", "NRDA", "4", "JAPANESE", aCase.Code);
        aScene.rows(10, aCase.Rows);
        if (aCase.File == "/usr/sbin/zonecfg") {
            aScene.mHost.command(aCase.File, aCase.Content);
        } else {
            aScene.mHost.file(aCase.File, aCase.Content);
        }
        RunResult aRun = aScene.run();
        EXPECT_EQ(1, aRun.Status) << aCase.Name;
        // Each piece is converted on its own; the message header's stamp, tool, level
        // and identifier are written as they are.
        auto aConv = [&](const std::string& iText) {
            return kxtest::convert(iText, aCase.Code, "EUC-JP");
        };
        std::string aExpected = aConv(kTitle) + "\n[stamp] KxDefChk:ERROR:07001:" + aConv(kMsgText) +
                                "\n\n" + aConv(kMsgBody) + aConv(kProjectHeading) +
                                aConv(aCase.Line) + aConv("\n\n");
        EXPECT_TRUE(sameBytes(aExpected, aScene.outLog())) << aCase.Name;
    }
}

TEST(Hostile, DisksAndTimeStayBounded)
{
    // A huge catalog body of escapes is expanded in linear time.
    Scene aScene;
    aScene.mHost.file("/etc/system", "");
    std::string aTabs;
    for (int i = 0; i < (1 << 19); i++) {
        aTabs += "\\t";
    }
    aScene.mTool.putText("sys/OutLogMessage.csv", "KxDefChk,0,07001,t," + aTabs + "\n");
    auto aStart = std::chrono::steady_clock::now();
    EXPECT_EQ(1, aScene.run().Status);
    EXPECT_LT(std::chrono::steady_clock::now() - aStart, std::chrono::seconds(10));
    EXPECT_NE(std::string::npos, aScene.outLog().find(std::string(1 << 19, '\t') + kSetHeading));

    // One run's trace stays within the four files, however much it writes.
    Scene aFlood;
    aFlood.mHost.solaris(10);
    aFlood.rows(10, "Solaris10,,,,,project.max-shm-ids,user.root,priv,fixed,,256\n");
    aFlood.mHost.file("/etc/project", "user.root:1::::" + std::string(1 << 19, ';') + "\n");
    EXPECT_EQ(1, aFlood.run().Status);
    off_t aTotal = 0;
    for (const std::string& aName : kxtest::listDir(aFlood.mTool / "trace")) {
        struct stat aStat;
        ASSERT_EQ(0, stat((aFlood.mTool / "trace/" + aName).c_str(), &aStat));
        EXPECT_LE(aStat.st_size, 16 * 1048576 + 8192) << aName;
        aTotal += aStat.st_size;
    }
    EXPECT_GT(aTotal, 16 * 1048576);
}

// A host root given relative to the working directory, even one that begins with "-".
TEST(Hostile, RelativeHostRoot)
{
    Scene aScene;
    ASSERT_EQ(0, symlink(aScene.mHost.path().c_str(), (aScene.mTool / "bin/-host").c_str()));
    RunResult aRun = kxtest::runProgram(aScene.mTool.binary(), {aScene.mTool / "out.log"},
                                        {{"KXDEFCHK_HOST_ROOT", "-host"}}, aScene.mTool / "bin");
    EXPECT_EQ(0, aRun.Status);
    EXPECT_TRUE(sameBytes(kStarted + kPassed, aRun.Out));
}

// Ten instances started at once on one tool directory and one output log: each either
// writes its whole report or is refused as a second instance; a run killed mid-way
// leaves nothing that stops or spoils the next.
TEST(Hostile, ConcurrentStartsAndAKilledRun)
{
    Scene aScene;
    aScene.rows(9, "Solaris9,,,,,semsys:seminfo_semmni,,,additional,10,256\n"
                   "Solaris9,,,,,msgsys:msginfo_msgtql,,,fixed,,calc\n");
    aScene.mHost.script("/usr/sbin/sysdef",
                        "[ -e \"$0.slow\" ] && sleep 10\nsleep 0.2\nprintf '" +
                            std::string(kMsgmnbLine) + "'\n");
    const std::string aSpawn =
        "cd \"$1\" || exit 1\nfor i in 1 2 3 4 5 6 7 8 9 10; do\n"
        "  (bin/kxsyfchk \"$1/out.log\" > con.$i; echo $? > st.$i) &\n"
        "done\nwait\n";
    RunResult aAll = kxtest::runProgram("/bin/sh", {"-c", aSpawn, "sh", aScene.mTool.path()},
                                        {{"KXDEFCHK_HOST_ROOT", aScene.mHost.path()}}, "/");
    ASSERT_EQ(0, aAll.Status);
    int aReports = 0;
    for (int i = 1; i <= 10; i++) {
        std::string aStatus = kxtest::readFile(aScene.mTool / ("st." + std::to_string(i)));
        std::string aConsole = kxtest::readFile(aScene.mTool / ("con." + std::to_string(i)));
        if (aStatus == "1\n") {
            aReports++;
            EXPECT_TRUE(sameBytes(kStarted + kFindings, aConsole));
        } else {
            EXPECT_EQ("255\n", aStatus);
            EXPECT_TRUE(sameBytes(kRunning, aConsole));
        }
    }
    const std::string aBlock = kTitle + "\n[stamp] KxDefChk:ERROR:07001:" + kMsgText + "\n\n" +
                               kMsgBody + kSetHeading +
                               " semsys:seminfo_semmni, , パラメタ設定がありません。\n\n\n";
    std::string aBlocks;
    for (int i = 0; i < aReports; i++) {
        aBlocks += aBlock;
    }
    EXPECT_GE(aReports, 1);
    EXPECT_TRUE(sameBytes(aBlocks, aScene.outLog()));

    // Killed while sysdef runs: its flag file and temporary file stay behind.
    aScene.mHost.file("/usr/sbin/sysdef.slow", "");
    const std::string aKill =
        "cd \"$1\" || exit 1\nbin/kxsyfchk \"$1/killed.log\" > /dev/null & pid=$!\n"
        "while [ ! -e \"$1/trace/kxl_getSystemVal\" ]; do sleep 0.05; done\n"
        "kill -9 $pid; wait $pid; rm \"$2\"\n";
    kxtest::runProgram("/bin/sh",
                       {"-c", aKill, "sh", aScene.mTool.path(), aScene.mHost / "usr/sbin/sysdef.slow"},
                       {{"KXDEFCHK_HOST_ROOT", aScene.mHost.path()}}, "/");
    EXPECT_TRUE(kxtest::exists(aScene.mTool / "trace/kxsyfchk.flg"));
    remove((aScene.mTool / "out.log").c_str());
    RunResult aRerun = aScene.run();
    EXPECT_EQ(1, aRerun.Status);
    EXPECT_TRUE(sameBytes(aBlock, aScene.outLog()));
    EXPECT_EQ(std::vector<std::string>{"trace.log"}, kxtest::listDir(aScene.mTool / "trace"));
}

} // namespace
