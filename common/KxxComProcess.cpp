// KxxComProcess.cpp
#include "KxxComProcess.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// Characters that the shell takes literally in a word.
const char* const kShellSafe =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_./+,:-";

// Whether the tool ignores iSignal, as it does the hangup under nohup.
bool kxl_isIgnored(int iSignal)
{
    struct sigaction aAction;
    return sigaction(iSignal, nullptr, &aAction) == 0 && aAction.sa_handler == SIG_IGN;
}

// The signals waited for while a command runs: its end, and those that end the tool. One
// the tool ignores stays ignored: blocked, it would be kept for the wait and end the
// command.
void kxl_getWaitSignals(sigset_t& oSet)
{
    sigemptyset(&oSet);
    sigaddset(&oSet, SIGCHLD);
    for (int aSignal : {SIGINT, SIGQUIT, SIGTERM, SIGHUP}) {
        if (!kxl_isIgnored(aSignal)) {
            sigaddset(&oSet, aSignal);
        }
    }
}

// The time left until iDeadline; false when it has passed.
bool kxl_getTimeLeft(const struct timespec& iDeadline, struct timespec& oLeft)
{
    struct timespec aNow;
    clock_gettime(CLOCK_MONOTONIC, &aNow);
    oLeft.tv_sec = iDeadline.tv_sec - aNow.tv_sec;
    oLeft.tv_nsec = iDeadline.tv_nsec - aNow.tv_nsec;
    if (oLeft.tv_nsec < 0) {
        oLeft.tv_sec--;
        oLeft.tv_nsec += 1000000000L;
    }
    return oLeft.tv_sec >= 0;
}

// Waits until the iCount children of group iGroup have ended (oRaw: the wait status of
// iLast, -1 when it could not be had) or iSeconds have passed. The caller blocks the wait
// signals, so that they can be waited for with a time limit.
// 0 ended; -1 the time is up; else the signal that came to end the tool.
int kxl_waitGroup(pid_t iGroup, pid_t iLast, size_t iCount, unsigned long iSeconds, int& oRaw)
{
    struct timespec aDeadline;
    clock_gettime(CLOCK_MONOTONIC, &aDeadline);
    aDeadline.tv_sec += static_cast<time_t>(iSeconds);
    sigset_t aSignals;
    kxl_getWaitSignals(aSignals);
    oRaw = -1;
    for (;;) {
        int aStatus = 0;
        pid_t aDone = waitpid(-iGroup, &aStatus, WNOHANG);
        if (aDone > 0) {
            oRaw = aDone == iLast ? aStatus : oRaw;
            if (--iCount == 0) {
                return 0;
            }
            continue;
        }
        if (aDone < 0 && errno != EINTR) {
            return 0;
        }
        struct timespec aLeft;
        if (!kxl_getTimeLeft(aDeadline, aLeft)) {
            return -1;
        }
        int aSignal = sigtimedwait(&aSignals, nullptr, &aLeft);
        if (aSignal > 0 && aSignal != SIGCHLD) {
            return aSignal;
        }
    }
}

