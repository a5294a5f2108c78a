// KxxComGetSysInfo.h
// Layer 3 (services that trace).
// System information services: command execution through temporary files, the Solaris
// release, the command lock and the superuser check.
#ifndef KXXCOMGETSYSINFO_H
#define KXXCOMGETSYSINFO_H

#include <string>

#include "KxxComFile.h"

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
