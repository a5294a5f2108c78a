// Record.cpp
#include <algorithm>

#include "Record.h"

size_t kxl_cntRecords(const SysPrmList& iList)
{
    size_t aCount = iList.Count > 0 ? static_cast<size_t>(iList.Count) : 0;
    return std::min(aCount, iList.Records.size());
}
