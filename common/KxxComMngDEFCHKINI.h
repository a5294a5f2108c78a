// KxxComMngDEFCHKINI.h
// Layer 3 (services that trace).
// The family's tool definition file sys/kxdefchk_SOL.ini: run mode, the sub commands of
// the main tool with their option letters, and each command's comment and parameter list
// files; the help text made from them, and the tool directory entries they name.
#ifndef KXXCOMMNGDEFCHKINI_H
#define KXXCOMMNGDEFCHKINI_H

#include <cstdint>
#include <string>

#include "KxxComFile.h"

// Managing-product mode: oFlag 1 when RunMode/VOXL is exactly "YES", else 0.
// 0 read; -9995 not readable (oFlag untouched).
int kxg_getVOXLFlg(uint32_t& oFlag);

// The number of parameter list files of the executing command (FileNumber); an empty
// value leaves oCount as it was. 0 read; -9995 not readable or not all digits.
int kxg_getFileNum(int& oCount);

// Lines in the first iFileCount parameter list files of the executing command together,
// up to the first file not named or not opened. Nothing is traced: the files are opened,
// and their failures told, when they are loaded.
size_t kxg_cntUseFileLines(int iFileCount);

// Path of the iNum-th (1-based) parameter list file of the executing command.
// 0 built; -9993 definition file path not built; -9995 a value not readable.
int kxg_getUseFilePath(std::string& oPath, int iNum);

// Opens the iNum-th parameter list file for reading. 0 open; -9998 path or file failed.
int kxg_opnUseFile(FilePtr& oFile, int iNum);

// The option letters of all sub commands (iMode 0) or of those run by default (iMode 1),
// in CmdList order. 0 built; -9993 path not built; -9995 a value not readable.
int kxg_getOptChkStringEx(std::string& oOpt, int iMode);
int kxg_getOptChkString(std::string& oOpt);

// The executing command's Comment. 0 read; -1 not readable.
int kxg_getComComment(std::string& oComment);

// Shows the usage text: the main tool's option list, or the sub command's own text.
// 0 shown; -1 a value it needs could not be read.
int kxg_dspCmdLineHelp();

// Checks the entries the definition file names for the executing command: the main
// tool's sub command executables in bin, or a sub command's parameter list files.
// 0 all there; 7 missing (oList names them); -9993 path not built; -9995 not readable.
int kxg_chkINIFileExist(std::string& oList);

// Kind of the tool-directory entry iDir/iFile (iDir alone when iFile is empty), as
// kxg_chkFileExist answers it.
int kxg_chkSysFileExist(const std::string& iDir, const std::string& iFile);

// Appends iName and a comma to the missing-entry list, unless the list would no longer
// fit its 4096-byte buffer.
void kxg_addMissingName(std::string& ioList, const std::string& iName);

// Drops the trailing comma of a missing-entry list.
void kxg_endMissingList(std::string& ioList);

#endif
