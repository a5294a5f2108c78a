// Report.cpp
// The report reads the verdicts and leaves them as they are, so that the results for
// programs can be written from the same records after it.
#include <cstdio>

#include "KxxComMessage.h"
#include "KxxComOutTrace.h"
#include "Report.h"

namespace {

const char* const kToolId = "KxDefChk";
const size_t kReasonBuffer = 4096;

// Whether the report shows the project and privilege columns (Solaris 10 and 11).
bool kxl_hasProjectColumns(const std::string& iOSName)
{
    return iOSName == "Solaris10" || iOSName == "Solaris11";
}

// Title, message and column heading, written once before the first line.
int kxl_outReportHeader(const std::string& iOSName, const std::string& iOutLog)
{
    if (kxg_outOLTitle(iOutLog) != 0 ||
        kxg_outOLMessage(iOutLog, "07001", kToolId) != 0) {
        return -1;
    }
    const char* aHeading =
        kxl_hasProjectColumns(iOSName)
            ? "[パラメタ名], [パラメタ値], [プロジェクト名], [権限], [異常の原因]\n"
            : "[パラメタ名], [パラメタ値], [異常の原因]\n";
    return kxg_outOLString(iOutLog, "%s", aHeading) == 0 ? 0 : -1;
}

// The reason text for one verdict bit.
std::string kxl_reasonText(int iBit, const SysPrmRecord& iRecord)
{
    char aReason[kReasonBuffer];
    switch (iBit) {
    case kErrNotSet:
        snprintf(aReason, sizeof aReason, "パラメタ設定がありません。");
        break;
    case kErrBelowMinimum:
        snprintf(aReason, sizeof aReason, "最小必要値以下です。(最小必要値：%s)",
                 kxl_getMinimumText(iRecord).c_str());
        break;
    default:
        snprintf(aReason, sizeof aReason, "権限が誤っています。(必要権限：%s)",
                 iRecord.Privilege.c_str());
        break;
    }
    return aReason;
}

int kxl_outReportLine(const std::string& iOSName, const std::string& iOutLog,
                      const SysPrmRecord& iRecord, const std::string& iReason)
{
    int aResult;
    if (kxl_hasProjectColumns(iOSName)) {
        aResult = kxg_outOLString(iOutLog, " %s, %s, %s, %s, %s\n", iRecord.ParamName.c_str(),
                                  iRecord.CurrentValue.c_str(), iRecord.ProjectName.c_str(),
                                  iRecord.CurrentPrivilege.c_str(), iReason.c_str());
    } else {
        aResult = kxg_outOLString(iOutLog, " %s, %s, %s\n", iRecord.ParamName.c_str(),
                                  iRecord.CurrentValue.c_str(), iReason.c_str());
    }
    return aResult == 0 ? 0 : -1;
}

// One line per verdict bit of the record, lowest bit first; the header before the
// report's first line. The trace shows the bits still to be written at each line.
int kxl_outRecordLines(const std::string& iOSName, const std::string& iOutLog,
                       const SysPrmRecord& iRecord, int& ioLines)
{
    const int aKnownBits = kErrNotSet | kErrBelowMinimum | kErrPrivilege;
    int aStat = iRecord.ErrStat;
    while ((aStat & aKnownBits) != 0) {
        if (ioLines == 0 && kxl_outReportHeader(iOSName, iOutLog) != 0) {
            return -1;
        }
        kxg_outWriteTracelogEx("main", "ErrStat[%d]", aStat);
        int aBits = aStat & aKnownBits;
        int aBit = aBits & -aBits;
        if (kxl_outReportLine(iOSName, iOutLog, iRecord, kxl_reasonText(aBit, iRecord)) != 0) {
            return -1;
        }
        ioLines++;
        aStat &= ~aBit;
    }
    return 0;
}

} // namespace

int kxl_outReport(const std::string& iOSName, const std::string& iOutLog, const SysPrmList& iList)
{
    int aLines = 0;
    size_t aCount = kxl_cntRecords(iList);
    for (size_t aIndex = 0; aIndex < aCount; aIndex++) {
        if (kxl_outRecordLines(iOSName, iOutLog, iList.Records[aIndex], aLines) != 0) {
            return -1;
        }
    }
    if (aLines > 0) {
        // The console points at the output log only once the report is there whole.
        if (kxg_outOLString(iOutLog, "\n\n") != 0) {
            return -1;
        }
        return kxg_outSysMessage("07004") == 0 ? 1 : -1;
    }
    return kxg_outSysMessage("07005") == 0 ? 0 : -1;
}
