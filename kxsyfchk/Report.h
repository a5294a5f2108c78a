// Report.h
// Layer 10 (the reporters).
// The result report of the judged records: the console messages and the block appended
// to the output log, one line per verdict bit of each record.
#ifndef REPORT_H
#define REPORT_H

#include <string>

#include "Record.h"

// Writes the report of the judged list to the console and to the output log iOutLog.
// 1 findings written; 0 all passed ("07005"); -1 a write failed.
int kxl_outReport(const std::string& iOSName, const std::string& iOutLog, const SysPrmList& iList);

#endif
