// Tests of reading the current settings from /etc/system and /etc/project.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "KxTestSupport.h"
#include "CurrentSettings.h"

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
                                  : aRecord.CurrentPrivilege.str() + "|" + aRecord.CurrentValue);
        }
        return aValues;
    }
    TraceScope mTrace;
    Host mHost;
    kxtest::HostRootScope mRoot{mHost.path()};
    SysPrmList mList;
};

// "set" statements as the kernel applies them: exact names, comments after the value,
// the last statement of a name in force for every record of that name.
TEST_F(CurrentSettings, SetStatementsOfEtcSystem)
{
    mHost.file("/etc/system",
               "* set semsys:seminfo_semmni=1\n"
               "forceload: sys/msgsys\n"
               "set rlim_fd_max = 4096               # Hard limit on file descriptors\n"
               "set rlim_fd_cur=256 * soft = 1024\n"
               "set semsys:seminfo_semmni=1024\n"
               "\tset\tsemsys : seminfo_semmni\t=\t100\r\n"
               "set noexec_user_stack_log=0\n"
               "set noexec_user_stack=1\n"
               "setx shmsys:shminfo_shmmax=7\n"
               "set shmsys:shminfo_shmmni\n"
               "set shmsys:shminfo_shmseg=64\n"
               "set shmsys:shminfo_shmseg=\n"
               "set shmsys:shminfo_shmseg=abc\n"
               "set zfs:x=" + std::string(300, '9') + "\n");
    records({"rlim_fd_max", "rlim_fd_cur", "semsys:seminfo_semmni", "noexec_user_stack",
             "shmsys:shminfo_shmmax", "shmsys:shminfo_shmmni", "shmsys:shminfo_shmseg",
             "zfs:x", "semsys:seminfo_semmni", "seminfo_semmni"});
    ASSERT_EQ(0, kxl_GetSystemParam("Solaris9", mList));
    EXPECT_EQ((std::vector<std::string>{"4096", "256", "100", "1", "", "", "64",
                                        std::string(256, '9'), "100", ""}),
              values());
    EXPECT_EQ("/etc/system", mList.Records[0].CurrentFile);
}

TEST_F(CurrentSettings, FragmentsOfSolaris11ComeBeforeEtcSystem)
{
    mHost.file("/etc/system.d/b-site", "set rlim_fd_max=2048\nset rlim_fd_cur=512\n");
    mHost.file("/etc/system.d/a-vendor", "set rlim_fd_max=1024\nset maxusers=64\n");
    mHost.file("/etc/system.d/.hidden", "set maxusers=1\n");
    kxtest::makeDirs(mHost / "etc/system.d/subdir");
    mHost.file("/etc/system", "set rlim_fd_cur=4096\n");
    records({"rlim_fd_max", "rlim_fd_cur", "maxusers"});
    ASSERT_EQ(0, kxl_GetSystemParam("Solaris11", mList));
    // The kernel lowers rlim_fd_cur to rlim_fd_max.
    EXPECT_EQ((std::vector<std::string>{"2048", "2048", "64"}), values());
    EXPECT_EQ("/etc/system.d/b-site", mList.Records[0].CurrentFile);
    EXPECT_EQ(LimitOrigin::Lowered, mList.Records[1].Origin);
    // Other releases read /etc/system only.
    records({"rlim_fd_max", "maxusers"});
    ASSERT_EQ(0, kxl_GetSystemParam("Solaris10", mList));
    EXPECT_EQ((std::vector<std::string>{"", ""}), values());
}

// Since Solaris 9 resource controls come from /etc/project, everything else from
// /etc/system; a file no record needs is not read.
TEST_F(CurrentSettings, SourceByKindOfParameter)
{
    mHost.file("/etc/project", "user.root:1::::process.max-file-descriptor=(priv,4096,deny)\n");
    mHost.file("/etc/system", "set rlim_fd_max=1024\nset process.max-file-descriptor=1\n");
    records({"process.max-file-descriptor", "rlim_fd_max"});
    ASSERT_EQ(0, kxl_GetSystemParam("Solaris10", mList));
    EXPECT_EQ((std::vector<std::string>{"priv|4096", "1024"}), values());
    records({"process.max-file-descriptor"});
    ASSERT_EQ(0, kxl_GetSystemParam("Solaris9", mList));
    EXPECT_EQ("priv|4096", values()[0]);
    records({"process.max-file-descriptor"});
    ASSERT_EQ(0, kxl_GetSystemParam("Solaris8", mList));
    EXPECT_EQ("1", values()[0]);
    remove((mHost / "etc/system").c_str());
    records({"task.max-lwps"});
    EXPECT_EQ(0, kxl_GetSystemParam("Solaris11", mList));
}

