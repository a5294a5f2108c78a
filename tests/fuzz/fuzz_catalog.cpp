// fuzz_catalog.cpp
// The two message catalogs: the input as sys/SysMessage.csv, loaded and shown for every
// identifier the commands use, then as sys/OutLogMessage.csv, written to an output log.
#include <cstdint>

#include "KxFuzzSupport.h"
#include "KxxComMessage.h"

namespace {

const char* const kConsoleIds[] = {"07001", "07002", "07003", "07004", "07005", "99004",
                                   "99005", "99006", "99007", "99008", "99009", "99010"};
const char* const kToolId = "KxDefChk";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* iData, size_t iSize)
{
    const kxfuzz::Dirs& aDirs = kxfuzz::setUp();
    kxfuzz::writeFile(aDirs.Tool + "/sys/SysMessage.csv", iData, iSize);
    if (kxg_startSysMessage() == 0) {
        for (const char* aId : kConsoleIds) {
            kxg_outSysMessage(aId);
        }
    }
    kxg_endSysMessage();

    kxfuzz::writeFile(aDirs.Tool + "/sys/OutLogMessage.csv", iData, iSize);
    kxg_outOLMessage(aDirs.OutLog, "07001", kToolId);
    kxg_outOLMessageEx(aDirs.OutLog, "99004", kToolId, 1);
    kxfuzz::endRun();
    return 0;
}
