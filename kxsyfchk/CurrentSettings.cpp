// CurrentSettings.cpp
// Each host file is read once, and only when some record reads it.
#include "CurrentSettings.h"
#include "EtcProject.h"
#include "EtcSystem.h"
#include "LimitInForce.h"
#include "ZoneConfig.h"

namespace {

// The records of each source, by name.
struct SourceIndexes {
    RecordIndex System;
    RecordIndex Project;
    RecordIndex Zone;
};

// Sets each record's source and indexes it among the records of that source.
void kxl_setSources(const std::string& iOSName, SysPrmList& ioList, SourceIndexes& oIndexes)
{
    size_t aCount = kxl_cntRecords(ioList);
    for (size_t i = 0; i < aCount; i++) {
        SysPrmRecord& aRecord = ioList.Records[i];
        aRecord.Source = kxl_getSettingSource(iOSName, aRecord.ParamName);
        RecordIndex& aIndex = aRecord.Source == SettingSource::Project ? oIndexes.Project
                              : aRecord.Source == SettingSource::Zone  ? oIndexes.Zone
                                                                       : oIndexes.System;
        aIndex[aRecord.ParamName].push_back(&aRecord);
    }
}

} // namespace

int kxl_GetSystemParam(const std::string& iOSName, SysPrmList& ioList)
{
    SourceIndexes aIndexes;
    kxl_setSources(iOSName, ioList, aIndexes);
    int aResult = 0;
    if (!aIndexes.Project.empty()) {
        aResult = kxl_GetSystemParamSolx(iOSName, aIndexes.Project);
    }
    if (aResult == 0 && !aIndexes.Zone.empty()) {
        aResult = kxl_GetZoneControls(aIndexes.Zone);
    }
    if (aResult == 0 && !aIndexes.System.empty()) {
        aResult = kxl_GetSystemParamSol(iOSName, aIndexes.System);
    }
    return aResult == 0 ? kxl_getLimitInForce(iOSName, ioList) : aResult;
}
