// fuzz_vestrel.cpp
// The managing product's installation file /opt/vestrel/etc/vestrel.reg, read in
// managing-product mode (the tool definition says VOXL=YES).
#include <cstdint>
#include <string>

#include "KxFuzzSupport.h"
#include "KxxComInstallInfo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* iData, size_t iSize)
{
    const kxfuzz::Dirs& aDirs = kxfuzz::setUp();
    kxfuzz::writeFile(aDirs.Host + "/opt/vestrel/etc/vestrel.reg", iData, iSize);
    std::string aCode;
    InstallInfo aInfo;
    kxg_chkVOXLLanguage();
    kxg_getVOXLCode(aCode);
    kxg_getInstallInfo(aInfo);
    kxg_chkInstallCmp("ZVNQkxsdl");
    kxfuzz::endRun();
    return 0;
}
