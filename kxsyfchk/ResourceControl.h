// ResourceControl.h
// Layer 6 (the command's ground).
// The resource controls Solaris knows and the rules its kernel holds their values to:
// which privilege levels and actions a control takes and how large a value may be.
#ifndef RESOURCECONTROL_H
#define RESOURCECONTROL_H

#include <string>

// Global properties of a control (rctl.h's RCTL_GLOBAL_*).
const unsigned kRctlNoBasic = 1;     // no basic value
const unsigned kRctlDenyAlways = 2;  // every value must deny
const unsigned kRctlDenyNever = 4;   // no value may deny
const unsigned kRctlSignalNever = 8; // no value may send a signal
const unsigned kRctlCpuTime = 16;    // SIGXCPU allowed
const unsigned kRctlFileSize = 32;   // SIGXFSZ allowed

struct ResourceControl {
    const char* Name;
    int Since;               // first release that has it (9 for Solaris 9)
    unsigned Flags;
    unsigned long long Max;  // its system value; 0 when not known here
};

// The control iName of the release iMinor (10 for Solaris 10); nullptr when that release
// has no such control, which setproject then passes over.
const ResourceControl* kxl_findControl(const std::string& iName, int iMinor);

// The signal a resource-control action names ("KILL", "SIGKILL", "9"), as str2sig reads
// it. 0 when it names none.
int kxl_cnvSignal(const std::string& iName);

// Why the kernel refuses a value of a control.
enum class ValueRefusal {
    None,
    Basic,   // a basic value where the control has none
    NoDeny,  // a control that must always deny
    Deny,    // a control that never denies
    Signal,  // a signal the control may not send
    Maximum, // above the control's system value
};

// Whether the kernel takes a value of iControl: iBasic its privilege is basic, iDeny it
// denies, iSignal the signal it sends (0 for none).
ValueRefusal kxl_chkControlValue(const ResourceControl& iControl, bool iBasic,
                                 unsigned long long iValue, bool iDeny, int iSignal);

#endif
