// ParamList.h
// Layer 7 (the readers).
// The parameter list files that the tool definition file names: their rows that apply
// to this host become requirement records.
#ifndef PARAMLIST_H
#define PARAMLIST_H

#include <cstdint>
#include <string>

#include "KxxComInstallInfo.h"
#include "Record.h"

// Loads the rows of the parameter list files that apply to this host (iOSName such as
// "Solaris10", and in managing-product mode role, edition and version).
// 0 loaded (maybe empty); -1 file count or file not had; -9993 no memory for a line;
// -9995 a row malformed or the list could not grow.
int kxl_getSysPrmList(const std::string& iOSName, const InstallInfo& iInfo, SysPrmList& ioList);

// The edition code of an installation Type (2 QA, 4 QB, 8 QBX); empty for any other.
std::string kxl_editionCode(uint32_t iType);

#endif
