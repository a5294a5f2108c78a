// fuzz_prmlist.cpp
// A parameter list file (def/kxsyfchk_sol10.csv of the tool definition) through the whole
// check as main runs it: loading, current settings of a fixed host, evaluation, report.
// Bit 0 of the first byte picks the release, bit 1 managing-product mode; the input is
// the file as it stands, so that the seeds are plain lists.
//
// The host has no sysdef and no prtconf: a "calc" row fails at once instead of starting
// commands, which the evaluation reports as a stop.
#include <cstdint>
#include <string>

#include "KxFuzzSupport.h"
#include "CurrentSettings.h"
#include "Evaluate.h"
#include "ParamList.h"
#include "Report.h"

namespace {

const char* const kProject =
    "system:0::::\n"
    "user.root:1::::project.max-shm-memory=(priv,4294967296,deny);"
    "project.max-shm-ids=(priv,512,deny);project.max-sem-ids=(basic,512,deny);"
    "process.max-msg-messages=(priv,8192,deny),(basic,16,deny)\n"
    "default:3::::\n"
    "user.dbadmin:100::dbadmin::project.max-shm-memory=(priv,17179869184,deny)\n";

const char* const kSystem =
    "* fixed host of the fuzz target\n"
    "set msgsys:msginfo_msgmnb = 0x10000\n"
    "set msgsys:msginfo_msgtql = 512\n"
    "set semsys:seminfo_semmni=1024\n"
    "set shmsys:shminfo_shmmax=0x0000000080000000\n"
    "set rlim_fd_max = 4096    # hard limit\n";

// A product that the rows of every filter field can name.
InstallInfo kxl_productInfo(bool iManaged)
{
    InstallInfo aInfo;
    if (iManaged) {
        aInfo.VOXLFlg = 1;
        aInfo.MajorVersion = 13;
        aInfo.MajorLevel = 0x28;
        aInfo.VersionMJ = 13;
        aInfo.VersionMI = 3;
        aInfo.VersionML = 0;
        aInfo.InstallType = "NRDB";
        aInfo.Type = 8;
    }
    return aInfo;
}


} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* iData, size_t iSize)
{
    const kxfuzz::Dirs& aDirs = kxfuzz::setUp();
    kxfuzz::putHost("/etc/project", kProject);
    kxfuzz::putHost("/etc/system", kSystem);
    kxfuzz::writeFile(aDirs.Tool + "/def/kxsyfchk_sol10.csv", iData, iSize);
    uint8_t aChoice = iSize > 0 ? iData[0] : 0;
    const std::string aOSName = (aChoice & 1) != 0 ? "Solaris9" : "Solaris10";
    const InstallInfo aInfo = kxl_productInfo((aChoice & 2) != 0);

    SysPrmList aList;
    if (kxl_getSysPrmList(aOSName, aInfo, aList) == 0 && aList.Count > 0 &&
        kxl_GetSystemParam(aOSName, aList) == 0 && kxl_ChkSystemParamList(aOSName, aInfo, aList) == 0) {
        kxl_outReport(aOSName, aDirs.OutLog, aList);
    }
    kxfuzz::endRun();
    return 0;
}
