// KxxComCodeConv.cpp
#include "KxxComCodeConv.h"

#include <cerrno>

#include "KxxComString.h"

iconv_t gIC = nullptr;
iconv_t gICLC = nullptr;
bool gICAscii = false;
bool gICLCAscii = false;

namespace {

const iconv_t kNoDescriptor = nullptr;
// What a conversion cache holds at most, keys and values together.
const size_t kCacheBytesMax = 1048576;

// One call of the platform conversion into the free end of ioOut (from ioUsed on); a
// null iIn asks for the shift back to the initial state. errno of the stop, 0 when done.
int kxl_iconvStep(iconv_t iDesc, char** iIn, size_t* iInLeft, std::string& ioOut,
                  size_t& ioUsed)
{
    char* aOut = &ioOut[ioUsed];
    size_t aOutLeft = ioOut.size() - ioUsed;
    size_t aResult = iconv(iDesc, iIn, iInLeft, &aOut, &aOutLeft);
    int aError = aResult == static_cast<size_t>(-1) ? errno : 0;
    ioUsed = ioOut.size() - aOutLeft;
    return aError;
}

// A run's conversion and its key in the cache, kept from call to call so that a hit
// allocates nothing. Held here rather than in the function, so that they outlive any
// later static whose end still converts a text.
std::string sPart;
std::string sKey;

// iText's run of non-ASCII bytes converted, from ioCache when it holds it.
const std::string& kxl_cnvRun(iconv_t iDesc, const char* iRun, size_t iLen, KxConvCache* ioCache)
{
    if (ioCache == nullptr) {
        kxg_cnvText(iDesc, iRun, iLen, sPart);
        return sPart;
    }
    if (ioCache->Desc != iDesc) {
        *ioCache = KxConvCache();
        ioCache->Desc = iDesc;
    }
    sKey.assign(iRun, iLen);
    auto aFound = ioCache->Runs.find(sKey);
    if (aFound != ioCache->Runs.end()) {
        return aFound->second;
    }
    kxg_cnvText(iDesc, iRun, iLen, sPart);
    if (ioCache->Bytes + iLen + sPart.size() > kCacheBytesMax) {
        return sPart;
    }
    ioCache->Bytes += iLen + sPart.size();
    return ioCache->Runs.emplace(sKey, sPart).first->second;
}

// Converts only the runs of non-ASCII bytes of iText (whole characters of EUC-JP, whose
// every byte is above 0x7F) and copies the ASCII between them: most texts of the tool are
// mostly ASCII, and the descriptor's own work is what costs.
void kxl_cnvNonAscii(iconv_t iDesc, const char* iText, size_t iLen, std::string& oOut,
                     KxConvCache* ioCache)
{
    oOut.clear();
    size_t aPos = 0;
    while (aPos < iLen) {
        size_t aAscii = aPos;
        while (aAscii < iLen && static_cast<unsigned char>(iText[aAscii]) < 0x80) {
            aAscii++;
        }
        oOut.append(iText + aPos, aAscii - aPos);
        size_t aEnd = aAscii;
        while (aEnd < iLen && static_cast<unsigned char>(iText[aEnd]) >= 0x80) {
            aEnd++;
        }
        if (aEnd > aAscii) {
            oOut += kxl_cnvRun(iDesc, iText + aAscii, aEnd - aAscii, ioCache);
        }
        aPos = aEnd;
    }
}

} // namespace

// The output grows until everything is in; a character the target cannot take, or one
// cut off at the end, becomes one "?" and the conversion goes on, so that no text loses
// its end.
void kxg_cnvText(iconv_t iDesc, const char* iText, size_t iLen, std::string& oOut,
                 bool iAsciiKept, KxConvCache* ioCache)
{
    if (iAsciiKept) {
        kxl_cnvNonAscii(iDesc, iText, iLen, oOut, ioCache);
        return;
    }
    static char sSubstitute[] = "?";
    iconv(iDesc, nullptr, nullptr, nullptr, nullptr);
    oOut.assign(iLen * 2 + 16, '\0');
    size_t aUsed = 0;
    char* aIn = const_cast<char*>(iText);
    size_t aInLeft = iLen;
    while (aInLeft > 0) {
        int aError = kxl_iconvStep(iDesc, &aIn, &aInLeft, oOut, aUsed);
        if (aError == E2BIG) {
            oOut.resize(oOut.size() * 2);
        } else if (aError != 0) {
            char* aSub = sSubstitute;
            size_t aSubLeft = 1;
            while (kxl_iconvStep(iDesc, &aSub, &aSubLeft, oOut, aUsed) == E2BIG) {
                oOut.resize(oOut.size() * 2);
            }
            size_t aSkip = kxg_cntEucChar(aIn, aInLeft);
            aIn += aSkip;
            aInLeft -= aSkip;
        }
    }
    while (kxl_iconvStep(iDesc, nullptr, nullptr, oOut, aUsed) == E2BIG) {
        oOut.resize(oOut.size() * 2);
    }
    oOut.resize(aUsed);
}

int kxg_chkIcov(int iSelector)
{
    iconv_t aDesc = iSelector == 0 ? gIC : gICLC;
    return aDesc != kNoDescriptor ? 1 : 0;
}

bool kxg_chkAsciiKept(iconv_t iDesc)
{
    if (iDesc == kNoDescriptor) {
        return false;
    }
    char aAscii[128];
    for (int i = 0; i < 128; i++) {
        aAscii[i] = static_cast<char>(i);
    }
    std::string aOut;
    kxg_cnvText(iDesc, aAscii, sizeof aAscii, aOut);
    return aOut == std::string(aAscii, sizeof aAscii);
}