TEST_F(CurrentSettings, ResourceControlsOfEtcProject)
{
    mHost.file("/etc/project",
               "system:0::::\n"
               "user.oracle11:100::::project.max-shm-ids=(priv,1,deny)\n"
               "user.oracle:101::::project.max-shm-memory=(privileged,8589934592,deny);"
               "process.max-file-descriptor=(basic,1024,deny),(privileged,65536,deny)\n"
               "user.oracle:102::::project.max-shm-ids=(priv,512,deny)\n"
               "group.staff:10::::process.max-sem-nsems=(basic,7,deny)\n"
               "default:3::::process.max-sem-nsems=(priv,512,deny)\n");
    records({"project.max-shm-memory@user.oracle", "process.max-file-descriptor@user.oracle",
             "project.max-shm-ids@user.oracle", "process.max-sem-nsems",
             "process.max-file-descriptor"});
    mList.Records[1].Privilege = "priv";
    ASSERT_EQ(0, kxl_GetSystemParam("Solaris10", mList));
    EXPECT_EQ((std::vector<std::string>{"privileged|8589934592", "privileged|65536", "",
                                        "basic|7", "basic|1024"}),
              values());
    EXPECT_EQ("/etc/project", mList.Records[0].CurrentFile);
    EXPECT_EQ("group.staff", mList.Records[3].CurrentProject);
}

// An entry's attributes as setproject applies them: keys and values without the blanks
// around them, controls the release does not know passed over, a value it cannot read
// ending the entry there, one the kernel refuses leaving its control out.
TEST_F(CurrentSettings, AttributesAsSetprojectAppliesThem)
{
    struct Case {
        std::string Attributes;
        std::string ShmIds, SemIds;
        SettingProblem Problem; // of project.max-sem-ids
    } aCases[] = {
        {"project.max-shm-ids = (privileged, 512, deny) ;project.max-sem-ids=(priv,256,deny)",
         "privileged|512", "priv|256", SettingProblem::None},
        {"project.pool=pool_db;rcap.max-rss=10G;task.final;project.max-sem-ids=(priv,256,deny)",
         "", "priv|256", SettingProblem::None},
        {"project.max-shm-ids=(priv,16G,deny);project.max-sem-ids=(priv,256,deny)", "", "",
         SettingProblem::EntryBroken},
        {"project.max-shm-ids=(priv,512,DENY);project.max-sem-ids=(priv,256,deny)", "", "",
         SettingProblem::EntryBroken},
        {"project.max-shm-ids=(system,512,deny);project.max-sem-ids=(priv,256,deny)", "", "",
         SettingProblem::EntryBroken},
        {"project.max-shm-ids=(priv,512);project.max-sem-ids=(priv,256,deny)", "", "",
         SettingProblem::EntryBroken},
        {"project.max-sem-ids=(priv,256,deny);project.max-shm-ids=(priv,-1,deny)", "",
         "priv|256", SettingProblem::EntryBroken},
        {"project.max-shm-ids=(priv,+512,signal=SIGKILL);project.max-sem-ids=(basic,256,deny)",
         "priv|+512", "", SettingProblem::Refused},
        {"project.max-shm-ids=(priv,16777217,deny);project.max-sem-ids=(priv,256,none)", "", "",
         SettingProblem::Refused},
        {"project.max-sem-ids=(priv,256,signal=SIGXCPU)", "", "", SettingProblem::Refused},
        {"project.max-sem-ids=priv,256,deny;project.max-shm-ids=(priv,1,deny)", "priv|1", "",
         SettingProblem::NoValue},
        {"project.max-sem-ids=(priv,64,deny);project.max-sem-ids=(priv,256,deny)", "",
         "priv|256", SettingProblem::None},
        {"project.max-sem-ids=(priv,64,deny);project.max-sem-ids=(priv,99999999,deny)", "",
         "priv|64", SettingProblem::None},
    };
    for (const Case& aCase : aCases) {
        mHost.file("/etc/project", "user.root:1::::" + aCase.Attributes + "\n");
        records({"project.max-shm-ids@user.root", "project.max-sem-ids@user.root"});
        ASSERT_EQ(0, kxl_GetSystemParam("Solaris10", mList));
        EXPECT_EQ((std::vector<std::string>{aCase.ShmIds, aCase.SemIds}), values())
            << aCase.Attributes;
        EXPECT_EQ(aCase.Problem, mList.Records[1].Problem) << aCase.Attributes;
        if (aCase.Problem == SettingProblem::EntryBroken) {
            EXPECT_EQ("project.max-shm-ids", mList.Records[1].ProblemDetail);
        }
    }
}

