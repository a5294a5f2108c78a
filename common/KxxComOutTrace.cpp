// KxxComOutTrace.cpp
#include "KxxComOutTrace.h"

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

#include "KxxComCodeConv.h"
#include "KxxComFile.h"
#include "KxxComString.h"
#include "KxxComSysBase.h"

std::optional<std::string> gKXDefChkPath;
std::optional<std::string> gExecComName;
const char* const gMainToolName = "kxdefchk";

namespace {

// A trace file that grows beyond this size while a run writes it goes into the history
// at once, unless the run has moved one there already (at its start, above 1 MiB): a run
// pushes at most one history file out, so no hostile input can erase the earlier runs.
// Past this size of its own lines a run writes no more detail, past twice this size
// nothing more, so that the trace stays within its four files.
const off_t kTraceRunLimit = 16 * 1048576;
const off_t kTraceRunMax = 2 * kTraceRunLimit;
const int kTraceHistoryFiles = 3;
const size_t kTraceFormatBuffer = 4096;
// Lines go into the file in blocks: when a second has passed, when this much waits,
// before a command starts, before the history moves, at trace stop and on a signal that
// ends the tool.
const size_t kTraceBlock = 65536;

const char* const kDetailCut = "トレース量が上限(16MiB)を超えたため以降の詳細は出力しない";
const char* const kTraceStopped = "トレース量が上限(32MiB)を超えたため以降のトレースは出力しない";

// The line being written, its visible and its converted message: kept from line to line,
// so that writing a line allocates nothing once they are large enough.
std::string sLine;
std::string sVisible;
std::string sConverted;
// The last line that is no detail, "function message", unconverted.
std::string sLastMessage;
// The conversions of the Japanese texts of the trace lines, made once.
KxConvCache sConvCache;
// The trace path and the tool directory it was made for. Held here rather than in the
// function, so that they outlive any later static whose end still flushes the trace.
std::string sTraceDir;
std::string sTracePath;

// The lines not yet in the file, converted, and the second they were written in. A signal
// that ends the tool writes them first; one that comes while a line is being added waits
// until the line is whole.
std::string sPending;
time_t sPendingSecond = -1;
volatile sig_atomic_t sAdding = 0;
volatile sig_atomic_t sEndingSignal = 0;
// The descriptor of the open trace file, for the signal handler; -1 when none is open.
volatile int sTraceFd = -1;

// What the run has written, from trace start (or the first line) to trace stop.
struct TraceRun {
    off_t Written = 0;              // bytes of its lines
    bool Rotated = false;           // it has moved a trace file into the history
    const char* Notice = nullptr;   // the last cut it said it made
};
TraceRun sRun;

// The trace file as the run keeps it open between lines: reopened when the trace path
// changes, after a failed write, and when, looked at once a second, the path no longer
// names the open file (another command of the family moved it into the history); closed
// before the history is rotated.
struct TraceFile {
    FilePtr File;
    std::string Path;
    dev_t Dev = 0;
    ino_t Ino = 0;
    off_t Size = 0;       // as the last look at it found it, with this run's lines since
    time_t Checked = -1;  // the second of that look
};
TraceFile sTrace;

// The time stamp of the second the last line was written in.
time_t sStampSecond = -1;
std::string sStamp;

std::string kxl_traceDirPath()
{
    return *gKXDefChkPath + "/trace";
}

const std::string& kxl_getTracePathOnce();

void kxl_cloTraceFile()
{
    sTraceFd = -1;
    sTrace = TraceFile{};
}

// The open trace file for iPath; null when it cannot be opened.
FILE* kxl_opnTraceFile(const std::string& iPath, time_t iNow)
{
    struct stat aStat;
    if (sTrace.File && sTrace.Path == iPath) {
        if (iNow == sTrace.Checked) {
            return sTrace.File.get();
        }
        if (stat(iPath.c_str(), &aStat) == 0 && aStat.st_dev == sTrace.Dev &&
            aStat.st_ino == sTrace.Ino) {
            sTrace.Size = aStat.st_size;
            sTrace.Checked = iNow;
            return sTrace.File.get();
        }
    }
    kxl_cloTraceFile();
    FilePtr aFile = kxg_openAppend(iPath);
    if (!aFile || fstat(fileno(aFile.get()), &aStat) != 0) {
        return nullptr;
    }
    sTrace.File = std::move(aFile);
    sTraceFd = fileno(sTrace.File.get());
    sTrace.Path = iPath;
    sTrace.Dev = aStat.st_dev;
    sTrace.Ino = aStat.st_ino;
    sTrace.Size = aStat.st_size;
    sTrace.Checked = iNow;
    return sTrace.File.get();
}

// The kind-2 time stamp of the second iNow, formatted once per second.
const std::string& kxl_getStamp(time_t iNow)
{
    time_t aNow = iNow;
    struct tm aTime = {};
    if (aNow != sStampSecond && localtime_r(&aNow, &aTime) != nullptr) {
        kxg_fmtDateAndHour(2, aTime, sStamp);
        sStampSecond = aNow;
    }
    return sStamp;
}

std::string kxl_historyFilePath(long iNumber)
{
    char aName[32];
    snprintf(aName, sizeof aName, "trace_%02ld.log", iNumber);
    return kxl_traceDirPath() + "/" + aName;
}

bool kxl_isEarlier(const struct stat& iLeft, const struct stat& iRight)
{
    if (iLeft.st_mtim.tv_sec != iRight.st_mtim.tv_sec) {
        return iLeft.st_mtim.tv_sec < iRight.st_mtim.tv_sec;
    }
    return iLeft.st_mtim.tv_nsec < iRight.st_mtim.tv_nsec;
}

// The head of a trace line: time stamp, command name and function name.
void kxl_addHead(time_t iNow, const char* iFunc, std::string& ioLine)
{
    ioLine += '[';
    ioLine += kxl_getStamp(iNow);
    ioLine += "] ";
    ioLine += *gExecComName;
    ioLine += ':';
    ioLine += iFunc;
    ioLine += ' ';
}

// Appends the message as it goes into the file: control characters written visibly, so
// that a line stays one line whatever a file name or a line read holds, and converted for
// the files' code set when that needs a conversion. false when memory ran out.
bool kxl_addMessage(const char* iMsg, size_t iLen, std::string& ioLine)
{
    try {
        iMsg = kxg_cnvCtlVisible(iMsg, iLen, sVisible);
        if (kxg_chkIcov(0) != 1) {
            ioLine.append(iMsg, iLen);
            return true;
        }
        kxg_cnvText(gIC, iMsg, iLen, sConverted, gICAscii, &sConvCache);
    } catch (const std::bad_alloc&) {
        return false;
    }
    ioLine += sConverted;
    return true;
}

// Writes iLen bytes to the descriptor whole, as a signal handler may. false on failure.
bool kxl_writeAll(int iFd, const char* iData, size_t iLen)
{
    while (iLen > 0) {
        ssize_t aWritten = write(iFd, iData, iLen);
        if (aWritten < 0 && errno == EINTR) {
            continue;
        }
        if (aWritten <= 0) {
            return false;
        }
        iData += aWritten;
        iLen -= static_cast<size_t>(aWritten);
    }
    return true;
}

// Writes the waiting lines into the trace file. 0; -9998 not opened; -9991 not written
// (the lines are lost, as a line that cannot be written always was).
int kxl_flushPending(time_t iNow)
{
    if (sPending.empty()) {
        return 0;
    }
    FILE* aFile = kxl_opnTraceFile(kxl_getTracePathOnce(), iNow);
    bool aWritten = aFile != nullptr && kxl_writeAll(fileno(aFile), sPending.data(), sPending.size());
    off_t aSize = static_cast<off_t>(sPending.size());
    sPending.clear();
    if (!aWritten) {
        kxl_cloTraceFile();
        return aFile == nullptr ? -9998 : -9991;
    }
    sTrace.Size += aSize;
    if (sTrace.Size > kTraceRunLimit && !sRun.Rotated) {
        kxg_rotateTrace();
    }
    return 0;
}

// Ends the tool on a signal that came while a line was being added, now that it is whole.
void kxl_endOnSignal()
{
    int aSignal = sEndingSignal;
    kxl_flushPending(time(nullptr));
    signal(aSignal, SIG_DFL);
    raise(aSignal);
}

// Adds ioLine to the lines waiting for the trace file; the waiting lines of an earlier
// second, or a full block, go into it first. 0; -9998 not opened; -9991 not written.
int kxl_outLine(time_t iNow, const std::string& iLine)
{
    int aResult = iNow != sPendingSecond ? kxl_flushPending(iNow) : 0;
    // A file that cannot be opened is told at the line, not a second later.
    if (aResult == 0 && kxl_opnTraceFile(kxl_getTracePathOnce(), iNow) == nullptr) {
        return -9998;
    }
    sAdding = 1;
    sPending += iLine;
    sAdding = 0;
    if (sEndingSignal != 0) {
        kxl_endOnSignal();
    }
    sPendingSecond = iNow;
    sRun.Written += static_cast<off_t>(iLine.size());
    if (aResult == 0 && sPending.size() >= kTraceBlock) {
        aResult = kxl_flushPending(iNow);
    }
    return aResult;
}

// A signal that ends the tool: the waiting lines go into the file, then the signal takes
// its course.
void kxl_onEndingSignal(int iSignal)
{
    if (sAdding != 0) {
        sEndingSignal = iSignal;
        return;
    }
    if (sTraceFd >= 0) {
        kxl_writeAll(sTraceFd, sPending.data(), sPending.size());
    }
    signal(iSignal, SIG_DFL);
    raise(iSignal);
}

// Writes one trace line of the iLen bytes of iMsg, with its head.
int kxl_outLineOf(time_t iNow, const char* iFunc, const char* iMsg, size_t iLen)
{
    sLine.clear();
    kxl_addHead(iNow, iFunc, sLine);
    if (!kxl_addMessage(iMsg, iLen, sLine)) {
        // The conversion's own failure is told unconverted, in place of the line.
        sLine.clear();
        kxl_addHead(iNow, "kxg_chgIcov", sLine);
        sLine += "メモリーの確保エラー\n";
        kxl_outLine(iNow, sLine);
        return -9993;
    }
    sLine += '\n';
    return kxl_outLine(iNow, sLine);
}

// Whether the run writes no more lines of the kind (detail or not); the first line cut
// for each reason is replaced by one that says so.
bool kxl_isCut(const char* iFunc, bool iDetail)
{
    const char* aCut = nullptr;
    if (sRun.Written > kTraceRunMax) {
        aCut = kTraceStopped;
    } else if (iDetail && sRun.Written > kTraceRunLimit) {
        aCut = kDetailCut;
    }
    if (aCut != nullptr && aCut != sRun.Notice) {
        sRun.Notice = aCut;
        kxl_outLineOf(time(nullptr), iFunc, aCut, strlen(aCut));
    }
    return aCut != nullptr;
}

bool kxl_isStarted()
{
    return gKXDefChkPath && gExecComName;
}

// Writes one trace line of the iLen bytes of iMsg, unless the run cuts lines of its kind.
int kxl_outWriteTracelog(const char* iFunc, const char* iMsg, size_t iLen, bool iDetail)
{
    if (!kxl_isStarted() || kxl_isCut(iFunc, iDetail)) {
        return 0;
    }
    if (!iDetail) {
        sLastMessage.assign(iFunc).append(" ").append(iMsg, iLen);
    }
    return kxl_outLineOf(time(nullptr), iFunc, iMsg, iLen);
}

// kxl_outWriteTracelog of a printf-style message, cut at 4095 bytes; a line that is cut
// anyway is not formatted.
int kxl_vOutWriteTracelog(const char* iFunc, bool iDetail, const char* iFormat, va_list iArgs)
{
    if (!kxl_isStarted() || kxl_isCut(iFunc, iDetail)) {
        return 0;
    }
    char aBuff[kTraceFormatBuffer + 1]; // one byte more to look past the cut
    size_t aSize = kxg_vfmtEucText(aBuff, sizeof aBuff, iFormat, iArgs);
    return kxl_outWriteTracelog(iFunc, aBuff, aSize, iDetail);
}

} // namespace

