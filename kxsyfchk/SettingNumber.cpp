// SettingNumber.cpp
// Numbers are read digit by digit rather than with strtoull, so that each form takes
// exactly what its program takes: no blanks, no sign but where the program allows one.
#include <climits>
#include <cstdio>

#include "SettingNumber.h"

namespace {

// The value of a digit character of base 16 at most; 16 for any other character.
unsigned long long kxl_cnvDigit(char iChar)
{
    if (iChar >= '0' && iChar <= '9') {
        return static_cast<unsigned long long>(iChar - '0');
    }
    if (iChar >= 'a' && iChar <= 'f') {
        return static_cast<unsigned long long>(iChar - 'a' + 10);
    }
    if (iChar >= 'A' && iChar <= 'F') {
        return static_cast<unsigned long long>(iChar - 'A' + 10);
    }
    return 16;
}

// Reads the digits of iText from iPos on, all of them digits of iRadix.
int kxl_cnvDigits(const std::string& iText, size_t iPos, unsigned long long iRadix,
                  unsigned long long& oValue)
{
    oValue = 0;
    if (iPos >= iText.size()) {
        return kNoNumber;
    }
    bool aTooLarge = false;
    for (; iPos < iText.size(); iPos++) {
        unsigned long long aDigit = kxl_cnvDigit(iText[iPos]);
        if (aDigit >= iRadix) {
            oValue = 0;
            return kNoNumber;
        }
        aTooLarge = aTooLarge || oValue > (ULLONG_MAX - aDigit) / iRadix;
        oValue = oValue * iRadix + aDigit;
    }
    if (aTooLarge) {
        oValue = ULLONG_MAX;
        return kNumberTooLarge;
    }
    return 0;
}

// setproject's strtoull: an optional "+", then decimal digits that fit in 64 bits.
int kxl_cnvProjectNumber(const std::string& iText, unsigned long long& oValue)
{
    size_t aStart = !iText.empty() && iText[0] == '+' ? 1 : 0;
    int aResult = kxl_cnvDigits(iText, aStart, 10, oValue);
    if (aResult == kNumberTooLarge) {
        oValue = 0;
        return kNoNumber;
    }
    return aResult;
}

bool kxl_isDigit(char iChar)
{
    return iChar >= '0' && iChar <= '9';
}

} // namespace

KernelValue kxl_readKernelValue(const std::string& iText, unsigned long long& oValue)
{
    oValue = 0;
    size_t aPos = !iText.empty() && (iText[0] == '-' || iText[0] == '~') ? 1 : 0;
    if (aPos >= iText.size() || !kxl_isDigit(iText[aPos])) {
        return KernelValue::Refused;
    }
    // The lexer's token: "0x" and hexadecimal digits, else decimal digits; kobj_getvalue
    // then reads a decimal token that begins with 0 as octal.
    unsigned long long aRadix = 10;
    unsigned long long aTokenRadix = 10;
    if (iText[aPos] == '0') {
        bool aHex = aPos + 1 < iText.size() && iText[aPos + 1] == 'x';
        aRadix = aHex ? 16 : 8;
        aTokenRadix = aHex ? 16 : 10;
        aPos += aHex ? 2 : 1;
    }
    unsigned long long aValue = 0;
    for (; aPos < iText.size(); aPos++) {
        unsigned long long aDigit = kxl_cnvDigit(iText[aPos]);
        if (aDigit >= aTokenRadix) {
            break;
        }
        if (aDigit >= aRadix) {
            return KernelValue::Refused;
        }
        aValue = aValue * aRadix + aDigit;
    }
    if (iText[0] == '-' || iText[0] == '~') {
        return KernelValue::Signed;
    }
    oValue = aValue;
    return KernelValue::Number;
}

bool kxl_isHexText(const std::string& iText, NumberBase iBase)
{
    // The kernel's lexer knows only the lower-case "0x".
    bool aPrefix = iText.size() >= 2 && iText[0] == '0';
    switch (iBase) {
    case NumberBase::Kernel:
        return aPrefix && iText[1] == 'x';
    case NumberBase::Sysdef:
        return aPrefix && (iText[1] == 'x' || iText[1] == 'X');
    default:
        return false;
    }
}

char kxl_getHexMark(const std::string& iText, NumberBase iBase)
{
    return kxl_isHexText(iText, iBase) ? iText[1] : 0;
}

std::string kxl_fmtNumber(unsigned long long iValue, char iHexMark)
{
    // 20 digits of ULLONG_MAX, or "0x" and 16 hexadecimal digits, and the terminator.
    char aText[24];
    if (iHexMark != 0) {
        snprintf(aText, sizeof aText, "0%c%llx", iHexMark, iValue);
    } else {
        snprintf(aText, sizeof aText, "%llu", iValue);
    }
    return aText;
}

int kxl_cnvSettingNumber(const std::string& iText, NumberBase iBase, unsigned long long& oValue)
{
    switch (iBase) {
    case NumberBase::Kernel:
        return kxl_readKernelValue(iText, oValue) == KernelValue::Number ? 0 : kNoNumber;
    case NumberBase::Project:
        return kxl_cnvProjectNumber(iText, oValue);
    case NumberBase::Sysdef:
        return kxl_isHexText(iText, iBase) ? kxl_cnvDigits(iText, 2, 16, oValue)
                                           : kxl_cnvDigits(iText, 0, 10, oValue);
    default:
        return kxl_cnvDigits(iText, 0, 10, oValue);
    }
}

unsigned long long kxl_cnvRowNumber(const std::string& iWord)
{
    unsigned long long aValue = 0;
    return kxl_cnvSettingNumber(iWord, NumberBase::Decimal, aValue) == kNoNumber ? 0 : aValue;
}
