// KxxComFile.cpp
#include "KxxComFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The open descriptor as a blocking stdio stream, when it is a regular file (or, with
// iDevice, a character device such as /dev/null).
FilePtr kxl_toStream(int iFd, const char* iMode, bool iDevice)
{
    struct stat aStat;
    bool aTaken = fstat(iFd, &aStat) == 0 &&
                  (S_ISREG(aStat.st_mode) || (iDevice && S_ISCHR(aStat.st_mode)));
    if (!aTaken) {
        close(iFd);
        errno = EINVAL;
        return FilePtr();
    }
    // Waiting matters only for a device; a regular file never makes a read or write wait.
    int aFlags = S_ISCHR(aStat.st_mode) ? fcntl(iFd, F_GETFL) : 0;
    if (aFlags == -1 || (aFlags != 0 && fcntl(iFd, F_SETFL, aFlags & ~O_NONBLOCK) == -1)) {
        close(iFd);
        return FilePtr();
    }
    FilePtr aFile(fdopen(iFd, iMode));
    if (!aFile) {
        close(iFd);
    }
    return aFile;
}

} // namespace

FilePtr kxg_openInput(const std::string& iPath)
{
    int aFd = open(iPath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    return aFd < 0 ? FilePtr() : kxl_toStream(aFd, "r", false);
}

FilePtr kxg_openAppend(const std::string& iPath)
{
    int aFd = open(iPath.c_str(),
                   O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC,
                   0666);
    return aFd < 0 ? FilePtr() : kxl_toStream(aFd, "a", true);
}

bool kxg_isSymLink(const std::string& iPath)
{
    struct stat aStat;
    return lstat(iPath.c_str(), &aStat) == 0 && S_ISLNK(aStat.st_mode);
}
