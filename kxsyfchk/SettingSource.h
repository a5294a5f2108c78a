// SettingSource.h
// Layer 6 (the command's ground).
// Which host setting a requirement is judged by, and how that setting writes numbers.
#ifndef SETTINGSOURCE_H
#define SETTINGSOURCE_H

#include <cstdint>
#include <string>

#include "SettingNumber.h"

// Where the setting of a requirement is configured on the host.
enum class SettingSource : uint8_t {
    System,  // a "set" statement of /etc/system (and on Solaris 11 of /etc/system.d)
    Project, // a resource control of a project entry of /etc/project
    Zone,    // a zone-wide resource control of the zone's configuration (zonecfg)
};

extern const char* const kSystemFile;
extern const char* const kFragmentDir;
extern const char* const kProjectFile;

// The source of the parameter iParamName on the release iOSName ("Solaris10"): resource
// controls of processes, tasks and projects from /etc/project since Solaris 9, zone-wide
// controls (zone.) from the zone configuration since Solaris 10, everything else from
// /etc/system.
SettingSource kxl_getSettingSource(const std::string& iOSName, const std::string& iParamName);

// How the settings of iSource write numbers.
NumberBase kxl_getNumberBase(SettingSource iSource);

// The minor release of iOSName ("Solaris10" gives 10); 0 when it names none.
int kxl_getOSMinor(const std::string& iOSName);

#endif
