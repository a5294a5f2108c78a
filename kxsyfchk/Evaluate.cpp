// Evaluate.cpp
// Each record's required minimum from its criterion, the comparison of the current value
// with it, and the privilege test. The record keeps the minimum and the verdict, so that
// the reports need nothing but the record.
#include <climits>
#include <cstdio>

#include "CalcValue.h"
#include "ControlValue.h"
#include "Evaluate.h"
#include "KxxComOutTrace.h"
#include "KxxComString.h"
#include "SettingNumber.h"

namespace {

// The steps below write their trace lines under the evaluation's name.
const char* const kListFunc = "kxl_ChkSystemParamList";
const char* const kCalc = "calc";
const int kOptNeedCount = 4;
const int kOptInitCount = 2;

// The part of the current value that a fixed or additional record is judged by: the first
// word of an /etc/system value, the whole value of a resource control.
std::string kxl_getJudgedValue(const SysPrmRecord& iRec)
{
    if (iRec.Source != SettingSource::System) {
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

// What the evaluation of the list works with.
struct Evaluation {
    const std::string& OSName;
    const InstallInfo& Info;
};

// The required minimum of a fixed or additional record before the OS initial value.
int kxl_getNeedValue(const SysPrmRecord& iRec, const Evaluation& iEval, unsigned long long& oValue)
{
    if (iRec.NeedValue == kCalc) {
        kxg_outDetailTracelogEx(kListFunc, "必要値=%s", iRec.NeedValue.c_str());
        if (kxl_getCalcNeedVal(iRec.ParamName, iEval.OSName, iEval.Info, oValue) != 0) {
            kxg_outWriteTracelog(kListFunc, "必要値(calcフラグ)計算エラー");
            return -9995;
        }
    } else {
        oValue = kxl_cnvRowNumber(iRec.NeedValue);
    }
    kxg_outDetailTracelogEx(kListFunc, "最小必要値[%llu]", oValue);
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
        kxg_outDetailTracelogEx(kListFunc, "OS初期値=%s", iRec.OSInitValue.c_str());
        if (kxl_getCalcOSInit(iRec.ParamName, aInit) != 0) {
            kxg_outWriteTracelog(kListFunc, "OS初期値(calcフラグ)計算エラー");
            return -1;
        }
    } else {
        aInit = kxl_cnvRowNumber(iRec.OSInitValue);
    }
    kxg_outDetailTracelogEx(kListFunc, "OS初期値[%llu]", aInit);
    if (aInit == ULLONG_MAX) {
        kxl_traceInitTooLarge();
        return -1;
    }
    if (kxl_sumTooLarge(ioMinimum, aInit)) {
        kxl_traceSumTooLarge();
        return -1;
    }
    ioMinimum += aInit;
    kxg_outDetailTracelogEx(kListFunc, "加算後最小必要値[%llu]", ioMinimum);
    return 0;
}

// The required minimum of a fixed or additional record.
int kxl_getSingleMinimum(SysPrmRecord& ioRec, const Evaluation& iEval, unsigned long long& oMinimum)
{
    int aResult = kxl_getNeedValue(ioRec, iEval, oMinimum);
    if (aResult == 0 && ioRec.Criterion == "additional") {
        aResult = kxl_addOSInitValue(ioRec, oMinimum);
    }
    if (aResult == 0) {
        ioRec.Minimums[0] = oMinimum;
        ioRec.MinimumCount = 1;
    }
    return aResult;
}

// The privilege test of a fixed or additional record.
void kxl_chkPrivilege(const std::string& iFound, SysPrmRecord& ioRec)
{
    if (kxl_cnvPrivilege(ioRec.Privilege) != kxl_cnvPrivilege(iFound)) {
        kxg_outDetailTracelog(kListFunc, "権限が誤っています");
        kxg_outDetailTracelogEx(kListFunc, "必要権限：%s", ioRec.Privilege.c_str());
        kxg_outDetailTracelogEx(kListFunc, "設定権限：%s", iFound.c_str());
        ioRec.ErrStat += kErrPrivilege;
    }
}

// Judges a record that nothing sets by the default limit of its control: met, it passes
// (the privilege tested as for a setting); not met, the control is not set.
int kxl_chkDefaultLimit(SysPrmRecord& ioRec, const Evaluation& iEval)
{
    unsigned long long aMinimum = 0;
    int aResult = kxl_getSingleMinimum(ioRec, iEval, aMinimum);
    if (aResult != 0) {
        return aResult;
    }
    std::string aDefault = std::to_string(ioRec.DefaultLimit);
    kxg_outDetailTracelogEx(kListFunc, "既定値で判定[%s]", aDefault.c_str());
    std::string aMinText;
    if (kxl_chkSysMin(aDefault, aMinimum, NumberBase::Decimal, aMinText) != 0) {
        kxg_outDetailTracelog(kListFunc, "パラメタ値がありません");
        ioRec.ErrStat = kErrNotSet;
        return 0;
    }
    kxl_chkPrivilege(ioRec.DefaultPrivilege, ioRec);
    return 0;
}

// Judges a fixed or additional record: its minimum, its value and its privilege.
int kxl_chkSingleValue(SysPrmRecord& ioRec, const Evaluation& iEval)
{
    unsigned long long aMinimum = 0;
    int aResult = kxl_getSingleMinimum(ioRec, iEval, aMinimum);
    if (aResult != 0) {
        return aResult;
    }
    std::string aJudged = kxl_getJudgedValue(ioRec), aMinText;
    NumberBase aBase = kxl_getNumberBase(ioRec.Source);
    int aBelow = kxl_chkSysMin(aJudged, aMinimum, aBase, aMinText);
    ioRec.MinimumForms[0] = kxl_getHexMark(aJudged, aBase);
    if (aBelow != 0) {
        kxg_outDetailTracelog(kListFunc, "設定値が最小必要値以下です");
        kxg_outDetailTracelogEx(kListFunc, "最小必要値：%s", aMinText.c_str());
        kxg_outDetailTracelogEx(kListFunc, "設定値    ：%s", ioRec.CurrentValue.c_str());
        ioRec.ErrStat += kErrBelowMinimum;
    }
    kxl_chkPrivilege(ioRec.CurrentPrivilege, ioRec);
    return 0;
}

// Cuts iCount numbers from iText into oValues. 0; 1 a "calc" word; -1 a number that
// reaches ULLONG_MAX.
int kxl_cutRowNumbers(const std::string& iText, int iCount, unsigned long long* oValues)
{
    uint32_t aPos = 0;
    std::string aWord;
    for (int i = 0; i < iCount; i++) {
        kxg_cutBlTbWord(iText, aPos, aWord);
        if (aWord == kCalc) {
            return 1;
        }
        oValues[i] = kxl_cnvRowNumber(aWord);
        if (oValues[i] == ULLONG_MAX) {
            return -1;
        }
    }
    return 0;
}

// kxl_cutRowNumbers with the trace of a refused value: iCalcMsg for "calc", iNeed telling
// needed from OS initial values.
int kxl_cutNumbers(const std::string& iText, int iCount, const char* iCalcMsg, bool iNeed,
                   unsigned long long* oValues)
{
    int aResult = kxl_cutRowNumbers(iText, iCount, oValues);
    if (aResult == 1) {
        kxg_outWriteTracelog(kListFunc, iCalcMsg);
    } else if (aResult == -1 && iNeed) {
        kxl_traceNeedTooLarge();
    } else if (aResult == -1) {
        kxl_traceInitTooLarge();
    }
    return aResult == 0 ? 0 : -1;
}

// The four minimums of an optcri record: N1, N2 + O1, N3, N4 + O2.
int kxl_getOptMinimums(const SysPrmRecord& iRec, unsigned long long* oNeed)
{
    if (kxl_cutNumbers(iRec.NeedValue, kOptNeedCount,
                       "基準がoptcriの場合、必要値にcalcは指定できない", true, oNeed) != 0) {
        return -1;
    }
    kxg_outDetailTracelogEx(kListFunc, "最小必要値：%llu,%llu,%llu,%llu", oNeed[0], oNeed[1],
                           oNeed[2], oNeed[3]);
    unsigned long long aInit[kOptInitCount] = {};
    if (kxl_cutNumbers(iRec.OSInitValue, kOptInitCount,
                       "基準がoptcriの場合、OS初期値にcalcは指定できない", false, aInit) != 0) {
        return -1;
    }
    kxg_outDetailTracelogEx(kListFunc, "　OS初期値：%llu,%llu", aInit[0], aInit[1]);
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
    kxg_outDetailTracelog(kListFunc, "基準が CRIOPT のROOT");
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
        NumberBase aBase = kxl_getNumberBase(ioRec.Source);
        aBelow = kxl_chkSysMin(aWord, aNeed[i], aBase, aMinText) != 0 || aBelow;
        aMinimums += aMinText + " ";
        ioRec.Minimums[i] = aNeed[i];
        ioRec.MinimumForms[i] = kxl_getHexMark(aWord, aBase);
    }
    ioRec.MinimumCount = kOptNeedCount;
    kxg_cutBlTbWord(ioRec.CurrentValue, aPos, aWord);
    aWords += aWord.empty() ? 0 : 1;
    if (aWords != kOptNeedCount || aBelow) {
        kxg_outDetailTracelog(kListFunc, "設定値のどれかが最小必要値以下です");
        kxg_outDetailTracelogEx(kListFunc, "最小必要値：%s", aMinimums.c_str());
        kxg_outDetailTracelogEx(kListFunc, "設定値    ：%s", ioRec.CurrentValue.c_str());
        ioRec.ErrStat += kErrBelowMinimum;
    }
    return 0;
}

// The minimums of a record that is not set, from its row alone and without a trace
// line, in decimal: nothing is judged, but a fix needs the value. None is kept when a
// value must be calculated (that would run a command) or is too large.
void kxl_setRowMinimums(SysPrmRecord& ioRec)
{
    bool aOptcri = ioRec.Criterion == "optcri";
    int aNeedCount = aOptcri ? kOptNeedCount : 1;
    int aInitCount = aOptcri ? kOptInitCount : (ioRec.Criterion == "additional" ? 1 : 0);
    unsigned long long aNeed[kOptNeedCount] = {}, aInit[kOptInitCount] = {};
    if (kxl_cutRowNumbers(ioRec.NeedValue, aNeedCount, aNeed) != 0 ||
        kxl_cutRowNumbers(ioRec.OSInitValue, aInitCount, aInit) != 0) {
        return;
    }
    // The OS initial values go to the first needed value, or to the second and fourth.
    int aSum[kOptInitCount] = {aOptcri ? 1 : 0, 3};
    for (int i = 0; i < aInitCount; i++) {
        if (kxl_sumTooLarge(aNeed[aSum[i]], aInit[i])) {
            return;
        }
        aNeed[aSum[i]] += aInit[i];
    }
    for (int i = 0; i < aNeedCount; i++) {
        ioRec.Minimums[i] = aNeed[i];
    }
    ioRec.MinimumCount = aNeedCount;
}

} // namespace

