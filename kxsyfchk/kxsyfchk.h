// kxsyfchk.h
// Layer 6 (the command).
// The system parameter check: requirement records loaded from the parameter list files,
// the host's current settings, the evaluation with its calculated values, and the report.
#ifndef KXSYFCHK_H
#define KXSYFCHK_H

#include <string>
#include <vector>

#include "KxxComInstallInfo.h"

// Longest texts of a record (terminator excluded); longer current settings are cut.
const size_t kParamTextMax = 256;
const size_t kPrivilegeMax = 11;

// One requirement row and its verdict.
struct SysPrmRecord {
    std::string ParamName;        // kernel parameter or resource control
    std::string ProjectName;      // project of /etc/project; empty matches every project
    std::string Privilege;        // required privilege level
    std::string Criterion;        // "fixed", "additional" or "optcri"
    std::string OSInitValue;      // the system's initial values, or "calc"
    std::string NeedValue;        // the needed values, or "calc"
    std::string CurrentPrivilege; // privilege level found in /etc/project
    std::string CurrentValue;     // value found; empty = not set
    std::string CurrentSource;    // host file the value was read from, e.g. "/etc/system"
    std::string CurrentProject;   // project entry the value was read from
    std::string MinimumValue;     // the required minimum as text
    int ErrStat = 0;              // 1 not set, 2 below the minimum, 4 wrong privilege

    bool operator==(const SysPrmRecord& iOther) const;
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

// Verdict bits of ErrStat.
const int kErrNotSet = 1;
const int kErrBelowMinimum = 2;
const int kErrPrivilege = 4;

// The edition code of an installation Type (2 QA, 4 QB, 8 QBX); empty for any other.
std::string kxl_editionCode(uint32_t iType);

// Loads the rows of the parameter list files that apply to this host (iOSName such as
// "Solaris10", and in managing-product mode role, edition and version).
// 0 loaded (maybe empty); -1 file count or file not had; -9993 no memory for a line;
// -9995 a row malformed or the list could not grow.
int kxl_getSysPrmList(const std::string& iOSName, const InstallInfo& iInfo, SysPrmList& ioList);

// Stores the current settings: on Solaris 10 and 11 the resource controls from
// /etc/project, every other parameter from /etc/system (on Solaris 11 after the fragments
// of /etc/system.d). 0 done; -9998 a file not opened or not read; -1 or -9993 no memory.
int kxl_GetSystemParam(const std::string& iOSName, SysPrmList& ioList);

// Whether iOSName reports with the five-column layout and reads resource controls from
// /etc/project (Solaris 10 and 11).
bool kxl_isProjectOS(const std::string& iOSName);

// Whether the parameter is a resource control (project., process., task., zone.).
bool kxl_isResourceControl(const std::string& iParamName);

// The value in force for iName in /etc/system: that of its last "set" statement, as
// written. 0 found; 14 not set; -9998 the file not opened or not read.
int kxl_getSystemSetting(const std::string& iName, std::string& oValue);

// A privilege word in one spelling: basic, priv and system in any case ("privileged" is
// priv); any other word as written.
std::string kxl_cnvPrivilege(const std::string& iPrivilege);

// A setting's number: with iKernelBases as the kernel reads /etc/system ("0x" hexadecimal,
// a leading 0 octal, else decimal), otherwise decimal only. 0 read into oValue; 1 a
// number too large for 64 bits; -1 not a number.
int kxl_cnvSettingNumber(const std::string& iText, bool iKernelBases, unsigned long long& oValue);

// Works out every record's required minimum and verdict.
// 0 all judged; -1 or -9995 the evaluation stopped on a value it cannot use.
int kxl_ChkSystemParamList(const InstallInfo& iInfo, SysPrmList& ioList);

// The required minimum of a record as text (optcri: four blank-separated values), worked
// out as the evaluation does, "calc" included. 0; nonzero when it cannot be.
int kxl_getMinimumText(const SysPrmRecord& iRec, const InstallInfo& iInfo, std::string& oText);

// Compares the current value with iMinimum as numbers (kxl_cnvSettingNumber; a number
// beyond 64 bits is larger than any minimum, a text that is no number is never enough)
// and writes iMinimum into oMinText in the current value's style (hexadecimal after
// "0x"/"0X" when iKernelBases, else decimal). 0 at least the minimum; -1 not.
int kxl_chkSysMin(const std::string& iCurrent, unsigned long long iMinimum, bool iKernelBases,
                  std::string& oMinText);

// The needed value of a "calc" row (msgsys:msginfo_msgtql, msgsys:msginfo_msgmap).
// 0 calculated; nonzero failed.
int kxl_getCalcNeedVal(const std::string& iParamName, const InstallInfo& iInfo,
                       unsigned long long& oValue);

// The OS initial value of a "calc" row (project.max-shm-memory). 0 calculated; nonzero failed.
int kxl_getCalcOSInit(const std::string& iParamName, unsigned long long& oValue);

// The physical memory in bytes, from prtconf. 0 read; -1 not.
int kxl_GetSysMemory(unsigned long long& oBytes);

// One kernel value from the sysdef line labelled iLabel (searched with iWord).
// 0 read; 14 no valid line; -1 no command or above 2^60; -9998 output not opened;
// -9993 no memory.
int kxl_getSystemVal(const char* iWord, const char* iLabel, unsigned long long& oValue);

// The size in megabytes from the first prtconf output line of iFile that states one.
// 0 read; -1 none; -9993 no memory.
int kxl_readMemorySize(FILE* iFile, unsigned long long& oMegabytes);

// The value of the first valid sysdef output line of iFile labelled iLabel.
// 0 read; 14 no such line; -1 unreadable; -9993 no memory.
int kxl_readSysdefValue(FILE* iFile, const char* iLabel, unsigned long long& oValue);

// Writes the report of the judged list to the console and to the output log iOutLog.
// 1 findings written; 0 all passed ("07005"); -1 a write failed.
int kxl_outReport(const std::string& iOSName, const std::string& iOutLog, SysPrmList& ioList);

// The results for programs, written to the file that KXSYFCHK_JSON names. main keeps it
// through the run: the rows are taken after the evaluation, before the report uses up
// the verdicts; the document is written with the exit status before the end sequence.
struct JsonReport {
    std::string Path;         // empty: no document is wanted
    std::string OSName;       // "Solaris10"; empty until the release is known
    std::string Rows = "[]";  // JSON array of one object per applicable row, UTF-8
};

// The path of the document from KXSYFCHK_JSON; empty when it is unset or empty.
void kxl_iniJsonReport(JsonReport& oJson);

// Takes one row per record of the judged list, with its verdict and fix.
void kxl_setJsonRows(const std::string& iOSName, const InstallInfo& iInfo,
                     const SysPrmList& iList, JsonReport& ioJson);

// Writes the document (replacing the file whole) for a run that ends with iResult.
// A file that cannot be written is traced and changes nothing else.
void kxl_outJsonReport(const JsonReport& iJson, int iResult, const InstallInfo& iInfo,
                       const std::string& iOutLog);

#endif
