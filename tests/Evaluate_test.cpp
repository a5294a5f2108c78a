// Tests of the requirement evaluation: the text comparison of current value and minimum,
// the verdict bits of each criterion, and the stops on values that cannot be used.
#include <gtest/gtest.h>

#include "KxTestSupport.h"

#include <climits>

#include "Evaluate.h"

namespace {

using kxtest::TraceScope;

SysPrmRecord makeRecord(const std::string& iCriterion, const std::string& iNeed,
                        const std::string& iInit, const std::string& iCurrent,
                        const std::string& iPriv = "", const std::string& iCurPriv = "")
{
    SysPrmRecord aRec;
    aRec.ParamName = "project.max-msg-ids";
    aRec.Criterion = iCriterion;
    aRec.NeedValue = iNeed;
    aRec.OSInitValue = iInit;
    aRec.CurrentValue = iCurrent;
    aRec.Privilege = iPriv;
    aRec.CurrentPrivilege = iCurPriv;
    return aRec;
}

SysPrmList makeList(const std::vector<SysPrmRecord>& iRecords)
{
    SysPrmList aList;
    aList.Records = iRecords;
    aList.Count = aList.Capacity = static_cast<int>(iRecords.size());
    return aList;
}

TEST(ChkSysMin, NumberComparisonRules)
{
    const NumberBase kSystem = NumberBase::Kernel, kProject = NumberBase::Project;
    struct Case {
        std::string Current;
        unsigned long long Minimum;
        NumberBase Base;
        int Result;
        std::string MinText;
    } aCases[] = {
        {"0x1F", 31, kSystem, 0, "0x1f"},   // hexadecimal letters in either case
        {"0x10", 255, kSystem, -1, "0xff"}, // the minimum follows the current value's style
        {"0X10", 255, kSystem, -1, "255"},  // to the kernel "0X10" is 0 and the rest ignored
        {"0x0000000080000000", 4294967296ULL, kSystem, -1, "0x100000000"},
        {"0400", 266, kSystem, -1, "266"},  // octal: 256
        {"0100", 64, kSystem, 0, "64"},
        {"0100", 384, kProject, -1, "384"}, // resource controls are decimal
        {"0x100", 1, kProject, -1, "1"},
        {"08", 1, kSystem, -1, "1"},        // no octal digit
        {"99", 100, kSystem, -1, "100"},
        {"200", 200, kSystem, 0, "200"},    // equal is enough
        {"99999999999999999999", 7766279631452241919ULL, kSystem, 0, "7766279631452241919"},
        {"4096 8192", 4096, kSystem, 0, "4096"}, // the number ends at the first non-digit
        {"+100", 100, kProject, 0, "100"},       // setproject's strtoull takes a "+"
        {"0xffffffffffffffff0", 1, kSystem, 0, "0x1"},
        {"1,024", 1024, kSystem, -1, "1024"},
        {"-1", 1, kSystem, -1, "1"},
        {"8G", 1, kProject, -1, "1"},
        {"abc", 1, kSystem, -1, "1"},
        {"0x", 0, kSystem, 0, "0x0"},
        {"", 0, kSystem, -1, "0"},
        {"0", 0, kSystem, 0, "0"},
    };
    for (const Case& aCase : aCases) {
        std::string aMinText = "old";
        EXPECT_EQ(aCase.Result,
                  kxl_chkSysMin(aCase.Current, aCase.Minimum, aCase.Base, aMinText))
            << aCase.Current << " vs " << aCase.Minimum;
        EXPECT_EQ(aCase.MinText, aMinText) << aCase.Current;
    }
}

TEST(ChkSystemParamList, VerdictBits)
{
    struct Case {
        SysPrmRecord Rec;
        int ErrStat;
        std::string MinimumValue;
    } aCases[] = {
        {makeRecord("fixed", "100", "", "100"), 0, "100"},
        {makeRecord("fixed", "100", "", "99"), 2, "100"},
        // A fixed record never looks at its OS initial value, so no calculation runs.
        {makeRecord("fixed", "10", "calc", "10"), 0, "10"},
        {makeRecord("additional", "100", "50", "149"), 2, "150"},
        // Not set: nothing else is judged; the row's minimum is kept for the fix.
        {makeRecord("fixed", "100", "", "", "privileged", ""), 1, "100"},
        {makeRecord("optcri", "10 20 30 40", "5 6", ""), 1, "10 25 30 46 "},
        {makeRecord("additional", "calc", "1", ""), 1, ""},
        {makeRecord("fixed", "100", "", "1", "privileged", ""), 6, "100"},
        {makeRecord("fixed", "100", "", "100", "", "privileged"), 4, "100"},
        {makeRecord("fixed", "100", "", "100", "priv", "Privileged"), 0, "100"},
        {makeRecord("fixed", "100", "", "100", "priv", "basic"), 4, "100"},
        {makeRecord("fixed", "100", "", "100", "SYSTEM", "system"), 0, "100"},
        // An /etc/system value is judged by its first word.
        {makeRecord("fixed", "4096", "", "4096 8192"), 0, "4096"},
        {makeRecord("optcri", "10 20 30 40", "5 6", "10 25 30 46"), 0, "10 25 30 46 "},
        {makeRecord("optcri", "10 20 30 40", "5 6", "10 24 30 46"), 2, "10 25 30 46 "},
        {makeRecord("optcri", "10 20 30 40", "5 6", "0xa 25\t30 46"), 0, "0xa 25 30 46 "},
        {makeRecord("optcri", "10 20 30 40", "5 6", "10 25 30"), 2, "10 25 30 46 "},
        {makeRecord("optcri", "10 20 30 40", "5 6", "10 25 30 46 50"), 2, "10 25 30 46 "},
        // Four-value records get no privilege test.
        {makeRecord("optcri", "10 20 30 40", "5 6", "10 25 30 46", "priv", "deny"), 0,
         "10 25 30 46 "},
    };
    for (const Case& aCase : aCases) {
        SysPrmList aList = makeList({aCase.Rec});
        aList.Records[0].ErrStat = 99;
        EXPECT_EQ(0, kxl_ChkSystemParamList("Solaris10", InstallInfo{}, aList)) << aCase.Rec.CurrentValue;
        EXPECT_EQ(aCase.ErrStat, aList.Records[0].ErrStat)
            << aCase.Rec.Criterion << " " << aCase.Rec.CurrentValue;
        EXPECT_EQ(aCase.MinimumValue, kxl_getMinimumText(aList.Records[0])) << aCase.Rec.CurrentValue;
    }
}

TEST(ChkSystemParamList, UnusableValuesStopTheRun)
{
    struct Case {
        SysPrmRecord Rec;
        int Result;
    } aCases[] = {
        {makeRecord("fixed", "18446744073709551615", "", "1"), -1},
        {makeRecord("fixed", "99999999999999999999", "", "1"), -1},
        {makeRecord("additional", "18446744073709551614", "1", "1"), -1},
        {makeRecord("additional", "18446744073709551614", "2", "1"), -1},
        {makeRecord("additional", "1", "18446744073709551615", "1"), -1},
        {makeRecord("additional", "18446744073709551613", "1", "1"), 0},
        {makeRecord("optcri", "1 2 3 18446744073709551615", "0 0", "1 2 3 4"), -1},
        {makeRecord("optcri", "calc 2 3 4", "0 0", "1 2 3 4"), -1},
        {makeRecord("optcri", "1 2 3 4", "calc 0", "1 2 3 4"), -1},
        {makeRecord("optcri", "1 2 3 4", "0 18446744073709551615", "1 2 3 4"), -1},
        {makeRecord("optcri", "1 18446744073709551614 3 4", "1 0", "1 2 3 4"), -1},
        {makeRecord("optcri", "1 2 3 18446744073709551614", "0 1", "1 2 3 4"), -1},
        // A calculation that fails: an unknown needed value, an OS initial value of a
        // parameter that has none to calculate.
        {makeRecord("fixed", "calc", "", "1"), -9995},
        {makeRecord("additional", "1", "calc", "1"), -1},
    };
    for (const Case& aCase : aCases) {
        SysPrmList aList = makeList({aCase.Rec});
        EXPECT_EQ(aCase.Result, kxl_ChkSystemParamList("Solaris10", InstallInfo{}, aList))
            << aCase.Rec.Criterion << " " << aCase.Rec.NeedValue << " / " << aCase.Rec.OSInitValue;
    }
}

TEST(ChkSystemParamList, StopLeavesLaterRecordsAlone)
{
    SysPrmList aList = makeList({makeRecord("fixed", "1", "", "1"),
                                 makeRecord("fixed", "18446744073709551615", "", "1"),
                                 makeRecord("fixed", "1", "", "")});
    aList.Records[2].ErrStat = 7;
    EXPECT_EQ(-1, kxl_ChkSystemParamList("Solaris10", InstallInfo{}, aList));
    EXPECT_EQ(0, aList.Records[0].ErrStat);
    EXPECT_EQ(7, aList.Records[2].ErrStat);

    SysPrmList aEmpty = makeList({makeRecord("fixed", "1", "", "")});
    aEmpty.Count = 0;
    EXPECT_EQ(0, kxl_ChkSystemParamList("Solaris10", InstallInfo{}, aEmpty));
    EXPECT_EQ(0, aEmpty.Records[0].ErrStat);
}

TEST(ChkSystemParamList, TraceTexts)
{
    TraceScope aTrace;
    SysPrmList aList = makeList({makeRecord("optcri", "10 20 30 40", "5 6", "10 25 30 46")});
    ASSERT_EQ(0, kxl_ChkSystemParamList("Solaris10", InstallInfo{}, aList));
    std::vector<std::string> aMessages = aTrace.messages();
    ASSERT_GE(aMessages.size(), 4u);
    EXPECT_TRUE(
        kxtest::sameBytes(" unsigned long long int の上限[18446744073709551615]", aMessages[0]));
    EXPECT_TRUE(kxtest::traceHas(aTrace, "最小必要値：10,20,30,40"));
    // The OS initial values line begins with a full-width space.
    EXPECT_TRUE(kxtest::traceHas(aTrace, "\xA1\xA1OS初期値：5,6"));
}

} // namespace
