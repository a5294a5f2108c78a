// Record.cpp
// The index is a table of open addressing, never more than half full: it doubles when it
// would be.
#include <algorithm>
#include <functional>

#include "Record.h"

namespace {

const size_t kIndexSlotsMin = 64;

// The slot of iName in iSlots: its own, or the free one it would get.
size_t kxl_findSlot(const SysPrmList& iList, const std::vector<uint32_t>& iSlots, std::string_view iName)
{
    return kxl_probeSlots(iSlots, std::hash<std::string_view>()(iName), [&](uint32_t iSlot) {
        return iSlot == 0 || iList.Records[iSlot - 1].ParamName == iName;
    });
}

// Doubles the table, the rings of the names kept as they are.
void kxl_growIndex(SysPrmList& ioList)
{
    std::vector<uint32_t> aSlots(std::max(kIndexSlotsMin, ioList.Index.Slots.size() * 2), 0);
    for (uint32_t aLast : ioList.Index.Slots) {
        if (aLast != 0) {
            aSlots[kxl_findSlot(ioList, aSlots, ioList.Records[aLast - 1].ParamName)] = aLast;
        }
    }
    ioList.Index.Slots.swap(aSlots);
}

// Adds the record at iPos, the last one added, to the list's index.
void kxl_addToIndex(SysPrmList& ioList, uint32_t iPos)
{
    RecordIndex& aIndex = ioList.Index;
    if ((aIndex.Names + 1) * 2 > aIndex.Slots.size()) {
        kxl_growIndex(ioList);
    }
    uint32_t& aLast = aIndex.Slots[kxl_findSlot(ioList, aIndex.Slots, ioList.Records[iPos].ParamName)];
    if (aLast == 0) {
        aIndex.Next[iPos] = iPos + 1;
        aIndex.Names++;
    } else {
        aIndex.Next[iPos] = aIndex.Next[aLast - 1];
        aIndex.Next[aLast - 1] = iPos + 1;
    }
    aLast = iPos + 1;
}

} // namespace

std::string kxl_getMinimumText(const SysPrmRecord& iRec)
{
    bool aOptcri = iRec.Criterion == "optcri";
    std::string aText;
    for (int i = 0; i < iRec.MinimumCount && i < kMinimumsMax; i++) {
        aText += kxl_fmtNumber(iRec.Minimums[i], iRec.MinimumForms[i]);
        aText += aOptcri ? " " : "";
    }
    return aText;
}

size_t kxl_cntRecords(const SysPrmList& iList)
{
    size_t aCount = iList.Count > 0 ? static_cast<size_t>(iList.Count) : 0;
    return std::min(aCount, iList.Records.size());
}

void kxl_makeIndex(SysPrmList& ioList)
{
    size_t aCount = kxl_cntRecords(ioList);
    ioList.Index = RecordIndex();
    ioList.Index.Next.assign(aCount, 0);
    for (size_t i = 0; i < aCount; i++) {
        kxl_addToIndex(ioList, static_cast<uint32_t>(i));
    }
}

uint32_t kxl_findFirst(const SysPrmList& iList, std::string_view iName)
{
    if (iList.Index.Slots.empty()) {
        return 0;
    }
    uint32_t aLast = iList.Index.Slots[kxl_findSlot(iList, iList.Index.Slots, iName)];
    return aLast == 0 ? 0 : iList.Index.Next[aLast - 1];
}

uint32_t kxl_findFirstOf(const SysPrmList& iList, std::string_view iName, SettingSource iSource)
{
    uint32_t aPos = kxl_findFirst(iList, iName);
    return aPos != 0 && iList.Records[aPos - 1].Source == iSource ? aPos : 0;
}
