// CurrentSettings.cpp
// Each host file is read once, and only when some record reads it.
#include "CurrentSettings.h"
#include "EtcProject.h"
#include "EtcSystem.h"

namespace {

// Sets each record's source and indexes it among the records of that source.
void kxl_setSources(const std::string& iOSName, SysPrmList& ioList, RecordIndex& oSystem,
                    RecordIndex& oProject)
{
    size_t aCount = kxl_cntRecords(ioList);
    for (size_t i = 0; i < aCount; i++) {
        SysPrmRecord& aRecord = ioList.Records[i];
        aRecord.Source = kxl_getSettingSource(iOSName, aRecord.ParamName);
        RecordIndex& aIndex = aRecord.Source == SettingSource::Project ? oProject : oSystem;
        aIndex[aRecord.ParamName].push_back(&aRecord);
    }
}

} // namespace

int kxl_GetSystemParam(const std::string& iOSName, SysPrmList& ioList)
{
    RecordIndex aSystem, aProject;
    kxl_setSources(iOSName, ioList, aSystem, aProject);
    if (!aProject.empty()) {
        int aResult = kxl_GetSystemParamSolx(aProject);
        if (aResult != 0) {
            return aResult;
        }
    }
    if (!aSystem.empty()) {
        return kxl_GetSystemParamSol(iOSName, aSystem);
    }
    return 0;
}
