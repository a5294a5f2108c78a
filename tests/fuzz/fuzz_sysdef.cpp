// fuzz_sysdef.cpp
// The output of sysdef and prtconf as the calculations read it, given as a stream.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "KxFuzzSupport.h"
#include "KxxComFile.h"
#include "KernelValue.h"

namespace {

const char* const kLabels[] = {"max bytes on queue (MSGMNB)", "system message headers (MSGTQL)"};

// Runs iRead on a fresh stream over the input; an empty input is an empty stream.
template <typename Read>
void kxl_readStream(std::vector<char>& ioBuff, size_t iSize, Read iRead)
{
    FilePtr aFile(fmemopen(ioBuff.data(), iSize, "r"));
    if (aFile) {
        iRead(aFile.get());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* iData, size_t iSize)
{
    kxfuzz::setUp();
    // fmemopen wants a writable buffer of at least one byte, even for mode "r".
    std::vector<char> aBuff(iData, iData + iSize);
    aBuff.push_back('\0');
    unsigned long long aValue = 0;
    for (const char* aLabel : kLabels) {
        kxl_readStream(aBuff, iSize,
                       [&](FILE* iFile) { kxl_readSysdefValue(iFile, aLabel, aValue); });
    }
    kxl_readStream(aBuff, iSize, [&](FILE* iFile) { kxl_readMemorySize(iFile, aValue); });
    kxfuzz::endRun();
    return 0;
}
