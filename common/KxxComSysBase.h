// KxxComSysBase.h
// Layer 1 (ground): date service, file probes, host paths and shell words.
// The system basics that write no trace: the date service, file probes, the host paths
// of the Solaris files and commands, and shell words.
#ifndef KXXCOMSYSBASE_H
#define KXXCOMSYSBASE_H

#include <ctime>
#include <string>

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

#endif
