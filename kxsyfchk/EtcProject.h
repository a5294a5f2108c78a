// EtcProject.h
// Layer 7 (the readers).
// The resource controls of /etc/project as a login into a project applies them: the
// first entry of a project name counts; a control may hold several values
// "(privilege,value,action)", of which a requirement takes the one that fits it.
#ifndef ETCPROJECT_H
#define ETCPROJECT_H

#include <string>

#include "Record.h"

// Gives every record of ioList that reads /etc/project the control of its name from the entry of its project (a
// record without a project: from the first entry that applies the control), with the
// privilege and value of the fitting value; or, when the entry names the control but it
// is not in force, why (on the release iOSName).
// 0 (also when nothing matched); -9998 the file not opened or not read; -9993 no memory.
int kxl_GetSystemParamSolx(const std::string& iOSName, SysPrmList& ioList);

#endif
