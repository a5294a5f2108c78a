// CurrentSettings.cpp
// Each host file is read once, and only when some record reads it.
#include "CurrentSettings.h"
#include "EtcProject.h"
#include "EtcSystem.h"
#include "LimitInForce.h"
#include "ZoneConfig.h"

namespace {

// Which host settings the records read.
struct SourcesRead {
    bool System = false;
    bool Project = false;
    bool Zone = false;
};

// Sets each record's source and indexes the records by name.
SourcesRead kxl_setSources(const std::string& iOSName, SysPrmList& ioList)
{
    SourcesRead aRead;
    size_t aCount = kxl_cntRecords(ioList);
    for (size_t i = 0; i < aCount; i++) {
        SysPrmRecord& aRecord = ioList.Records[i];
        aRecord.Source = kxl_getSettingSource(iOSName, aRecord.ParamName);
        bool& aFlag = aRecord.Source == SettingSource::Project ? aRead.Project
                      : aRecord.Source == SettingSource::Zone  ? aRead.Zone
                                                               : aRead.System;
        aFlag = true;
    }
    kxl_makeIndex(ioList);
    return aRead;
}

} // namespace

int kxl_GetSystemParam(const std::string& iOSName, SysPrmList& ioList)
{
    SourcesRead aRead = kxl_setSources(iOSName, ioList);
    int aResult = 0;
    if (aRead.Project) {
        aResult = kxl_GetSystemParamSolx(iOSName, ioList);
    }
    if (aResult == 0 && aRead.Zone) {
        aResult = kxl_GetZoneControls(ioList);
    }
    if (aResult == 0 && aRead.System) {
        aResult = kxl_GetSystemParamSol(iOSName, ioList);
    }
    return aResult == 0 ? kxl_getLimitInForce(iOSName, ioList) : aResult;
}
