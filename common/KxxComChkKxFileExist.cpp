// KxxComChkKxFileExist.cpp
#include "KxxComChkKxFileExist.h"

#include "KxxComMngDEFCHKINI.h"
#include "KxxComOutTrace.h"

namespace {

// Adds each of iNames that is not of kind iKind under iDir; true when one was missing.
template <size_t N>
bool kxl_chkEntries(const char* iDir, const char* const (&iNames)[N], int iKind,
                    std::string& ioList)
{
    for (const char* aName : iNames) {
        int aKind = iDir[0] == '\0' ? kxg_chkSysFileExist(aName, "")
                                    : kxg_chkSysFileExist(iDir, aName);
        if (aKind != iKind) {
            kxg_addMissingName(ioList, aName);
        }
    }
    return !ioList.empty();
}

} // namespace

int kxg_chkKxFileExist(std::string& oList)
{
    const char* aFunc = "kxg_chkKxFileExist";
    static const char* const sDirs[] = {"sys", "def", "trace"};
    static const char* const sFiles[] = {"kxdefchk_SOL.ini", "SysMessage.csv",
                                         "OutLogMessage.csv"};
    oList.clear();
    // The directories are checked alone first: a missing one hides the files in it.
    if (kxl_chkEntries("", sDirs, 4, oList) || kxl_chkEntries("sys", sFiles, 3, oList)) {
        kxg_endMissingList(oList);
        kxg_outWriteTracelog(aFunc, "システムファイルなし");
        return 7;
    }
    return kxg_chkINIFileExist(oList);
}
