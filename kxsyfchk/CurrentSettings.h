// CurrentSettings.h
// Layer 8 (the settings in force and the calculated values).
// The host's current settings of every requirement: which host file each record reads,
// then the resource controls of /etc/project and the "set" statements of /etc/system.
#ifndef CURRENTSETTINGS_H
#define CURRENTSETTINGS_H

#include <string>

#include "Record.h"

// Sets each record's source for the release iOSName ("Solaris10") and stores the current
// settings into the records. 0 done; -9998 a file not opened or not read; -1 or -9993
// no memory.
int kxl_GetSystemParam(const std::string& iOSName, SysPrmList& ioList);

#endif
