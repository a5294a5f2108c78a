// KxxComOutText.cpp
#include "KxxComOutText.h"

#include <cstdarg>
#include <cstring>
#include <new>

#include "KxxComCodeConv.h"
#include "KxxComOutTrace.h"
#include "KxxComString.h"

namespace {

// Formatted texts that are converted before they are written are formatted into a buffer
// of this size and cut at one byte less.
const size_t kMsgFormatBuffer = 4096;

} // namespace

int kxg_chgIcov(const char* iText, std::string& oResult, int iSelector)
{
    const char* aFunc = "kxg_chgIcov";
    iconv_t aDesc = iSelector == 0 ? gIC : gICLC;
    if (aDesc == nullptr) {
        kxg_outWriteTracelog(aFunc, "開始関数が呼ばれていないエラー");
        return -1;
    }
    try {
        kxg_cnvText(aDesc, iText, strlen(iText), oResult, iSelector == 0 ? gICAscii : gICLCAscii);
    } catch (const std::bad_alloc&) {
        kxg_outWriteTracelog(aFunc, "メモリーの確保エラー");
        return -9993;
    }
    return 0;
}

int kxg_outText(FILE* iStream, const std::string& iText, int iSelector)
{
    if (kxg_chkIcov(iSelector) != 1) {
        fwrite(iText.data(), 1, iText.size(), iStream);
        return 0;
    }
    std::string aConv;
    if (kxg_chgIcov(iText.c_str(), aConv, iSelector) != 0) {
        return -9993;
    }
    fwrite(aConv.data(), 1, aConv.size(), iStream);
    return 0;
}

int kxg_vOutText(FILE* iStream, int iSelector, const char* iFormat, va_list iArgs)
{
    if (kxg_chkIcov(iSelector) != 1) {
        vfprintf(iStream, iFormat, iArgs);
        return 0;
    }
    char aBuff[kMsgFormatBuffer + 1]; // one byte more to look past the cut
    kxg_vfmtEucText(aBuff, sizeof aBuff, iFormat, iArgs);
    return kxg_outText(iStream, aBuff, iSelector);
}

int kxg_outPrintf(const char* iFormat, ...)
{
    va_list aArgs;
    va_start(aArgs, iFormat);
    int aResult = kxg_vOutText(stdout, 1, iFormat, aArgs);
    va_end(aArgs);
    return aResult;
}
