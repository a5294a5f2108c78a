// KxxComGetSysInfo.cpp
#include "KxxComGetSysInfo.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "KxxComOutTrace.h"
#include "KxxComProcess.h"
#include "KxxComString.h"
#include "KxxComSysBase.h"

FilePtr gCommandRockFP;
int gRockFLG = 0;

namespace {

// Seconds a command may run before its process group is killed, unless
// KXSYFCHK_COMMAND_TIMEOUT says otherwise (at most a day).
const unsigned long kCommandTimeout = 120;
const unsigned long kCommandTimeoutMax = 86400;

std::string kxl_tmpFilePath(const char* iName)
{
    return *gKXDefChkPath + "/trace/" + iName;
}

// Opens iPath for writing like fopen's "w", but never through a symbolic link.
FilePtr kxl_openNoFollow(const std::string& iPath)
{
    int aFd = open(iPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (aFd < 0) {
        return FilePtr();
    }
    FilePtr aFile(fdopen(aFd, "w"));
    if (!aFile) {
        close(aFd);
    }
    return aFile;
}

// The shell's redirection writes through a symbolic link, so one at a temporary file's
// path is never taken over: it counts as stale like a regular file left behind.
bool kxl_isTmpFileLeft(const std::string& iPath)
{
    return kxg_isSymLink(iPath) || kxg_chkFileExist(iPath) == 3;
}

// Removes a temporary file left by an earlier or a concurrent run. false when it stays.
bool kxl_clearStaleTmpFile(const std::string& iPath)
{
    const char* aFunc = "kxg_opnSComTmpFileEx";
    if (!kxl_isTmpFileLeft(iPath)) {
        return true;
    }
    kxg_outWriteTracelogEx(aFunc, "テンポラリファイル残存[%s]", iPath.c_str());
    if (kxg_isSymLink(iPath)) {
        unlink(iPath.c_str());
    }
    kxg_delFileRemove(iPath);
    if (kxl_isTmpFileLeft(iPath)) {
        kxg_outWriteTracelogEx(aFunc, "■二重起動 又は テンポラリファイルロック エラー■[%s]",
                               iPath.c_str());
        return false;
    }
    kxg_outWriteTracelog(aFunc, "テンポラリファイル消去成功");
    return true;
}

// A release number: decimal digits only, no sign or blank, within int.
bool kxl_scanReleaseNumber(const std::string& iText, int& oNumber)
{
    if (iText.empty() || kxg_chkStrisDigit(iText) != 1) {
        return false;
    }
    errno = 0;
    unsigned long aNumber = strtoul(iText.c_str(), nullptr, 10);
    if (errno == ERANGE || aNumber > INT_MAX) {
        return false;
    }
    oNumber = static_cast<int>(aNumber);
    return true;
}

// Reads "digits.digits" and nothing else: "5.-10" or "+5.10" is no release.
bool kxl_scanRelease(const std::string& iText, int& oMajor, int& oMinor)
{
    size_t aDot = iText.find('.');
    return aDot != std::string::npos && kxl_scanReleaseNumber(iText.substr(0, aDot), oMajor) &&
           kxl_scanReleaseNumber(iText.substr(aDot + 1), oMinor);
}

// Checks the first line of `uname -r` for the form 5.x. 0 with oMinor set; else as
// kxg_getSUNOSVer.
int kxl_chkRelease(FILE* iFile, int& oMinor)
{
    const char* aFunc = "kxg_getSUNOSVer";
    std::string aLine;
    int aRead = kxg_readFileRow(iFile, aLine);
    if (aRead == -9993) {
        kxg_outWriteTracelog(aFunc, "メモリーの確保エラー");
        return -9993;
    }
    if (aRead != 0) {
        kxg_outWriteTracelog(aFunc, "コマンド実行結果ファイルが空だった");
        return -9988;
    }
    kxg_trimLeft(aLine);
    kxg_trimRight(aLine);
    kxg_outWriteTracelogEx(aFunc, "Solarisバージョン結果[%s]", aLine.c_str());
    if (aLine.find('.') == std::string::npos) {
        kxg_outWriteTracelog(aFunc, "uname -rコマンドが想定外の値を返却(strrchr失敗)");
        return -9988;
    }
    int aMajor = 0;
    int aMinor = 0;
    if (!kxl_scanRelease(aLine, aMajor, aMinor)) {
        kxg_outWriteTracelog(aFunc, "uname -rコマンドが想定外の値を返却(sscanf失敗)");
        return -9988;
    }
    if (aMajor != 5) {
        kxg_outWriteTracelog(aFunc, "uname -rコマンドが想定外の値を返却(5.xでない)");
        return -9988;
    }
    oMinor = aMinor;
    return 0;
}

// The flag file of the command lock: trace/<command>.flg. false when the tool directory
// or the command name is not known.
bool kxl_flagFilePath(std::string& oPath)
{
    if (!gKXDefChkPath || !gExecComName) {
        return false;
    }
    oPath = *gKXDefChkPath + "/trace/" + *gExecComName + ".flg";
    return true;
}

// Whether iFile is still the file at iPath: a releasing instance removes the flag file
// while it holds the lock, so a lock taken on a file no longer at the path is worthless.
bool kxl_isFileAtPath(FILE* iFile, const std::string& iPath)
{
    struct stat aOpen;
    struct stat aNamed;
    if (fstat(fileno(iFile), &aOpen) != 0 || stat(iPath.c_str(), &aNamed) != 0) {
        return false;
    }
    return aOpen.st_dev == aNamed.st_dev && aOpen.st_ino == aNamed.st_ino;
}

bool kxl_isEmptyFile(FILE* iFile)
{
    struct stat aStat;
    return fstat(fileno(iFile), &aStat) != 0 || aStat.st_size == 0;
}

// Looks for the superuser in the output of `id`. 0 found; 6 not; -9993 no memory.
int kxl_findRootUid(FILE* iFile)
{
    const char* aFunc = "kxl_chkAdmin_Sub";
    std::string aLine;
    int aRead;
    while ((aRead = kxg_readFileRow(iFile, aLine)) == 0) {
        kxg_trimLeft(aLine);
        kxg_trimRight(aLine);
        kxg_outDetailTracelogEx(aFunc, "id結果[%s]", aLine.c_str());
        if (aLine.find("uid=0(root)") != std::string::npos) {
            return 0;
        }
    }
    if (aRead == -9993) {
        kxg_outWriteTracelog(aFunc, "メモリーの確保エラー");
        return -9993;
    }
    return 6;
}

int kxl_chkAdmin_Sub()
{
    const char* aFunc = "kxl_chkAdmin_Sub";
    std::string aCommand = kxg_cnvShellWord(kxg_getHostPath("/usr/bin/id"));
    FilePtr aFile;
    int aStatus = 0;
    if (kxg_opnSComTmpFile(aFile, aFunc, aCommand, aStatus) != 0) {
        kxg_outWriteTracelog(aFunc, "コマンド実行結果オープンエラー");
        kxg_cloSComTmpFile(aFile, aFunc);
        return -9998;
    }
    // `id` always prints; a failed or silent one (missing, or a full file system for its
    // output) tells nothing about the user and must not pass for "not the superuser".
    if (aStatus != 0 || kxl_isEmptyFile(aFile.get())) {
        kxg_outWriteTracelogEx(aFunc, "idコマンドの結果が得られない[command復帰値=%d]", aStatus);
        kxg_cloSComTmpFile(aFile, aFunc);
        return -9998;
    }
    int aResult = kxl_findRootUid(aFile.get());
    kxg_cloSComTmpFile(aFile, aFunc);
    return aResult;
}

// The time limit of a command in seconds. A KXSYFCHK_COMMAND_TIMEOUT that is no whole
// number of seconds within the limits is refused in the trace, with the limit used.
unsigned long kxl_getCommandTimeout()
{
    const char* aEnv = getenv("KXSYFCHK_COMMAND_TIMEOUT");
    if (aEnv == nullptr || *aEnv == '\0') {
        return kCommandTimeout;
    }
    errno = 0;
    unsigned long aSeconds = kxg_chkStrisDigit(aEnv) == 1 ? strtoul(aEnv, nullptr, 10) : 0;
    if (errno != 0 || aSeconds == 0 || aSeconds > kCommandTimeoutMax) {
        kxg_outWriteTracelogEx("kxg_runSysCom",
                               "[KXSYFCHK_COMMAND_TIMEOUT]=[%s]は無効(1から%lu秒まで) "
                               "制限時間[%lu秒]で実行",
                               aEnv, kCommandTimeoutMax, kCommandTimeout);
        return kCommandTimeout;
    }
    return aSeconds;
}

// Whether every program of the pipeline is an executable regular file given by its full
// path: only then can it be started without a shell and behave as under one.
bool kxl_areExecutables(const std::vector<KxProgram>& iPrograms)
{
    for (const KxProgram& aProgram : iPrograms) {
        if (aProgram[0][0] != '/' || kxg_chkFileExist(aProgram[0]) != 3 ||
            access(aProgram[0].c_str(), X_OK) != 0) {
            return false;
        }
    }
    return true;
}

// Runs iCommand as the shell would, and without one where its line allows: each shell
// started costs as much as the command. Its standard error (the shell's own messages
// included) goes to iErrors. The wait status reads as the shell reports it.
// As kxg_runPrograms.
int kxl_runCommandLine(const std::string& iCommand, int iErrors, unsigned long iSeconds,
                       int& oRaw)
{
    std::vector<KxProgram> aPrograms;
    std::string aOutput;
    if (kxg_cutCommandLine(iCommand, aPrograms, aOutput) && kxl_areExecutables(aPrograms)) {
        int aRun = kxg_runPrograms(aPrograms, aOutput, iErrors, iSeconds, oRaw);
        // A shell reports a program ended by a signal as the status 128 + the signal.
        if (aRun == 0 && oRaw != -1 && WIFSIGNALED(oRaw)) {
            oRaw = (128 + WTERMSIG(oRaw)) << 8;
        }
        // One that could not be started after all (a script without "#!") is left to
        // the shell, which knows what to make of it.
        if (aRun != -1) {
            return aRun;
        }
    }
    return kxg_runPrograms({{"/bin/sh", "-c", iCommand}}, "", iErrors, iSeconds, oRaw);
}

// A file without a name for a command's standard error: the console is the user's, and
// what a command complains about belongs in the trace. null when none can be had.
FilePtr kxl_opnErrorFile()
{
    FilePtr aFile(tmpfile());
    if (!aFile) {
        kxg_outWriteTracelogEx("kxg_runSysCom", "標準エラー出力用ファイル作成エラー[%s]",
                               strerror(errno));
        return aFile;
    }
    fcntl(fileno(aFile.get()), F_SETFD, FD_CLOEXEC);
    return aFile;
}

// The descriptor that takes a command's standard error: iFile, or else /dev/null.
int kxl_errorDescriptor(FILE* iFile, FilePtr& oNull)
{
    if (iFile != nullptr) {
        return fileno(iFile);
    }
    oNull = kxg_openAppend("/dev/null");
    return oNull ? fileno(oNull.get()) : -1;
}

// Traces every line a command wrote to its standard error.
void kxl_traceErrors(FILE* iFile)
{
    if (iFile == nullptr) {
        return;
    }
    rewind(iFile);
    std::string aLine;
    while (kxg_readFileRow(iFile, aLine) == 0) {
        kxg_trimRight(aLine);
        kxg_outDetailTracelogEx("kxg_runSysCom", "[標準エラー出力]=[%s]", aLine.c_str());
    }
}

} // namespace

int kxg_opnSComTmpFileEx(FilePtr& oFile, const char* iName, const std::string& iCommand,
                         int& oStatus, int iFlag)
{
    const char* aFunc = "kxg_opnSComTmpFileEx";
    oFile.reset();
    if (!gKXDefChkPath) {
        kxg_outWriteTracelog(aFunc, "メモリ確保エラー");
        return -9993;
    }
    std::string aPath = kxl_tmpFilePath(iName);
    if (!kxl_clearStaleTmpFile(aPath)) {
        return -9980;
    }
    std::string aCommand = iCommand + " > " + kxg_cnvShellWord(aPath);
    oStatus = iFlag == 0 ? kxg_runSysCom(aCommand) : kxg_runProc(aCommand);
    // A command killed at its time limit leaves output that cannot be trusted.
    if (oStatus < 0) {
        kxg_delFileRemove(aPath);
        return -9998;
    }
    oFile = kxg_openInput(aPath);
    if (!oFile) {
        kxg_outWriteTracelogEx(aFunc, "ファイルオープンエラー[%s]", aPath.c_str());
        return -9998;
    }
    return 0;
}

int kxg_opnSComTmpFile(FilePtr& oFile, const char* iName, const std::string& iCommand,
                       int& oStatus)
{
    return kxg_opnSComTmpFileEx(oFile, iName, iCommand, oStatus, 0);
}

int kxg_cloSComTmpFile(FilePtr& ioFile, const char* iName)
{
    ioFile.reset();
    if (!gKXDefChkPath) {
        kxg_outWriteTracelog("kxg_cloSComTmpFile", "メモリ確保エラー");
        return -9993;
    }
    kxg_delFileRemove(kxl_tmpFilePath(iName));
    return 0;
}

int kxg_runSysCom(const std::string& iCommand)
{
    const char* aFunc = "kxg_runSysCom";
    kxg_outWriteTracelog(aFunc, "[システムコマンド実施]");
    kxg_outWriteTracelog(aFunc, iCommand.c_str());
    // The command may run long or hang: what the run traced so far is in the file first.
    kxg_flushTrace();
    fflush(nullptr);
    unsigned long aSeconds = kxl_getCommandTimeout();
    FilePtr aErrors = kxl_opnErrorFile();
    FilePtr aNull;
    int aRaw = -1;
    int aRun = kxl_runCommandLine(iCommand, kxl_errorDescriptor(aErrors.get(), aNull), aSeconds,
                                  aRaw);
    if (aRun == 1) {
        kxg_outWriteTracelogEx(aFunc, "[コマンドタイムアウト]=[%lu秒] プロセスグループを強制終了",
                               aSeconds);
    }
    kxl_traceErrors(aErrors.get());
    kxg_outWriteTracelogEx(aFunc, "[system復帰値]=[%d]", aRaw);
    int aStatus = (aRaw >> 8) & 0xFF;
    kxg_outWriteTracelogEx(aFunc, "[command復帰値]=[%d]", aStatus);
    return aRun == 1 ? -1 : aStatus;
}

int kxg_runProc(const std::string& iCommand)
{
    return kxg_runSysCom(iCommand);
}

int kxg_getSUNOSVer(int& oMinor)
{
    const char* aFunc = "kxg_getSUNOSVer";
    std::string aCommand = kxg_cnvShellWord(kxg_getHostPath("/usr/bin/uname")) + " -r";
    FilePtr aFile;
    int aStatus = 0;
    if (kxg_opnSComTmpFile(aFile, aFunc, aCommand, aStatus) != 0) {
        kxg_outWriteTracelog(aFunc, "コマンド実行結果オープンエラー");
        kxg_cloSComTmpFile(aFile, aFunc);
        return -9998;
    }
    int aResult = kxl_chkRelease(aFile.get(), oMinor);
    kxg_cloSComTmpFile(aFile, aFunc);
    return aResult;
}

void kxg_iniRCommand()
{
    gCommandRockFP.reset();
    gRockFLG = 0;
}

int kxg_rocCommand()
{
    const char* aFunc = "kxg_rocCommand";
    std::string aPath;
    if (!kxl_flagFilePath(aPath)) {
        kxg_outWriteTracelog(aFunc, "メモリ確保エラー");
        return -9993;
    }
    // The tool runs as root: a symbolic link put at the path must not empty its target.
    if (kxg_isSymLink(aPath)) {
        unlink(aPath.c_str());
    }
    gCommandRockFP = kxl_openNoFollow(aPath);
    if (!gCommandRockFP) {
        // Not another instance: a read-only trace directory, a directory in the way...
        int aError = errno;
        kxg_outWriteTracelogEx(aFunc, "ファイルオープンエラー[%s]", aPath.c_str());
        kxg_outWriteTracelogEx(aFunc, "フラグファイルを作成できない原因[%s]", strerror(aError));
        return -9998;
    }
    if (lockf(fileno(gCommandRockFP.get()), F_TLOCK, 0) != 0 ||
        !kxl_isFileAtPath(gCommandRockFP.get(), aPath)) {
        // A refused instance holds nothing worth keeping open.
        gCommandRockFP.reset();
        gRockFLG = 1;
        kxg_outWriteTracelogEx(aFunc, "■二重起動■[%s]", aPath.c_str());
        return -9976;
    }
    gRockFLG = 0;
    return 0;
}

int kxg_unrCommand(int iResult)
{
    const char* aFunc = "kxg_unrCommand";
    if (gRockFLG != 0 || !gCommandRockFP) {
        return iResult;
    }
    std::string aPath;
    if (!kxl_flagFilePath(aPath)) {
        gCommandRockFP.reset();
        kxg_outWriteTracelog(aFunc, "メモリ確保エラー");
        return iResult;
    }
    // Removed once and before the close: while the lock is held no other instance can
    // have put a flag file of its own at the path.
    if (kxl_isFileAtPath(gCommandRockFP.get(), aPath)) {
        remove(aPath.c_str());
    }
    gCommandRockFP.reset();
    if (kxg_chkFileExist(aPath) == 3) {
        kxg_outWriteTracelogEx(aFunc, "■二重起動 又は ファイルロック■[%s]", aPath.c_str());
    }
    return iResult;
}

int kxg_chkAdmin()
{
    return kxl_chkAdmin_Sub();
}