int kxl_chkSysMin(const std::string& iCurrent, unsigned long long iMinimum, NumberBase iBase,
                  std::string& oMinText)
{
    const char* aFunc = "kxl_chkSysMin";
    oMinText = kxl_fmtNumber(iMinimum, kxl_getHexMark(iCurrent, iBase));
    const char* aMinText = oMinText.c_str();
    const char* aCur = iCurrent.c_str();
    unsigned long long aValue = 0;
    int aNumber = kxl_cnvSettingNumber(iCurrent, iBase, aValue);
    if (aNumber == kNoNumber) {
        kxg_outDetailTracelogEx(aFunc, "システム取得値に変換不能文字あり[%s]", aCur);
        return -1;
    }
    // A number beyond 64 bits is larger than any minimum.
    if (aNumber == kNumberTooLarge || aValue >= iMinimum) {
        kxg_outDetailTracelogEx(aFunc, "必要最小値の方が小さいまたは同じ（正常）[%s]>=[%s]", aCur,
                               aMinText);
        return 0;
    }
    kxg_outDetailTracelogEx(aFunc, "必要最小値の方が大きい[%s]<[%s]", aCur, aMinText);
    return -1;
}

int kxl_ChkSystemParamList(const std::string& iOSName, const InstallInfo& iInfo,
                           SysPrmList& ioList)
{
    const char* aFunc = kListFunc;
    const Evaluation aEval{iOSName, iInfo};
    kxg_outWriteTracelogEx(aFunc, " unsigned long long int の上限[%llu]", ULLONG_MAX);
    size_t aCount = kxl_cntRecords(ioList);
    for (size_t i = 0; i < aCount; i++) {
        SysPrmRecord& aRec = ioList.Records[i];
        kxg_outDetailTracelogEx(aFunc, "チェック中のパラメタ：%s", aRec.ParamName.c_str());
        aRec.ErrStat = 0;
        int aResult = 0;
        if (aRec.CurrentValue.empty() && aRec.Origin == LimitOrigin::Default) {
            aResult = kxl_chkDefaultLimit(aRec, aEval);
        } else if (aRec.CurrentValue.empty()) {
            kxg_outDetailTracelog(aFunc, "パラメタ値がありません");
            aRec.ErrStat = kErrNotSet;
            kxl_setRowMinimums(aRec);
        } else {
            aResult = aRec.Criterion == "optcri" ? kxl_chkOptCri(aRec) : kxl_chkSingleValue(aRec, aEval);
        }
        if (aResult != 0) {
            return aResult;
        }
    }
    return 0;
}
