// KernelValue.h
// Layer 7 (the readers).
// Values of the running kernel: a tunable as sysdef prints it, the physical memory as
// prtconf prints it.
#ifndef KERNELVALUE_H
#define KERNELVALUE_H

#include <cstdio>

// Kernel values above 2^60 are refused.
const unsigned long long kKernelValueMax = 1ULL << 60;

// One kernel value from the sysdef line labelled iLabel (searched with iWord).
// 0 read; 14 no valid line; -1 no command or above 2^60; -9998 output not opened;
// -9993 no memory.
int kxl_getSystemVal(const char* iWord, const char* iLabel, unsigned long long& oValue);

// The physical memory in bytes, from prtconf. 0 read; -1 not.
int kxl_GetSysMemory(unsigned long long& oBytes);

// The size in megabytes from the first prtconf output line of iFile that states one.
// 0 read; -1 none, or a size of 0; -9993 no memory.
int kxl_readMemorySize(FILE* iFile, unsigned long long& oMegabytes);

// The value of the first valid sysdef output line of iFile labelled iLabel.
// 0 read; 14 no such line; -1 unreadable; -9993 no memory.
int kxl_readSysdefValue(FILE* iFile, const char* iLabel, unsigned long long& oValue);

#endif
