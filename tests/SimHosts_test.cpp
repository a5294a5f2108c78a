// Keeps the simulated hosts under sim/ usable: their commands run and say what the
// check reads from them.
#include <gtest/gtest.h>

#include "KxTestSupport.h"
#include "KxxComGetSysInfo.h"
#include "KxxComInstallInfo.h"
#include "KxxComString.h"
#include "KxxComSysBase.h"

namespace {

using kxtest::HostRootScope;
using kxtest::TraceScope;

// The first line that iCommand prints on the host, trimmed.
std::string firstLine(const std::string& iCommand)
{
    FilePtr aFile;
    int aStatus = 0;
    std::string aLine;
    if (kxg_opnSComTmpFile(aFile, "kxtest_sim", iCommand, aStatus) == 0) {
        kxg_readFileRow(aFile.get(), aLine);
    }
    kxg_cloSComTmpFile(aFile, "kxtest_sim");
    kxg_trimLeft(aLine);
    return kxg_trimRight(aLine);
}

TEST(SimHosts, AnswerWhatTheCheckAsks)
{
    struct Case {
        std::string Host;
        int Minor;
        std::string Msgmnb;
        std::string Memory;
        std::string Code;
        std::string Zone; // zonecfg's first line; zones came with 5.10
    } aCases[] = {
        // 5.10 and later print no IPC values, so sysdef has no MSGMNB line.
        {"solaris10", 10, "", "Memory size: 8192 Megabytes", "UTF-8", "rctl:"},
        {"solaris11", 11, "", "Memory size: 65536 Megabytes", "UTF-8", "rctl:"},
        {"solaris9", 9, "131072\tmax bytes on queue (MSGMNB)", "Memory size: 4096 Megabytes",
         "EUC", ""},
    };
    for (const Case& aCase : aCases) {
        std::string aRoot = std::string(KX_SOURCE_DIR) + "/sim/" + aCase.Host;
        HostRootScope aScope(aRoot);
        TraceScope aTrace;
        kxtest::writeFile(aTrace.toolDir() + "/sys/kxdefchk_SOL.ini", "[RunMode]\nVOXL=YES\n");

        int aMinor = 0;
        EXPECT_EQ(0, kxg_getSUNOSVer(aMinor)) << aCase.Host;
        EXPECT_EQ(aCase.Minor, aMinor) << aCase.Host;
        EXPECT_EQ(0, kxg_chkAdmin()) << aCase.Host;

        std::string aGrep = " | " + kxg_getHostPath("/usr/bin/grep") + " ";
        EXPECT_EQ(aCase.Msgmnb, firstLine(kxg_getHostPath("/usr/sbin/sysdef") + aGrep + "MSGMNB"));
        EXPECT_EQ(aCase.Memory, firstLine(kxg_getHostPath("/usr/sbin/prtconf") + aGrep + "Memory"));
        std::string aZonecfg = kxg_getHostPath("/usr/sbin/zonecfg");
        EXPECT_EQ(aCase.Zone, kxg_chkFileExist(aZonecfg) == 3
                                  ? firstLine(aZonecfg + " -z " + firstLine(kxg_getHostPath(
                                                                      "/usr/bin/zonename")) +
                                              " info rctl")
                                  : "");

        InstallInfo aInfo;
        EXPECT_EQ(0, kxg_getInstallInfo(aInfo)) << aCase.Host;
        EXPECT_EQ(aCase.Code, aInfo.Code) << aCase.Host;
        EXPECT_EQ(0, kxg_chkInstallCmp("ZVNQkxsdl")) << aCase.Host;
    }
}

} // namespace
