// HostText.cpp
#include <algorithm>

#include "HostText.h"
#include "KxxComOutTrace.h"

Text kxl_trimView(Text iText)
{
    const char* const kBlanks = " \t\r\n";
    size_t aStart = iText.find_first_not_of(kBlanks);
    if (aStart == Text::npos) {
        return Text();
    }
    return iText.substr(aStart, iText.find_last_not_of(kBlanks) - aStart + 1);
}

std::string kxl_cutField(Text iText, size_t iMax)
{
    std::string aField(iText.substr(0, iMax + 1));
    kxg_cutEucText(aField, iMax);
    return aField;
}

void kxl_traceText(const char* iFunc, const char* iFormat, Text iText)
{
    const size_t kTraceTextMax = 4096;
    kxg_outDetailTracelogEx(iFunc, iFormat, static_cast<int>(std::min(iText.size(), kTraceTextMax)),
                           iText.data());
}
