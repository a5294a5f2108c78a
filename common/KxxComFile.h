// KxxComFile.h
// Layer 1 (ground).
// Owned stdio streams, and the two ways the family opens files that others can reach:
// inputs without waiting and only when regular, appended outputs never through a link.
#ifndef KXXCOMFILE_H
#define KXXCOMFILE_H

#include <cstdio>
#include <memory>
#include <string>

struct KxFileCloser {
    void operator()(FILE* iFile) const
    {
        if (iFile != nullptr) {
            fclose(iFile);
        }
    }
};
using FilePtr = std::unique_ptr<FILE, KxFileCloser>;

// Opens iPath for reading. A FIFO or device is not waited on and, like a directory or
// anything else that is not a regular file, refused: an empty FilePtr, as for a file
// that cannot be opened.
FilePtr kxg_openInput(const std::string& iPath);

// Opens iPath for appending, creating it (mode 0666 less the umask) when it is absent.
// A symbolic link as its last component, a FIFO, a directory or anything else that is
// neither a regular file nor a character device (/dev/null) is refused with an empty
// FilePtr.
FilePtr kxg_openAppend(const std::string& iPath);

// Whether a symbolic link is at iPath (its last component), dangling or not.
bool kxg_isSymLink(const std::string& iPath);

#endif
