// ResourceControl.cpp
// The properties and maximums are those the kernel registers the controls with
// (rctl_proc.c, project.c, task.c and the zone code); the checks are those of
// rctl_invalid_value in rctlsys.c.
#include <climits>
#include <cstdint>
#include <cstring>

#include "ResourceControl.h"

namespace {

const unsigned long long kIpcIdsMax = 1ULL << 24;
const unsigned long long kFssMaxShares = 65535;
const unsigned long long kMaxOffset = (1ULL << 63) - 1;

const ResourceControl kControls[] = {
    {"process.max-address-space", 9, kRctlDenyAlways | kRctlSignalNever, UINT64_MAX},
    {"process.max-core-size", 9, kRctlDenyAlways | kRctlSignalNever, kMaxOffset},
    {"process.max-cpu-time", 9, kRctlDenyNever | kRctlCpuTime, UINT64_MAX},
    {"process.max-data-size", 9, kRctlDenyAlways | kRctlSignalNever, UINT64_MAX},
    {"process.max-file-descriptor", 9, kRctlDenyAlways, INT32_MAX},
    {"process.max-file-size", 9, kRctlDenyAlways | kRctlFileSize, kMaxOffset},
    {"process.max-stack-size", 9, kRctlDenyAlways | kRctlSignalNever, 0},
    {"process.max-deferred-posts", 11, 0, 0},
    {"process.max-itimers", 10, 0, 0},
    {"process.max-msg-messages", 10, kRctlDenyAlways, UINT_MAX},
    {"process.max-msg-qbytes", 10, kRctlDenyAlways, UINT64_MAX},
    {"process.max-port-events", 10, kRctlDenyAlways, 0},
    {"process.max-sem-nsems", 10, kRctlDenyAlways, SHRT_MAX},
    {"process.max-sem-ops", 10, kRctlDenyAlways, INT_MAX},
    {"process.max-sigqueue-size", 10, kRctlDenyAlways, 0},
    {"task.max-cpu-time", 9, kRctlDenyNever | kRctlCpuTime, UINT64_MAX},
    {"task.max-lwps", 9, 0, INT_MAX},
    {"task.max-processes", 10, 0, INT_MAX},
    {"project.cpu-shares", 9, kRctlNoBasic | kRctlDenyNever | kRctlSignalNever, kFssMaxShares},
    {"project.cpu-cap", 10, kRctlNoBasic | kRctlDenyAlways | kRctlSignalNever, 0},
    {"project.max-adi-metadata", 11, kRctlNoBasic, 0},
    {"project.max-contracts", 10, kRctlNoBasic | kRctlDenyAlways, INT_MAX},
    {"project.max-crypto-memory", 10, kRctlNoBasic | kRctlDenyAlways, UINT64_MAX},
    {"project.max-device-locked-memory", 10, kRctlNoBasic | kRctlDenyAlways, UINT64_MAX},
    {"project.max-locked-memory", 10, kRctlNoBasic | kRctlDenyAlways, UINT64_MAX},
    {"project.max-lwps", 10, kRctlNoBasic, INT_MAX},
    {"project.max-msg-ids", 10, kRctlNoBasic | kRctlDenyAlways, kIpcIdsMax},
    {"project.max-port-ids", 10, kRctlNoBasic | kRctlDenyAlways, 0},
    {"project.max-processes", 10, kRctlNoBasic, INT_MAX},
    {"project.max-sem-ids", 10, kRctlNoBasic | kRctlDenyAlways, kIpcIdsMax},
    {"project.max-shm-ids", 10, kRctlNoBasic | kRctlDenyAlways, kIpcIdsMax},
    {"project.max-shm-memory", 10, kRctlNoBasic | kRctlDenyAlways, UINT64_MAX},
    {"project.max-tasks", 10, kRctlNoBasic, INT_MAX},
    {"zone.cpu-cap", 10, kRctlNoBasic, 0},
    {"zone.cpu-shares", 10, kRctlNoBasic, 0},
    {"zone.max-locked-memory", 10, kRctlNoBasic, 0},
    {"zone.max-lofi", 10, kRctlNoBasic, 0},
    {"zone.max-lwps", 10, kRctlNoBasic, 0},
    {"zone.max-msg-ids", 10, kRctlNoBasic, 0},
    {"zone.max-processes", 10, kRctlNoBasic, 0},
    {"zone.max-sem-ids", 10, kRctlNoBasic, 0},
    {"zone.max-shm-ids", 10, kRctlNoBasic, 0},
    {"zone.max-shm-memory", 10, kRctlNoBasic, 0},
    {"zone.max-swap", 10, kRctlNoBasic, 0},
};

// Solaris's signal numbers of the names str2sig knows.
struct Signal {
    const char* Name;
    int Number;
};
const Signal kSignals[] = {
    {"HUP", 1},    {"INT", 2},     {"QUIT", 3},   {"ILL", 4},    {"TRAP", 5},
    {"ABRT", 6},   {"IOT", 6},     {"EMT", 7},    {"FPE", 8},    {"KILL", 9},
    {"BUS", 10},   {"SEGV", 11},   {"SYS", 12},   {"PIPE", 13},  {"ALRM", 14},
    {"TERM", 15},  {"USR1", 16},   {"USR2", 17},  {"CLD", 18},   {"CHLD", 18},
    {"PWR", 19},   {"WINCH", 20},  {"URG", 21},   {"POLL", 22},  {"IO", 22},
    {"STOP", 23},  {"TSTP", 24},   {"CONT", 25},  {"TTIN", 26},  {"TTOU", 27},
    {"VTALRM", 28}, {"PROF", 29},  {"XCPU", 30},  {"XFSZ", 31},  {"WAITING", 32},
    {"LWP", 33},   {"FREEZE", 34}, {"THAW", 35},  {"CANCEL", 36}, {"LOST", 37},
    {"XRES", 38},  {"JVM1", 39},   {"JVM2", 40},
};
const int kSignalMax = 40;
const int kSigXcpu = 30;
const int kSigXfsz = 31;

// The signals a resource control may send at all.
bool kxl_isControlSignal(int iSignal)
{
    for (int aAllowed : {1, 6, 9, 15, 23, kSigXcpu, kSigXfsz, 38}) {
        if (iSignal == aAllowed) {
            return true;
        }
    }
    return false;
}

} // namespace

