// Tests of the date service that stamps trace lines and names output logs.
#include <gtest/gtest.h>

#include "KxxComGetSysInfo.h"
#include "KxxComSysBase.h"

namespace {

struct tm makeTime(int iYear, int iMonth, int iDay, int iHour, int iMin, int iSec)
{
    struct tm aTime = {};
    aTime.tm_year = iYear - 1900;
    aTime.tm_mon = iMonth - 1;
    aTime.tm_mday = iDay;
    aTime.tm_hour = iHour;
    aTime.tm_min = iMin;
    aTime.tm_sec = iSec;
    return aTime;
}

TEST(DateAndHour, KindsPadEveryFieldButTheYear)
{
    struct Case {
        struct tm Time;
        int Kind;
        const char* Text;
    } aCases[] = {
        {makeTime(2027, 1, 3, 9, 5, 7), 1, "20270103090507"},
        {makeTime(2027, 1, 3, 9, 5, 7), 2, "01/03/2027_09:05:07"},
        {makeTime(2027, 1, 3, 9, 5, 7), 3, "2027/01/03_09:05:07"},
        {makeTime(2026, 12, 31, 23, 59, 59), 2, "12/31/2026_23:59:59"},
        {makeTime(2026, 12, 31, 0, 0, 0), 1, "20261231000000"},
    };
    for (const Case& aCase : aCases) {
        std::string aText = "untouched";
        kxg_fmtDateAndHour(aCase.Kind, aCase.Time, aText);
        EXPECT_EQ(aCase.Text, aText) << "kind " << aCase.Kind;
    }
}

TEST(DateAndHour, UnknownKindLeavesTextUntouched)
{
    for (int aKind : {0, 4, -1, 12}) {
        std::string aText = "untouched";
        kxg_fmtDateAndHour(aKind, makeTime(2027, 1, 3, 9, 5, 7), aText);
        EXPECT_EQ("untouched", aText) << "kind " << aKind;
        kxg_getDateAndHour(aKind, aText);
        EXPECT_EQ("untouched", aText) << "kind " << aKind;
    }
}

} // namespace