// Starts program iIndex of the pipeline: reading iIn (when not -1), writing to the next
// pipe, or to iOutput for the last one, its errors to iErrors (when not -1). Spawned rather than forked: the new process shares
// the tool's memory until it starts the program, which is far cheaper than copying it.
// 0 with oPid; else an errno.
int kxl_spawnProgram(const KxProgram& iProgram, int iIn, int iOut, const std::string& iOutput,
                     int iErrors, pid_t iGroup, const sigset_t& iMask, pid_t& oPid)
{
    posix_spawn_file_actions_t aActions;
    posix_spawn_file_actions_init(&aActions);
    if (iIn != -1) {
        posix_spawn_file_actions_adddup2(&aActions, iIn, 0);
    }
    if (iErrors != -1) {
        posix_spawn_file_actions_adddup2(&aActions, iErrors, 2);
    }
    if (iOut != -1) {
        posix_spawn_file_actions_adddup2(&aActions, iOut, 1);
    } else if (!iOutput.empty()) {
        posix_spawn_file_actions_addopen(&aActions, 1, iOutput.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0666);
    }
    posix_spawnattr_t aAttr;
    posix_spawnattr_init(&aAttr);
    posix_spawnattr_setflags(&aAttr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
    posix_spawnattr_setpgroup(&aAttr, iGroup);
    posix_spawnattr_setsigmask(&aAttr, &iMask);
    std::vector<char*> aArgv;
    for (const std::string& aWord : iProgram) {
        aArgv.push_back(const_cast<char*>(aWord.c_str()));
    }
    aArgv.push_back(nullptr);
    int aError = posix_spawn(&oPid, iProgram[0].c_str(), &aActions, &aAttr, aArgv.data(), environ);
    posix_spawnattr_destroy(&aAttr);
    posix_spawn_file_actions_destroy(&aActions);
    return aError;
}

// Starts every program of the pipeline in one process group. The pids of those started;
// false when one could not be.
bool kxl_spawnPipeline(const std::vector<KxProgram>& iPrograms, const std::string& iOutput,
                       int iErrors, const sigset_t& iMask, std::vector<pid_t>& oPids)
{
    int aIn = -1;
    bool aStarted = true;
    for (size_t i = 0; i < iPrograms.size() && aStarted; i++) {
        int aPipe[2] = {-1, -1};
        bool aLast = i + 1 == iPrograms.size();
        if (!aLast && pipe2(aPipe, O_CLOEXEC) != 0) {
            aStarted = false;
            break;
        }
        pid_t aPid = -1;
        pid_t aGroup = oPids.empty() ? 0 : oPids.front();
        aStarted = kxl_spawnProgram(iPrograms[i], aIn, aPipe[1], iOutput, iErrors, aGroup, iMask,
                                    aPid) == 0;
        if (aStarted) {
            oPids.push_back(aPid);
        }
        for (int aFd : {aIn, aPipe[1]}) {
            if (aFd != -1) {
                close(aFd);
            }
        }
        aIn = aPipe[0];
    }
    if (aIn != -1) {
        close(aIn);
    }
    return aStarted;
}

// Kills what is left of group iGroup and reaps the children.
void kxl_endGroup(pid_t iGroup)
{
    kill(-iGroup, SIGKILL);
    int aStatus;
    while (waitpid(-iGroup, &aStatus, 0) > 0 || errno == EINTR) {
    }
}

// The next word of iLine from ioPos: plain, single-quoted or both; oOperator when it is an
// unquoted "|" or ">". false at a character only a shell can read.
bool kxl_cutWord(const std::string& iLine, size_t& ioPos, std::string& oWord, bool& oOperator)
{
    oWord.clear();
    bool aQuoted = false;
    while (ioPos < iLine.size() && iLine[ioPos] != ' ') {
        char aChar = iLine[ioPos];
        if (aChar == '\'') {
            size_t aEnd = iLine.find('\'', ioPos + 1);
            if (aEnd == std::string::npos) {
                return false;
            }
            oWord.append(iLine, ioPos + 1, aEnd - ioPos - 1);
            ioPos = aEnd + 1;
            aQuoted = true;
        } else if (aChar == '\\' && ioPos + 1 < iLine.size() && iLine[ioPos + 1] == '\'') {
            oWord += '\'';
            ioPos += 2;
            aQuoted = true;
        } else if (strchr(kShellSafe, aChar) != nullptr || aChar == '|' || aChar == '>') {
            oWord += aChar;
            ioPos++;
        } else {
            return false;
        }
    }
    oOperator = !aQuoted && (oWord == "|" || oWord == ">");
    return aQuoted || oWord.find_first_of("|>") == std::string::npos || oOperator;
}

} // namespace

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

int kxg_runPrograms(const std::vector<KxProgram>& iPrograms, const std::string& iOutput,
                    int iErrors, unsigned long iSeconds, int& oRaw)
{
    struct sigaction aDefault = {}, aOldAction;
    aDefault.sa_handler = SIG_DFL;
    sigaction(SIGCHLD, &aDefault, &aOldAction);
    sigset_t aSignals, aOldMask;
    kxl_getWaitSignals(aSignals);
    sigprocmask(SIG_BLOCK, &aSignals, &aOldMask);
    std::vector<pid_t> aPids;
    bool aStarted = !iPrograms.empty() && kxl_spawnPipeline(iPrograms, iOutput, iErrors, aOldMask, aPids);
    int aWait = -1;
    if (aStarted) {
        aWait = kxl_waitGroup(aPids.front(), aPids.back(), aPids.size(), iSeconds, oRaw);
    }
    if (!aPids.empty()) {
        kxl_endGroup(aPids.front());
    }
    sigprocmask(SIG_SETMASK, &aOldMask, nullptr);
    sigaction(SIGCHLD, &aOldAction, nullptr);
    if (aWait > 0) {
        raise(aWait);
    }
    return !aStarted ? -1 : (aWait == 0 ? 0 : 1);
}

bool kxg_cutCommandLine(const std::string& iLine, std::vector<KxProgram>& oPrograms,
                        std::string& oOutput)
{
    oPrograms.assign(1, KxProgram());
    oOutput.clear();
    bool aRedirected = false;
    size_t aPos = 0;
    while (aPos < iLine.size()) {
        if (iLine[aPos] == ' ') {
            aPos++;
            continue;
        }
        std::string aWord;
        bool aOperator = false;
        if (!kxl_cutWord(iLine, aPos, aWord, aOperator)) {
            return false;
        }
        if (aRedirected) {
            // One output file, and nothing after it.
            if (aOperator || !oOutput.empty()) {
                return false;
            }
            oOutput = aWord;
        } else if (!aOperator) {
            oPrograms.back().push_back(aWord);
        } else if (oPrograms.back().empty()) {
            return false;
        } else if (aWord == ">") {
            aRedirected = true;
        } else {
            oPrograms.emplace_back();
        }
    }
    return !oOutput.empty();
}