TEST_F(CurrentSettings, ChoiceOfTheValue)
{
    const std::string aControl = "task.max-lwps=(basic,10,deny),(priv,20,none),"
                                 "(privileged,30,deny),(priv,40,deny)";
    struct Case {
        std::string Privilege;
        std::string Taken;
    } aCases[] = {
        {"priv", "privileged|30"}, {"PRIVILEGED", "privileged|30"}, {"basic", "basic|10"},
        {"system", "basic|10"},    {"", "basic|10"},
    };
    mHost.file("/etc/project", "user.root:1::::" + aControl + "\n");
    for (const Case& aCase : aCases) {
        records({"task.max-lwps@user.root"});
        mList.Records[0].Privilege = aCase.Privilege;
        ASSERT_EQ(0, kxl_GetSystemParam("Solaris11", mList));
        EXPECT_EQ(aCase.Taken, values()[0]) << aCase.Privilege;
    }
    mHost.file("/etc/project", "user.root:1::::task.max-lwps=(basic,10,deny),(priv,20,none)\n");
    records({"task.max-lwps@user.root"});
    mList.Records[0].Privilege = "priv";
    ASSERT_EQ(0, kxl_GetSystemParam("Solaris10", mList));
    EXPECT_EQ("priv|20", values()[0]);
}

// Lines with fewer than six fields, or without a name or project number, are no entries.
TEST_F(CurrentSettings, LinesThatAreNoProjectEntry)
{
    mHost.file("/etc/project", "# old: project.max-shm-ids=(priv,1,deny)\n"
                               ":5::::project.max-shm-ids=(priv,2,deny)\n"
                               "user.x:::::project.max-shm-ids=(priv,3,deny)\n"
                               "user.root:1::::project.max-shm-ids=(priv,64,deny)\n");
    records({"project.max-shm-ids"});
    ASSERT_EQ(0, kxl_GetSystemParam("Solaris10", mList));
    EXPECT_EQ("priv|64", values()[0]);
}

TEST_F(CurrentSettings, MissingFiles)
{
    records({"p"});
    EXPECT_EQ(-9998, kxl_GetSystemParam("Solaris9", mList));
    EXPECT_EQ("ファイルオープン失敗：" + mHost.path() + "/etc/system", mTrace.messages().back());
    records({"task.p"});
    EXPECT_EQ(-9998, kxl_GetSystemParam("Solaris10", mList));
    EXPECT_EQ("ファイルオープンエラー", mTrace.messages().back());
}

// A settings file that is no regular file is refused like one that cannot be opened,
// not read as a host with nothing set, nor waited on when it is a FIFO.
TEST_F(CurrentSettings, SettingsFilesThatAreNoRegularFilesFail)
{
    kxtest::makeDirs(mHost / "etc/system");
    ASSERT_EQ(0, mkfifo((mHost / "etc/project").c_str(), 0600));
    records({"p"});
    EXPECT_EQ(-9998, kxl_GetSystemParam("Solaris9", mList));
    EXPECT_EQ("ファイルオープン失敗：" + mHost.path() + "/etc/system", mTrace.messages().back());
    records({"task.p"});
    EXPECT_EQ(-9998, kxl_GetSystemParam("Solaris10", mList));
    EXPECT_EQ("ファイルオープンエラー", mTrace.messages().back());
}

} // namespace
