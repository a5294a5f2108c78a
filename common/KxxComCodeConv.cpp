// KxxComCodeConv.cpp
#include "KxxComCodeConv.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "KxxComInstallInfo.h"
#include "KxxComOutTrace.h"

iconv_t gIC = nullptr;
iconv_t gICLC = nullptr;
bool gICAscii = false;
bool gICLCAscii = false;

namespace {

const char* const kSourceCode = "EUC-JP";
const iconv_t kNoDescriptor = nullptr;
// Environment values and code set names are held in 4096-byte buffers: longer ones are cut.
const size_t kCodeNameMax = 4095;

// The value of the first locale variable that is set, or "env Nothing".
std::string kxl_getLocaleValue()
{
    const char* aFunc = "kxg_opnIcov";
    static const char* const sNames[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::string aValue = "env Nothing";
    for (const char* aName : sNames) {
        kxg_outWriteTracelogEx(aFunc, "[%s]", aName);
        const char* aEnv = getenv(aName);
        if (aEnv != nullptr) {
            aValue = std::string(aEnv).substr(0, kCodeNameMax);
            break;
        }
    }
    kxg_outWriteTracelogEx(aFunc, "%s", aValue.c_str());
    return aValue;
}

std::string kxl_getLocaleCode(const std::string& iLocale)
{
    const char* aFunc = "kxg_opnIcov";
    if (iLocale.find("ja_JP.PCK") != std::string::npos) {
        kxg_outWriteTracelog(aFunc, "set SJIS");
        return "SJIS";
    }
    if (iLocale.find("ja_JP.UTF-8") != std::string::npos) {
        kxg_outWriteTracelog(aFunc, "set UTF-8");
        return "UTF-8";
    }
    kxg_outWriteTracelog(aFunc, "set EUC");
    return "EUC";
}

bool kxl_needsConversion(const std::string& iCode)
{
    return iCode != "EUC" && iCode != "ASCII";
}

// A descriptor from EUC-JP to iCode; kNoDescriptor when the platform does not know it,
// so that such a target is written unconverted rather than as empty texts. An empty name
// (a product that declares "Code=") is refused too: some platforms take it for the
// locale's code set, which cuts every Japanese text at its first character.
iconv_t kxl_openDescriptor(const std::string& iCode)
{
    iconv_t aDesc = iCode.empty() ? reinterpret_cast<iconv_t>(-1)
                                  : iconv_open(iCode.c_str(), kSourceCode);
    if (aDesc == reinterpret_cast<iconv_t>(-1)) {
        kxg_outWriteTracelogEx("kxg_opnIcov", "コード変換オープンエラー[%s]", iCode.c_str());
        return kNoDescriptor;
    }
    return aDesc;
}

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

// Converts only the runs of non-ASCII bytes of iText (whole characters of EUC-JP, whose
// every byte is above 0x7F) and copies the ASCII between them: most texts of the tool are
// mostly ASCII, and the descriptor's own work is what costs.
void kxl_cnvNonAscii(iconv_t iDesc, const char* iText, size_t iLen, std::string& oOut)
{
    static std::string sPart;
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
            kxg_cnvText(iDesc, iText + aAscii, aEnd - aAscii, sPart);
            oOut += sPart;
        }
        aPos = aEnd;
    }
}

} // namespace

// The output grows until everything is in; a byte the target cannot take, or a character
// cut off at the end, becomes one "?" and the conversion goes on, so that no text loses
// its end.
void kxg_cnvText(iconv_t iDesc, const char* iText, size_t iLen, std::string& oOut,
                 bool iAsciiKept)
{
    if (iAsciiKept) {
        kxl_cnvNonAscii(iDesc, iText, iLen, oOut);
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
            aIn++;
            aInLeft--;
        }
    }
    while (kxl_iconvStep(iDesc, nullptr, nullptr, oOut, aUsed) == E2BIG) {
        oOut.resize(oOut.size() * 2);
    }
    oOut.resize(aUsed);
}

void kxg_opnIcov()
{
    const char* aFunc = "kxg_opnIcov";
    gIC = kNoDescriptor;
    gICLC = kNoDescriptor;

    std::string aLocaleCode = kxl_getLocaleCode(kxl_getLocaleValue());
    std::string aFileCode = aLocaleCode;
    std::string aProductCode;
    if (kxg_getVOXLCode(aProductCode) == 0) {
        kxg_outWriteTracelogEx(aFunc, "CODE[%s]", aProductCode.c_str());
        aFileCode = aProductCode.substr(0, kCodeNameMax);
    }
    kxg_outWriteTracelogEx(aFunc, "CODELC[%s]", aLocaleCode.c_str());

    iconv_t aFileDesc = kNoDescriptor;
    if (kxl_needsConversion(aFileCode)) {
        aFileDesc = kxl_openDescriptor(aFileCode);
    } else {
        kxg_outWriteTracelog(aFunc, "EUC ASCII no chg");
    }
    if (kxl_needsConversion(aLocaleCode)) {
        gICLC = kxl_openDescriptor(aLocaleCode);
    } else {
        kxg_outWriteTracelog(aFunc, "EUC ASCII no chg LC");
    }
    gICLCAscii = kxg_chkAsciiKept(gICLC);
    gICAscii = kxg_chkAsciiKept(aFileDesc);
    // Set last, so that every trace line of the opening is written in EUC-JP.
    gIC = aFileDesc;
}

int kxg_chkIcov(int iSelector)
{
    iconv_t aDesc = iSelector == 0 ? gIC : gICLC;
    return aDesc != kNoDescriptor ? 1 : 0;
}

int kxg_chgIcov(const char* iText, std::string& oResult, int iSelector)
{
    const char* aFunc = "kxg_chgIcov";
    iconv_t aDesc = iSelector == 0 ? gIC : gICLC;
    if (aDesc == kNoDescriptor) {
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

void kxg_cloIcov()
{
    if (gIC != kNoDescriptor) {
        iconv_close(gIC);
        gIC = kNoDescriptor;
    }
    if (gICLC != kNoDescriptor) {
        iconv_close(gICLC);
        gICLC = kNoDescriptor;
    }
}
