// KxxComChkKxFileExist.h
// Checks that the tool directory is complete before anything depends on it: its
// directories, the definition and catalog files, and the entries that the tool
// definition file names for the executing command.
#ifndef KXXCOMCHKKXFILEEXIST_H
#define KXXCOMCHKKXFILEEXIST_H

#include <string>

// 0 complete; 7 something missing (oList names it, comma-separated); -9993 or -9995
// the tool definition file could not be read.
int kxg_chkKxFileExist(std::string& oList);

// Kind of the tool-directory entry iDir/iFile (iDir alone when iFile is empty), as
// kxg_chkFileExist answers it.
int kxg_chkSysFileExist(const std::string& iDir, const std::string& iFile);

// Appends iName and a comma to the missing-entry list, unless the list would no longer
// fit its 4096-byte buffer.
void kxg_addMissingName(std::string& ioList, const std::string& iName);

// Drops the trailing comma of a missing-entry list.
void kxg_endMissingList(std::string& ioList);

#endif
