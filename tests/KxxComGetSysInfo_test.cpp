// Tests of the host services: file probes, commands run through temporary files, the
// Solaris release, the superuser check and the command lock.
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "KxTestSupport.h"
#include "KxxComGetSysInfo.h"
#include "KxxComOutTrace.h"
#include "KxxComString.h"
#include "KxxComSysBase.h"

namespace {

using kxtest::exists;
using kxtest::Host;
using kxtest::HostRootScope;
using kxtest::readFile;
using kxtest::TempDir;
using kxtest::TraceScope;
using kxtest::writeFile;

bool traced(const TraceScope& iTrace, const std::string& iMessage)
{
    for (const std::string& aLine : iTrace.messages()) {
        if (aLine == iMessage) {
            return true;
        }
    }
    return false;
}

// Index of the first trace message equal to iMessage, or -1.
long tracedAt(const TraceScope& iTrace, const std::string& iMessage)
{
    std::vector<std::string> aLines = iTrace.messages();
    for (size_t i = 0; i < aLines.size(); i++) {
        if (aLines[i] == iMessage) {
            return static_cast<long>(i);
        }
    }
    return -1;
}

// Reads the whole output file as kxg_readFileRow hands it out.
std::string readAll(FILE* iFile)
{
    std::string aAll, aLine;
    while (kxg_readFileRow(iFile, aLine) == 0) {
        aAll += aLine;
    }
    return aAll;
}

TEST(ChkFileExist, KindOfPathAndOnlyFilesRemoved)
{
    TempDir aDir;
    writeFile(aDir / "file", "x");
    ASSERT_EQ(0, mkfifo((aDir / "fifo").c_str(), 0600));
    struct Case {
        std::string Path;
        int Kind;
    } aCases[] = {
        {aDir / "file", 3}, {aDir.path(), 4}, {aDir / "fifo", 5}, {aDir / "missing", -9989},
    };
    for (const Case& aCase : aCases) {
        EXPECT_EQ(aCase.Kind, kxg_chkFileExist(aCase.Path)) << aCase.Path;
    }
    kxg_delFileRemove(aDir / "file");
    kxg_delFileRemove(aDir.path());
    EXPECT_FALSE(exists(aDir / "file"));
    EXPECT_TRUE(exists(aDir.path()));
}

TEST(SComTmpFile, StaleFileRemovedOutputReadAndFileGoneAfterClose)
{
    TraceScope aTrace;
    std::string aPath = aTrace.toolDir() + "/trace/kxtest_query";
    writeFile(aPath, "left by an earlier run\n");
    FilePtr aFile;
    int aStatus = -1;
    ASSERT_EQ(0, kxg_opnSComTmpFile(aFile, "kxtest_query", "(echo fresh; exit 3)", aStatus));
    ASSERT_TRUE(aFile);
    EXPECT_EQ(3, aStatus);
    EXPECT_EQ("fresh\n", readAll(aFile.get()));
    long aLeft = tracedAt(aTrace, "テンポラリファイル残存[" + aPath + "]");
    ASSERT_GE(aLeft, 0);
    EXPECT_EQ(aLeft + 1, tracedAt(aTrace, "テンポラリファイル消去成功"));
    EXPECT_TRUE(traced(aTrace, "(echo fresh; exit 3) > " + aPath));

    EXPECT_EQ(0, kxg_cloSComTmpFile(aFile, "kxtest_query"));
    EXPECT_FALSE(aFile);
    EXPECT_FALSE(exists(aPath));
}

TEST(SComTmpFile, SymbolicLinkAtThePathIsNotWrittenThrough)
{
    TraceScope aTrace;
    TempDir aElsewhere;
    std::string aTarget = aElsewhere / "precious";
    writeFile(aTarget, "keep me\n");
    std::string aPath = aTrace.toolDir() + "/trace/kxtest_query";
    ASSERT_EQ(0, symlink(aTarget.c_str(), aPath.c_str()));
    FilePtr aFile;
    int aStatus = -1;
    ASSERT_EQ(0, kxg_opnSComTmpFile(aFile, "kxtest_query", "echo fresh", aStatus));
    EXPECT_EQ("fresh\n", readAll(aFile.get()));
    EXPECT_EQ("keep me\n", readFile(aTarget));
    kxg_cloSComTmpFile(aFile, "kxtest_query");
}

TEST(SComTmpFile, ToolDirectoryWithBlanksAndQuotes)
{
    TraceScope aTrace;
    std::string aTool = aTrace.toolDir() + "/my tool's dir";
    kxtest::makeDirs(aTool + "/trace");
    gKXDefChkPath = aTool;
    FilePtr aFile;
    int aStatus = -1;
    ASSERT_EQ(0, kxg_opnSComTmpFile(aFile, "kxtest_query", "echo fresh", aStatus));
    EXPECT_EQ(0, aStatus);
    EXPECT_EQ("fresh\n", readAll(aFile.get()));
    kxg_cloSComTmpFile(aFile, "kxtest_query");
    EXPECT_FALSE(exists(aTool + "/trace/kxtest_query"));
}

TEST(RunSysCom, StatusIsTheHighByte)
{
    TraceScope aTrace;
    struct Case {
        std::string Command;
        int Status;
        std::string Raw;
    } aCases[] = {
        {"exit 3", 3, "[system復帰値]=[768]"},
        {"exit 255", 255, "[system復帰値]=[65280]"},
        // The shell kills itself: the status holds only the signal.
        {"kill -KILL $$", 0, "[system復帰値]=[9]"},
    };
    for (const Case& aCase : aCases) {
        EXPECT_EQ(aCase.Status, kxg_runSysCom(aCase.Command)) << aCase.Command;
        EXPECT_TRUE(traced(aTrace, aCase.Raw)) << aCase.Command;
        EXPECT_TRUE(traced(aTrace, "[command復帰値]=[" + std::to_string(aCase.Status) + "]"));
    }
    EXPECT_EQ(3, kxg_runProc("exit 3"));
}

// A time limit that is no whole number of 1 to 86400 seconds is refused aloud.
TEST(RunSysCom, RefusedTimeLimitIsTraced)
{
    const std::string kRefused = "]は無効(1から86400秒まで) 制限時間[120秒]で実行";
    struct Case {
        std::string Value;
        bool Refused;
    } aCases[] = {
        {"0", true},     {"-1", true},    {"86401", true},
        {"abc", true},   {"0x2", true},   {std::string(23, '9'), true},
        {" 5", true},    {"5", false},    {"86400", false},
        {"", false},
    };
    for (const Case& aCase : aCases) {
        TraceScope aTrace;
        kxtest::EnvScope aEnv;
        aEnv.set("KXSYFCHK_COMMAND_TIMEOUT", aCase.Value);
        EXPECT_EQ(0, kxg_runSysCom("exit 0")) << aCase.Value;
        EXPECT_EQ(aCase.Refused,
                  traced(aTrace, "[KXSYFCHK_COMMAND_TIMEOUT]=[" + aCase.Value + kRefused))
            << aCase.Value;
    }
}

TEST(GetSUNOSVer, ReleaseFromUname)
{
    struct Case {
        std::string Output;
        int Result;
        int Minor;
        std::string LastTrace;
    } aCases[] = {
        {"5.10\n", 0, 10, "Solarisバージョン結果[5.10]"},
        {"5.8\n", 0, 8, "Solarisバージョン結果[5.8]"},
        {"6.1\n", -9988, -1, "uname -rコマンドが想定外の値を返却(5.xでない)"},
        {"510\n", -9988, -1, "uname -rコマンドが想定外の値を返却(strrchr失敗)"},
        {"5.x\n", -9988, -1, "uname -rコマンドが想定外の値を返却(sscanf失敗)"},
        {"5.99999999999\n", -9988, -1, "uname -rコマンドが想定外の値を返却(sscanf失敗)"},
        // Digits, ".", digits and nothing else: no sign, no blank inside.
        {"5.-10\n", -9988, -1, "uname -rコマンドが想定外の値を返却(sscanf失敗)"},
        {"5.+10\n", -9988, -1, "uname -rコマンドが想定外の値を返却(sscanf失敗)"},
        {"5. 10\n", -9988, -1, "uname -rコマンドが想定外の値を返却(sscanf失敗)"},
        {"+5.10\n", -9988, -1, "uname -rコマンドが想定外の値を返却(sscanf失敗)"},
        {"5.10.1\n", -9988, -1, "uname -rコマンドが想定外の値を返却(sscanf失敗)"},
        {"5.\n", -9988, -1, "uname -rコマンドが想定外の値を返却(sscanf失敗)"},
        {"", -9988, -1, "コマンド実行結果ファイルが空だった"},
    };
    for (const Case& aCase : aCases) {
        TraceScope aTrace;
        Host aHost;
        aHost.command("/usr/bin/uname", aCase.Output);
        HostRootScope aRoot(aHost.path());
        int aMinor = -1;
        EXPECT_EQ(aCase.Result, kxg_getSUNOSVer(aMinor)) << aCase.Output;
        EXPECT_EQ(aCase.Minor, aMinor) << aCase.Output;
        EXPECT_EQ(aCase.LastTrace, aTrace.messages().back()) << aCase.Output;
        EXPECT_FALSE(exists(aTrace.toolDir() + "/trace/kxg_getSUNOSVer")) << aCase.Output;
    }
}

TEST(ChkAdmin, RootFoundInIdOutput)
{
    struct Case {
        std::string Output;
        int Result;
        int Status = 0;
    } aCases[] = {
        {"uid=0(root) gid=0(root)\n", 0},
        {"uid=100(kxadm) gid=10(staff)\n", 6},
        {"uid=10(root0) gid=0(root)\n", 6},
        {"uid=1000(x)\nuid=0(root)\n", 0},
        // No answer at all, or a failed id, is no answer about the user.
        {"", -9998},
        {"uid=0(root) gid=0(root)\n", -9998, 2},
    };
    for (const Case& aCase : aCases) {
        TraceScope aTrace;
        Host aHost;
        aHost.command("/usr/bin/id", aCase.Output, aCase.Status);
        HostRootScope aRoot(aHost.path());
        EXPECT_EQ(aCase.Result, kxg_chkAdmin()) << aCase.Output;
        EXPECT_FALSE(exists(aTrace.toolDir() + "/trace/kxl_chkAdmin_Sub")) << aCase.Output;
    }
}

TEST(ChkAdmin, UnreadableOutput)
{
    TraceScope aTrace;
    Host aHost;
    aHost.solaris(10);
    HostRootScope aRoot(aHost.path());
    rmdir((aTrace.toolDir() + "/trace").c_str());
    EXPECT_EQ(-9998, kxg_chkAdmin());
}

// The command lock is per process: a second holder has to be another process. The child
// takes the lock, reports its answer and waits until it is killed, leaving its flag file
// behind as a killed run does.
class LockHolder {
public:
    LockHolder()
    {
        int aAnswer[2];
        if (pipe(aAnswer) != 0) {
            throw std::runtime_error("pipe failed");
        }
        fflush(nullptr);
        mPid = fork();
        if (mPid == 0) {
            kxg_iniRCommand();
            int aResult = kxg_rocCommand();
            if (write(aAnswer[1], &aResult, sizeof aResult) == sizeof aResult) {
                for (;;) {
                    pause();
                }
            }
            _exit(1);
        }
        close(aAnswer[1]);
        if (read(aAnswer[0], &mResult, sizeof mResult) != sizeof mResult) {
            mResult = 1;
        }
        close(aAnswer[0]);
    }
    ~LockHolder() { kill(); }
    int result() const { return mResult; }
    void kill()
    {
        if (mPid > 0) {
            ::kill(mPid, SIGKILL);
            waitpid(mPid, nullptr, 0);
            mPid = -1;
        }
    }

private:
    pid_t mPid = -1;
    int mResult = 1;
};

TEST(CommandLock, SecondInstanceRefusedAndFirstFlagFileKept)
{
    TraceScope aTrace;
    std::string aFlag = aTrace.toolDir() + "/trace/kxsyfchk.flg";
    LockHolder aFirst;
    ASSERT_EQ(0, aFirst.result());
    ASSERT_TRUE(exists(aFlag));

    kxg_iniRCommand();
    EXPECT_EQ(-9976, kxg_rocCommand());
    EXPECT_EQ(1, gRockFLG);
    EXPECT_EQ("■二重起動■[" + aFlag + "]", aTrace.messages().back());
    EXPECT_EQ(-1, kxg_unrCommand(-1));
    EXPECT_TRUE(exists(aFlag));

    // Killed without its end sequence: the file it leaves does not block the next run.
    aFirst.kill();
    ASSERT_TRUE(exists(aFlag));
    kxg_iniRCommand();
    EXPECT_EQ(0, kxg_rocCommand());
    EXPECT_EQ(0, gRockFLG);
    EXPECT_EQ(1, kxg_unrCommand(1));
    EXPECT_FALSE(exists(aFlag));
    EXPECT_EQ(-1, tracedAt(aTrace, "■二重起動 又は ファイルロック■[" + aFlag + "]"));
}

TEST(CommandLock, FlagFileNotOpened)
{
    TraceScope aTrace;
    std::string aFlag = aTrace.toolDir() + "/trace/kxsyfchk.flg";
    kxtest::makeDirs(aFlag);
    kxg_iniRCommand();
    // Not another instance: a failure with its cause, not a refusal as a second start.
    EXPECT_EQ(-9998, kxg_rocCommand());
    EXPECT_EQ("フラグファイルを作成できない原因[Is a directory]", aTrace.messages().back());
    EXPECT_EQ(0, kxg_unrCommand(0));
    EXPECT_TRUE(exists(aFlag));
}

TEST(CommandLock, SymbolicLinkAtTheFlagPathDoesNotEmptyItsTarget)
{
    TraceScope aTrace;
    std::string aFlag = aTrace.toolDir() + "/trace/kxsyfchk.flg";
    std::string aTarget = aTrace.toolDir() + "/precious";
    kxtest::writeFile(aTarget, "keep me\n");
    ASSERT_EQ(0, symlink(aTarget.c_str(), aFlag.c_str()));
    kxg_iniRCommand();
    EXPECT_EQ(0, kxg_rocCommand());
    EXPECT_EQ(0, kxg_unrCommand(0));
    EXPECT_EQ("keep me\n", kxtest::readFile(aTarget));
    EXPECT_FALSE(exists(aFlag));
}

// Instances that start and end back to back must never run together: a late opener of a
// flag file that its holder is just removing must not take a lock on a file that is no
// longer in the directory.
TEST(CommandLock, NeverTwoHoldersUnderContention)
{
    TraceScope aTrace;
    struct Shared {
        std::atomic<int> Holders;
        std::atomic<int> Overlaps;
        std::atomic<int> Runs;
    };
    void* aMap = mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE,
                      MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(MAP_FAILED, aMap);
    Shared* aShared = new (aMap) Shared{{0}, {0}, {0}};
    const int kProcesses = 4;
    const int kAttempts = 300;
    std::vector<pid_t> aChildren;
    fflush(nullptr);
    for (int i = 0; i < kProcesses; i++) {
        pid_t aPid = fork();
        if (aPid == 0) {
            for (int aTry = 0; aTry < kAttempts; aTry++) {
                kxg_iniRCommand();
                if (kxg_rocCommand() != 0) {
                    continue;
                }
                if (++aShared->Holders > 1) {
                    ++aShared->Overlaps;
                }
                ++aShared->Runs;
                usleep(200);
                --aShared->Holders;
                kxg_unrCommand(0);
            }
            _exit(0);
        }
        aChildren.push_back(aPid);
    }
    for (pid_t aPid : aChildren) {
        waitpid(aPid, nullptr, 0);
    }
    EXPECT_EQ(0, aShared->Overlaps.load());
    EXPECT_GT(aShared->Runs.load(), 0);
    EXPECT_FALSE(exists(aTrace.toolDir() + "/trace/kxsyfchk.flg"));
    munmap(aMap, sizeof(Shared));
}

} // namespace
