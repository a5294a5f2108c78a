// KxxComIniRead.h
// Layer 3 (services that trace).
// Reads one value of one key in one section of an INI file; the file is read once and
// again only when it changes, and scanned from the top on every call. Section and key
// names compare case-blind; the first match wins.
#ifndef KXXCOMINIREAD_H
#define KXXCOMINIREAD_H

#include <string>

// 0 found (oValue holds the value, maybe empty); -9998 file not opened or a line of it
// not readable (oValue untouched); -9997 no such section; -9996 section without the key.
int kxg_readIniString(const std::string& iSection, const std::string& iKey,
                      std::string& oValue, const std::string& iPath);

#endif
