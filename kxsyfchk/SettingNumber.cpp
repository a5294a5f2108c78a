// SettingNumber.cpp
// Numbers are read digit by digit rather than with strtoull, which would take blanks, a
// sign or a partial number; a setting is either all number or no number.
#include <climits>

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

// The base of iText in iBase and where its digits begin.
void kxl_getRadix(const std::string& iText, NumberBase iBase, unsigned long long& oRadix,
                  size_t& oStart)
{
    oRadix = 10;
    oStart = 0;
    if (kxl_isHexText(iText, iBase)) {
        oRadix = 16;
        oStart = 2;
    } else if (iBase == NumberBase::Kernel && iText.size() > 1 && iText[0] == '0') {
        oRadix = 8;
        oStart = 1;
    }
}

} // namespace

bool kxl_isHexText(const std::string& iText, NumberBase iBase)
{
    return iBase != NumberBase::Decimal && iText.size() >= 2 && iText[0] == '0' &&
           (iText[1] == 'x' || iText[1] == 'X');
}

int kxl_cnvSettingNumber(const std::string& iText, NumberBase iBase, unsigned long long& oValue)
{
    unsigned long long aRadix;
    size_t aPos;
    kxl_getRadix(iText, iBase, aRadix, aPos);
    oValue = 0;
    if (aPos >= iText.size()) {
        return kNoNumber;
    }
    bool aTooLarge = false;
    for (; aPos < iText.size(); aPos++) {
        unsigned long long aDigit = kxl_cnvDigit(iText[aPos]);
        if (aDigit >= aRadix) {
            oValue = 0;
            return kNoNumber;
        }
        aTooLarge = aTooLarge || oValue > (ULLONG_MAX - aDigit) / aRadix;
        oValue = oValue * aRadix + aDigit;
    }
    if (aTooLarge) {
        oValue = ULLONG_MAX;
        return kNumberTooLarge;
    }
    return 0;
}

unsigned long long kxl_cnvRowNumber(const std::string& iWord)
{
    unsigned long long aValue = 0;
    return kxl_cnvSettingNumber(iWord, NumberBase::Decimal, aValue) == kNoNumber ? 0 : aValue;
}
