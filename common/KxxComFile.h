// KxxComFile.h
// Owned stdio streams: a FilePtr closes its stream on every path out of its scope.
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

// Opens iPath with the stdio mode iMode; an empty FilePtr when it cannot be opened.
inline FilePtr kxg_openFile(const std::string& iPath, const char* iMode)
{
    return FilePtr(fopen(iPath.c_str(), iMode));
}

#endif
