// KxxComGetSysInfo.h
// System information services: the date service, file probes, the host paths of the
// Solaris files and commands, command execution through temporary files, the Solaris
// release, the command lock and the superuser check.
#ifndef KXXCOMGETSYSINFO_H
#define KXXCOMGETSYSINFO_H

#include <ctime>
#include <string>

#include "KxxComFile.h"

// The current local time as text of kind 1 ("20261207012345"), 2 ("12/07/2026_01:23:45")
// or 3 ("2026/12/07_01:23:45"); any other kind leaves oText untouched.
void kxg_getDateAndHour(int iKind, std::string& oText);

// kxg_getDateAndHour for a given broken-down time.
void kxg_fmtDateAndHour(int iKind, const struct tm& iTime, std::string& oText);

// Kind of the path (links followed): 3 regular file, 4 directory, 5 other; -9989 none.
int kxg_chkFileExist(const std::string& iPath);

// Removes the regular file at iPath (a directory or other kind is left alone).
void kxg_delFileRemove(const std::string& iPath);

// Where a Solaris host path lies: under the directory named by KXDEFCHK_HOST_ROOT when it
// is set and not empty (a collected snapshot or a simulated host), else iPath itself.
std::string kxg_getHostPath(const std::string& iPath);

// iText as one word of a shell command line: unchanged when the shell takes it
// literally (the usual paths), else single-quoted.
std::string kxg_cnvShellWord(const std::string& iText);

// Runs iCommand with its standard output sent to the temporary file iName in the trace
// directory, then opens that file for reading into oFile; oStatus receives the command's
// exit status. A file (or a symbolic link) of that name left by an earlier run is removed
// first.
// 0 open; -9980 a stale file could not be removed; -9993 no memory; -9998 not opened.
int kxg_opnSComTmpFile(FilePtr& oFile, const char* iName, const std::string& iCommand,
                       int& oStatus);
// The same; iFlag 0 runs the command with kxg_runSysCom, otherwise with kxg_runProc.
int kxg_opnSComTmpFileEx(FilePtr& oFile, const char* iName, const std::string& iCommand,
                         int& oStatus, int iFlag);

// Closes ioFile (if open) and removes the temporary file iName. 0; -9993 path not built.
int kxg_cloSComTmpFile(FilePtr& ioFile, const char* iName);

// Runs iCommand through the shell and waits for it; answers its exit status, 0 to 255.
int kxg_runSysCom(const std::string& iCommand);
int kxg_runProc(const std::string& iCommand);

// The minor release number from `uname -r` (10 for 5.10).
// 0 read; -9988 output empty or not of the form 5.x; -9993 no memory; -9998 not run.
int kxg_getSUNOSVer(int& oMinor);

// The command lock: the open flag file trace/<command>.flg, and 1 when the lock was
// refused because another process holds it.
extern FilePtr gCommandRockFP;
extern int gRockFLG;

// Forgets any lock, before anything of the run can fail.
void kxg_iniRCommand();

// Takes the command lock without waiting. 0 taken; -9976 refused or flag file not
// opened; -9993 no memory.
int kxg_rocCommand();

// Removes the flag file of the lock this process holds, then releases the lock; a refused
// or never taken lock is left alone. Answers iResult unchanged.
int kxg_unrCommand(int iResult);

// 0 running as the superuser (uid=0(root) in `id`); 6 not; -9998 `id` output not
// readable; -9993 no memory.
int kxg_chkAdmin();

#endif
