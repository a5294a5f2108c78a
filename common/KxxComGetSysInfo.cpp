// KxxComGetSysInfo.cpp
#include "KxxComGetSysInfo.h"

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "KxxComOutTrace.h"

namespace {

// A file that keeps coming back after this many removals is given up on.
const int kRemoveAttempts = 100;

// Characters that the shell takes literally in a word.
const char* const kShellSafe =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_./+,:-";

std::string kxl_tmpFilePath(const char* iName)
{
    return *gKXDefChkPath + "/trace/" + iName;
}

bool kxl_isSymLink(const std::string& iPath)
{
    struct stat aStat;
    return lstat(iPath.c_str(), &aStat) == 0 && S_ISLNK(aStat.st_mode);
}

// The shell's redirection writes through a symbolic link, so one at a temporary file's
// path is never taken over: it counts as stale like a regular file left behind.
bool kxl_isTmpFileLeft(const std::string& iPath)
{
    return kxl_isSymLink(iPath) || kxg_chkFileExist(iPath) == 3;
}

// Removes a temporary file left by an earlier or a concurrent run. false when it stays.
bool kxl_clearStaleTmpFile(const std::string& iPath)
{
    const char* aFunc = "kxg_opnSComTmpFileEx";
    if (!kxl_isTmpFileLeft(iPath)) {
        return true;
    }
    kxg_outWriteTracelogEx(aFunc, "テンポラリファイル残存[%s]", iPath.c_str());
    if (kxl_isSymLink(iPath)) {
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

} // namespace

void kxg_fmtDateAndHour(int iKind, const struct tm& iTime, std::string& oText)
{
    long aYear = iTime.tm_year + 1900L;
    long aMonth = iTime.tm_mon + 1L;
    long aDay = iTime.tm_mday;
    long aHour = iTime.tm_hour;
    long aMin = iTime.tm_min;
    long aSec = iTime.tm_sec;
    char aBuff[160];
    switch (iKind) {
    case 1:
        snprintf(aBuff, sizeof aBuff, "%ld%02ld%02ld%02ld%02ld%02ld", aYear, aMonth, aDay, aHour,
                 aMin, aSec);
        break;
    case 2:
        snprintf(aBuff, sizeof aBuff, "%02ld/%02ld/%ld_%02ld:%02ld:%02ld", aMonth, aDay, aYear,
                 aHour, aMin, aSec);
        break;
    case 3:
        snprintf(aBuff, sizeof aBuff, "%ld/%02ld/%02ld_%02ld:%02ld:%02ld", aYear, aMonth, aDay,
                 aHour, aMin, aSec);
        break;
    default:
        return;
    }
    oText = aBuff;
}

void kxg_getDateAndHour(int iKind, std::string& oText)
{
    time_t aNow = time(nullptr);
    struct tm aTime = {};
    if (localtime_r(&aNow, &aTime) == nullptr) {
        return;
    }
    kxg_fmtDateAndHour(iKind, aTime, oText);
}

int kxg_chkFileExist(const std::string& iPath)
{
    struct stat aStat;
    if (stat(iPath.c_str(), &aStat) != 0) {
        return -9989;
    }
    if (S_ISREG(aStat.st_mode)) {
        return 3;
    }
    if (S_ISDIR(aStat.st_mode)) {
        return 4;
    }
    return 5;
}

void kxg_delFileRemove(const std::string& iPath)
{
    for (int aTry = 0; aTry < kRemoveAttempts && kxg_chkFileExist(iPath) == 3; aTry++) {
        remove(iPath.c_str());
    }
}

std::string kxg_getHostPath(const std::string& iPath)
{
    const char* aRoot = getenv("KXDEFCHK_HOST_ROOT");
    if (aRoot == nullptr || *aRoot == '\0') {
        return iPath;
    }
    return aRoot + iPath;
}

std::string kxg_cnvShellWord(const std::string& iText)
{
    if (!iText.empty() && iText.find_first_not_of(kShellSafe) == std::string::npos) {
        return iText;
    }
    std::string aQuoted = "'";
    for (char aChar : iText) {
        aQuoted += aChar == '\'' ? std::string("'\\''") : std::string(1, aChar);
    }
    return aQuoted + "'";
}

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
    oFile = kxg_openFile(aPath, "r");
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
    fflush(nullptr);
    int aRaw = system(iCommand.c_str());
    kxg_outWriteTracelogEx(aFunc, "[system復帰値]=[%d]", aRaw);
    int aStatus = (aRaw >> 8) & 0xFF;
    kxg_outWriteTracelogEx(aFunc, "[command復帰値]=[%d]", aStatus);
    return aStatus;
}

int kxg_runProc(const std::string& iCommand)
{
    return kxg_runSysCom(iCommand);
}
