// EtcSystem.h
// Layer 7 (the readers).
// The "set" statements of /etc/system as the kernel applies them: on Solaris 11 the
// fragments of /etc/system.d first, in name order, then /etc/system, so that it wins; the
// last statement of a name whose value the kernel takes is the one in force.
#ifndef ETCSYSTEM_H
#define ETCSYSTEM_H

#include <string>
#include <unordered_map>

#include "Record.h"

// Gives every record of ioList that reads /etc/system the value of the statement in force for its name (on the
// release iOSName), as written, with the file that holds it.
// 0 (also when nothing matched); -9998 a file not opened or not read; -1 no memory.
int kxl_GetSystemParamSol(const std::string& iOSName, SysPrmList& ioList);

// A "set" statement in force: its value as written and the file that holds it.
struct SystemStatement {
    std::string Value; // empty: no statement of the name is in force
    std::string File;
};
using SystemStatements = std::unordered_map<std::string, SystemStatement>;

// Finds, without a trace line but for a failure, the statement in force for each name
// that ioFound holds as a key; a file that does not exist holds none.
// 0; -9998 a file or the fragment directory not read.
int kxl_getSystemStatements(const std::string& iOSName, SystemStatements& ioFound);

#endif
