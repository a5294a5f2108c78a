// KxxComChkKxFileExist.h
// Layer 5 (framework).
// Checks that the tool directory is complete before anything depends on it: its
// directories, the definition and catalog files, and the entries that the tool
// definition file names for the executing command.
#ifndef KXXCOMCHKKXFILEEXIST_H
#define KXXCOMCHKKXFILEEXIST_H

#include <string>

// 0 complete; 7 something missing (oList names it, comma-separated); -9993 or -9995
// the tool definition file could not be read.
int kxg_chkKxFileExist(std::string& oList);

#endif
