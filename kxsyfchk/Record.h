// Record.h
// Layer 6 (the command's ground).
// The requirement records: one row of a parameter list file, the host's setting found
// for it and its verdict; the list of them in file order; an index of them by name.
#ifndef RECORD_H
#define RECORD_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "SettingSource.h"
#include "SharedText.h"

// Longest texts of a record (terminator excluded); longer current settings are cut.
const size_t kParamTextMax = 256;
const size_t kPrivilegeMax = 11;

// Verdict bits of ErrStat.
const int kErrNotSet = 1;
const int kErrBelowMinimum = 2;
const int kErrPrivilege = 4;

// An optcri row has four minimums, every other row one.
const int kMinimumsMax = 4;

// Where the limit a record is judged by comes from.
enum class LimitOrigin : uint8_t {
    Setting, // the host's setting as configured, in CurrentFile
    Default, // the kernel's default limit (DefaultLimit), nothing configures the control
    Tunable, // an obsolete /etc/system tunable (Tunable, in CurrentFile)
    Lowered, // rlim_fd_cur as the kernel lowers it to rlim_fd_max
};

// Why a setting that is configured is not in force, or cannot be judged.
enum class SettingProblem : uint8_t {
    None,
    NoValue,        // the control has no value "(...)": setproject passes it over
    Refused,        // setproject or the kernel refuses a value of it
    EntryBroken,    // setproject stopped reading the project's entry (at ProblemDetail)
    ZoneNotChecked, // the zone's configuration cannot be read here
};

// One requirement row and its verdict. The row fields come from the parameter list
// file; the settings readers fill the current setting; the evaluation the minimum and
// the verdict, which the reporters only read.
struct SysPrmRecord {
    // Texts many records hold alike are shared, and the small fields kept together.
    std::string ParamName;        // kernel parameter or resource control
    std::string NeedValue;        // the needed values, or "calc"
    SharedText OSInitValue;       // the system's initial values, or "calc"
    SharedText ProjectName;       // project of /etc/project; empty matches every project
    SharedText Privilege;         // required privilege level
    SharedText Criterion;         // "fixed", "additional" or "optcri"
    SettingSource Source = SettingSource::System; // the host setting the row reads

    std::string CurrentValue;     // value found; empty = not set
    std::string CurrentControl;   // every value of the control as configured, "(p,v,a),..."
    SharedText CurrentPrivilege;  // privilege level found in /etc/project
    SharedText CurrentFile;       // host file the value was read from, e.g. "/etc/system"
    SharedText CurrentProject;    // project entry (or zone) the value was read from
    SharedText ProblemDetail;     // EntryBroken: the control that broke the entry; Refused: why
    LimitOrigin Origin = LimitOrigin::Setting;
    SettingProblem Problem = SettingProblem::None;
    const char* Tunable = "";     // the obsolete tunable in force (Origin Tunable)
    unsigned long long DefaultLimit = 0; // the kernel's default (Origin Default)
    const char* DefaultPrivilege = ""; // its privilege level

    unsigned long long Minimums[kMinimumsMax] = {}; // the required minimums
    char MinimumForms[kMinimumsMax] = {}; // how each is shown: 'x' or 'X' for "0x...", else 0
    int MinimumCount = 0;         // numbers in Minimums; 0 when the minimum is not known
    int ErrStat = 0;              // 1 not set, 2 below the minimum, 4 wrong privilege
};

// The first slot from iHash on where iStop holds (the slot of what is looked for, or a
// free one) in a table of open addressing: a power of two long, never full, a slot taken
// and passed over when it belongs to another.
template <typename Slot, typename Stop>
size_t kxl_probeSlots(const std::vector<Slot>& iSlots, size_t iHash, Stop iStop)
{
    size_t aMask = iSlots.size() - 1;
    size_t aSlot = iHash & aMask;
    while (!iStop(iSlots[aSlot])) {
        aSlot = (aSlot + 1) & aMask;
    }
    return aSlot;
}

// Records by parameter name, a ring of them per name: each record's Next is the next
// record of its name in list order, the last one's the first; a name's slot holds its last
// record, after which a new one goes in. Positions are held + 1, 0 being none. Made once
// the list is loaded; the settings readers find the records of a name with it.
struct RecordIndex {
    std::vector<uint32_t> Slots; // by name: its last record
    std::vector<uint32_t> Next;  // per record: the next of its name
    uint32_t Names = 0;          // slots in use
};

// The requirement records in file order. Records holds Capacity slots, of which the
// first Count are in use; it grows by 25 at a time.
struct SysPrmList {
    int Count = 0;
    int Capacity = 0;
    std::vector<SysPrmRecord> Records;
    RecordIndex Index;
};

// The required minimum as the report shows it: each number as the setting it was judged
// against writes numbers, those of an optcri row each followed by a blank.
std::string kxl_getMinimumText(const SysPrmRecord& iRec);

// The number of records in use: Count, never beyond the records actually held.
size_t kxl_cntRecords(const SysPrmList& iList);

// The index of the records in use, made anew.
void kxl_makeIndex(SysPrmList& ioList);

// The position + 1 of the first record named iName; 0 when there is none.
uint32_t kxl_findFirst(const SysPrmList& iList, std::string_view iName);

// The same for the records that read the host setting iSource: all records of a name
// read the same one.
uint32_t kxl_findFirstOf(const SysPrmList& iList, std::string_view iName, SettingSource iSource);

// Calls iVisit with every record named iName that reads iSource, in list order.
// false when there is none.
template <typename Visit>
bool kxl_forEachNamed(SysPrmList& ioList, std::string_view iName, SettingSource iSource,
                      Visit iVisit)
{
    uint32_t aFirst = kxl_findFirstOf(ioList, iName, iSource);
    if (aFirst == 0) {
        return false;
    }
    uint32_t aAt = aFirst;
    do {
        iVisit(ioList.Records[aAt - 1]);
        aAt = ioList.Index.Next[aAt - 1];
    } while (aAt != aFirst);
    return true;
}

// Calls iVisit with every record in use that reads the host setting iSource, in list order.
template <typename Visit>
void kxl_forEachOf(SysPrmList& ioList, SettingSource iSource, Visit iVisit)
{
    size_t aCount = kxl_cntRecords(ioList);
    for (size_t i = 0; i < aCount; i++) {
        if (ioList.Records[i].Source == iSource) {
            iVisit(ioList.Records[i]);
        }
    }
}

#endif
