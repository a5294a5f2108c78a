// Tests of the one number reader: each base's forms, numbers beyond 64 bits, no number.
#include <gtest/gtest.h>

#include <climits>

#include "SettingNumber.h"

namespace {

TEST(SettingNumber, FormsOfEachBase)
{
    const NumberBase kKernel = NumberBase::Kernel, kDecimal = NumberBase::Decimal,
                     kSysdef = NumberBase::Sysdef;
    struct Case {
        const char* Text;
        NumberBase Base;
        int Result;
        unsigned long long Value;
    } aCases[] = {
        {"0x1F", kKernel, 0, 31},       {"0X1f", kSysdef, 0, 31},
        {"0400", kKernel, 0, 256},      {"0400", kSysdef, 0, 400},
        {"0400", kDecimal, 0, 400},     {"0", kKernel, 0, 0},
        {"0x10", kDecimal, kNoNumber, 0}, {"08", kKernel, kNoNumber, 0},
        {"0x", kSysdef, kNoNumber, 0},  {"", kDecimal, kNoNumber, 0},
        {"+1", kDecimal, kNoNumber, 0}, {" 1", kKernel, kNoNumber, 0},
        {"8G", kDecimal, kNoNumber, 0}, {"18446744073709551615", kDecimal, 0, ULLONG_MAX},
        {"18446744073709551616", kDecimal, kNumberTooLarge, ULLONG_MAX},
        {"0x10000000000000000", kSysdef, kNumberTooLarge, ULLONG_MAX},
    };
    for (const Case& aCase : aCases) {
        unsigned long long aValue = 7;
        EXPECT_EQ(aCase.Result, kxl_cnvSettingNumber(aCase.Text, aCase.Base, aValue)) << aCase.Text;
        EXPECT_EQ(aCase.Value, aValue) << aCase.Text;
    }
    // Row numbers: an empty word is 0, a number too large for 64 bits the maximum.
    EXPECT_EQ(0u, kxl_cnvRowNumber(""));
    EXPECT_EQ(ULLONG_MAX, kxl_cnvRowNumber("99999999999999999999"));
}

} // namespace
