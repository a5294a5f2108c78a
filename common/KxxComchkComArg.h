// KxxComchkComArg.h
// Layer 5 (framework).
// The command line of the family's commands: the main tool kxdefchk takes option letters
// that select sub commands, a sub command takes only -h or an output log file name.
// Without a name, one is generated in the tool directory.
#ifndef KXXCOMCHKCOMARG_H
#define KXXCOMCHKCOMARG_H

#include <string>

// Checks the arguments and fixes the output log path oOutLog, probing that it can be
// appended to. 0 accepted; 8 help asked for; 9 malformed; 10 an option letter no sub
// command defines; 11 the output log cannot be created; -1 no arguments at all.
int kxg_chkCmdLineArgs(int iArgc, char** iArgv, std::string& oOutLog);

#endif
