// Tests of reading the current settings from /etc/system and /etc/project.
#include <gtest/gtest.h>

#include "KxTestSupport.h"
#include "kxsyfchk.h"

namespace {

using kxtest::Host;
using kxtest::TraceScope;

class CurrentSettings : public ::testing::Test {
protected:
    // Records named "name" or "name@project".
    void records(const std::vector<std::string>& iNames)
    {
        mList = SysPrmList{};
        for (const std::string& aName : iNames) {
            SysPrmRecord aRecord;
            size_t aAt = aName.find('@');
            aRecord.ParamName = aName.substr(0, aAt);
            if (aAt != std::string::npos) {
                aRecord.ProjectName = aName.substr(aAt + 1);
            }
            mList.Records.push_back(aRecord);
        }
        mList.Count = mList.Capacity = static_cast<int>(iNames.size());
    }
    std::vector<std::string> values() const
    {
        std::vector<std::string> aValues;
        for (int i = 0; i < mList.Count; i++) {
            const SysPrmRecord& aRecord = mList.Records[i];
            aValues.push_back(aRecord.CurrentPrivilege.empty()
                                  ? aRecord.CurrentValue
                                  : aRecord.CurrentPrivilege + "|" + aRecord.CurrentValue);
        }
        return aValues;
    }
    TraceScope mTrace;
    Host mHost;
    kxtest::HostRootScope mRoot{mHost.path()};
    SysPrmList mList;
};

TEST_F(CurrentSettings, SetLinesOfEtcSystem)
{
    mHost.file("/etc/system", "* set msgsys:msginfo_msgmnb=1\n"
                              "forceload: sys/msgsys\n"
                              "  set msgsys:msginfo_msgmnb = 0x20000 \r\n"
                              "set msgsys:msginfo_msgmnb=2\n"
                              "setx shmsys:shminfo_shmmax=7\n"
                              "set semsys:seminfo_semmni\n"
                              "set semsys:seminfo_semmns=\n"
                              "set noise=semsys:seminfo_semmns=60\n"
                              "set project.x=" + std::string(300, '9') + "\n");
    records({"msgsys:msginfo_msgmnb", "msgsys:msginfo_msgmnb", "shmsys:shminfo_shmmax",
             "semsys:seminfo_semmni", "semsys:seminfo_semmns", "project.x", "msgsys:msginfo_msgmnb"});
    ASSERT_EQ(0, kxl_GetSystemParam("Solaris9", mList));
    EXPECT_EQ((std::vector<std::string>{"0x20000", "2", "7", "", "60", std::string(256, '9'), ""}),
              values());
}

TEST_F(CurrentSettings, ShortNameMatchesInsideALongerOne)
{
    mHost.file("/etc/system", "set shmsys:shminfo_shmmax=100\n");
    records({"shmmax"});
    ASSERT_EQ(0, kxl_GetSystemParam("Solaris8", mList));
    EXPECT_EQ("100", mList.Records[0].CurrentValue);
}

TEST_F(CurrentSettings, ResourceControlsOfEtcProject)
{
    mHost.file("/etc/project",
               "system:0::::\n"
               "user.rootx:1::::project.max-shm-ids=(priv,1,deny)\n"
               "user.root:1::::project.max-shm-memory=(priv,4294967296,deny),(priv,1,deny);"
               "project.max-shm-ids=(privileged , 512 ,deny) ; project.max-sem-ids = (basic,64)\n"
               "group.staff:10::::project.max-msg-ids=(priv,99,deny)\n"
               "default:3::::process.max-sem-nsems=(priv,512,deny)\n");
    records({"project.max-shm-memory@user.root", "project.max-shm-ids@user.root",
             "project.max-sem-ids@user.root", "project.max-msg-ids@user.root",
             "process.max-sem-nsems"});
    ASSERT_EQ(0, kxl_GetSystemParam("Solaris10", mList));
    // user.rootx begins with user.root, so its control is taken first.
    EXPECT_EQ((std::vector<std::string>{"priv|4294967296", "priv|1", "basic|64", "", "priv|512"}),
              values());
}

TEST_F(CurrentSettings, BlocksThatLeaveTheRecordWithoutValue)
{
    struct Case {
        std::string Block;
        std::string Value;
    } aCases[] = {
        {"project.max-shm-ids=(priv,512,deny)", "priv|512"},
        {"project.max-shm-ids\t=(priv,512,deny)", ""},
        {"project.max-shm-ids(priv,512,deny)", ""},
        {"project.max-shm-ids=priv,512,deny", ""},
        {"project.max-shm-ids=(priv,512,deny", ""},
        {"project.max-shm-ids=(priv)", "priv|"},
        {"x.project.max-shm-ids=(priv,512,deny)", ""},
        {"project.max-shm-ids=(" + std::string(20, 'p') + "," + std::string(300, '5') + ")",
         std::string(11, 'p') + "|" + std::string(256, '5')},
    };
    for (const Case& aCase : aCases) {
        mHost.file("/etc/project", "user.root:1::::" + aCase.Block + "\n");
        records({"project.max-shm-ids@user.root"});
        ASSERT_EQ(0, kxl_GetSystemParam("Solaris10", mList));
        EXPECT_EQ(aCase.Value, values()[0]) << aCase.Block;
    }
}

TEST_F(CurrentSettings, LaterBlockFillsARecordLeftEmpty)
{
    mHost.file("/etc/project", "user.root:1::::project.max-shm-ids=(priv);"
                               "project.max-shm-ids=(basic,64,deny)\n");
    records({"project.max-shm-ids"});
    ASSERT_EQ(0, kxl_GetSystemParam("Solaris10", mList));
    EXPECT_EQ("basic|64", values()[0]);
}

TEST_F(CurrentSettings, ProjectLinesAreNotTestedForComments)
{
    mHost.file("/etc/project", "# old: project.max-shm-ids=(priv,1,deny)\n"
                               "user.root:1::::project.max-shm-ids=(basic,64,deny)\n");
    records({"project.max-shm-ids"});
    ASSERT_EQ(0, kxl_GetSystemParam("Solaris10", mList));
    EXPECT_EQ("priv|1", values()[0]);
}

TEST_F(CurrentSettings, MissingFiles)
{
    records({"p"});
    EXPECT_EQ(-9998, kxl_GetSystemParam("Solaris9", mList));
    EXPECT_EQ("ファイルオープン失敗：" + mHost.path() + "/etc/system", mTrace.messages().back());
    EXPECT_EQ(-9998, kxl_GetSystemParam("Solaris10", mList));
    EXPECT_EQ("ファイルオープンエラー", mTrace.messages().back());
}

// A settings file that opens but cannot be read is a failure, not a host with nothing set.
TEST_F(CurrentSettings, UnreadableFilesFail)
{
    kxtest::makeDirs(mHost / "etc/system");
    kxtest::makeDirs(mHost / "etc/project");
    records({"p"});
    EXPECT_EQ(-9998, kxl_GetSystemParam("Solaris9", mList));
    EXPECT_EQ("ファイル読み込みエラー", mTrace.messages().back());
    EXPECT_EQ(-9998, kxl_GetSystemParam("Solaris10", mList));
    EXPECT_EQ("ファイル読み込みエラー", mTrace.messages().back());
}

} // namespace
