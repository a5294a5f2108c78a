// Tests of the calculated values: kernel values from sysdef, the physical memory from
// prtconf, and the needed values that depend on the resource-distribution settings.
#include <gtest/gtest.h>

#include "KxTestSupport.h"

#include <climits>

#include "CalcValue.h"
#include "KernelValue.h"

namespace {

using kxtest::Host;
using kxtest::HostRootScope;
using kxtest::TraceScope;

const std::string kMsgmnbLabel = "max bytes on queue (MSGMNB)";

// A host with grep and the managing product (package ZVNQkxsdl installed), and the trace on.
class CalcValue : public ::testing::Test
{
  protected:
    CalcValue() : mRoot(mHost.path())
    {
        mHost.solaris(10);
    }
    void sysdef(const std::string& iOutput) const
    {
        mHost.command("/usr/sbin/sysdef", iOutput);
    }
    void prtconf(const std::string& iOutput) const
    {
        mHost.command("/usr/sbin/prtconf", iOutput);
    }
    static InstallInfo product(uint32_t iMajor, uint32_t iLevel)
    {
        InstallInfo aInfo;
        aInfo.VOXLFlg = 1;
        aInfo.MajorVersion = iMajor;
        aInfo.MajorLevel = iLevel;
        return aInfo;
    }
    bool ranCommand() const
    {
        return kxtest::traceHas(mTrace, "[システムコマンド実施]");
    }