std::string kxg_getTracePath()
{
    return kxl_traceDirPath() + "/trace.log";
}

namespace {

// The trace path, made again only when the tool directory changes.
const std::string& kxl_getTracePathOnce()
{
    if (sTracePath.empty() || sTraceDir != *gKXDefChkPath) {
        sTraceDir = *gKXDefChkPath;
        sTracePath = kxg_getTracePath();
    }
    return sTracePath;
}

} // namespace

void kxg_iniGlobalTrace()
{
    kxg_flushTrace();
    kxl_cloTraceFile();
    sPending.clear();
    sPendingSecond = -1;
    sRun = TraceRun{};
    sLastMessage.clear();
    gKXDefChkPath.reset();
    gExecComName.reset();
}

int kxg_rotateTrace()
{
    // The lines of the run so far belong to the file that moves.
    if (!sPending.empty()) {
        std::string aPending;
        aPending.swap(sPending);
        FILE* aFile = kxl_opnTraceFile(kxg_getTracePath(), time(nullptr));
        if (aFile != nullptr) {
            kxl_writeAll(fileno(aFile), aPending.data(), aPending.size());
        }
    }
    kxl_cloTraceFile();
    sRun.Rotated = true;
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

int kxg_outWriteTracelog(const char* iFunc, const char* iMsg)
{
    return kxl_outWriteTracelog(iFunc, iMsg, strlen(iMsg), false);
}

int kxg_outWriteTracelogEx(const char* iFunc, const char* iFormat, ...)
{
    va_list aArgs;
    va_start(aArgs, iFormat);
    int aResult = kxl_vOutWriteTracelog(iFunc, false, iFormat, aArgs);
    va_end(aArgs);
    return aResult;
}

int kxg_flushTrace()
{
    if (!kxl_isStarted()) {
        return 0;
    }
    return kxl_flushPending(time(nullptr));
}

void kxg_catchEndingSignals()
{
    for (int aSignal : {SIGHUP, SIGINT, SIGQUIT, SIGTERM}) {
        struct sigaction aOld;
        // A signal ignored when the tool started stays ignored.
        if (sigaction(aSignal, nullptr, &aOld) == 0 && aOld.sa_handler == SIG_IGN) {
            continue;
        }
        struct sigaction aAction = {};
        aAction.sa_handler = kxl_onEndingSignal;
        sigemptyset(&aAction.sa_mask);
        sigaction(aSignal, &aAction, nullptr);
    }
}

const std::string& kxg_getLastTraceMessage()
{
    return sLastMessage;
}

int kxg_outDetailTracelog(const char* iFunc, const char* iMsg)
{
    return kxl_outWriteTracelog(iFunc, iMsg, strlen(iMsg), true);
}

int kxg_outDetailTracelogEx(const char* iFunc, const char* iFormat, ...)
{
    va_list aArgs;
    va_start(aArgs, iFormat);
    int aResult = kxl_vOutWriteTracelog(iFunc, true, iFormat, aArgs);
    va_end(aArgs);
    return aResult;
}
