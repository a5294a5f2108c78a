// CurrentSettings.h
// Layer 8 (the settings in force and the calculated values).
// The host's current settings of every requirement: which host setting each record
// reads, then the resource controls of /etc/project, the zone's configuration and the
// "set" statements of /etc/system, and last the limits in force where they do not say.
#ifndef CURRENTSETTINGS_H
#define CURRENTSETTINGS_H

#include <string>

#include "Record.h"

// Sets each record's source for the release iOSName ("Solaris10") and stores the current
// settings and limits in force into the records. 0 done; -9998 a file or a command's
// output not had; -1 no memory or the physical memory not had; -9993 no memory.
int kxl_GetSystemParam(const std::string& iOSName, SysPrmList& ioList);

#endif
