// SettingSource.cpp
#include <cstring>

#include "SettingSource.h"

const char* const kSystemFile = "/etc/system";
const char* const kFragmentDir = "/etc/system.d";
const char* const kProjectFile = "/etc/project";

namespace {

// Projects and their resource controls came with Solaris 9, zones with Solaris 10.
const int kFirstProjectRelease = 9;
const int kFirstZoneRelease = 10;

bool kxl_hasPrefix(const std::string& iText, const char* iPrefix)
{
    return iText.compare(0, strlen(iPrefix), iPrefix) == 0;
}

} // namespace

int kxl_getOSMinor(const std::string& iOSName)
{
    const char* const kPrefix = "Solaris";
    if (!kxl_hasPrefix(iOSName, kPrefix) || iOSName.size() == strlen(kPrefix)) {
        return 0;
    }
    int aMinor = 0;
    for (size_t i = strlen(kPrefix); i < iOSName.size() && aMinor < 1000; i++) {
        if (iOSName[i] < '0' || iOSName[i] > '9') {
            return 0;
        }
        aMinor = aMinor * 10 + (iOSName[i] - '0');
    }
    return aMinor;
}

SettingSource kxl_getSettingSource(const std::string& iOSName, const std::string& iParamName)
{
    int aMinor = kxl_getOSMinor(iOSName);
    if (aMinor >= kFirstZoneRelease && kxl_hasPrefix(iParamName, "zone.")) {
        return SettingSource::Zone;
    }
    for (const char* aPrefix : {"project.", "process.", "task."}) {
        if (aMinor >= kFirstProjectRelease && kxl_hasPrefix(iParamName, aPrefix)) {
            return SettingSource::Project;
        }
    }
    return SettingSource::System;
}

NumberBase kxl_getNumberBase(SettingSource iSource)
{
    switch (iSource) {
    case SettingSource::System:
        return NumberBase::Kernel;
    case SettingSource::Project:
        return NumberBase::Project;
    default:
        return NumberBase::Decimal;
    }
}
