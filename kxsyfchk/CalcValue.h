// CalcValue.h
// Layer 8 (the settings in force and the calculated values).
// Values of "calc" rows worked out from the running host: the message headers the
// resource-distribution service needs, the message maps, and the shared memory the
// system allows by default.
#ifndef CALCVALUE_H
#define CALCVALUE_H

#include <string>

#include "KxxComInstallInfo.h"

// The needed value of a "calc" row (msgsys:msginfo_msgtql, msgsys:msginfo_msgmap) on
// the release iOSName. 0 calculated; nonzero failed.
int kxl_getCalcNeedVal(const std::string& iParamName, const std::string& iOSName,
                       const InstallInfo& iInfo, unsigned long long& oValue);

// The OS initial value of a "calc" row (project.max-shm-memory). 0 calculated; nonzero failed.
int kxl_getCalcOSInit(const std::string& iParamName, unsigned long long& oValue);

#endif
