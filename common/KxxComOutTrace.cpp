// KxxComOutTrace.cpp
#include "KxxComOutTrace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

#include "KxxComCodeConv.h"
#include "KxxComFile.h"
#include "KxxComGetSysInfo.h"
#include "KxxComString.h"

std::optional<std::string> gKXDefChkPath;
std::optional<std::string> gExecComName;
const char* const gMainToolName = "kxdefchk";

namespace {

// A trace file above this size is moved into the history at trace start, and one above
// kTraceRunLimit while a run writes it, so that no run can fill the disk.
const off_t kTraceSizeLimit = 1048576;
const off_t kTraceRunLimit = 16 * 1048576;
const int kTraceHistoryFiles = 3;
const size_t kTraceFormatBuffer = 4096;

// Set while a message is being converted: the conversion's own trace lines are then
// written unconverted, so the writer never re-enters itself more than once.
bool sConverting = false;

std::string kxl_traceDirPath()
{
    return *gKXDefChkPath + "/trace";
}


std::string kxl_historyFilePath(long iNumber)
{
    char aName[32];
    snprintf(aName, sizeof aName, "trace_%02ld.log", iNumber);
    return kxl_traceDirPath() + "/" + aName;
}

// The message as it goes into the file: converted for the files' code set when that
// needs a conversion. -9993 when the conversion fails.
int kxl_traceMessage(const char* iMsg, std::string& oText)
{
    if (sConverting || kxg_chkIcov(0) != 1) {
        oText = iMsg;
        return 0;
    }
    sConverting = true;
    int aResult = kxg_chgIcov(iMsg, oText, 0);
    sConverting = false;
    return aResult == 0 ? 0 : -9993;
}

bool kxl_isEarlier(const struct stat& iLeft, const struct stat& iRight)
{
    if (iLeft.st_mtim.tv_sec != iRight.st_mtim.tv_sec) {
        return iLeft.st_mtim.tv_sec < iRight.st_mtim.tv_sec;
    }
    return iLeft.st_mtim.tv_nsec < iRight.st_mtim.tv_nsec;
}

// Moves the trace file into the first free history slot, or over the oldest history file
// when all three are taken.
int kxl_rotateTrace()
{
    std::string aTrace = kxg_getTracePath();
    std::string aOldest;
    struct stat aOldestStat = {};
    for (long aNumber = 1; aNumber <= kTraceHistoryFiles; aNumber++) {
        std::string aHistory = kxl_historyFilePath(aNumber);
        if (kxg_chkFileExist(aHistory) != 3) {
            return rename(aTrace.c_str(), aHistory.c_str()) == 0 ? 0 : -9981;
        }
        struct stat aStat;
        if (stat(aHistory.c_str(), &aStat) != 0) {
            return -9982;
        }
        if (aOldest.empty() || kxl_isEarlier(aStat, aOldestStat)) {
            aOldest = aHistory;
            aOldestStat = aStat;
        }
    }
    if (remove(aOldest.c_str()) != 0) {
        return -9980;
    }
    return rename(aTrace.c_str(), aOldest.c_str()) == 0 ? 0 : -9981;
}

// The history step of trace start: an oversize trace file goes into the history.
int kxl_chkFileSize()
{
    struct stat aTraceStat;
    if (stat(kxg_getTracePath().c_str(), &aTraceStat) != 0 ||
        aTraceStat.st_size <= kTraceSizeLimit) {
        return 0;
    }
    return kxl_rotateTrace();
}

// The directory that holds the command started without a directory part: "." when it is
// in the current directory, else the first PATH entry holding it. -1 when there is none.
int kxl_findCommandDir(const std::string& iName, std::string& oDir)
{
    if (kxg_chkFileExist("./" + iName) == 3) {
        oDir = ".";
        return 0;
    }
    const char* aPath = getenv("PATH");
    if (aPath == nullptr) {
        printf("ERROR getenv[%s]\n", "PATH");
        return -1;
    }
    std::string aSearch = aPath;
    std::string aEntry;
    uint32_t aPos = 0;
    while (aPos < aSearch.size()) {
        kxg_cutWord(aSearch, ':', aPos, aEntry);
        if (kxg_chkFileExist(aEntry + "/" + iName) == 3) {
            oDir = aEntry;
            return 0;
        }
    }
    return -1;
}

// The tool directory is the parent of the directory that holds the command.
std::string kxl_toolDirOf(const std::string& iCommandDir)
{
    // A PATH entry "/opt/tool/bin/" or a start name "bin//kxsyfchk" ends in "/"; the
    // command still lies in bin, not in a directory of that name under bin.
    std::string aDir = iCommandDir;
    while (aDir.size() > 1 && aDir.back() == '/') {
        aDir.pop_back();
    }
    if (aDir == ".") {
        return "..";
    }
    std::string aParent, aName;
    kxg_getSplitPath(aDir, aParent, aName);
    return aParent.empty() ? "." : aParent;
}

void kxl_writeStartBanner(const std::string& iName)
{
    const char* aFunc = "kxg_TraceMemAllc";
    if (iName == gMainToolName) {
        kxg_outWriteTracelog(aFunc, "▼▼▼定義チェックツール開始▼▼▼");
    } else {
        kxg_outWriteTracelogEx(aFunc, "▼[%s]コマンド開始▼", iName.c_str());
    }
    kxg_outWriteTracelogEx(aFunc, "PATH=[%s]", gKXDefChkPath->c_str());
    kxg_outWriteTracelogEx(aFunc, "FILE=[%s]", iName.c_str());
}

} // namespace

