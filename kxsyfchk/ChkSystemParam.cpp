// ChkSystemParam.cpp
// Evaluation of the requirement records: each record's required minimum from its
// criterion, the comparison of the current value with it, and the privilege test.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "KxxComOutTrace.h"
#include "KxxComString.h"
#include "kxsyfchk.h"

namespace {

// The steps below write their trace lines under the evaluation's name.
const char* const kListFunc = "kxl_ChkSystemParamList";
const char* const kCalc = "calc";
const int kOptNeedCount = 4;
const int kOptInitCount = 2;

// A requirement number as strtoull reads it in base 10: leading blanks skipped, stops at
// the first non-digit, ULLONG_MAX when too large. A sign is no digit here, so "-1" is
// not turned into a huge number.
unsigned long long kxl_cnvDecimal(const std::string& iText)
{
    size_t aStart = iText.find_first_not_of(" \t\r\n\f\v");
    if (aStart == std::string::npos || iText[aStart] < '0' || iText[aStart] > '9') {
        return 0;
    }
    errno = 0;
    unsigned long long aValue = strtoull(iText.c_str() + aStart, nullptr, 10);
    return errno == ERANGE ? ULLONG_MAX : aValue;
}

// The value of a digit character of base 16 at most; 16 for any other character.
unsigned long long kxl_cnvDigit(char iChar)
{
    if (iChar >= '0' && iChar <= '9') {
        return static_cast<unsigned long long>(iChar - '0');
    }
    if (iChar >= 'a' && iChar <= 'f') {
        return static_cast<unsigned long long>(iChar - 'a' + 10);
    }
    if (iChar >= 'A' && iChar <= 'F') {
        return static_cast<unsigned long long>(iChar - 'A' + 10);
    }
    return 16;
}

// Values of /etc/system are numbers as the kernel reads them; those of /etc/project are
// decimal.
bool kxl_isKernelValue(const SysPrmRecord& iRec)
{
    return iRec.CurrentSource != "/etc/project";
}

// The part of the current value that a fixed or additional record is judged by: the first
// word of an /etc/system value, the whole value of a resource control.
std::string kxl_getJudgedValue(const SysPrmRecord& iRec)
{
    if (!kxl_isKernelValue(iRec)) {
        return iRec.CurrentValue;
    }
    uint32_t aPos = 0;
    std::string aWord;
    kxg_cutBlTbWord(iRec.CurrentValue, aPos, aWord);
    return aWord;
}

// True when iLeft + iRight would reach ULLONG_MAX or not fit at all.
bool kxl_sumTooLarge(unsigned long long iLeft, unsigned long long iRight)
{
    return iLeft >= ULLONG_MAX - iRight;
}

void kxl_traceSumTooLarge()
{
    kxg_outWriteTracelogEx(kListFunc,
                           "最小必要値+OS初期値が unsigned long long int の上限を超えている[%llu]",
                           ULLONG_MAX);
}

void kxl_traceNeedTooLarge()
{
    kxg_outWriteTracelogEx(
        kListFunc, "最小必要値が unsigned long long int の上限を超えている[%llu]", ULLONG_MAX);
}

void kxl_traceInitTooLarge()
{
    kxg_outWriteTracelogEx(kListFunc, "OS初期値が unsigned long long int の上限を超えている[%llu]",
                           ULLONG_MAX);
}

// The required minimum of a fixed or additional record before the OS initial value.
int kxl_getNeedValue(const SysPrmRecord& iRec, const InstallInfo& iInfo, unsigned long long& oValue)
{
    if (iRec.NeedValue == kCalc) {
        kxg_outWriteTracelogEx(kListFunc, "必要値=%s", iRec.NeedValue.c_str());
        if (kxl_getCalcNeedVal(iRec.ParamName, iInfo, oValue) != 0) {
            kxg_outWriteTracelog(kListFunc, "必要値(calcフラグ)計算エラー");
            return -9995;
        }
    } else {
        oValue = kxl_cnvDecimal(iRec.NeedValue);
    }
    kxg_outWriteTracelogEx(kListFunc, "最小必要値[%llu]", oValue);
    if (oValue == ULLONG_MAX) {
        kxl_traceNeedTooLarge();
        return -1;
    }
    return 0;
}

// Adds the OS initial value of an additional record to ioMinimum.
int kxl_addOSInitValue(const SysPrmRecord& iRec, unsigned long long& ioMinimum)
{
    unsigned long long aInit = 0;
    if (iRec.OSInitValue == kCalc) {
        kxg_outWriteTracelogEx(kListFunc, "OS初期値=%s", iRec.OSInitValue.c_str());
        if (kxl_getCalcOSInit(iRec.ParamName, aInit) != 0) {
            kxg_outWriteTracelog(kListFunc, "OS初期値(calcフラグ)計算エラー");
            return -1;
        }
    } else {
        aInit = kxl_cnvDecimal(iRec.OSInitValue);
    }
    kxg_outWriteTracelogEx(kListFunc, "OS初期値[%llu]", aInit);
    if (aInit == ULLONG_MAX) {
        kxl_traceInitTooLarge();
        return -1;
    }
    if (kxl_sumTooLarge(ioMinimum, aInit)) {
        kxl_traceSumTooLarge();
        return -1;
    }
    ioMinimum += aInit;
    kxg_outWriteTracelogEx(kListFunc, "加算後最小必要値[%llu]", ioMinimum);
    return 0;
}

// The required minimum of a fixed or additional record.
int kxl_getSingleMinimum(const SysPrmRecord& iRec, const InstallInfo& iInfo,
                         unsigned long long& oMinimum)
{
    int aResult = kxl_getNeedValue(iRec, iInfo, oMinimum);
    if (aResult == 0 && iRec.Criterion == "additional") {
        aResult = kxl_addOSInitValue(iRec, oMinimum);
    }
    return aResult;
}

// Judges a fixed or additional record: its minimum, its value and its privilege.
int kxl_chkSingleValue(SysPrmRecord& ioRec, const InstallInfo& iInfo)
{
    unsigned long long aMinimum = 0;
    int aResult = kxl_getSingleMinimum(ioRec, iInfo, aMinimum);
    if (aResult != 0) {
        return aResult;
    }
    if (kxl_chkSysMin(kxl_getJudgedValue(ioRec), aMinimum, kxl_isKernelValue(ioRec),
                      ioRec.MinimumValue) != 0) {
        kxg_outWriteTracelog(kListFunc, "設定値が最小必要値以下です");
        kxg_outWriteTracelogEx(kListFunc, "最小必要値：%s", ioRec.MinimumValue.c_str());
        kxg_outWriteTracelogEx(kListFunc, "設定値    ：%s", ioRec.CurrentValue.c_str());
        ioRec.ErrStat += kErrBelowMinimum;
    }
    if (kxl_cnvPrivilege(ioRec.Privilege) != kxl_cnvPrivilege(ioRec.CurrentPrivilege)) {
        kxg_outWriteTracelog(kListFunc, "権限が誤っています");
        kxg_outWriteTracelogEx(kListFunc, "必要権限：%s", ioRec.Privilege.c_str());
        kxg_outWriteTracelogEx(kListFunc, "設定権限：%s", ioRec.CurrentPrivilege.c_str());
        ioRec.ErrStat += kErrPrivilege;
    }
    return 0;
}

// Cuts iCount numbers from iText into oValues; "calc" and ULLONG_MAX are refused with
// the given trace texts.
int kxl_cutNumbers(const std::string& iText, int iCount, const char* iCalcMsg, bool iNeed,
                   unsigned long long* oValues)
{
    uint32_t aPos = 0;
    std::string aWord;
    for (int i = 0; i < iCount; i++) {
        kxg_cutBlTbWord(iText, aPos, aWord);
        if (aWord == kCalc) {
            kxg_outWriteTracelog(kListFunc, iCalcMsg);
            return -1;
        }
        oValues[i] = kxl_cnvDecimal(aWord);
        if (oValues[i] == ULLONG_MAX) {
            if (iNeed) {
                kxl_traceNeedTooLarge();
            } else {
                kxl_traceInitTooLarge();
            }
            return -1;
        }
    }
    return 0;
}

// The four minimums of an optcri record: N1, N2 + O1, N3, N4 + O2.
int kxl_getOptMinimums(const SysPrmRecord& iRec, unsigned long long* oNeed)
{
    if (kxl_cutNumbers(iRec.NeedValue, kOptNeedCount,
                       "基準がoptcriの場合、必要値にcalcは指定できない", true, oNeed) != 0) {
        return -1;
    }
    kxg_outWriteTracelogEx(kListFunc, "最小必要値：%llu,%llu,%llu,%llu", oNeed[0], oNeed[1],
                           oNeed[2], oNeed[3]);
    unsigned long long aInit[kOptInitCount] = {};
    if (kxl_cutNumbers(iRec.OSInitValue, kOptInitCount,
                       "基準がoptcriの場合、OS初期値にcalcは指定できない", false, aInit) != 0) {
        return -1;
    }
    kxg_outWriteTracelogEx(kListFunc, "　OS初期値：%llu,%llu", aInit[0], aInit[1]);
    if (kxl_sumTooLarge(oNeed[1], aInit[0]) || kxl_sumTooLarge(oNeed[3], aInit[1])) {
        kxl_traceSumTooLarge();
        return -1;
    }
    oNeed[1] += aInit[0];
    oNeed[3] += aInit[1];
    return 0;
}

// Judges an optcri record: exactly four current values, each at least its minimum.
// Such records have no privilege test.
int kxl_chkOptCri(SysPrmRecord& ioRec)
{
    kxg_outWriteTracelog(kListFunc, "基準が CRIOPT のROOT");
    unsigned long long aNeed[kOptNeedCount] = {};
    if (kxl_getOptMinimums(ioRec, aNeed) != 0) {
        return -1;
    }
    uint32_t aPos = 0;
    std::string aWord, aMinText, aMinimums;
    bool aBelow = false;
    int aWords = 0;
    for (int i = 0; i < kOptNeedCount; i++) {
        kxg_cutBlTbWord(ioRec.CurrentValue, aPos, aWord);
        aWords += aWord.empty() ? 0 : 1;
        aBelow = kxl_chkSysMin(aWord, aNeed[i], kxl_isKernelValue(ioRec), aMinText) != 0 || aBelow;
        aMinimums += aMinText + " ";
    }
    kxg_cutBlTbWord(ioRec.CurrentValue, aPos, aWord);
    aWords += aWord.empty() ? 0 : 1;
    ioRec.MinimumValue = aMinimums.substr(0, kParamTextMax);
    if (aWords != kOptNeedCount || aBelow) {
        kxg_outWriteTracelog(kListFunc, "設定値のどれかが最小必要値以下です");
        kxg_outWriteTracelogEx(kListFunc, "最小必要値：%s", ioRec.MinimumValue.c_str());
        kxg_outWriteTracelogEx(kListFunc, "設定値    ：%s", ioRec.CurrentValue.c_str());
        ioRec.ErrStat += kErrBelowMinimum;
    }
    return 0;
}

} // namespace

