// KxxComTolvInfo.h
// Layer 3 (services that trace).
// Settings of the resource-distribution service, read from its configuration file
// /opt/ZVNQkxsdl/etc/tolvrc: lines "name = value", '#' comments, names case-blind.
#ifndef KXXCOMTOLVINFO_H
#define KXXCOMTOLVINFO_H

#include <string>

// The value of the first line named iKey. 0 found (oValue holds it); -9983 no such line
// (oValue empty); -9998 no configuration file, as on a cluster's standby node (oValue
// untouched); -9995 a line not readable (a read error, a line over 256 MiB, no memory).
int kxg_chkTolvFileValue(const char* iKey, std::string& oValue);

#endif
