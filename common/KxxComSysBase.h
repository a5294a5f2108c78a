// KxxComSysBase.h
// Layer 1 (ground).
// The system basics that write no trace: the date service, file probes and the host paths
// of the Solaris files and commands.
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
// Under a root the path is resolved as on the host, without leaving the root: an absolute
// symbolic link is taken from the root, and one whose target leaves the root (or that
// cannot be resolved in 40 links) is refused: the path is then /dev/null, which every
// reader refuses as no regular file and no shell runs, and the refusal is told (below).
std::string kxg_getHostPath(const std::string& iPath);

// Whether kxg_getHostPath refused the path it gave as iHostPath.
bool kxg_isRefusedHostPath(const std::string& iHostPath);

// Told of each symbolic link that kxg_getHostPath refuses: its path and its target.
using KxHostPathRefusal = void (*)(const std::string& iLink, const std::string& iTarget);

// Sets the one told of refused links (trace start points it at the trace); null for none.
void kxg_setHostPathRefusal(KxHostPathRefusal iNotify);

// iPath from the root: a relative one is taken from the working directory ("./" when
// that cannot be had); an empty or absolute one as it is.
std::string kxg_getAbsolutePath(const std::string& iPath);

#endif
