// KxxComDefChkToolStartEnd.h
// Layer 5 (framework).
// The start and end sequence every check command of the family runs: guards, trace,
// required files, message catalog, command lock, privilege, installation data and the
// command line at the start; failure notice, lock, catalog and trace at the end.
#ifndef KXXCOMDEFCHKTOOLSTARTEND_H
#define KXXCOMDEFCHKTOOLSTARTEND_H

#include <string>

#include "KxxComInstallInfo.h"

// 0 ready (oOutLog and ioInfo filled, the output log's state noted); 2 help shown on
// request; -9999 refused with the reason shown on the console; -1 failed with the reason
// in the trace log.
int kxg_strDefChkCom(int iArgc, char** iArgv, std::string& oOutLog, InstallInfo& ioInfo);

// Ends the command: for -1 puts the output log back as the run found it and prints the
// failure notice, turns -9999 into -1, releases the lock, the message catalog and the
// trace.
void kxg_endDefChkCom(int& ioResult);

#endif
