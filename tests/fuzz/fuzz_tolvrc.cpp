// fuzz_tolvrc.cpp
// The resource-distribution service's settings /opt/ZVNQkxsdl/etc/tolvrc.
#include <cstdint>
#include <string>

#include "KxFuzzSupport.h"
#include "KxxComTolvInfo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* iData, size_t iSize)
{
    const kxfuzz::Dirs& aDirs = kxfuzz::setUp();
    kxfuzz::writeFile(aDirs.Host + "/opt/ZVNQkxsdl/etc/tolvrc", iData, iSize);
    std::string aValue;
    for (const char* aKey : {"servmax", "cntmax"}) {
        kxg_chkTolvFileValue(aKey, aValue);
    }
    kxfuzz::endRun();
    return 0;
}