int kxl_cnvSettingNumber(const std::string& iText, bool iKernelBases, unsigned long long& oValue)
{
    unsigned long long aBase = 10;
    size_t aPos = 0;
    if (iKernelBases && iText.size() > 1 && iText[0] == '0') {
        bool aHex = iText[1] == 'x' || iText[1] == 'X';
        aBase = aHex ? 16 : 8;
        aPos = aHex ? 2 : 1;
    }
    if (aPos >= iText.size()) {
        return -1;
    }
    bool aTooLarge = false;
    oValue = 0;
    for (; aPos < iText.size(); aPos++) {
        unsigned long long aDigit = kxl_cnvDigit(iText[aPos]);
        if (aDigit >= aBase) {
            return -1;
        }
        aTooLarge = aTooLarge || oValue > (ULLONG_MAX - aDigit) / aBase;
        oValue = oValue * aBase + aDigit;
    }
    return aTooLarge ? 1 : 0;
}

int kxl_chkSysMin(const std::string& iCurrent, unsigned long long iMinimum, bool iKernelBases,
                  std::string& oMinText)
{
    const char* aFunc = "kxl_chkSysMin";
    // 20 digits of ULLONG_MAX, or "0x" and 16 hexadecimal digits, and the terminator.
    char aMinText[24];
    bool aHex = iKernelBases && iCurrent.size() >= 2 && iCurrent[0] == '0' &&
                (iCurrent[1] == 'x' || iCurrent[1] == 'X');
    if (aHex) {
        snprintf(aMinText, sizeof aMinText, "0%c%llx", iCurrent[1], iMinimum);
    } else {
        snprintf(aMinText, sizeof aMinText, "%llu", iMinimum);
    }
    oMinText = aMinText;
    const char* aCur = iCurrent.c_str();
    unsigned long long aValue = 0;
    int aNumber = kxl_cnvSettingNumber(iCurrent, iKernelBases, aValue);
    if (aNumber < 0) {
        kxg_outWriteTracelogEx(aFunc, "システム取得値に変換不能文字あり[%s]", aCur);
        return -1;
    }
    // A number beyond 64 bits is larger than any minimum.
    if (aNumber == 1 || aValue >= iMinimum) {
        kxg_outWriteTracelogEx(aFunc, "必要最小値の方が小さいまたは同じ（正常）[%s]>=[%s]", aCur,
                               aMinText);
        return 0;
    }
    kxg_outWriteTracelogEx(aFunc, "必要最小値の方が大きい[%s]<[%s]", aCur, aMinText);
    return -1;
}

