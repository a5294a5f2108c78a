// fuzz_ini.cpp
// The tool definition file sys/kxdefchk_SOL.ini: the INI reader on its own, then every
// accessor of the definition, once as the sub command and once as the main tool, whose
// option string, help and file check walk the sub commands of CmdList.
#include <cstdint>
#include <string>

#include "KxFuzzSupport.h"
#include "KxxComChkKxFileExist.h"
#include "KxxComIniRead.h"
#include "KxxComMngDEFCHKINI.h"
#include "KxxComOutTrace.h"

namespace {

// Sections and keys the family reads, and names no definition should match.
const char* const kLookups[][2] = {
    {"RunMode", "VOXL"},          {"CmdList", "CmdNumber"}, {"CmdList", "subCMD2"},
    {"kxsyfchk", "FileNumber"},   {"kxsyfchk_Sol10", "FileName"},
    {"", ""},                     {"RunMode", ""},
};

const int kUseFilesTried = 3;

void readDefinition()
{
    std::string aText;
    int aCount = 0;
    uint32_t aFlag = 0;
    kxg_getFileNum(aCount);
    for (int aNum = 1; aNum <= kUseFilesTried; aNum++) {
        kxg_getUseFilePath(aText, aNum);
    }
    kxg_getOptChkString(aText);
    kxg_getOptChkStringEx(aText, 1);
    kxg_getComComment(aText);
    kxg_getVOXLFlg(aFlag);
    kxg_chkKxFileExist(aText);
    kxg_dspCmdLineHelp();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* iData, size_t iSize)
{
    const kxfuzz::Dirs& aDirs = kxfuzz::setUp();
    const std::string aIni = aDirs.Tool + "/sys/kxdefchk_SOL.ini";
    kxfuzz::writeFile(aIni, iData, iSize);
    std::string aValue;
    for (const auto& aLookup : kLookups) {
        kxg_readIniString(aLookup[0], aLookup[1], aValue, aIni);
    }
    for (const char* aCommand : {"kxsyfchk", gMainToolName}) {
        gExecComName = aCommand;
        readDefinition();
    }
    gExecComName = "kxsyfchk";
    kxfuzz::endRun();
    return 0;
}
