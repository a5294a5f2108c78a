// fuzz_convert.cpp
// Texts through the code conversion and every writer that converts: the first byte picks
// the product's code set (the files' target), the console converts for ja_JP.UTF-8, and
// the rest of the input is the text, as a NUL-terminated string like every text of the
// program.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "KxFuzzSupport.h"
#include "KxxComCodeConv.h"
#include "KxxComMessage.h"
#include "KxxComOutText.h"
#include "KxxComOutTrace.h"
#include "KxxComTraceStart.h"

namespace {

const char* const kCodes[] = {"UTF-8", "SJIS", "CP932", "UTF-16", "UTF-7", "ISO-2022-JP"};
const size_t kCodeCount = sizeof kCodes / sizeof kCodes[0];

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* iData, size_t iSize)
{
    const kxfuzz::Dirs& aDirs = kxfuzz::setUp();
    if (iSize == 0) {
        return 0;
    }
    setenv("LANG", "ja_JP.UTF-8", 1);
    kxfuzz::putHost("/opt/vestrel/etc/vestrel.reg",
                    std::string("[Orbane_CurrentVersion]\nCode=") + kCodes[iData[0] % kCodeCount] +
                        "\n");
    const std::string aText(reinterpret_cast<const char*>(iData + 1), iSize - 1);
    kxg_opnIcov();
    std::string aResult;
    kxg_chgIcov(aText.c_str(), aResult, 0);
    kxg_chgIcov(aText.c_str(), aResult, 1);
    kxg_outWriteTracelog("fuzz_convert", aText.c_str());
    kxg_outOLString(aDirs.OutLog, "%s", aText.c_str());
    kxg_outPrintf("%s", aText.c_str());
    kxg_cloIcov();
    kxfuzz::endRun();
    return 0;
}
