// Record.h
// Layer 6 (the command's ground).
// The requirement records: one row of a parameter list file, the host's setting found
// for it and its verdict; the list of them in file order; an index of them by name.
#ifndef RECORD_H
#define RECORD_H

#include <string>
#include <unordered_map>
#include <vector>

#include "SettingSource.h"

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
enum class LimitOrigin {
    Setting, // the host's setting as configured, in CurrentFile
    Default, // the kernel's default limit (DefaultLimit), nothing configures the control
    Tunable, // an obsolete /etc/system tunable (Tunable, in CurrentFile)
    Lowered, // rlim_fd_cur as the kernel lowers it to rlim_fd_max
};

// Why a setting that is configured is not in force, or cannot be judged.
enum class SettingProblem {
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
    std::string ParamName;        // kernel parameter or resource control
    std::string ProjectName;      // project of /etc/project; empty matches every project
    std::string Privilege;        // required privilege level
    std::string Criterion;        // "fixed", "additional" or "optcri"
    std::string OSInitValue;      // the system's initial values, or "calc"
    std::string NeedValue;        // the needed values, or "calc"

    SettingSource Source = SettingSource::System; // the host setting the row reads
    std::string CurrentPrivilege; // privilege level found in /etc/project
    std::string CurrentValue;     // value found; empty = not set
    std::string CurrentFile;      // host file the value was read from, e.g. "/etc/system"
    std::string CurrentProject;   // project entry (or zone) the value was read from
    std::string CurrentControl;   // every value of the control as configured, "(p,v,a),..."
    LimitOrigin Origin = LimitOrigin::Setting;
    const char* Tunable = "";     // the obsolete tunable in force (Origin Tunable)
    unsigned long long DefaultLimit = 0; // the kernel's default (Origin Default)
    const char* DefaultPrivilege = ""; // its privilege level
    SettingProblem Problem = SettingProblem::None;
    std::string ProblemDetail;    // EntryBroken: the control that broke the entry; Refused: why

    std::string MinimumValue;     // the required minimum as the report shows it
    unsigned long long Minimums[kMinimumsMax] = {}; // the same as numbers
    int MinimumCount = 0;         // numbers in Minimums; 0 when the minimum is not known
    int ErrStat = 0;              // 1 not set, 2 below the minimum, 4 wrong privilege
};

// The requirement records in file order. Records holds Capacity slots, of which the
// first Count are in use; it grows by 25 at a time.
struct SysPrmList {
    int Count = 0;
    int Capacity = 0;
    std::vector<SysPrmRecord> Records;
};

// The number of records in use: Count, never beyond the records actually held.
size_t kxl_cntRecords(const SysPrmList& iList);

// Records by parameter name, each list in list order.
using RecordIndex = std::unordered_map<std::string, std::vector<SysPrmRecord*>>;

#endif
