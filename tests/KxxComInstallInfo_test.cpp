// Tests of the managing product's installation data.
#include <gtest/gtest.h>

#include <vector>

#include "KxTestSupport.h"
#include "KxxComInstallInfo.h"

namespace {

using kxtest::Host;
using kxtest::HostRootScope;
using kxtest::TraceScope;

const char* const kRegPath = "/opt/vestrel/etc/vestrel.reg";

// A throw-away tool directory and host, with managing-product mode given by iVoxl.
struct Installation {
    explicit Installation(const std::string& iVoxl = "YES") : Root(HostDir.path())
    {
        kxtest::writeFile(Trace.toolDir() + "/sys/kxdefchk_SOL.ini",
                          "[RunMode]\nVOXL=" + iVoxl + "\n");
    }
    TraceScope Trace;
    Host HostDir;
    HostRootScope Root;
};

bool traced(const TraceScope& iTrace, const std::string& iMessage)
{
    for (const std::string& aLine : iTrace.messages()) {
        if (aLine == iMessage) {
            return true;
        }
    }
    return false;
}

TEST(GetInstallInfo, ModeOffReadsNothing)
{
    for (const char* aVoxl : {"NO", "yes", ""}) {
        Installation aSetup(aVoxl);
        InstallInfo aInfo;
        aInfo.MajorVersion = 7;
        aInfo.Code = "stale";
        EXPECT_EQ(0, kxg_getInstallInfo(aInfo)) << aVoxl;
        EXPECT_EQ(0u, aInfo.VOXLFlg);
        EXPECT_EQ(0u, aInfo.MajorVersion);
        EXPECT_EQ("", aInfo.Code);
        // The installation file is absent: reading it would have been traced.
        EXPECT_TRUE(aSetup.Trace.messages().empty()) << aVoxl;
    }
}

TEST(GetInstallInfo, ProductNotInstalled)
{
    Installation aSetup;
    InstallInfo aInfo;
    EXPECT_EQ(15, kxg_getInstallInfo(aInfo));
    EXPECT_EQ(1u, aInfo.VOXLFlg);
    EXPECT_EQ("VOXL情報取得エラー", aSetup.Trace.messages().back());
}

TEST(GetInstallInfo, AllFieldsReadAndTraced)
{
    Installation aSetup;
    aSetup.HostDir.vestrel("D", "28", "NRDB", "8", "JAPANESE", "UTF-8");
    InstallInfo aInfo;
    ASSERT_EQ(0, kxg_getInstallInfo(aInfo));
    EXPECT_EQ(1u, aInfo.VOXLFlg);
    EXPECT_EQ(13u, aInfo.MajorVersion);
    EXPECT_EQ(0x28u, aInfo.MajorLevel);
    EXPECT_EQ(13u, aInfo.VersionMJ);
    EXPECT_EQ(3u, aInfo.VersionMI);
    EXPECT_EQ(0u, aInfo.VersionML);
    EXPECT_EQ("NRDB", aInfo.InstallType);
    EXPECT_EQ(8u, aInfo.Type);
    EXPECT_EQ("/opt/vestrel", aInfo.Path);
    EXPECT_EQ("UTF-8", aInfo.Code);
    std::vector<std::string> aExpected = {
        "MajorVersion[13]",    "MinorVersion[0]",          "MajorLevel  [40]",
        "VersionMJ   [13]",    "VersionMI   [3]",          "VersionML   [0]",
        "VlSuffix    []",      "InstallType [NRDB]",       "Type        [8]",
        "Path        [/opt/vestrel]", "Code        [UTF-8]",
    };
    EXPECT_EQ(aExpected, aSetup.Trace.messages());
}

TEST(GetInstallInfo, MajorVersionIsHexadecimalAndAtLeastB)
{
    struct Case {
        std::string Stored;
        int Result;
        uint32_t Major;
    } aCases[] = {
        {"B", 0, 11}, {"0x0B", 0, 11}, {"10", 0, 16}, {"A", -9978, 10}, {"zz", -9978, 0},
    };
    for (const Case& aCase : aCases) {
        Installation aSetup;
        aSetup.HostDir.vestrel(aCase.Stored, "28", "NRDA", "4");
        InstallInfo aInfo;
        EXPECT_EQ(aCase.Result, kxg_getInstallInfo(aInfo)) << aCase.Stored;
        EXPECT_EQ(aCase.Major, aInfo.VersionMJ) << aCase.Stored;
        // Refused only after every field was read and traced.
        EXPECT_EQ("EUC", aInfo.Code) << aCase.Stored;
        EXPECT_TRUE(traced(aSetup.Trace, "Code        [EUC]")) << aCase.Stored;
        EXPECT_EQ(aCase.Result != 0, traced(aSetup.Trace, "VOXLのバージョンが対象外"));
    }
}

TEST(GetInstallInfo, MinorVersionAndLevelFromMajorLevel)
{
    struct Case {
        std::string Stored;
        uint32_t Minor;
        uint32_t Level;
        std::string Trace;
    } aCases[] = {
        {"14", 1, 0, "VersionMI   [1]"},
        {"15", 1, 1, "VersionMI   [1]"},
        {"0", 0, 0, "VersionMI   [0]"},
        {"9", 4294967295u, 9, "VersionMI   [-1]"},
    };
    for (const Case& aCase : aCases) {
        Installation aSetup;
        aSetup.HostDir.vestrel("D", aCase.Stored, "NRDA", "4");
        InstallInfo aInfo;
        EXPECT_EQ(0, kxg_getInstallInfo(aInfo)) << aCase.Stored;
        EXPECT_EQ(aCase.Minor, aInfo.VersionMI) << aCase.Stored;
        EXPECT_EQ(aCase.Level, aInfo.VersionML) << aCase.Stored;
        EXPECT_TRUE(traced(aSetup.Trace, aCase.Trace)) << aCase.Stored;
    }
}

TEST(GetInstallInfo, LongTextsCutToTheirFields)
{
    Installation aSetup;
    aSetup.HostDir.file(kRegPath, "[Orbane_CurrentVersion]\n"
                                  "DM_MajorVersion=D\nDM_MinorVersion=0\nDM_MajorLevel=28\n"
                                  "DM_VLSuffix=" + std::string(40, 's') + "\n"
                                  "DM_InstallType2=NRDAEXTRA\nDM_Type=4\n"
                                  "DM_PathName=/opt/vestrel\n"
                                  "Code=" + std::string(40, 'c') + "\n");
    InstallInfo aInfo;
    ASSERT_EQ(0, kxg_getInstallInfo(aInfo));
    EXPECT_EQ(std::string(31, 's'), aInfo.VlSuffix);
    EXPECT_EQ("NRDAEXT", aInfo.InstallType);
    EXPECT_EQ(std::string(31, 'c'), aInfo.Code);
}

// A long line is one line, whatever its tail reads like: no role from a product name.
TEST(GetInstallInfo, LongLineIsOneLine)
{
    const std::string kName = "DM_ProductName=";
    for (size_t aTailAt : {4095, 8190, 4096}) {
        Installation aSetup;
        aSetup.HostDir.file(kRegPath, "[Orbane_CurrentVersion]\n" + kName +
                                          std::string(aTailAt - kName.size(), 'p') +
                                          "DM_InstallType2=NRDB\n"
                                          "DM_MajorVersion=D\nDM_MinorVersion=0\n"
                                          "DM_MajorLevel=28\nDM_VLSuffix=\n"
                                          "DM_InstallType2=NRDA\nDM_Type=4\n"
                                          "DM_PathName=/opt/vestrel\nCode=EUC\n");
        InstallInfo aInfo;
        ASSERT_EQ(0, kxg_getInstallInfo(aInfo)) << aTailAt;
        EXPECT_EQ("NRDA", aInfo.InstallType) << aTailAt;
    }
}

TEST(ChkVOXLLanguage, OnlyExactEnglish)
{
    struct Case {
        std::string Language;
        int Result;
    } aCases[] = {
        {"ENGLISH", 0}, {"english", -1}, {"JAPANESE", -1}, {"ENGLISH2", -1},
    };
    for (const Case& aCase : aCases) {
        Installation aSetup;
        aSetup.HostDir.vestrel("D", "28", "NRDA", "4", aCase.Language);
        EXPECT_EQ(aCase.Result, kxg_chkVOXLLanguage()) << aCase.Language;
    }
    Installation aSetup;
    EXPECT_EQ(-1, kxg_chkVOXLLanguage());
    EXPECT_EQ("値取得失敗", aSetup.Trace.messages().back());
}

TEST(ChkInstallCmp, PackageKeyOfSectionDM)
{
    Installation aSetup;
    EXPECT_EQ(-1, kxg_chkInstallCmp("ZVNQkxsdl"));
    aSetup.HostDir.file(kRegPath, "[Orbane_CurrentVersion]\nZVNQkxsdl=1\n");
    EXPECT_EQ(-1, kxg_chkInstallCmp("ZVNQkxsdl"));
    EXPECT_EQ("INIファイルより取得エラー", aSetup.Trace.messages().back());

    aSetup.HostDir.vestrel("D", "28", "NRDA", "4");
    EXPECT_EQ(0, kxg_chkInstallCmp("ZVNQkxsdl"));
    EXPECT_EQ(12, kxg_chkInstallCmp("ZVNQabsent"));
    EXPECT_EQ("キーのみ無し", aSetup.Trace.messages().back());
    // A key of another section does not count.
    EXPECT_EQ(12, kxg_chkInstallCmp("DM_Type"));
}

} // namespace
