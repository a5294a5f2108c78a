// ZoneConfig.cpp
// zonecfg prints each control as "rctl:" and then, indented, "name: zone.max-swap" and
// one "value: (priv=privileged,limit=1073741824,action=deny)" line per value.
#include <unordered_map>
#include <vector>

#include "ControlValue.h"
#include "HostText.h"
#include "KxxComGetSysInfo.h"
#include "KxxComOutTrace.h"
#include "KxxComProcess.h"
#include "KxxComSysBase.h"
#include "SettingNumber.h"
#include "ZoneConfig.h"

namespace {

const char* const kZoneFunc = "kxl_GetZoneControls";
const char* const kZonename = "/usr/bin/zonename";
const char* const kZonecfg = "/usr/sbin/zonecfg";
const char* const kGlobalZone = "global";

using ZoneControls = std::unordered_map<std::string, std::vector<ControlValue>>;

// The first line of a command's output, trimmed. 0; 1 the command is absent or failed
// or printed nothing; -9998 its output not had.
int kxl_getFirstLine(const char* iCommand, const std::string& iArgs, std::string& oLine)
{
    std::string aPath = kxg_getHostPath(iCommand);
    if (kxg_chkFileExist(aPath) != 3) {
        return 1;
    }
    FilePtr aFile;
    int aStatus = 0;
    if (kxg_opnSComTmpFile(aFile, kZoneFunc, kxg_cnvShellWord(aPath) + iArgs, aStatus) != 0) {
        return -9998;
    }
    int aRead = kxg_readFileRow(aFile.get(), oLine);
    kxg_cloSComTmpFile(aFile, kZoneFunc);
    kxg_trimRight(kxg_trimLeft(oLine));
    return aStatus == 0 && aRead == 0 && !oLine.empty() ? 0 : 1;
}

// One "value:" of zonecfg, "(priv=P,limit=N,action=A)", as a control value.
bool kxl_cnvZoneValue(Text iText, ControlValue& oValue)
{
    iText = kxl_trimView(iText);
    if (iText.size() < 2 || iText.front() != '(' || iText.back() != ')') {
        return false;
    }
    oValue = ControlValue();
    oValue.Text = std::string(iText.substr(1, iText.size() - 2));
    Text aRest = oValue.Text;
    while (!aRest.empty()) {
        Text aItem = aRest.substr(0, aRest.find(','));
        aRest = aItem.size() < aRest.size() ? aRest.substr(aItem.size() + 1) : Text();
        Text aKey = aItem.substr(0, aItem.find('='));
        std::string aValue(aKey.size() < aItem.size() ? aItem.substr(aKey.size() + 1) : Text());
        if (aKey == "priv") {
            oValue.Privilege = aValue;
            oValue.Basic = aValue == "basic";
        } else if (aKey == "limit") {
            oValue.Value = aValue;
        } else if (aKey == "action") {
            oValue.Deny = aValue.find("deny") != std::string::npos;
        }
    }
    return kxl_cnvSettingNumber(oValue.Value, NumberBase::Decimal, oValue.Number) == 0;
}

// The controls of zonecfg's output in iFile.
int kxl_readZoneControls(FILE* iFile, ZoneControls& oControls)
{
    std::string aName;
    return kxl_walkLines(iFile, [&](const std::string& iLine) {
        Text aLine = iLine;
        if (aLine == "rctl:") {
            aName.clear();
        } else if (aLine.compare(0, 5, "name:") == 0) {
            aName = std::string(kxl_trimView(aLine.substr(5)));
        } else if (aLine.compare(0, 6, "value:") == 0 && !aName.empty()) {
            ControlValue aValue;
            if (kxl_cnvZoneValue(aLine.substr(6), aValue)) {
                oControls[aName].push_back(aValue);
            } else {
                kxl_traceText(kZoneFunc, "読めない値は読み飛ばし[%.*s]", aLine);
            }
        }
    });
}

// zonecfg's controls of iZone. 0; 1 zonecfg cannot be run here; -9998; -9993.
int kxl_getZoneControls(const std::string& iZone, ZoneControls& oControls)
{
    std::string aPath = kxg_getHostPath(kZonecfg);
    if (kxg_chkFileExist(aPath) != 3) {
        return 1;
    }
    FilePtr aFile;
    int aStatus = 0;
    std::string aCommand = kxg_cnvShellWord(aPath) + " -z " + kxg_cnvShellWord(iZone) + " info rctl";
    if (kxg_opnSComTmpFile(aFile, kZoneFunc, aCommand, aStatus) != 0) {
        kxg_outWriteTracelog(kZoneFunc, "コマンド実行結果オープンエラー");
        return -9998;
    }
    int aResult = aStatus == 0 ? kxl_readZoneControls(aFile.get(), oControls) : 1;
    kxg_cloSComTmpFile(aFile, kZoneFunc);
    return aResult;
}

// Marks the records: their zone's controls cannot be read here.
void kxl_setNotChecked(SysPrmList& ioList)
{
    kxg_outWriteTracelog(kZoneFunc,
                         "zonecfgを実行できないためゾーン全体の資源制御は判定できない"
                         "(大域ゾーンから検査すること)");
    kxl_forEachOf(ioList, SettingSource::Zone,
                  [](SysPrmRecord& ioRecord) { ioRecord.Problem = SettingProblem::ZoneNotChecked; });
}

// Gives the records of the control iName its values from the zone's configuration.
void kxl_setZoneControl(const std::string& iName, const ZoneControls& iControls, SysPrmList& ioList)
{
    auto aFound = iControls.find(iName);
    if (aFound == iControls.end()) {
        kxg_outDetailTracelogEx(kZoneFunc, "ゾーンの設定になし[%s]", iName.c_str());
        return;
    }
    kxl_forEachNamed(ioList, iName, SettingSource::Zone, [&](SysPrmRecord& ioRecord) {
        const ControlValue& aValue = kxl_chooseValue(aFound->second, ioRecord.Privilege);
        kxl_traceText(kZoneFunc, "括弧内の値[%.*s]", aValue.Text);
        ioRecord.CurrentPrivilege = kxl_cutField(aValue.Privilege, kPrivilegeMax);
        ioRecord.CurrentValue = kxl_cutField(aValue.Value, kParamTextMax);
        ioRecord.CurrentFile = "zonecfg";
        ioRecord.CurrentControl.clear();
        for (const ControlValue& aEach : aFound->second) {
            ioRecord.CurrentControl += "(" + aEach.Text + ")";
        }
    });
}

} // namespace

