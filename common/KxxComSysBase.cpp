// KxxComSysBase.cpp
#include "KxxComSysBase.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// A file that keeps coming back after this many removals is given up on.
const int kRemoveAttempts = 100;

// Symbolic links followed for one host path at most, as many as a kernel follows.
const int kHostLinksMax = 40;
// What a refused host path becomes: a character device, which every reader of the family
// refuses as no regular file and no shell runs as a command.
const char* const kRefusedHostPath = "/dev/null";

KxHostPathRefusal sHostPathRefusal = nullptr;

// A host path being resolved under a root: the names resolved so far (no link among
// them), those still to go, and the last link followed.
struct HostWalk {
    std::vector<std::string> Done;
    std::deque<std::string> Left;
    int Links = 0;
    std::string Link;
    std::string Target;
};

// Puts the names of iPath in front of those still to go.
void kxl_pushNames(const std::string& iPath, std::deque<std::string>& ioLeft)
{
    std::vector<std::string> aNames;
    size_t aPos = 0;
    while (aPos <= iPath.size()) {
        size_t aEnd = std::min(iPath.find('/', aPos), iPath.size());
        if (aEnd > aPos && iPath.compare(aPos, aEnd - aPos, ".") != 0) {
            aNames.push_back(iPath.substr(aPos, aEnd - aPos));
        }
        aPos = aEnd + 1;
    }
    ioLeft.insert(ioLeft.begin(), aNames.begin(), aNames.end());
}

std::string kxl_joinPath(const std::string& iRoot, const std::vector<std::string>& iNames)
{
    std::string aPath = iRoot;
    for (const std::string& aName : iNames) {
        aPath += "/" + aName;
    }
    return aPath;
}

// The target of the symbolic link at iPath. 1 a link; 0 no link (or nothing) there;
// -1 a link whose target cannot be read whole.
int kxl_readLink(const std::string& iPath, std::string& oTarget)
{
    struct stat aStat;
    if (lstat(iPath.c_str(), &aStat) != 0 || !S_ISLNK(aStat.st_mode)) {
        return 0;
    }
    oTarget.assign(PATH_MAX, '\0');
    ssize_t aLen = readlink(iPath.c_str(), &oTarget[0], oTarget.size());
    if (aLen <= 0 || static_cast<size_t>(aLen) >= oTarget.size()) {
        oTarget.clear();
        return -1;
    }
    oTarget.resize(static_cast<size_t>(aLen));
    return 1;
}

// Takes the next name of ioWalk under iRoot. false when the path leaves the root.
bool kxl_stepHostPath(const std::string& iRoot, HostWalk& ioWalk)
{
    std::string aName = ioWalk.Left.front();
    ioWalk.Left.pop_front();
    if (aName == "..") {
        if (ioWalk.Done.empty()) {
            return false;
        }
        ioWalk.Done.pop_back();
        return true;
    }
    std::string aPath = kxl_joinPath(iRoot, ioWalk.Done) + "/" + aName;
    std::string aTarget;
    int aLink = kxl_readLink(aPath, aTarget);
    if (aLink == 0) {
        ioWalk.Done.push_back(aName);
        return true;
    }
    ioWalk.Link = aPath;
    ioWalk.Target = aTarget;
    if (aLink < 0 || ++ioWalk.Links > kHostLinksMax) {
        return false;
    }
    if (aTarget[0] == '/') {
        ioWalk.Done.clear();
    }
    kxl_pushNames(aTarget, ioWalk.Left);
    return true;
}

// iPath under the root iRoot, resolved within it; kRefusedHostPath when it leaves it.
std::string kxl_resolveHostPath(const std::string& iRoot, const std::string& iPath)
{
    HostWalk aWalk;
    kxl_pushNames(iPath, aWalk.Left);
    while (!aWalk.Left.empty()) {
        if (!kxl_stepHostPath(iRoot, aWalk)) {
            if (sHostPathRefusal != nullptr) {
                sHostPathRefusal(aWalk.Link.empty() ? iRoot + iPath : aWalk.Link, aWalk.Target);
            }
            return kRefusedHostPath;
        }
    }
    // Without a link on the way the path reads as it always has.
    return aWalk.Links == 0 ? iRoot + iPath : kxl_joinPath(iRoot, aWalk.Done);
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
    // A relative root is taken from the working directory, so that no path can begin
    // with "-" and pass for an option of a command line.
    return kxl_resolveHostPath(kxg_getAbsolutePath(aRoot), iPath);
}

bool kxg_isRefusedHostPath(const std::string& iHostPath)
{
    return iHostPath == kRefusedHostPath;
}

void kxg_setHostPathRefusal(KxHostPathRefusal iNotify)
{
    sHostPathRefusal = iNotify;
}

std::string kxg_getAbsolutePath(const std::string& iPath)
{
    if (iPath.empty() || iPath[0] == '/') {
        return iPath;
    }
    std::unique_ptr<char, decltype(&free)> aCwd(getcwd(nullptr, 0), free);
    return (aCwd ? std::string(aCwd.get()) : std::string(".")) + "/" + iPath;
}