std::string kxg_getTracePath()
{
    return kxl_traceDirPath() + "/trace.log";
}

void kxg_iniGlobalTrace()
{
    gKXDefChkPath.reset();
    gExecComName.reset();
}

int kxg_outWriteTracelog(const char* iFunc, const char* iMsg)
{
    if (!gKXDefChkPath || !gExecComName) {
        return 0;
    }
    std::string aMessage;
    if (kxl_traceMessage(iMsg, aMessage) != 0) {
        return -9993;
    }
    FilePtr aFile = kxg_openAppend(kxg_getTracePath());
    if (!aFile) {
        return -9998;
    }
    std::string aStamp;
    kxg_getDateAndHour(2, aStamp);
    std::string aLine = "[" + aStamp + "] " + *gExecComName + ":" + iFunc + " " + aMessage + "\n";
    if (fwrite(aLine.data(), 1, aLine.size(), aFile.get()) != aLine.size() ||
        fflush(aFile.get()) != 0) {
        return -9991;
    }
    if (ftello(aFile.get()) > kTraceRunLimit) {
        aFile.reset();
        kxl_rotateTrace();
    }
    return 0;
}

int kxg_outWriteTracelogEx(const char* iFunc, const char* iFormat, ...)
{
    va_list aArgs;
    va_start(aArgs, iFormat);
    std::string aText = kxg_vfmtEucText(kTraceFormatBuffer - 1, iFormat, aArgs);
    va_end(aArgs);
    return kxg_outWriteTracelog(iFunc, aText.c_str());
}

void kxg_getSplitPath(const std::string& iPath, std::string& oDir, std::string& oName)
{
    size_t aSlash = iPath.rfind('/');
    if (aSlash == std::string::npos) {
        oDir.clear();
        oName = iPath;
        return;
    }
    oDir = iPath.substr(0, aSlash);
    oName = iPath.substr(aSlash + 1);
}

int kxg_TraceMemAllc(const char* iStartName)
{
    const char* aFunc = "kxg_TraceMemAllc";
    // A process may be started with an empty argument vector: no name, no tool directory.
    if (iStartName == nullptr) {
        kxg_iniGlobalTrace();
        return -1;
    }
    std::string aDir, aName;
    kxg_getSplitPath(iStartName, aDir, aName);
    gExecComName = aName;
    if (aDir.empty() && kxl_findCommandDir(aName, aDir) != 0) {
        kxg_iniGlobalTrace();
        return -1;
    }
    gKXDefChkPath = kxl_toolDirOf(aDir);

    kxg_opnIcov();
    if (kxl_chkFileSize() != 0) {
        kxg_outWriteTracelog(aFunc, "トレースログ履歴管理失敗（処理は継続）");
        return 0;
    }
    kxl_writeStartBanner(aName);
    return 0;
}

void kxg_TraceMemFree()
{
    const char* aFunc = "kxg_TraceMemFree";
    if (gExecComName) {
        if (*gExecComName == gMainToolName) {
            kxg_outWriteTracelog(aFunc, "▲▲▲定義チェックツール終了▲▲▲");
        } else {
            kxg_outWriteTracelogEx(aFunc, "▲[%s]コマンド終了▲", gExecComName->c_str());
        }
    }
    kxg_cloIcov();
    kxg_iniGlobalTrace();
}