int kxl_GetZoneControls(SysPrmList& ioList)
{
    std::string aZone;
    int aResult = kxl_getFirstLine(kZonename, "", aZone);
    if (aResult < 0) {
        kxg_outWriteTracelog(kZoneFunc, "コマンド実行結果オープンエラー");
        return aResult;
    }
    if (aResult != 0) {
        aZone = kGlobalZone;
    }
    kxg_outWriteTracelogEx(kZoneFunc, "ゾーン名[%s]", aZone.c_str());
    kxl_forEachOf(ioList, SettingSource::Zone,
                  [&](SysPrmRecord& ioRecord) { ioRecord.CurrentProject = aZone; });
    ZoneControls aControls;
    aResult = kxl_getZoneControls(aZone, aControls);
    if (aResult == 1) {
        kxl_setNotChecked(ioList);
        return 0;
    }
    if (aResult != 0) {
        return aResult;
    }
    size_t aCount = kxl_cntRecords(ioList);
    for (size_t i = 0; i < aCount; i++) {
        const SysPrmRecord& aRecord = ioList.Records[i];
        if (aRecord.Source == SettingSource::Zone && kxl_findFirst(ioList, aRecord.ParamName) == i + 1) {
            kxl_setZoneControl(aRecord.ParamName, aControls, ioList);
        }
    }
    return 0;
}
