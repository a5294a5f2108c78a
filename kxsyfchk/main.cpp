// main.cpp
// kxsyfchk: checks the host's kernel parameters and resource controls against what the
// installed product needs. Exit status 0 passed, 1 findings reported, 255 failure.
#include <cstdio>
#include <new>

#include "CurrentSettings.h"
#include "Evaluate.h"
#include "JsonReport.h"
#include "KxxComDefChkToolStartEnd.h"
#include "KxxComGetSysInfo.h"
#include "KxxComMessage.h"
#include "KxxComOutTrace.h"
#include "ParamList.h"
#include "Report.h"

namespace {

const char* const kFunc = "main";

// The roles of this host that the check serves in managing-product mode.
bool kxl_isServedRole(const std::string& iRole)
{
    return iRole == "NRDA" || iRole == "NRDB" || iRole == "NRDC" || iRole == "NRDD";
}

// Traces the failure of a step of the check and keeps it for the results. -1.
int kxl_failStep(const char* iStep, JsonReport& ioJson)
{
    ioJson.FailureCause = kxg_getLastTraceMessage();
    kxg_outWriteTracelog(kFunc, iStep);
    ioJson.FailedStep = iStep;
    return -1;
}

// "Solaris" and the minor release number, e.g. "Solaris10". -1 when not known.
int kxl_getOSName(std::string& oOSName)
{
    int aMinor = 0;
    if (kxg_getSUNOSVer(aMinor) != 0) {
        return -1;
    }
    oOSName = "Solaris" + std::to_string(aMinor);
    kxg_outWriteTracelogEx(kFunc, "OS[%s]", oOSName.c_str());
    return 0;
}

// Loads, reads and judges the requirement records, then reports them.
int kxl_chkSystemParams(const InstallInfo& iInfo, const std::string& iOutLog, SysPrmList& ioList,
                        JsonReport& ioJson)
{
    std::string aOSName;
    if (kxl_getOSName(aOSName) != 0) {
        return kxl_failStep("OS取得エラー", ioJson);
    }
    ioJson.OSName = aOSName;
    if (kxl_getSysPrmList(aOSName, iInfo, ioList) != 0) {
        return kxl_failStep("システムパラメタ一覧取得エラー", ioJson);
    }
    if (ioList.Count == 0) {
        return kxg_outSysMessage("07003") == 0 ? 0 : -1;
    }
    if (kxl_GetSystemParam(aOSName, ioList) != 0) {
        return kxl_failStep("システムファイルから値取得失敗", ioJson);
    }
    if (kxl_ChkSystemParamList(aOSName, iInfo, ioList) != 0) {
        return kxl_failStep("システムパラメタ一覧チェック失敗", ioJson);
    }
    return kxl_outReport(aOSName, iOutLog, ioList);
}

// The check after a successful start.
int kxl_runCheck(const InstallInfo& iInfo, const std::string& iOutLog, SysPrmList& ioList,
                 JsonReport& ioJson)
{
    if (kxg_outSysMessage("07001") != 0) {
        return -1;
    }
    if (iInfo.VOXLFlg == 1 && !kxl_isServedRole(iInfo.InstallType)) {
        return kxg_outSysMessage("07002") == 0 ? 0 : -1;
    }
    try {
        return kxl_chkSystemParams(iInfo, iOutLog, ioList, ioJson);
    } catch (const std::bad_alloc&) {
        return kxl_failStep("メモリーの確保エラー", ioJson);
    }
}

} // namespace

int main(int argc, char** argv)
{
    int aResult = 0;
    std::string aOutLog;
    InstallInfo aInfo;
    SysPrmList aList;
    JsonReport aJson;
    kxl_iniJsonReport(aJson);

    int aStart = kxg_strDefChkCom(argc, argv, aOutLog, aInfo);
    if (aStart == 2) {
        kxg_outWriteTracelog(kFunc, "初期処理にてコマンド正常終了");
    } else if (aStart != 0) {
        kxl_failStep("初期処理にてコマンド異常終了", aJson);
        aResult = aStart;
    } else {
        kxg_outWriteTracelog(kFunc, "初期処理成功");
        aResult = kxl_runCheck(aInfo, aOutLog, aList, aJson);
    }
    // A run refused because another holds the lock leaves that run's document alone.
    if (gRockFLG != 1) {
        kxl_outJsonReport(aJson, aResult, aInfo, aOutLog, aList);
    }
    aList = SysPrmList{};
    kxg_endDefChkCom(aResult);
    return aResult;
}
