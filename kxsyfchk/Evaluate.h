// Evaluate.h
// Layer 9 (the evaluation).
// The verdict of every requirement: its required minimum worked out from the row (with
// the calculated values of "calc" rows), the current value compared with it, the
// privilege compared with the required one.
#ifndef EVALUATE_H
#define EVALUATE_H

#include <string>

#include "KxxComInstallInfo.h"
#include "Record.h"
#include "SettingNumber.h"

// Works out every record's required minimum and verdict on the release iOSName; a record
// that nothing sets is judged by its control's default limit when it has one, and keeps
// the minimum of its row when that needs no calculation.
// 0 all judged; -1 or -9995 the evaluation stopped on a value it cannot use.
int kxl_ChkSystemParamList(const std::string& iOSName, const InstallInfo& iInfo,
                           SysPrmList& ioList);

// Compares the current value, a number of iBase (beyond 64 bits larger than any minimum;
// a text that is no number is never enough), with iMinimum, and writes iMinimum into
// oMinText in the current value's style (hexadecimal after "0x"/"0X", else decimal).
// 0 at least the minimum; -1 not.
int kxl_chkSysMin(const std::string& iCurrent, unsigned long long iMinimum, NumberBase iBase,
                  std::string& oMinText);

#endif
