// KxxComSysBase.cpp
#include "KxxComSysBase.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A file that keeps coming back after this many removals is given up on.
const int kRemoveAttempts = 100;

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
    // A relative root is taken from the working directory, so that no path can begin
    // with "-" and pass for an option of a command line.
    return kxg_getAbsolutePath(aRoot) + iPath;
}

std::string kxg_getAbsolutePath(const std::string& iPath)
{
    if (iPath.empty() || iPath[0] == '/') {
        return iPath;
    }
    std::unique_ptr<char, decltype(&free)> aCwd(getcwd(nullptr, 0), free);
    return (aCwd ? std::string(aCwd.get()) : std::string(".")) + "/" + iPath;
}
