// SettingSource.cpp
#include <cstring>

#include "SettingSource.h"

const char* const kSystemFile = "/etc/system";
const char* const kFragmentDir = "/etc/system.d";
const char* const kProjectFile = "/etc/project";

namespace {

// Whether the release keeps resource controls in /etc/project.
bool kxl_hasProjectDatabase(const std::string& iOSName)
{
    return iOSName == "Solaris10" || iOSName == "Solaris11";
}

// Whether the parameter is a resource control.
bool kxl_isResourceControl(const std::string& iParamName)
{
    for (const char* aPrefix : {"project.", "process.", "task.", "zone."}) {
        if (iParamName.compare(0, strlen(aPrefix), aPrefix) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

SettingSource kxl_getSettingSource(const std::string& iOSName, const std::string& iParamName)
{
    return kxl_hasProjectDatabase(iOSName) && kxl_isResourceControl(iParamName)
               ? SettingSource::Project
               : SettingSource::System;
}

NumberBase kxl_getNumberBase(SettingSource iSource)
{
    return iSource == SettingSource::Project ? NumberBase::Decimal : NumberBase::Kernel;
}
