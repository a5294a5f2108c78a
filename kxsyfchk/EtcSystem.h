// EtcSystem.h
// Layer 7 (the readers).
// The "set" statements of /etc/system as the kernel applies them: on Solaris 11 the
// fragments of /etc/system.d first, in name order, then /etc/system, so that it wins; the
// last statement of a name is the one in force.
#ifndef ETCSYSTEM_H
#define ETCSYSTEM_H

#include <string>

#include "Record.h"

// Gives every record of iIndex the value of the statement in force for its name (on the
// release iOSName), as written, with the file that holds it.
// 0 (also when nothing matched); -9998 a file not opened or not read; -1 no memory.
int kxl_GetSystemParamSol(const std::string& iOSName, const RecordIndex& iIndex);

// The value in force for iName in /etc/system: that of its last "set" statement, as
// written. 0 found; 14 not set; -9998 the file not opened or not read.
int kxl_getSystemSetting(const std::string& iName, std::string& oValue);

#endif
