// SettingSource.h
// Layer 6 (the command's ground).
// Which host setting a requirement is judged by, and how that setting writes numbers.
#ifndef SETTINGSOURCE_H
#define SETTINGSOURCE_H

#include <string>

#include "SettingNumber.h"

// The host file a requirement reads.
enum class SettingSource {
    System,  // a "set" statement of /etc/system (and on Solaris 11 of /etc/system.d)
    Project, // a resource control of a project entry of /etc/project
};

extern const char* const kSystemFile;
extern const char* const kFragmentDir;
extern const char* const kProjectFile;

// The source of the parameter iParamName on the release iOSName ("Solaris10"): resource
// controls (project., process., task., zone.) from /etc/project on Solaris 10 and 11,
// everything else from /etc/system.
SettingSource kxl_getSettingSource(const std::string& iOSName, const std::string& iParamName);

// How the settings of iSource write numbers: the kernel's bases for /etc/system, decimal
// for /etc/project.
NumberBase kxl_getNumberBase(SettingSource iSource);

#endif