const ResourceControl* kxl_findControl(const std::string& iName, int iMinor)
{
    for (const ResourceControl& aControl : kControls) {
        if (iName == aControl.Name) {
            return iMinor >= aControl.Since ? &aControl : nullptr;
        }
    }
    return nullptr;
}

int kxl_cnvSignal(const std::string& iName)
{
    std::string aName = iName.compare(0, 3, "SIG") == 0 ? iName.substr(3) : iName;
    if (!aName.empty() && aName.find_first_not_of("0123456789") == std::string::npos) {
        int aNumber = aName.size() <= 2 ? std::stoi(aName) : 0;
        return aNumber >= 1 && aNumber <= kSignalMax ? aNumber : 0;
    }
    for (const Signal& aSignal : kSignals) {
        if (aName == aSignal.Name) {
            return aSignal.Number;
        }
    }
    return 0;
}

ValueRefusal kxl_chkControlValue(const ResourceControl& iControl, bool iBasic,
                                 unsigned long long iValue, bool iDeny, int iSignal)
{
    if (iBasic && (iControl.Flags & kRctlNoBasic) != 0) {
        return ValueRefusal::Basic;
    }
    if (!iDeny && (iControl.Flags & kRctlDenyAlways) != 0) {
        return ValueRefusal::NoDeny;
    }
    if (iDeny && (iControl.Flags & kRctlDenyNever) != 0) {
        return ValueRefusal::Deny;
    }
    if (iSignal != 0 && ((iControl.Flags & kRctlSignalNever) != 0 || !kxl_isControlSignal(iSignal) ||
                         (iSignal == kSigXcpu && (iControl.Flags & kRctlCpuTime) == 0) ||
                         (iSignal == kSigXfsz && (iControl.Flags & kRctlFileSize) == 0))) {
        return ValueRefusal::Signal;
    }
    if (iControl.Max != 0 && iValue > iControl.Max) {
        return ValueRefusal::Maximum;
    }
    return ValueRefusal::None;
}
