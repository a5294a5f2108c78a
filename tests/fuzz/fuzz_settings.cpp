// fuzz_settings.cpp
// The host's settings: /etc/project, /etc/system and one fragment of /etc/system.d, read
// for a fixed list of requirements on Solaris 9, 10 and 11, then judged and reported.
// The input holds the three files separated by NUL bytes; without a NUL it is cut in
// half between /etc/project and /etc/system, and the fragment is a fixed one.
#include <cstdint>
#include <string>

#include "KxFuzzSupport.h"
#include "CurrentSettings.h"
#include "Evaluate.h"
#include "Report.h"

namespace {

struct Requirement {
    const char* Param;
    const char* Project;
    const char* Privilege;
    const char* Criterion;
    const char* OSInit;
    const char* Need;
};

// Resource controls of every prefix, with and without a project, privilege words in
// several spellings, two requirements on one control; "set" names with and without a
// module; every criterion.
const Requirement kRequirements[] = {
    {"project.max-shm-memory", "user.root", "priv", "additional", "1073741824", "4294967296"},
    {"project.max-shm-ids", "user.root", "priv", "additional", "128", "256"},
    {"project.max-shm-ids", "", "basic", "fixed", "", "100"},
    {"project.max-sem-ids", "", "PRIV", "fixed", "", "512"},
    {"process.max-sem-nsems", "user.oracle", "privileged", "additional", "512", "256"},
    {"process.max-file-descriptor", "", "basic", "optcri", "1 2", "10 20 30 40"},
    {"task.max-lwps", "", "system", "fixed", "", "2048"},
    {"zone.max-swap", "", "", "fixed", "", "8589934592"},
    {"msgsys:msginfo_msgmnb", "", "", "additional", "4096", "65536"},
    {"semsys:seminfo_semmni", "", "", "additional", "10", "256"},
    {"shmsys:shminfo_shmmax", "", "", "fixed", "", "4294967296"},
    {"zfs:zfs_arc_max", "", "", "fixed", "", "17179869184"},
    {"rlim_fd_max", "", "", "fixed", "", "65536"},
    {"lwp_default_stksize", "", "", "optcri", "5 6", "10 20 30 40"},
};

const char* const kOSNames[] = {"Solaris9", "Solaris10", "Solaris11"};

const char* const kFixedFragment =
    "* Settings of the database.\n"
    "set rlim_fd_max = 65536\n"
    "set zfs:zfs_arc_max = 0x400000000\n";

SysPrmList kxl_makeList()
{
    SysPrmList aList;
    for (const Requirement& aReq : kRequirements) {
        SysPrmRecord aRecord;
        aRecord.ParamName = aReq.Param;
        aRecord.ProjectName = aReq.Project;
        aRecord.Privilege = aReq.Privilege;
        aRecord.Criterion = aReq.Criterion;
        aRecord.OSInitValue = aReq.OSInit;
        aRecord.NeedValue = aReq.Need;
        aList.Records.push_back(aRecord);
    }
    aList.Count = static_cast<int>(aList.Records.size());
    aList.Capacity = aList.Count;
    return aList;
}

// The next piece of ioRest up to a NUL (dropped), or all of it.
std::string kxl_cutPiece(std::string& ioRest)
{
    size_t aNul = ioRest.find('\0');
    std::string aPiece = ioRest.substr(0, aNul);
    ioRest = aNul == std::string::npos ? std::string() : ioRest.substr(aNul + 1);
    return aPiece;
}

void kxl_putInput(const uint8_t* iData, size_t iSize)
{
    std::string aRest(reinterpret_cast<const char*>(iData), iSize);
    std::string aProject, aSystem, aFragment = kFixedFragment;
    if (aRest.find('\0') == std::string::npos) {
        aProject = aRest.substr(0, iSize / 2);
        aSystem = aRest.substr(iSize / 2);
    } else {
        aProject = kxl_cutPiece(aRest);
        aSystem = kxl_cutPiece(aRest);
        if (!aRest.empty()) {
            aFragment = aRest;
        }
    }
    kxfuzz::putHost("/etc/project", aProject);
    kxfuzz::putHost("/etc/system", aSystem);
    kxfuzz::putHost("/etc/system.d/com.example.fuzz", aFragment);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* iData, size_t iSize)
{
    const kxfuzz::Dirs& aDirs = kxfuzz::setUp();
    kxl_putInput(iData, iSize);
    InstallInfo aInfo;
    for (const char* aOSName : kOSNames) {
        SysPrmList aList = kxl_makeList();
        if (kxl_GetSystemParam(aOSName, aList) == 0 &&
            kxl_ChkSystemParamList(aOSName, aInfo, aList) == 0) {
            kxl_outReport(aOSName, aDirs.OutLog, aList);
        }
        kxfuzz::endRun();
    }
    return 0;
}