int kxl_getMinimumText(const SysPrmRecord& iRec, const InstallInfo& iInfo, std::string& oText)
{
    if (iRec.Criterion == "optcri") {
        unsigned long long aNeed[kOptNeedCount] = {};
        if (kxl_getOptMinimums(iRec, aNeed) != 0) {
            return -1;
        }
        oText = std::to_string(aNeed[0]);
        for (int i = 1; i < kOptNeedCount; i++) {
            oText += " " + std::to_string(aNeed[i]);
        }
        return 0;
    }
    unsigned long long aMinimum = 0;
    int aResult = kxl_getSingleMinimum(iRec, iInfo, aMinimum);
    if (aResult == 0) {
        oText = std::to_string(aMinimum);
    }
    return aResult;
}

int kxl_ChkSystemParamList(const InstallInfo& iInfo, SysPrmList& ioList)
{
    const char* aFunc = kListFunc;
    kxg_outWriteTracelogEx(aFunc, " unsigned long long int の上限[%llu]", ULLONG_MAX);
    size_t aCount = kxl_cntRecords(ioList);
    for (size_t i = 0; i < aCount; i++) {
        SysPrmRecord& aRec = ioList.Records[i];
        kxg_outWriteTracelogEx(aFunc, "チェック中のパラメタ：%s", aRec.ParamName.c_str());
        aRec.ErrStat = 0;
        if (aRec.CurrentValue.empty()) {
            kxg_outWriteTracelog(aFunc, "パラメタ値がありません");
            aRec.ErrStat = kErrNotSet;
            continue;
        }
        int aResult =
            aRec.Criterion == "optcri" ? kxl_chkOptCri(aRec) : kxl_chkSingleValue(aRec, iInfo);
        if (aResult != 0) {
            return aResult;
        }
    }
    return 0;
}