    TraceScope mTrace;
    Host mHost;
    HostRootScope mRoot;
};

TEST_F(CalcValue, KernelValueFromSysdef)
{
    const std::string aPad(300, '1');
    struct Case {
        std::string Output;
        int Result;
        unsigned long long Value;
    } aCases[] = {
        {"0x1000\t" + kMsgmnbLabel + "\n", 0, 4096},
        {"    4096  \t " + kMsgmnbLabel + "  \n", 0, 4096},
        {"1152921504606846976\t" + kMsgmnbLabel + "\n", 0, 1ULL << 60},
        {"1152921504606846977\t" + kMsgmnbLabel + "\n", -1, 0},
        {"0x1000000000000001\t" + kMsgmnbLabel + "\n", -1, 0},
        {"99999999999999999999999\t" + kMsgmnbLabel + "\n", -1, 0},
        // Lines whose value is no number, or whose pieces are too long, are passed over.
        {"12ab\t" + kMsgmnbLabel + "\n0xZZ " + kMsgmnbLabel + "\n0X10\t" + kMsgmnbLabel + "\n", 0,
         16},
        {aPad + " " + kMsgmnbLabel + "\n8 " + kMsgmnbLabel + "\n", 0, 8},
        {"5 " + kMsgmnbLabel + aPad + "\n9 " + kMsgmnbLabel + "\n", 0, 9},
        {"4096\t" + kMsgmnbLabel + " x\n4096\tmax bytes on queue (MSGMNBX)\n", 14, 0},
        // A labelled line with no number is unreadable output, not a missing value; so is
        // one whose value word is too long to hold.
        {"0x\t" + kMsgmnbLabel + "\n", -1, 0},
        {aPad + " " + kMsgmnbLabel + "\n", -1, 0},
        {"", 14, 0},
    };
    for (const Case& aCase : aCases) {
        sysdef(aCase.Output);
        unsigned long long aValue = 0;
        EXPECT_EQ(aCase.Result, kxl_getSystemVal("MSGMNB", kMsgmnbLabel.c_str(), aValue))
            << aCase.Output;
        if (aCase.Result == 0) {
            EXPECT_EQ(aCase.Value, aValue) << aCase.Output;
        }
    }
    // Every temporary output file is gone again.
    EXPECT_EQ(std::vector<std::string>{"trace.log"}, kxtest::listDir(mTrace.toolDir() + "/trace"));
}

TEST_F(CalcValue, MemoryFromPrtconf)
{
    struct Case {
        std::string Output;
        int Result;
        unsigned long long Bytes;
    } aCases[] = {
        {"Memory size: 2048 Megabytes\n", 0, 2147483648ULL},
        {"Memory size: 0 Megabytes\n", -1, 0},
        {"Memory size: 17592186044414 Megabytes\n", 0, 17592186044414ULL * 1048576ULL},
        {"Memory size: 17592186044415 Megabytes\n", -1, 0},
        {"Memory size: 99999999999999999999999 Megabytes\n", -1, 0},
        {"Memory size: 2x Megabytes\nMemory size:  512  Megabytes\n", 0, 536870912ULL},
        {"Memory size: " + std::string(300, ' ') + "64 Megabytes\nMemory size: 1 Megabytes\n", 0,
         1048576ULL},
        {"Memory size: 2048 MB\n", -1, 0},
        {"Memory: 2048 Megabytes\n", -1, 0},
    };
    for (const Case& aCase : aCases) {
        prtconf(aCase.Output);
        unsigned long long aBytes = 0;
        EXPECT_EQ(aCase.Result, kxl_GetSysMemory(aBytes)) << aCase.Output;
        if (aCase.Result == 0) {
            EXPECT_EQ(aCase.Bytes, aBytes) << aCase.Output;
        }
    }
    EXPECT_EQ(std::vector<std::string>{"trace.log"}, kxtest::listDir(mTrace.toolDir() + "/trace"));
}

TEST_F(CalcValue, OSInitialValue)
{
    prtconf("Memory size: 2048 Megabytes\n");
    unsigned long long aValue = 0;
    EXPECT_EQ(0, kxl_getCalcOSInit("project.max-shm-memory", aValue));
    EXPECT_EQ(536870912ULL, aValue);
    EXPECT_NE(0, kxl_getCalcOSInit("project.max-sem-ids", aValue));
}

TEST_F(CalcValue, NeededValues)
{
    // Without settings: (20 + 100 + 4096 + 20) / 100, or / 204 up to 13 level 39.
    sysdef("    4096\t" + kMsgmnbLabel + "\n      40\tsystem message headers (MSGTQL)\n");
    struct Case {
        std::string Param;
        std::string Tolvrc; // empty: no file
        uint32_t Major;
        uint32_t Level;
        unsigned long long Value;
    } aCases[] = {
        {"msgsys:msginfo_msgtql", "", 13, 40, 42},
        {"msgsys:msginfo_msgtql", "", 13, 39, 20},
        {"msgsys:msginfo_msgtql", "", 12, 99, 20},
        {"msgsys:msginfo_msgtql", "servmax = 0\ncntmax = 4\n", 14, 0, 42},
        {"msgsys:msginfo_msgtql", "servmax = 201\ncntmax = 10001\n", 13, 40, 42},
        {"msgsys:msginfo_msgtql", "servmax = 1x\n", 13, 40, 42},
        {"msgsys:msginfo_msgtql", "servmax = 200\n", 13, 40, 44},
        {"msgsys:msginfo_msgtql", "Servmax = 150\nservmax = 200\n", 13, 40, 43},
        {"msgsys:msginfo_msgtql", "cntmax = 5\n", 13, 40, 41},
        {"msgsys:msginfo_msgtql", "CNTMAX = 10000\n", 13, 40, 141},
        {"msgsys:msginfo_msgmap", "", 13, 40, 42},
    };
    for (const Case& aCase : aCases) {
        kxtest::writeFile(mHost / "opt/ZVNQkxsdl/etc/tolvrc", aCase.Tolvrc);
        if (aCase.Tolvrc.empty()) {
            remove((mHost / "opt/ZVNQkxsdl/etc/tolvrc").c_str());
        }
        unsigned long long aValue = 0;
        EXPECT_EQ(0, kxl_getCalcNeedVal(aCase.Param, "Solaris9", product(aCase.Major, aCase.Level), aValue));
        EXPECT_EQ(aCase.Value, aValue) << aCase.Param << " " << aCase.Tolvrc;
    }
    unsigned long long aValue = 0;
    EXPECT_NE(0, kxl_getCalcNeedVal("msgsys:msginfo_msgmni", "Solaris9", product(13, 40), aValue));
}

TEST_F(CalcValue, MissingCommandFails)
{
    unsigned long long aValue = 0;
    EXPECT_NE(0, kxl_GetSysMemory(aValue));
    EXPECT_NE(0, kxl_getCalcNeedVal("msgsys:msginfo_msgmap", "Solaris9", product(13, 40), aValue));
}

// Until a program uses message queues sysdef shows no message tunable: the value the
// module will take, from /etc/system or the system default, is used instead.
TEST_F(CalcValue, MessageModuleNotLoaded)
{
    sysdef("*\n* IPC Messages module is not loaded\n*\n");
    struct Case {
        std::string System;
        std::string Param;
        unsigned long long Value;
    } aCases[] = {
        {"set msgsys:msginfo_msgmnb = 0x10000 * raised\n", "msgsys:msginfo_msgtql", 656},
        {"set msgsys:msginfo_msgmnb=1\nset msgsys:msginfo_msgmnb=65536\n", "msgsys:msginfo_msgtql",
         656},
        {"* set msgsys:msginfo_msgmnb=65536\n", "msgsys:msginfo_msgtql", 42},
        // The kernel reads the number 64 and ignores the rest.
        {"set msgsys:msginfo_msgmnb=64k\n", "msgsys:msginfo_msgtql", 2},
        {"set msgsys:msginfo_msgmnb=k64\n", "msgsys:msginfo_msgtql", 42},
        {"set msgsys:msginfo_msgtql=02000\n", "msgsys:msginfo_msgmap", 1026},
        {"", "msgsys:msginfo_msgmap", 42},
    };
    for (const Case& aCase : aCases) {
        mHost.file("/etc/system", aCase.System);
        unsigned long long aValue = 0;
        EXPECT_EQ(0, kxl_getCalcNeedVal(aCase.Param, "Solaris9", product(13, 40), aValue)) << aCase.System;
        EXPECT_EQ(aCase.Value, aValue) << aCase.System;
    }
    EXPECT_TRUE(kxtest::traceHas(mTrace, "sysdefに値がないためシステム既定値を使用 MSGMNB[4096]"));
    // On Solaris 11 the fragments of /etc/system.d count as they do for the rows.
    mHost.file("/etc/system.d/ipc", "set msgsys:msginfo_msgtql=1024\n");
    unsigned long long aValue = 0;
    EXPECT_EQ(0, kxl_getCalcNeedVal("msgsys:msginfo_msgmap", "Solaris11", product(13, 40), aValue));
    EXPECT_EQ(1026u, aValue);
}

TEST_F(CalcValue, MessageHeadersNotNeeded)
{
    unsigned long long aValue = 99;
    InstallInfo aOff = product(13, 40);
    aOff.VOXLFlg = 0;
    EXPECT_EQ(0, kxl_getCalcNeedVal("msgsys:msginfo_msgtql", "Solaris9", aOff, aValue));
    EXPECT_EQ(0u, aValue);

    // Without the package neither sysdef runs nor the settings are looked for.
    mHost.file("/opt/vestrel/etc/vestrel.reg", "[DM]\nOTHERpkg=1\n");
    aValue = 99;
    EXPECT_EQ(0, kxl_getCalcNeedVal("msgsys:msginfo_msgtql", "Solaris9", product(13, 40), aValue));
    EXPECT_EQ(0u, aValue);
    EXPECT_FALSE(ranCommand());
    EXPECT_FALSE(kxtest::traceHas(mTrace, "servmax"));
}

} // namespace
