// Tests of the reader of the resource-distribution service's settings.
#include <gtest/gtest.h>

#include "KxTestSupport.h"

#include "KxxComTolvInfo.h"

namespace {

using kxtest::Host;
using kxtest::HostRootScope;

TEST(TolvFileValue, Lines)
{
    Host aHost;
    HostRootScope aRoot(aHost.path());
    struct Case {
        std::string Content;
        int Result;
        std::string Value;
    } aCases[] = {
        {"servmax = 50\n", 0, "50"},
        {"SERVMAX=50", 0, "50"},
        {"  servmax\t=  7  \r\n", 0, "7"},
        {"# servmax = 10\nservmax = 30\n", 0, "30"},
        {"servmax = 10\nservmax = 30\n", 0, "10"},
        {"servmax = 5 = 6\n", 0, "5"},
        {"servmax = a b\n", 0, "a b"},
        {"cntmax = 5\nservmaxx = 1\n", -9983, ""},
        {"servmax =\nservmax\n", -9983, ""},
        {"", -9983, ""},
        // A line is read whole, however long: its tail is no line of its own.
        {std::string(4095, 'x') + "servmax = 9\n", -9983, ""},
        {"#" + std::string(5000, 'x') + "servmax = 200\nservmax = 9\n", 0, "9"},
        {"servmax = " + std::string(5000, '7') + "\n", 0, std::string(5000, '7')},
    };
    for (const Case& aCase : aCases) {
        aHost.file("/opt/ZVNQkxsdl/etc/tolvrc", aCase.Content);
        std::string aValue = "old";
        EXPECT_EQ(aCase.Result, kxg_chkTolvFileValue("servmax", aValue)) << aCase.Content;
        EXPECT_EQ(aCase.Value, aValue) << aCase.Content;
    }
}

TEST(TolvFileValue, NoFileIsStandbyNode)
{
    kxtest::TraceScope aTrace;
    Host aHost;
    HostRootScope aRoot(aHost.path());
    std::string aValue = "old";
    EXPECT_EQ(-9998, kxg_chkTolvFileValue("servmax", aValue));
    EXPECT_EQ("old", aValue);
    std::string aPath = aHost.path() + "/opt/ZVNQkxsdl/etc/tolvrc";
    EXPECT_TRUE(kxtest::sameBytes("ファイルなし(クラスタ環境待機系と見なす)[" + aPath + "]",
                                  aTrace.messages().at(0)));
}

} // namespace
