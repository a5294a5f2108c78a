// JsonReport.h
// Layer 10 (the reporters).
// The results for programs, written to the file that KXSYFCHK_JSON names: the run, and
// one object per applicable requirement with its verdict and the command that would
// meet it.
#ifndef JSONREPORT_H
#define JSONREPORT_H

#include <string>

#include "KxxComInstallInfo.h"
#include "Record.h"

// What main keeps of the document through the run.
struct JsonReport {
    std::string Path;       // empty: no document is wanted
    std::string OSName;     // "Solaris10"; empty until the release is known
    std::string FailedStep;   // the step of the check that failed, as traced
    std::string FailureCause; // the trace line before it, which says why
};

// The path of the document from KXSYFCHK_JSON; empty when it is unset or empty.
void kxl_iniJsonReport(JsonReport& oJson);

// Writes the document (replacing the file whole) for a run that ends with iResult, with
// the judged records of iList. A file that cannot be written is traced and changes
// nothing else.
void kxl_outJsonReport(const JsonReport& iJson, int iResult, const InstallInfo& iInfo,
                       const std::string& iOutLog, const SysPrmList& iList);

#endif
