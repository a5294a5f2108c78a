// KxxComStrCmp.cpp
#include "KxxComStrCmp.h"

#include <cstdint>

#include "KxxComOutTrace.h"
#include "KxxComString.h"

namespace {

// strncmp of the two texts with their ASCII letters upper-cased, as if on upper-cased
// copies, but without making them.
int kxl_cmpUpper(const char* iString1, const char* iString2, size_t iCount)
{
    for (size_t i = 0; i < iCount; i++) {
        unsigned char aChar1 = static_cast<unsigned char>(kxg_toUpperChar(iString1[i]));
        unsigned char aChar2 = static_cast<unsigned char>(kxg_toUpperChar(iString2[i]));
        if (aChar1 != aChar2) {
            return aChar1 < aChar2 ? -1 : 1;
        }
        if (aChar1 == '\0') {
            return 0;
        }
    }
    return 0;
}

// The checks on absent texts shared by both comparisons; true when they decided oResult.
bool kxl_cmpAbsent(const char* iFunc, const char* iString1, const char* iString2, int& oResult)
{
    if (iString1 == nullptr && iString2 == nullptr) {
        oResult = 0;
        return true;
    }
    if (iString1 == nullptr) {
        kxg_outWriteTracelog(iFunc, "iString1 == NULL");
        oResult = -1;
        return true;
    }
    if (iString2 == nullptr) {
        oResult = 1;
        return true;
    }
    return false;
}

} // namespace

int kxg_cmpStrni(const char* iString1, const char* iString2, size_t iCount)
{
    int aResult;
    if (kxl_cmpAbsent("kxg_cmpStrni", iString1, iString2, aResult)) {
        return aResult;
    }
    return kxl_cmpUpper(iString1, iString2, iCount);
}

int kxg_cmpStri(const char* iString1, const char* iString2)
{
    int aResult;
    if (kxl_cmpAbsent("kxg_cmpStri", iString1, iString2, aResult)) {
        return aResult;
    }
    return kxl_cmpUpper(iString1, iString2, SIZE_MAX);
}
