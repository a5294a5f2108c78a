// LimitInForce.h
// Layer 8 (the settings in force and the calculated values).
// The limit a requirement is judged by where the host's own setting does not give it:
// the kernel's default limit of a resource control that no project entry sets, raised by
// an obsolete /etc/system tunable on Solaris 10 and 11; the file-descriptor limits of
// rlim_fd_cur and rlim_fd_max; and rlim_fd_cur as the kernel lowers it to rlim_fd_max.
#ifndef LIMITINFORCE_H
#define LIMITINFORCE_H

#include <string>

#include "Record.h"

// Gives every record of iList that reads a resource control not in force the default
// limit of the release iOSName and where it comes from, and every "set" of rlim_fd_cur
// or rlim_fd_max the value the kernel makes of it.
// 0; -9998 /etc/system not read; -1 the physical memory not had.
int kxl_getLimitInForce(const std::string& iOSName, SysPrmList& ioList);

// The shared memory a project may use by default: a quarter of the physical memory.
// 0; -1 the physical memory not had.
int kxl_getShmMemoryDefault(unsigned long long& oBytes);

#endif
