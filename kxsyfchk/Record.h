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
    std::string CurrentProject;   // project entry the value was read from

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
