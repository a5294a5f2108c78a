// ZoneConfig.h
// Layer 7 (the readers).
// The zone-wide resource controls (zone.) of this zone, as its configuration holds them:
// Solaris applies them from there only, never from /etc/project.
#ifndef ZONECONFIG_H
#define ZONECONFIG_H

#include "Record.h"

// Gives every record of ioList that reads a zone-wide control the control of its name from `zonecfg -z ZONE info rctl`,
// ZONE being what `zonename` prints ("global" when it is absent or fails). When zonecfg
// cannot be run (a snapshot without it, a non-global zone), the records are marked that
// zone-wide controls are checked from the global zone.
// 0; -9998 a command's output not had (its time limit included); -9993 no memory.
int kxl_GetZoneControls(SysPrmList& ioList);

#endif
